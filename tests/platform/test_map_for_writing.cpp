// The window's memory, mapped in ahead of its first writes: every page is there at once, and
// nothing it held is lost.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "memory_host.h"

namespace {

TEST(MapForWriting, MapsEveryPageInAndKeepsWhatTheMemoryHolds) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t bytes = 512 * page;
  void* fresh = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(fresh, MAP_FAILED);
  platform::host::MapForWriting(fresh, bytes);
  std::vector<unsigned char> resident(512);
  ASSERT_EQ(mincore(fresh, bytes, resident.data()), 0);
  EXPECT_EQ(std::count(resident.begin(), resident.end(), 0), 0) << "pages left to fault in one by one";
  const auto* words = static_cast<const std::uint32_t*>(fresh);
  EXPECT_TRUE(std::all_of(words, words + bytes / 4, [](std::uint32_t word) { return word == 0; }));
  munmap(fresh, bytes);

  // Written memory, from an offset inside a page, as a surface's pixels may start.
  std::vector<std::uint32_t> pixels(1 << 20);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint32_t>(i * 2654435761u);
  const std::vector<std::uint32_t> before = pixels;
  platform::host::MapForWriting(pixels.data() + 1001, (pixels.size() - 3000) * sizeof(std::uint32_t));
  EXPECT_EQ(pixels, before);
}

}  // namespace
