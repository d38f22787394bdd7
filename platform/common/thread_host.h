#pragma once
// What background threads ask of the host.

namespace platform::host {

// The calling thread only gets the time the game's thread leaves, on a busy machine too.
void LowerThisThreadsPriority();

}  // namespace platform::host
