// The real backend's clock and executable path on a POSIX host.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "backend.h"
#include "platform/timer.h"

DWORD timeGetTime() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(milliseconds);
}

// The host's timers already have millisecond resolution.
UINT timeBeginPeriod(UINT) { return TIMERR_NOERROR; }
UINT timeEndPeriod(UINT) { return TIMERR_NOERROR; }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

std::string platform::backend::ExeNameUtf8() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  path.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return path;
}
