#pragma once
// Millisecond clock as a 32-bit count that wraps after 49.7 days.
#include <cstdint>
#include <string>

#include "platform/wintypes.h"

DWORD timeGetTime();
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
void Sleep(DWORD milliseconds);
constexpr UINT TIMERR_NOERROR = 0;

namespace platform {
// A seed that differs from run to run (the headless backend makes it fixed).
std::uint32_t ClockSeed();
// Today's date on the player's calendar, YYYY-MM-DD (the headless backend makes it fixed).
std::string LocalDate();
}  // namespace platform
