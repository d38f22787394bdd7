#include <sys/stat.h>

#include <cstring>
#include <set>

#include "music_fixture.h"
#include "platform/files.h"
#include "platform/tasks.h"

using music_test::Join;
using music_test::Mp3Start;
using music_test::MidiStart;
using music_test::MusicCalls;
using music_test::OpenedFiles;
using music_test::Peak;

namespace {

std::string Settings(const std::string& body) { return "[BGM]\r\n" + body; }

std::filesystem::path Normal(const std::string& gamePath) {
  return std::filesystem::path(platform::NativePath(gamePath)).lexically_normal();
}

}  // namespace

using MusicChoice = MusicTest;

TEST_F(MusicChoice, SettingZeroPlaysTheGamesOwnMp3WhateverFileIsNamed) {
  Touch("data/tamsu01.mp3");
  Touch("data/other.mp3");
  WriteSettings(Settings("Settei=0\r\nMusicName=" + InData("other.mp3") + "\r\n"));
  const auto calls = StartAndSetUpMusic();
  EXPECT_EQ(form->bgmPath, OwnMusic());
  EXPECT_FALSE(form->shuffleMode);
  EXPECT_EQ(calls, Join({"vbmp3_init"}, Mp3Start(OwnMusic())));
  EXPECT_TRUE(form->musicOn);
  EXPECT_TRUE(form->bgmReady);
}

TEST_F(MusicChoice, SettingOnePlaysTheNamedFileWithItsOwnPlayer) {
  std::filesystem::create_directories(folder.Native("tunes"));
  test_audio::WriteBytes(folder.Native("tunes/song.mid"), test_audio::Arpeggio());
  const std::string named = folder.Game("tunes\\song.mid");
  WriteSettings(Settings("Settei=1\r\nMusicName=" + named + "\r\n"));
  const auto calls = StartAndSetUpMusic();
  EXPECT_EQ(form->bgmPath, named);
  EXPECT_FALSE(form->shuffleMode);
  EXPECT_EQ(calls, Join({"vbmp3_init"}, MidiStart(named)));
  EXPECT_EQ(form->MediaPlayer1.Mode(), mpPlaying);
}

TEST_F(MusicChoice, SettingOneWithAMissingOrUnnamedFileFallsBackToTheOwnMp3) {
  for (const std::string& body : {"Settei=1\r\nMusicName=" + folder.Game("gone.mp3") + "\r\n", std::string("Settei=1\r\n")}) {
    SCOPED_TRACE(body);
    TearDown();
    SetUp();
    WriteSettings(Settings(body));
    const auto calls = StartAndSetUpMusic();
    EXPECT_EQ(form->bgmPath, OwnMusic());
    EXPECT_EQ(calls, Join({"vbmp3_init"}, Mp3Start(OwnMusic())));
  }
}

// Neither ".mid" nor ".mp3": the set-up starts nothing; the monitor takes it for an MP3
// of length 0 started at time 0, so it starts it once the clock is past one second.
TEST_F(MusicChoice, NamedFileOfAnotherKindIsStartedOnlyByTheMonitor) {
  Touch("tunes/SONG.MP3");
  const std::string named = folder.Game("tunes\\SONG.MP3");
  WriteSettings(Settings("Settei=1\r\nMusicName=" + named + "\r\n"));
  headless::SetTime(0);
  const auto calls = StartAndSetUpMusic();
  EXPECT_EQ(form->bgmPath, named);
  EXPECT_EQ(calls, std::vector<std::string>{"vbmp3_init"});
  std::vector<std::string> later;
  while (later.empty() && headless::Now() < 2000) later = Pass();
  EXPECT_EQ(later, Mp3Start(named));
  EXPECT_GT(form->mp3StartTime, 1000u);
  EXPECT_LE(form->mp3StartTime, 1025u);
}

TEST_F(MusicChoice, JapaneseNamesFromAShiftJisOrUtf8SettingsFile) {
  // 表 and ソ end in the byte of '\' in Shift-JIS.
  std::filesystem::create_directories(folder.Native("曲"));
  Touch("曲/表ソ.mp3");
  const std::string named = folder.Game(Sjis(u"曲\\表ソ.mp3"));
  const std::string utf8Name = folder.Game("曲\\表ソ.mp3");
  for (const std::string& file : {Settings("Settei=1\r\nMusicName=" + named + "\r\n"),
                                  "\xEF\xBB\xBF" + Settings("Settei=1\r\nMusicName=" + utf8Name + "\r\n")}) {
    TearDown();
    SetUp();
    WriteSettings(file);
    const auto calls = StartAndSetUpMusic();
    EXPECT_EQ(form->bgmPath, named);
    EXPECT_EQ(calls, Join({"vbmp3_init"}, Mp3Start(named)));
  }
}

TEST_F(MusicChoice, FolderWithNothingPlayableFallsBackToTheOwnMp3) {
  std::filesystem::create_directories(folder.Native("empty"));
  Touch("upper/A.MP3");
  Touch("upper/B.MID");
  Touch("upper/notes.txt");
  Touch("upper/deeper/C.Mp3");
  for (const char* name : {"missing", "empty", "upper"}) {
    SCOPED_TRACE(name);
    TearDown();
    SetUp();
    WriteSettings(Settings("Settei=2\r\nMusicFolda=" + folder.Game(name) + "\r\n"));
    const auto calls = StartAndSetUpMusic();
    EXPECT_EQ(form->bgmPath, OwnMusic());
    EXPECT_FALSE(form->shuffleMode);
    EXPECT_EQ(form->trackCount, 0);
    EXPECT_EQ(calls, Join({"vbmp3_init"}, Mp3Start(OwnMusic())));
  }
}

TEST_F(MusicChoice, OtherSettingOrNoSettingsFilePlaysTheOwnMp3) {
  for (const std::string& file : {std::string(), Settings("Settei=7\r\nMusicName=x.mid\r\n")}) {
    TearDown();
    SetUp();
    if (!file.empty()) WriteSettings(file);
    const auto calls = StartAndSetUpMusic();
    EXPECT_EQ(form->bgmPath, OwnMusic());
    EXPECT_FALSE(form->shuffleMode);
    EXPECT_EQ(calls, Join({"vbmp3_init"}, Mp3Start(OwnMusic())));
  }
}

TEST_F(MusicChoice, FolderWithOneTrackLoopsItAsAFixedFile) {
  if (!HaveTones()) GTEST_SKIP() << "the lame encoder is needed (Debian package lame)";
  CopyTone(music_test::EncodedTones::Get().Short(), "one/deep/only.mp3");
  Touch("one/cover.jpg");
  WriteSettings(Settings("Settei=2\r\nMusicFolda=" + folder.Game("one") + "\r\n"));
  const auto calls = StartAndSetUpMusic();
  const std::string only = folder.Game("one\\deep\\only.mp3");
  EXPECT_EQ(form->bgmPath, only);
  EXPECT_FALSE(form->shuffleMode);
  EXPECT_EQ(form->trackCount, 1);
  EXPECT_EQ(calls, Join({"vbmp3_init"}, Mp3Start(only)));

  // 2 s long: started again 3 s later, and again 3 s after that.
  std::vector<std::string> later;
  for (int i = 0; i < 2; ++i) {
    const DWORD started = form->mp3StartTime;
    RunFrames(125);
    const auto more = MusicCalls(headless::TakeTrace());
    later.insert(later.end(), more.begin(), more.end());
    EXPECT_GT(form->mp3StartTime, started + 3000);
    EXPECT_LE(form->mp3StartTime, started + 3025);
  }
  EXPECT_EQ(later, Join(Mp3Start(only), Mp3Start(only)));
}

TEST_F(MusicChoice, ShuffledFolderPlaysEveryTrackOncePerCycleAndGoesOn) {
  Touch("box/one.mp3");
  Touch("box/a/two.mid");
  Touch("box/a/b/three.mp3");
  Touch("box/a/b/readme.txt");
  Touch("box/c/FOUR.MP3");
  WriteSettings(Settings("Settei=2\r\nMusicFolda=" + folder.Game("box") + "\r\n"));
  const auto calls = StartAndSetUpMusic();
  EXPECT_TRUE(form->shuffleMode);
  ASSERT_EQ(form->trackCount, 3);
  std::set<std::filesystem::path> found;
  for (const auto& name : form->trackNames) found.insert(Normal(name));
  EXPECT_EQ(found, (std::set<std::filesystem::path>{Normal(folder.Game("box\\one.mp3")),
                                                    Normal(folder.Game("box\\a\\two.mid")),
                                                    Normal(folder.Game("box\\a\\b\\three.mp3"))}));
  EXPECT_EQ(form->playedCount, 1);
  ASSERT_EQ(OpenedFiles(calls), std::vector<std::string>{form->bgmPath});

  // Neither player accepts these files, so each track "ends" within a second.
  std::vector<std::string> all = calls;
  for (int frame = 0; frame < 2000 && OpenedFiles(all).size() < 15; ++frame) {
    RunFrames(1);
    const auto more = MusicCalls(headless::TakeTrace());
    all.insert(all.end(), more.begin(), more.end());
  }
  const auto played = OpenedFiles(all);
  ASSERT_EQ(played.size(), 15u);
  for (size_t cycle = 0; cycle < 5; ++cycle) {
    const std::set<std::string> tracks(played.begin() + 3 * cycle, played.begin() + 3 * cycle + 3);
    EXPECT_EQ(tracks.size(), 3u) << "cycle " << cycle;
  }

  // Whatever ended is silenced before the next track starts.
  std::string previous;
  std::vector<std::string> between;
  for (const std::string& call : all) {
    const auto opened = OpenedFiles({call});
    if (opened.empty()) {
      between.push_back(call);
      continue;
    }
    const auto has = [&](const char* c) { return std::find(between.begin(), between.end(), c) != between.end(); };
    if (previous.ends_with(".mid")) {
      EXPECT_TRUE(has("MediaPlayer.Stop") && has("MediaPlayer.Close")) << "after " << previous;
    } else if (!previous.empty()) {
      EXPECT_TRUE(has("vbmp3_close")) << "after " << previous;
    }
    previous = opened[0];
    between.clear();
  }
}

TEST_F(MusicChoice, LinkBackToAParentFolderIsNotFollowed) {
  Touch("loop/a/one.mp3");
  Touch("loop/two.mid");
  std::filesystem::create_directory_symlink("..", folder.Native("loop/a/up"));
  WriteSettings(Settings("Settei=2\r\nMusicFolda=" + folder.Game("loop") + "\r\n"));
  StartAndSetUpMusic();
  ASSERT_EQ(form->trackCount, 2);
  std::multiset<std::filesystem::path> found;
  for (const auto& name : form->trackNames) found.insert(Normal(name));
  EXPECT_EQ(found, (std::multiset<std::filesystem::path>{Normal(folder.Game("loop\\a\\one.mp3")),
                                                         Normal(folder.Game("loop\\two.mid"))}));
}

// Neither may hang the title or read without end.
TEST_F(MusicChoice, AFifoOrAnEndlessDeviceInTheFolderIsSkippedWhenPlayed) {
  std::filesystem::create_directories(folder.Native("special"));
  ASSERT_EQ(::mkfifo(folder.Native("special/a.mp3").c_str(), 0644), 0);
  std::filesystem::create_symlink("/dev/zero", folder.Native("special/z.mid"));
  WriteSettings(Settings("Settei=2\r\nMusicFolda=" + folder.Game("special") + "\r\n"));
  StartAndSetUpMusic();
  ASSERT_EQ(form->trackCount, 2);
  form->bgmPath = folder.Game("special\\a.mp3");
  form->StartMp3();
  form->bgmPath = folder.Game("special\\z.mid");
  form->StartMidi();
  EXPECT_NE(form->MediaPlayer1.Mode(), mpPlaying);
}

TEST_F(MusicChoice, TheFolderIsReadNoDeeperThanTwelveLevels) {
  std::string path = "deep";
  for (int level = 1; level <= 13; ++level) {
    path += "/" + std::to_string(level);
    Touch(path + "/at" + std::to_string(level) + ".mid");
  }
  WriteSettings(Settings("Settei=2\r\nMusicFolda=" + folder.Game("deep") + "\r\n"));
  StartAndSetUpMusic();
  EXPECT_EQ(form->trackCount, 12);
}

using MusicMonitor = MusicTest;

TEST_F(MusicMonitor, SixtySecondMp3RestartsOnTheFirstPassAfterSixtyOneSeconds) {
  if (!HaveTones()) GTEST_SKIP() << "the lame encoder is needed (Debian package lame)";
  headless::SetAudioOutput(false);  // only the calls matter here; a minute of mixing is slow
  CopyTone(music_test::EncodedTones::Get().Long(), "data/tamsu01.mp3");
  StartAndSetUpMusic();
  std::int32_t seconds;
  std::memcpy(&seconds, &form->mp3Info[kVbmp3LengthOffset], 4);
  ASSERT_EQ(seconds, 60);
  const DWORD t = form->mp3StartTime;

  headless::SetTime(t + 59000);  // the last two seconds pass by idle passes
  std::vector<std::string> calls;
  while (calls.empty() && headless::Now() < t + 62000) calls = Pass();
  EXPECT_EQ(calls, Mp3Start(OwnMusic()));
  EXPECT_GT(form->mp3StartTime, t + 61000);
  EXPECT_LE(form->mp3StartTime, t + 61000 + 25);

  // At the exact boundary the track still counts as playing.
  form->mp3StartTime = headless::Now() - 61000;
  form->MusicMonitor();
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());
  headless::AdvanceTime(1);
  form->MusicMonitor();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), Mp3Start(OwnMusic()));
}

TEST_F(MusicMonitor, TrackStartedJustBeforeTheClockWrapsIsNotCutShort) {
  Touch("data/tamsu01.mp3");
  StartAndSetUpMusic();
  headless::StartTrace();
  headless::SetTime(0xFFFFFFFFu - 5000);
  form->mp3StartTime = headless::Now();
  const std::int32_t sixty = 60;
  std::memcpy(&form->mp3Info[kVbmp3LengthOffset], &sixty, 4);
  for (int i = 0; i < 4; ++i) {  // the last call comes after the clock has wrapped
    form->MusicMonitor();
    headless::AdvanceTime(3000);
  }
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());
}

TEST_F(MusicMonitor, FixedMidiIsAskedEveryFortiethPassAndReplayedWhenItStops) {
  test_audio::WriteBytes(folder.Native("data/song.mid"), test_audio::Arpeggio());
  WriteSettings(Settings("Settei=1\r\nMusicName=" + InData("song.mid") + "\r\n"));
  headless::StartTrace();
  Start();
  RunFrames(19);
  int pass = 0;
  std::vector<int> queries;
  std::vector<std::string> whenStopped;
  while (whenStopped.empty() && pass < 20000) {
    const auto calls = Pass();
    if (form->bgmReady) ++pass;  // the set-up's own pass is the first
    if (std::count(calls.begin(), calls.end(), "MediaPlayer.Mode") > 0) queries.push_back(pass);
    if (calls.size() > 1 && pass > 1) whenStopped = calls;
  }
  ASSERT_GE(queries.size(), 3u) << "a second of notes outlasts three queries";
  for (size_t i = 0; i < queries.size(); ++i) EXPECT_EQ(queries[i], 40 * static_cast<int>(i + 1));
  EXPECT_EQ(whenStopped, (std::vector<std::string>{"MediaPlayer.Mode", "MediaPlayer.Stop", "MediaPlayer.Rewind",
                                                   "MediaPlayer.Play"}));
  EXPECT_EQ(form->MediaPlayer1.Mode(), mpPlaying);
  EXPECT_EQ(form->midiPollTicks, 0);
}

TEST_F(MusicMonitor, ShuffledMidiIsReplacedByTheOtherTrackWhenItStops) {
  std::filesystem::create_directories(folder.Native("midi"));
  test_audio::WriteBytes(folder.Native("midi/one.mid"), test_audio::Arpeggio());
  test_audio::WriteBytes(folder.Native("midi/two.mid"), test_audio::Arpeggio());
  WriteSettings(Settings("Settei=2\r\nMusicFolda=" + folder.Game("midi") + "\r\n"));
  StartAndSetUpMusic();
  ASSERT_TRUE(form->shuffleMode);
  const std::string first = form->bgmPath;
  const std::string other = first == form->trackNames[0] ? form->trackNames[1] : form->trackNames[0];
  headless::StartTrace();
  std::vector<std::string> calls;
  for (int pass = 0; pass < 20000 && calls.size() < 2; ++pass) calls = Pass();
  EXPECT_EQ(calls, Join({"MediaPlayer.Mode", "MediaPlayer.Stop", "MediaPlayer.Close"}, MidiStart(other)));
  EXPECT_EQ(form->bgmPath, other);
  EXPECT_EQ(form->playedCount, 2);
}

TEST_F(MusicMonitor, EndToEndTheOwnMp3IsHeardFromHalfASecond) {
  if (!HaveTones()) GTEST_SKIP() << "the lame encoder is needed (Debian package lame)";
  CopyTone(music_test::EncodedTones::Get().Long(), "data/tamsu01.mp3");
  headless::StartAudioCapture();
  Start();
  RunFrames(48);
  const auto heard = headless::TakeAudioCapture();
  EXPECT_EQ(Peak(heard, 0, 0.49), 0.0f);
  EXPECT_GT(Peak(heard, 0.6, 1.2), 0.2f);
}

TEST_F(MusicMonitor, MusicVolumeOfTheSettingsScalesTheTrackAndOutOfRangeValuesAreClamped) {
  if (!HaveTones()) GTEST_SKIP() << "the lame encoder is needed (Debian package lame)";
  CopyTone(music_test::EncodedTones::Get().Long(), "data/tamsu01.mp3");
  WriteSettings("[Sound]\r\nMusicVolume=50\r\nEffectsVolume=-20\r\n");
  headless::StartAudioCapture();
  Start();
  RunFrames(48);
  const float half = Peak(headless::TakeAudioCapture(), 0.6, 1.2);
  EXPECT_EQ(form->effectsVolume, 0);
  form->musicVolume = 100;
  form->ApplyVolumes();
  headless::StartAudioCapture();
  RunFrames(24);
  const float full = Peak(headless::TakeAudioCapture(), 0, 0.6);
  EXPECT_GT(full, 0.2f);
  EXPECT_NEAR(half / full, 0.5f, 0.03f);
}

using MusicSwitch = MusicTest;

TEST_F(MusicSwitch, OffSilencesAndOnStartsTheSameMp3FromItsBeginning) {
  if (!HaveTones()) GTEST_SKIP() << "the lame encoder is needed (Debian package lame)";
  CopyTone(music_test::EncodedTones::Get().Long(), "data/tamsu01.mp3");
  StartAndSetUpMusic();
  RunFrames(20);
  headless::StartTrace();
  form->ToggleMusic();
  EXPECT_FALSE(form->musicOn);
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), std::vector<std::string>{"vbmp3_stop"});

  headless::StartAudioCapture();
  headless::SetAudioOutput(false);
  headless::AdvanceTime(120000);  // long past the track's end
  headless::SetAudioOutput(true);
  RunFrames(20);
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty()) << "the monitor stays silent";
  EXPECT_EQ(Peak(headless::TakeAudioCapture(), 0, 1), 0.0f);

  form->ToggleMusic();
  EXPECT_TRUE(form->musicOn);
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), Mp3Start(OwnMusic()));
  EXPECT_EQ(form->mp3StartTime, headless::Now());
  headless::StartAudioCapture();
  RunFrames(20);
  EXPECT_GT(Peak(headless::TakeAudioCapture(), 0.1, 0.5), 0.2f);
}

TEST_F(MusicSwitch, MidiIsStoppedAndRewound) {
  test_audio::WriteBytes(folder.Native("data/song.mid"), test_audio::Arpeggio());
  WriteSettings(Settings("Settei=1\r\nMusicName=" + InData("song.mid") + "\r\n"));
  StartAndSetUpMusic();
  RunFrames(3);
  headless::StartTrace();
  form->ToggleMusic();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), std::vector<std::string>{"MediaPlayer.Stop"});
  EXPECT_NE(form->MediaPlayer1.Mode(), mpPlaying);
  headless::TakeTrace();
  form->midiPollTicks = 17;
  form->ToggleMusic();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), (std::vector<std::string>{"MediaPlayer.Rewind", "MediaPlayer.Play"}));
  EXPECT_EQ(form->midiPollTicks, 0);
  EXPECT_EQ(form->MediaPlayer1.Mode(), mpPlaying);
}

TEST_F(MusicSwitch, IgnoredBeforeTheSetUpAndAtAStageEnd) {
  Touch("data/tamsu01.mp3");
  headless::StartTrace();
  Start();
  for (int frame = 1; frame < 20; ++frame) {
    RunFrames(1);
    form->ToggleMusic();
    EXPECT_FALSE(form->musicOn) << "frame " << frame;
  }
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());
  RunFrames(1);
  ASSERT_TRUE(form->musicOn);

  form->StopMusicAtStageEnd();
  headless::TakeTrace();
  form->ToggleMusic();
  form->ToggleMusic();
  form->ToggleMusic();
  EXPECT_TRUE(form->musicOn);
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());
}

// Once a game is under way the title's set-up flag no longer matters.
TEST_F(MusicSwitch, WorksInPlayAfterTheTitleFlagsAreCleared) {
  Touch("data/tamsu01.mp3");
  StartAndSetUpMusic();
  form->titlePhase = false;
  form->bgmReady = false;
  headless::StartTrace();
  form->ToggleMusic();
  EXPECT_FALSE(form->musicOn);
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), std::vector<std::string>{"vbmp3_stop"});
}

using StageMusic = MusicTest;

TEST_F(StageMusic, StageEndStopsTheTrackAndSuspendsTheMonitor) {
  Touch("data/tamsu01.mp3");
  StartAndSetUpMusic();
  headless::StartTrace();
  form->StopMusicAtStageEnd();
  EXPECT_TRUE(form->stageEnded);
  EXPECT_TRUE(form->musicOn);
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), std::vector<std::string>{"vbmp3_stop"});
  RunFrames(200);  // the unplayable track would otherwise be restarted every second
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());
}

TEST_F(StageMusic, StageEndWithTheMusicOffCallsNoPlayer) {
  Touch("data/tamsu01.mp3");
  StartAndSetUpMusic();
  form->ToggleMusic();
  headless::StartTrace();
  form->StopMusicAtStageEnd();
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());
}

TEST_F(StageMusic, ContinuingRestartsTheTrackUnlessOffOrResumed) {
  Touch("data/tamsu01.mp3");
  StartAndSetUpMusic();
  form->StopMusicAtStageEnd();
  form->resumeState = 2;
  headless::StartTrace();
  form->RestartMusicAfterStage();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), Mp3Start(OwnMusic()));

  form->resumeState = 1;
  form->RestartMusicAfterStage();
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());

  form->resumeState = 2;
  form->musicOn = false;
  form->RestartMusicAfterStage();
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());
}

TEST_F(StageMusic, VictoryMusicSixSecondsAfterTheClearOnceEvenWithTheMusicOff) {
  if (!HaveTones()) GTEST_SKIP() << "the lame encoder is needed (Debian package lame)";
  Touch("data/tamsu01.mp3");
  CopyTone(music_test::EncodedTones::Get().Short(), "data/parade.mp3");
  StartAndSetUpMusic();
  form->titlePhase = false;
  form->ToggleMusic();
  ASSERT_FALSE(form->musicOn);
  // What judging does at the clear.
  form->gameCleared = true;
  form->gameClearTime = headless::Now();
  form->StopMusicAtStageEnd();

  headless::StartTrace();
  headless::StartAudioCapture();
  std::vector<std::string> calls;
  while (calls.empty() && headless::Now() < form->gameClearTime + 7000) calls = Pass();
  const DWORD startedAt = form->lastFrameTime;  // the parade starts right after the frame
  const std::string parade = InData("parade.mp3");
  EXPECT_EQ(calls, Mp3Start(parade));
  EXPECT_TRUE(form->paradeStarted);
  EXPECT_GE(startedAt, form->gameClearTime + 6000);
  EXPECT_LT(startedAt, form->gameClearTime + 6000 + 25);
  EXPECT_EQ(Peak(headless::TakeAudioCapture(), 0, 5.9), 0.0f);

  // Heard, then over: a 2 s tune is not played again.
  headless::StartAudioCapture();
  RunFrames(200);
  const auto heard = headless::TakeAudioCapture();
  EXPECT_GT(Peak(heard, 0.2, 1.5), 0.2f);
  EXPECT_EQ(Peak(heard, 3.5, 5), 0.0f);
  EXPECT_TRUE(MusicCalls(headless::TakeTrace()).empty());

  // Shift after the clear.
  form->RestartMusicAfterStage();
  EXPECT_FALSE(form->paradeStarted);
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), std::vector<std::string>{"vbmp3_stop"});
}

TEST_F(StageMusic, ShiftDuringTheVictoryMusicStopsItAndRestartsTheBackground) {
  if (!HaveTones()) GTEST_SKIP() << "the lame encoder is needed (Debian package lame)";
  Touch("data/tamsu01.mp3");
  CopyTone(music_test::EncodedTones::Get().Long(), "data/parade.mp3");
  StartAndSetUpMusic();
  form->titlePhase = false;
  form->resumeState = 2;
  form->gameCleared = true;
  form->gameClearTime = headless::Now();
  form->StopMusicAtStageEnd();
  RunFrames(260);
  ASSERT_TRUE(form->paradeStarted);
  headless::StartTrace();
  form->RestartMusicAfterStage();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), Join({"vbmp3_stop"}, Mp3Start(OwnMusic())));
  form->gameCleared = form->stageEnded = false;  // the rest of Shift's work
  headless::StartAudioCapture();
  RunFrames(20);
  EXPECT_EQ(Peak(headless::TakeAudioCapture(), 0, 0.5), 0.0f) << "the parade is silenced";
}

namespace {

// Escape as the key handler treats it: quit, and close the window.
class EscapableForm : public TForm1 {
 public:
  using TForm1::TForm1;
  void FormKeyDown(WORD& Key, TShiftState Shift) override {
    if (Key == VK_ESCAPE) {
      quitRequested = true;
      Close();
      return;
    }
    TForm1::FormKeyDown(Key, Shift);
  }
};

}  // namespace

using MusicSetUpQuit = MusicTest;

TEST_F(MusicSetUpQuit, EscapeWhileTheSetUpLetsMessagesThroughAbandonsIt) {
  Touch("data/tamsu01.mp3");
  Touch("box/one.mp3");
  for (const std::string& file : {std::string(), Settings("Settei=2\r\nMusicFolda=" + folder.Game("box") + "\r\n")}) {
    SCOPED_TRACE(file);
    TearDown();
    SetUp();
    if (!file.empty()) WriteSettings(file);
    application = std::make_unique<TApplication>();
    application->Initialize();
    form = &application->CreateForm<EscapableForm>();
    RunFrames(19);
    headless::StartTrace();
    headless::PostKeyDown(VK_ESCAPE);  // waiting in the queue when the set-up pumps it
    headless::AdvanceTime(25);
    EXPECT_TRUE(Idle()) << "the pass ends before Done is cleared";
    EXPECT_FALSE(form->bgmReady);
    EXPECT_FALSE(form->musicOn);
    EXPECT_TRUE(form->trackNames.empty()) << "the folder is not scanned";
    EXPECT_TRUE(application->Terminated());
    const auto calls = MusicCalls(headless::TakeTrace());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "vbmp3_init"), 0);
    EXPECT_TRUE(OpenedFiles(calls).empty());
  }
}

namespace {

// Counts the looks at the window's messages from now until it is destroyed, and presses
// Escape at one of them. A pump looks once more after each message it finds.
class MessagePumps {
 public:
  explicit MessagePumps(int pressEscapeAt = 0) : state_(std::make_shared<State>(State{0, pressEscapeAt, true})) {
    Watch(state_);
  }
  ~MessagePumps() { state_->watching = false; }
  int Count() const { return state_->count; }

 private:
  struct State {
    int count, pressEscapeAt;
    bool watching;
  };
  // Posted tasks run at each look; each run posts the next.
  static void Watch(std::shared_ptr<State> state) {
    platform::PostToGameThread([state] {
      if (!state->watching) return;
      if (++state->count == state->pressEscapeAt) headless::PostKeyDown(VK_ESCAPE);
      Watch(state);
    });
  }
  std::shared_ptr<State> state_;
};

}  // namespace

// A folder as large as a disk takes a while to read; meanwhile the window answers, and an
// Escape pressed then ends the reading instead of waiting for it.
TEST_F(MusicSetUpQuit, TheWindowAnswersWhileALargeFolderIsReadAndEscapeStopsIt) {
  constexpr int kFolders = 24, kFilesEach = 100;
  for (int f = 0; f < kFolders; ++f) {
    for (int i = 0; i < kFilesEach; ++i) Touch("huge/" + std::to_string(f) + "/" + std::to_string(i) + ".mid");
  }
  const std::string settings = Settings("Settei=2\r\nMusicFolda=" + folder.Game("huge") + "\r\n");
  // The set-up looks at the messages once before it reads the folder: the second look is the reading's.
  for (const int escapeAt : {0, 2}) {
    SCOPED_TRACE(escapeAt);
    TearDown();
    SetUp();
    WriteSettings(settings);
    application = std::make_unique<TApplication>();
    application->Initialize();
    form = &application->CreateForm<EscapableForm>();
    RunFrames(19);
    const MessagePumps pumps(escapeAt);
    headless::AdvanceTime(25);
    Idle();
    if (escapeAt == 0) {
      EXPECT_EQ(form->trackCount, kFolders * kFilesEach);
      EXPECT_GE(pumps.Count(), kFolders * kFilesEach / 256) << "the window waits for the whole folder";
    } else {
      EXPECT_LE(pumps.Count(), escapeAt + 1) << "the folder is read on after Escape";
      EXPECT_TRUE(application->Terminated());
      EXPECT_FALSE(form->bgmReady);
      EXPECT_TRUE(form->trackNames.empty());
    }
  }
}
