#include <algorithm>

#include "platform/audio.h"

namespace platform::audio {

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
  for (std::size_t i = 0; i < samples; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

}  // namespace platform::audio
