#include <algorithm>
#include <cmath>

#include "platform/audio.h"

namespace platform::audio {

namespace {

// After a loud passage the gain climbs back to 1 over a quarter of a second: quick enough
// that the music does not seem to duck, slow enough not to pump with every wave.
constexpr float kReleasePerFrame = 1.0f / (0.25f * kSampleRate);

}  // namespace

Mixer& Mixer::Instance() {
  static Mixer mixer;
  return mixer;
}

void Mixer::Add(Source* source) {
  auto lock = Lock();
  // A source heard twice would play at double volume.
  if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) {
    sources_.push_back(source);
  }
}

void Mixer::Remove(Source* source) {
  auto lock = Lock();
  std::erase(sources_, source);
}

void Mixer::Render(float* out, int frames) {
  if (frames <= 0) return;
  const auto samples = static_cast<std::size_t>(frames) * kChannels;
  std::fill_n(out, samples, 0.0f);
  auto lock = Lock();
  for (Source* source : sources_) {
    const float volume = volumes_[static_cast<std::size_t>(source->Output())];
    // At full volume the source adds straight into the sum, so the mix stays bit for bit
    // what it was before volumes existed.
    if (volume == 1.0f) {
      source->MixInto(out, frames);
    } else {
      MixScaled(*source, volume, out, frames);
    }
  }
  Limit(out, frames);
}

void Mixer::SetVolume(Bus bus, float volume) {
  auto lock = Lock();
  volumes_[static_cast<std::size_t>(bus)] = std::clamp(volume, 0.0f, 1.0f);
}

// A silenced source still runs, so the music goes on where it would have been.
void Mixer::MixScaled(Source& source, float volume, float* out, int frames) {
  const auto samples = static_cast<std::size_t>(frames) * kChannels;
  scratch_.assign(samples, 0.0f);
  source.MixInto(scratch_.data(), frames);
  for (std::size_t i = 0; i < samples; ++i) out[i] += scratch_[i] * volume;
}

// One gain for both channels and every source, so effects and music keep their balance; it
// drops at once to what the loudest sample of a frame needs, so nothing ever clips.
void Mixer::Limit(float* out, int frames) {
  for (int frame = 0; frame < frames; ++frame) {
    float* sample = out + static_cast<std::ptrdiff_t>(frame) * kChannels;
    float peak = 0.0f;
    for (int c = 0; c < kChannels; ++c) peak = std::max(peak, std::abs(sample[c]));
    gain_ = std::min(1.0f, gain_ + kReleasePerFrame);
    if (peak * gain_ > kLimiterCeiling) gain_ = kLimiterCeiling / peak;
    for (int c = 0; c < kChannels; ++c) sample[c] *= gain_;
  }
}

}  // namespace platform::audio
