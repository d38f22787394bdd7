// The text writer: Shift-JIS text rasterised glyph by glyph into texture pixels, each glyph
// made once per font and kept in a most-recently-used cache.
#include <algorithm>
#include <cstring>

#include "DGPixelFormat.h"
#include "SXlib9.h"
#include "platform/codepage.h"

namespace {

std::uint8_t StyleBits(const TFont& font) {
  return static_cast<std::uint8_t>((font.Bold ? sxfsBold : 0) | (font.Italic ? sxfsItalic : 0) |
                                   (font.Underline ? sxfsUnderline : 0) | (font.StrikeOut ? sxfsStrikeOut : 0));
}

bool Matches(const TSXFontCacheData& entry, std::int32_t code, const TFont& font) {
  return entry.code == code && entry.fontName == font.Name && entry.fontHeight == font.Height &&
         entry.fontStyle == StyleBits(font);
}

std::uint8_t GrayAlpha(std::uint8_t level) { return level >= 64 ? 255 : static_cast<std::uint8_t>(level * 4); }

// Clips [start, start + length) against [0, limit); false when nothing is left.
bool ClipSpan(std::int32_t& start, std::int32_t& length, std::int32_t limit, std::int32_t& skip) {
  skip = 0;
  if (start >= limit || start + length <= 0) return false;
  if (start < 0) {
    skip = -start;
    length += start;
    start = 0;
  }
  if (start + length > limit) length = limit - start;
  return true;
}

}  // namespace

// ---- glyph cache ----

TSXFontCache::TSXFontCache(TSXTextWriter& writer, std::int32_t capacity) : writer_(writer) { SetCapacity(capacity); }

void TSXFontCache::SetCapacity(std::int32_t n) {
  capacity_ = std::max(n, 1);
  for (auto& bucket : bucket_) bucket.assign(static_cast<size_t>(capacity_), TSXFontCacheData{});
  count_.fill(0);
}

TSXFontCacheData TSXFontCache::GetGlyph(std::int32_t code, const TFont& font) {
  const int b = code & 0xFF;
  auto& entries = bucket_[static_cast<size_t>(b)];
  const auto used = entries.begin() + count_[static_cast<size_t>(b)];
  const auto hit = std::find_if(entries.begin(), used, [&](const auto& entry) { return Matches(entry, code, font); });
  if (hit != used) {
    std::rotate(entries.begin(), hit, hit + 1);
    return entries.front();
  }
  if (count_[static_cast<size_t>(b)] == capacity_) {
    std::rotate(entries.begin(), entries.end() - 1, entries.end());
  } else {
    std::rotate(entries.begin(), used, used + 1);
    ++count_[static_cast<size_t>(b)];
  }
  TSXFontCacheData& entry = entries.front();
  entry = TSXFontCacheData{{}, code, font.Name, font.Height, StyleBits(font)};
  Rasterise(entry);
  return entry;
}

void TSXFontCache::Rasterise(TSXFontCacheData& entry) {
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  const UINT format = antiAlias != 0 ? GGO_GRAY8_BITMAP : GGO_BITMAP;
  GLYPHMETRICS metrics{};
  const DWORD size = GetGlyphOutlineA(writer_.Canvas(), static_cast<UINT>(entry.code), format, &metrics, 0, nullptr,
                                      &identity);
  TEXTMETRICA text{};
  GetTextMetricsA(writer_.Canvas(), &text);
  const int bytesPerPixel = DGFormatBitCount(writer_.Format()) / 8;
  entry.width = static_cast<std::int32_t>(metrics.gmBlackBoxX);
  entry.height = static_cast<std::int32_t>(metrics.gmBlackBoxY);
  entry.pitch = (entry.width * bytesPerPixel + 3) & ~3;
  entry.originX = metrics.gmptGlyphOrigin.x;
  entry.offsetY = text.tmAscent - metrics.gmptGlyphOrigin.y;
  entry.cellIncX = metrics.gmCellIncX;
  entry.cellIncY = metrics.gmCellIncY;
  if (size == 0 || size == GDI_ERROR) return;

  std::vector<std::uint8_t> source(size);
  GetGlyphOutlineA(writer_.Canvas(), static_cast<UINT>(entry.code), format, &metrics, size, source.data(), &identity);
  entry.pixels.assign(static_cast<size_t>(entry.pitch) * static_cast<size_t>(entry.height), 0);
  const std::int32_t sourcePitch = format == GGO_GRAY8_BITMAP ? (entry.width + 3) & ~3 : ((entry.width + 7) / 8 + 3) & ~3;
  for (std::int32_t row = 0; row < entry.height; ++row) {
    const std::uint8_t* in = source.data() + static_cast<size_t>(row) * static_cast<size_t>(sourcePitch);
    std::uint8_t* out = entry.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(entry.pitch);
    for (std::int32_t column = 0; column < entry.width; ++column) {
      const std::uint8_t alpha = format == GGO_GRAY8_BITMAP ? GrayAlpha(in[column])
                                 : (in[column / 8] >> (7 - column % 8)) & 1 ? 255 : 0;
      DGWritePixel(out + column * bytesPerPixel, bytesPerPixel, DGComponentsToPixel(alpha, 255, 255, 255, writer_.Format()));
    }
  }
}

// ---- writer ----

TSXTextWriter::TSXTextWriter(TDGCarad& device, D3DFORMAT format, std::int32_t capacity)
    : device_(device), cache_(std::make_unique<TSXFontCache>(*this, capacity)), format_(format) {
  canvas_ = CreateCompatibleDC(nullptr);
  font_.Color = 0xFFFFFF;
}

TSXTextWriter::~TSXTextWriter() {
  DeleteDC(canvas_);
  if (canvasFont_ != nullptr) DeleteObject(canvasFont_);
}

void TSXTextWriter::SetFont(const TFont& font) {
  HFONT created = CreateFontFromDescription(font);
  SelectObject(canvas_, created);
  if (canvasFont_ != nullptr) DeleteObject(canvasFont_);
  canvasFont_ = created;
  font_ = font;
}

void TSXTextWriter::SetFontSize(int points) {
  TFont font = font_;
  font.Height = FontHeightForPointSize(points);
  SetFont(font);
}

void TSXTextWriter::SetFontName(const std::string& name) {
  TFont font = font_;
  font.Name = name;
  SetFont(font);
}

SIZE TSXTextWriter::Extent(const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32A(canvas_, text.data(), static_cast<int>(text.size()), &size);
  return size;
}

std::int32_t TSXTextWriter::TextWidth(const std::string& text) { return Extent(text).cx; }
std::int32_t TSXTextWriter::TextHeight(const std::string& text) { return Extent(text).cy; }

void TSXTextWriter::DrawText(std::int32_t x, std::int32_t y, TDGTexture& texture, const std::string& text) {
  if (x >= static_cast<std::int32_t>(texture.Width()) || y >= static_cast<std::int32_t>(texture.Height())) return;
  if (texture.Texture() == nullptr) return;
  D3DSURFACE_DESC surface{};
  texture.Texture()->GetLevelDesc(0, &surface);
  const auto surfaceWidth = static_cast<std::int32_t>(surface.Width);
  const auto surfaceHeight = static_cast<std::int32_t>(surface.Height);
  const int bytesPerPixel = DGFormatBitCount(format_) / 8;
  std::int32_t penX = x;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::int32_t code = lead;
    const bool single = lead < 0x81 || (lead >= 0xA0 && lead <= 0xDF) || i + 1 == text.size();
    if (!single) code = lead * 256 + static_cast<unsigned char>(text[i + 1]);
    i += single ? 1 : 2;
    const TSXFontCacheData glyph = cache_->GetGlyph(code, font_);
    std::int32_t left = penX + glyph.originX, width = glyph.width, skipX = 0;
    std::int32_t top = y + glyph.offsetY, height = glyph.height, skipY = 0;
    if (ClipSpan(left, width, surfaceWidth, skipX) && ClipSpan(top, height, surfaceHeight, skipY) &&
        !glyph.pixels.empty()) {
      const RECT box{left, top, left + width, top + height};
      D3DLOCKED_RECT locked{};
      if (texture.LockRect(0, &box, locked, 0)) {
        for (std::int32_t row = 0; row < height; ++row) {
          const std::uint8_t* from = glyph.pixels.data() + static_cast<size_t>(skipY + row) * glyph.pitch +
                                     static_cast<size_t>(skipX) * bytesPerPixel;
          std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(row) * locked.Pitch, from,
                      static_cast<size_t>(width) * bytesPerPixel);
        }
        texture.UnlockRect();
      }
    }
    penX += glyph.cellIncX;
    if (penX >= static_cast<std::int32_t>(texture.Width())) break;
  }
}

std::unique_ptr<TDGTexture> TSXTextWriter::CreateTextTexture(const std::string& text,
                                                             std::span<const D3DFORMAT> formats,
                                                             const std::string& name) {
  const SIZE extent = Extent(text);
  auto texture = std::make_unique<TDGTexture>(device_, formats, 0, D3DPOOL_MANAGED, 1, name);
  texture->SetSize(static_cast<UINT>(extent.cx), static_cast<UINT>(extent.cy));
  DrawText(0, 0, *texture, text);
  return texture;
}
