#pragma once
// Frames against checked-in pictures. KOTOBUNE_UPDATE_GOLDEN=1 rewrites the pictures on
// purpose after a deliberate change; a mismatch leaves the frame and a picture of the
// differences in the working folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/headless.h"
#include "support/png.h"

namespace golden {

inline bool UpdatingGoldens() {
  const char* update = std::getenv("KOTOBUNE_UPDATE_GOLDEN");
  return update != nullptr && std::string(update) == "1";
}

inline png::Image CurrentFrame() {
  png::Image frame;
  frame.argb = headless::ReadFrame(frame.width, frame.height);
  for (auto& pixel : frame.argb) pixel |= 0xFF000000u;
  return frame;
}

// Differing pixels in red over a faded copy of the expected frame.
inline png::Image Differences(const png::Image& expected, const png::Image& actual) {
  png::Image diff{actual.width, actual.height, {}};
  for (size_t i = 0; i < actual.argb.size(); ++i) {
    if (expected.argb[i] != actual.argb[i]) {
      diff.argb.push_back(0xFFFF0000u);
      continue;
    }
    const std::uint32_t grey = ((expected.argb[i] >> 16 & 0xFF) + (expected.argb[i] >> 8 & 0xFF) + (expected.argb[i] & 0xFF)) / 12;
    diff.argb.push_back(0xFF000000u | grey << 16 | grey << 8 | grey);
  }
  return diff;
}

// Compares the presented frame with KOTOBUNE_GOLDEN_DIR/NAME.png.
inline void ExpectFrameMatches(const std::string& name) {
  const auto golden = std::filesystem::path(KOTOBUNE_GOLDEN_DIR) / (name + ".png");
  const png::Image actual = CurrentFrame();
  if (UpdatingGoldens()) {
    ASSERT_TRUE(png::Write(golden, actual));
    GTEST_SKIP() << "rewrote " << golden;
  }
  const auto expected = png::Read(golden);
  ASSERT_TRUE(expected.has_value()) << golden << " is missing or damaged; KOTOBUNE_UPDATE_GOLDEN=1 makes it";
  ASSERT_EQ(expected->width, actual.width);
  ASSERT_EQ(expected->height, actual.height);
  size_t differing = 0, first = 0;
  for (size_t i = 0; i < actual.argb.size(); ++i) {
    if (expected->argb[i] != actual.argb[i] && differing++ == 0) first = i;
  }
  if (differing == 0) return;
  const auto saved = std::filesystem::current_path() / (name + ".actual.png");
  const auto diff = std::filesystem::current_path() / (name + ".diff.png");
  png::Write(saved, actual);
  png::Write(diff, Differences(*expected, actual));
  const auto width = static_cast<size_t>(actual.width);
  ADD_FAILURE() << differing << " pixels differ, the first at (" << first % width << ", " << first / width
                << "): expected " << std::hex << expected->argb[first] << ", got " << actual.argb[first]
                << "; the frame is in " << saved << ", the differences in " << diff;
}

}  // namespace golden
