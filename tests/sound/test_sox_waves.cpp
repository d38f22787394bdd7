// Waves written by sox, a tool a player might use to make their own effects, heard through
// the component in the offline mix.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "sound_fixture.h"

namespace {

using namespace wave_files;

// The samples of a PCM wave file as floats per channel, decoded here rather than by the
// stand-ins under test.
struct Decoded {
  int rate = 0, channels = 0;
  std::vector<std::vector<float>> samples;  // [channel][frame]
};

std::uint32_t Little(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
  return value;
}

Decoded Decode(const std::string& bytes) {
  Decoded wave;
  int bits = 0;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const std::uint32_t size = Little(bytes, at + 4, 4);
    const std::size_t body = at + 8;
    if (id == "fmt ") {
      wave.channels = static_cast<int>(Little(bytes, body + 2, 2));
      wave.rate = static_cast<int>(Little(bytes, body + 4, 4));
      bits = static_cast<int>(Little(bytes, body + 14, 2));
    } else if (id == "data") {
      const int width = bits / 8;
      wave.samples.assign(static_cast<std::size_t>(wave.channels), {});
      for (std::size_t s = 0; s < size / width; ++s) {
        const std::uint32_t raw = Little(bytes, body + s * width, width);
        const float value =
            width == 1 ? (static_cast<int>(raw) - 128) / 128.0f : static_cast<std::int16_t>(raw) / 32768.0f;
        wave.samples[s % wave.channels].push_back(value);
      }
    }
    at = body + size + size % 2;
  }
  return wave;
}

std::vector<float> Side(const std::vector<float>& stereo, int side) {
  std::vector<float> out;
  for (std::size_t i = static_cast<std::size_t>(side); i < stereo.size(); i += 2) out.push_back(stereo[i]);
  return out;
}

int RisingZeroCrossings(const std::vector<float>& samples) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) ++crossings;
  }
  return crossings;
}

// The amplitude of the component at `hertz` (Goertzel); exact for whole cycles in the window.
double Amplitude(const std::vector<float>& samples, double hertz) {
  const double w = 2 * std::numbers::pi * hertz / platform::audio::kSampleRate;
  double s1 = 0, s2 = 0;
  for (float sample : samples) {
    const double s0 = sample + 2 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
  return 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(samples.size());
}

class SoxWaveTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed (Debian package sox)";
  }

  // `tones` holds one "sine <hertz>" per channel of the file. No dither, so silence stays 0.
  std::string Make(int rate, int bits, int channels, double seconds, const std::string& tones, double volume) {
    const std::string name = "sox" + std::to_string(made++) + ".wav";
    const std::string command = "sox -q -D -n -r " + std::to_string(rate) + " -b " + std::to_string(bits) + " -c " +
                                std::to_string(channels) + (bits == 8 ? " -e unsigned-integer" : " -e signed-integer") +
                                " '" + folder.Native(name) + "' synth " + std::to_string(seconds) + " " + tones +
                                " vol " + std::to_string(volume);
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return name;
  }

  int made = 0;
};

TEST_F(SoxWaveTest, EveryRateDepthAndLayoutSoundsForItsLengthAtItsPitchOnItsSide) {
  TDDSD& component = StartSound();
  constexpr double kSeconds = 0.2;
  constexpr int kFrames = 8820;  // kSeconds at the mixer's rate
  for (int rate : {11025, 16000, 22050, 32000, 44100, 48000}) {
    for (int bits : {8, 16}) {
      for (int channels : {1, 2}) {
        const std::string shape =
            std::to_string(rate) + " Hz " + std::to_string(bits) + "-bit " + (channels == 1 ? "mono" : "stereo");
        SCOPED_TRACE(shape);
        const std::string name =
            Make(rate, bits, channels, kSeconds, channels == 1 ? "sine 300" : "sine 300 sine 500", 0.5);
        TDDSDWaveData& wave = LoadFile(name);
        ASSERT_NE(wave.Buffer(), nullptr);
        TDDSDChannel* channel = component.Channel(channels == 1 ? 5 : 6);
        channel->setWaveData(&wave);
        channel->Play();
        const std::vector<float> heard = Listen(250);
        ASSERT_EQ(heard.size(), 2u * 11025);
        const std::vector<float> left = Side(heard, 0), right = Side(heard, 1);

        // A mono wave is heard on both sides; a stereo wave keeps its sides apart.
        EXPECT_NEAR(RisingZeroCrossings(left), 60, 2);
        EXPECT_NEAR(RisingZeroCrossings(right), channels == 1 ? 60 : 100, 2);
        const std::vector<float> tone(left.begin(), left.begin() + kFrames);
        EXPECT_NEAR(Amplitude(tone, 300), 0.5, 0.02);
        EXPECT_LT(Amplitude(tone, 500), 0.01);

        // 8-bit samples are unsigned around 128: a wrong sign would show as a constant offset.
        double sum = 0;
        for (float sample : tone) sum += sample;
        EXPECT_NEAR(sum / kFrames, 0.0, 0.005);

        // It lasts as long at 44.1 kHz as in the file, then falls silent.
        double tail = 0;
        for (int i = kFrames - 200; i < kFrames - 2; ++i) tail += std::abs(left[static_cast<std::size_t>(i)]);
        EXPECT_GT(tail / 198, 0.2);
        for (std::size_t i = kFrames + 2; i < left.size(); ++i) {
          ASSERT_EQ(left[i], 0.0f) << "frame " << i;
          ASSERT_EQ(right[i], 0.0f) << "frame " << i;
        }
        channel->setWaveData(nullptr);
        waves.clear();
      }
    }
  }
}

// Rates that divide the mixer's rate land on exact positions: every mixed frame is a file
// sample or lies on the straight line between two neighbours.
TEST_F(SoxWaveTest, MixHoldsTheFilesOwnSamples) {
  struct Shape {
    int rate, bits, channels, step;
  };
  TDDSD& component = StartSound();
  for (const Shape& shape :
       {Shape{44100, 16, 2, 1}, Shape{44100, 8, 1, 1}, Shape{22050, 16, 1, 2}, Shape{11025, 8, 2, 4}}) {
    SCOPED_TRACE(std::to_string(shape.rate) + " Hz " + std::to_string(shape.bits) + "-bit");
    const std::string name = Make(shape.rate, shape.bits, shape.channels, 0.05,
                                  shape.channels == 1 ? "sine 700" : "sine 700 square 260", 0.7);
    const Decoded file = Decode(folder.Read(name));
    ASSERT_EQ(file.rate, shape.rate);
    ASSERT_EQ(static_cast<int>(file.samples.size()), shape.channels);
    TDDSDWaveData& wave = LoadFile(name);
    component.Channel(0)->setWaveData(&wave);
    component.Channel(0)->Play();
    const std::vector<float> heard = Listen(60);
    const std::size_t frames = file.samples[0].size();
    for (int side = 0; side < 2; ++side) {
      const std::vector<float>& source = file.samples[static_cast<std::size_t>(side % shape.channels)];
      const std::vector<float> mixed = Side(heard, side);
      for (std::size_t i = 0; i + shape.step < frames * shape.step; ++i) {
        const std::size_t at = i / shape.step;
        const float t = static_cast<float>(i % shape.step) / static_cast<float>(shape.step);
        const float expected = source[at] + (source[std::min(at + 1, frames - 1)] - source[at]) * t;
        ASSERT_NEAR(mixed[i], expected, 1e-6) << "side " << side << " frame " << i;
      }
      EXPECT_EQ(mixed[frames * shape.step + 1], 0.0f);
    }
    waves.clear();
  }
}

TEST_F(SoxWaveTest, WavesOfDifferentShapesSoundTogetherEachAtItsPitch) {
  struct Voice {
    int rate, bits, channels, hertz;
  };
  // Whole cycles in the 0.2 s window, so each tone shows up alone in its own bin.
  const Voice voices[] = {{11025, 8, 1, 200}, {22050, 16, 2, 350}, {44100, 8, 2, 600}, {48000, 16, 1, 900}};
  TDDSD& component = StartSound();
  for (int i = 0; i < 4; ++i) {
    const Voice& voice = voices[i];
    const std::string tone = "sine " + std::to_string(voice.hertz);
    TDDSDWaveData& wave = LoadFile(
        Make(voice.rate, voice.bits, voice.channels, 0.5, voice.channels == 1 ? tone : tone + " " + tone, 0.2));
    component.Channel(i)->setWaveData(&wave);
  }
  for (int i = 0; i < 4; ++i) component.Channel(i)->Play();
  const std::vector<float> together = Side(Listen(200), 1);
  for (const Voice& voice : voices) EXPECT_NEAR(Amplitude(together, voice.hertz), 0.2, 0.01) << voice.hertz << " Hz";
  EXPECT_LT(Amplitude(together, 475), 0.01);

  component.Channel(1)->Stop();
  const std::vector<float> without = Side(Listen(200), 1);
  EXPECT_LT(Amplitude(without, 350), 0.01);
  for (int i : {0, 2, 3}) EXPECT_NEAR(Amplitude(without, voices[i].hertz), 0.2, 0.01) << voices[i].hertz << " Hz";
}

}  // namespace
