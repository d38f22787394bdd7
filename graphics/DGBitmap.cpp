#include "DGBitmap.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "DGLog.h"
#include "DGPixelFormat.h"

namespace {

constexpr std::size_t kPaletteEntries = 256;
// The largest info header written (BITMAPV5HEADER); a larger one is read up to here.
constexpr std::size_t kLargestInfoHeader = 124;
constexpr std::size_t kColorsUsedOffset = 32, kMasksOffset = 40;
constexpr std::uint32_t kBitFields = 3;

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

// One colour channel of a bit-field pixel, stretched to 8 bits.
class ChannelMask {
 public:
  explicit ChannelMask(std::uint32_t mask = 0) : mask_(mask) {
    if (mask_ == 0) return;
    while (((mask_ >> shift_) & 1) == 0) ++shift_;
    while (bits_ < 32 - shift_ && ((mask_ >> (shift_ + bits_)) & 1) != 0) ++bits_;
  }
  bool Present() const { return mask_ != 0; }
  int Read(std::uint32_t value) const {
    const std::uint64_t level = (value & mask_) >> shift_;
    const std::uint64_t top = (std::uint64_t{1} << bits_) - 1;
    return static_cast<int>(level * 255 / top);
  }

 private:
  std::uint32_t mask_;
  int shift_ = 0, bits_ = 0;
};

// Red, green, blue and alpha; without an alpha mask the pixel is opaque.
struct BitFields {
  std::array<ChannelMask, 4> channels;
  DWORD Convert(std::uint32_t value, D3DFORMAT format) const {
    const int alpha = channels[3].Present() ? channels[3].Read(value) : 255;
    return DGComponentsToPixel(alpha, channels[0].Read(value), channels[1].Read(value), channels[2].Read(value), format);
  }
};

// What a 16-bit bitmap without bit fields holds: X1R5G5B5.
const BitFields kDefault16{{ChannelMask(0x7C00), ChannelMask(0x03E0), ChannelMask(0x001F), ChannelMask()}};

struct RowConverter {
  int sourceBytes;
  int destinationBytes;
  D3DFORMAT format;
  bool copyIndices;
  std::array<DWORD, kPaletteEntries> palette{};
  std::optional<BitFields> fields{};  // 32-bit pixels by masks, rather than as A8R8G8B8

  DWORD Convert(const std::uint8_t* source) const {
    switch (sourceBytes) {
      case 1: return copyIndices ? source[0] : palette[source[0]];
      case 2: return fields.value_or(kDefault16).Convert(Word(source), format);
      case 3: return DGComponentsToPixel(255, source[2], source[1], source[0], format);
      default: return fields ? fields->Convert(Dword(source), format) : DGColorToPixel(Dword(source), format);
    }
  }

  void ConvertRow(const std::uint8_t* source, std::uint8_t* destination, int columns) const {
    for (int x = 0; x < columns; ++x) {
      DGWritePixel(destination + std::size_t(x) * destinationBytes, destinationBytes,
                   Convert(source + std::size_t(x) * sourceBytes));
    }
  }
};

// The info header in full, as large as it says it is (within the largest kind written).
std::vector<std::uint8_t> ReadWholeInfoHeader(TStream& stream, std::int64_t start, const DGBitmapInfoHeader& info) {
  std::vector<std::uint8_t> bytes(std::clamp<std::size_t>(info.Size, DGBitmapInfoHeaderSize, kLargestInfoHeader));
  stream.SetPosition(start + std::int64_t{DGBitmapFileHeaderSize});
  if (!ReadExactly(stream, bytes.data(), bytes.size())) bytes.clear();
  return bytes;
}

// The palette follows the header whatever its size, with as many entries as the header says
// (all 256 when it says 0); entries it lacks are black. They become pixels of the texture's
// format once, not once per pixel.
bool ReadPalette(TStream& stream, const std::vector<std::uint8_t>& header, RowConverter& converter) {
  const std::uint32_t used = Dword(&header[kColorsUsedOffset]);
  const std::size_t count = used == 0 ? kPaletteEntries : std::min<std::size_t>(used, kPaletteEntries);
  std::vector<std::uint8_t> bytes(count * 4);
  if (!ReadExactly(stream, bytes.data(), bytes.size())) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = &bytes[i * 4];
    converter.palette[i] = DGComponentsToPixel(255, entry[2], entry[1], entry[0], converter.format);
  }
  return true;
}

// Bit-field masks sit inside the larger headers, or just after the 40-byte one.
bool ReadBitFields(TStream& stream, const std::vector<std::uint8_t>& header, RowConverter& converter) {
  std::array<std::uint8_t, 16> masks{};
  if (header.size() >= kMasksOffset + 12) {
    std::copy_n(header.begin() + kMasksOffset, std::min<std::size_t>(16, header.size() - kMasksOffset), masks.begin());
  } else if (!ReadExactly(stream, masks.data(), 12)) {
    return false;
  }
  converter.fields = BitFields{{ChannelMask(Dword(&masks[0])), ChannelMask(Dword(&masks[4])),
                                ChannelMask(Dword(&masks[8])), ChannelMask(Dword(&masks[12]))}};
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
  if (!DGBitmapIsReadable(info)) {
    DGWriteLog(DGText("不正なBMPファイルです"));
    return;
  }
  const std::vector<std::uint8_t> header = ReadWholeInfoHeader(stream, start, info);
  if (header.empty()) return LogReadError();
  stream.SetPosition(start + std::int64_t{DGBitmapFileHeaderSize} + std::max<std::int64_t>(info.Size, DGBitmapInfoHeaderSize));
  RowConverter converter{info.BitCount / 8, DGFormatBitCount(desc.Format) / 8, desc.Format, false};
  if (desc.Format == D3DFMT_P8) {
    if (converter.sourceBytes > 1) {
      DGCheck(1, "8ビットパレット付きテクスチャに対して16ビット以上のBMPをロードする事は出来ません");
      return;
    }
    converter.copyIndices = true;
  }
  if (converter.sourceBytes == 1 && !ReadPalette(stream, header, converter)) return LogReadError();
  if (info.Compression == kBitFields && converter.sourceBytes >= 2 && !ReadBitFields(stream, header, converter)) {
    return LogReadError();
  }

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

bool DGBitmapIsReadable(const DGBitmapInfoHeader& Header) {
  return Header.Width > 0 && Header.Height > 0 && (Header.Compression == 0 || Header.Compression == kBitFields);
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
