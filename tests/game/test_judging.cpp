// Judging answer rows: score, time bonus, gauge, the run of correct answers, the revealed
// idioms, the end of a stage and the cleared game with its record.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "game_fixture.h"
#include "play_helpers.h"
#include "platform/headless_input.h"

// Defined in test_field.cpp.

using namespace playtest;

namespace {

std::int32_t Int32At(const std::string& bytes, std::size_t offset) {
  std::int32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

class JudgingTest : public PlayTest {
 protected:
  TForm1& StartPlay(std::int32_t stage = 1) {
    TForm1& game = PlayTest::StartPlay(stage);
    Hush(game);
    return game;
  }

  // Row `row` spells `text` and is judged after `used` milliseconds on it.
  static void Answer(TForm1& game, int row, std::u16string_view text, DWORD used) {
    for (int i = 0; i < 4; ++i) game.answerSlot[row][i].ch = std::u16string(text.substr(i, 1));
    game.pickCount = 4 * (row + 1);
    game.answerTime = 0;
    game.clockLast = headless::Now() - used;
    game.clockRunning = true;
    game.JudgeRow();
  }

  static std::u16string Reversed(std::u16string text) { return {text.rbegin(), text.rend()}; }
};

using CorrectRow = JudgingTest;

TEST_F(CorrectRow, ScoresWithTheTimeBonusFillsTheGaugeAndRestartsTheClock) {
  TForm1& game = StartPlay();
  game.score = 1000;
  Answer(game, 0, game.question[0], 12300);
  EXPECT_EQ(game.rowResult[0], 1);
  EXPECT_EQ(game.rowMatch[0], 0);
  EXPECT_EQ(game.score, 1000 + 100 + 177);
  EXPECT_EQ(game.gauge, 22);
  EXPECT_EQ(game.correctCount, 1);
  EXPECT_EQ(game.comboCount, 1);
  EXPECT_TRUE(Played(game, 2));
  EXPECT_TRUE(ShowsPicture(game, *game.texJudge, "seikai.bmp"));
  EXPECT_TRUE(game.judgeShown);
  EXPECT_EQ(game.judgeShownAt, headless::Now());
  EXPECT_TRUE(game.clockRunning) << "row 1's clock starts";
  EXPECT_EQ(game.answerTime, 0);
  EXPECT_EQ(game.clockLast, headless::Now());
  EXPECT_EQ(game.clockTicks, 0);
}

TEST_F(CorrectRow, HudTextsFollowTheCounters) {
  TForm1& game = StartPlay();
  game.RenderText(*game.texTime, "000055", *game.writerSmall);
  Answer(game, 0, game.question[0], 12300);
  EXPECT_TRUE(ShowsText(game, *game.texScore, u"得点:000277", *game.writerSmall));
  EXPECT_TRUE(ShowsText(game, *game.texCorrect, u"正解:1", *game.writerSmall));
  EXPECT_TRUE(ShowsText(game, *game.texCombo, u"連続正解:1", *game.writerSmall));
  EXPECT_TRUE(ShowsText(game, *game.texTime, u"000000", *game.writerSmall));
  EXPECT_TRUE(ShowsText(game, *game.texReading[0], game.ReadingOf(game.questionIndex[0]), *game.writerSmall));
}

TEST_F(CorrectRow, EitherIdiomAnswersEitherRow) {
  TForm1& game = StartPlay();
  Answer(game, 0, game.question[1], 1000);
  EXPECT_EQ(game.rowResult[0], 1);
  EXPECT_EQ(game.rowMatch[0], 1);
  EXPECT_TRUE(ShowsText(game, *game.texReading[0], game.ReadingOf(game.questionIndex[1]), *game.writerSmall));
}

TEST_F(CorrectRow, BonusEndsAtThirtySeconds) {
  TForm1& game = StartPlay();
  Answer(game, 0, game.question[0], 29900);
  EXPECT_EQ(game.score, 101);
  EXPECT_EQ(game.gauge, 20);
  game.score = 0;
  Answer(game, 1, game.question[1], 30000);
  EXPECT_EQ(game.score, 100);
  game.score = 0;
  game.comboCount = 0;
  Answer(game, 0, game.question[0], 45000);
  EXPECT_EQ(game.score, 100) << "never a negative bonus";
  EXPECT_EQ(game.gauge, 20);
}

TEST_F(CorrectRow, FifthInARunAddsAThousandAndFiveGauge) {
  TForm1& game = StartPlay();
  game.comboCount = 4;
  game.gauge = 30;
  Answer(game, 0, game.question[0], 0);
  EXPECT_EQ(game.comboCount, 5);
  EXPECT_EQ(game.score, 100 + 300 + 1000);
  EXPECT_EQ(game.gauge, 30 + 4 + 5);
  EXPECT_TRUE(Played(game, 3));
  EXPECT_FALSE(Played(game, 2));
  EXPECT_TRUE(ShowsPicture(game, *game.texJudge, "renzokuseikai.bmp"));
  EXPECT_TRUE(ShowsText(game, *game.texScore, u"得点:001400", *game.writerSmall));
}

TEST_F(CorrectRow, GaugeIsHeldAtFull) {
  TForm1& game = StartPlay();
  game.comboCount = 4;
  game.gauge = 44;
  Answer(game, 0, game.question[0], 0);
  EXPECT_EQ(game.gauge, 50) << "44 + 4 + 5";
}

using WrongRow = JudgingTest;

TEST_F(WrongRow, RightCharactersInTheWrongOrderCostAndBreakTheRun) {
  TForm1& game = StartPlay();
  game.score = 250;
  game.comboCount = 7;
  Answer(game, 0, Reversed(game.question[0]), 1000);
  EXPECT_EQ(game.rowResult[0], 2);
  EXPECT_EQ(game.rowMatch[0], -1);
  EXPECT_EQ(game.score, 150);
  EXPECT_EQ(game.comboCount, 0);
  EXPECT_EQ(game.correctCount, 0);
  EXPECT_EQ(game.gauge, 20);
  EXPECT_TRUE(Played(game, 4));
  EXPECT_TRUE(ShowsPicture(game, *game.texJudge, "fuseikai.bmp"));
  EXPECT_TRUE(game.judgeShown);
  EXPECT_TRUE(ShowsText(game, *game.texCombo, u"連続正解:0", *game.writerSmall));
  EXPECT_TRUE(game.clockRunning) << "row 1 still gets its clock";
}

TEST_F(WrongRow, ScoreStopsAtZero) {
  TForm1& game = StartPlay();
  game.score = 40;
  Answer(game, 0, u"ああああ", 1000);
  EXPECT_EQ(game.score, 0);
  EXPECT_TRUE(ShowsText(game, *game.texScore, u"得点:000000", *game.writerSmall));
}

TEST_F(WrongRow, AfterTheGameOverScreenItOnlyCosts) {
  TForm1& game = StartPlay();
  game.gameOver = true;
  game.score = 300;
  Answer(game, 0, u"ああああ", 1000);
  EXPECT_EQ(game.score, 200);
  EXPECT_FALSE(game.judgeShown);
  EXPECT_FALSE(Played(game, 4));
}

using SecondRow = JudgingTest;

TEST_F(SecondRow, LeavesTheClockStoppedAndRevealsEachWrongRowsOwnIdiom) {
  TForm1& game = StartPlay();
  Answer(game, 0, u"ああああ", 1000);
  Answer(game, 1, u"いいいい", 1000);
  EXPECT_FALSE(game.clockRunning);
  for (int k = 0; k < 2; ++k) {
    const std::int32_t index = game.questionIndex[k];
    EXPECT_TRUE(ShowsText(game, *game.texAnswer[k], game.IdiomOf(index), *game.writerLarge)) << k;
    EXPECT_TRUE(ShowsText(game, *game.texReading[k], game.ReadingOf(index), *game.writerSmall)) << k;
  }
}

TEST_F(SecondRow, CrossedAnswerRevealsTheIdiomTheOtherRowDidNotSpell) {
  TForm1& game = StartPlay();
  Answer(game, 0, game.question[1], 1000);
  Answer(game, 1, u"いいいい", 1000);
  EXPECT_EQ(game.rowResult[1], 2);
  const std::int32_t missed = game.questionIndex[0];
  EXPECT_TRUE(ShowsText(game, *game.texAnswer[1], game.IdiomOf(missed), *game.writerLarge));
  EXPECT_TRUE(ShowsText(game, *game.texReading[1], game.ReadingOf(missed), *game.writerSmall));
  EXPECT_TRUE(ShowsText(game, *game.texReading[0], game.ReadingOf(game.questionIndex[1]), *game.writerSmall))
      << "the correct row keeps its reading";
}

using StageEnd = JudgingTest;

TEST_F(StageEnd, ThirtiethCorrectRowEndsStageOneAtOnceAndStopsTheMusic) {
  TForm1& game = StartPlay();
  game.musicOn = true;
  game.bgmPath = game.exeDir + "data\\tamsu01.mp3";
  game.correctCount = 29;
  headless::StartTrace();
  Answer(game, 0, game.question[0], 1000);
  const auto trace = headless::TakeTrace();
  EXPECT_NE(std::find(trace.begin(), trace.end(), "vbmp3_stop"), trace.end());
  EXPECT_EQ(game.correctCount, 30);
  EXPECT_TRUE(game.stageEnded);
  EXPECT_FALSE(game.playing);
  EXPECT_FALSE(game.gameCleared);
  EXPECT_FALSE(game.judgeShown) << "no judgement picture for the last answer";
  EXPECT_FALSE(game.clockRunning) << "row 1 is never answered";
  EXPECT_TRUE(Played(game, 9));
  EXPECT_TRUE(ShowsPicture(game, *game.texBanner, "StageClear.bmp"));
  EXPECT_EQ(game.messageText[0], Sjis(u"おめでとうございます！！"));
  EXPECT_EQ(game.messageText[1], Sjis(u"Shiftキーを押して次のステージへ進んでください。"));
  EXPECT_TRUE(ShowsText(game, *game.texMessage[1], u"Shiftキーを押して次のステージへ進んでください。",
                        *game.writerLarge));
}

TEST_F(StageEnd, ClearingStageTwoWithANewBestWritesTheRecordAndBlinks) {
  TForm1& game = StartPlay(2);
  game.setSavedMarker(4);
  game.correctCount = 29;
  game.score = 24900;
  Answer(game, 0, game.question[0], 30000);
  EXPECT_TRUE(game.gameCleared);
  EXPECT_EQ(game.gameClearTime, headless::Now());
  EXPECT_TRUE(Played(game, 5));
  EXPECT_TRUE(ShowsPicture(game, *game.texBanner, "GameClear.bmp"));
  EXPECT_EQ(game.bestScore, 25000);
  EXPECT_TRUE(game.recordBlink);
  EXPECT_EQ(game.recordBlinkAt, headless::Now());
  EXPECT_EQ(game.savedMarker(), -1);
  EXPECT_EQ(game.messageText[0], Sjis(u"記録更新！！おめでとうございます！！"));
  EXPECT_EQ(game.messageText[1], Sjis(u"Shiftキーを押すと最初からゲームが始まります。"));
  EXPECT_TRUE(ShowsText(game, *game.texBestScore, u"最高得点:025000", *game.writerSmall));
  const std::string record = folder.Read("data/record1.dat");
  ASSERT_EQ(record.size(), static_cast<std::size_t>(kRecordSize));
  EXPECT_EQ(Int32At(record, kBestScoreOffset), 25000);
  EXPECT_EQ(Int32At(record, kSavedMarkerOffset), -1);
}

TEST_F(StageEnd, ScoreEqualToTheBestIsNoRecordButTheSavedGameIsStillGone) {
  TForm1& game = StartPlay(2);
  game.setSavedMarker(4);
  game.correctCount = 29;
  game.score = 19900;
  Answer(game, 0, game.question[0], 30000);
  EXPECT_EQ(game.score, 20000);
  EXPECT_EQ(game.bestScore, 20000);
  EXPECT_FALSE(game.recordBlink);
  EXPECT_EQ(game.messageText[0], Sjis(u"おめでとうございます！！"));
  const std::string record = folder.Read("data/record1.dat");
  ASSERT_EQ(record.size(), static_cast<std::size_t>(kRecordSize));
  EXPECT_EQ(Int32At(record, kSavedMarkerOffset), -1);
}

// Shots still in flight when the stage ended may complete the other row.
TEST_F(StageEnd, ACorrectRowAfterTheThirtiethEndsNothingAgain) {
  TForm1& game = StartPlay(2);
  game.setSavedMarker(4);
  game.correctCount = 29;
  game.score = 24900;
  Answer(game, 0, game.question[0], 30000);
  ASSERT_TRUE(game.gameCleared);
  ASSERT_EQ(game.bestScore, 25000);
  const DWORD clearedAt = game.gameClearTime;
  std::filesystem::remove(folder.Native("data/record1.dat"));
  Hush(game);
  headless::AdvanceTime(2000);

  Answer(game, 1, game.question[1], 1000);
  EXPECT_EQ(game.rowResult[1], 1) << "the row is still marked";
  EXPECT_EQ(game.score, 25000);
  EXPECT_EQ(game.bestScore, 25000);
  EXPECT_EQ(game.correctCount, 30);
  EXPECT_EQ(game.gameClearTime, clearedAt) << "the victory music is not put off";
  EXPECT_FALSE(std::filesystem::exists(folder.Native("data/record1.dat"))) << "the record is written once";
  EXPECT_FALSE(Played(game, 5));
  EXPECT_FALSE(Played(game, 2));
}

using WholeRound = JudgingTest;

// Every frame a standing shot waits on the ball with the next character of the two idioms.
TEST_F(WholeRound, ShootingTheCharactersInOrderAnswersBothRows) {
  headless::SetClockSeed(11);
  TForm1& game = StartPlay();
  for (int frame = 0; frame < 40 && game.pickCount < 8; ++frame) {
    for (int i = 0; i < 8; ++i) {
      const TGameObject& b = game.ball[i];
      if (b.active && game.ballCharPos[i] == game.pickCount) game.shot[0] = TGameObject{b.x, b.y, 0, 0, 0, true, 0};
    }
    RunFrames(1);
  }
  ASSERT_EQ(game.pickCount, 8);
  EXPECT_EQ(game.rowResult[0], 1);
  EXPECT_EQ(game.rowResult[1], 1);
  EXPECT_EQ(game.rowMatch[0], 0);
  EXPECT_EQ(game.rowMatch[1], 1);
  EXPECT_EQ(game.correctCount, 2);
  EXPECT_EQ(game.comboCount, 2);
  EXPECT_GT(game.score, 200);
  for (int i = 0; i < 8; ++i) {
    EXPECT_FALSE(game.ball[i].active);
    EXPECT_EQ(game.slotBall[game.ballCharPos[i] / 4][game.ballCharPos[i] % 4], i);
  }
  const std::int32_t angle = game.sharkAngle;
  RunFrames(1);
  EXPECT_EQ(game.sharkAngle, angle + 3) << "an answered round lets the shark circle";
}

}  // namespace
