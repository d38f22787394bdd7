#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DataFiles.h"
#include "GameAssets.h"
#include "ddsd.h"
#include "platform/app.h"
#include "platform/headless.h"
#include "support/temp_folder.h"

namespace {

// A wave as the sound component holds it: the format it read and its buffer's bytes.
struct Wave {
  WAVEFORMATEX format{};
  std::vector<std::int16_t> samples;  // interleaved, when the format is 16-bit
  double Seconds() const {
    return static_cast<double>(samples.size()) / format.nChannels / format.nSamplesPerSec;
  }
};

Wave ReadBuffer(const TDDSDWaveData& loaded) {
  Wave wave{loaded.Format(), {}};
  void* part1 = nullptr;
  void* part2 = nullptr;
  DWORD bytes1 = 0, bytes2 = 0;
  if (loaded.Buffer() == nullptr ||
      loaded.Buffer()->Lock(0, loaded.BufferSize(), &part1, &bytes1, &part2, &bytes2, 0) != DS_OK) {
    return wave;
  }
  const auto* first = static_cast<const std::uint8_t*>(part1);
  const auto* second = static_cast<const std::uint8_t*>(part2);
  std::vector<std::uint8_t> bytes(first, first + bytes1);
  if (second != nullptr) bytes.insert(bytes.end(), second, second + bytes2);
  loaded.Buffer()->Unlock(part1, bytes1, part2, bytes2);
  if (wave.format.wBitsPerSample == 16) {
    wave.samples.resize(bytes.size() / 2);
    std::memcpy(wave.samples.data(), bytes.data(), wave.samples.size() * 2);
  }
  return wave;
}

// Every effect through the component the game plays them with; a file it cannot load has
// no buffer and reads as an empty wave.
const std::map<std::string_view, Wave>& Waves() {
  static const std::map<std::string_view, Wave> waves = [] {
    const TempFolder logs;
    headless::Reset();
    headless::SetExeName(logs.Native("kotobune"));
    std::map<std::string_view, Wave> read;
    {
      TApplication application;
      TForm form(application, TFormSettings{640, 480, false, {}});
      TDDSD sound(form);
      sound.DebugOption = dsoDebugMessage;  // a bad file is logged, not fatal
      sound.Loaded();
      for (std::string_view file : kWaveFiles) {
        const TDDSDWaveData loaded(sound, data_files::Path(file).string(), false);
        read.emplace(file, ReadBuffer(loaded));
      }
    }
    headless::Reset();
    return read;
  }();
  return waves;
}

const Wave& Load(std::string_view gamePath) { return Waves().at(gamePath); }

double Peak(const Wave& wave) {
  int peak = 0;
  for (std::int16_t s : wave.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak / 32768.0;
}

// The RMS of the loudest 50 ms: what the ear takes as an effect's loudness.
double LoudestWindowDb(const Wave& wave) {
  const std::size_t window = std::size_t{wave.format.nSamplesPerSec} / 20 * wave.format.nChannels;
  double loudest = 0;
  for (std::size_t start = 0; start < wave.samples.size(); start += window / 5) {
    const std::size_t end = std::min(wave.samples.size(), start + window);
    double sum = 0;
    for (std::size_t i = start; i < end; ++i) sum += std::pow(wave.samples[i] / 32768.0, 2);
    loudest = std::max(loudest, std::sqrt(sum / static_cast<double>(window)));
  }
  return 20 * std::log10(loudest);
}

TEST(SoundEffects, AreShort16BitPcmAndAudible) {
  for (std::string_view file : kWaveFiles) {
    SCOPED_TRACE(file);
    const Wave& wave = Load(file);
    ASSERT_NE(wave.format.nChannels, 0) << "the sound component did not load it";
    EXPECT_EQ(wave.format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wave.format.wBitsPerSample, 16);
    EXPECT_GT(wave.Seconds(), 0.05);
    EXPECT_LT(wave.Seconds(), 2.0);
    EXPECT_GT(Peak(wave), 0.2);
    EXPECT_LT(Peak(wave), 1.0) << "clipped";
  }
}

// A sound that starts or stops away from zero clicks.
TEST(SoundEffects, StartAndEndAtSilence) {
  for (std::string_view file : kWaveFiles) {
    const Wave& wave = Load(file);
    ASSERT_FALSE(wave.samples.empty()) << file;
    EXPECT_LT(std::abs(wave.samples.front()), 100) << file;
    EXPECT_LT(std::abs(wave.samples.back()), 100) << file;
  }
}

TEST(SoundEffects, ShareACommonLoudness) {
  std::vector<double> levels;
  for (std::string_view file : kWaveFiles) levels.push_back(LoudestWindowDb(Load(file)));
  const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
  EXPECT_LT(*loudest - *quietest, 6.0) << "from " << *quietest << " dB to " << *loudest << " dB";
}

}  // namespace
