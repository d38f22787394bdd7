// Keys and the pointer: every phase change the player makes.
#include "Unit1.h"
#include <algorithm>

#include "platform/timer.h"

namespace {

constexpr WORD kKeyY = 'Y';
constexpr WORD kKeyN = 'N';
constexpr WORD kKeyZ = 'Z';
constexpr WORD kKeyH = 'H';
constexpr WORD kKeyO = 'O';
constexpr WORD kKeyR = 'R';

}  // namespace

void TForm1::FormKeyDown(WORD& Key, TShiftState) {
  if (IsPageOpen()) {
    PageKeyDown(Key);
    return;
  }
  if ((Key == VK_F1 || Key == kKeyH) && CanOpenPage()) {
    OpenPage(Page::Help);
    return;
  }
  if (Key == kKeyO && CanOpenPage()) {
    OpenPage(Page::Settings);
    return;
  }
  if (Key == kKeyR && CanOpenReview()) {
    OpenPage(Page::Review);
    return;
  }
  if (Key == VK_ESCAPE) EscapeKey();
  if (Key == VK_SHIFT && !ShiftKey()) return;
  if (Key == VK_CONTROL) ControlKey();
  if (Key == kKeyZ) ToggleMusic();  // which knows when the switch is allowed
  if (Key == kKeyY) YesKey();
  if (Key == kKeyN) NoKey();
  if (Key == VK_SPACE && playing && targetShown) Shoot();
}

// A pad plays with the keys it stands for; at a yes/no question A and B answer it, and on the
// title, where there is nothing to pause, Back opens the settings.
void TForm1::FormPadDown(TPadButton Button) {
  WORD key = PadKey(Button);
  if (key != 0) FormKeyDown(key, 0);
}

WORD TForm1::PadKey(TPadButton button) const {
  const bool yesOrNo = !IsPageOpen() && (IsSaveQuestionOpen() || IsResumeQuestionOpen());
  switch (button) {
    case pbA: return yesOrNo ? kKeyY : VK_SPACE;
    case pbB: return yesOrNo ? kKeyN : VK_ESCAPE;
    case pbRightTrigger: return VK_SPACE;
    case pbStart: return VK_SHIFT;
    case pbBack: return CanOpenPage() ? kKeyO : VK_CONTROL;
    case pbY: return kKeyZ;
    case pbUp: return VK_UP;
    case pbDown: return VK_DOWN;
    case pbLeft: return VK_LEFT;
    case pbRight: return VK_RIGHT;
  }
  return 0;
}

void TForm1::FormMouseMove(TShiftState, int X, int Y) {
  if (IsPageOpen()) return;
  const int half = screenHeight / 2;
  if ((X - 240) * (X - 240) + (Y - 240) * (Y - 240) <= half * half) {
    targetShown = true;
    targetX = X;
    targetY = Y;
  } else {
    targetShown = false;
  }
}

void TForm1::FormMouseDown(TMouseButton Button, TShiftState, int, int) {
  if (IsPageOpen()) return;
  if (playing && targetShown && Button == mbMiddle) Shoot();
}

void TForm1::ShowMessages(std::u16string_view first, std::u16string_view second) {
  messageText[0] = Sjis(first);
  messageText[1] = Sjis(second);
  RenderMessages();
}

void TForm1::StopAnswerClock() {
  if (clockRunning) answerTime += static_cast<std::int32_t>(timeGetTime() - clockLast);
  clockRunning = false;
}

void TForm1::EscapeKey() {
  if (IsSaveQuestionOpen()) {
    ReturnFromSaveQuestion();
    return;
  }
  quitRequested = true;
  if (EscapeQuitsAtOnce()) {
    Close();
    return;
  }
  beforeSaveQuestion = {playing, paused, clockRunning, messageText};
  // R does nothing at the question, so the review's hint goes with the prompt it stood over.
  ShowPromptNote(u"");
  StopAnswerClock();
  paused = true;
  playing = false;
  ShowMessages(u"ゲームを保存しますか？以前のデータは破棄されます。", u"はい・・・Yキー, いいえ・・・Nキー");
}

// The clock goes on from where the question stopped it; the time before is kept.
void TForm1::ReturnFromSaveQuestion() {
  quitRequested = false;
  playing = beforeSaveQuestion.playing;
  paused = beforeSaveQuestion.paused;
  if (beforeSaveQuestion.clockRunning) {
    clockRunning = true;
    clockLast = timeGetTime();
  }
  messageText = beforeSaveQuestion.messageText;
  RenderMessages();
  ShowPromptNote(u"");
  ShowReviewHint();
}

// False when the key is ignored or the shark was destroyed: the handler ends there.
bool TForm1::ShiftKey() {
  if (sharkDying || paused || resumeState == -1 || IsBeforeStartPrompt()) return false;
  if (resumeState == 2 && playing && correctCount >= 10 && pickCount < 8) {
    gauge = std::max(gauge - 1, 0);
    DrawGauge();
    if (gauge == 0) {
      DestroyShark();
      return false;
    }
  }
  if (gameOver || stageEnded) ContinueAfterStage();
  if (resumeState == 0 || resumeState == 2 || (resumeState == 1 && pickCount == 8)) {
    CloseStudyRound(true);  // a round left unfinished
    ResetRound();
    NewRound();
    answerTime = 0;
    clockTicks = 0;
    RenderText(*texTime, PadNumber(0), *writerSmall);
  }
  playing = true;
  clockRunning = true;
  titlePhase = false;
  bgmReady = false;
  startPromptShown = false;
  startPromptLive = false;
  resumeState = 2;
  clockLast = timeGetTime();
  ShowPromptNote(u"");
  return true;
}

void TForm1::ContinueAfterStage() {
  RestartMusicAfterStage();
  if (stageEnded) {
    if (stage == 1) {
      stage = 2;
    } else {
      stage = 1;
      score = 0;
      gauge = 20;
    }
    stageStartScore = score;
    stageStartGauge = gauge;
  }
  if (gameOver) {
    score = stageStartScore;
    gauge = stageStartGauge;
  }
  gameOver = gameCleared = stageEnded = false;
  correctCount = 0;
  comboCount = 0;
  RenderText(*texScore, Sjis(u"得点:") + PadNumber(score), *writerSmall);
  RenderText(*texBestScore, Sjis(u"最高得点:") + PadNumber(bestScore), *writerSmall);
  RenderCounter(*texCorrect, u"正解:", correctCount);
  RenderCounter(*texCombo, u"連続正解:", comboCount);
  RenderCounter(*texStage, u"STAGE ", stage);
  DrawGauge();
}

// Unseen, the answer clock would run out: a row being answered pauses as Ctrl pauses it.
void TForm1::FormDeactivate() {
  if (clockRunning) PauseAnswering();
}

void TForm1::PauseAnswering() {
  playing = false;
  StopAnswerClock();
  paused = true;
  ShowMessages(u"一時停止中・・・。", u"用事が済んだらCtrlキーを押してください。");
}

void TForm1::ControlKey() {
  if (clockRunning) {
    PauseAnswering();
  } else if (paused && !quitRequested && !titlePhase) {
    paused = false;
    playing = true;
    clockRunning = true;
    clockLast = timeGetTime();
    messageText = {};
  }
}

void TForm1::YesKey() {
  if (quitRequested) {
    // A failed save leaves the question open: Y tries again, N quits without saving.
    if (SaveGame()) {
      Close();
    } else {
      ShowMessages(u"ゲームを保存できませんでした。", u"Y・・・もう一度, N・・・保存せずに終了, Esc・・・戻る");
    }
    return;
  }
  if (IsResumeQuestionOpen()) {
    LoadGame();
    resumeState = 1;
    ShowReadyPrompt();
  }
}

void TForm1::NoKey() {
  if (quitRequested) {
    Close();
    return;
  }
  if (IsResumeQuestionOpen()) {
    stage = 1;
    RenderCounter(*texStage, u"STAGE ", stage);
    resumeState = 2;
    ShowReadyPrompt();
  }
}

void TForm1::ShowReadyPrompt() {
  messageText[0] = Sjis(u"準備ができたらShiftキーを押してください。");
  messageText[1].clear();
  RenderMessages();
  startPromptLive = false;
}
