#pragma once
// What the mixer plays, pulled the way the audio device pulls it.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "platform/audio.h"

namespace test_audio {

// One callback-sized block at a time, interleaved stereo.
inline std::vector<float> Render(double seconds) {
  using platform::audio::kChannels;
  const int frames = static_cast<int>(seconds * platform::audio::kSampleRate);
  std::vector<float> out(static_cast<std::size_t>(frames) * kChannels);
  for (int at = 0; at < frames; at += 512) {
    platform::audio::Mixer::Instance().Render(out.data() + static_cast<std::size_t>(at) * kChannels,
                                              std::min(512, frames - at));
  }
  return out;
}

inline float Peak(const std::vector<float>& samples) {
  float peak = 0;
  for (float sample : samples) peak = std::max(peak, std::abs(sample));
  return peak;
}

}  // namespace test_audio
