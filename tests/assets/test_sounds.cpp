#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "DataFiles.h"
#include "GameAssets.h"

namespace {

using data_files::Wave;

Wave Load(std::string_view gamePath) {
  const auto wave = data_files::ParseWav(data_files::ReadAll(data_files::Path(gamePath)));
  if (!wave) throw std::runtime_error(std::string(gamePath) + " is not a RIFF WAVE file");
  return *wave;
}

double Peak(const Wave& wave) {
  int peak = 0;
  for (std::int16_t s : wave.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak / 32768.0;
}

// The RMS of the loudest 50 ms: what the ear takes as an effect's loudness.
double LoudestWindowDb(const Wave& wave) {
  const std::size_t window = static_cast<std::size_t>(wave.rate / 20 * wave.channels);
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
    const Wave wave = Load(file);
    EXPECT_EQ(wave.format, 1);
    EXPECT_EQ(wave.bits, 16);
    EXPECT_GT(wave.Seconds(), 0.05);
    EXPECT_LT(wave.Seconds(), 2.0);
    EXPECT_GT(Peak(wave), 0.2);
    EXPECT_LT(Peak(wave), 1.0) << "clipped";
  }
}

// A sound that starts or stops away from zero clicks.
TEST(SoundEffects, StartAndEndAtSilence) {
  for (std::string_view file : kWaveFiles) {
    const Wave wave = Load(file);
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
