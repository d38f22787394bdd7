#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/mediaplayer.h"
#include "support/audio_files.h"
#include "support/mixer_output.h"

namespace {

namespace fs = std::filesystem;
using platform::audio::kChannels;
using platform::audio::kSampleRate;
using platform::audio::Mixer;
using test_audio::Arpeggio;
using test_audio::Bytes;
using test_audio::Chunk;
using test_audio::Peak;
using test_audio::Render;

constexpr const char* kNoSoundFont = "no General MIDI soundfont (Debian timgm6mb-soundfont)";

bool HaveSoundFont() {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/usr/share/sounds/sf2", error)) {
    if (entry.path().extension() == ".sf2") return true;
  }
  return false;
}

class MidiSequencer : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kotobune-midi-" + std::to_string(getpid()));
    fs::create_directories(folder_);
    Write("song.mid", Arpeggio());
    player_.SetTimeFormat(tfBytes);
  }
  void TearDown() override {
    player_.Close();
    fs::remove_all(folder_);
  }

  void Write(const char* name, const Bytes& bytes) {
    std::ofstream(folder_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  void Open(const char* name) {
    player_.FileName = (folder_ / name).string();
    player_.Open();
  }
  // Renders until the sequence reports its end; the seconds it took, or -1 if it never did.
  double SecondsUntilStopped(double limit) {
    for (double t = 0; t < limit; t += 0.1) {
      if (player_.Mode() != mpPlaying) return t;
      Render(0.1);
    }
    return -1;
  }

  fs::path folder_;
  TMediaPlayer player_;
};

TEST_F(MidiSequencer, OpenWaitsStoppedAtTheStartAndCloseReleases) {
  EXPECT_EQ(player_.Mode(), mpNotReady);
  player_.Play();  // nothing open: all harmless
  player_.Stop();
  player_.Rewind();
  player_.Close();
  EXPECT_EQ(player_.Mode(), mpNotReady);

  Open("song.mid");
  Open("song.mid");  // an open device is closed first
  EXPECT_EQ(player_.Mode(), mpStopped);
  EXPECT_LT(Peak(Render(0.5)), 1e-4f);
  EXPECT_EQ(player_.Mode(), mpStopped);
  player_.Play();
  Render(0.3);
  player_.Close();
  EXPECT_EQ(player_.Mode(), mpNotReady);
  EXPECT_EQ(Peak(Render(0.2)), 0.0f);
}

TEST_F(MidiSequencer, PlaysIntoTheMixerUntilTheSequenceEnds) {
  if (!HaveSoundFont()) GTEST_SKIP() << kNoSoundFont;
  Open("song.mid");
  player_.Play();
  EXPECT_EQ(player_.Mode(), mpPlaying);
  EXPECT_GT(Peak(Render(0.5)), 0.03f);
  EXPECT_EQ(player_.Mode(), mpPlaying);
  // The sequence advances with rendered audio, not the wall clock; the synth's release tail
  // may keep it going a few seconds past the last note.
  const double left = SecondsUntilStopped(10);
  EXPECT_GT(left, 0.4);
  EXPECT_NE(left, -1);
  EXPECT_EQ(player_.Mode(), mpStopped);
}

TEST_F(MidiSequencer, StopSilencesAndRewindGoesBackToTheFirstNote) {
  if (!HaveSoundFont()) GTEST_SKIP() << kNoSoundFont;
  Open("song.mid");
  player_.Play();
  const double whole = SecondsUntilStopped(10);
  ASSERT_GT(whole, 1.0);
  // The game's replay at the end of a track.
  player_.Stop();
  player_.Rewind();
  EXPECT_EQ(player_.Mode(), mpStopped);
  player_.Play();
  EXPECT_EQ(player_.Mode(), mpPlaying);
  const float playing = Peak(Render(0.5));
  EXPECT_GT(playing, 0.03f);

  player_.Stop();
  EXPECT_EQ(player_.Mode(), mpStopped);
  Render(0.3);  // only the reverb's fading echo may follow the notes
  EXPECT_LT(Peak(Render(0.2)), playing / 100);
  player_.Rewind();
  player_.Play();
  EXPECT_NEAR(SecondsUntilStopped(10), whole, 0.15);  // not 0.5 s short
}

TEST_F(MidiSequencer, MissingOrBrokenFilesNeverPlay) {
  const Bytes whole = Arpeggio();
  const Bytes truncated(whole.begin(), whole.end() - 6);
  Bytes garbageEvents = Chunk("MThd", {0, 0, 0, 1, 0x01, 0xE0});
  const Bytes junk = Chunk("MTrk", Bytes(64, 0xF7));
  garbageEvents.insert(garbageEvents.end(), junk.begin(), junk.end());
  Write("truncated.mid", truncated);
  Write("empty.mid", {});
  Write("text.mid", Bytes(200, 'x'));
  Write("events.mid", garbageEvents);

  for (const char* name : {"missing.mid", "truncated.mid", "empty.mid", "text.mid", "events.mid"}) {
    SCOPED_TRACE(name);
    Open(name);
    player_.Play();
    Render(0.5);
    EXPECT_NE(player_.Mode(), mpPlaying);
    EXPECT_LT(Peak(Render(0.2)), 1e-4f);
  }
  Open("missing.mid");
  EXPECT_EQ(player_.Mode(), mpNotReady);
}

}  // namespace
