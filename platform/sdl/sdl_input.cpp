// The real backend's input: SDL's keyboard state by scan code, mouse, focus and joysticks.
#include <SDL.h>

#include <array>
#include <atomic>
#include <utility>

#include "backend_input.h"
#include "platform/dinput.h"

namespace {

namespace input = platform::backend::input;

constexpr std::pair<SDL_Scancode, BYTE> kScancodeToDik[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_1, DIK_1},
    {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9},
    {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q},
    {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E},
    {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_U, DIK_U},
    {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O},
    {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A},
    {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_J, DIK_J},
    {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},  // the same key position on ISO keyboards
    {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B},
    {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1},
    {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5},
    {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7},
    {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_F13, DIK_F13},
    {SDL_SCANCODE_F14, DIK_F14},
    {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
    {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},  // ろ on Japanese keyboards
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},
    {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN},
    {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK},
    {SDL_SCANCODE_STOP, DIK_STOP},
    {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
    {SDL_SCANCODE_AUDIOMUTE, DIK_MUTE},
    {SDL_SCANCODE_MUTE, DIK_MUTE},
    {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR},
    {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
    {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP},
    {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
    {SDL_SCANCODE_AC_HOME, DIK_WEBHOME},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_SYSREQ, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
    {SDL_SCANCODE_MENU, DIK_APPS},
    {SDL_SCANCODE_POWER, DIK_POWER},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP},
    {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
    {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES},
    {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH},
    {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP},
    {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD},
    {SDL_SCANCODE_AC_BACK, DIK_WEBBACK},
    {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER},
    {SDL_SCANCODE_MAIL, DIK_MAIL},
    {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
};

// What only events tell: the wheel and focus losses. The watch runs wherever SDL pumps
// events, so the counters are atomic.
struct EventCounters {
  std::atomic<LONG> wheel{0};
  std::atomic<unsigned> focusLosses{0};
};

EventCounters& Counters() {
  static EventCounters counters;
  return counters;
}

int WatchEvents(void*, SDL_Event* event) {
  if (event->type == SDL_MOUSEWHEEL) {
    // A notch is 120 units, as the wheel axis reports it elsewhere.
    Counters().wheel += event->wheel.y * 120;
  } else if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
    ++Counters().focusLosses;
  }
  return 0;
}

void EnsureEventWatch() {
  static const bool installed = [] {
    SDL_AddEventWatch(WatchEvents, nullptr);
    return true;
  }();
  (void)installed;
}

// Joysticks are only opened when asked for; a failed start leaves the game without them.
bool EnsureJoystickSubsystem() {
  static const bool ready = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  if (ready) SDL_JoystickUpdate();
  return ready;
}

std::uint32_t PovFromHat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return input::kPovCentred;
  }
}

class SdlJoystick final : public input::Joystick {
 public:
  explicit SdlJoystick(SDL_Joystick* joystick) : joystick_(joystick) {}
  ~SdlJoystick() override { SDL_JoystickClose(joystick_); }
  SdlJoystick(const SdlJoystick&) = delete;
  SdlJoystick& operator=(const SdlJoystick&) = delete;

  int AxisCount() const override { return SDL_JoystickNumAxes(joystick_); }
  int ButtonCount() const override { return SDL_JoystickNumButtons(joystick_); }
  int PovCount() const override { return SDL_JoystickNumHats(joystick_); }
  bool Read(input::JoystickState& state) override {
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(joystick_)) return false;
    // SDL's axes already span -32768..32767.
    for (std::size_t i = 0; i < state.axes.size(); ++i) state.axes[i] = SDL_JoystickGetAxis(joystick_, static_cast<int>(i));
    for (std::size_t i = 0; i < state.buttons.size(); ++i) {
      state.buttons[i] = SDL_JoystickGetButton(joystick_, static_cast<int>(i)) != 0 ? 0x80 : 0x00;
    }
    for (std::size_t i = 0; i < state.povs.size(); ++i) state.povs[i] = PovFromHat(SDL_JoystickGetHat(joystick_, static_cast<int>(i)));
    return true;
  }

 private:
  SDL_Joystick* joystick_;
};

bool HasForceFeedback(int deviceIndex) {
  SDL_Joystick* joystick = SDL_JoystickOpen(deviceIndex);
  if (joystick == nullptr) return false;
  const bool rumble = SDL_JoystickHasRumble(joystick) == SDL_TRUE;
  SDL_JoystickClose(joystick);
  return rumble;
}

}  // namespace

namespace platform::backend::input {

void ReadKeyboard(KeyboardState& keys) {
  keys.fill(0);
  int count = 0;
  const Uint8* pressed = SDL_GetKeyboardState(&count);
  for (const auto& [scancode, dik] : kScancodeToDik) {
    if (scancode < count && pressed[scancode] != 0) keys[dik] = 0x80;
  }
}

MouseState ReadMouse() {
  EnsureEventWatch();
  MouseState mouse;
  const Uint32 buttons = SDL_GetRelativeMouseState(&mouse.dx, &mouse.dy);
  constexpr int kSdlOrder[] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1, SDL_BUTTON_X2};
  for (std::size_t i = 0; i < std::size(kSdlOrder); ++i) {
    mouse.buttons[i] = (buttons & SDL_BUTTON(kSdlOrder[i])) != 0 ? 0x80 : 0x00;
  }
  mouse.dz = Counters().wheel.exchange(0);
  return mouse;
}

bool WindowFocused() {
  EnsureEventWatch();
  return SDL_GetKeyboardFocus() != nullptr;
}

unsigned FocusLosses() {
  EnsureEventWatch();
  return Counters().focusLosses.load();
}

std::vector<JoystickInfo> Joysticks() {
  std::vector<JoystickInfo> attached;
  if (!EnsureJoystickSubsystem()) return attached;
  for (int index = 0; index < SDL_NumJoysticks(); ++index) {
    const char* name = SDL_JoystickNameForIndex(index);
    const SDL_JoystickType type = SDL_JoystickGetDeviceType(index);
    attached.push_back({SDL_JoystickGetDeviceInstanceID(index), name != nullptr ? name : "", HasForceFeedback(index),
                        type == SDL_JOYSTICK_TYPE_GAMECONTROLLER});
  }
  return attached;
}

std::unique_ptr<Joystick> OpenJoystick(std::int32_t id) {
  if (!EnsureJoystickSubsystem()) return nullptr;
  for (int index = 0; index < SDL_NumJoysticks(); ++index) {
    if (SDL_JoystickGetDeviceInstanceID(index) != id) continue;
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    return joystick != nullptr ? std::make_unique<SdlJoystick>(joystick) : nullptr;
  }
  return nullptr;
}

}  // namespace platform::backend::input
