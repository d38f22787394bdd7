#pragma once
// The sound-effect component: numbered channels playing loaded waves.
#include <cstdint>

#include "platform/app.h"

enum TDDSDDebugOption : std::uint8_t { dsoHaltOnError = 1, dsoDebugMessage = 2, dsoExceptOnError = 4 };

class TDDSD {
 public:
  explicit TDDSD(TForm& owner) : owner_(owner) {}
  std::uint8_t DebugOption = 0;
  int ChannelCount = 0;

 private:
  [[maybe_unused]] TForm& owner_;
};
