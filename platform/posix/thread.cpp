#include <sys/resource.h>
#include <unistd.h>

#include "thread_host.h"

namespace platform::host {

// On Linux a thread's id names that thread alone to setpriority.
void LowerThisThreadsPriority() { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19); }

}  // namespace platform::host
