#include "platform/component_log.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/app.h"
#include "platform/files.h"

namespace platform {

void ComponentLog::SetExeName(std::string_view exeName) { folder_ = ExtractFilePath(exeName); }

void ComponentLog::Write(std::string_view message) {
  if ((flags_ & kLog) == 0) return;
  const auto mode = counter_ == 0 ? std::ios::binary | std::ios::trunc : std::ios::binary | std::ios::app;
  std::ofstream file(NativePath(folder_ + fileName_), mode);
  char number[16];
  std::snprintf(number, sizeof number, "%.5d", ++counter_);
  const std::string line = "debug#" + std::string(number) + " ... " + std::string(message) + "\n";
  file << line << std::flush;
  // Losing the log must not lose the line.
  if (!file) std::fprintf(stderr, "%s: %s", fileName_, line.c_str());
}

void ComponentLog::Halt(std::string_view line) const { HaltProgram(line); }

std::string ComponentLog::WithErrorCode(std::string_view message, HRESULT result) {
  char code[32];
  std::snprintf(code, sizeof code, "(Error Code(%X))", static_cast<unsigned>(result));
  return std::string(message) + code;
}

}  // namespace platform
