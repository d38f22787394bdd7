#include "Wav.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace assetgen {
namespace {

void Put(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i) & 0xFF));
}

}  // namespace

void WriteWav(const std::string& path, int channels, int rate, const std::vector<std::int16_t>& interleaved) {
  const auto dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
  const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  Put(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  Put(out, 16, 4);
  Put(out, 1, 2);  // PCM
  Put(out, static_cast<std::uint32_t>(channels), 2);
  Put(out, static_cast<std::uint32_t>(rate), 4);
  Put(out, static_cast<std::uint32_t>(rate) * blockAlign, 4);
  Put(out, blockAlign, 2);
  Put(out, 16, 2);
  out.write("data", 4);
  Put(out, dataBytes, 4);
  for (std::int16_t sample : interleaved) Put(out, static_cast<std::uint16_t>(sample), 2);
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::int16_t> ToPcm16(const std::vector<float>& samples) {
  std::vector<std::int16_t> pcm(samples.size());
  std::transform(samples.begin(), samples.end(), pcm.begin(), [](float sample) {
    return static_cast<std::int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
  });
  return pcm;
}

void FadeEnds(std::vector<float>& interleaved, int channels, int frames) {
  const auto total = static_cast<int>(interleaved.size()) / channels;
  frames = std::min(frames, total / 2);
  for (int i = 0; i < frames; ++i) {
    const float gain = static_cast<float>(i) / static_cast<float>(frames);
    for (int c = 0; c < channels; ++c) {
      interleaved[static_cast<std::size_t>(i * channels + c)] *= gain;
      interleaved[static_cast<std::size_t>((total - 1 - i) * channels + c)] *= gain;
    }
  }
}

}  // namespace assetgen
