#include "sdl_virtual_pad.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/pad_layout.h"

std::unique_ptr<VirtualPad> VirtualPad::FromEnvironment() {
  const char* script = std::getenv("KOTOBUNE_VIRTUAL_PAD");
  if (script == nullptr || *script == '\0') return nullptr;
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                              static_cast<int>(platform::gamepad::Axis::Count),
                                              static_cast<int>(platform::gamepad::Button::Count), 0);
  SDL_Joystick* joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
  if (joystick == nullptr) return nullptr;
  return std::unique_ptr<VirtualPad>(new VirtualPad(script, joystick));
}

VirtualPad::~VirtualPad() { Unplug(); }

void VirtualPad::Follow() {
  if (joystick_ == nullptr) return;
  std::ifstream file(script_, std::ios::binary);
  if (!file || !file.seekg(static_cast<std::streamoff>(read_))) return;
  std::ostringstream added;
  added << file.rdbuf();
  const std::string text = added.str();
  read_ += text.size();
  partial_ += text;
  for (std::size_t end; (end = partial_.find('\n')) != std::string::npos; partial_.erase(0, end + 1)) {
    Apply(partial_.substr(0, end));
  }
}

void VirtualPad::Apply(const std::string& line) {
  std::istringstream words(line);
  std::string what;
  int number = 0, value = 0;
  words >> what >> number >> value;
  if (what == "button") SDL_JoystickSetVirtualButton(joystick_, number, static_cast<Uint8>(value != 0));
  if (what == "axis") SDL_JoystickSetVirtualAxis(joystick_, number, static_cast<Sint16>(value));
  if (what == "unplug") Unplug();
}

void VirtualPad::Unplug() {
  if (joystick_ == nullptr) return;
  const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
  SDL_JoystickClose(joystick_);
  for (int index = 0; index < SDL_NumJoysticks(); ++index) {
    if (SDL_JoystickGetDeviceInstanceID(index) == id) SDL_JoystickDetachVirtual(index);
  }
  joystick_ = nullptr;
}
