#pragma once
// Controls of the test backend: a virtual clock, scripted window messages, a memory
// display and offline audio. Reset() gives every test a fresh machine.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/app.h"
#include "platform/pad_layout.h"

namespace headless {

void Reset();

// The virtual clock, in milliseconds. Sleep and message waits advance it; audio is
// rendered offline for the time that passes.
DWORD Now();
void SetTime(DWORD milliseconds);
void AdvanceTime(DWORD milliseconds);
void AdvanceMicroseconds(std::int64_t microseconds);
const std::vector<DWORD>& Sleeps();
void SetClockSeed(std::uint32_t seed);
void SetLocalDate(std::string date);  // YYYY-MM-DD

// Every Present costs this much virtual time (a slow frame).
void SetPresentCost(DWORD milliseconds);
int FramesPresented();
const std::vector<DWORD>& PresentTimes();  // the clock at each Present
// The last presented picture, ARGB, row by row.
std::vector<std::uint32_t> ReadFrame(int& width, int& height);
void SimulateDeviceLost(bool lost);

// Messages are delivered once the clock reaches their time (now when omitted).
void PostKeyDown(WORD key, TShiftState shift = 0, std::optional<DWORD> at = std::nullopt);
void PostMouseDown(TMouseButton button, int x, int y, std::optional<DWORD> at = std::nullopt);
void PostMouseMove(int x, int y, std::optional<DWORD> at = std::nullopt);
void PostClose(std::optional<DWORD> at = std::nullopt);
// The window loses the focus (another window was chosen, or it was minimised).
void PostDeactivate(std::optional<DWORD> at = std::nullopt);

// Game controllers, as a real backend reports them: attached, removed, a button, an axis.
void PostPadAttached(std::int32_t pad, std::optional<DWORD> at = std::nullopt);
void PostPadRemoved(std::int32_t pad, std::optional<DWORD> at = std::nullopt);
void PostPadButton(std::int32_t pad, platform::gamepad::Button button, bool down,
                   std::optional<DWORD> at = std::nullopt);
void PostPadAxis(std::int32_t pad, platform::gamepad::Axis axis, int value, std::optional<DWORD> at = std::nullopt);

struct WindowState {
  bool open = false;
  bool fullScreen = false;
  int width = 0, height = 0;
  std::string title;
};
WindowState Window();
int CursorCount();
int TimerPeriodDepth();  // timeBeginPeriod calls not yet ended

void SetExeName(const std::string& utf8Path);
void SetDesktopSize(int width, int height);

void SetAudioOutput(bool available);
void StartAudioCapture();
std::vector<float> TakeAudioCapture();  // interleaved stereo at the mixer's rate

// Platform calls in order (window, cursor, timer period, music players) for order tests.
void StartTrace();
std::vector<std::string> TakeTrace();
// Called with each call as it is traced, to look at the program's state at that moment.
void ObserveTrace(std::function<void(std::string_view)> observer);
// How the release of a texture ("ReleaseTexture"), a sound buffer ("ReleaseSoundBuffer") or
// a device context ("DeleteDC") at this address appears in the trace.
std::string ReleaseOf(std::string_view kind, const void* object);
// The message boxes shown, "caption: text" in UTF-8; each returned at once.
std::vector<std::string> TakeMessageBoxes();

}  // namespace headless
