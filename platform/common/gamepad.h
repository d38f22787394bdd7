#pragma once
// Game controllers, whichever backend reports them: their buttons become the form's pad
// buttons, the left stick and the D-pad turn as the mouse's left and right buttons do, and
// the right stick moves the pointer the game sees.
#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include "backend.h"
#include "platform/pad_layout.h"

namespace platform::gamepad {

class Pads {
 public:
  static Pads& Instance();

  // A pad event (attached, removed, button, axis) as the window should see it, if at all.
  std::optional<backend::Message> Translate(const backend::Message& event);
  // Where the player's pointer is, in picture coordinates, so the stick moves on from there.
  void PointerMoved(int x, int y);
  // The pointer moved by the right stick since the last call, at most one move per call.
  std::optional<backend::Message> Drift(DWORD now);
  bool TurningLeft() const { return Turning(-1); }
  bool TurningRight() const { return Turning(1); }

 private:
  struct Pad {
    std::array<bool, static_cast<std::size_t>(Button::Count)> buttons{};
    std::array<int, static_cast<std::size_t>(Axis::Count)> axes{};
  };
  std::optional<backend::Message> ButtonChanged(Pad& pad, Button button, bool down);
  std::optional<backend::Message> AxisChanged(Pad& pad, Axis axis, int value);
  bool Turning(int side) const;

  std::map<std::int32_t, Pad> pads_;
  double pointerX_ = 240, pointerY_ = 240;
  std::optional<DWORD> lastDrift_;
};

}  // namespace platform::gamepad
