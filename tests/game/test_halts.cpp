// A component that ends the program leaves through main: the audio device stops first, then
// the window's shutdown runs.
#include <algorithm>

#include "DGLog.h"
#include "game_fixture.h"
#include "support/halt.h"

namespace {

std::size_t PositionOf(const std::vector<std::string>& trace, std::string_view call) {
  return static_cast<std::size_t>(std::find(trace.begin(), trace.end(), call) - trace.begin());
}

}  // namespace

using HaltTest = GameTest;

TEST_F(HaltTest, AHaltInPlayClosesTheAudioDeviceThenShutsTheWindowDown) {
  Start();
  headless::StartTrace();
  application->OnIdle = [](bool&) { DGCheckResult(D3DERR_INVALIDCALL, "halt in a frame"); };
  EXPECT_HALT(application->Run(), "halt in a frame");
  application.reset();
  const std::vector<std::string> trace = headless::TakeTrace();
  const std::size_t audio = PositionOf(trace, "CloseAudio"), timer = PositionOf(trace, "timeEndPeriod(1)"),
                    window = PositionOf(trace, "CloseWindow");
  ASSERT_LT(window, trace.size()) << "the window was closed";
  EXPECT_LT(audio, timer) << "the audio device closes before the form's shutdown";
  EXPECT_LT(timer, window) << "the form's shutdown ran";
}
