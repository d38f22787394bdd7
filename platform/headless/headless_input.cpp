// The test backend's input: state that tests set directly.
#include <algorithm>
#include <map>

#include "backend_input.h"
#include "platform/headless_input.h"

namespace {

namespace input = platform::backend::input;

struct FakeController {
  headless::FakeJoystick shape;
  input::JoystickState state;
};

struct InputMachine {
  input::KeyboardState keys{};
  input::MouseState mouse;
  bool focused = true;
  unsigned focusLosses = 0;
  std::int32_t nextJoystickId = 1;
  std::map<std::int32_t, FakeController> joysticks;  // ordered by id, so by attachment
};

InputMachine& Machine() {
  static InputMachine machine;
  return machine;
}

FakeController* FindController(std::int32_t id) {
  auto found = Machine().joysticks.find(id);
  return found == Machine().joysticks.end() ? nullptr : &found->second;
}

template <class Value>
void SetIfInRange(std::vector<Value>& values, int index, Value value) {
  if (index >= 0 && index < static_cast<int>(values.size())) values[static_cast<std::size_t>(index)] = value;
}

class HeadlessJoystick final : public input::Joystick {
 public:
  HeadlessJoystick(std::int32_t id, const headless::FakeJoystick& shape) : id_(id), shape_(shape) {}
  int AxisCount() const override { return shape_.axes; }
  int ButtonCount() const override { return shape_.buttons; }
  int PovCount() const override { return shape_.povs; }
  bool Read(input::JoystickState& state) override {
    const FakeController* controller = FindController(id_);
    if (controller == nullptr) return false;
    state = controller->state;
    return true;
  }

 private:
  std::int32_t id_;
  headless::FakeJoystick shape_;
};

}  // namespace

namespace headless {

void ResetInput() { Machine() = InputMachine{}; }

void SetKey(BYTE dikCode, bool down) { Machine().keys[dikCode] = down ? 0x80 : 0x00; }

void SetMouseButton(int button, bool down) {
  if (button >= 0 && button < input::kMouseButtons) Machine().mouse.buttons[static_cast<std::size_t>(button)] = down ? 0x80 : 0x00;
}

void MoveMouse(LONG dx, LONG dy, LONG wheel) {
  input::MouseState& mouse = Machine().mouse;
  mouse.dx += dx;
  mouse.dy += dy;
  mouse.dz += wheel;
}

void SetWindowFocus(bool focused) {
  InputMachine& machine = Machine();
  if (machine.focused && !focused) ++machine.focusLosses;
  machine.focused = focused;
}

std::int32_t AttachJoystick(const FakeJoystick& joystick) {
  InputMachine& machine = Machine();
  const std::int32_t id = machine.nextJoystickId++;
  FakeController controller{joystick, {}};
  controller.state.axes.assign(static_cast<std::size_t>(std::max(joystick.axes, 0)), 0);
  controller.state.buttons.assign(static_cast<std::size_t>(std::max(joystick.buttons, 0)), 0);
  controller.state.povs.assign(static_cast<std::size_t>(std::max(joystick.povs, 0)), input::kPovCentred);
  machine.joysticks.emplace(id, std::move(controller));
  return id;
}

void DetachJoystick(std::int32_t id) { Machine().joysticks.erase(id); }

void SetJoystickAxis(std::int32_t id, int axis, LONG value) {
  if (FakeController* controller = FindController(id)) SetIfInRange(controller->state.axes, axis, value);
}

void SetJoystickButton(std::int32_t id, int button, bool down) {
  if (FakeController* controller = FindController(id)) {
    SetIfInRange(controller->state.buttons, button, static_cast<BYTE>(down ? 0x80 : 0x00));
  }
}

void SetJoystickPov(std::int32_t id, int pov, DWORD hundredthsOfDegree) {
  if (FakeController* controller = FindController(id)) SetIfInRange(controller->state.povs, pov, hundredthsOfDegree);
}

}  // namespace headless

namespace platform::backend::input {

void ReadKeyboard(KeyboardState& keys) { keys = Machine().keys; }

MouseState ReadMouse() {
  MouseState& mouse = Machine().mouse;
  MouseState read = mouse;
  mouse.dx = mouse.dy = mouse.dz = 0;
  return read;
}

bool WindowFocused() { return Machine().focused; }
unsigned FocusLosses() { return Machine().focusLosses; }

std::vector<JoystickInfo> Joysticks() {
  std::vector<JoystickInfo> attached;
  for (const auto& [id, controller] : Machine().joysticks) {
    attached.push_back({id, controller.shape.productName, controller.shape.forceFeedback, true});
  }
  return attached;
}

std::unique_ptr<Joystick> OpenJoystick(std::int32_t id) {
  const FakeController* controller = FindController(id);
  if (controller == nullptr) return nullptr;
  return std::make_unique<HeadlessJoystick>(id, controller->shape);
}

}  // namespace platform::backend::input
