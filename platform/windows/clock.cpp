// The real backend's clock and executable path on Windows: winmm's timer, as the game was
// written for.
#include "backend.h"
#include "platform/timer.h"
#include "win32.h"

DWORD timeGetTime() { return platform::win32::TimeGetTime(); }
UINT timeBeginPeriod(UINT period) { return platform::win32::TimeBeginPeriod(period); }
UINT timeEndPeriod(UINT period) { return platform::win32::TimeEndPeriod(period); }
void Sleep(DWORD milliseconds) { platform::win32::Sleep(milliseconds); }

std::string platform::backend::ExeNameUtf8() {
  return win32::FromWide(win32::kCodePageUtf8, win32::ModuleFileName(), false).value_or(std::string());
}
