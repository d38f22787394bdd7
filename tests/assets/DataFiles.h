#pragma once
// The generated runtime folder, and small readers for its BMP and WAV files. The readers
// check structure only; they stand in until the game's own loaders can be used here.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace data_files {

using Bytes = std::vector<std::uint8_t>;

// A game path such as "data\\shoot.wav" inside the generated folder.
inline std::filesystem::path Path(std::string_view gamePath) {
  constexpr std::string_view kPrefix = "data\\";
  if (gamePath.starts_with(kPrefix)) gamePath.remove_prefix(kPrefix.size());
  std::string relative(gamePath);
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(KOTOBUNE_DATA_DIR) / std::filesystem::u8path(relative);
}

inline Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline std::uint32_t Little(std::span<const std::uint8_t> bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

struct Pixel {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Pixel&) const = default;
};

struct Bitmap {
  int width = 0, height = 0;
  std::vector<Pixel> pixels;  // top row first
  Pixel At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Uncompressed 24-bit bottom-up BMP with a 40-byte header; nullopt for anything else.
inline std::optional<Bitmap> ParseBmp(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  if (Little(bytes, 14, 4) != 40 || Little(bytes, 26, 2) != 1 || Little(bytes, 28, 2) != 24 ||
      Little(bytes, 30, 4) != 0) {
    return std::nullopt;
  }
  const auto width = static_cast<std::int32_t>(Little(bytes, 18, 4));
  const auto height = static_cast<std::int32_t>(Little(bytes, 22, 4));
  const std::size_t offset = Little(bytes, 10, 4);
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return std::nullopt;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  if (offset + stride * static_cast<std::size_t>(height) > bytes.size()) return std::nullopt;
  Bitmap bitmap{width, height, std::vector<Pixel>(static_cast<std::size_t>(width) * height)};
  for (int y = 0; y < height; ++y) {
    const std::size_t row = offset + stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const std::size_t at = row + static_cast<std::size_t>(x) * 3;
      bitmap.pixels[static_cast<std::size_t>(y) * width + x] = {bytes[at + 2], bytes[at + 1], bytes[at]};
    }
  }
  return bitmap;
}

struct Wave {
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<std::int16_t> samples;  // interleaved
  double Seconds() const { return static_cast<double>(samples.size()) / channels / rate; }
};

// RIFF WAVE with a fmt and a data chunk, in any order, other chunks skipped.
inline std::optional<Wave> ParseWav(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 12 || std::string_view(reinterpret_cast<const char*>(bytes.data()), 4) != "RIFF" ||
      std::string_view(reinterpret_cast<const char*>(bytes.data()) + 8, 4) != "WAVE") {
    return std::nullopt;
  }
  Wave wave;
  bool haveFormat = false, haveData = false;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string_view id(reinterpret_cast<const char*>(bytes.data()) + at, 4);
    const std::size_t size = Little(bytes, at + 4, 4);
    const std::size_t body = at + 8;
    if (body + size > bytes.size()) return std::nullopt;
    if (id == "fmt " && size >= 16) {
      wave.format = static_cast<int>(Little(bytes, body, 2));
      wave.channels = static_cast<int>(Little(bytes, body + 2, 2));
      wave.rate = static_cast<int>(Little(bytes, body + 4, 4));
      wave.bits = static_cast<int>(Little(bytes, body + 14, 2));
      haveFormat = true;
    } else if (id == "data") {
      for (std::size_t i = 0; i + 1 < size; i += 2) {
        wave.samples.push_back(static_cast<std::int16_t>(Little(bytes, body + i, 2)));
      }
      haveData = true;
    }
    at = body + size + (size & 1);
  }
  if (!haveFormat || !haveData || wave.channels <= 0 || wave.rate <= 0) return std::nullopt;
  return wave;
}

}  // namespace data_files
