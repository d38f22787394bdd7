#pragma once
// Ten-minute MP3s made on the spot: ten copies of a minute encoded without a length header,
// and the same behind an Info frame that counts them. Needs the lame encoder.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/audio_files.h"

namespace ten_minute_mp3 {

constexpr int kMinuteCopies = 10;
constexpr std::uint32_t kFrameHeader = 0xFFFB9000;  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo

inline void PutBig(test_audio::Bytes& bytes, size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

inline void WriteFile(const std::string& path, const test_audio::Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Writes `bare` and `info` (host paths), using `scratch` for the minute; false without lame.
inline bool Make(const std::string& scratch, const std::string& bare, const std::string& info) {
  if (!test_audio::HaveLame()) return false;
  test_audio::WriteTone(scratch + ".wav", 44100, 60.0, {440, 550});
  if (!test_audio::EncodeMp3(scratch + ".wav", scratch + ".mp3", "-t -b 128")) return false;
  std::ifstream in(scratch + ".mp3", std::ios::binary);
  const test_audio::Bytes minute{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  test_audio::Bytes bareBytes;
  for (int i = 0; i < kMinuteCopies; ++i) bareBytes.insert(bareBytes.end(), minute.begin(), minute.end());
  std::uint32_t frames = 0;
  for (size_t at = 0; at + 4 <= bareBytes.size(); ++frames) at += 417 + ((bareBytes[at + 2] >> 1) & 1);
  test_audio::Bytes infoBytes(417, 0);
  PutBig(infoBytes, 0, kFrameHeader);
  std::copy_n("Info", 4, infoBytes.begin() + 36);
  PutBig(infoBytes, 40, 1);
  PutBig(infoBytes, 44, frames);
  infoBytes.insert(infoBytes.end(), bareBytes.begin(), bareBytes.end());
  WriteFile(bare, bareBytes);
  WriteFile(info, infoBytes);
  return true;
}

}  // namespace ten_minute_mp3
