#pragma once
// The whole game on the headless machine, made once per process with the built pictures, and
// put back to the state it had at the title prompt before each input.
#include <filesystem>
#include <memory>

#include "Unit1.h"
#include "fuzz_input.h"
#include "platform/headless.h"

namespace fuzzing {

class HeadlessGame {
 public:
  HeadlessGame() {
    headless::SetTime(kStartTime);
    headless::SetExeName(Folder().Native("kotobune"));
    std::filesystem::create_directory(Folder().Native("data"));
    std::filesystem::create_symlink(std::filesystem::path(KOTOBUNE_DATA_DIR) / "data.qda",
                                    Folder().Native("data/data.qda"));
    application_ = std::make_unique<TApplication>();
    application_->Initialize();
    form_ = &application_->CreateForm<TForm1>();
    form_->titleTicks = kTicksToThePrompt;
    RunFrames(2);
    titlePrompt_ = *form_;
  }

  TForm1& Fresh() {
    static_cast<GameState&>(*form_) = titlePrompt_;
    return *form_;
  }

  void RunFrames(int frames) {
    const int target = headless::FramesPresented() + frames;
    while (headless::FramesPresented() < target) {
      bool done = true;
      form_->ApplicationEvents1Idle(done);
      headless::AdvanceMicroseconds(kIdleStepMicroseconds);
    }
  }

  void Press(WORD key) {
    headless::PostKeyDown(key);
    RunFrames(1);
  }

 private:
  static constexpr DWORD kStartTime = 100000;
  static constexpr std::int32_t kTicksToThePrompt = 99;
  static constexpr std::int64_t kIdleStepMicroseconds = 500;

  std::unique_ptr<TApplication> application_;
  TForm1* form_ = nullptr;
  GameState titlePrompt_;
};

}  // namespace fuzzing
