// The ten sound effects as the real game loads and binds them, found again in the mix.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "GameAssets.h"
#include "game_fixture.h"
#include "platform/audio.h"

namespace {

std::string EffectName(int i) {
  return std::string(kWaveFiles[static_cast<std::size_t>(i)].substr(5));
}  // after "data\"

std::uint32_t Little(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
  return value;
}

// The first channel of a PCM file, decoded here and brought to the mixer's rate by
// straight lines between samples.
std::vector<float> Expected(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  int channels = 1, rate = 0, bits = 16;
  std::vector<float> samples;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const std::uint32_t size = Little(bytes, at + 4, 4);
    const std::size_t body = at + 8;
    if (id == "fmt ") {
      channels = static_cast<int>(Little(bytes, body + 2, 2));
      rate = static_cast<int>(Little(bytes, body + 4, 4));
      bits = static_cast<int>(Little(bytes, body + 14, 2));
    } else if (id == "data") {
      const std::size_t width = static_cast<std::size_t>(bits / 8), frame = width * static_cast<std::size_t>(channels);
      for (std::size_t f = 0; f < std::min<std::size_t>(size, bytes.size() - body) / frame; ++f) {
        const std::uint32_t raw = Little(bytes, body + f * frame, static_cast<int>(width));
        samples.push_back(width == 1 ? (static_cast<int>(raw) - 128) / 128.0f
                                     : static_cast<std::int16_t>(raw) / 32768.0f);
      }
    }
    at = body + size + size % 2;
  }
  std::vector<float> out;
  if (samples.empty() || rate <= 0) return out;
  const double step = static_cast<double>(rate) / platform::audio::kSampleRate;
  for (double position = 0; position < static_cast<double>(samples.size()); position += step) {
    const auto index = static_cast<std::size_t>(position);
    const float next = samples[std::min(index + 1, samples.size() - 1)];
    out.push_back(samples[index] + (next - samples[index]) * static_cast<float>(position - static_cast<double>(index)));
  }
  return out;
}

std::vector<float> Left(const std::vector<float>& stereo) {
  std::vector<float> out;
  for (std::size_t i = 0; i < stereo.size(); i += 2) out.push_back(stereo[i]);
  return out;
}

// How alike two signals are over the length of `reference`, 1 for the same shape.
double Similarity(const std::vector<float>& heard, const std::vector<float>& reference) {
  double both = 0, heardEnergy = 0, referenceEnergy = 0;
  for (std::size_t i = 0; i < reference.size(); ++i) {
    const double h = i < heard.size() ? heard[i] : 0.0;
    both += h * reference[i];
    heardEnergy += h * h;
    referenceEnergy += double{reference[i]} * reference[i];
  }
  return heardEnergy == 0 || referenceEnergy == 0 ? 0.0 : both / std::sqrt(heardEnergy * referenceEnergy);
}

std::vector<float> Listen(DWORD milliseconds) {
  headless::StartAudioCapture();
  headless::AdvanceTime(milliseconds);
  return headless::TakeAudioCapture();
}

class EffectsTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    for (int i = 0; i < 10; ++i) {
      const std::filesystem::path built = std::filesystem::path(KOTOBUNE_DATA_DIR) / EffectName(i);
      ASSERT_TRUE(std::filesystem::exists(built)) << built;
      std::filesystem::create_symlink(built, folder.Native("data/" + EffectName(i)));
      effects.push_back(Expected(built));
      ASSERT_GT(effects.back().size(), 441u) << built;
    }
  }

  std::vector<std::vector<float>> effects;
};

TEST_F(EffectsTest, EachChannelPlaysItsOwnEffectIntoTheMix) {
  TForm1& game = Start();
  ASSERT_TRUE(game.DDSD1.Initialized());
  RunFrames(3);
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(EffectName(i));
    const std::vector<float>& own = effects[static_cast<std::size_t>(i)];
    game.DDSD1.Channel(i)->Play();
    const auto length = static_cast<DWORD>(own.size() * 1000 / platform::audio::kSampleRate);
    const std::vector<float> heard = Left(Listen(length + 30));

    EXPECT_GT(Similarity(heard, own), 0.999);
    double gain = 0, energy = 0;
    for (std::size_t k = 0; k < own.size(); ++k) {
      gain += double{heard[k]} * own[k];
      energy += double{own[k]} * own[k];
    }
    EXPECT_NEAR(gain / energy, 1.0, 0.01) << "the effect plays at full volume";
    for (int other = 0; other < 10; ++other) {
      if (other == i) continue;
      EXPECT_LT(Similarity(heard, effects[static_cast<std::size_t>(other)]), 0.9) << EffectName(other);
    }
    EXPECT_TRUE(std::all_of(heard.begin() + static_cast<std::ptrdiff_t>(own.size()) + 2, heard.end(), [](float sample) {
      return sample == 0.0f;
    })) << "the effect goes on after its end";
  }
}

TEST_F(EffectsTest, EffectsVolumeOfTheSettingsScalesEveryEffect) {
  folder.Write("data/settei.ini", "[Sound]\r\nEffectsVolume=30\r\n");
  TForm1& game = Start();
  RunFrames(1);
  const std::vector<float>& own = effects[3];
  game.DDSD1.Channel(3)->Play();
  const std::vector<float> heard = Left(Listen(static_cast<DWORD>(own.size() * 1000 / platform::audio::kSampleRate) + 10));
  double gain = 0, energy = 0;
  for (std::size_t k = 0; k < own.size(); ++k) {
    gain += double{heard[k]} * own[k];
    energy += double{own[k]} * own[k];
  }
  EXPECT_NEAR(gain / energy, 0.3, 0.005);
}

TEST_F(EffectsTest, AllTenStartedInOneFrameMixAsTheirSum) {
  TForm1& game = Start();
  RunFrames(1);
  std::size_t longest = 0;
  for (const auto& effect : effects) longest = std::max(longest, effect.size());
  std::vector<float> sum(longest, 0.0f);
  for (const auto& effect : effects) {
    for (std::size_t k = 0; k < effect.size(); ++k) sum[k] += effect[k];
  }

  for (int i = 0; i < 10; ++i) game.DDSD1.Channel(i)->Play();
  const std::vector<float> heard = Left(Listen(static_cast<DWORD>(longest * 1000 / platform::audio::kSampleRate) + 10));
  // Ten at once go past full scale: the limiter turns the sum down rather than clipping it.
  EXPECT_GT(Similarity(heard, sum), 0.98);
  const auto loudest = std::max_element(heard.begin(), heard.end(), [](float a, float b) { return std::abs(a) < std::abs(b); });
  EXPECT_LE(std::abs(*loudest), platform::audio::kLimiterCeiling + 1e-6f);
}

TEST_F(EffectsTest, WithoutAnAudioDeviceTheGameRunsSilent) {
  headless::SetAudioOutput(false);
  TForm1& game = Start();
  EXPECT_FALSE(game.DDSD1.Initialized());
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(game.DDSD1.Channel(i)->Buffer(), nullptr);
    game.DDSD1.Channel(i)->Play();
  }
  const int before = headless::FramesPresented();
  RunFrames(20);
  EXPECT_EQ(headless::FramesPresented(), before + 20);
  EXPECT_TRUE(Listen(100).empty());
  EXPECT_FALSE(std::filesystem::exists(folder.Native("DDSD_DebugLog.txt")));
}

}  // namespace
