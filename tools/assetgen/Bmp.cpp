#include "Bmp.h"

#include <fstream>
#include <stdexcept>

namespace assetgen {

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> EncodeBmp(const Image& image) {
  constexpr std::uint32_t kHeaders = 14 + 40;
  const auto stride = static_cast<std::uint32_t>((image.width * 3 + 3) & ~3);
  const std::uint32_t imageBytes = stride * static_cast<std::uint32_t>(image.height);
  std::vector<std::uint8_t> out;
  out.reserve(kHeaders + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put(out, kHeaders + imageBytes, 4);
  Put(out, 0, 4);
  Put(out, kHeaders, 4);
  Put(out, 40, 4);
  Put(out, static_cast<std::uint32_t>(image.width), 4);
  Put(out, static_cast<std::uint32_t>(image.height), 4);
  Put(out, 1, 2);
  Put(out, 24, 2);
  Put(out, 0, 4);  // BI_RGB
  Put(out, imageBytes, 4);
  Put(out, 2835, 4);  // 72 dpi, as paint programs write it
  Put(out, 2835, 4);
  Put(out, 0, 4);
  Put(out, 0, 4);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const Rgb& p = image.At(x, y);
      out.insert(out.end(), {p.b, p.g, p.r});
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(image.width) * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

void WriteBmp(const std::string& path, const Image& image) {
  const std::vector<std::uint8_t> bytes = EncodeBmp(image);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Image MirrorHorizontally(const Image& image) {
  Image mirrored = image;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) mirrored.At(x, y) = image.At(image.width - 1 - x, y);
  }
  return mirrored;
}

}  // namespace assetgen
