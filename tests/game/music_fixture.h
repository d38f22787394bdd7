#pragma once
// A whole game with music files in its data folder; the tones are encoded once per run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "game_fixture.h"
#include "platform/audio.h"
#include "platform/vbmp3.h"
#include "support/audio_files.h"

namespace music_test {

namespace fs = std::filesystem;

// Tones shared by every test of the program, removed at exit.
class EncodedTones {
 public:
  static const EncodedTones& Get() {
    static const EncodedTones tones;
    return tones;
  }
  EncodedTones(const EncodedTones&) = delete;
  EncodedTones& operator=(const EncodedTones&) = delete;
  ~EncodedTones() {
    std::error_code ignored;
    fs::remove_all(folder_.Native(), ignored);
  }

  bool ok() const { return ok_; }
  // 60.5 s at 8 kb/s: the library reports 60 whole seconds.
  fs::path Long() const { return folder_.Native("long.mp3"); }
  // 2.5 s: the library reports 2.
  fs::path Short() const { return folder_.Native("short.mp3"); }

 private:
  EncodedTones() {
    if (!test_audio::HaveLame()) return;
    test_audio::WriteTone(folder_.Native("long.wav"), 8000, 60.5, {440});
    test_audio::WriteTone(folder_.Native("short.wav"), 8000, 2.5, {660});
    ok_ = test_audio::EncodeMp3(folder_.Native("long.wav"), Long(), "-b 8 -m m") &&
          test_audio::EncodeMp3(folder_.Native("short.wav"), Short(), "-b 8 -m m");
  }

  TempFolder folder_;
  bool ok_ = false;
};

// Only the music players' calls, as the game makes them. The player's own close inside
// Open is its business, not the game's, and is left out.
inline std::vector<std::string> MusicCalls(const std::vector<std::string>& trace) {
  std::vector<std::string> calls;
  for (const std::string& call : trace) {
    if (call.rfind("vbmp3", 0) != 0 && call.rfind("MediaPlayer", 0) != 0) continue;
    if (call == "MediaPlayer.Close" && !calls.empty() && calls.back().rfind("MediaPlayer.Open ", 0) == 0) continue;
    calls.push_back(call);
  }
  return calls;
}

// The files the players were asked to open, in order.
inline std::vector<std::string> OpenedFiles(const std::vector<std::string>& calls) {
  std::vector<std::string> files;
  for (const std::string& call : calls) {
    for (const std::string prefix : {"vbmp3_open ", "MediaPlayer.Open "}) {
      if (call.rfind(prefix, 0) == 0) files.push_back(call.substr(prefix.size()));
    }
  }
  return files;
}

inline std::vector<std::string> Mp3Start(const std::string& path) {
  return {"vbmp3_close", "vbmp3_open " + path, "vbmp3_play"};
}
inline std::vector<std::string> MidiStart(const std::string& path) {
  return {"MediaPlayer.Close", "MediaPlayer.Open " + path, "MediaPlayer.Play"};
}
inline std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline float Peak(const std::vector<float>& samples, double fromSecond, double toSecond) {
  using platform::audio::kChannels;
  using platform::audio::kSampleRate;
  const auto at = [&](double second) {
    return std::min(samples.size(), static_cast<std::size_t>(second * kSampleRate) * kChannels);
  };
  float peak = 0;
  for (std::size_t i = at(fromSecond); i < at(toSecond); ++i) peak = std::max(peak, std::abs(samples[i]));
  return peak;
}

}  // namespace music_test

class MusicTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    vbmp3_free();  // a game torn down without closing its window leaves the library open
  }
  void TearDown() override {
    GameTest::TearDown();
    vbmp3_free();
  }

  static bool HaveTones() { return music_test::EncodedTones::Get().ok(); }
  void CopyTone(const std::filesystem::path& tone, const std::string& name) const {
    std::filesystem::create_directories(std::filesystem::path(folder.Native(name)).parent_path());
    std::filesystem::copy_file(tone, folder.Native(name), std::filesystem::copy_options::overwrite_existing);
  }
  // A file whose content no player accepts: for tests that look only at the choice of track.
  void Touch(const std::string& name) const {
    std::filesystem::create_directories(std::filesystem::path(folder.Native(name)).parent_path());
    folder.Write(name, "not music");
  }
  void WriteSettings(const std::string& bytes) const { folder.Write("data/settei.ini", bytes); }

  // The game's names for files in the test's program folder.
  std::string InData(const std::string& name) const { return folder.Native("") + "data\\" + name; }
  std::string OwnMusic() const { return InData("tamsu01.mp3"); }

  // Starts the game and runs the title up to and including the music set-up at frame 20.
  std::vector<std::string> StartAndSetUpMusic() {
    headless::StartTrace();
    Start();
    RunFrames(20);
    return music_test::MusicCalls(headless::TakeTrace());
  }

  // One idle pass, then a little time; the music calls it made.
  std::vector<std::string> Pass() {
    Idle();
    auto calls = music_test::MusicCalls(headless::TakeTrace());
    headless::AdvanceMicroseconds(500);
    return calls;
  }
};
