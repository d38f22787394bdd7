// The frame routine: everything that moves on the field and every sprite of a frame, in
// painter's order.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "Unit1.h"
#include "platform/timer.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kHalfClear = 0xC8FFFFFF;
constexpr std::uint32_t kBlackInk = 0xFF000000;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF008000;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kPurple = 0xFF800080;
constexpr std::uint32_t kNoteInk = 0xFF10408C;

constexpr std::int32_t kFieldCentre = 240;
constexpr std::int32_t kPoolRadius = 210;
constexpr DWORD kHurtExplosionLife = 1000;
constexpr DWORD kJudgementLife = 1000;
constexpr std::int32_t kClockTicksPerUpdate = 40;

std::int32_t W(const TDGTexture& texture) { return static_cast<std::int32_t>(texture.Width()); }
std::int32_t H(const TDGTexture& texture) { return static_cast<std::int32_t>(texture.Height()); }

std::int64_t DistanceSquaredFromCentre(std::int32_t x, std::int32_t y) {
  const std::int64_t across = x - kFieldCentre, down = y - kFieldCentre;
  return across * across + down * down;
}

// A corner or edge middle of the picture: 0 the left (top) edge, 1 the middle, 2 the right
// (bottom) edge.
struct SharkPose {
  const char* picture;
  int mouthAcross, mouthDown;
};

// Indexed by direction, then by the 45-degree sector of the angle (sector 0 spans 339..23).
constexpr std::array<std::array<SharkPose, 8>, 2> kSharkPoses{{
    {{{"same0.bmp", 2, 2},
      {"same1.bmp", 1, 2},
      {"same2.bmp", 0, 2},
      {"same3.bmp", 0, 1},
      {"same4.bmp", 0, 0},
      {"same5.bmp", 1, 0},
      {"same6.bmp", 2, 0},
      {"same7.bmp", 2, 1}}},
    {{{"same8.bmp", 0, 2},
      {"same15.bmp", 0, 1},
      {"same14.bmp", 0, 0},
      {"same13.bmp", 1, 0},
      {"same12.bmp", 2, 0},
      {"same11.bmp", 2, 1},
      {"same10.bmp", 2, 2},
      {"same9.bmp", 1, 2}}},
}};

const SharkPose& PoseOf(std::int32_t angle, std::int32_t direction) {
  const int sector = ((angle + 21) / 45 % 8 + 8) % 8;
  return kSharkPoses[direction == 1 ? 1 : 0][static_cast<std::size_t>(sector)];
}

struct Point {
  std::int32_t x, y;
};

Point MouthOf(const SharkPose& pose, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  return {x + pose.mouthAcross * w / 2, y + pose.mouthDown * h / 2};
}

// Toward the field centre on each axis; an axis already on the centre line stays.
void PushTowardMiddle(TGameObject& object, std::int32_t step) {
  if (object.x < kFieldCentre) object.x += step;
  else if (object.x > kFieldCentre) object.x -= step;
  if (object.y < kFieldCentre) object.y += step;
  else if (object.y > kFieldCentre) object.y -= step;
}

void Stop(TGameObject& object) {
  object.active = false;
  object.dx = 0;
  object.dy = 0;
}

// The fewest picked balls at which a touching ball hurts; later in a stage, sooner.
std::int32_t HurtingPickCount(std::int32_t correctCount) {
  if (correctCount < 10) return 9;
  if (correctCount < 20) return 4;
  if (correctCount < 22) return 3;
  if (correctCount < 24) return 2;
  if (correctCount < 26) return 1;
  return 0;
}

// Nearest integer, halves to even.
std::int32_t RoundHalfEven(double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

}  // namespace

void TForm1::RunFrame() {
  scene->Clear(D3DCLEAR_TARGET, 0, 1.0f, 0);
  Application.ProcessMessages();
  DrawSprite(*texBackground, 0, 0, kWhite);
  if (IsPromptShown()) DrawSprite(*texPromptBand, 0, layout::kPromptBandPicture.top, kWhite);
  DrawSprite(*texSosaHoho, layout::kControlsLeft, layout::kScreenHeight - H(*texSosaHoho), kHalfClear);
  for (int i = 0; i < 8; ++i) {
    if (ball[i].active) UpdateBall(i);
  }
  DrawBalls();
  DrawBallChars();
  if (sharkShown) DrawShark();
  MoveShots();
  if (targetShown) DrawSprite(*texTarget, targetX, targetY, kWhite);
  DrawMeanings();
  DrawReadingsAndMarks();
  DrawScoreLines();
  RunAnswerClock();
  DrawSprite(*texTime, screenWidth - W(*texTime) - layout::kTimeRightMargin, layout::kTimeTop, kWhite);
  DrawLeftPanel();
  UpdateExplosions();
  DrawJudgementAndBanner();
  DrawPrompts();
  DrawTitle();
}

void TForm1::PlayEffect(int channel) { DDSD1.Channel(channel)->Play(); }

void TForm1::DrawBalls() {
  for (size_t i = 0; i < ball.size(); ++i) DrawSprite(*texBall[i % 4], ball[i].x, ball[i].y, kWhite);
}

// Hidden while paused and while a question is up, so nobody can plan in peace.
void TForm1::DrawBallChars() {
  if (!(playing || stageEnded || sharkDying || gameOver || (titlePhase && resumeState != 1))) return;
  for (size_t i = 0; i < ball.size(); ++i) {
    // An empty text leaves the texture's old glyph in place.
    if (ballChar[i].empty()) continue;
    DrawSprite(*texBallChar[i], ball[i].x + 3, ball[i].y + 3, i % 4 < 2 ? kBlackInk : kWhite);
  }
}

// Each change wraps on its own, so 360 itself survives and one step past it lands near 0.
void TForm1::TurnShark(std::int32_t degrees) {
  sharkAngle += degrees;
  if (sharkAngle < 0) sharkAngle += 360;
  else if (sharkAngle > 360) sharkAngle -= 360;
}

void TForm1::SteerShark() {
  if (stageEnded || titlePhase || pickCount >= 8) {
    TurnShark(sharkDir == 1 ? -3 : 3);
    return;
  }
  DDIDEX1.Poll(1);
  if (DDIDEX1.Button(0)) {
    sharkDir = 1;
    TurnShark(-2);
  }
  if (DDIDEX1.Button(1)) {
    sharkDir = 0;
    TurnShark(2);
  }
  if (stage == 2) TurnShark(sharkDir == 1 ? -1 : 1);
}

void TForm1::PlaceShark() {
  const std::int32_t radius = (screenHeight - 120) / 2;
  const double radians = sharkAngle * std::numbers::pi / 180;
  sharkX = RoundHalfEven(std::sin(radians) * radius) + kFieldCentre - W(*texShark) / 2;
  sharkY = kFieldCentre - RoundHalfEven(std::cos(radians) * radius) - H(*texShark) / 2;
}

void TForm1::DrawShark() {
  SteerShark();
  // The picture only changes with the heading's sector; reading the same one again each
  // frame would give the same pixels.
  const char* picture = PoseOf(sharkAngle, sharkDir).picture;
  if (sharkPicture != picture) {
    LoadArchiveImage(*texShark, picture);
    sharkPicture = picture;
  }
  PlaceShark();
  DrawSprite(*texShark, sharkX, sharkY, kWhite);
}

// The test is on the top-left corner, so a shot may show a little past the rim.
void TForm1::MoveShots() {
  const std::int64_t radius = screenHeight / 2;
  for (TGameObject& s : shot) {
    if (!s.active) continue;
    s.x += s.dx;
    s.y += s.dy;
    if (DistanceSquaredFromCentre(s.x, s.y) >= radius * radius) Stop(s);
    DrawSprite(*texShot, s.x, s.y, kWhite);
  }
}

// A row that answered the other idiom swaps the meanings, so each stays beside its row.
void TForm1::DrawMeanings() {
  const bool crossed = rowMatch[0] == 1 || rowMatch[1] == 0;
  for (int q = 0; q < 2; ++q) {
    const bool answered = rowMatch[0] == q || rowMatch[1] == q;
    const std::uint32_t colour = answered ? kPurple : kBlue;
    const std::int32_t top = layout::kMeaningTops[(q == 0) != crossed ? 0 : 1];
    for (int k = 0; k < 3; ++k) {
      const int line = 3 * q + k;
      if (meaningLine[line].empty()) continue;
      const std::int32_t y = top + layout::kMeaningLineStep * k;
      TDGTexture& plate = *texMeaningPlate[line];
      TDGTexture& text = *texMeaningLine[line];
      DrawSprite(plate, screenWidth - W(plate) - layout::kMeaningRightMargin, y, kWhite);
      DrawSprite(text, screenWidth - W(text) - layout::kMeaningRightMargin, y, colour);
    }
  }
}

void TForm1::DrawReadingsAndMarks() {
  for (int r = 0; r < 2; ++r) {
    if (rowResult[r] == 1 || (pickCount == 8 && rowResult[r] >= 1)) {
      const std::int32_t y = layout::kRowTextStep * r + layout::kReadingTop;
      DrawSprite(*texReadingPlate[r], layout::kPanelLeft, y, kWhite);
      DrawSprite(*texReading[r], layout::kPanelLeft, y, kBlackInk);
    }
  }
  for (int r = 0; r < 2; ++r) {
    const std::int32_t markX = answerSlot[r][0].x - layout::kSlotColumnStep, markY = answerSlot[r][0].y;
    if (rowResult[r] == 1) DrawSprite(*texMaru, markX, markY, kWhite);
    if (rowResult[r] != 2) continue;
    DrawSprite(*texBatu, markX, markY, kWhite);
    if (pickCount == 8) {
      const std::int32_t y = layout::kRowTextStep * r + layout::kAnswerTop;
      DrawSprite(*texAnswerPlate[r], layout::kPanelLeft, y, kWhite);
      DrawSprite(*texAnswer[r], layout::kPanelLeft, y, kRed);
    }
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
  const std::int32_t left = (screenWidth - scoreWidth) / 2;
  if (showScore) DrawSprite(*texScore, left, layout::kScoreTop, 0xFFF4EA9D);
  DrawSprite(*texBestScore, left + scoreWidth - W(*texBestScore),
             layout::kScoreTop + H(*texScore) + layout::kScoreLineGap, 0xFF9FF283);
}

// Brought up to date about once a second, not every frame.
void TForm1::RunAnswerClock() {
  if (!clockRunning) return;
  clockTicks += 1;
  if (clockTicks < kClockTicksPerUpdate) return;
  clockTicks = 0;
  const DWORD now = timeGetTime();
  answerTime += static_cast<std::int32_t>(now - clockLast);
  clockLast = now;
  RenderAnswerClock();
  if (answerTime >= kAnswerTimeLimit) DestroyShark();
}

void TForm1::RenderAnswerClock() {
  RenderText(*texTime, PadNumber(std::max(0, kAnswerTimeLimit - answerTime) / 1000), *writerSmall);
}

void TForm1::DrawLeftPanel() {
  using layout::kCounterLeft, layout::kCounterTop, layout::kCounterLineGap;
  DrawSprite(*texCorrect, kCounterLeft, kCounterTop, 0xFF9FF283);
  DrawSprite(*texCombo, kCounterLeft, kCounterTop + H(*texCorrect) + kCounterLineGap, 0xFF89DCBE);
  DrawSprite(*texStage, kCounterLeft, kCounterTop + 2 * (H(*texCombo) + kCounterLineGap), 0xFF75F2F0);
  DrawSprite(*texGage, layout::kGaugeLeft, layout::kGaugeTop, kWhite);
}

void TForm1::UpdateExplosions() {
  for (size_t i = 0; i < explosion.size(); ++i) {
    TGameObject& e = explosion[i];
    if (!e.active) continue;
    if (e.mode == 0) {
      if (timeGetTime() - explosionStart[i] > kHurtExplosionLife) e.active = false;
      DrawSprite(*texBakuhatu, e.x, e.y, kHalfClear);
      continue;
    }
    e.x += e.dx;
    e.y += e.dy;
    const std::int32_t w = W(*texGOBakuhatu), h = H(*texGOBakuhatu);
    if (e.x > screenWidth || e.x < -w || e.y < -h || e.y > screenHeight) {
      Stop(e);
      ShowGameOver();
    }
    DrawSprite(*texGOBakuhatu, e.x, e.y, kHalfClear);
  }
}

void TForm1::ShowGameOver() {
  PlayEffect(6);
  gameOver = true;
  sharkDying = false;
  LoadArchiveImage(*texBanner, "GameOver.bmp");
  messageText[0] = Sjis(u"サメが泣いています、さめざめと・・・。");
  messageText[1] = Sjis(u"気を取り直してShiftキーを押してください。");
  RenderMessages();
  ShowReviewHint();
}

void TForm1::DrawJudgementAndBanner() {
  if (judgeShown) {
    if (timeGetTime() - judgeShownAt > kJudgementLife) {
      judgeShown = false;
    } else {
      DrawSprite(*texJudge, (screenWidth - W(*texJudge)) / 2, (screenHeight - H(*texJudge)) / 2, kHalfClear);
    }
  }
  if (stageEnded || gameOver) {
    DrawSprite(*texBanner, (screenWidth - W(*texBanner)) / 2, (screenHeight - H(*texBanner)) / 2, kHalfClear);
  }
}

// Each line on a plate of its own over whatever passes behind it.
void TForm1::DrawPrompts() {
  if (!IsPromptShown()) return;
  const std::uint32_t colour = gameCleared ? kGreen : kRed;
  const auto drawLine = [&](TDGTexture& plate, TDGTexture& text, std::int32_t y, std::uint32_t ink) {
    const std::int32_t x = (screenWidth - W(text)) / 2;
    DrawSprite(plate, x, y, kWhite);
    DrawSprite(text, x, y, ink);
  };
  for (int line = 0; line < 2; ++line) {
    if (!messageText[line].empty()) drawLine(*texMessagePlate[line], *texMessage[line], layout::kPromptTops[line], colour);
  }
  if (!promptNote.empty()) drawLine(*texPromptNotePlate, *texPromptNote, layout::kPromptNoteTop, kNoteInk);
}

void TForm1::DrawTitle() {
  if (!startPromptShown) return;
  DrawSprite(*texTitle, layout::kTitleLeft, layout::kTitleTop, kWhite);
  if (startPromptLive) {
    DrawSprite(*texRogo, screenWidth - W(*texRogo) - layout::kLogoRightMargin, layout::kLogoTop, kWhite);
  }
}

bool TForm1::RectsOverlap(const RECT& a, const RECT& b) {
  RECT common;
  return IntersectRect(common, a, b) != FALSE;
}

RECT TForm1::BallRect(const TGameObject& b) const {
  return {b.x, b.y, b.x + W(*texBall[0]), b.y + H(*texBall[0])};
}

// Later steps see the ball where earlier steps left it.
void TForm1::UpdateBall(int a) {
  TGameObject& b = ball[a];
  b.x += b.dx;
  b.y += b.dy;
  SeparateFromOtherBalls(a);
  KeepInsidePool(a);
  if (sharkShown && SharkContactDestroysShark(a)) return;
  CatchShots(a);
}

// Only the moving ball is put aside; both change course.
void TForm1::SeparateFromOtherBalls(int a) {
  TGameObject& self = ball[a];
  const std::int32_t w0 = W(*texBall[0]), h0 = H(*texBall[0]);
  for (int i = 0; i < 8; ++i) {
    const TGameObject& other = ball[i];
    if (i == a || !other.active || !RectsOverlap(BallRect(self), BallRect(other))) continue;
    self.x = self.x <= other.x ? other.x - w0 - 1 : other.x + w0 + 1;
    self.y = self.y <= other.y ? other.y - h0 - 1 : other.y + h0 + 1;
    BounceBall(a);
    BounceBall(i);
  }
}

void TForm1::KeepInsidePool(int a) {
  TGameObject& b = ball[a];
  const std::int32_t w0 = W(*texBall[0]), h0 = H(*texBall[0]);
  const std::int64_t reach = kPoolRadius - w0 / 2;
  if (DistanceSquaredFromCentre(b.x + w0 / 2, b.y + h0 / 2) < reach * reach) return;
  PushTowardMiddle(b, 5);
  BounceBall(a);
}

bool TForm1::SharkContactDestroysShark(int a) {
  const RECT hitBox{sharkX + 15, sharkY + 15, sharkX + W(*texShark) - 15, sharkY + H(*texShark) - 15};
  TGameObject& b = ball[a];
  if (!RectsOverlap(hitBox, BallRect(b))) return false;
  PushTowardMiddle(b, 10);
  BounceBall(a);
  if (!playing || pickCount < HurtingPickCount(correctCount)) return false;
  PlayEffect(7);
  gauge = std::max(0, gauge - 1);
  DrawGauge();
  if (gauge == 0) {
    DestroyShark();
    return true;
  }
  StartHurtExplosion(b.x, b.y);
  return false;
}

// With every slot busy the contact simply leaves no explosion.
void TForm1::StartHurtExplosion(std::int32_t x, std::int32_t y) {
  for (size_t i = 0; i < explosion.size(); ++i) {
    TGameObject& e = explosion[i];
    if (e.active) continue;
    e = TGameObject{};
    e.x = x;
    e.y = y;
    e.active = true;
    explosionStart[i] = timeGetTime();
    return;
  }
}

// Once picked, the ball sits in its slot: no later shot may pick it a second time.
void TForm1::CatchShots(int a) {
  for (TGameObject& s : shot) {
    if (!ball[a].active) return;
    const RECT shotRect{s.x, s.y, s.x + W(*texShot), s.y + H(*texShot)};
    if (!s.active || !RectsOverlap(shotRect, BallRect(ball[a]))) continue;
    PlayEffect(1);
    Stop(s);
    PickBall(a);
  }
}

void TForm1::PickBall(int a) {
  if (pickCount >= kRoundLength) return;
  TAnswerSlot& slot = answerSlot[pickCount / kIdiomLength][pickCount % kIdiomLength];
  TGameObject& b = ball[a];
  b.x = slot.x;
  b.y = slot.y;
  Stop(b);
  slot.ch = ballChar[a];
  slotBall[pickCount / kIdiomLength][pickCount % kIdiomLength] = a;
  pickCount += 1;
  if (pickCount % kIdiomLength == 0) JudgeRow();
}

// Balls speed up once the first row is in.
void TForm1::BounceBall(int i) {
  TGameObject& b = ball[i];
  b.dx = -b.dx + 2 - Random(5);
  b.dy = -b.dy + 2 - Random(5);
  const std::int32_t limit = pickCount < 4 ? 2 : 4;
  b.dx = std::clamp(b.dx, -limit, limit);
  b.dy = std::clamp(b.dy, -limit, limit);
  if (b.dx == 0 && b.dy == 0) {
    b.dx = Random(limit) + 1;
    b.dy = Random(limit) + 1;
  }
}

// The sound plays even when all shots are in flight. The mouth point follows the picture
// last drawn, also while the shark is not shown.
void TForm1::Shoot() {
  PlayEffect(0);
  const auto free = std::find_if(shot.begin(), shot.end(), [](const TGameObject& s) { return !s.active; });
  if (free == shot.end()) return;
  const Point mouth = MouthOf(PoseOf(sharkAngle, sharkDir), sharkX, sharkY, W(*texShark), H(*texShark));
  *free = TGameObject{};
  free->active = true;
  free->x = mouth.x;
  free->y = mouth.y;
  free->dx = (targetX + W(*texTarget) / 2 - mouth.x) / 5;
  free->dy = (targetY + H(*texTarget) / 2 - mouth.y) / 5;
}

// The game-over screen follows only from the flying explosion, so it always gets a slot:
// the first free one, else slot 0.
void TForm1::DestroyShark() {
  CloseStudyRound(true);
  playing = false;
  clockRunning = false;
  sharkShown = false;
  sharkDying = true;
  PlayEffect(8);
  const auto free = std::find_if(explosion.begin(), explosion.end(), [](const TGameObject& e) { return !e.active; });
  TGameObject& flying = free == explosion.end() ? explosion[0] : *free;
  flying = TGameObject{};
  flying.x = sharkX;
  flying.y = sharkY;
  do {
    flying.dx = Random(11) - 5;
    flying.dy = Random(11) - 5;
  } while (flying.dx == 0 && flying.dy == 0);
  flying.active = true;
  flying.mode = 1;
  messageText[0].clear();
  messageText[1].clear();
}
