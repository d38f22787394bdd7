#pragma once
// Music files made on the spot: a sine tone as WAV, encoded to MP3 with the lame encoder,
// and a small MIDI sequence.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace test_audio {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline void PutLittle(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i) & 0xFF));
}

// 16-bit PCM; channel c carries a sine of amplitude 0.5 at frequencies[c].
inline void WriteTone(const fs::path& path, int rate, double seconds, const std::vector<double>& frequencies) {
  const auto channels = static_cast<std::uint32_t>(frequencies.size());
  const auto frames = static_cast<std::uint32_t>(rate * seconds);
  const std::uint32_t dataBytes = frames * channels * 2;
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  PutLittle(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  PutLittle(out, 16, 4);
  PutLittle(out, 1, 2);
  PutLittle(out, channels, 2);
  PutLittle(out, static_cast<std::uint32_t>(rate), 4);
  PutLittle(out, static_cast<std::uint32_t>(rate) * channels * 2, 4);
  PutLittle(out, channels * 2, 2);
  PutLittle(out, 16, 2);
  out.write("data", 4);
  PutLittle(out, dataBytes, 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    for (double frequency : frequencies) {
      const double value = 0.5 * std::sin(2 * std::numbers::pi * frequency * i / rate);
      PutLittle(out, static_cast<std::uint32_t>(static_cast<std::int16_t>(value * 32767)), 2);
    }
  }
}

inline bool HaveLame() { return std::system("command -v lame >/dev/null 2>&1") == 0; }

// `options` go to lame before the file names, e.g. "-b 8" for a small file.
inline bool EncodeMp3(const fs::path& wav, const fs::path& mp3, const std::string& options = {}) {
  const std::string command = "lame --quiet " + options + " '" + wav.string() + "' '" + mp3.string() + "'";
  return std::system(command.c_str()) == 0 && fs::exists(mp3);
}

inline void PutBig(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline Bytes Chunk(const char* id, const Bytes& body) {
  Bytes out(id, id + 4);
  PutBig(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// Type 0, 480 ticks per quarter at the default 120 bpm: four piano notes of 0.25 s each.
inline Bytes Arpeggio() {
  Bytes track = {0x00, 0xC0, 0x00};
  for (std::uint8_t note : {60, 64, 67, 72}) {
    track.insert(track.end(), {0x00, 0x90, note, 100});
    track.insert(track.end(), {0x81, 0x70, 0x80, note, 0});  // 240 ticks later
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  Bytes file = Chunk("MThd", {0, 0, 0, 1, 0x01, 0xE0});
  const Bytes body = Chunk("MTrk", track);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

inline void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace test_audio
