#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/halt.h"
#include "Ddidex.h"
#include "input_fixture.h"

namespace {

class DdidexTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    input = std::make_unique<TDDIDEX>(*form);
  }
  void TearDown() override {
    input.reset();
    InputTest::TearDown();
  }
  TDDIDEX& Loaded() {
    input->Loaded();
    return *input;
  }
  std::int32_t AttachPad(const char* name, bool forceFeedback = false, int axes = 2) {
    return headless::AttachJoystick({name, forceFeedback, axes, 8, 1});
  }

  std::unique_ptr<TDDIDEX> input;
};

TEST_F(DdidexTest, DefaultMapsTurnKeysIntoButtons) {
  struct Case {
    BYTE key;
    int button;
  };
  const Case cases[] = {{DIK_Z, 0}, {DIK_SPACE, 0}, {DIK_X, 1}, {DIK_ESCAPE, 1}, {DIK_C, 2},
                        {DIK_D, 5}, {DIK_1, 6},     {DIK_0, 15}};
  TDDIDEX& component = Loaded();
  for (const Case& c : cases) {
    headless::SetKey(c.key, true);
    ASSERT_TRUE(component.Poll(0));
    for (int n = 0; n < 32; ++n) EXPECT_EQ(component.Button(n), n == c.button) << "key " << int{c.key} << " button " << n;
    headless::SetKey(c.key, false);
  }
  EXPECT_FALSE(component.Button(-1));
  EXPECT_FALSE(component.Button(32));
}

TEST_F(DdidexTest, DirectionKeysGiveFullAxesAndOppositesCancel) {
  TDDIDEX& component = Loaded();
  headless::SetKey(DIK_UP, true);
  headless::SetKey(DIK_DOWN, true);
  ASSERT_TRUE(component.Poll(0));
  EXPECT_EQ(component.State().lY, 0);
  EXPECT_EQ(component.State().lX, 0);

  headless::SetKey(DIK_UP, false);
  headless::SetKey(DIK_DOWN, false);
  headless::SetKey(DIK_NUMPAD7, true);
  ASSERT_TRUE(component.Poll(0));
  EXPECT_EQ(component.State().lX, -32767);
  EXPECT_EQ(component.State().lY, -32767);

  headless::SetKey(DIK_NUMPAD7, false);
  headless::SetKey(DIK_RIGHT, true);
  ASSERT_TRUE(component.Poll(0));
  EXPECT_EQ(component.State().lX, 32767);
  EXPECT_EQ(component.State().lY, 0);
}

TEST_F(DdidexTest, PollReplacesTheStateAndMergeAddsToIt) {
  TDDIDEX& component = Loaded();
  headless::SetKey(DIK_Z, true);
  headless::SetKey(DIK_LEFT, true);
  headless::SetMouseButton(1, true);
  headless::MoveMouse(5, 0);

  ASSERT_TRUE(component.Poll(0));
  EXPECT_TRUE(component.Button(0));
  ASSERT_TRUE(component.Poll(1));
  EXPECT_FALSE(component.Button(0));
  EXPECT_TRUE(component.Button(1));
  EXPECT_EQ(component.State().lX, 5);
  EXPECT_EQ(component.LastDevice(), 1);

  ASSERT_TRUE(component.ReadDevice(true, 0));
  EXPECT_TRUE(component.Button(0));
  EXPECT_TRUE(component.Button(1));
  EXPECT_EQ(component.State().lX, 5 | -32767);  // axes merge bitwise, as documented
}

TEST_F(DdidexTest, MissingControllerReadsFalseAndLeavesTheStateZeroed) {
  AttachPad("Pad A");
  AttachPad("Pad B");
  TDDIDEX& component = Loaded();
  ASSERT_EQ(component.ControllerCount(), 2);
  headless::SetKey(DIK_Z, true);
  ASSERT_TRUE(component.Poll(0));

  EXPECT_FALSE(component.Poll(5));
  EXPECT_FALSE(component.Button(0));
  EXPECT_EQ(component.State().lX, 0);
  EXPECT_FALSE(component.Poll(-1));
  EXPECT_FALSE(component.Poll(2 + 16));
  EXPECT_TRUE(component.Poll(3));
}

TEST_F(DdidexTest, ReadsFailWhileUnfocusedAndRecoverWhenFocusReturns) {
  TDDIDEX& component = Loaded();
  headless::SetKey(DIK_Z, true);
  headless::SetMouseButton(0, true);
  ASSERT_TRUE(component.Poll(0));

  headless::SetWindowFocus(false);
  EXPECT_FALSE(component.Poll(0));  // read, re-acquire, read again: both fail
  EXPECT_FALSE(component.Button(0));
  EXPECT_FALSE(component.Poll(1));

  headless::SetWindowFocus(true);
  EXPECT_TRUE(component.Poll(0));  // the keyboard re-acquires and reads at once
  EXPECT_TRUE(component.Button(0));
  EXPECT_FALSE(component.Poll(1));  // the mouse re-acquires and reads next time
  EXPECT_TRUE(component.Poll(1));
  EXPECT_TRUE(component.Button(0));
}

TEST_F(DdidexTest, FocusLostAndRegainedBetweenReadsStillCostsOneRead) {
  TDDIDEX& component = Loaded();
  ASSERT_TRUE(component.Poll(1));
  headless::SetWindowFocus(false);
  headless::SetWindowFocus(true);
  EXPECT_FALSE(component.Poll(1));
  EXPECT_TRUE(component.Poll(1));
}

TEST_F(DdidexTest, BackgroundLevelReadsWithoutFocus) {
  input->BackGround = true;
  TDDIDEX& component = Loaded();
  headless::SetWindowFocus(false);
  headless::SetMouseButton(2, true);
  EXPECT_TRUE(component.Poll(1));
  EXPECT_TRUE(component.Button(2));
}

TEST_F(DdidexTest, DeadZoneMapsTheWorkedValues) {
  const std::int32_t pad = AttachPad("Pad", false, 8);
  TDDIDEX& component = Loaded();
  const LONG raw[8] = {9830, 32767, -32768, -9830, 9831, 0, -9831, 20000};
  for (int axis = 0; axis < 8; ++axis) headless::SetJoystickAxis(pad, axis, raw[axis]);
  ASSERT_TRUE(component.Poll(2));
  const DIJOYSTATE& state = component.State();
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 32767);
  EXPECT_EQ(state.lZ, -32768);
  EXPECT_EQ(state.lRx, 0);
  EXPECT_EQ(state.lRy, 1);  // (9831 - 9830) * 100 / 70
  EXPECT_EQ(state.lRz, 0);
  EXPECT_EQ(state.rglSlider[0], -1);
  EXPECT_EQ(state.rglSlider[1], (20000 - 9830) * 100 / 70);

  component.DeadZone = 0;
  ASSERT_TRUE(component.Poll(2));
  EXPECT_EQ(component.State().lX, 9830);
  component.DeadZone = 100;
  ASSERT_TRUE(component.Poll(2));
  EXPECT_EQ(component.State().lY, 0);
  component.DeadZone = -2000000000;  // nonsense, but must not overflow
  ASSERT_TRUE(component.Poll(2));
}

TEST_F(DdidexTest, ControllerButtonsAndPovMergeIntoTheKeyboardState) {
  const std::int32_t pad = AttachPad("Pad");
  TDDIDEX& component = Loaded();
  headless::SetJoystickButton(pad, 3, true);
  headless::SetJoystickPov(pad, 0, 9000);
  headless::SetKey(DIK_Z, true);
  ASSERT_TRUE(component.Poll(0));
  ASSERT_TRUE(component.ReadDevice(true, 2));
  EXPECT_TRUE(component.Button(0));
  EXPECT_TRUE(component.Button(3));
  EXPECT_EQ(component.State().rgdwPOV[0], 9000u);

  ASSERT_TRUE(component.Poll(2));
  EXPECT_FALSE(component.Button(0));
  EXPECT_EQ(component.State().rgdwPOV[1], 0xFFFFFFFFu);  // no such hat: centred

  headless::DetachJoystick(pad);
  EXPECT_FALSE(component.Poll(2));
}

TEST_F(DdidexTest, ForceFeedbackTwinsAreCreatedOnceAndSlotsStopAtSixteen) {
  AttachPad("Rumble", true);
  AttachPad("Plain");
  AttachPad("Rumble", false);  // the same product, seen again by the second pass
  TDDIDEX& component = Loaded();
  EXPECT_EQ(component.ControllerNames(), (std::vector<std::string>{"Rumble", "Plain"}));

  for (int i = 0; i < 20; ++i) AttachPad(("Pad " + std::to_string(i)).c_str());
  component.Initialize();
  EXPECT_EQ(component.ControllerCount(), 16);
  EXPECT_EQ(component.ControllerNames().size(), 16u);
  EXPECT_TRUE(component.Poll(2 + 15));
  EXPECT_FALSE(component.Poll(2 + 16));
}

TEST_F(DdidexTest, InitializeRestoresTheDefaultMaps) {
  TDDIDEX& component = Loaded();
  component.KeyMap1[0] = DIK_Q;
  component.KeyMap2[0] = 999;  // outside the key buffer: never pressed
  headless::SetKey(DIK_Q, true);
  ASSERT_TRUE(component.Poll(0));
  EXPECT_TRUE(component.Button(0));
  component.Initialize();
  ASSERT_TRUE(component.Poll(0));
  EXPECT_FALSE(component.Button(0));
}

TEST_F(DdidexTest, WithoutAutoInitializeThereAreNoDevices) {
  input->AutoInitialize = false;
  TDDIDEX& component = Loaded();
  EXPECT_FALSE(component.Poll(0));
  EXPECT_FALSE(component.Poll(1));
}

// ---- reporting ----

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(DdidexTest, FailureWithHaltEndsTheProgramWithItsLineOnStandardError) {
  input->DebugOption = dioHaltOnError;
  EXPECT_HALT(DDIDCheckResult(DIERR_INVALIDPARAM, "DirectInputの作成に失敗しました"), "DirectInputの作成に失敗しました\\(Error Code\\(80070057\\)\\)");
}

TEST_F(DdidexTest, ExceptOnErrorRaisesInsteadOfHalting) {
  input->DebugOption = dioHaltOnError | dioExceptOnError;
  try {
    DDIDCheckResult(DI_NOEFFECT, "step");  // success codes other than 0 are reported too
    FAIL() << "no exception";
  } catch (const EDDID& error) {
    EXPECT_STREQ(error.what(), "step(Error Code(1))");
  }
  input->DebugOption = 0;
  EXPECT_EQ(DDIDCheckResult(DI_OK, "quiet"), DI_OK);
  EXPECT_EQ(DDIDCheckResult(DIERR_INPUTLOST, "quiet"), DIERR_INPUTLOST);
}

TEST_F(DdidexTest, FirstLogLineOfARunTruncatesTheLog) {
  // A fresh process, so the unit's counter starts at 0. It runs this test again from the
  // start, so the log goes to a folder both processes can name.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto logFolder = std::filesystem::temp_directory_path() / ("kotobune-ddid-" + std::to_string(getuid()));
  std::filesystem::create_directories(logFolder);
  headless::SetExeName((logFolder / "kotobune").string());
  std::ofstream(logFolder / "ddid.debug") << "old contents\n";
  input = std::make_unique<TDDIDEX>(*form);
  input->DebugOption = dioDebugMessage;
  EXPECT_EXIT(
      {
        DDIDLog("first");
        DDIDCheckResult(DIERR_NOTACQUIRED, "second");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadAll((logFolder / "ddid.debug").string()),
            "debug#00001 ... first\ndebug#00002 ... second(Error Code(8007000C))\n");
  std::filesystem::remove_all(logFolder);
}

}  // namespace
