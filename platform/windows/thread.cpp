#include <windows.h>

#include "thread_host.h"

namespace platform::host {

void LowerThisThreadsPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

}  // namespace platform::host
