#pragma once
// A whole game on the headless machine: a fresh virtual clock and a program folder of its own.
#include <gtest/gtest.h>

#include <memory>

#include "Unit1.h"
#include "platform/headless.h"
#include "support/temp_folder.h"

class GameTest : public ::testing::Test {
 protected:
  static constexpr DWORD kStartTime = 100000;

  void SetUp() override {
    headless::Reset();
    headless::SetTime(kStartTime);
    headless::SetExeName(folder.Native("kotobune"));
    std::filesystem::create_directory(folder.Native("data"));
    const std::filesystem::path archive = folder.Native("data/data.qda");
    if (!std::filesystem::is_symlink(archive)) {
      std::filesystem::create_symlink(std::filesystem::path(KOTOBUNE_DATA_DIR) / "data.qda", archive);
    }
  }
  void TearDown() override {
    application.reset();
    headless::Reset();
  }

  TForm1& Start() {
    application = std::make_unique<TApplication>();
    application->Initialize();
    application->Title = Sjis(u"ことぶね");
    form = &application->CreateForm<TForm1>();
    return *form;
  }

  // One idle pass as the application makes it.
  bool Idle() {
    bool done = true;
    form->ApplicationEvents1Idle(done);
    return done;
  }

  // Idle passes until `frames` more frames have been presented.
  void RunFrames(int frames) {
    const int target = headless::FramesPresented() + frames;
    while (headless::FramesPresented() < target) {
      Idle();
      headless::AdvanceMicroseconds(500);
    }
  }

  TempFolder folder;
  std::unique_ptr<TApplication> application;
  TForm1* form = nullptr;
};
