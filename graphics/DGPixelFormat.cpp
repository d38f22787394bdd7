#include "DGPixelFormat.h"

namespace {

// Stretches an n-bit channel to 0..255.
constexpr DWORD Expand(DWORD value, int bits) { return value * 255 / ((1u << bits) - 1); }

constexpr DWORD Field(DWORD pixel, int shift, int bits) { return (pixel >> shift) & ((1u << bits) - 1); }

constexpr D3DCOLOR Argb(DWORD a, DWORD r, DWORD g, DWORD b) { return (a << 24) | (r << 16) | (g << 8) | b; }

}  // namespace

int DGFormatBitCount(D3DFORMAT Format) {
  switch (Format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_X8L8V8U8:
    case D3DFMT_Q8W8V8U8:
    case D3DFMT_V16U16:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
      return 32;
    case D3DFMT_R8G8B8:
      return 24;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8P8:
    case D3DFMT_A8L8:
    case D3DFMT_V8U8:
    case D3DFMT_L6V5U5:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_D16:
      return 16;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_P8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
      return 8;
    default:
      return 0;
  }
}

DWORD DGColorToPixel(D3DCOLOR Colour, D3DFORMAT Format) {
  const DWORD a = Colour >> 24, r = (Colour >> 16) & 255, g = (Colour >> 8) & 255, b = Colour & 255;
  switch (Format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_Q8W8V8U8:
      return Colour;
    case D3DFMT_X8R8G8B8:
    case D3DFMT_X8L8V8U8:
      return Colour & 0x00FFFFFF;
    case D3DFMT_R5G6B5:
      return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case D3DFMT_X1R5G5B5:
      return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case D3DFMT_A1R5G5B5:
      return ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case D3DFMT_A4R4G4B4:
      return ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    case D3DFMT_X4R4G4B4:
      return ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    case D3DFMT_R3G3B2:
      return ((r >> 5) << 5) | ((g >> 5) << 2) | (b >> 6);
    case D3DFMT_A8R3G3B2:
      return (a << 8) | ((r >> 5) << 5) | ((g >> 5) << 2) | (b >> 6);
    case D3DFMT_A8:
      return a;
    case D3DFMT_L8:
      return r;
    case D3DFMT_A8L8:
      return (a << 8) | r;
    case D3DFMT_A4L4:
      return ((a >> 4) << 4) | (r >> 4);
    case D3DFMT_V8U8:
      return Colour & 0xFFFF;
    case D3DFMT_L6V5U5:
      return ((r >> 2) << 10) | ((g >> 3) << 5) | (b >> 3);
    case D3DFMT_V16U16:
      return (g << 24) | (b << 8);
    default:
      return 0;
  }
}

DWORD DGComponentsToPixel(DWORD A, DWORD R, DWORD G, DWORD B, D3DFORMAT Format) {
  if (Format == D3DFMT_R8G8B8) return Argb(0, R & 255, G & 255, B & 255);
  return DGColorToPixel(Argb(A & 255, R & 255, G & 255, B & 255), Format);
}

D3DCOLOR DGPixelToColor(DWORD Pixel, D3DFORMAT Format) {
  switch (Format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_X8R8G8B8:
      return Pixel | 0xFF000000;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_V8U8:
    case D3DFMT_X8L8V8U8:
    case D3DFMT_Q8W8V8U8:
      return Pixel;
    case D3DFMT_R5G6B5:
      return Argb(255, Expand(Field(Pixel, 11, 5), 5), Expand(Field(Pixel, 5, 6), 6), Expand(Field(Pixel, 0, 5), 5));
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
      const DWORD alpha = Format == D3DFMT_X1R5G5B5 || (Pixel & 0x8000) != 0 ? 255 : 0;
      return Argb(alpha, Expand(Field(Pixel, 10, 5), 5), Expand(Field(Pixel, 5, 5), 5), Expand(Field(Pixel, 0, 5), 5));
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: {
      const DWORD alpha = Format == D3DFMT_X4R4G4B4 ? 255 : Expand(Field(Pixel, 12, 4), 4);
      return Argb(alpha, Expand(Field(Pixel, 8, 4), 4), Expand(Field(Pixel, 4, 4), 4), Expand(Field(Pixel, 0, 4), 4));
    }
    case D3DFMT_R3G3B2:
    case D3DFMT_A8R3G3B2: {
      const DWORD alpha = Format == D3DFMT_R3G3B2 ? 255 : Field(Pixel, 8, 8);
      return Argb(alpha, Expand(Field(Pixel, 5, 3), 3), Expand(Field(Pixel, 2, 3), 3), Expand(Field(Pixel, 0, 2), 2));
    }
    case D3DFMT_A8:
      return Argb(Pixel & 255, 0, 0, 0);
    case D3DFMT_L8:
      return Argb(0, Pixel & 255, 0, 0);
    case D3DFMT_A8L8:
      return Argb(Field(Pixel, 8, 8), Field(Pixel, 0, 8), 0, 0);
    case D3DFMT_A4L4:
      return Argb(Expand(Field(Pixel, 4, 4), 4), Expand(Field(Pixel, 0, 4), 4), 0, 0);
    case D3DFMT_L6V5U5:
      return Argb(0, Field(Pixel, 10, 6) * 4, Field(Pixel, 5, 5) * 8, Field(Pixel, 0, 5) * 8);
    case D3DFMT_V16U16:
      return (Pixel & 0xFFFF) | ((Pixel >> 16) << 8);
    default:
      return 0;
  }
}
