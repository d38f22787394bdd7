#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "DataFiles.h"
#include "GameAssets.h"
#include "platform/audio.h"
#include "platform/vbmp3.h"

namespace {

namespace fs = std::filesystem;
using platform::audio::kChannels;
using platform::audio::kSampleRate;
using platform::audio::Mixer;

// Pulls the mixer in device-sized blocks and returns when the player has fallen silent for a
// while (or after `limit` seconds): the time of the last audible sample.
double PlayedSeconds(double limit) {
  constexpr int kBlock = 1024;
  std::vector<float> block(kBlock * kChannels);
  std::size_t frame = 0, lastLoud = 0;
  while (frame < static_cast<std::size_t>(limit * kSampleRate) && frame < lastLoud + 2 * kSampleRate) {
    Mixer::Instance().Render(block.data(), kBlock);
    for (int i = 0; i < kBlock; ++i) {
      if (std::abs(block[static_cast<std::size_t>(i * kChannels)]) > 0.002f) lastLoud = frame + static_cast<std::size_t>(i);
    }
    frame += kBlock;
  }
  return static_cast<double>(lastLoud) / kSampleRate;
}

class Music : public ::testing::Test {
 protected:
  void SetUp() override { vbmp3_init(); }
  void TearDown() override { vbmp3_free(); }

  // Opens the file with the game's MP3 player; the length it reports, in whole seconds.
  int Open(const fs::path& path) {
    std::array<std::uint8_t, kVbmp3InfoSize> info{};
    if (vbmp3_open(path.string().c_str(), info.data()) != TRUE) return -1;
    return static_cast<int>(data_files::Little(info, kVbmp3LengthOffset, 4));
  }
};

// The game restarts its track one second after the length the player reports: a track that
// lasts just under a whole second more than that loops with hardly a gap.
TEST_F(Music, BackgroundTrackLastsAMinuteAndLoopsTightly) {
  const int length = Open(data_files::Path(kOwnMusic));
  EXPECT_GE(length, 60);
  EXPECT_LE(length, 120);
  ASSERT_EQ(vbmp3_play(), TRUE);
  const double played = PlayedSeconds(length + 3);
  EXPECT_GT(played, length + 0.75) << "the loop would leave a gap of " << length + 1 - played << " s";
  EXPECT_LT(played, length + 1.0);
}

TEST_F(Music, VictoryMusicLastsFifteenToThirtySeconds) {
  const int length = Open(data_files::Path(kVictoryMusic));
  EXPECT_GE(length, 15);
  EXPECT_LE(length, 30);
  ASSERT_EQ(vbmp3_play(), TRUE);
  EXPECT_GT(PlayedSeconds(3), 2.9) << "silent at the start";
}

std::vector<fs::path> MusicFolder(const std::string& extension) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(data_files::Path("data\\music"))) {
    if (entry.path().extension() == extension) found.push_back(entry.path());
  }
  return found;
}

// The folder mode of the settings can be tried with MIDI and MP3 together.
TEST_F(Music, FolderModeSampleHoldsMidiAndMp3) {
  const auto midi = MusicFolder(".mid");
  EXPECT_GE(midi.size(), 2u);
  for (const fs::path& file : midi) {
    const auto bytes = data_files::ReadAll(file);
    ASSERT_GE(bytes.size(), 22u) << file;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MThd") << file;
    EXPECT_EQ(std::string(bytes.begin() + 14, bytes.begin() + 18), "MTrk") << file;
  }
  const auto mp3 = MusicFolder(".mp3");
  ASSERT_EQ(mp3.size(), 1u);
  EXPECT_GE(Open(mp3.front()), 10);
  ASSERT_EQ(vbmp3_play(), TRUE);
  EXPECT_GT(PlayedSeconds(2), 1.9);
}

}  // namespace
