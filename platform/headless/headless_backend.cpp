// The test backend: nothing waits for real time, nothing reaches a screen or a speaker.
#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <stdexcept>
#include <utility>

#include "backend.h"
#include "gamepad.h"
#include "platform/audio.h"
#include "platform/headless.h"
#include "platform/headless_graphics.h"
#include "platform/headless_input.h"
#include "platform/present.h"
#include "platform/timer.h"

namespace {

struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
struct RendererDeleter {
  void operator()(SDL_Renderer* renderer) const { SDL_DestroyRenderer(renderer); }
};

struct TimedMessage {
  DWORD at;
  platform::backend::Message message;
};

struct Machine {
  std::int64_t nowMicroseconds = 0;
  std::int64_t audioFramesRendered = 0;
  std::vector<DWORD> sleeps;
  std::uint32_t seed = 12345;
  std::string localDate = "2026-01-02";
  DWORD presentCost = 0;
  std::vector<DWORD> presentTimes;
  bool deviceLost = false;
  std::deque<TimedMessage> messages;
  headless::WindowState window;
  // The player's display settings, read from settei.ini as the real window reads them.
  platform::WindowMode windowMode = platform::WindowMode::FullScreen;
  bool windowModeChosen = false;
  platform::present::ScaleMode scaleMode = platform::present::ScaleMode::Sharp;
  int desktopWidth = 1920, desktopHeight = 1080;
  int cursorCount = 0;
  int timerPeriodDepth = 0;
  std::string exeName = "/tmp/kotobune-headless/kotobune";
  bool audioOutput = true;
  std::vector<float> mixBuffer;
  bool capturing = false;
  std::vector<float> captured;
  bool tracing = false;
  std::vector<std::string> trace;
  std::function<void(std::string_view)> traceObserver;
  std::vector<std::string> messageBoxes;
  std::unique_ptr<SDL_Surface, SurfaceDeleter> screen;
  std::unique_ptr<SDL_Renderer, RendererDeleter> renderer;
};

std::unique_ptr<Machine>& MachineSlot() {
  static std::unique_ptr<Machine> machine = std::make_unique<Machine>();
  return machine;
}

Machine& TheMachine() { return *MachineSlot(); }

void RenderAudioUntilNow(Machine& machine) {
  using platform::audio::kChannels;
  using platform::audio::kSampleRate;
  const std::int64_t due = machine.nowMicroseconds * kSampleRate / 1000000;
  constexpr int kChunk = 1024;
  std::vector<float>& buffer = machine.mixBuffer;
  buffer.resize(kChunk * kChannels);
  while (machine.audioFramesRendered < due) {
    const int frames = static_cast<int>(std::min<std::int64_t>(kChunk, due - machine.audioFramesRendered));
    platform::audio::Mixer::Instance().Render(buffer.data(), frames);
    if (machine.capturing) machine.captured.insert(machine.captured.end(), buffer.begin(), buffer.begin() + frames * kChannels);
    machine.audioFramesRendered += frames;
  }
}

void Advance(Machine& machine, std::int64_t microseconds) {
  machine.nowMicroseconds += std::max<std::int64_t>(microseconds, 0);
  if (machine.audioOutput) {
    RenderAudioUntilNow(machine);
  } else {
    machine.audioFramesRendered = machine.nowMicroseconds * platform::audio::kSampleRate / 1000000;
  }
}

std::int64_t MessageDueMicroseconds(const TimedMessage& timed) { return std::int64_t{timed.at} * 1000; }

void Post(platform::backend::Message message, std::optional<DWORD> at) {
  Machine& machine = TheMachine();
  const TimedMessage timed{at.value_or(headless::Now()), message};
  const auto later = std::upper_bound(machine.messages.begin(), machine.messages.end(), timed,
                                      [](const TimedMessage& a, const TimedMessage& b) { return a.at < b.at; });
  machine.messages.insert(later, timed);
}

void EnsureScreen(Machine& machine) {
  if (machine.renderer) return;
  machine.screen.reset(SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_ARGB8888));
  machine.renderer.reset(SDL_CreateSoftwareRenderer(machine.screen.get()));
  if (!machine.renderer) throw std::runtime_error(std::string("headless renderer: ") + SDL_GetError());
}

void Record(std::string_view call) {
  Machine& machine = TheMachine();
  if (!machine.tracing) return;
  machine.trace.emplace_back(call);
  if (machine.traceObserver) machine.traceObserver(call);
}

}  // namespace

namespace headless {

void Reset() {
  MachineSlot() = std::make_unique<Machine>();
  platform::gamepad::Pads::Instance() = {};
  ResetGraphics();
  ResetInput();
}

DWORD Now() { return static_cast<DWORD>(TheMachine().nowMicroseconds / 1000); }

void SetTime(DWORD milliseconds) {
  Machine& machine = TheMachine();
  machine.nowMicroseconds = std::int64_t{milliseconds} * 1000;
  machine.audioFramesRendered = machine.nowMicroseconds * platform::audio::kSampleRate / 1000000;
}

void AdvanceTime(DWORD milliseconds) { Advance(TheMachine(), std::int64_t{milliseconds} * 1000); }
void AdvanceMicroseconds(std::int64_t microseconds) { Advance(TheMachine(), microseconds); }
const std::vector<DWORD>& Sleeps() { return TheMachine().sleeps; }
void SetClockSeed(std::uint32_t seed) { TheMachine().seed = seed; }
void SetLocalDate(std::string date) { TheMachine().localDate = std::move(date); }
void SetPresentCost(DWORD milliseconds) { TheMachine().presentCost = milliseconds; }
int FramesPresented() { return static_cast<int>(TheMachine().presentTimes.size()); }
const std::vector<DWORD>& PresentTimes() { return TheMachine().presentTimes; }
void SimulateDeviceLost(bool lost) { TheMachine().deviceLost = lost; }

std::vector<std::uint32_t> ReadFrame(int& width, int& height) {
  Machine& machine = TheMachine();
  EnsureScreen(machine);
  SDL_RenderFlush(machine.renderer.get());
  SDL_Surface* screen = machine.screen.get();
  width = screen->w;
  height = screen->h;
  std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(screen->pixels) + y * screen->pitch);
    std::copy(row, row + width, pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }
  return pixels;
}

void PostKeyDown(WORD key, TShiftState shift, std::optional<DWORD> at) {
  Post({platform::backend::Message::Kind::KeyDown, key, shift}, at);
}
void PostMouseDown(TMouseButton button, int x, int y, std::optional<DWORD> at) {
  Post({platform::backend::Message::Kind::MouseDown, 0, 0, button, x, y}, at);
}
void PostMouseMove(int x, int y, std::optional<DWORD> at) {
  Post({platform::backend::Message::Kind::MouseMove, 0, 0, mbLeft, x, y}, at);
}
void PostClose(std::optional<DWORD> at) { Post({platform::backend::Message::Kind::Close}, at); }
void PostDeactivate(std::optional<DWORD> at) { Post({platform::backend::Message::Kind::Deactivate}, at); }

namespace {

void PostPadEvent(platform::backend::Message::Kind kind, std::int32_t pad, WORD code, int value,
                  std::optional<DWORD> at) {
  platform::backend::Message event{kind, code};
  event.pad = pad;
  event.value = value;
  Post(event, at);
}

}  // namespace

void PostPadAttached(std::int32_t pad, std::optional<DWORD> at) {
  PostPadEvent(platform::backend::Message::Kind::PadAttached, pad, 0, 0, at);
}
void PostPadRemoved(std::int32_t pad, std::optional<DWORD> at) {
  PostPadEvent(platform::backend::Message::Kind::PadRemoved, pad, 0, 0, at);
}
void PostPadButton(std::int32_t pad, platform::gamepad::Button button, bool down, std::optional<DWORD> at) {
  PostPadEvent(platform::backend::Message::Kind::PadButton, pad, static_cast<WORD>(button), down ? 1 : 0, at);
}
void PostPadAxis(std::int32_t pad, platform::gamepad::Axis axis, int value, std::optional<DWORD> at) {
  PostPadEvent(platform::backend::Message::Kind::PadAxis, pad, static_cast<WORD>(axis), value, at);
}

WindowState Window() { return TheMachine().window; }
int CursorCount() { return TheMachine().cursorCount; }
int TimerPeriodDepth() { return TheMachine().timerPeriodDepth; }
void SetExeName(const std::string& utf8Path) { TheMachine().exeName = utf8Path; }
void SetDesktopSize(int width, int height) {
  TheMachine().desktopWidth = width;
  TheMachine().desktopHeight = height;
}
void SetAudioOutput(bool available) { TheMachine().audioOutput = available; }
void StartAudioCapture() {
  TheMachine().capturing = true;
  TheMachine().captured.clear();
}
std::vector<float> TakeAudioCapture() { return std::exchange(TheMachine().captured, {}); }
void StartTrace() {
  TheMachine().tracing = true;
  TheMachine().trace.clear();
}
std::vector<std::string> TakeTrace() { return std::exchange(TheMachine().trace, {}); }
void ObserveTrace(std::function<void(std::string_view)> observer) { TheMachine().traceObserver = std::move(observer); }
std::string ReleaseOf(std::string_view kind, const void* object) {
  std::array<char, 32> address{};
  std::snprintf(address.data(), address.size(), " %p", object);
  return std::string(kind) + address.data();
}
std::vector<std::string> TakeMessageBoxes() { return std::exchange(TheMachine().messageBoxes, {}); }

}  // namespace headless

namespace platform::backend {

void Initialize() {}
void CloseAudio() { Record("CloseAudio"); }
void Shutdown() {}
std::string ExeNameUtf8() { return TheMachine().exeName; }

void OpenWindow(std::string_view titleUtf8, int clientWidth, int clientHeight) {
  Machine& machine = TheMachine();
  EnsureScreen(machine);
  machine.window = {true, false, clientWidth, clientHeight, std::string(titleUtf8)};
  machine.scaleMode = platform::present::ScaleModeSetting();
  if (!machine.windowModeChosen && platform::present::SavedWindowSetting().windowed.value_or(false)) {
    machine.windowMode = platform::WindowMode::Window;
  }
  Record("OpenWindow");
}

void CloseWindow() {
  TheMachine().window.open = false;
  Record("CloseWindow");
}

void ResizeWindow(int width, int height) {
  Machine& machine = TheMachine();
  if (machine.window.fullScreen) return;
  machine.window.width = width;
  machine.window.height = height;
}

std::optional<Message> NextMessage(int waitMicroseconds) {
  Machine& machine = TheMachine();
  if (waitMicroseconds < 0 && machine.messages.empty()) {
    throw std::logic_error("headless: the program waits for a message that no test will post");
  }
  if (!machine.messages.empty()) {
    const std::int64_t due = MessageDueMicroseconds(machine.messages.front());
    const std::int64_t wait = due - machine.nowMicroseconds;
    if (wait > 0 && (waitMicroseconds < 0 || wait <= waitMicroseconds)) Advance(machine, wait);
  }
  if (machine.messages.empty() || MessageDueMicroseconds(machine.messages.front()) > machine.nowMicroseconds) {
    Advance(machine, std::max(waitMicroseconds, 0));
    return std::nullopt;
  }
  const Message message = machine.messages.front().message;
  machine.messages.pop_front();
  return message;
}

std::string RendererName() { return "software"; }

SDL_Renderer* Renderer() {
  EnsureScreen(TheMachine());
  return TheMachine().renderer.get();
}

void SetDisplayMode(bool fullScreen, int width, int height) {
  Machine& machine = TheMachine();
  machine.window.fullScreen = fullScreen;
  machine.window.width = width;
  machine.window.height = height;
  SDL_RenderSetLogicalSize(Renderer(), width, height);
  Record(fullScreen ? "FullScreen" : "Windowed");
}

// The game's own display requests stay full screen; the player's preference is only kept.
void SetWindowMode(WindowMode mode) {
  TheMachine().windowMode = mode;
  TheMachine().windowModeChosen = true;
}
WindowMode CurrentWindowMode() { return TheMachine().windowMode; }
void SetScaleMode(platform::present::ScaleMode mode) { TheMachine().scaleMode = mode; }
platform::present::ScaleMode CurrentScaleMode() { return TheMachine().scaleMode; }

int DisplayWidth() {
  const Machine& machine = TheMachine();
  return machine.window.fullScreen ? machine.window.width : machine.desktopWidth;
}

int DisplayHeight() {
  const Machine& machine = TheMachine();
  return machine.window.fullScreen ? machine.window.height : machine.desktopHeight;
}

// The screen keeps the picture's own 640 x 480, which the golden frames are made of.
void FitPictureSurface() {}

// The screen is the picture for a device of its size, as on the real CPU path.
SDL_Surface* PictureSurface() {
  EnsureScreen(TheMachine());
  return TheMachine().screen.get();
}

void PresentPicture(SDL_Texture* picture) {
  Machine& machine = TheMachine();
  SDL_Renderer* renderer = Renderer();
  if (picture != nullptr) {
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, picture, nullptr, nullptr);
  }
  SDL_RenderPresent(renderer);
  machine.presentTimes.push_back(headless::Now());
  headless::AdvanceTime(machine.presentCost);
}

bool DeviceLost() { return TheMachine().deviceLost; }

int ShowCursor(bool show) {
  Record(show ? "ShowCursor(TRUE)" : "ShowCursor(FALSE)");
  return TheMachine().cursorCount += show ? 1 : -1;
}

void Trace(std::string_view call) { Record(call); }
void TraceRelease(std::string_view kind, const void* object) { Record(headless::ReleaseOf(kind, object)); }

void ShowErrorMessage(std::string_view captionUtf8, std::string_view textUtf8) {
  Record("MessageBox");
  TheMachine().messageBoxes.push_back(std::string(captionUtf8) + ": " + std::string(textUtf8));
}

}  // namespace platform::backend

bool platform::audio::OutputAvailable() { return TheMachine().audioOutput; }

DWORD timeGetTime() { return headless::Now(); }

UINT timeBeginPeriod(UINT period) {
  ++TheMachine().timerPeriodDepth;
  Record("timeBeginPeriod(" + std::to_string(period) + ")");
  return TIMERR_NOERROR;
}

UINT timeEndPeriod(UINT period) {
  --TheMachine().timerPeriodDepth;
  Record("timeEndPeriod(" + std::to_string(period) + ")");
  return TIMERR_NOERROR;
}

void Sleep(DWORD milliseconds) {
  TheMachine().sleeps.push_back(milliseconds);
  headless::AdvanceTime(milliseconds);
}

std::uint32_t platform::ClockSeed() { return TheMachine().seed; }
std::string platform::LocalDate() { return TheMachine().localDate; }
