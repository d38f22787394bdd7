#pragma once
// RIFF WAVE files with 16-bit PCM, and the conversion from floating-point samples.
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

void WriteWav(const std::string& path, int channels, int rate, const std::vector<std::int16_t>& interleaved);
// Rounds and clips -1..1 to 16 bits; no dither, so the same samples give the same bytes.
std::vector<std::int16_t> ToPcm16(const std::vector<float>& samples);
// Linear fades over `frames` frames at both ends, so a cut never clicks.
void FadeEnds(std::vector<float>& interleaved, int channels, int frames);

}  // namespace assetgen
