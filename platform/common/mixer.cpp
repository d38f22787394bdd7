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
  for (Source* source : sources_) source->MixInto(out, frames);
  Limit(out, frames);
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
