#include "platform/frame_stats.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

double Milliseconds(std::int64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1e6; }

// The value below which the given share of the sorted periods lie (nearest rank).
std::int64_t Percentile(const std::vector<std::int64_t>& sorted, int percent) {
  const size_t rank = (sorted.size() * static_cast<size_t>(percent) + 99) / 100;
  return sorted[std::max<size_t>(rank, 1) - 1];
}

}  // namespace

void FrameStats::Frame(std::int64_t wallNanoseconds, std::int64_t cpuNanoseconds) {
  if (frames_ == 0) {
    firstCpu_ = cpuNanoseconds;
  } else {
    periods_.push_back(wallNanoseconds - lastWall_);
  }
  lastWall_ = wallNanoseconds;
  lastCpu_ = cpuNanoseconds;
  ++frames_;
}

std::string FrameStats::Summary(const std::string& presentPath) const {
  std::vector<std::int64_t> sorted = periods_;
  std::sort(sorted.begin(), sorted.end());
  const bool timed = !sorted.empty();
  // CPU between the first and the last frame, shared out over the periods between them.
  const double cpuPerFrame = timed ? Milliseconds(lastCpu_ - firstCpu_) / static_cast<double>(sorted.size()) : 0.0;
  char line[256];
  std::snprintf(line, sizeof line,
                "frames %lld, period median %.1f ms, p99 %.1f ms, max %.1f ms, CPU %.2f ms per frame, first frame after "
                "%.0f ms CPU, present %s",
                static_cast<long long>(frames_), timed ? Milliseconds(Percentile(sorted, 50)) : 0.0,
                timed ? Milliseconds(Percentile(sorted, 99)) : 0.0, timed ? Milliseconds(sorted.back()) : 0.0, cpuPerFrame,
                Milliseconds(firstCpu_), presentPath.c_str());
  return line;
}

}  // namespace platform
