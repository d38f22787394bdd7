#pragma once
// A game driven by keys into each of the phases a player sees, the same way every time: the
// seed and the clock are fixed, and every step goes through the window's own handlers.
#include <array>
#include <initializer_list>
#include <string_view>

#include "game_fixture.h"
#include "play_helpers.h"

enum class Phase {
  Title,
  Play,
  Pause,
  SaveQuestion,
  ResumeQuestion,
  ResumedTitle,
  StageClear,
  GameOver,
  GameClear,
  HelpPage,
  SettingsPage,
  ReviewPage
};

struct PhaseName {
  Phase phase;
  std::string_view name;
};
inline constexpr std::array<PhaseName, 12> kPhases{{{Phase::Title, "title"},
                                                   {Phase::Play, "play"},
                                                   {Phase::Pause, "pause"},
                                                   {Phase::SaveQuestion, "save_question"},
                                                   {Phase::ResumeQuestion, "resume_question"},
                                                   {Phase::ResumedTitle, "resumed_title"},
                                                   {Phase::StageClear, "stage_clear"},
                                                   {Phase::GameOver, "game_over"},
                                                   {Phase::GameClear, "game_clear"},
                                                   {Phase::HelpPage, "help_page"},
                                                   {Phase::SettingsPage, "settings_page"},
                                                   {Phase::ReviewPage, "review_page"}}};

// A game with its sound effects, driven by keys as the window delivers them.
class KeyedGameTest : public GameTest {
 protected:
  static constexpr WORD kKeyY = 'Y', kKeyN = 'N', kKeyZ = 'Z', kKeyO = 'O', kKeyR = 'R';

  void SetUp() override {
    GameTest::SetUp();
    playtest::LinkSoundEffects(folder);
  }

  // The window's way: queued now, handled by the next frame's message pumping.
  void Press(WORD key) {
    headless::PostKeyDown(key);
    RunFrames(1);
  }

  // The title as it stands at frame 100, reached in one frame: music set up, prompt drawn.
  TForm1& StartAtPrompt() {
    Start();
    form->titleTicks = 99;
    RunFrames(1);
    EXPECT_TRUE(form->startPromptShown);
    return *form;
  }

  TForm1& StartPlaying() {
    StartAtPrompt();
    Press(VK_SHIFT);
    EXPECT_TRUE(form->playing);
    return *form;
  }

  TForm1& Restart() {
    application.reset();
    return Start();
  }

  // Runs frames until the shark's final explosion has left the screen.
  void RunUntilGameOver() {
    for (int frame = 0; frame < 400 && !form->gameOver; ++frame) RunFrames(1);
    ASSERT_TRUE(form->gameOver);
  }
};

class PhaseTest : public KeyedGameTest {
 protected:
  static constexpr std::uint32_t kSeed = 12345;

  void SetUp() override {
    KeyedGameTest::SetUp();
    headless::SetClockSeed(kSeed);
  }

  // Shoots the balls carrying these positions of the round's eight characters (the first
  // idiom's four, then the second's), in this order, as the shots would.
  void PickPositions(std::initializer_list<std::int32_t> positions) {
    for (const std::int32_t position : positions) {
      for (int i = 0; i < 8; ++i) {
        if (form->ball[i].active && form->ballCharPos[i] == position) form->PickBall(i);
      }
    }
  }

  void PickFirstIdiom() { PickPositions({0, 1, 2, 3}); }

  // The last correct answer of a stage.
  void ClearStage(std::int32_t stage) {
    StartPlaying();
    form->stage = stage;
    form->correctCount = 29;
    PickFirstIdiom();
    RunFrames(1);
    EXPECT_TRUE(form->stageEnded);
  }

  void Reach(Phase phase) {
    switch (phase) {
      case Phase::Title:
        Start();
        RunFrames(100);
        break;
      case Phase::Play:
        StartPlaying();
        PickFirstIdiom();  // a judged row, its reading and the next row under way
        RunFrames(45);
        break;
      case Phase::Pause:
        Reach(Phase::Play);
        Press(VK_CONTROL);
        break;
      case Phase::SaveQuestion:
        Reach(Phase::Play);
        Press(VK_ESCAPE);
        break;
      case Phase::ResumeQuestion:
        Reach(Phase::SaveQuestion);
        Press(kKeyY);
        Restart();
        RunFrames(100);
        break;
      case Phase::ResumedTitle:
        Reach(Phase::ResumeQuestion);
        Press(kKeyY);
        break;
      case Phase::StageClear:
        ClearStage(1);
        RunFrames(10);
        break;
      case Phase::GameOver:
        StartPlaying();
        form->DestroyShark();
        RunUntilGameOver();
        RunFrames(2);
        break;
      case Phase::GameClear:
        ClearStage(2);
        for (int frame = 0; frame < 400 && !form->paradeStarted; ++frame) RunFrames(1);
        EXPECT_TRUE(form->paradeStarted);
        RunFrames(2);
        break;
      case Phase::HelpPage:
        StartAtPrompt();
        Press(VK_F1);  // taken in this frame's pumping: the page is drawn from the next
        RunFrames(1);
        break;
      case Phase::SettingsPage:
        StartAtPrompt();
        Press(kKeyO);
        RunFrames(1);
        break;
      case Phase::ReviewPage:
        Reach(Phase::GameOver);
        Press(kKeyR);
        RunFrames(1);
        break;
    }
  }
};
