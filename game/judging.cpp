// Judging a completed answer row, and what follows from it: score, gauge, the run of correct
// answers, the end of a stage and of the game.
#include <algorithm>
#include <cstring>

#include "Unit1.h"
#include "platform/timer.h"

namespace {

constexpr std::int32_t kCorrectPoints = 100;
constexpr std::int32_t kWrongPenalty = 100;
constexpr std::int32_t kBonusTimeLimit = 30000;
constexpr std::int32_t kComboForBonus = 5;
constexpr std::int32_t kComboPoints = 1000;
constexpr std::int32_t kComboGauge = 5;

// Up to 300 points for a quick answer, nothing after 30 seconds.
std::int32_t TimeBonus(std::int32_t answerTime) { return std::max(0, (kBonusTimeLimit - answerTime) / 100); }

}  // namespace

void TForm1::JudgeRow() {
  const int r = pickCount / 4 - 1;
  const DWORD now = timeGetTime();
  clockRunning = false;
  answerTime += static_cast<std::int32_t>(now - clockLast);
  std::u16string answer;
  for (const TAnswerSlot& slot : answerSlot[r]) answer += slot.ch;
  const auto matched = std::find(question.begin(), question.end(), answer);
  const int j = static_cast<int>(matched - question.begin());
  if (matched == question.end()) {
    JudgeWrongRow(r, now);
  } else if (stageEnded) {
    MarkCorrectRow(r, j);
  } else if (JudgeCorrectRow(r, j, now)) {
    return;
  }
  if (pickCount == 4) {
    RestartAnswerClock(now);
  } else {
    RevealMissedIdioms();
    CloseStudyRound(true);
  }
}

bool TForm1::JudgeCorrectRow(int r, int j, DWORD now) {
  NoteStudy(j, StudyOutcome::Correct);
  MarkCorrectRow(r, j);
  const std::int32_t bonus = TimeBonus(answerTime);
  score += kCorrectPoints + bonus;
  RenderScore();
  gauge = std::min(kGaugeFull, gauge + bonus / 70);
  DrawGauge();
  correctCount += 1;
  RenderCounter(*texCorrect, u"正解:", correctCount);
  comboCount += 1;
  RenderCounter(*texCombo, u"連続正解:", comboCount);
  if (comboCount >= kComboForBonus) {
    PlayEffect(3);
    LoadArchiveImage(*texJudge, "renzokuseikai.bmp");
    gauge = std::min(kGaugeFull, gauge + kComboGauge);
    DrawGauge();
    score += kComboPoints;
    RenderScore();
  } else {
    PlayEffect(2);
    LoadArchiveImage(*texJudge, "seikai.bmp");
  }
  // The stage's last answer shows no judgement and starts no clock: the stage is over.
  if (correctCount == kCorrectPerStage) {
    EndStage(now);
    return true;
  }
  judgeShownAt = now;
  judgeShown = true;
  return false;
}

// A shot still in flight when the stage ended may complete one more row: a correct one is
// only marked, since the stage is already won and its score settled.
void TForm1::MarkCorrectRow(int r, int j) {
  rowResult[r] = 1;
  rowMatch[r] = j;
  RenderReading(r, j);
}

// Once the game-over screen is up, a late wrong row still costs, but quietly.
void TForm1::JudgeWrongRow(int r, DWORD now) {
  rowResult[r] = 2;
  if (!gameCleared && !gameOver) {
    PlayEffect(4);
    judgeShownAt = now;
    LoadArchiveImage(*texJudge, "fuseikai.bmp");
    judgeShown = true;
  }
  score = std::max(0, score - kWrongPenalty);
  RenderScore();
  comboCount = 0;
  RenderCounter(*texCombo, u"連続正解:", comboCount);
}

void TForm1::RestartAnswerClock(DWORD now) {
  clockLast = now;
  clockRunning = true;
  clockTicks = 0;
  answerTime = 0;
  RenderText(*texTime, PadNumber(0), *writerSmall);
}

// A wrong row shows the idiom whose meaning sits beside it: with the meanings crossed, that
// is the idiom the other row did not spell.
void TForm1::RevealMissedIdioms() {
  const bool crossed = rowMatch[0] == 1 || rowMatch[1] == 0;
  for (int k = 0; k < 2; ++k) {
    if (rowResult[k] != 2) continue;
    const int idiom = crossed ? (rowMatch[0] == 1 ? 0 : 1) : k;
    RenderText(*texAnswer[k], Sjis(IdiomOf(questionIndex[idiom])), *writerLarge);
    RenderReading(k, idiom);
  }
}

void TForm1::RenderReading(int r, int idiom) {
  RenderText(*texReading[r], Sjis(ReadingOf(questionIndex[idiom])), *writerSmall);
}

void TForm1::RenderScore() { RenderText(*texScore, Sjis(u"得点:") + PadNumber(score), *writerSmall); }

void TForm1::EndStage(DWORD now) {
  CloseStudyRound(false);
  stageEnded = true;
  playing = false;
  StopMusicAtStageEnd();
  if (stage >= 2) {
    ClearGame(now);
    return;
  }
  PlayEffect(9);
  LoadArchiveImage(*texBanner, "StageClear.bmp");
  messageText[0] = Sjis(u"おめでとうございます！！");
  messageText[1] = Sjis(u"Shiftキーを押して次のステージへ進んでください。");
  RenderMessages();
  ShowReviewHint();
}

// The record is written twice on a new best: once without the saved game, once more with
// the new best score.
void TForm1::ClearGame(DWORD now) {
  gameCleared = true;
  gameClearTime = now;
  PlayEffect(5);
  LoadArchiveImage(*texBanner, "GameClear.bmp");
  setSavedMarker(-1);
  platform::Result<> written = WriteRecord();
  std::u16string prefix;
  if (score > bestScore) {
    prefix = u"記録更新！！";
    recordBlink = true;
    recordBlinkAt = now;
    bestScore = score;
    PutRecordInt(&recordBuffer[kBestScoreOffset], bestScore);
    RenderText(*texBestScore, Sjis(u"最高得点:") + PadNumber(bestScore), *writerSmall);
    written = WriteRecord();
  }
  // The game goes on: the player only learns that this result was not kept.
  if (!written) ReportSaveFailure(written.Reason());
  messageText[0] = Sjis(prefix + u"おめでとうございます！！");
  messageText[1] = Sjis(u"Shiftキーを押すと最初からゲームが始まります。");
  RenderMessages();
  ShowReviewHint();
}
