// The frame routine: everything that moves on the field and every sprite of a frame, in
// painter's order.
#include "Unit1.h"
#include "platform/timer.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kHalfClear = 0xC8FFFFFF;
constexpr std::uint32_t kBlackInk = 0xFF000000;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF008000;

std::int32_t W(const TDGTexture& texture) { return static_cast<std::int32_t>(texture.Width()); }
std::int32_t H(const TDGTexture& texture) { return static_cast<std::int32_t>(texture.Height()); }

}  // namespace

void TForm1::RunFrame() {
  scene->Clear(D3DCLEAR_TARGET, 0, 1.0f, 0);
  Application.ProcessMessages();
  DrawSprite(*texBackground, 0, 0, kWhite);
  DrawSprite(*texSosaHoho, 480, 480 - H(*texSosaHoho), kHalfClear);
  DrawBalls();
  DrawBallChars();
  if (targetShown) DrawSprite(*texTarget, targetX, targetY, kWhite);
  DrawScoreLines();
  DrawLeftPanel();
  DrawPrompts();
  DrawTitle();
}

void TForm1::DrawBalls() {
  for (size_t i = 0; i < ball.size(); ++i) DrawSprite(*texBall[i % 4], ball[i].x, ball[i].y, kWhite);
}

// Hidden while paused and while a question is up, so nobody can plan in peace.
void TForm1::DrawBallChars() {
  if (!(playing || stageEnded || sharkDying || gameOver || (titlePhase && resumeState != 1))) return;
  for (size_t i = 0; i < ball.size(); ++i) {
    DrawSprite(*texBallChar[i], ball[i].x + 3, ball[i].y + 3, i % 4 < 2 ? kBlackInk : kWhite);
  }
}

void TForm1::DrawScoreLines() {
  bool showScore = true;
  if (recordBlink) {
    if (timeGetTime() - recordBlinkAt >= 300) {
      recordBlinkOn = !recordBlinkOn;
      recordBlinkAt = timeGetTime();
    }
    showScore = recordBlinkOn;
  }
  const std::int32_t scoreWidth = W(*texScore);
  if (showScore) DrawSprite(*texScore, (screenWidth - scoreWidth) / 2, 5, 0xFFF4EA9D);
  DrawSprite(*texBestScore, (screenWidth - scoreWidth) / 2 + scoreWidth - W(*texBestScore), H(*texScore) + 10,
             0xFF9FF283);
}

void TForm1::DrawLeftPanel() {
  DrawSprite(*texCorrect, 2, 5, 0xFF9FF283);
  DrawSprite(*texCombo, 2, H(*texCorrect) + 10, 0xFF89DCBE);
  DrawSprite(*texStage, 2, 2 * H(*texCombo) + 15, 0xFF75F2F0);
  DrawSprite(*texGage, 5, 450, kWhite);
}

void TForm1::DrawPrompts() {
  if (!((!gameCleared && !playing) || (gameCleared && paradeStarted))) return;
  const std::uint32_t colour = gameCleared ? kGreen : kRed;
  if (!messageText[0].empty()) DrawSprite(*texMessage[0], (screenWidth - W(*texMessage[0])) / 2, 350, colour);
  if (!messageText[1].empty()) DrawSprite(*texMessage[1], (screenWidth - W(*texMessage[1])) / 2, 375, colour);
}

void TForm1::DrawTitle() {
  if (!startPromptShown) return;
  DrawSprite(*texTitle, 23, 150, kWhite);
  if (startPromptLive) DrawSprite(*texRogo, screenWidth - W(*texRogo) - 10, 400, kWhite);
}
