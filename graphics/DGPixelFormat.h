#pragma once
// Conversions between 32-bit ARGB colours and the raw pixels of texture formats. A pixel is
// held in the low bits of a 32-bit value and stored least significant byte first.
#include <cstdint>

#include "platform/d3d9.h"

int DGFormatBitCount(D3DFORMAT Format);
DWORD DGColorToPixel(D3DCOLOR Colour, D3DFORMAT Format);
// Components 0 to 255; unlike DGColorToPixel, R8G8B8 gets no alpha bits.
DWORD DGComponentsToPixel(DWORD A, DWORD R, DWORD G, DWORD B, D3DFORMAT Format);
D3DCOLOR DGPixelToColor(DWORD Pixel, D3DFORMAT Format);

inline DWORD DGReadPixel(const std::uint8_t* bytes, int bytesPerPixel) {
  DWORD pixel = 0;
  for (int i = 0; i < bytesPerPixel; ++i) pixel |= static_cast<DWORD>(bytes[i]) << (8 * i);
  return pixel;
}

inline void DGWritePixel(std::uint8_t* bytes, int bytesPerPixel, DWORD pixel) {
  for (int i = 0; i < bytesPerPixel; ++i) bytes[i] = static_cast<std::uint8_t>(pixel >> (8 * i));
}
