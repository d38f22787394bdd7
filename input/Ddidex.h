#pragma once
// The input component: keyboard, mouse and game controllers merged into one state.
#include <cstdint>

#include "platform/app.h"

enum TDDIDEXDebugOption : std::uint8_t { dioHaltOnError = 1, dioDebugMessage = 2, dioExceptOnError = 4 };

class TDDIDEX {
 public:
  explicit TDDIDEX(TForm& owner) : owner_(owner) {}
  std::uint8_t DebugOption = 0;

 private:
  [[maybe_unused]] TForm& owner_;
};
