// The MIDI sequencer's open: a damaged file leaves the device closed or opens it, never reads
// past its end.
#include "fuzz_input.h"
#include "platform/mediaplayer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMediaPlayer player;
  player.FileName = fuzzing::WriteInput("track.mid", fuzzing::AsText(data, size));
  player.Open();
  player.Close();
  return 0;
}
