// Background work steps back for the game's thread, and only the thread that asks does.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

#include "thread_host.h"

namespace {

int PriorityOf(pid_t thread) { return getpriority(PRIO_PROCESS, static_cast<id_t>(thread)); }

TEST(ThreadPriority, OnlyTheCallingThreadIsLowered) {
  const int before = PriorityOf(gettid());
  int lowered = before;
  std::thread worker([&lowered] {
    platform::host::LowerThisThreadsPriority();
    lowered = PriorityOf(gettid());
  });
  worker.join();
  EXPECT_EQ(lowered, 19);
  EXPECT_EQ(PriorityOf(gettid()), before) << "the game's thread was lowered too";
}

}  // namespace
