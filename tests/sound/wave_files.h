#pragma once
// Wave files for tests: RIFF bytes built chunk by chunk, and files made by sox.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace wave_files {

inline void PutU16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
inline void PutU32(std::string& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// A chunk with its pad byte; `statedSize` overrides the size field when given.
inline std::string Chunk(std::string_view id, std::string_view data, std::int64_t statedSize = -1) {
  std::string out(id);
  PutU32(out, static_cast<std::uint32_t>(statedSize >= 0 ? statedSize : static_cast<std::int64_t>(data.size())));
  out += data;
  if (data.size() % 2 == 1) out += '\0';
  return out;
}

inline std::string Riff(std::string_view formType, std::string_view body) {
  std::string content(formType);
  content += body;
  return Chunk("RIFF", content);
}

inline std::string Format(int tag, int channels, int rate, int bits) {
  std::string out;
  const int blockAlign = channels * bits / 8;
  PutU16(out, static_cast<std::uint32_t>(tag));
  PutU16(out, static_cast<std::uint32_t>(channels));
  PutU32(out, static_cast<std::uint32_t>(rate));
  PutU32(out, static_cast<std::uint32_t>(rate * blockAlign));
  PutU16(out, static_cast<std::uint32_t>(blockAlign));
  PutU16(out, static_cast<std::uint32_t>(bits));
  return out;
}

inline std::string Pcm16(const std::vector<std::int16_t>& samples) {
  std::string out;
  for (std::int16_t sample : samples) PutU16(out, static_cast<std::uint16_t>(sample));
  return out;
}

// A complete 16-bit wave.
inline std::string Wave16(int channels, int rate, const std::vector<std::int16_t>& samples) {
  return Riff("WAVE", Chunk("fmt ", Format(1, channels, rate, 16)) + Chunk("data", Pcm16(samples)));
}

inline bool HaveSox() { return std::system("sox --version > /dev/null 2>&1") == 0; }

// A sine of `hertz` lasting `seconds`, at half of full scale.
inline bool MakeSine(const std::string& path, int rate, int bits, int channels, int hertz, double seconds) {
  const std::string command = "sox -q -n -r " + std::to_string(rate) + " -b " + std::to_string(bits) + " -c " +
                              std::to_string(channels) + (bits == 8 ? " -e unsigned-integer" : " -e signed-integer") +
                              " '" + path + "' synth " + std::to_string(seconds) + " sine " + std::to_string(hertz) +
                              " vol 0.5";
  return std::system(command.c_str()) == 0;
}

}  // namespace wave_files
