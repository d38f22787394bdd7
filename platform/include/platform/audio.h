#pragma once
// One mixer for every sound of the program: sound-effect voices, the MP3 stream and the
// MIDI stream are independent sources. The audio device (or, in tests, the offline
// renderer) pulls it from its own thread, so sources change state under Lock().
#include <array>
#include <mutex>
#include <vector>

namespace platform::audio {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
// The loudest sample the mixer gives out; a louder sum is turned down, never clipped.
constexpr float kLimiterCeiling = 0.98f;

// Each source is heard through one of the player's two volume settings.
enum class Bus { Effects, Music };

class Source {
 public:
  virtual ~Source() = default;
  // Adds `frames` interleaved stereo frames into `mix`; called with the mixer locked.
  virtual void MixInto(float* mix, int frames) = 0;
  virtual Bus Output() const { return Bus::Effects; }
};

class Mixer {
 public:
  static Mixer& Instance();

  void Add(Source* source);
  void Remove(Source* source);
  // Clears `out` and mixes every source into it, held below kLimiterCeiling by a limiter.
  void Render(float* out, int frames);
  std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(mutex_); }
  // 0 silences the bus, 1 (the default) leaves it exactly as its sources make it.
  void SetVolume(Bus bus, float volume);

 private:
  void MixScaled(Source& source, float volume, float* out, int frames);
  void Limit(float* out, int frames);

  std::recursive_mutex mutex_;
  std::vector<Source*> sources_;
  std::array<float, 2> volumes_{1.0f, 1.0f};
  std::vector<float> scratch_;
  float gain_ = 1.0f;
};

// True when an audio device is open (the backend decides); without one the game is silent.
bool OutputAvailable();

}  // namespace platform::audio
