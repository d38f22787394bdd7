// A game controller plays with the actions of the keys and the pointer.
#include <filesystem>
#include <functional>
#include <vector>

#include "phase_fixture.h"
#include "platform/headless_input.h"
#include "record_bytes.h"

namespace {

using platform::gamepad::Axis;
using platform::gamepad::Button;

constexpr std::int32_t kPad = 7;

class PadTest : public KeyedGameTest {
 protected:
  void Attach() { headless::PostPadAttached(kPad); }
  void Push(Button button) {
    headless::PostPadButton(kPad, button, true);
    headless::PostPadButton(kPad, button, false);
    RunFrames(1);
  }
  void Hold(Button button, bool down) {
    headless::PostPadButton(kPad, button, down);
    RunFrames(1);
  }
  void Tilt(Axis axis, int value) {
    headless::PostPadAxis(kPad, axis, value);
    RunFrames(1);
  }
  int ActiveShots() const {
    int count = 0;
    for (const TGameObject& s : form->shot) count += s.active ? 1 : 0;
    return count;
  }
};

struct ButtonCase {
  const char* what;
  bool savedGame;
  std::vector<WORD> into;  // keys that bring the game to the phase
  Button button;
  std::function<bool(const TForm1&)> happened;
};

TEST_F(PadTest, EachButtonActsAsItsKeyAndAAndBAnswerTheQuestions) {
  const ButtonCase cases[] = {
      {"Start starts", false, {}, Button::Start, [](const TForm1& g) { return g.playing; }},
      {"Back pauses", false, {VK_SHIFT}, Button::Back,
       [](const TForm1& g) { return g.paused && !g.clockRunning; }},
      {"Back resumes", false, {VK_SHIFT, VK_CONTROL}, Button::Back,
       [](const TForm1& g) { return g.playing && !g.paused; }},
      {"Y switches the music", false, {}, Button::Y, [](const TForm1& g) { return !g.musicOn; }},
      {"B asks to save", false, {VK_SHIFT}, Button::B,
       [](const TForm1& g) { return g.IsSaveQuestionOpen() && g.paused; }},
      {"B at the save question quits unsaved", false, {VK_SHIFT, VK_ESCAPE},
       Button::B, [](const TForm1& g) { return g.Application.Terminated(); }},
      {"A at the save question saves", false, {VK_SHIFT, VK_ESCAPE}, Button::A,
       [](const TForm1& g) { return g.Application.Terminated() && g.savedMarker() >= 0; }},
      {"A at the resume question resumes", true, {}, Button::A,
       [](const TForm1& g) { return g.resumeState == 1; }},
      {"B at the resume question starts afresh", true, {}, Button::B,
       [](const TForm1& g) { return g.resumeState == 2 && !g.Application.Terminated(); }},
      {"A on the title does not answer", false, {}, Button::A,
       [](const TForm1& g) { return g.titlePhase && g.resumeState == 0 && !g.playing; }},
      {"Back on the title opens the settings", false, {}, Button::Back,
       [](const TForm1& g) { return g.openPage == Page::Settings; }},
      {"the D-pad changes a setting", false, {kKeyO}, Button::DPadLeft,
       [](const TForm1& g) { return g.musicVolume == 90; }},
      {"B on the settings goes back to the resume question", true, {kKeyO}, Button::B,
       [](const TForm1& g) { return !g.IsPageOpen() && g.IsResumeQuestionOpen(); }},
  };
  for (const ButtonCase& c : cases) {
    SCOPED_TRACE(c.what);
    application.reset();
    std::filesystem::remove(folder.Native("data/record1.dat"));
    if (c.savedGame) folder.Write("data/record1.dat", RecordWith(31000, 5));
    StartAtPrompt();
    Attach();
    for (WORD key : c.into) Press(key);
    Push(c.button);
    EXPECT_TRUE(c.happened(*form));
  }
}

TEST_F(PadTest, AAndTheTriggerShootAndTheRightStickMovesTheTargetFromThePointer) {
  TForm1& game = StartPlaying();
  Attach();
  for (auto& b : game.ball) b.active = false;
  headless::PostMouseMove(200, 300);
  RunFrames(1);
  Push(Button::A);
  EXPECT_EQ(ActiveShots(), 1);
  Tilt(Axis::TriggerRight, 32767);
  EXPECT_EQ(ActiveShots(), 2);
  Tilt(Axis::TriggerRight, 30000);
  EXPECT_EQ(ActiveShots(), 2) << "a trigger still held shoots once";

  Tilt(Axis::RightX, 32767);
  RunFrames(19);  // half a second in all
  Tilt(Axis::RightX, 0);
  EXPECT_TRUE(game.targetShown);
  EXPECT_NEAR(game.targetX, 200 + 240, 15);
  EXPECT_EQ(game.targetY, 300);
  Tilt(Axis::RightY, 5000);  // resting: nothing moves
  RunFrames(10);
  EXPECT_EQ(game.targetY, 300);
  headless::PostMouseMove(123, 234);
  RunFrames(1);
  EXPECT_EQ(game.targetX, 123) << "the mouse's position is taken exactly";
  EXPECT_EQ(game.targetY, 234);
  Tilt(Axis::RightY, -32768);
  RunFrames(100);
  EXPECT_FALSE(game.targetShown);
  Tilt(Axis::RightY, 32767);
  RunFrames(9);  // a quarter of a second down from the picture's top edge
  Tilt(Axis::RightY, 0);
  EXPECT_TRUE(game.targetShown);
  EXPECT_NEAR(game.targetY, 120, 15) << "the pointer stopped at the edge";
}

TEST_F(PadTest, TheLeftStickAndTheDPadTurnTheSharkAsTheMouseButtonsDo) {
  TForm1& game = StartPlaying();
  Attach();
  const auto turnedBy = [&](const std::function<void()>& hold, const std::function<void()>& release) {
    const std::int32_t before = game.sharkAngle;
    hold();
    RunFrames(5);
    release();
    return (game.sharkAngle - before + 540) % 360 - 180;
  };
  EXPECT_EQ(turnedBy([&] { Tilt(Axis::LeftX, -32768); }, [&] { Tilt(Axis::LeftX, 0); }), -12);
  EXPECT_EQ(turnedBy([&] { Hold(Button::DPadRight, true); }, [&] { Hold(Button::DPadRight, false); }), 12);
  EXPECT_EQ(turnedBy([&] { Tilt(Axis::LeftX, 9000); }, [&] { Tilt(Axis::LeftX, 0); }), 0) << "resting";
  const auto mouse = [&](bool down) {
    headless::SetMouseButton(0, down);
    RunFrames(1);
  };
  EXPECT_EQ(turnedBy([&] { mouse(true); }, [&] { mouse(false); }), -12)
      << "the mouse still turns";
}

TEST_F(PadTest, UnpluggedDuringARowThePadPausesTheGameAndIsForgotten) {
  TForm1& game = StartAtPrompt();
  Attach();
  headless::PostPadRemoved(kPad);
  RunFrames(1);
  EXPECT_TRUE(game.titlePhase);
  EXPECT_FALSE(game.paused) << "on the title";

  Attach();
  Push(Button::Start);
  ASSERT_TRUE(game.playing);
  headless::PostPadRemoved(kPad);
  RunFrames(1);
  EXPECT_TRUE(game.paused);
  EXPECT_FALSE(game.clockRunning);
  EXPECT_EQ(game.messageText[0], Sjis(u"一時停止中・・・。"));
  Push(Button::Back);
  EXPECT_TRUE(game.paused) << "a pad that is gone does nothing";
  headless::PostPadRemoved(kPad);
  Press(VK_CONTROL);
  EXPECT_TRUE(game.playing) << "a second removal is no second pause";
}

}  // namespace
