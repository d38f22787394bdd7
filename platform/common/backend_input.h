#pragma once
// What the input devices ask of a backend: the keyboard by key code, the mouse, the
// window's focus and the attached game controllers.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wintypes.h"

namespace platform::backend::input {

// One byte per DIK code, bit 7 = down.
using KeyboardState = std::array<BYTE, 256>;
void ReadKeyboard(KeyboardState& keys);

constexpr int kMouseButtons = 8;
struct MouseState {
  LONG dx = 0, dy = 0, dz = 0;  // motion and wheel since the previous read
  std::array<BYTE, kMouseButtons> buttons{};  // left, right, middle, then the side buttons
};
MouseState ReadMouse();

bool WindowFocused();
// Grows by one each time the window loses the focus, so a loss between two reads is seen.
unsigned FocusLosses();

constexpr std::uint32_t kPovCentred = 0xFFFFFFFF;

struct JoystickInfo {
  std::int32_t id = 0;  // stable while the controller stays attached
  std::string productName;
  bool forceFeedback = false;
  bool gamepad = false;
};
std::vector<JoystickInfo> Joysticks();

struct JoystickState {
  std::vector<LONG> axes;               // -32768..32767
  std::vector<BYTE> buttons;            // bit 7 = down
  std::vector<std::uint32_t> povs;      // hundredths of a degree, or kPovCentred
};

class Joystick {
 public:
  virtual ~Joystick() = default;
  virtual int AxisCount() const = 0;
  virtual int ButtonCount() const = 0;
  virtual int PovCount() const = 0;
  // False once the controller has been detached. The vectors keep their sizes.
  virtual bool Read(JoystickState& state) = 0;
};
// nullptr when no attached controller has that id.
std::unique_ptr<Joystick> OpenJoystick(std::int32_t id);

}  // namespace platform::backend::input
