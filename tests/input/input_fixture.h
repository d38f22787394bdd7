#pragma once
// A window on the headless machine, with every key and button up and the focus on it.
#include <gtest/gtest.h>

#include <memory>

#include "platform/app.h"
#include "platform/headless.h"
#include "platform/headless_input.h"
#include "support/temp_folder.h"

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    headless::ResetInput();
    headless::SetExeName(folder.Native("kotobune"));
    form = std::make_unique<TForm>(application, TFormSettings{640, 480, false, {}});
  }
  void TearDown() override {
    form.reset();
    headless::ResetInput();
    headless::Reset();
  }

  TempFolder folder;
  TApplication application;
  std::unique_ptr<TForm> form;
};
