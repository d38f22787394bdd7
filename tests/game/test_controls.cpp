// Keys and the pointer, delivered as window messages and pumped at the start of a frame.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "phase_fixture.h"
#include "platform/present.h"
#include "record_bytes.h"
#include "support/file_faults.h"

using namespace playtest;

namespace {

constexpr const char* kRecord = "data/record1.dat";

// PadNumber's digits as wide text.
std::u16string Padded(std::int32_t n) {
  const std::string digits = PadNumber(n);
  return {digits.begin(), digits.end()};
}

std::int32_t IntAt(const std::string& bytes, std::size_t at) {
  std::int32_t value = 0;
  std::memcpy(&value, &bytes[at], sizeof value);
  return value;
}

class ControlsTest : public KeyedGameTest {
 protected:
  void Point(int x, int y) {
    headless::PostMouseMove(x, y);
    RunFrames(1);
  }

  void Click(TMouseButton button, int x, int y) {
    headless::PostMouseDown(button, x, y);
    RunFrames(1);
  }

  bool RecordWritten() const { return std::filesystem::exists(folder.Native(kRecord)); }

  int ActiveShots() const {
    int count = 0;
    for (const TGameObject& s : form->shot) count += s.active ? 1 : 0;
    return count;
  }

  bool Shows(TDGTexture& texture, std::u16string_view text, TSXTextWriter& writer) {
    return ShowsText(*form, texture, text, writer);
  }
};

const std::u16string kSaveQuestion = u"ゲームを保存しますか？以前のデータは破棄されます。";
const std::u16string kSaveAnswers = u"はい・・・Yキー, いいえ・・・Nキー";
const std::u16string kReady = u"準備ができたらShiftキーを押してください。";
const std::u16string kPaused = u"一時停止中・・・。";

}  // namespace

using ControlsEscape = ControlsTest;

TEST_F(ControlsEscape, ClosesAtOnceOnTheTitleAtGameOverWhileDyingAndAfterTheClear) {
  struct Case {
    const char* what;
    void (*into)(TForm1&);
  };
  for (const Case& c : {
           Case{"title", [](TForm1&) {}},
           Case{"resume question", [](TForm1& g) { g.resumeState = -1; }},
           Case{"game over",
                [](TForm1& g) {
                  BeginPlay(g, 1);
                  g.playing = false;
                  g.gameOver = true;
                }},
           Case{"shark exploding",
                [](TForm1& g) {
                  BeginPlay(g, 1);
                  g.DestroyShark();
                }},
           Case{"game cleared",
                [](TForm1& g) {
                  BeginPlay(g, 2);
                  g.playing = false;
                  g.stageEnded = g.gameCleared = true;
                }},
       }) {
    TForm1& game = Restart();
    c.into(game);
    const std::string before = game.messageText[0];
    Press(VK_ESCAPE);
    EXPECT_TRUE(application->Terminated()) << c.what;
    EXPECT_TRUE(game.quitRequested) << c.what;
    EXPECT_FALSE(game.paused) << c.what;
    EXPECT_EQ(game.messageText[0], before) << c.what << ": no save question";
    EXPECT_FALSE(RecordWritten()) << c.what;
  }
}

TEST_F(ControlsEscape, DuringPlayStopsTheClockAndKeepsTheTimeAlreadyUsed) {
  TForm1& game = StartPlaying();
  RunFrames(45);  // one clock update behind it
  ASSERT_GT(game.answerTime, 0);
  const std::int32_t counted = game.answerTime;
  const DWORD since = game.clockLast;
  Press(VK_ESCAPE);
  EXPECT_FALSE(application->Terminated());
  EXPECT_TRUE(game.paused);
  EXPECT_FALSE(game.playing);
  EXPECT_FALSE(game.clockRunning);
  EXPECT_GT(game.answerTime, counted);
  EXPECT_LE(game.answerTime, counted + static_cast<std::int32_t>(headless::Now() - since));
  EXPECT_EQ(game.messageText[0], Sjis(kSaveQuestion));
  EXPECT_EQ(game.messageText[1], Sjis(kSaveAnswers));
  EXPECT_TRUE(Shows(*game.texMessage[0], kSaveQuestion, *game.writerLarge));

  const std::int32_t stopped = game.answerTime;
  RunFrames(100);
  EXPECT_EQ(game.answerTime, stopped) << "the question stops the clock for good";
  EXPECT_FALSE(game.sharkDying) << "so time can never run out behind it";
}

TEST_F(ControlsEscape, AddsExactlyTheTimeSinceTheLastClockUpdate) {
  TForm1& game = StartPlaying();
  game.answerTime = 5000;
  game.clockLast = headless::Now() - 1234;
  WORD key = VK_ESCAPE;
  game.FormKeyDown(key, 0);
  EXPECT_EQ(game.answerTime, 6234);
}

TEST_F(ControlsEscape, AfterACtrlPauseCountsNothingTwiceAndCtrlCannotLeaveTheQuestion) {
  TForm1& game = StartPlaying();
  Press(VK_CONTROL);
  ASSERT_TRUE(game.paused);
  const std::int32_t counted = game.answerTime;
  RunFrames(40);
  Press(VK_ESCAPE);
  EXPECT_EQ(game.answerTime, counted) << "the pause already stopped the clock";
  EXPECT_EQ(game.messageText[0], Sjis(kSaveQuestion));

  Press(VK_CONTROL);
  EXPECT_TRUE(game.paused);
  EXPECT_FALSE(game.playing);
  EXPECT_FALSE(game.clockRunning);
  EXPECT_EQ(game.messageText[0], Sjis(kSaveQuestion));
  Press(VK_SHIFT);
  EXPECT_FALSE(game.playing) << "Shift does not start play behind the question";
  EXPECT_FALSE(application->Terminated());
}

TEST_F(ControlsEscape, YesSavesAValidGameThenCloses) {
  TForm1& game = StartPlaying();
  game.score = 4321;
  game.correctCount = 7;
  game.gauge = 17;
  RunFrames(3);
  Press(VK_ESCAPE);
  ASSERT_FALSE(RecordWritten());
  Press(kKeyY);
  EXPECT_TRUE(application->Terminated());
  const std::string record = folder.Read(kRecord);
  ASSERT_EQ(record.size(), static_cast<std::size_t>(kRecordSize));
  EXPECT_EQ(IntAt(record, 520), 4321);
  EXPECT_EQ(IntAt(record, kBestScoreOffset), kDefaultBestScore);
  EXPECT_EQ(IntAt(record, kSavedMarkerOffset), 7);
  EXPECT_EQ(IntAt(record, 544), 17);
  EXPECT_EQ(IntAt(record, 548), 1);

  TForm1& next = Restart();
  EXPECT_TRUE(next.SavedGameIsValid());
  EXPECT_EQ(next.resumeState, -1) << "the next start asks to resume";
}

TEST_F(ControlsEscape, NoClosesWithoutWritingAndKeepsAnEarlierSave) {
  StartPlaying();
  Press(VK_ESCAPE);
  Press(kKeyN);
  EXPECT_TRUE(application->Terminated());
  EXPECT_FALSE(RecordWritten());

  const std::string earlier = RecordWith(31000, 4);
  folder.Write(kRecord, earlier);
  BeginPlay(Restart(), 1);
  Press(VK_ESCAPE);
  Press(kKeyN);
  EXPECT_TRUE(application->Terminated());
  EXPECT_EQ(folder.Read(kRecord), earlier);
}

// The question covers play, a Ctrl pause or a cleared stage; Escape again uncovers each as it
// was, with the question's own time not counted.
TEST_F(ControlsEscape, EscapeAgainGoesBackToWhatTheQuestionCovered) {
  enum class Covered { Play, Pause, StageClear };
  for (const Covered covered : {Covered::Play, Covered::Pause, Covered::StageClear}) {
    SCOPED_TRACE(static_cast<int>(covered));
    application.reset();
    TForm1& game = StartPlaying();
    if (covered == Covered::Pause) Press(VK_CONTROL);
    if (covered == Covered::StageClear) {
      game.clockRunning = false;
      game.EndStage(headless::Now());
    }
    RunFrames(5);
    const bool playing = game.playing, paused = game.paused, clockRunning = game.clockRunning;
    const auto messages = game.messageText;
    Press(VK_ESCAPE);
    RunFrames(200);
    const std::int32_t used = game.answerTime;
    Press(VK_ESCAPE);
    EXPECT_FALSE(application->Terminated());
    EXPECT_EQ(game.playing, playing);
    EXPECT_EQ(game.paused, paused);
    EXPECT_EQ(game.clockRunning, clockRunning);
    EXPECT_EQ(game.messageText, messages);
    EXPECT_EQ(game.answerTime, used) << "the time behind the question is not counted";
    Press(kKeyY);
    EXPECT_FALSE(RecordWritten()) << "Y no longer answers a question";
  }
}

using ControlsPause = ControlsTest;

TEST_F(ControlsPause, CtrlStopsTheClockForThePauseAndResumesWhereItStopped) {
  TForm1& game = StartPlaying();
  RunFrames(10);
  Press(VK_CONTROL);
  EXPECT_TRUE(game.paused);
  EXPECT_FALSE(game.playing);
  EXPECT_FALSE(game.clockRunning);
  EXPECT_EQ(game.messageText[0], Sjis(kPaused));
  EXPECT_TRUE(Shows(*game.texMessage[0], kPaused, *game.writerLarge));
  const std::int32_t used = game.answerTime;
  EXPECT_GT(used, 0);

  RunFrames(200);  // five seconds away
  EXPECT_EQ(game.answerTime, used);
  Press(VK_CONTROL);
  EXPECT_FALSE(game.paused);
  EXPECT_TRUE(game.playing);
  EXPECT_TRUE(game.clockRunning);
  EXPECT_TRUE(game.messageText[0].empty() && game.messageText[1].empty());
  EXPECT_GE(game.clockLast + 25, headless::Now()) << "the pause is not counted";
  RunFrames(45);
  EXPECT_LT(game.answerTime, used + 2000);
}

TEST_F(ControlsPause, ShiftWhilePausedDoesNothingCtrlFirst) {
  TForm1& game = StartPlaying();
  const auto question = game.question;
  game.pickCount = 3;
  Press(VK_CONTROL);
  Press(VK_SHIFT);
  EXPECT_TRUE(game.paused);
  EXPECT_FALSE(game.playing);
  EXPECT_EQ(game.pickCount, 3);
  EXPECT_EQ(game.question, question);
  EXPECT_EQ(game.messageText[0], Sjis(kPaused));
  Press(VK_CONTROL);
  Press(VK_SHIFT);
  EXPECT_EQ(game.pickCount, 0);
  EXPECT_NE(game.question, question);
}

TEST_F(ControlsPause, CtrlActsOnlyWhileARowIsBeingAnswered) {
  TForm1& game = StartAtPrompt();
  Press(VK_CONTROL);
  EXPECT_FALSE(game.paused) << "title";
  Press(VK_CONTROL);
  EXPECT_FALSE(game.playing) << "nor does a second Ctrl start play on the title";

  Press(VK_SHIFT);
  game.pickCount = 8;  // both rows answered: the clock waits for the next round
  game.clockRunning = false;
  Press(VK_CONTROL);
  EXPECT_FALSE(game.paused) << "between rounds";
  EXPECT_TRUE(game.playing);
}

// Away from the window nobody can answer: a row under way pauses, nothing else changes.
TEST_F(ControlsPause, FocusLossWhileARowIsAnsweredPausesAsCtrlDoes) {
  TForm1& game = StartPlaying();
  RunFrames(10);
  headless::PostDeactivate();
  RunFrames(1);
  EXPECT_TRUE(game.paused);
  EXPECT_FALSE(game.playing);
  EXPECT_FALSE(game.clockRunning);
  EXPECT_EQ(game.messageText[0], Sjis(kPaused));
  const std::int32_t used = game.answerTime;
  EXPECT_GT(used, 0);

  RunFrames(2800);  // seventy seconds unseen
  EXPECT_EQ(game.answerTime, used);
  EXPECT_FALSE(game.sharkDying);
  Press(VK_CONTROL);
  EXPECT_TRUE(game.playing);
  EXPECT_TRUE(game.clockRunning);
}

TEST_F(ControlsPause, FocusLossOnTheTitleBetweenRowsOrAtAQuestionChangesNothing) {
  const auto expectUnchanged = [&](const char* what) {
    TForm1& game = *form;
    const bool playing = game.playing, paused = game.paused, clockRunning = game.clockRunning;
    const auto messages = game.messageText;
    const std::int32_t used = game.answerTime;
    headless::PostDeactivate();
    RunFrames(1);
    EXPECT_EQ(game.playing, playing) << what;
    EXPECT_EQ(game.paused, paused) << what;
    EXPECT_EQ(game.clockRunning, clockRunning) << what;
    EXPECT_EQ(game.messageText, messages) << what;
    EXPECT_EQ(game.answerTime, used) << what;
  };
  Start();
  RunFrames(5);
  expectUnchanged("music set-up");
  application.reset();
  StartAtPrompt();
  expectUnchanged("start prompt");
  Press(VK_SHIFT);
  form->pickCount = 8;
  form->clockRunning = false;
  expectUnchanged("between rounds");
  form->pickCount = 3;
  form->clockRunning = true;
  Press(VK_ESCAPE);
  expectUnchanged("save question");
  EXPECT_FALSE(application->Terminated());
}

using ControlsShift = ControlsTest;

TEST_F(ControlsShift, DoesNothingBeforeThePromptAndAfterItStartsStageOneWithMusic) {
  TForm1& game = Start();
  for (const int frames : {5, 30, 60}) {  // before, during and after the music set-up
    RunFrames(frames - headless::FramesPresented());
    Press(VK_SHIFT);
    EXPECT_FALSE(game.playing) << frames;
    EXPECT_TRUE(game.titlePhase) << frames;
    EXPECT_EQ(game.resumeState, 0) << frames;
    EXPECT_EQ(game.stage, 0) << frames;
    EXPECT_EQ(game.question[0], u"") << frames << ": no round drawn";
  }
  RunFrames(100 - headless::FramesPresented());
  ASSERT_TRUE(game.startPromptShown);
  Press(VK_SHIFT);
  EXPECT_TRUE(game.playing);
  EXPECT_EQ(game.stage, 1);
  EXPECT_TRUE(Shows(*game.texStage, u"STAGE 1", *game.writerSmall));
  EXPECT_TRUE(game.musicOn);
  EXPECT_FALSE(game.bgmPath.empty());
}

TEST_F(ControlsShift, MidRoundEarlyInTheStageStartsANewRoundFree) {
  TForm1& game = StartPlaying();
  const auto question = game.question;
  game.correctCount = 9;
  game.pickCount = 3;
  game.comboCount = 4;
  game.answerTime = 9000;
  RunFrames(41);
  Press(VK_SHIFT);
  EXPECT_EQ(game.gauge, 20);
  EXPECT_EQ(game.pickCount, 0);
  EXPECT_NE(game.question, question);
  EXPECT_EQ(game.comboCount, 0) << "an abandoned round breaks the run";
  EXPECT_EQ(game.answerTime, 0);
  EXPECT_TRUE(Shows(*game.texTime, u"000000", *game.writerSmall));
  EXPECT_TRUE(game.playing && game.clockRunning);
}

TEST_F(ControlsShift, MidRoundLateInTheStageCostsAGaugePointButNotAfterAFinishedRound) {
  TForm1& game = StartPlaying();
  game.correctCount = 10;
  game.gauge = 7;
  game.pickCount = 5;
  Press(VK_SHIFT);
  EXPECT_EQ(game.gauge, 6);
  EXPECT_EQ(game.pickCount, 0) << "and the new round starts all the same";
  EXPECT_TRUE(game.playing);

  game.pickCount = 8;
  Press(VK_SHIFT);
  EXPECT_EQ(game.gauge, 6) << "both rows answered: nothing abandoned";
  EXPECT_EQ(game.pickCount, 0);
}

TEST_F(ControlsShift, LastGaugePointDestroysTheSharkAndARetryRestoresTheStageStart) {
  TForm1& game = StartPlaying();
  game.stageStartScore = 1500;
  game.stageStartGauge = 12;
  game.score = 2300;
  game.correctCount = 12;
  game.comboCount = 3;
  game.gauge = 1;
  game.pickCount = 2;
  const auto question = game.question;
  Press(VK_SHIFT);
  EXPECT_EQ(game.gauge, 0);
  EXPECT_TRUE(game.sharkDying);
  EXPECT_FALSE(game.sharkShown);
  EXPECT_FALSE(game.playing);
  EXPECT_EQ(game.question, question) << "no new round";
  EXPECT_EQ(game.pickCount, 2);

  Press(VK_SHIFT);
  EXPECT_TRUE(game.sharkDying) << "Shift waits for the explosion";
  Press(kKeyY);
  Press(kKeyN);
  EXPECT_FALSE(application->Terminated());
  RunUntilGameOver();

  Press(VK_SHIFT);
  EXPECT_FALSE(game.gameOver);
  EXPECT_EQ(game.score, 1500);
  EXPECT_EQ(game.gauge, 12);
  EXPECT_EQ(game.correctCount, 0);
  EXPECT_EQ(game.comboCount, 0);
  EXPECT_EQ(game.stage, 1);
  EXPECT_TRUE(game.sharkShown);
  EXPECT_TRUE(game.playing);
  EXPECT_EQ(game.pickCount, 0);
  EXPECT_NE(game.question, question);
  EXPECT_TRUE(Shows(*game.texScore, u"得点:001500", *game.writerSmall));
  EXPECT_TRUE(Shows(*game.texCorrect, u"正解:0", *game.writerSmall));
  EXPECT_TRUE(Shows(*game.texCombo, u"連続正解:0", *game.writerSmall));
}

TEST_F(ControlsShift, StageOneClearGoesOnToStageTwoAndTheGameClearToANewGame) {
  TForm1& game = StartPlaying();
  game.score = 29000;
  game.gauge = 30;
  game.correctCount = 30;
  game.playing = false;
  game.stageEnded = true;
  Press(VK_SHIFT);
  EXPECT_EQ(game.stage, 2);
  EXPECT_EQ(game.score, 29000);
  EXPECT_EQ(game.gauge, 30);
  EXPECT_EQ(game.stageStartScore, 29000);
  EXPECT_EQ(game.stageStartGauge, 30);
  EXPECT_EQ(game.correctCount, 0);
  EXPECT_FALSE(game.stageEnded);
  EXPECT_TRUE(Shows(*game.texStage, u"STAGE 2", *game.writerSmall));

  // The thirtieth correct row of stage 2, judged as a pick would.
  game.correctCount = 29;
  for (int i = 0; i < 4; ++i) game.answerSlot[0][i].ch = game.question[0].substr(i, 1);
  game.pickCount = 4;
  game.JudgeRow();
  ASSERT_TRUE(game.gameCleared);
  const std::int32_t best = game.bestScore;
  ASSERT_GT(best, kDefaultBestScore);

  Press(VK_SHIFT);
  EXPECT_FALSE(game.gameCleared || game.stageEnded);
  EXPECT_EQ(game.stage, 1);
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(game.gauge, 20);
  EXPECT_EQ(game.stageStartScore, 0);
  EXPECT_EQ(game.stageStartGauge, 20);
  EXPECT_EQ(game.bestScore, best);
  EXPECT_TRUE(Shows(*game.texBestScore, u"最高得点:" + Padded(best), *game.writerSmall));
  EXPECT_TRUE(Shows(*game.texStage, u"STAGE 1", *game.writerSmall));
  EXPECT_TRUE(game.playing);
}

using ControlsResume = ControlsTest;

namespace {

// A saved stage-1 round five correct answers in, twelve seconds into its row.
std::string SavedRound() {
  std::string record = RecordWith(31000, 5);
  PutInt(record, 520, 777);
  PutInt(record, 528, 12000);
  PutInt(record, 544, 31);
  PutInt(record, 556, 500);
  PutInt(record, 560, 25);
  return record;
}

}  // namespace

TEST_F(ControlsResume, YesLoadsTheSavedGameAndShiftContinuesItsRound) {
  folder.Write(kRecord, SavedRound());
  TForm1& game = StartAtPrompt();
  ASSERT_EQ(game.resumeState, -1);
  Press(VK_SHIFT);
  EXPECT_FALSE(game.playing) << "Shift waits for the answer";
  EXPECT_TRUE(game.titlePhase);

  Press(kKeyY);
  EXPECT_EQ(game.resumeState, 1);
  EXPECT_EQ(game.score, 777);
  EXPECT_EQ(game.gauge, 31);
  EXPECT_EQ(game.correctCount, 5);
  EXPECT_EQ(game.question[0], game.idiomText[0]);
  EXPECT_EQ(game.question[1], game.idiomText[1]);
  EXPECT_EQ(game.messageText[0], Sjis(kReady));
  EXPECT_TRUE(game.messageText[1].empty());
  EXPECT_TRUE(Shows(*game.texMessage[0], kReady, *game.writerLarge));
  EXPECT_FALSE(game.startPromptLive);
  EXPECT_FALSE(game.playing);

  Press(VK_SHIFT);
  EXPECT_TRUE(game.playing);
  EXPECT_EQ(game.resumeState, 2);
  EXPECT_FALSE(game.titlePhase);
  EXPECT_EQ(game.question[0], game.idiomText[0]) << "the loaded round goes on";
  EXPECT_EQ(game.answerTime, 12000) << "and so does its clock";
  EXPECT_EQ(game.score, 777);
  RunFrames(40);
  EXPECT_GT(game.answerTime, 12000);
}

TEST_F(ControlsResume, YesAtACompletedStageOneGoesOnToStageTwoWithANewRound) {
  std::string record = RecordWith(31000, 30);
  record[552] = 1;
  folder.Write(kRecord, record);
  TForm1& game = StartAtPrompt();
  Press(kKeyY);
  ASSERT_TRUE(game.stageEnded);
  Press(VK_SHIFT);
  EXPECT_EQ(game.stage, 2);
  EXPECT_EQ(game.correctCount, 0);
  EXPECT_EQ(game.pickCount, 0);
  EXPECT_NE(game.question[0], game.idiomText[0]);
  EXPECT_TRUE(game.playing);
}

TEST_F(ControlsResume, NoStartsAfreshAtStageOneAndKeepsTheSavedGame) {
  const std::string saved = SavedRound();
  folder.Write(kRecord, saved);
  TForm1& game = StartAtPrompt();
  Press(kKeyN);
  EXPECT_EQ(game.resumeState, 2);
  EXPECT_EQ(game.stage, 1);
  EXPECT_TRUE(Shows(*game.texStage, u"STAGE 1", *game.writerSmall));
  EXPECT_EQ(game.messageText[0], Sjis(kReady));
  EXPECT_TRUE(game.messageText[1].empty());
  EXPECT_FALSE(game.startPromptLive);
  EXPECT_FALSE(application->Terminated());

  Press(VK_SHIFT);
  EXPECT_TRUE(game.playing);
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(game.gauge, 20);
  EXPECT_EQ(game.correctCount, 0);
  EXPECT_EQ(game.answerTime, 0);
  EXPECT_EQ(folder.Read(kRecord), saved);
}

TEST_F(ControlsResume, OnceAnsweredNeitherYNorNActsAgain) {
  folder.Write(kRecord, SavedRound());
  TForm1& loaded = StartAtPrompt();
  Press(kKeyY);
  Press(kKeyN);
  EXPECT_EQ(loaded.resumeState, 1);
  EXPECT_EQ(loaded.score, 777);
  EXPECT_EQ(loaded.gauge, 31);
  EXPECT_EQ(loaded.correctCount, 5);
  EXPECT_EQ(loaded.stageStartScore, 500);
  Press(VK_SHIFT);
  EXPECT_EQ(loaded.question[0], loaded.idiomText[0]) << "the loaded round goes on";
  EXPECT_EQ(loaded.answerTime, 12000);

  TForm1& afresh = Restart();
  RunFrames(100);
  Press(kKeyN);
  Press(kKeyY);
  EXPECT_EQ(afresh.resumeState, 2);
  EXPECT_EQ(afresh.score, 0);
  EXPECT_EQ(afresh.correctCount, 0);
  EXPECT_EQ(afresh.gauge, 20);
  Press(VK_SHIFT);
  EXPECT_EQ(afresh.answerTime, 0) << "a fresh round, not the saved one";
  EXPECT_EQ(afresh.score, 0);
}

TEST_F(ControlsResume, YesAndNoDoNothingWithoutTheQuestion) {
  TForm1& game = StartAtPrompt();  // no record: the Shift prompt
  const std::string prompt = game.messageText[0];
  Press(kKeyY);
  Press(kKeyN);
  EXPECT_EQ(game.resumeState, 0);
  EXPECT_TRUE(game.startPromptLive);
  EXPECT_EQ(game.messageText[0], prompt);
  EXPECT_FALSE(application->Terminated());
  EXPECT_FALSE(RecordWritten());

  folder.Write(kRecord, SavedRound());
  TForm1& early = Restart();
  RunFrames(5);  // the question is not up yet
  Press(kKeyY);
  Press(kKeyN);
  EXPECT_EQ(early.resumeState, -1);
  EXPECT_EQ(early.score, 0);
  EXPECT_EQ(early.stage, 0);

  BeginPlay(early, 1);
  const auto question = early.question;
  Press(kKeyY);
  EXPECT_EQ(early.question, question) << "in play Y loads nothing";
  EXPECT_FALSE(application->Terminated());
}

using Pointer = ControlsTest;

TEST_F(Pointer, TargetFollowsInsideTheFieldCircleInEveryPhase) {
  TForm1& game = Start();
  Point(100, 200);
  EXPECT_TRUE(game.targetShown);
  EXPECT_EQ(game.targetX, 100);
  EXPECT_EQ(game.targetY, 200);
  Point(480, 240);  // on the circle
  EXPECT_TRUE(game.targetShown);
  EXPECT_EQ(game.targetX, 480);
  Point(481, 240);
  EXPECT_FALSE(game.targetShown);
  Point(240, -1);
  EXPECT_FALSE(game.targetShown);
  Point(410, 410);  // inside the square, outside the circle
  EXPECT_FALSE(game.targetShown);
  EXPECT_EQ(game.targetX, 480) << "a hidden target keeps its place";
}

TEST_F(Pointer, OnlyTheMiddleButtonAndSpaceShootAndOnlyWithTheTargetShown) {
  TForm1& game = StartPlaying();
  for (auto& b : game.ball) b.active = false;  // no ball ends a shot early
  Point(200, 300);
  Click(mbRight, 200, 300);
  Click(mbLeft, 200, 300);
  EXPECT_EQ(ActiveShots(), 0);
  Click(mbMiddle, 200, 300);
  EXPECT_EQ(ActiveShots(), 1);
  Press(VK_SPACE);
  EXPECT_EQ(ActiveShots(), 2);

  Point(20, 20);
  Hush(game);
  Press(VK_SPACE);
  Click(mbMiddle, 20, 20);
  EXPECT_FALSE(Played(game, 0)) << "outside the circle nothing is even tried";
  for (auto& s : game.shot) s.active = false;
  RunFrames(1);
  EXPECT_EQ(ActiveShots(), 0);

  Point(260, 260);
  Press(VK_SPACE);
  EXPECT_EQ(ActiveShots(), 1) << "back inside, it shoots again";
}

TEST_F(Pointer, NothingShootsWhilePausedOrOnTheTitle) {
  TForm1& game = StartAtPrompt();
  Point(240, 300);
  Press(VK_SPACE);
  Click(mbMiddle, 240, 300);
  EXPECT_EQ(ActiveShots(), 0) << "title";
  Press(VK_SHIFT);
  Press(VK_CONTROL);
  Press(VK_SPACE);
  Click(mbMiddle, 240, 300);
  EXPECT_EQ(ActiveShots(), 0) << "paused";
  EXPECT_TRUE(game.paused);
}

using Keys = ControlsTest;

TEST_F(Keys, ZSwitchesTheMusicOnlyOnceItIsSetUpAndNotAtAStageEnd) {
  TForm1& game = Start();
  Press(kKeyZ);
  EXPECT_FALSE(game.musicOn) << "before the set-up Z starts nothing";
  RunFrames(20);
  ASSERT_TRUE(game.bgmReady && game.musicOn);
  Press(kKeyZ);
  EXPECT_FALSE(game.musicOn);
  Press(kKeyZ);
  EXPECT_TRUE(game.musicOn);

  game.titleTicks = 99;
  RunFrames(1);
  Press(VK_SHIFT);
  ASSERT_FALSE(game.bgmReady) << "play clears the set-up flag";
  Press(kKeyZ);
  EXPECT_FALSE(game.musicOn) << "and Z still works in play";

  game.stageEnded = true;
  game.playing = false;
  Press(kKeyZ);
  EXPECT_FALSE(game.musicOn);
}

TEST_F(Keys, OtherKeysAreIgnored) {
  TForm1& game = StartPlaying();
  const bool playing = game.playing;
  const auto question = game.question;
  for (const WORD key : {VK_RETURN, VK_MENU, VK_LEFT, WORD{'A'}, VK_F1, WORD{'H'}, kKeyO}) Press(key);
  EXPECT_FALSE(game.IsPageOpen()) << "pages open from the title only";
  EXPECT_EQ(game.playing, playing);
  EXPECT_EQ(game.question, question);
  EXPECT_FALSE(game.paused || game.quitRequested);
  EXPECT_EQ(ActiveShots(), 0);
}

using HelpPage = ControlsTest;

namespace {

// What the title must find again when a page closes.
struct TitleSnapshot {
  std::vector<std::array<std::int32_t, 4>> balls;
  std::int32_t sharkAngle, titleTicks, targetX, targetY;
  std::array<std::string, 2> messages;
  bool startPromptShown, musicOn;
  bool operator==(const TitleSnapshot&) const = default;
};

TitleSnapshot Snapshot(const TForm1& game) {
  std::vector<std::array<std::int32_t, 4>> balls;
  for (const TGameObject& b : game.ball) balls.push_back({b.x, b.y, b.dx, b.dy});
  return {balls,          game.sharkAngle, game.titleTicks, game.targetX, game.targetY, game.messageText,
          game.startPromptShown, game.musicOn};
}

}  // namespace

// The title waits underneath, whatever key closes the page: that key does nothing else.
TEST_F(HelpPage, F1OrHOpensItOnTheTitleAndAnyKeyReturnsToTheTitleAsItWas) {
  TForm1& game = Start();
  RunFrames(30);  // music set up, the prompt still to come
  struct Case {
    WORD open, close;
  };
  for (const Case c : {Case{VK_F1, VK_ESCAPE}, Case{'H', VK_SHIFT}, Case{VK_F1, kKeyZ}, Case{'H', kKeyN}}) {
    SCOPED_TRACE(c.close);
    Press(c.open);
    ASSERT_TRUE(game.IsPageOpen());
    const TitleSnapshot before = Snapshot(game);
    RunFrames(120);
    Point(300, 300);
    Click(mbMiddle, 300, 300);
    Press(c.close);
    EXPECT_FALSE(game.IsPageOpen());
    EXPECT_TRUE(Snapshot(game) == before);
    EXPECT_FALSE(application->Terminated());
    EXPECT_TRUE(game.titlePhase);
  }
  RunFrames(100 - game.titleTicks);
  EXPECT_TRUE(game.startPromptShown) << "the title goes on from where it waited";
  Press(VK_F1);
  Press(VK_SPACE);
  Press(VK_SHIFT);
  EXPECT_TRUE(game.playing);
}

TEST_F(HelpPage, FirstStartHintShowsOnTheTitleUntilPlayStarts) {
  TForm1& game = StartAtPrompt();
  EXPECT_TRUE(Shows(*game.texPromptNote, u"F1キーで遊び方が見られます。", *game.writerSmall));
  EXPECT_FALSE(game.promptNote.empty());
  Press(VK_SHIFT);
  EXPECT_TRUE(game.promptNote.empty());

  folder.Write(kRecord, SavedRound());
  EXPECT_TRUE(Restart().promptNote.empty()) << "a player with a record has seen the game";
}

using SettingsPage = ControlsTest;

namespace {

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Sound reached the mix, from the key on, and for a few frames after it.
bool HeardAfter(TForm1& game, const std::function<void()>& press) {
  Hush(game);
  headless::StartAudioCapture();
  press();
  const std::vector<float> heard = headless::TakeAudioCapture();
  return std::any_of(heard.begin(), heard.end(), [](float sample) { return sample != 0.0f; });
}

}  // namespace

// Every line changes at once and is written at once; the rest of the player's file stays byte for
// byte, Escape finds the title as it was, and the next start has the values again.
TEST_F(SettingsPage, EachLineChangesAtOnceIsKeptInSetteiIniAndReadAgainAtTheNextStart) {
  std::ifstream in(std::filesystem::path(KOTOBUNE_DATA_DIR) / "settei.ini.sample", std::ios::binary);
  const std::string sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  folder.Write("data/settei.ini", sample);
  TForm1& game = StartAtPrompt();
  Press(kKeyO);
  ASSERT_TRUE(game.IsPageOpen());
  const TitleSnapshot before = Snapshot(game);

  Press(VK_RIGHT);
  EXPECT_EQ(folder.Read("data/settei.ini"), sample) << "the loudest stays, and nothing is written";
  Press(VK_LEFT);
  EXPECT_EQ(game.musicVolume, 90);
  Press(VK_DOWN);
  for (int step = 0; step < 9; ++step) Press(VK_LEFT);
  EXPECT_FALSE(HeardAfter(game, [&] { Press(VK_LEFT); RunFrames(3); })) << "the effect played at the new level";
  Press(VK_LEFT);
  EXPECT_EQ(game.effectsVolume, 0);
  EXPECT_TRUE(HeardAfter(game, [&] { Press(VK_RIGHT); RunFrames(3); }));
  Press(VK_DOWN);
  Press(VK_RIGHT);
  EXPECT_EQ(platform::present::CurrentScaleMode(), platform::present::ScaleMode::Whole);
  Press(VK_DOWN);
  Press(VK_RIGHT);
  Press(VK_RIGHT);
  EXPECT_EQ(platform::CurrentWindowMode(), platform::WindowMode::Window);
  Press(VK_DOWN);
  EXPECT_EQ(game.chosenSetting, 0) << "Down from the last line goes round to the first";
  Press(VK_UP);
  EXPECT_TRUE(Shows(*game.texPageLine[7], u"→ 表示：ウィンドウ", *game.writerSmall));
  EXPECT_TRUE(Shows(*game.texPageLine[4], u"　 BGMの音量：90", *game.writerSmall));
  for (const auto& [mode, line] : {std::pair{platform::WindowMode::FullScreen, u"→ 表示：全画面"},
                                  std::pair{platform::WindowMode::Window, u"→ 表示：ウィンドウ"}}) {
    platform::SetWindowMode(mode);  // as Alt+Enter does
    RunFrames(1);
    EXPECT_TRUE(Shows(*game.texPageLine[7], line, *game.writerSmall));
  }

  std::string expected = Replaced(sample, "MusicVolume=100", "MusicVolume=90");
  expected = Replaced(expected, "EffectsVolume=100", "EffectsVolume=10");
  expected = Replaced(expected, "Scale=sharp\r\n", "Scale=whole\r\nWindow=1\r\n");
  EXPECT_EQ(folder.Read("data/settei.ini"), expected);
  Press(VK_ESCAPE);
  EXPECT_FALSE(game.IsPageOpen());
  EXPECT_TRUE(Snapshot(game) == before);

  application.reset();
  headless::Reset();  // a new process: the window's settings are read again too
  headless::SetTime(kStartTime);
  headless::SetExeName(folder.Native("kotobune"));
  TForm1& next = Start();
  EXPECT_EQ(next.musicVolume, 90);
  EXPECT_EQ(next.effectsVolume, 10);
  EXPECT_EQ(platform::present::CurrentScaleMode(), platform::present::ScaleMode::Whole);
  EXPECT_EQ(platform::CurrentWindowMode(), platform::WindowMode::Window);
}

TEST_F(SettingsPage, AFileThatCannotBeWrittenKeepsTheChangeForThisGameAndSaysSo) {
  const std::string mine = "; mine\r\n[Sound]\r\nMusicVolume=55\r\n";
  folder.Write("data/settei.ini", mine);
  TForm1& game = StartAtPrompt();
  Press(kKeyO);
  {
    const FileSizeLimit full(8);
    Press(VK_LEFT);
  }
  EXPECT_EQ(game.musicVolume, 50) << "a value between steps goes to the next step";
  EXPECT_EQ(folder.Read("data/settei.ini"), mine);
  EXPECT_TRUE(Shows(*game.texPageLine[10], u"settei.ini に書き込めませんでした。変更は今回だけ有効です。", *game.writerSmall));
  Press(VK_LEFT);
  EXPECT_EQ(folder.Read("data/settei.ini"), "; mine\r\n[Sound]\r\nMusicVolume=40\r\n");
  EXPECT_TRUE(Shows(*game.texPageLine[10], u"変えた値はすぐに settei.ini に保存されます。", *game.writerSmall));
}

using Playthrough = ControlsTest;

namespace {

struct Box {
  int x, y, w, h;
  bool Meets(const Box& o, int margin) const {
    return x - margin < o.x + o.w && o.x - margin < x + w && y - margin < o.y + o.h && o.y - margin < y + h;
  }
};

// Where a shot leaves the shark: its mouth, in half widths and heights of the picture, by
// the 45-degree sector of its heading and its direction.
Box Mouth(const TForm1& game) {
  static constexpr int kAcross[2][8] = {{2, 1, 0, 0, 0, 1, 2, 2}, {0, 0, 0, 1, 2, 2, 2, 1}};
  static constexpr int kDown[2][8] = {{2, 2, 2, 1, 0, 0, 0, 1}, {2, 1, 0, 0, 0, 1, 2, 2}};
  const int a = game.sharkAngle;
  const int sector = a <= 23 || a >= 339 ? 0 : (a - 24) / 45 + 1;
  const int w = static_cast<int>(game.texShark->Width()), h = static_cast<int>(game.texShark->Height());
  return {game.sharkX + kAcross[game.sharkDir][sector] * w / 2, game.sharkY + kDown[game.sharkDir][sector] * h / 2,
          static_cast<int>(game.texShot->Width()), static_cast<int>(game.texShot->Height())};
}

// Would a shot at (aimX, aimY) meet ball a, and no other, while every ball keeps its course?
// Ball a must not bounce before the meeting, so that its course is known; the others get a
// berth, since they may bounce off each other.
bool ClearShot(const TForm1& game, int a, int aimX, int aimY) {
  const int bw = static_cast<int>(game.texBall[0]->Width()), bh = static_cast<int>(game.texBall[0]->Height());
  const int sw = static_cast<int>(game.texShark->Width()), sh = static_cast<int>(game.texShark->Height());
  const Box shark{game.sharkX + 15, game.sharkY + 15, sw - 30, sh - 30};
  const auto ballAt = [&](int i, int frames) {
    const TGameObject& b = game.ball[i];
    return Box{b.x + frames * b.dx, b.y + frames * b.dy, bw, bh};
  };
  Box shot = Mouth(game);
  const int dx = (aimX - shot.x) / 5, dy = (aimY - shot.y) / 5;
  for (int k = 0; k < 100; ++k) {
    const Box ball = ballAt(a, k + 1);
    const int cx = ball.x + bw / 2 - 240, cy = ball.y + bh / 2 - 240;
    if (cx * cx + cy * cy >= (210 - bw / 2 - 2) * (210 - bw / 2 - 2) || ball.Meets(shark, 2)) return false;
    for (int i = 0; i < 8; ++i) {
      if (i == a || !game.ball[i].active) continue;
      if (ball.Meets(ballAt(i, k + 1), 2) || shot.Meets(ballAt(i, k + 1), 8 + 3 * k)) return false;
    }
    if (shot.Meets(ball, -1)) return true;
    shot.x += dx;
    shot.y += dy;
    if ((shot.x - 240) * (shot.x - 240) + (shot.y - 240) * (shot.y - 240) >= 240 * 240) return false;
  }
  return false;
}

}  // namespace

TEST_F(Playthrough, TitleThenShiftThenTheEightBallsInOrderAnswerBothRows) {
  headless::SetClockSeed(5);
  TForm1& game = Start();
  RunFrames(100);
  ASSERT_TRUE(game.startPromptShown);
  EXPECT_EQ(game.messageText[0], Sjis(kReady));
  Press(VK_SHIFT);
  ASSERT_TRUE(game.playing);
  ASSERT_EQ(game.stage, 1);
  const std::u16string answer = game.question[0] + game.question[1];
  const int tw = static_cast<int>(game.texTarget->Width()), th = static_cast<int>(game.texTarget->Height());
  const int bw = static_cast<int>(game.texBall[0]->Width()), bh = static_cast<int>(game.texBall[0]->Height());

  int frames = 0;
  while (game.pickCount < 8 && frames < 2000) {
    int next = -1;
    for (int i = 0; i < 8; ++i) {
      if (game.ball[i].active && game.ballCharPos[i] == game.pickCount) next = i;
    }
    ASSERT_NE(next, -1);
    const TGameObject b = game.ball[next];
    bool fired = false;
    for (const int lead : {6, 5, 7, 4, 8, 3, 9}) {
      const int ax = b.x + bw / 2 + lead * b.dx, ay = b.y + bh / 2 + lead * b.dy;
      const int px = ax - tw / 2, py = ay - th / 2;
      if ((px - 240) * (px - 240) + (py - 240) * (py - 240) > 240 * 240) continue;
      if (!ClearShot(game, next, ax, ay)) continue;
      headless::PostMouseMove(px, py);
      headless::PostKeyDown(VK_SPACE);
      fired = true;
      break;
    }
    const int picked = game.pickCount;
    RunFrames(1);
    ++frames;
    if (!fired) continue;
    while (game.pickCount == picked && ActiveShots() > 0 && frames < 2000) {
      RunFrames(1);
      ++frames;
    }
    if (game.pickCount != picked) {
      ASSERT_EQ(game.slotBall[picked / 4][picked % 4], next) << "pick " << picked;
      ASSERT_EQ(game.answerSlot[picked / 4][picked % 4].ch, answer.substr(picked, 1));
    }
  }
  ASSERT_EQ(game.pickCount, 8) << "after " << frames << " frames";
  EXPECT_EQ(game.rowResult[0], 1);
  EXPECT_EQ(game.rowResult[1], 1);
  EXPECT_EQ(game.rowMatch[0], 0);
  EXPECT_EQ(game.rowMatch[1], 1);
  EXPECT_EQ(game.correctCount, 2);
  EXPECT_GE(game.score, 200);
  EXPECT_TRUE(Shows(*game.texScore, u"得点:" + Padded(game.score), *game.writerSmall));
}
