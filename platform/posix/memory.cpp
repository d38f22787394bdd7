#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "memory_host.h"

namespace platform::host {

// A kernel without the request refuses it, and the pages fault in as they are written.
void MapForWriting(void* start, std::size_t bytes) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(start) & ~(page - 1);
  const auto end = reinterpret_cast<std::uintptr_t>(start) + bytes;
  madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

}  // namespace platform::host
