// The real backend: one SDL window, its renderer, its events and the audio device.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "backend.h"
#include "platform/audio.h"
#include "platform/frame_stats.h"
#include "platform/places.h"
#include "platform/timer.h"
#include "sdl_keys.h"
#include "sdl_present.h"
#include "sdl_virtual_pad.h"

namespace {

struct ControllerCloser {
  void operator()(SDL_GameController* controller) const { SDL_GameControllerClose(controller); }
};
using Controller = std::unique_ptr<SDL_GameController, ControllerCloser>;

struct Display {
  SDL_Window* window = nullptr;
  std::map<SDL_JoystickID, Controller> pads;
  std::unique_ptr<VirtualPad> virtualPad;
  std::unique_ptr<WindowPresenter> presenter;
  SDL_AudioDeviceID audio = 0;
  bool videoReady = false;
  std::string videoError;
  bool fullScreen = false;  // as the game asked; the player may prefer a window
  bool playerWantsWindow = false;
  bool modeChosen = false;  // on the command line; otherwise the mode last played in
  std::optional<platform::present::Size> windowSize;  // the player's window, kept for the next start
  int modeWidth = 0, modeHeight = 0;
  int cursorCount = 0;
  bool deviceLost = false;
  std::optional<platform::FrameStats> stats;
};

Display& TheDisplay() {
  static Display display;
  return display;
}

void MixAudio(void*, Uint8* stream, int length) {
  platform::audio::Mixer::Instance().Render(reinterpret_cast<float*>(stream),
                                            length / static_cast<int>(sizeof(float) * platform::audio::kChannels));
}

// A library may end the process with exit() (Xlib does when the X server goes away) while the
// audio thread mixes: the device must stop before the mixer is destroyed. Handlers registered
// after the mixer was built run before its destructor.
void StopAudioAtExit() {
  platform::audio::Mixer::Instance();
  static const bool registered = std::atexit([] { platform::backend::CloseAudio(); }) == 0;
  if (!registered) std::fprintf(stderr, "ことぶね: cannot stop the audio device at exit\n");
}

void OpenAudio(Display& display) {
  StopAudioAtExit();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "ことぶね: no audio device (%s); the game runs silent\n", SDL_GetError());
    return;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = platform::audio::kSampleRate;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = platform::audio::kChannels;
  wanted.samples = 1024;
  wanted.callback = MixAudio;
  display.audio = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  if (display.audio == 0) {
    std::fprintf(stderr, "ことぶね: no audio device (%s); the game runs silent\n", SDL_GetError());
    return;
  }
  SDL_PauseAudioDevice(display.audio, 0);
}

// SDL quietly falls back to an invisible driver when no display is reachable; a player
// would then see nothing at all, so refuse unless that driver was asked for.
bool VideoDriverIsInvisible() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr) return true;
  const char* requested = std::getenv("SDL_VIDEODRIVER");
  const bool invisible = std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
  return invisible && (requested == nullptr || std::strcmp(requested, driver) != 0);
}

std::int64_t Nanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// The game sees the pointer on its picture, whatever the window's size.
platform::present::Point PicturePoint(int x, int y) {
  const Display& display = TheDisplay();
  return display.presenter ? display.presenter->PictureFromWindow(x, y) : platform::present::Point{x, y};
}

// The size the player's window last had, within the screen; else the picture at twice its
// size, or the largest whole multiple that fits.
platform::present::Size PlayerWindowSize(const Display& display) {
  constexpr int kPreferredScale = 2;
  const int width = display.modeWidth, height = display.modeHeight;
  SDL_Rect usable{};
  if (SDL_GetDisplayUsableBounds(std::max(SDL_GetWindowDisplayIndex(display.window), 0), &usable) != 0) {
    return display.windowSize.value_or(platform::present::Size{width, height});
  }
  if (display.windowSize) {
    return {std::min(display.windowSize->width, usable.w), std::min(display.windowSize->height, usable.h)};
  }
  const int scale = std::clamp(std::min(usable.w / width, usable.h / height), 1, kPreferredScale);
  return {scale * width, scale * height};
}

// The game's full screen becomes a window when the player asks for one; the presenter
// letterboxes the picture into whichever size the window has, and maps the pointer back.
void ApplyWindowMode(Display& display) {
  if (display.window == nullptr) return;
  const bool coverScreen = display.fullScreen && !display.playerWantsWindow;
  SDL_SetWindowFullscreen(display.window, coverScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  if (!coverScreen) {
    const platform::present::Size size =
        display.fullScreen ? PlayerWindowSize(display) : platform::present::Size{display.modeWidth, display.modeHeight};
    // A full screen that had to be a plain window left it without a frame.
    SDL_SetWindowBordered(display.window, SDL_TRUE);
    SDL_SetWindowSize(display.window, size.width, size.height);
    SDL_SetWindowPosition(display.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  display.presenter->SetPictureSize({display.modeWidth, display.modeHeight});
  display.presenter->WindowResized();
}

void RepaintAll() {
  if (TheDisplay().presenter) TheDisplay().presenter->RepaintAll();
}

// Sizes the player gives the window, by dragging or maximising, are kept.
void WindowSizeChanged(Display& display, int width, int height) {
  if (display.presenter) display.presenter->WindowResized();
  const bool playersWindow = display.fullScreen && display.playerWantsWindow &&
                             (SDL_GetWindowFlags(display.window) & SDL_WINDOW_FULLSCREEN) == 0;
  if (playersWindow) display.windowSize = platform::present::Size{width, height};
}

void KeepWindowSetting(const Display& display) {
  const auto saved = platform::present::SaveWindowSetting({display.playerWantsWindow, display.windowSize});
  if (!saved) std::fprintf(stderr, "ことぶね: the window's size and mode are not kept: %s\n", saved.Reason().c_str());
}

bool IsAltEnter(const SDL_KeyboardEvent& key) {
  return key.repeat == 0 && (key.keysym.sym == SDLK_RETURN || key.keysym.sym == SDLK_KP_ENTER) &&
         (key.keysym.mod & KMOD_ALT) != 0;
}

platform::backend::Message PadEvent(platform::backend::Message::Kind kind, SDL_JoystickID pad, int code, int value) {
  platform::backend::Message event{kind, static_cast<WORD>(code)};
  event.pad = pad;
  event.value = value;
  return event;
}

// Standard mappings only: a device SDL cannot map is no game controller and sends none of these.
std::optional<platform::backend::Message> TranslatePad(const SDL_Event& event) {
  using Kind = platform::backend::Message::Kind;
  auto& pads = TheDisplay().pads;
  switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED: {
      Controller controller(SDL_GameControllerOpen(event.cdevice.which));
      if (!controller) return std::nullopt;
      const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller.get()));
      pads[id] = std::move(controller);
      return PadEvent(Kind::PadAttached, id, 0, 0);
    }
    case SDL_CONTROLLERDEVICEREMOVED:
      pads.erase(event.cdevice.which);
      return PadEvent(Kind::PadRemoved, event.cdevice.which, 0, 0);
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      return PadEvent(Kind::PadButton, event.cbutton.which, event.cbutton.button, event.cbutton.state == SDL_PRESSED);
    case SDL_CONTROLLERAXISMOTION:
      return PadEvent(Kind::PadAxis, event.caxis.which, event.caxis.axis, event.caxis.value);
    default:
      return std::nullopt;
  }
}

std::optional<platform::backend::Message> Translate(const SDL_Event& event) {
  using platform::backend::Message;
  using Kind = Message::Kind;
  switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERAXISMOTION:
      return TranslatePad(event);
    case SDL_QUIT:
      return Message{Kind::Close};
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) return Message{Kind::Close};
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        WindowSizeChanged(TheDisplay(), event.window.data1, event.window.data2);
      }
      if (event.window.event == SDL_WINDOWEVENT_EXPOSED) RepaintAll();
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST || event.window.event == SDL_WINDOWEVENT_MINIMIZED) {
        return Message{Kind::Deactivate};
      }
      return std::nullopt;
    case SDL_KEYDOWN: {
      if (IsAltEnter(event.key)) {
        TheDisplay().playerWantsWindow = !TheDisplay().playerWantsWindow;
        ApplyWindowMode(TheDisplay());
        return std::nullopt;
      }
      const WORD key = VirtualKeyFromSdl(event.key.keysym.sym);
      if (key == 0) return std::nullopt;
      return Message{Kind::KeyDown, key, ShiftStateFromSdl(event.key.keysym.mod, SDL_GetMouseState(nullptr, nullptr))};
    }
    case SDL_MOUSEBUTTONDOWN: {
      const TMouseButton button = event.button.button == SDL_BUTTON_RIGHT    ? mbRight
                                  : event.button.button == SDL_BUTTON_MIDDLE ? mbMiddle
                                                                             : mbLeft;
      const auto at = PicturePoint(event.button.x, event.button.y);
      return Message{Kind::MouseDown, 0, ShiftStateFromSdl(SDL_GetModState(), SDL_GetMouseState(nullptr, nullptr)),
                     button, at.x, at.y};
    }
    case SDL_MOUSEMOTION: {
      const auto at = PicturePoint(event.motion.x, event.motion.y);
      return Message{Kind::MouseMove, 0, ShiftStateFromSdl(SDL_GetModState(), event.motion.state), mbLeft, at.x, at.y};
    }
    case SDL_RENDER_DEVICE_RESET:
      TheDisplay().deviceLost = true;
      RepaintAll();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<platform::backend::Message> PollTranslated() {
  if (TheDisplay().virtualPad) TheDisplay().virtualPad->Follow();
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (auto message = Translate(event)) return message;
  }
  return std::nullopt;
}

// Docks and task switchers show this icon; a game without it still plays.
void SetWindowIcon(SDL_Window* window) {
  const platform::Places& places = platform::CurrentPlaces();
  const std::string path = platform::PlacedPath(places, places.program + "data/kotobune.bmp");
  SDL_Surface* icon = SDL_LoadBMP(path.c_str());
  if (icon == nullptr) return;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

}  // namespace

namespace platform::backend {

void Initialize() {
  Display& display = TheDisplay();
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  display.videoReady = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
  const char* stats = std::getenv("KOTOBUNE_STATS");
  if (stats != nullptr && std::strcmp(stats, "1") == 0) display.stats.emplace();
  if (!display.videoReady) display.videoError = SDL_GetError();
  // Without controller support the game still plays from the keyboard and mouse.
  if (display.videoReady && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
    display.virtualPad = VirtualPad::FromEnvironment();
  }
  OpenAudio(display);
}

void CloseAudio() {
  Display& display = TheDisplay();
  if (display.audio != 0) SDL_CloseAudioDevice(display.audio);
  display.audio = 0;
}

void Shutdown() {
  CloseAudio();
  TheDisplay().virtualPad.reset();
  TheDisplay().pads.clear();
  SDL_Quit();
}

void OpenWindow(std::string_view titleUtf8, int clientWidth, int clientHeight) {
  Display& display = TheDisplay();
  if (!display.videoReady || VideoDriverIsInvisible()) {
    const std::string reason = display.videoReady ? std::string("only an invisible video driver") : display.videoError;
    throw EPlatformError("cannot open the game window: no display is reachable (" + reason +
                         "). Run ことぶね in a desktop session, with DISPLAY or WAYLAND_DISPLAY set.");
  }
  const auto planned = WindowPresenter::PlanPath();
  display.window = SDL_CreateWindow(std::string(titleUtf8).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    clientWidth, clientHeight,
                                    SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE | WindowPresenter::WindowFlags(planned));
  if (display.window == nullptr) throw EPlatformError(std::string("cannot open the game window: ") + SDL_GetError());
  SetWindowIcon(display.window);
  display.presenter = std::make_unique<WindowPresenter>(display.window, platform::present::ScaleModeSetting(),
                                                        platform::present::Size{clientWidth, clientHeight}, planned);
  const platform::present::WindowSetting saved = platform::present::SavedWindowSetting();
  if (!display.modeChosen) display.playerWantsWindow = saved.windowed.value_or(false);
  display.windowSize = saved.size;
}

void CloseWindow() {
  Display& display = TheDisplay();
  if (display.stats && display.presenter) {
    std::fprintf(stderr, "ことぶね: %s\n", display.stats->Summary(display.presenter->Description()).c_str());
  }
  display.presenter.reset();
  if (display.window != nullptr) {
    KeepWindowSetting(display);
    SDL_DestroyWindow(display.window);
  }
  display.window = nullptr;
}

void ResizeWindow(int width, int height) {
  Display& display = TheDisplay();
  if (display.window != nullptr && !display.fullScreen) SDL_SetWindowSize(display.window, width, height);
}

std::optional<Message> NextMessage(int waitMicroseconds) {
  if (auto message = PollTranslated()) return message;
  if (waitMicroseconds == 0) return std::nullopt;
  if (waitMicroseconds > 0) {
    // SDL's own wait counts whole milliseconds from now, which misses the frame clock's
    // ticks; waking at the next tick, and no sooner, keeps the pacing with fewer wake-ups.
    using namespace std::chrono;
    const auto now = steady_clock::now();
    const auto tick = floor<milliseconds>(now) + milliseconds(1);
    std::this_thread::sleep_until(std::min<steady_clock::time_point>(tick, now + microseconds(waitMicroseconds)));
    return PollTranslated();
  }
  SDL_Event event;
  while (SDL_WaitEvent(&event)) {
    if (auto message = Translate(event)) return message;
  }
  return std::nullopt;
}

std::string RendererName() {
  const Display& display = TheDisplay();
  return display.presenter ? display.presenter->RendererName() : "none";
}

SDL_Renderer* Renderer() {
  const Display& display = TheDisplay();
  return display.presenter ? display.presenter->Renderer() : nullptr;
}

void FitPictureSurface() {
  if (TheDisplay().presenter) TheDisplay().presenter->FitPictureSurface();
}

SDL_Surface* PictureSurface() {
  const Display& display = TheDisplay();
  return display.presenter ? display.presenter->PictureSurface() : nullptr;
}

void SetDisplayMode(bool fullScreen, int width, int height) {
  Display& display = TheDisplay();
  display.fullScreen = fullScreen;
  display.modeWidth = width;
  display.modeHeight = height;
  ApplyWindowMode(display);
}

void SetWindowMode(WindowMode mode) {
  Display& display = TheDisplay();
  display.playerWantsWindow = mode == WindowMode::Window;
  display.modeChosen = true;
  ApplyWindowMode(display);
}

WindowMode CurrentWindowMode() { return TheDisplay().playerWantsWindow ? WindowMode::Window : WindowMode::FullScreen; }

void SetScaleMode(platform::present::ScaleMode mode) {
  if (TheDisplay().presenter) TheDisplay().presenter->SetScaleMode(mode);
}

platform::present::ScaleMode CurrentScaleMode() {
  const Display& display = TheDisplay();
  return display.presenter ? display.presenter->Mode() : platform::present::ScaleModeSetting();
}

int DisplayWidth() {
  const Display& display = TheDisplay();
  if (display.fullScreen) return display.modeWidth;
  SDL_DisplayMode mode{};
  return SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.w : display.modeWidth;
}

int DisplayHeight() {
  const Display& display = TheDisplay();
  if (display.fullScreen) return display.modeHeight;
  SDL_DisplayMode mode{};
  return SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.h : display.modeHeight;
}

void PresentPicture(SDL_Texture* picture) {
  Display& display = TheDisplay();
  display.presenter->Present(picture);
  if (display.stats) display.stats->Frame(Nanoseconds(CLOCK_MONOTONIC), Nanoseconds(CLOCK_PROCESS_CPUTIME_ID));
}

bool DeviceLost() { return TheDisplay().deviceLost; }

int ShowCursor(bool show) {
  Display& display = TheDisplay();
  display.cursorCount += show ? 1 : -1;
  SDL_ShowCursor(display.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return display.cursorCount;
}

void Trace(std::string_view) {}
void TraceRelease(std::string_view, const void*) {}

void ShowErrorMessage(std::string_view captionUtf8, std::string_view textUtf8) {
  const std::string caption(captionUtf8), text(textUtf8);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), TheDisplay().window);
}

}  // namespace platform::backend

bool platform::audio::OutputAvailable() { return TheDisplay().audio != 0; }

// One thread reads the calendar, so localtime's shared result is safe here.
std::string platform::LocalDate() {
  const std::time_t now = std::time(nullptr);
  char date[16] = "0000-00-00";  // still a date should the calendar be unreadable
  if (const std::tm* local = std::localtime(&now)) std::strftime(date, sizeof date, "%Y-%m-%d", local);
  return date;
}

std::uint32_t platform::ClockSeed() {
  return static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^ std::random_device{}();
}
