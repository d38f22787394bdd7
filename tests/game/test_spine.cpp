#include <algorithm>
#include <cstring>
#include <set>

#include <gmock/gmock.h>

#include "game_fixture.h"
#include "play_helpers.h"
#include "record_bytes.h"
#include "platform/codepage.h"

using Pacing = GameTest;

TEST_F(Pacing, EarlyPassRunsNoFrameButAsksToBeCalledAgain) {
  Start();
  headless::AdvanceTime(10);
  EXPECT_FALSE(Idle());
  EXPECT_EQ(headless::FramesPresented(), 0);
  EXPECT_TRUE(headless::Sleeps().empty());
}

TEST_F(Pacing, FrameSleepsUntilThreeMillisecondsBeforeTheNext) {
  TForm1& game = Start();
  headless::AdvanceTime(25);
  Idle();
  ASSERT_EQ(headless::FramesPresented(), 1);
  EXPECT_EQ(game.lastFrameTime, kStartTime + 25);
  ASSERT_EQ(headless::Sleeps().size(), 1u);
  EXPECT_EQ(headless::Sleeps()[0], 22u);
}

TEST_F(Pacing, SlowFrameIsFollowedAtOnceByTheNext) {
  TForm1& game = Start();
  headless::SetPresentCost(30);
  headless::AdvanceTime(25);
  Idle();
  EXPECT_TRUE(headless::Sleeps().empty());
  const DWORD secondStart = headless::Now();
  Idle();
  EXPECT_EQ(headless::FramesPresented(), 2);
  EXPECT_EQ(game.lastFrameTime, secondStart);
}

TEST_F(Pacing, FramesStartExactlyTwentyFiveMillisecondsApartInTheMessageLoop) {
  Start();
  headless::PostClose(kStartTime + 400 * 25 + 10);
  application->Run();
  const auto& starts = headless::PresentTimes();
  ASSERT_EQ(starts.size(), 400u);
  for (size_t i = 0; i < starts.size(); ++i) EXPECT_EQ(starts[i], kStartTime + 25 * (i + 1)) << "frame " << i;
}

TEST_F(Pacing, ClockWrapStillRunsFrames) {
  headless::SetTime(0xFFFFFFFFu - 30);
  Start();
  RunFrames(5);
  EXPECT_EQ(headless::FramesPresented(), 5);
}

using StartUp = GameTest;

namespace {

// Text textures are made anew whenever their text changes; those releases are not start-up's steps.
std::vector<std::string> WithoutReleases(std::vector<std::string> trace) {
  std::erase_if(trace, [](const std::string& call) { return call.starts_with("ReleaseTexture"); });
  return trace;
}

}  // namespace

TEST_F(StartUp, GoesFullScreenHidesCursorAndSetsTimerPeriodInOrder) {
  headless::StartTrace();
  Start();
  const std::vector<std::string> expected{"OpenWindow", "Windowed", "FullScreen", "ShowCursor(FALSE)",
                                          "timeBeginPeriod(1)"};
  EXPECT_EQ(WithoutReleases(headless::TakeTrace()), expected);
  const auto window = headless::Window();
  EXPECT_TRUE(window.fullScreen);
  EXPECT_EQ(window.width, 640);
  EXPECT_EQ(window.height, 480);
  EXPECT_EQ(window.title, "ことぶね");
}

TEST_F(StartUp, InitialStateWithoutRecordFile) {
  TForm1& game = Start();
  EXPECT_EQ(game.screenWidth, 640);
  EXPECT_EQ(game.screenHeight, 480);
  EXPECT_EQ(game.exeDir, folder.Native("") );
  EXPECT_EQ(game.bestScore, 20000);
  EXPECT_EQ(game.savedMarker(), -1);
  EXPECT_EQ(game.resumeState, 0);
  EXPECT_TRUE(game.titlePhase);
  EXPECT_EQ(game.gauge, 20);
  EXPECT_EQ(game.stageStartGauge, 20);
  EXPECT_EQ(game.messageText[0], platform::Utf16ToCp932(u"ＢＧＭ設定中．．．"));
  EXPECT_EQ(game.lastFrameTime, kStartTime);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(game.ballChar[i], std::u16string(1, u"ことぶね"[i % 4]));
  for (int r = 0; r < 2; ++r) {
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(game.answerSlot[r][i].x, 480 + 35 * i);
      EXPECT_EQ(game.answerSlot[r][i].y, 48 + 135 * r);
    }
  }
  EXPECT_EQ(game.sharkAngle, 0);
  const auto sharkWidth = static_cast<std::int32_t>(game.texShark->Width());
  const auto sharkHeight = static_cast<std::int32_t>(game.texShark->Height());
  EXPECT_EQ(game.sharkX, 240 - sharkWidth / 2);
  EXPECT_EQ(game.sharkY, 60 - sharkHeight / 2) << "the top of a circle of radius 180 around (240, 240)";
  EXPECT_TRUE(game.sharkShown);
}

TEST_F(StartUp, RecordWithSavedGameAsksToResume) {
  folder.Write("data/record1.dat", RecordWith(123456, 7));
  TForm1& game = Start();
  EXPECT_EQ(game.bestScore, 123456);
  EXPECT_EQ(game.resumeState, -1);
}

TEST_F(StartUp, RecordWithoutSavedGameStartsFresh) {
  folder.Write("data/record1.dat", RecordWith(30000, -1));
  TForm1& game = Start();
  EXPECT_EQ(game.bestScore, 30000);
  EXPECT_EQ(game.resumeState, 0);
}

TEST_F(StartUp, TruncatedRecordCountsAsNone) {
  folder.Write("data/record1.dat", RecordWith(30000, 3).substr(0, 540));
  TForm1& game = Start();
  EXPECT_EQ(game.bestScore, 20000);
  EXPECT_EQ(game.resumeState, 0);
}

TEST_F(StartUp, WritesNoDataFile) {
  Start();
  const std::vector<std::filesystem::path> expected{folder.Native("data/data.qda")};
  const std::vector<std::filesystem::path> present(std::filesystem::directory_iterator(folder.Native("data")), {});
  EXPECT_EQ(present, expected);
}

// Seeded after the first round reset, every run would open with the same title balls.
TEST_F(StartUp, RandomSeedIsTakenBeforeTheFirstRoundReset) {
  const auto speeds = [&](std::uint32_t seed) {
    application.reset();
    headless::SetClockSeed(seed);
    TForm1& game = Start();
    std::vector<std::int32_t> all;
    for (const TGameObject& b : game.ball) all.insert(all.end(), {b.dx, b.dy});
    return all;
  };
  EXPECT_NE(speeds(1), speeds(2));
}

// A key pumped by the game frame shows where the frame runs between begin and render.
TEST_F(StartUp, EachFrameChecksTheDeviceBeginsRunsTheGameRendersEndsAndPresentsInOrder) {
  TForm1& game = Start();
  RunFrames(30);
  ASSERT_TRUE(game.musicOn);
  headless::PostKeyDown('Z');
  headless::StartTrace();
  game.DriveFrame();
  std::vector<std::string> steps;
  for (std::string call : headless::TakeTrace()) {
    if (call.rfind("DrawPrimitiveUP", 0) == 0) call = "DrawPrimitiveUP";
    const std::set<std::string> wanted{"TestCooperativeLevel", "BeginScene", "vbmp3_stop", "DrawPrimitiveUP",
                                       "EndScene", "Present"};
    if (wanted.count(call) != 0 && (steps.empty() || steps.back() != call)) steps.push_back(call);
  }
  const std::vector<std::string> expected{"TestCooperativeLevel", "BeginScene", "vbmp3_stop", "DrawPrimitiveUP",
                                          "EndScene",             "Present"};
  EXPECT_EQ(steps, expected);
}

using TitlePhase = GameTest;

TEST_F(TitlePhase, MusicSetUpAtFrameTwentyAndShiftPromptAtFrameHundred) {
  TForm1& game = Start();
  RunFrames(19);
  EXPECT_FALSE(game.bgmReady);
  RunFrames(1);
  EXPECT_TRUE(game.bgmReady);
  EXPECT_TRUE(game.musicOn);
  RunFrames(79);
  EXPECT_FALSE(game.startPromptShown);
  RunFrames(1);
  EXPECT_TRUE(game.startPromptShown);
  EXPECT_TRUE(game.startPromptLive);
  EXPECT_EQ(game.messageText[0], platform::Utf16ToCp932(u"準備ができたらShiftキーを押してください。"));
  EXPECT_EQ(game.stage, 1);
  const int ticks = game.titleTicks;
  RunFrames(10);
  EXPECT_EQ(game.titleTicks, ticks);
}

TEST_F(TitlePhase, SavedGameGivesTheResumeQuestion) {
  folder.Write("data/record1.dat", RecordWith(20000, 0));
  TForm1& game = Start();
  RunFrames(100);
  EXPECT_EQ(game.messageText[0], platform::Utf16ToCp932(u"前回の続きからゲームを始めますか？"));
  EXPECT_EQ(game.messageText[1], platform::Utf16ToCp932(u"はい・・・Yキー,いいえ・・・Nキー"));
  EXPECT_EQ(game.stage, 0);
}

TEST_F(TitlePhase, NoPromptBeforeTheMusicIsReady) {
  TForm1& game = Start();
  game.titleTicks = 200;
  game.quitRequested = true;  // the set-up is abandoned, so the music never becomes ready
  for (int pass = 0; pass < 3; ++pass) {
    headless::AdvanceTime(25);
    EXPECT_TRUE(Idle()) << "an abandoned set-up ends the pass before Done is cleared";
  }
  EXPECT_FALSE(game.bgmReady);
  EXPECT_FALSE(game.startPromptShown);
  EXPECT_EQ(headless::FramesPresented(), 0);
}

using RoundReset = GameTest;

TEST_F(RoundReset, BallsOnTheGridAndNeverStandingStill) {
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    headless::Reset();
    headless::SetTime(kStartTime);
    headless::SetExeName(folder.Native("kotobune"));
    headless::SetClockSeed(seed);
    application.reset();
    TForm1& game = Start();
    for (int i = 0; i < 8; ++i) {
      const TGameObject& b = game.ball[i];
      EXPECT_EQ(b.x, (i % 3) * 60 + 150);
      EXPECT_EQ(b.y, (i / 3) * 60 + 150);
      EXPECT_TRUE(b.active);
      EXPECT_TRUE(b.dx != 0 || b.dy != 0) << "seed " << seed << " ball " << i;
      EXPECT_GE(b.dx, -2);
      EXPECT_LE(b.dx, 2);
      EXPECT_GE(b.dy, -2);
      EXPECT_LE(b.dy, 2);
    }
  }
}

TEST_F(RoundReset, SameSeedSameRound) {
  headless::SetClockSeed(99);
  const auto first = Start().ball;
  application.reset();
  headless::SetClockSeed(99);
  EXPECT_EQ(std::memcmp(first.data(), Start().ball.data(), sizeof first), 0);
}

TEST_F(RoundReset, ComboSurvivesOnlyACompletedRound) {
  TForm1& game = Start();
  game.comboCount = 4;
  game.pickCount = 8;
  game.ResetRound();
  EXPECT_EQ(game.comboCount, 4);
  game.pickCount = 5;
  game.ResetRound();
  EXPECT_EQ(game.comboCount, 0);
}

TEST_F(RoundReset, ClearsPicksFlagsAndExplosions) {
  TForm1& game = Start();
  game.pickCount = 3;
  game.slotBall[1][2] = 5;
  game.rowResult = {1, 2};
  game.explosion[7].active = true;
  game.gameOver = game.stageEnded = game.gameCleared = game.judgeShown = true;
  game.targetX = 10;
  game.ResetRound();
  EXPECT_EQ(game.pickCount, 0);
  EXPECT_EQ(game.slotBall[1][2], -1);
  EXPECT_EQ(game.rowResult, (std::array<std::int32_t, 2>{0, 0}));
  EXPECT_EQ(game.rowMatch, (std::array<std::int32_t, 2>{-1, -1}));
  EXPECT_FALSE(game.explosion[7].active);
  EXPECT_FALSE(game.gameOver || game.stageEnded || game.gameCleared || game.judgeShown);
  EXPECT_EQ(game.targetX, 240);
}

using Shutdown = GameTest;

TEST_F(Shutdown, WindowCloseRestoresCursorAndTimer) {
  Start();
  headless::PostClose(kStartTime + 100);
  application->Run();
  EXPECT_EQ(headless::CursorCount(), 0);
  EXPECT_EQ(headless::TimerPeriodDepth(), 0);
  EXPECT_FALSE(headless::Window().open);
}

TEST_F(Shutdown, LostDeviceEndsTheProgramAtTheNextFrame) {
  Start();
  RunFrames(2);
  headless::SimulateDeviceLost(true);
  headless::PostClose(kStartTime + 60000);  // never reached
  application->Run();
  EXPECT_EQ(headless::FramesPresented(), 2);
  EXPECT_LT(headless::Now(), kStartTime + 200);
  EXPECT_EQ(headless::CursorCount(), 0);
}

namespace {

std::vector<std::string> MusicCalls(std::vector<std::string> trace) {
  std::erase_if(trace, [](const std::string& call) { return call.rfind("vbmp3", 0) != 0 && call.rfind("MediaPlayer", 0) != 0; });
  return trace;
}

}  // namespace

TEST_F(Shutdown, CloseStopsAndClosesMidiOnlyForAMidiTrack) {
  TForm1& game = Start();
  game.bgmPath = game.exeDir + "data\\song.mid";
  game.musicOn = true;
  headless::StartTrace();
  game.Close();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()),
            (std::vector<std::string>{"MediaPlayer.Stop", "MediaPlayer.Close", "vbmp3_free"}));
}

TEST_F(Shutdown, CloseOfAStoppedMidiStageOnlyClosesIt) {
  TForm1& game = Start();
  game.bgmPath = game.exeDir + "data\\song.mid";
  game.musicOn = true;
  game.stageEnded = true;
  headless::StartTrace();
  game.Close();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), (std::vector<std::string>{"MediaPlayer.Close", "vbmp3_free"}));
}

TEST_F(Shutdown, CloseOfAnMp3TrackOrBeforeTheMusicOnlyFreesTheLibrary) {
  TForm1& game = Start();
  headless::StartTrace();
  game.Close();
  EXPECT_EQ(MusicCalls(headless::TakeTrace()), (std::vector<std::string>{"vbmp3_free"}));
}

namespace {

// The textures made at start-up, in the order the window's destruction must release them.
std::vector<const TDGTexture*> TexturesInReleaseOrder(const TForm1& game) {
  std::vector<const TDGTexture*> order{game.texBackground.get()};
  for (const auto& picture : game.texBall) order.push_back(picture.get());
  order.insert(order.end(), {game.texShark.get(), game.texShot.get()});
  for (const auto& glyph : game.texBallChar) order.push_back(glyph.get());
  for (size_t k = 0; k < game.texMeaningLine.size(); ++k) {
    order.insert(order.end(), {game.texMeaningLine[k].get(), game.texMeaningPlate[k].get()});
  }
  for (size_t r = 0; r < game.texReading.size(); ++r) {
    order.insert(order.end(), {game.texReading[r].get(), game.texReadingPlate[r].get(), game.texAnswer[r].get(),
                               game.texAnswerPlate[r].get()});
  }
  for (const auto* texture :
       {&game.texTarget, &game.texMaru, &game.texBatu, &game.texTime, &game.texJudge, &game.texCombo, &game.texScore,
        &game.texBestScore, &game.texCorrect, &game.texMessage[0], &game.texMessage[1], &game.texGage,
        &game.texBakuhatu, &game.texGOBakuhatu, &game.texBanner, &game.texSosaHoho, &game.texTitle, &game.texRogo,
        &game.texStage}) {
    order.push_back(texture->get());
  }
  return order;
}

std::vector<std::string> ExpectedDestruction(TForm1& game) {
  std::vector<std::string> expected{"timeEndPeriod(1)", "scene unregistered"};
  // Channel i is bound to the i-th wave.
  for (std::int32_t i = 0; i < 10; ++i) {
    expected.push_back(headless::ReleaseOf("ReleaseSoundBuffer", game.DDSD1.Channel(i)->Wave()->Buffer()));
  }
  for (const auto* writer : {&game.writerLarge, &game.writerSmall, &game.writerBig}) {
    expected.push_back(headless::ReleaseOf("DeleteDC", (*writer)->Canvas()));
  }
  // A texture never filled holds nothing of the device's, so its release cannot be seen.
  for (const TDGTexture* texture : TexturesInReleaseOrder(game)) {
    if (texture->Texture() != nullptr) expected.push_back(headless::ReleaseOf("ReleaseTexture", texture->Texture()));
  }
  expected.emplace_back("ShowCursor(TRUE)");
  return expected;
}

bool SceneRegistered(const TForm1& game) {
  return std::ranges::any_of(game.DG.Resources(), [](const TDGResourceDesc& r) { return r.ClassName == "TSXScene"; });
}

}  // namespace

using ShutdownInPlay = PlayTest;

TEST_F(ShutdownInPlay, ReleasesTheSceneWavesWritersThenTexturesInOrderAndShowsTheCursorLast) {
  TForm1& game = StartPlay();
  RunFrames(3);
  const std::vector<std::string> expected = ExpectedDestruction(game);
  const std::set<std::string> watched(expected.begin(), expected.end());
  std::vector<std::string> seen;
  bool destroyed = false;
  // The scene holds nothing of the platform's: its release shows as its leaving the device's registry.
  headless::ObserveTrace([&](std::string_view call) {
    if (destroyed) return;
    if (std::ranges::find(seen, "scene unregistered") == seen.end() && !SceneRegistered(game)) {
      seen.emplace_back("scene unregistered");
    }
    if (watched.contains(std::string(call))) seen.emplace_back(call);
    destroyed = call == "ShowCursor(TRUE)";
  });
  headless::StartTrace();
  headless::PostClose(headless::Now() + 10);
  application->Run();
  headless::ObserveTrace({});
  EXPECT_THAT(seen, ::testing::ElementsAreArray(expected));
}
