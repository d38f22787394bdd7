// The MP3 player's open: the length it reports comes from the file's headers or from counting
// its frames, and a damaged file is refused or opened, never read past its end.
#include <array>

#include "fuzz_input.h"
#include "platform/vbmp3.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = vbmp3_init();
  if (!ready) __builtin_trap();
  std::array<std::uint8_t, kVbmp3InfoSize> info{};
  if (vbmp3_open(fuzzing::WriteInput("track.mp3", fuzzing::AsText(data, size)).c_str(), info.data())) vbmp3_close();
  return 0;
}
