#include "platform/tasks.h"

#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

struct Posted {
  std::mutex mutex;
  std::vector<std::function<void()>> tasks;
};

Posted& ThePosted() {
  static Posted posted;
  return posted;
}

}  // namespace

void PostToGameThread(std::function<void()> task) {
  Posted& posted = ThePosted();
  const std::lock_guard lock(posted.mutex);
  posted.tasks.push_back(std::move(task));
}

void RunPostedTasks() {
  Posted& posted = ThePosted();
  std::vector<std::function<void()>> due;
  {
    const std::lock_guard lock(posted.mutex);
    due.swap(posted.tasks);
  }
  for (auto& task : due) task();
}

}  // namespace platform
