#pragma once
// Work finished on a background thread hands its result to the game's thread here, the way
// a window message would: posted from anywhere, run between the window's messages.
#include <functional>

namespace platform {

void PostToGameThread(std::function<void()> task);
// Runs what has been posted so far, on the calling (the game's) thread.
void RunPostedTasks();

}  // namespace platform
