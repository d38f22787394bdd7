// Sound effects read from RIFF files, then played for a moment: the reader refuses what it
// cannot hold and the mixer plays whatever it accepted.
#include <memory>

#include "ddsd.h"
#include "fuzz_input.h"
#include "platform/headless.h"

namespace {

struct Sound {
  Sound() {
    headless::SetExeName(fuzzing::Folder().Native("kotobune"));
    form = std::make_unique<TForm>(application, TFormSettings{640, 480, false, {}});
    sound = std::make_unique<TDDSD>(*form);
    sound->DebugOption = dsoDebugMessage;
    sound->ChannelCount = 1;
    sound->Loaded();
  }
  TApplication application;
  std::unique_ptr<TForm> form;
  std::unique_ptr<TDDSD> sound;
};

constexpr DWORD kPlayedMilliseconds = 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Sound sound;
  TDDSDWaveData wave(*sound.sound, fuzzing::WriteInput("effect.wav", fuzzing::AsText(data, size)), false);
  TDDSDChannel& channel = *sound.sound->Channel(0);
  channel.setWaveData(&wave);
  channel.Play();
  headless::AdvanceTime(kPlayedMilliseconds);
  channel.Stop();
  channel.setWaveData(nullptr);
  return 0;
}
