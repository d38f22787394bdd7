#pragma once
// Frame timing a player can report: KOTOBUNE_STATS=1 prints one line of it at exit.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class FrameStats {
 public:
  // Both clocks in nanoseconds: the wall clock and the CPU time of the whole process.
  void Frame(std::int64_t wallNanoseconds, std::int64_t cpuNanoseconds);
  // "frames N, period median … ms, p99 … ms, max … ms, CPU … ms per frame, first frame after … ms CPU,
  // present PATH"
  std::string Summary(const std::string& presentPath) const;

 private:
  std::vector<std::int64_t> periods_;
  std::int64_t lastWall_ = 0, firstCpu_ = 0, lastCpu_ = 0;
  std::int64_t frames_ = 0;
};

}  // namespace platform
