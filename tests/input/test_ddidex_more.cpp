// Every direction key of both default maps, and what a failed read leaves behind.
#include <gtest/gtest.h>

#include "Ddidex.h"
#include "input_fixture.h"

namespace {

class DirectionKeys : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    input = std::make_unique<TDDIDEX>(*form);
    input->Loaded();
  }
  void TearDown() override {
    input.reset();
    InputTest::TearDown();
  }
  std::unique_ptr<TDDIDEX> input;
};

TEST_F(DirectionKeys, EachKeyOfBothMapsGivesItsAxes) {
  struct Case {
    BYTE key;
    LONG x, y;
  };
  const Case cases[] = {
      {DIK_UP, 0, -32767},          {DIK_DOWN, 0, 32767},         {DIK_LEFT, -32767, 0},
      {DIK_RIGHT, 32767, 0},        {DIK_NUMPAD8, 0, -32767},     {DIK_NUMPAD2, 0, 32767},
      {DIK_NUMPAD4, -32767, 0},     {DIK_NUMPAD6, 32767, 0},      {DIK_NUMPAD7, -32767, -32767},
      {DIK_NUMPAD9, 32767, -32767}, {DIK_NUMPAD1, -32767, 32767}, {DIK_NUMPAD3, 32767, 32767},
  };
  for (const Case& c : cases) {
    headless::SetKey(c.key, true);
    ASSERT_TRUE(input->Poll(0));
    EXPECT_EQ(input->State().lX, c.x) << "key " << int{c.key};
    EXPECT_EQ(input->State().lY, c.y) << "key " << int{c.key};
    for (int n = 0; n < 32; ++n) EXPECT_FALSE(input->Button(n)) << "key " << int{c.key} << " button " << n;
    headless::SetKey(c.key, false);
  }
}

TEST_F(DirectionKeys, DiagonalAgainstItsOppositeCancelsBothAxes) {
  headless::SetKey(DIK_NUMPAD7, true);
  headless::SetKey(DIK_NUMPAD3, true);
  ASSERT_TRUE(input->Poll(0));
  EXPECT_EQ(input->State().lX, 0);
  EXPECT_EQ(input->State().lY, 0);
  headless::SetKey(DIK_NUMPAD3, false);
  headless::SetKey(DIK_RIGHT, true);  // right and up-left: X cancels, up stays
  ASSERT_TRUE(input->Poll(0));
  EXPECT_EQ(input->State().lX, 0);
  EXPECT_EQ(input->State().lY, -32767);
}

TEST_F(DirectionKeys, FailedKeyboardReadLeavesTheWholeStateZeroed) {
  headless::SetKey(DIK_LEFT, true);
  headless::SetKey(DIK_X, true);
  ASSERT_TRUE(input->Poll(0));
  headless::SetWindowFocus(false);
  EXPECT_FALSE(input->Poll(0));
  const DIJOYSTATE& state = input->State();
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 0);
  for (int n = 0; n < 32; ++n) EXPECT_FALSE(input->Button(n)) << n;
  EXPECT_EQ(input->LastDevice(), 0);
}

}  // namespace
