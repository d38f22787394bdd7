#include "memory_host.h"

namespace platform::host {

// Windows has no request that maps pages in for writing; they fault in as they are written.
void MapForWriting(void*, std::size_t) {}

}  // namespace platform::host
