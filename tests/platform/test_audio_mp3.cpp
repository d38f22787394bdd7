#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/vbmp3.h"
#include "support/audio_files.h"
#include "support/mixer_output.h"

namespace {

namespace fs = std::filesystem;
using platform::audio::kChannels;
using platform::audio::kSampleRate;
using platform::audio::Mixer;
using test_audio::EncodeMp3;
using test_audio::Peak;
using test_audio::Render;
using test_audio::WriteTone;

// Sign changes per second on one channel: twice the frequency of a pure tone.
double Crossings(const std::vector<float>& samples, int channel, std::size_t fromFrame) {
  int count = 0;
  const std::size_t frames = samples.size() / kChannels;
  for (std::size_t i = fromFrame + 1; i < frames; ++i) {
    const bool before = samples[(i - 1) * kChannels + channel] < 0;
    if (before != (samples[i * kChannels + channel] < 0)) ++count;
  }
  return count * static_cast<double>(kSampleRate) / static_cast<double>(frames - fromFrame);
}

std::int32_t LengthField(const std::array<std::uint8_t, kVbmp3InfoSize>& info) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = bits << 8 | info[kVbmp3LengthOffset + i];
  return static_cast<std::int32_t>(bits);
}

class Mp3Player : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ =
        new fs::path(fs::temp_directory_path() / ("kotobune-mp3-" + std::to_string(getpid())));
    fs::create_directories(*folder_);
    if (!test_audio::HaveLame()) return;
    WriteTone(*folder_ / "mono.wav", 22050, 2.5, {440});
    WriteTone(*folder_ / "stereo.wav", 48000, 1.5, {440, 660});
    encoded_ = EncodeMp3(*folder_ / "mono.wav", *folder_ / "mono.mp3") &&
               EncodeMp3(*folder_ / "stereo.wav", *folder_ / "stereo.mp3");
  }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete folder_;
  }
  void SetUp() override {
    if (!encoded_) {
      GTEST_SKIP() << "the lame encoder is needed to make test MP3s (Debian package lame)";
    }
    vbmp3_init();
    info_.fill(0xAB);
  }
  void TearDown() override { vbmp3_free(); }

  static std::string PathOf(const char* name) { return (*folder_ / name).string(); }
  BOOL Open(const char* name) { return vbmp3_open(PathOf(name).c_str(), info_.data()); }

  static inline fs::path* folder_ = nullptr;
  static inline bool encoded_ = false;
  std::array<std::uint8_t, kVbmp3InfoSize> info_{};
};

TEST_F(Mp3Player, OpenFillsTheRecordWithWholeSeconds) {
  EXPECT_EQ(Open("mono.mp3"), TRUE);
  EXPECT_EQ(LengthField(info_), 2);  // 2.5 s rounds down
  EXPECT_TRUE(std::all_of(info_.begin(), info_.begin() + kVbmp3LengthOffset,
                          [](auto b) { return b == 0; }));
  EXPECT_EQ(Open("stereo.mp3"), TRUE);
  EXPECT_EQ(LengthField(info_), 1);
  EXPECT_EQ(Peak(Render(0.2)), 0.0f);  // opening alone makes no sound
  vbmp3_init();                        // a second init keeps the open file
  EXPECT_EQ(vbmp3_play(), TRUE);
}

TEST_F(Mp3Player, MonoLowRateFilePlaysAtPitchOnBothChannels) {
  Open("mono.mp3");
  EXPECT_EQ(vbmp3_play(), TRUE);
  const auto heard = Render(1.5);
  EXPECT_GT(Peak(heard), 0.3f);
  const std::size_t settled = kSampleRate / 4;  // past the encoder's fade-in
  EXPECT_NEAR(Crossings(heard, 0, settled), 880, 10);
  float jump = 0, sideways = 0;
  for (std::size_t i = settled; i + 1 < heard.size() / kChannels; ++i) {
    jump = std::max(jump, std::abs(heard[(i + 1) * kChannels] - heard[i * kChannels]));
    sideways = std::max(sideways, std::abs(heard[i * kChannels] - heard[i * kChannels + 1]));
  }
  // A 440 Hz sine of amplitude 0.5 moves at most 0.032 per output sample: anything much
  // larger is a seam between decoded blocks or render calls.
  EXPECT_LT(jump, 0.06f);
  EXPECT_EQ(sideways, 0.0f);
}

TEST_F(Mp3Player, StereoHighRateFileKeepsItsChannels) {
  Open("stereo.mp3");
  vbmp3_play();
  const auto heard = Render(1.2);
  EXPECT_NEAR(Crossings(heard, 0, kSampleRate / 4), 880, 10);
  EXPECT_NEAR(Crossings(heard, 1, kSampleRate / 4), 1320, 10);
}

TEST_F(Mp3Player, PlayRunsToTheEndOnceAndStartsOverAfterStop) {
  Open("mono.mp3");
  vbmp3_play();
  const auto heard = Render(3.0);
  std::size_t last = 0;
  for (std::size_t i = 0; i < heard.size(); ++i) {
    if (std::abs(heard[i]) > 0.01f) last = i / kChannels;
  }
  EXPECT_NEAR(static_cast<double>(last) / kSampleRate, 2.5, 0.1);
  EXPECT_EQ(Peak(Render(0.5)), 0.0f);  // no loop: the game restarts tracks itself

  vbmp3_play();
  Render(1.0);
  EXPECT_EQ(vbmp3_stop(), TRUE);
  EXPECT_EQ(Peak(Render(0.3)), 0.0f);
  // The file stayed open and play starts at its beginning, so 2.5 s follow, not 1.5 s.
  EXPECT_EQ(vbmp3_play(), TRUE);
  const auto again = Render(2.3);
  EXPECT_GT(Peak({again.end() - kSampleRate / 10 * kChannels, again.end()}), 0.3f);
}

TEST_F(Mp3Player, CloseSilencesAndCloseOrFreeWithNothingOpenIsHarmless) {
  EXPECT_EQ(vbmp3_close(), TRUE);
  Open("mono.mp3");
  vbmp3_play();
  Render(0.2);
  EXPECT_EQ(vbmp3_close(), TRUE);
  EXPECT_EQ(Peak(Render(0.2)), 0.0f);
  EXPECT_EQ(vbmp3_play(), FALSE);
  EXPECT_EQ(vbmp3_close(), TRUE);
  EXPECT_EQ(Peak(Render(0.2)), 0.0f);

  vbmp3_free();
  vbmp3_free();
  EXPECT_EQ(vbmp3_stop(), FALSE);
  EXPECT_EQ(vbmp3_close(), FALSE);
  EXPECT_EQ(vbmp3_open(PathOf("mono.mp3").c_str(), info_.data()), FALSE);
  EXPECT_EQ(LengthField(info_), 0);
}

TEST_F(Mp3Player, FileThatCannotBeOpenedGivesLengthZeroAndSilence) {
  Open("mono.mp3");
  vbmp3_play();
  EXPECT_EQ(Open("missing.mp3"), FALSE);
  EXPECT_EQ(LengthField(info_), 0);
  EXPECT_EQ(vbmp3_play(), FALSE);
  EXPECT_EQ(Peak(Render(0.3)), 0.0f);

  std::ofstream(*folder_ / "text.mp3") << std::string(4000, 'x');
  info_.fill(0xAB);
  EXPECT_EQ(Open("text.mp3"), FALSE);
  EXPECT_EQ(LengthField(info_), 0);
  vbmp3_play();
  EXPECT_EQ(Peak(Render(0.3)), 0.0f);
}

}  // namespace
