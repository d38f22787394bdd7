#pragma once
// The standard game controller's buttons and axes, numbered as every backend reports them.
namespace platform::gamepad {

enum class Button { A, B, X, Y, Back, Guide, Start, LeftStick, RightStick, LeftShoulder, RightShoulder,
                    DPadUp, DPadDown, DPadLeft, DPadRight, Count };
// Sticks -32768..32767, triggers 0..32767.
enum class Axis { LeftX, LeftY, RightX, RightY, TriggerLeft, TriggerRight, Count };

}  // namespace platform::gamepad
