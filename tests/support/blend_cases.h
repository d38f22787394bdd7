#pragma once
// Every blend mode of the scene against the device's arithmetic, worked out by hand: a texel
// of alpha 128 and colour (64, 192, 255), and a clear white one, each over (200, 100, 40).
#include <array>
#include <cstdint>

#include "SXlib9.h"

namespace blend_cases {

struct Case {
  std::int32_t mode;
  D3DCOLOR overHalf, overClear;
};

constexpr D3DCOLOR kUnder = 0xFFC86428;
constexpr D3DCOLOR kHalfTexel = 0x8040C0FF;
constexpr D3DCOLOR kClearTexel = 0x00FFFFFF;

constexpr std::array<Case, 6> kCases{{{sxbOpaque, 0x40C0FF, 0xFFFFFF},
                                      {sxbAdditive, 0xE8C4A8, 0xC86428},
                                      {sxbAlphaBlend, 0x849294, 0xC86428},
                                      {sxbDarken, 0x961900, 0x000000},
                                      {sxbMultiply, 0x324B28, 0xC86428},
                                      {sxbCutOut, 0x40C0FF, 0xC86428}}};

// Where case i is drawn: the half texel at (X(i), kY), the clear one beside it.
constexpr int kY = 20;
constexpr int X(std::size_t i) { return 10 * static_cast<int>(i); }

}  // namespace blend_cases
