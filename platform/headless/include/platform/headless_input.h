#pragma once
// Input controls of the test backend: the keyboard by DIK code, the mouse, the window's
// focus and fake game controllers. ResetInput() releases everything and gives back focus.
#include <cstdint>
#include <string>

#include "platform/wintypes.h"

namespace headless {

void ResetInput();

void SetKey(BYTE dikCode, bool down);
// 0 left, 1 right, 2 middle, 3..7 side buttons.
void SetMouseButton(int button, bool down);
void MoveMouse(LONG dx, LONG dy, LONG wheel = 0);
void SetWindowFocus(bool focused);

struct FakeJoystick {
  std::string productName = "Fake Pad";
  bool forceFeedback = false;
  int axes = 2, buttons = 4, povs = 1;
};
// Returns the controller's id; attached controllers enumerate in attachment order.
std::int32_t AttachJoystick(const FakeJoystick& joystick);
void DetachJoystick(std::int32_t id);
void SetJoystickAxis(std::int32_t id, int axis, LONG value);  // -32768..32767
void SetJoystickButton(std::int32_t id, int button, bool down);
void SetJoystickPov(std::int32_t id, int pov, DWORD hundredthsOfDegree);  // 0xFFFFFFFF centred

}  // namespace headless
