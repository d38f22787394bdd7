#pragma once
// The error reporting the input and sound components share: unit-wide flags written by the
// last DebugOption, a message counter, and a log file beside the executable that the first
// message of a run starts afresh.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/wintypes.h"

namespace platform {

class ComponentLog {
 public:
  static constexpr std::uint8_t kHalt = 1, kLog = 2, kRaise = 4;

  explicit ComponentLog(const char* fileName) : fileName_(fileName) {}

  void SetFlags(std::uint8_t flags) { flags_ = flags; }
  bool Halts() const { return (flags_ & kHalt) != 0; }
  bool Raises() const { return (flags_ & kRaise) != 0; }
  // The program's full name (Shift-JIS); the log goes into its folder.
  void SetExeName(std::string_view exeName);

  // Appends "debug#00001 ... message" when logging is on.
  void Write(std::string_view message);
  // Ends the program (HaltProgram) after putting the line on standard error.
  void Halt(std::string_view line) const;

  // message + "(Error Code(%X))".
  static std::string WithErrorCode(std::string_view message, HRESULT result);

 private:
  const char* fileName_;
  std::string folder_;  // Shift-JIS, with its trailing separator
  std::uint8_t flags_ = 0;
  int counter_ = 0;
};

}  // namespace platform
