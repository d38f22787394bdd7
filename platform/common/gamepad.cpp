#include "gamepad.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace platform::gamepad {

namespace {

using backend::Message;
using Kind = Message::Kind;

// Nearer the centre a stick rests, worn ones included.
constexpr int kStickThreshold = 12000;
constexpr int kStickFull = 32767;
constexpr int kTriggerThreshold = 16000;
// Held fully out, the right stick crosses the 480-pixel field in a second.
constexpr double kPointerPixelsPerSecond = 480;
constexpr double kPictureWidth = 640, kPictureHeight = 480;
// A hundred moves a second look smooth and cost the window little.
constexpr DWORD kDriftPeriod = 10;
// After a stall the pointer goes on from where it was rather than jumping.
constexpr DWORD kLongestDriftStep = 100;

std::optional<TPadButton> FormButton(Button button) {
  switch (button) {
    case Button::A: return pbA;
    case Button::B: return pbB;
    case Button::Y: return pbY;
    case Button::Back: return pbBack;
    case Button::Start: return pbStart;
    case Button::DPadUp: return pbUp;
    case Button::DPadDown: return pbDown;
    case Button::DPadLeft: return pbLeft;
    case Button::DPadRight: return pbRight;
    default: return std::nullopt;
  }
}

// -1..1 beyond the resting zone.
double Deflection(int value) {
  if (std::abs(value) <= kStickThreshold) return 0;
  const double beyond = (std::abs(value) - kStickThreshold) / static_cast<double>(kStickFull - kStickThreshold);
  return std::copysign(std::min(beyond, 1.0), value);
}

Message PadDown(TPadButton button) {
  Message message{Kind::PadDown};
  message.key = static_cast<WORD>(button);
  return message;
}

}  // namespace

Pads& Pads::Instance() {
  static Pads pads;
  return pads;
}

std::optional<Message> Pads::Translate(const Message& event) {
  if (event.kind == Kind::PadAttached) {
    pads_.try_emplace(event.pad);
    return std::nullopt;
  }
  if (event.kind == Kind::PadRemoved) {
    // A row cannot be paused from a pad that is gone: the game pauses as on focus loss.
    if (pads_.erase(event.pad) == 0) return std::nullopt;
    return Message{Kind::Deactivate};
  }
  const auto found = pads_.find(event.pad);
  if (found == pads_.end()) return std::nullopt;
  if (event.kind == Kind::PadButton && event.key < static_cast<WORD>(Button::Count)) {
    return ButtonChanged(found->second, static_cast<Button>(event.key), event.value != 0);
  }
  if (event.kind == Kind::PadAxis && event.key < static_cast<WORD>(Axis::Count)) {
    return AxisChanged(found->second, static_cast<Axis>(event.key), event.value);
  }
  return std::nullopt;
}

std::optional<Message> Pads::ButtonChanged(Pad& pad, Button button, bool down) {
  const bool wasDown = std::exchange(pad.buttons[static_cast<std::size_t>(button)], down);
  if (!down || wasDown) return std::nullopt;
  const auto formButton = FormButton(button);
  return formButton ? std::optional(PadDown(*formButton)) : std::nullopt;
}

std::optional<Message> Pads::AxisChanged(Pad& pad, Axis axis, int value) {
  const int was = std::exchange(pad.axes[static_cast<std::size_t>(axis)], value);
  if (axis == Axis::TriggerRight && was < kTriggerThreshold && value >= kTriggerThreshold) {
    return PadDown(pbRightTrigger);
  }
  return std::nullopt;
}

void Pads::PointerMoved(int x, int y) {
  pointerX_ = x;
  pointerY_ = y;
}

std::optional<Message> Pads::Drift(DWORD now) {
  if (!lastDrift_) lastDrift_ = now;
  const DWORD elapsed = now - *lastDrift_;
  if (elapsed < kDriftPeriod) return std::nullopt;
  lastDrift_ = now;
  double dx = 0, dy = 0;
  for (const auto& [id, pad] : pads_) {
    dx += Deflection(pad.axes[static_cast<std::size_t>(Axis::RightX)]);
    dy += Deflection(pad.axes[static_cast<std::size_t>(Axis::RightY)]);
  }
  if (dx == 0 && dy == 0) return std::nullopt;
  const double step = kPointerPixelsPerSecond * std::min(elapsed, kLongestDriftStep) / 1000.0;
  const long oldX = std::lround(pointerX_), oldY = std::lround(pointerY_);
  pointerX_ = std::clamp(pointerX_ + dx * step, 0.0, kPictureWidth - 1);
  pointerY_ = std::clamp(pointerY_ + dy * step, 0.0, kPictureHeight - 1);
  const long x = std::lround(pointerX_), y = std::lround(pointerY_);
  if (x == oldX && y == oldY) return std::nullopt;
  Message move{Kind::MouseMove};
  move.x = static_cast<int>(x);
  move.y = static_cast<int>(y);
  return move;
}

bool Pads::Turning(int side) const {
  const Button dPad = side < 0 ? Button::DPadLeft : Button::DPadRight;
  return std::any_of(pads_.begin(), pads_.end(), [&](const auto& entry) {
    const Pad& pad = entry.second;
    return pad.buttons[static_cast<std::size_t>(dPad)] || Deflection(pad.axes[static_cast<std::size_t>(Axis::LeftX)]) * side > 0;
  });
}

}  // namespace platform::gamepad
