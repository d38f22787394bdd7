#include "DGBitmap.h"

#include <algorithm>
#include <array>
#include <vector>

#include "DGLog.h"
#include "DGPixelFormat.h"

namespace {

constexpr std::size_t kPaletteBytes = 1024;

std::uint16_t Word(const std::uint8_t* bytes) { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }

std::uint32_t Dword(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool ReadExactly(TStream& stream, void* buffer, std::size_t count) { return stream.Read(buffer, count) == count; }

void LogReadError() { DGWriteLog(DGText("LoadBMP中に、読み込みエラーが発生しました")); }

// 16-bit bitmaps are X1R5G5B5: each 5-bit channel is stretched to 8 bits, bit 15 is ignored.
DWORD Convert16(const std::uint8_t* source, D3DFORMAT format) {
  const DWORD value = Word(source);
  const auto channel = [value](int shift) { return ((value >> shift) & 31) * 255 / 31; };
  return DGComponentsToPixel(255, channel(10), channel(5), channel(0), format);
}

struct RowConverter {
  int sourceBytes;
  int destinationBytes;
  D3DFORMAT format;
  bool copyIndices;
  std::array<DWORD, 256> palette{};

  DWORD Convert(const std::uint8_t* source) const {
    switch (sourceBytes) {
      case 1: return copyIndices ? source[0] : palette[source[0]];
      case 2: return Convert16(source, format);
      case 3: return DGComponentsToPixel(255, source[2], source[1], source[0], format);
      default: return DGColorToPixel(Dword(source), format);
    }
  }

  void ConvertRow(const std::uint8_t* source, std::uint8_t* destination, int columns) const {
    for (int x = 0; x < columns; ++x) {
      DGWritePixel(destination + std::size_t(x) * destinationBytes, destinationBytes,
                   Convert(source + std::size_t(x) * sourceBytes));
    }
  }
};

// The palette entries become pixels of the texture's format once, not once per pixel.
bool ReadPalette(TStream& stream, RowConverter& converter) {
  std::array<std::uint8_t, kPaletteBytes> bytes;
  if (!ReadExactly(stream, bytes.data(), bytes.size())) return false;
  for (std::size_t i = 0; i < converter.palette.size(); ++i) {
    const std::uint8_t* entry = &bytes[i * 4];
    converter.palette[i] = DGComponentsToPixel(255, entry[2], entry[1], entry[0], converter.format);
  }
  return true;
}

// Steps 2 to 9 of a load into a locked level; every return is a stop.
void ReadPixels(TStream& stream, const D3DSURFACE_DESC& desc, const D3DLOCKED_RECT& locked) {
  const std::int64_t start = stream.Position();
  DGBitmapFileHeader file;
  if (!DGReadBitmapFileHeader(stream, file)) {
    DGWriteLog(DGText("ビットマップの読みこみ中に、エラーが発生しました"));
    return;
  }
  if (file.Type != DGBitmapType) {
    DGWriteLog(DGText("不正なBMPファイルです"));
    return;
  }
  DGBitmapInfoHeader info;
  if (!DGReadBitmapInfoHeader(stream, info)) return LogReadError();
  if (info.BitCount < 8 || info.BitCount > 32) {
    DGCheck(1, "色数が8ビット～32ビットの範囲のビットマップを、LoadBMPには指定してください");
    return;
  }
  // Top-down and compressed bitmaps are outside what the rows below can hold.
  if (info.Width <= 0 || info.Height <= 0 || (info.Compression != 0 && info.Compression != 3)) {
    DGWriteLog(DGText("不正なBMPファイルです"));
    return;
  }
  RowConverter converter{info.BitCount / 8, DGFormatBitCount(desc.Format) / 8, desc.Format, false};
  if (desc.Format == D3DFMT_P8) {
    if (converter.sourceBytes > 1) {
      DGCheck(1, "8ビットパレット付きテクスチャに対して16ビット以上のBMPをロードする事は出来ません");
      return;
    }
    converter.copyIndices = true;
  }
  if (converter.sourceBytes == 1 && !ReadPalette(stream, converter)) return LogReadError();

  stream.SetPosition(start + file.OffBits);
  const std::int64_t sourceStride = (std::int64_t{info.Width} * converter.sourceBytes + 3) / 4 * 4;
  // A row longer than the whole stream cannot be read; do not allocate it.
  if (sourceStride > stream.Size()) return LogReadError();
  const int rows = static_cast<int>(std::min<std::int64_t>(desc.Height, info.Height));
  const int columns = static_cast<int>(std::min<std::int64_t>(desc.Width, info.Width));
  if (rows < info.Height) stream.Seek((info.Height - std::int64_t{rows}) * sourceStride, TSeekOrigin::soCurrent);

  std::vector<std::uint8_t> row(static_cast<std::size_t>(sourceStride));
  auto* bits = static_cast<std::uint8_t*>(locked.pBits);
  for (int y = rows - 1; y >= 0; --y) {
    if (!ReadExactly(stream, row.data(), row.size())) return LogReadError();
    converter.ConvertRow(row.data(), bits + std::size_t(y) * locked.Pitch, columns);
  }
}

}  // namespace

bool DGReadBitmapFileHeader(TStream& Stream, DGBitmapFileHeader& Header) {
  std::array<std::uint8_t, DGBitmapFileHeaderSize> bytes;
  if (!ReadExactly(Stream, bytes.data(), bytes.size())) return false;
  Header = {Word(&bytes[0]), Dword(&bytes[2]), Dword(&bytes[10])};
  return true;
}

bool DGReadBitmapInfoHeader(TStream& Stream, DGBitmapInfoHeader& Header) {
  std::array<std::uint8_t, DGBitmapInfoHeaderSize> bytes;
  if (!ReadExactly(Stream, bytes.data(), bytes.size())) return false;
  Header = {Dword(&bytes[0]),         static_cast<std::int32_t>(Dword(&bytes[4])),
            static_cast<std::int32_t>(Dword(&bytes[8])), Word(&bytes[12]),
            Word(&bytes[14]),         Dword(&bytes[16]),
            Dword(&bytes[20])};
  return true;
}

void DGLoadBMPIntoTexture(IDirect3DTexture9& Texture, TStream& Stream) {
  D3DSURFACE_DESC desc;
  Texture.GetLevelDesc(0, &desc);
  D3DLOCKED_RECT locked;
  if (DGCheck(Texture.LockRect(0, &locked, nullptr, 0), "LoadBMP中にサーフェスがロックできませんでした") != D3D_OK) {
    return;
  }
  ReadPixels(Stream, desc, locked);
  DGCheck(Texture.UnlockRect(0), "LoadBMP中にサーフェスがアンロックできませんでした");
}

void DGWriteBitmap32Headers(TStream& Stream, std::uint32_t Width, std::uint32_t Height) {
  const std::uint32_t imageSize = Width * Height * 4;
  const auto headersSize = static_cast<std::uint32_t>(DGBitmapFileHeaderSize + DGBitmapInfoHeaderSize);
  std::vector<std::uint8_t> bytes;
  PutLittleEndian(bytes, DGBitmapType, 2);
  PutLittleEndian(bytes, imageSize + headersSize, 4);
  PutLittleEndian(bytes, 0, 4);
  PutLittleEndian(bytes, headersSize, 4);
  PutLittleEndian(bytes, static_cast<std::uint32_t>(DGBitmapInfoHeaderSize), 4);
  PutLittleEndian(bytes, Width, 4);
  PutLittleEndian(bytes, Height, 4);
  PutLittleEndian(bytes, 1, 2);
  PutLittleEndian(bytes, 32, 2);
  for (int field = 0; field < 6; ++field) PutLittleEndian(bytes, field == 1 ? imageSize : 0, 4);
  Stream.Write(bytes.data(), bytes.size());
}
