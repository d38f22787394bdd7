#pragma once
// 24-bit bottom-up BMP files, the only picture format the game's archive holds.
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // row by row, top row first
  Rgb& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  const Rgb& At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Appends the low `bytes` bytes of `value`, least significant first, as BMP and ICO store them.
void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes);

std::vector<std::uint8_t> EncodeBmp(const Image& image);
void WriteBmp(const std::string& path, const Image& image);
Image MirrorHorizontally(const Image& image);

}  // namespace assetgen
