// The MIDI sequencer device: a software synthesiser whose player is timed by the samples it
// renders, so the sequence advances exactly as fast as the mixer pulls audio.
#include <dlfcn.h>
#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/files.h"
#include "sequencer.h"

namespace {

using platform::audio::kChannels;
using platform::audio::Mixer;

// The synthesiser's library, with the dozen libraries it brings, is loaded when the first
// MIDI file is opened: the game's own music is MP3, and loading them cost every start.
#define KOTOBUNE_SYNTH_FUNCTIONS(F)                                                                              \
  F(new_fluid_settings) F(delete_fluid_settings) F(fluid_settings_setnum) F(fluid_settings_setstr)              \
  F(fluid_settings_setint) F(new_fluid_synth) F(delete_fluid_synth) F(fluid_synth_sfload)                       \
  F(fluid_synth_all_sounds_off) F(fluid_synth_write_float) F(new_fluid_player) F(delete_fluid_player)           \
  F(fluid_player_add_mem) F(fluid_player_play) F(fluid_player_stop) F(fluid_player_get_status)                  \
  F(fluid_set_log_function)

struct SynthLibrary {
#define KOTOBUNE_DECLARE(name) decltype(&::name) name = nullptr;
  KOTOBUNE_SYNTH_FUNCTIONS(KOTOBUNE_DECLARE)
#undef KOTOBUNE_DECLARE
};

// Loaded once and kept: the library registers types that cannot be unloaded. Null when the
// library or one of its functions is missing; the sequencer then cannot be opened.
const SynthLibrary* Synth() {
  static const std::optional<SynthLibrary> library = []() -> std::optional<SynthLibrary> {
    void* handle = dlopen(KOTOBUNE_FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return std::nullopt;
    SynthLibrary functions;
    bool found = true;
#define KOTOBUNE_BIND(name) \
  found = found && (functions.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name))) != nullptr;
    KOTOBUNE_SYNTH_FUNCTIONS(KOTOBUNE_BIND)
#undef KOTOBUNE_BIND
    if (!found) {
      dlclose(handle);
      return std::nullopt;
    }
    return functions;
  }();
  return library ? &*library : nullptr;
}

struct SettingsDeleter {
  void operator()(fluid_settings_t* settings) const { Synth()->delete_fluid_settings(settings); }
};
struct SynthDeleter {
  void operator()(fluid_synth_t* synth) const { Synth()->delete_fluid_synth(synth); }
};
struct PlayerDeleter {
  void operator()(fluid_player_t* player) const { Synth()->delete_fluid_player(player); }
};
using SettingsPtr = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
using SynthPtr = std::unique_ptr<fluid_synth_t, SynthDeleter>;
using PlayerPtr = std::unique_ptr<fluid_player_t, PlayerDeleter>;

const std::filesystem::path kSoundFontFolder = "/usr/share/sounds/sf2";

std::optional<std::string> FindSoundFont() {
  std::error_code error;
  for (const char* name : {"TimGM6mb.sf2", "default-GM.sf2"}) {
    const auto path = kSoundFontFolder / name;
    if (std::filesystem::is_regular_file(path, error)) return path.string();
  }
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(kSoundFontFolder, error)) {
    if (entry.path().extension() == ".sf2") found.push_back(entry.path().string());
  }
  if (found.empty()) return std::nullopt;
  return *std::min_element(found.begin(), found.end());  // the same choice on every run
}

// The synthesiser's messages would land on the game's terminal.
void SilenceSynthLog() {
  for (int level = 0; level < LAST_LOG_LEVEL; ++level) {
    Synth()->fluid_set_log_function(level, nullptr, nullptr);
  }
}

std::uint32_t BigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) value = value << 8 | bytes[at + i];
  return value;
}

// A file the sequencer would refuse: no header, or tracks that run past the end. Checking
// here lets Open fail as it should instead of a later Play silently doing nothing.
bool HasMidiStructure(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0) return false;
  const std::uint32_t headerLength = BigEndian(bytes, 4, 4);
  const std::uint32_t tracks = BigEndian(bytes, 10, 2);
  if (headerLength < 6 || tracks == 0 || BigEndian(bytes, 12, 2) == 0) return false;
  std::uint64_t at = 8 + std::uint64_t{headerLength};
  for (std::uint32_t found = 0; found < tracks;) {
    if (at + 8 > bytes.size()) return false;
    const std::uint64_t end = at + 8 + BigEndian(bytes, at + 4, 4);
    if (end > bytes.size()) return false;
    if (std::memcmp(bytes.data() + at, "MTrk", 4) == 0) ++found;
    at = end;
  }
  return true;
}

class SynthSequencer final : public TMediaPlayer::Sequencer, public platform::audio::Source {
 public:
  static std::unique_ptr<SynthSequencer> Open(const std::string& path);
  ~SynthSequencer() override { Mixer::Instance().Remove(this); }
  SynthSequencer(const SynthSequencer&) = delete;
  SynthSequencer& operator=(const SynthSequencer&) = delete;

  void Play() override;
  void Stop() override;
  void Rewind() override;
  TMPModes Mode() const override;
  void MixInto(float* mix, int frames) override;
  platform::audio::Bus Output() const override { return platform::audio::Bus::Music; }

 private:
  explicit SynthSequencer(std::vector<std::uint8_t> file) : file_(std::move(file)) {}
  bool CreateSynth();
  bool LoadSequence();

  std::vector<std::uint8_t> file_;
  SettingsPtr settings_;
  SynthPtr synth_;
  PlayerPtr player_;
  std::vector<float> scratch_;
  bool playing_ = false;
};

std::unique_ptr<SynthSequencer> SynthSequencer::Open(const std::string& path) {
  platform::FileContents file = platform::ReadNativeFile(path, platform::kMediaFileLimit);
  if (!file || !HasMidiStructure(*file) || Synth() == nullptr) return nullptr;
  std::unique_ptr<SynthSequencer> sequencer(new SynthSequencer(std::move(*file)));
  if (!sequencer->CreateSynth() || !sequencer->LoadSequence()) return nullptr;
  Mixer::Instance().Add(sequencer.get());
  return sequencer;
}

bool SynthSequencer::CreateSynth() {
  SilenceSynthLog();
  settings_.reset(Synth()->new_fluid_settings());
  if (!settings_) return false;
  Synth()->fluid_settings_setnum(settings_.get(), "synth.sample-rate", platform::audio::kSampleRate);
  Synth()->fluid_settings_setstr(settings_.get(), "player.timing-source", "sample");
  Synth()->fluid_settings_setint(settings_.get(), "synth.lock-memory", 0);
  // The default gain leaves General MIDI songs far quieter than the MP3 music.
  Synth()->fluid_settings_setnum(settings_.get(), "synth.gain", 0.6);
  synth_.reset(Synth()->new_fluid_synth(settings_.get()));
  if (!synth_) return false;
  // Without a soundfont the sequence still runs, silently, and still reports its end.
  if (const auto soundFont = FindSoundFont()) {
    Synth()->fluid_synth_sfload(synth_.get(), soundFont->c_str(), 1);
  }
  return true;
}

// A fresh player is the simplest exact "position 0": it forgets tempo changes and timing.
bool SynthSequencer::LoadSequence() {
  player_.reset();
  player_.reset(Synth()->new_fluid_player(synth_.get()));
  return player_ && Synth()->fluid_player_add_mem(player_.get(), file_.data(), file_.size()) == FLUID_OK;
}

void SynthSequencer::Play() {
  auto lock = Mixer::Instance().Lock();
  if (player_ && Synth()->fluid_player_play(player_.get()) == FLUID_OK) playing_ = true;
}

void SynthSequencer::Stop() {
  auto lock = Mixer::Instance().Lock();
  playing_ = false;
  if (player_) Synth()->fluid_player_stop(player_.get());
  Synth()->fluid_synth_all_sounds_off(synth_.get(), -1);
}

void SynthSequencer::Rewind() {
  auto lock = Mixer::Instance().Lock();
  Stop();
  LoadSequence();
}

TMPModes SynthSequencer::Mode() const {
  auto lock = Mixer::Instance().Lock();
  const bool playing = playing_ && player_ && Synth()->fluid_player_get_status(player_.get()) == FLUID_PLAYER_PLAYING;
  return playing ? mpPlaying : mpStopped;
}

void SynthSequencer::MixInto(float* mix, int frames) {
  scratch_.resize(static_cast<std::size_t>(frames) * kChannels);
  float* out = scratch_.data();
  if (Synth()->fluid_synth_write_float(synth_.get(), frames, out, 0, 2, out, 1, 2) != FLUID_OK) return;
  for (std::size_t i = 0; i < scratch_.size(); ++i) mix[i] += scratch_[i];
}

}  // namespace

std::unique_ptr<TMediaPlayer::Sequencer> TMediaPlayer::Sequencer::Open(const std::string& nativePath) {
  return SynthSequencer::Open(nativePath);
}
