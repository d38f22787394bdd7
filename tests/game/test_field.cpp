// The play field: the shark's steering and pictures, shots, balls against balls, the rim and
// the shark, picking, explosions, the answer clock and the way to the game-over screen.
#include "GameAssets.h"
#include "game_fixture.h"
#include "play_helpers.h"
#include "platform/codepage.h"
#include "platform/headless_input.h"

using namespace playtest;

namespace {

class FieldTest : public PlayTest {
 protected:
  // Ball a alone in the pool, standing still at (x, y).
  static void Isolate(TForm1& game, int a, std::int32_t x, std::int32_t y) {
    for (auto& b : game.ball) b.active = false;
    game.ball[a] = TGameObject{x, y, 0, 0, 0, true, 0};
  }

  static std::int32_t BallWidth(TForm1& game) { return static_cast<std::int32_t>(game.texBall[0]->Width()); }
  static std::int32_t BallHeight(TForm1& game) { return static_cast<std::int32_t>(game.texBall[0]->Height()); }
  static std::int32_t SharkWidth(TForm1& game) { return static_cast<std::int32_t>(game.texShark->Width()); }
  static std::int32_t SharkHeight(TForm1& game) { return static_cast<std::int32_t>(game.texShark->Height()); }

  // A shot standing still on top of ball a.
  static void ShotOn(TForm1& game, int s, int a) {
    game.shot[s] = TGameObject{game.ball[a].x, game.ball[a].y, 0, 0, 0, true, 0};
  }

  static std::int32_t ActiveExplosions(const TForm1& game, std::int32_t mode) {
    std::int32_t count = 0;
    for (const auto& e : game.explosion) count += e.active && e.mode == mode ? 1 : 0;
    return count;
  }
};

using SharkSteering = FieldTest;

namespace {

std::vector<std::uint32_t> FramePart(int left, int top, int width, int height) {
  int frameWidth = 0, frameHeight = 0;
  const auto frame = headless::ReadFrame(frameWidth, frameHeight);
  std::vector<std::uint32_t> part;
  for (int y = top; y < top + height; ++y) {
    for (int x = left; x < left + width; ++x) part.push_back(frame[static_cast<size_t>(y * frameWidth + x)]);
  }
  return part;
}

}  // namespace

// A restored short idiom leaves balls without a character; their textures still hold a glyph.
TEST_F(FieldTest, ABallWithoutACharacterShowsNone) {
  TForm1& game = StartPlay();
  const int k = 4;
  for (auto& b : game.ball) b.dx = b.dy = 0;
  const auto ballArea = [&] {
    return FramePart(game.ball[k].x, game.ball[k].y, BallWidth(game), BallHeight(game));
  };
  game.ballChar[k].clear();
  RunFrames(1);
  const auto blank = ballArea();
  game.RenderText(*game.texBallChar[k], Sjis(u"四"), *game.writerLarge);
  RunFrames(1);
  EXPECT_EQ(ballArea(), blank) << "an old glyph shows on a ball with no character";
  game.ballChar[k] = std::u16string(1, u'四');
  RunFrames(1);
  EXPECT_NE(ballArea(), blank) << "the ball's own character must show";
}

TEST_F(SharkSteering, TurnsWrapsAndPicksItsPicture) {
  TForm1& game = StartPlay();
  struct Case {
    const char* what;
    std::int32_t stage, angle, direction;
    bool left, right, circling;
    std::int32_t angleAfter, directionAfter;
    const char* picture;
  };
  for (const Case& c : {
           Case{"360 stays, clockwise", 1, 360, 0, false, false, false, 360, 0, "same0.bmp"},
           Case{"360 stays, counter-clockwise", 1, 360, 1, false, false, false, 360, 1, "same8.bmp"},
           Case{"steered past 360", 1, 360, 0, false, true, false, 2, 0, "same0.bmp"},
           Case{"circling past 360", 1, 360, 0, false, false, true, 3, 0, "same0.bmp"},
           Case{"left below 0", 1, 1, 0, true, false, false, 359, 1, "same8.bmp"},
           Case{"both buttons, stage 1", 1, 100, 1, true, true, false, 100, 0, "same2.bmp"},
           Case{"both buttons, stage 2", 2, 100, 1, true, true, false, 101, 0, "same2.bmp"},
           Case{"no button, stage 2", 2, 100, 1, false, false, false, 99, 1, "same14.bmp"},
           Case{"circling ignores buttons", 1, 50, 0, true, false, true, 53, 0, "same1.bmp"},
           Case{"sector border", 1, 23, 0, false, false, false, 23, 0, "same0.bmp"},
           Case{"sector border", 1, 24, 1, false, false, false, 24, 1, "same15.bmp"},
           Case{"sector border", 1, 338, 1, false, false, false, 338, 1, "same9.bmp"},
           Case{"sector border", 1, 339, 0, false, false, false, 339, 0, "same0.bmp"},
       }) {
    game.stage = c.stage;
    game.sharkAngle = c.angle;
    game.sharkDir = c.direction;
    game.pickCount = c.circling ? 8 : 0;
    headless::SetMouseButton(0, c.left);
    headless::SetMouseButton(1, c.right);
    RunFrames(1);
    EXPECT_EQ(game.sharkAngle, c.angleAfter) << c.what;
    EXPECT_EQ(game.sharkDir, c.directionAfter) << c.what;
    EXPECT_TRUE(ShowsPicture(game, *game.texShark, c.picture)) << c.what << " " << c.angle;
  }
}

TEST_F(SharkSteering, TitleAndStageEndCircleByThemselves) {
  TForm1& game = StartPlay();
  headless::SetMouseButton(0, true);
  for (auto* flag : {&game.titlePhase, &game.stageEnded}) {
    *flag = true;
    game.sharkAngle = 50;
    game.sharkDir = 0;
    RunFrames(1);
    EXPECT_EQ(game.sharkAngle, 53);
    *flag = false;
  }
}

TEST_F(SharkSteering, SitsOnTheRingOfRadius180ByItsCurrentPicture) {
  TForm1& game = StartPlay();
  game.sharkAngle = 90;
  game.sharkDir = 0;
  RunFrames(1);
  EXPECT_TRUE(ShowsPicture(game, *game.texShark, "same2.bmp"));
  EXPECT_EQ(game.sharkX, 420 - SharkWidth(game) / 2);
  EXPECT_EQ(game.sharkY, 240 - SharkHeight(game) / 2);
  game.sharkAngle = 180;
  game.sharkDir = 1;
  RunFrames(1);
  EXPECT_TRUE(ShowsPicture(game, *game.texShark, "same12.bmp"));
  EXPECT_EQ(game.sharkX, 240 - SharkWidth(game) / 2);
  EXPECT_EQ(game.sharkY, 420 - SharkHeight(game) / 2);
}

using Shooting = FieldTest;

TEST_F(Shooting, ShotsLeaveFromTheMouthOfTheCurrentPicture) {
  TForm1& game = StartPlay();
  struct Case {
    std::int32_t angle, direction;
    int across, down;  // halves of the picture's width and height
  };
  for (const Case& c : {Case{0, 0, 2, 2}, Case{0, 1, 0, 2}, Case{135, 1, 1, 0}, Case{300, 0, 2, 1}, Case{180, 0, 0, 0}}) {
    game.sharkAngle = c.angle;
    game.sharkDir = c.direction;
    RunFrames(1);
    game.shot = {};
    game.Shoot();
    EXPECT_EQ(game.shot[0].x, game.sharkX + c.across * SharkWidth(game) / 2) << c.angle << "/" << c.direction;
    EXPECT_EQ(game.shot[0].y, game.sharkY + c.down * SharkHeight(game) / 2) << c.angle << "/" << c.direction;
  }
}

TEST_F(Shooting, TargetAtTheMouthGivesAShotThatStandsStill) {
  TForm1& game = StartPlay();
  RunFrames(1);
  const std::int32_t mouthX = game.sharkX + SharkWidth(game), mouthY = game.sharkY + SharkHeight(game);
  const std::int32_t halfW = static_cast<std::int32_t>(game.texTarget->Width()) / 2;
  const std::int32_t halfH = static_cast<std::int32_t>(game.texTarget->Height()) / 2;
  game.targetX = mouthX - halfW + 4;
  game.targetY = mouthY - halfH - 4;
  game.Shoot();
  EXPECT_TRUE(game.shot[0].active);
  EXPECT_EQ(game.shot[0].dx, 0);
  EXPECT_EQ(game.shot[0].dy, 0);
  game.targetX = mouthX - halfW + 100;
  game.targetY = mouthY - halfH - 53;
  game.Shoot();
  EXPECT_EQ(game.shot[1].dx, 20);
  EXPECT_EQ(game.shot[1].dy, -10) << "truncated toward zero";
}

TEST_F(Shooting, NinthShotOnlySounds) {
  TForm1& game = StartPlay();
  for (int i = 0; i < 8; ++i) game.Shoot();
  const auto flying = game.shot;
  Hush(game);
  game.Shoot();
  EXPECT_TRUE(Played(game, 0));
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(game.shot[i].active);
    EXPECT_EQ(game.shot[i].x, flying[i].x);
  }
}

TEST_F(Shooting, ShotEndsOnceItsCornerReachesTheFieldRim) {
  TForm1& game = StartPlay();
  for (auto& b : game.ball) b.active = false;
  game.shot[0] = TGameObject{240 + 238, 240, 2, 0, 0, true, 0};
  game.shot[1] = TGameObject{240 + 237, 240, 2, 0, 0, true, 0};
  RunFrames(1);
  EXPECT_FALSE(game.shot[0].active);
  EXPECT_EQ(game.shot[0].dx, 0);
  EXPECT_TRUE(game.shot[1].active);
  EXPECT_EQ(game.shot[1].x, 479);
}

using BallMotion = FieldTest;

TEST_F(BallMotion, RimPushesOnlyAlongTheAxisThatIsOffCentre) {
  TForm1& game = StartPlay();
  Isolate(game, 0, 240, 240 + 205);
  game.UpdateBall(0);
  EXPECT_EQ(game.ball[0].x, 240);
  EXPECT_EQ(game.ball[0].y, 240 + 200);
  Isolate(game, 0, 240 + 205, 240);
  game.UpdateBall(0);
  EXPECT_EQ(game.ball[0].x, 240 + 200);
  EXPECT_EQ(game.ball[0].y, 240);
}

TEST_F(BallMotion, OverlappingBallIsSetBesideTheOtherAndBothChangeCourse) {
  TForm1& game = StartPlay();
  Isolate(game, 0, 200, 215);
  game.ball[1] = TGameObject{205, 210, 9, 9, 0, true, 0};
  game.UpdateBall(0);
  EXPECT_EQ(game.ball[0].x, 205 - BallWidth(game) - 1);
  EXPECT_EQ(game.ball[0].y, 210 + BallHeight(game) + 1);
  EXPECT_EQ(game.ball[1].x, 205) << "the other ball stays";
  EXPECT_EQ(game.ball[1].y, 210);
  EXPECT_EQ(game.ball[1].dx, -2) << "bounced too";
}

TEST_F(BallMotion, BounceSpeedsUpOnceTheFirstRowIsInAndNeverStopsABall) {
  TForm1& game = StartPlay();
  for (int i = 0; i < 100; ++i) {
    game.ball[0].dx = i % 5 - 2;
    game.ball[0].dy = i / 5 % 5 - 2;
    game.BounceBall(0);
    ASSERT_FALSE(game.ball[0].dx == 0 && game.ball[0].dy == 0);
    ASSERT_LE(std::abs(game.ball[0].dx), 2);
  }
  for (const auto& [picks, limit] : {std::pair{3, 2}, std::pair{4, 4}}) {
    game.pickCount = picks;
    game.ball[0].dx = 9;
    game.ball[0].dy = -9;
    game.BounceBall(0);
    EXPECT_EQ(game.ball[0].dx, -limit);
    EXPECT_EQ(game.ball[0].dy, limit);
  }
}

class SharkContactTest : public FieldTest {
 protected:
  // Ball 0 alone, in the middle of the shark's hit box at the top of the ring.
  TForm1& StartWithBallOnShark() {
    TForm1& game = StartPlay();
    RunFrames(1);
    Isolate(game, 0, game.sharkX + SharkWidth(game) / 2 - BallWidth(game) / 2,
            game.sharkY + SharkHeight(game) / 2 - BallHeight(game) / 2);
    Hush(game);
    return game;
  }
};

TEST_F(SharkContactTest, HurtsFromTenCorrectAnswersOnAndSoonerLaterInTheStage) {
  TForm1& game = StartWithBallOnShark();
  const TGameObject start = game.ball[0];
  struct Case {
    std::int32_t correct, picks;
    bool hurts, playing = true;
  };
  for (const Case& c : {Case{9, 8, false}, Case{10, 3, false}, Case{10, 4, true}, Case{20, 2, false},
                        Case{20, 3, true}, Case{22, 2, true}, Case{24, 0, false}, Case{24, 1, true},
                        Case{26, 0, true}, Case{26, 0, false, false}}) {
    game.ball[0] = start;
    game.playing = c.playing;
    game.gauge = 30;
    game.correctCount = c.correct;
    game.pickCount = c.picks;
    game.UpdateBall(0);
    EXPECT_EQ(game.gauge, c.hurts ? 29 : 30) << c.correct << " correct, " << c.picks << " picked";
    EXPECT_EQ(game.ball[0].y, start.y + 10) << "pushed toward the middle either way";
  }
}

TEST_F(SharkContactTest, HurtLeavesAOneSecondExplosionWhereTheBallWas) {
  TForm1& game = StartWithBallOnShark();
  game.correctCount = 10;
  game.pickCount = 4;
  game.UpdateBall(0);
  EXPECT_TRUE(Played(game, 7));
  ASSERT_EQ(ActiveExplosions(game, 0), 1);
  EXPECT_EQ(game.explosion[0].x, game.ball[0].x);
  EXPECT_EQ(game.explosion[0].y, game.ball[0].y);
  EXPECT_EQ(game.explosionStart[0], headless::Now());
  game.ball[0].active = false;
  headless::AdvanceTime(1000);
  RunFrames(1);
  EXPECT_TRUE(game.explosion[0].active) << "gone only after more than a second";
  headless::AdvanceTime(1000);
  RunFrames(1);
  EXPECT_FALSE(game.explosion[0].active);
}

TEST_F(SharkContactTest, LastGaugePointDestroysTheSharkThenAndThere) {
  TForm1& game = StartWithBallOnShark();
  game.correctCount = 26;
  game.gauge = 1;
  ShotOn(game, 0, 0);
  game.UpdateBall(0);
  EXPECT_EQ(game.gauge, 0);
  EXPECT_FALSE(game.sharkShown);
  EXPECT_TRUE(game.sharkDying);
  EXPECT_FALSE(game.playing);
  EXPECT_TRUE(Played(game, 8));
  EXPECT_EQ(ActiveExplosions(game, 0), 0) << "no static explosion for the last contact";
  EXPECT_EQ(ActiveExplosions(game, 1), 1);
  EXPECT_TRUE(game.shot[0].active) << "the ball's update stopped before its shots";
  EXPECT_EQ(game.pickCount, 0);
}

TEST_F(SharkContactTest, FullExplosionTableStillHurtsTheGauge) {
  TForm1& game = StartWithBallOnShark();
  for (auto& e : game.explosion) e = TGameObject{1, 1, 0, 0, 0, true, 0};
  game.correctCount = 26;
  game.UpdateBall(0);
  EXPECT_EQ(game.gauge, 19);
  EXPECT_EQ(game.explosion[0].x, 1);
}

using Picking = FieldTest;

TEST_F(Picking, ShotMovesTheBallIntoTheNextSlot) {
  TForm1& game = StartPlay();
  Isolate(game, 5, 200, 200);
  game.pickCount = 6;
  ShotOn(game, 3, 5);
  ShotOn(game, 4, 5);
  game.UpdateBall(5);
  EXPECT_TRUE(game.shot[4].active) << "a picked ball cannot be picked again";
  EXPECT_TRUE(Played(game, 1));
  EXPECT_FALSE(game.shot[3].active);
  EXPECT_FALSE(game.ball[5].active);
  EXPECT_EQ(game.ball[5].x, game.answerSlot[1][2].x);
  EXPECT_EQ(game.ball[5].y, game.answerSlot[1][2].y);
  EXPECT_EQ(game.answerSlot[1][2].ch, game.ballChar[5]);
  EXPECT_EQ(game.slotBall[1][2], 5);
  EXPECT_EQ(game.pickCount, 7);
}

TEST_F(Picking, FourthPickJudgesRowZeroInsideTheBallUpdate) {
  TForm1& game = StartPlay();
  for (int i = 0; i < 3; ++i) game.answerSlot[0][i].ch = game.question[0].substr(i, 1);
  game.pickCount = 3;
  Isolate(game, 2, 200, 200);
  game.ballChar[2] = game.question[0].substr(3, 1);
  ShotOn(game, 0, 2);
  game.UpdateBall(2);
  EXPECT_EQ(game.pickCount, 4);
  EXPECT_EQ(game.rowResult[0], 1);
}

TEST_F(Picking, PausedFieldKeepsMovingAndAFlyingShotStillPicks) {
  TForm1& game = StartPlay();
  game.playing = false;
  game.paused = true;
  Isolate(game, 4, 200, 200);
  game.ball[4].dx = 1;
  game.shot[0] = TGameObject{120, 202, 4, 0, 0, true, 0};
  RunFrames(1);
  EXPECT_EQ(game.ball[4].x, 201);
  EXPECT_EQ(game.shot[0].x, 124);
  for (int frame = 0; frame < 100 && game.pickCount == 0; ++frame) RunFrames(1);
  EXPECT_EQ(game.pickCount, 1);
}

using Losing = FieldTest;

TEST_F(Losing, GameOverOnlyOnceTheFlyingExplosionHasLeftTheScreen) {
  headless::SetClockSeed(3);
  TForm1& game = StartPlay();
  game.messageText[0] = "x";
  game.DestroyShark();
  EXPECT_TRUE(game.messageText[0].empty());
  const auto flying = std::find_if(game.explosion.begin(), game.explosion.end(),
                                   [](const TGameObject& e) { return e.active && e.mode == 1; });
  ASSERT_NE(flying, game.explosion.end());
  EXPECT_FALSE(flying->dx == 0 && flying->dy == 0);
  EXPECT_LE(std::abs(flying->dx), 5);
  EXPECT_LE(std::abs(flying->dy), 5);
  const std::int32_t w = static_cast<std::int32_t>(game.texGOBakuhatu->Width());
  const std::int32_t h = static_cast<std::int32_t>(game.texGOBakuhatu->Height());
  int frames = 0;
  while (!game.gameOver && frames < 2000) {
    const bool onScreen = flying->x <= 640 && flying->x >= -w && flying->y >= -h && flying->y <= 480;
    ASSERT_TRUE(onScreen) << "frame " << frames;
    ASSERT_TRUE(game.sharkDying);
    Hush(game);
    RunFrames(1);
    ++frames;
  }
  ASSERT_TRUE(game.gameOver);
  EXPECT_GT(frames, 1);
  EXPECT_FALSE(game.sharkDying);
  EXPECT_FALSE(flying->active);
  EXPECT_TRUE(Played(game, 6));
  EXPECT_TRUE(ShowsPicture(game, *game.texBanner, "GameOver.bmp"));
  EXPECT_EQ(game.messageText[0], Sjis(u"サメが泣いています、さめざめと・・・。"));
  EXPECT_EQ(game.messageText[1], Sjis(u"気を取り直してShiftキーを押してください。"));
}

TEST_F(Losing, FlyingExplosionTakesSlotZeroWhenEverySlotIsBusy) {
  TForm1& game = StartPlay();
  for (auto& e : game.explosion) e = TGameObject{1, 1, 0, 0, 0, true, 0};
  game.DestroyShark();
  EXPECT_EQ(game.explosion[0].mode, 1);
  EXPECT_EQ(game.explosion[0].x, game.sharkX);
}

TEST_F(Losing, AnswerClockUpdatesEveryFortyFramesAndEndsAtSixtySeconds) {
  TForm1& game = StartPlay();
  for (auto& b : game.ball) b.active = false;
  game.clockRunning = true;
  game.clockLast = headless::Now();
  game.clockTicks = 0;
  game.answerTime = 58000;
  RunFrames(39);
  EXPECT_EQ(game.answerTime, 58000);
  RunFrames(1);
  EXPECT_EQ(game.answerTime, 59000);
  EXPECT_TRUE(ShowsText(game, *game.texTime, u"000001", *game.writerSmall));
  EXPECT_TRUE(game.sharkShown);
  RunFrames(40);
  EXPECT_EQ(game.answerTime, 60000);
  EXPECT_TRUE(ShowsText(game, *game.texTime, u"000000", *game.writerSmall));
  EXPECT_TRUE(game.sharkDying);
  EXPECT_FALSE(game.clockRunning);
}

}  // namespace

// The slot of a picked ball may lie under a second shot in the same update.
TEST_F(Picking, OneBallIsPickedOnceInOneUpdateEvenWhereItsSlotMeetsTheNextShot) {
  TForm1& game = StartPlay();
  game.pickCount = 4;  // the next slot is row 1's first, at (480, 183)
  Isolate(game, 5, 470, 183);
  game.shot[3] = TGameObject{478, 185, 0, 0, 0, true, 0};
  game.shot[4] = game.shot[3];
  game.CatchShots(5);
  EXPECT_EQ(game.pickCount, 5);
  EXPECT_EQ(game.slotBall[1][1], -1);
  EXPECT_TRUE(game.shot[4].active) << "the second shot flies on";
}

// Numbers that scoring and danger rest on, pinned where a silent change would shift play.
TEST_F(BallMotion, PoolRimLiesTwoHundredTenFromTheCentre) {
  TForm1& game = StartPlay();
  const std::int32_t w = BallWidth(game), h = BallHeight(game);
  const std::int32_t reach = 210 - w / 2;
  Isolate(game, 0, 240 - w / 2, 240 + reach - 1 - h / 2);
  game.KeepInsidePool(0);
  EXPECT_EQ(game.ball[0].y, 240 + reach - 1 - h / 2) << "inside the rim";
  Isolate(game, 0, 240 - w / 2, 240 + reach - h / 2);
  game.KeepInsidePool(0);
  EXPECT_EQ(game.ball[0].y, 240 + reach - h / 2 - 5) << "on the rim: pushed back";
}

TEST_F(SharkContactTest, HitBoxIsTheSharkPictureInsetByFifteen) {
  TForm1& game = StartWithBallOnShark();
  game.playing = false;
  const std::int32_t bw = BallWidth(game), bh = BallHeight(game);
  const std::int32_t middleY = game.sharkY + SharkHeight(game) / 2 - bh / 2;
  const auto touches = [&](std::int32_t x, std::int32_t y) {
    Isolate(game, 0, x, y);
    game.SharkContactDestroysShark(0);
    return game.ball[0].x != x || game.ball[0].y != y;
  };
  const std::int32_t left = game.sharkX + 15, right = game.sharkX + SharkWidth(game) - 15;
  const std::int32_t top = game.sharkY + 15, middleX = game.sharkX + SharkWidth(game) / 2 - bw / 2;
  EXPECT_FALSE(touches(left - bw, middleY));
  EXPECT_TRUE(touches(left - bw + 1, middleY));
  EXPECT_FALSE(touches(right, middleY));
  EXPECT_TRUE(touches(right - 1, middleY));
  EXPECT_FALSE(touches(middleX, top - bh));
  EXPECT_TRUE(touches(middleX, top - bh + 1));
}

TEST_F(FieldTest, JudgementAndHurtExplosionLastOneSecondAndTheScoreBlinksEvery300Milliseconds) {
  TForm1& game = StartPlay();
  const DWORD now = headless::Now();
  for (const DWORD age : {1000u, 1001u}) {
    game.judgeShown = true;
    game.judgeShownAt = now - age;
    game.DrawJudgementAndBanner();
    EXPECT_EQ(game.judgeShown, age == 1000) << "judgement " << age << " ms old";
    game.explosion[0] = TGameObject{100, 100, 0, 0, 0, true, 0};
    game.explosionStart[0] = now - age;
    game.UpdateExplosions();
    EXPECT_EQ(game.explosion[0].active, age == 1000) << "explosion " << age << " ms old";
  }
  for (const DWORD age : {299u, 300u}) {
    game.recordBlink = true;
    game.recordBlinkOn = true;
    game.recordBlinkAt = now - age;
    game.DrawScoreLines();
    EXPECT_EQ(game.recordBlinkOn, age == 299) << "blink " << age << " ms after the last";
  }
}

TEST_F(FieldTest, GaugeFillsInProportionToFifty) {
  TForm1& game = StartPlay();
  TDGTexture& bar = *game.texGage;
  const auto colourAt = [&](UINT x) {
    D3DLOCKED_RECT locked;
    EXPECT_TRUE(bar.LockRect(0, nullptr, locked, D3DLOCK_READONLY));
    const auto* row = static_cast<const std::uint8_t*>(locked.pBits) + std::size_t{bar.Height() / 2} * locked.Pitch;
    const D3DCOLOR colour = DGPixelToColor(DGReadPixel(row + x * bar.BytesPerPixel(), bar.BytesPerPixel()), bar.Format());
    bar.UnlockRect();
    return colour & 0xFFFFFF;
  };
  const UINT w = bar.Width();
  for (const std::int32_t gauge : {1, 20, 37, 49}) {
    game.gauge = gauge;
    game.DrawGauge();
    const UINT filled = (w - 6) * static_cast<UINT>(gauge) / 50;
    EXPECT_EQ(colourAt(2), 0x00FF00u) << gauge << ": frame";
    EXPECT_EQ(colourAt(3 + filled - 1), 0xFF0000u) << gauge << ": last red";
    EXPECT_EQ(colourAt(3 + filled), 0x000000u) << gauge << ": first black";
  }
}

TEST_F(Losing, TheFlyingExplosionEndsTheGameOnlyOnceWhollyPastAnEdge) {
  TForm1& game = StartPlay();
  const std::int32_t w = static_cast<std::int32_t>(game.texGOBakuhatu->Width());
  const std::int32_t h = static_cast<std::int32_t>(game.texGOBakuhatu->Height());
  struct Case {
    std::int32_t x, y, dx, dy;
    bool over;
  };
  for (const Case& c : {Case{639, 100, 1, 0, false}, Case{640, 100, 1, 0, true}, Case{-w + 1, 100, -1, 0, false},
                        Case{-w, 100, -1, 0, true}, Case{100, -h + 1, 0, -1, false}, Case{100, -h, 0, -1, true},
                        Case{100, 479, 0, 1, false}, Case{100, 480, 0, 1, true}}) {
    game.gameOver = false;
    game.explosion[0] = TGameObject{c.x, c.y, c.dx, c.dy, 0, true, 1};
    game.UpdateExplosions();
    EXPECT_EQ(game.gameOver, c.over) << c.x << "," << c.y;
  }
}
