#pragma once
// What the presenter asks of the host's memory.
#include <cstddef>

namespace platform::host {

// Maps in at once the pages that first writes would fault in one by one: a window's memory is
// megabytes, and under a hypervisor each fault is dear. The contents stay as they are.
void MapForWriting(void* start, std::size_t bytes);

}  // namespace platform::host
