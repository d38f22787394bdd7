#pragma once
// A game controller that exists only inside the program, for testing the pad without a
// device: KOTOBUNE_VIRTUAL_PAD names a file whose appended lines it follows,
// "button N 0|1", "axis N VALUE" (the standard layout's numbers) or "unplug".
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

class VirtualPad {
 public:
  // nullptr unless the variable is set and SDL could attach the controller.
  static std::unique_ptr<VirtualPad> FromEnvironment();
  ~VirtualPad();
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  // Applies the lines added to the file since the last call.
  void Follow();

 private:
  VirtualPad(std::string script, SDL_Joystick* joystick) : script_(std::move(script)), joystick_(joystick) {}
  void Apply(const std::string& line);
  void Unplug();

  std::string script_;
  SDL_Joystick* joystick_;
  std::uintmax_t read_ = 0;
  std::string partial_;
};
