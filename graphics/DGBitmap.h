#pragma once
// Windows BMP files: the reader that fills level 0 of a texture and the 32-bit writer.
#include <cstdint>

#include "Streams.h"
#include "platform/d3d9.h"

inline constexpr std::size_t DGBitmapFileHeaderSize = 14;
inline constexpr std::size_t DGBitmapInfoHeaderSize = 40;
inline constexpr std::uint16_t DGBitmapType = 0x4D42;  // "BM"

struct DGBitmapFileHeader {
  std::uint16_t Type = 0;
  std::uint32_t Size = 0;
  std::uint32_t OffBits = 0;
};

struct DGBitmapInfoHeader {
  std::uint32_t Size = 0;
  std::int32_t Width = 0, Height = 0;
  std::uint16_t Planes = 0, BitCount = 0;
  std::uint32_t Compression = 0, SizeImage = 0;
};

// Both return false when the stream ends first.
bool DGReadBitmapFileHeader(TStream& Stream, DGBitmapFileHeader& Header);
bool DGReadBitmapInfoHeader(TStream& Stream, DGBitmapInfoHeader& Header);

// Bottom-up rows, uncompressed or bit fields: what the reader can hold. Top-down and
// compressed bitmaps are "不正なBMPファイルです".
bool DGBitmapIsReadable(const DGBitmapInfoHeader& Header);

// Reads the BMP that starts at the stream's position into level 0 of the texture, converting
// to the level's format; the picture's top-left lands on the texture's top-left and whatever
// does not fit is cut off. Failures are logged; nothing is thrown.
void DGLoadBMPIntoTexture(IDirect3DTexture9& Texture, TStream& Stream);

// The headers of a bottom-up, uncompressed 32-bit BMP of Width x Height.
void DGWriteBitmap32Headers(TStream& Stream, std::uint32_t Width, std::uint32_t Height);
