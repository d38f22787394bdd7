#pragma once
// Pictures shaped like the game's: a black background (the colour key) with a shaded figure.
#include <algorithm>
#include <cstdint>
#include <vector>

inline void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A bottom-up 24-bit BMP with rows padded to four bytes; `variant` moves and tints the figure.
inline std::vector<std::uint8_t> MakeSampleBmp(int width, int height, int variant = 0) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes * height);
  std::vector<std::uint8_t> bmp;
  bmp.push_back('B');
  bmp.push_back('M');
  AppendLittleEndian(bmp, 54 + pixelBytes, 4);
  AppendLittleEndian(bmp, 0, 4);
  AppendLittleEndian(bmp, 54, 4);
  AppendLittleEndian(bmp, 40, 4);
  AppendLittleEndian(bmp, static_cast<std::uint32_t>(width), 4);
  AppendLittleEndian(bmp, static_cast<std::uint32_t>(height), 4);
  AppendLittleEndian(bmp, 1, 2);
  AppendLittleEndian(bmp, 24, 2);
  for (int i = 0; i < 6; ++i) AppendLittleEndian(bmp, 0, 4);

  const int centreX = width / 2 + variant % 7;
  const int centreY = height / 2;
  const int radiusX = width * 2 / 5;
  const int radiusY = height / 4;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int dx = (x - centreX) * 100 / (radiusX + 1);
      const int dy = (y - centreY) * 100 / (radiusY + 1);
      const bool inside = dx * dx + dy * dy <= 10000;
      const bool eye = (x - centreX - radiusX / 2) * (x - centreX - radiusX / 2) +
                           (y - centreY - radiusY / 3) * (y - centreY - radiusY / 3) <= 4;
      std::uint8_t blue = 0, green = 0, red = 0;
      if (eye) {
        blue = green = red = 0xF0;
      } else if (inside) {
        const int shade = 60 + (y * 4 / (height / 16 + 1)) * 8;  // banded shading, top to bottom
        blue = static_cast<std::uint8_t>(std::min(255, shade + 60 + variant));
        green = static_cast<std::uint8_t>(std::min(255, shade + 20));
        red = static_cast<std::uint8_t>(shade / 2);
      }
      bmp.push_back(blue);
      bmp.push_back(green);
      bmp.push_back(red);
    }
    for (int pad = width * 3; pad < rowBytes; ++pad) bmp.push_back(0);
  }
  return bmp;
}
