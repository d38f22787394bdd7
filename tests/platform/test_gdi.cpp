#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/wingdi.h"

namespace {

struct DeviceContext {
  explicit DeviceContext(const TFont& description)
      : font(CreateFontFromDescription(description)), dc(CreateCompatibleDC(nullptr)) {
    SelectObject(dc, font);
  }
  ~DeviceContext() {
    DeleteDC(dc);
    DeleteObject(font);
  }
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;
  HFONT font;
  HDC dc;
};

TFont WindowFont(bool bold = true, int height = -21) {
  TFont font;
  font.Charset = SHIFTJIS_CHARSET;
  font.Height = height;
  font.Name = platform::Utf16ToCp932(u"ＭＳ Ｐゴシック");
  font.Bold = bold;
  return font;
}

std::vector<std::uint8_t> Glyph(HDC dc, UINT code, UINT format, GLYPHMETRICS& metrics) {
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  const DWORD size = GetGlyphOutlineA(dc, code, format, &metrics, 0, nullptr, &identity);
  if (size == 0 || size == GDI_ERROR) return {};
  std::vector<std::uint8_t> bitmap(size);
  EXPECT_EQ(GetGlyphOutlineA(dc, code, format, &metrics, size, bitmap.data(), &identity), size);
  return bitmap;
}

LONG Width(HDC dc, const std::string& text) {
  SIZE size;
  EXPECT_TRUE(GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size));
  return size.cx;
}

}  // namespace

TEST(GdiFonts, PointSizesConvertAtNinetySixDpi) {
  EXPECT_EQ(FontHeightForPointSize(10), -13);
  EXPECT_EQ(FontHeightForPointSize(20), -27);
}

TEST(GdiFonts, WindowFontHasJapaneseMetrics) {
  DeviceContext context(WindowFont());
  TEXTMETRICA metrics;
  ASSERT_TRUE(GetTextMetricsA(context.dc, &metrics));
  EXPECT_GE(metrics.tmHeight, 21);
  EXPECT_LE(metrics.tmHeight, 26);
  EXPECT_EQ(metrics.tmHeight, metrics.tmAscent + metrics.tmDescent);
  const LONG kana = Width(context.dc, platform::Utf16ToCp932(u"あ"));
  EXPECT_GT(kana, 10);
  EXPECT_EQ(Width(context.dc, platform::Utf16ToCp932(u"ああ")), 2 * kana);
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32A(context.dc, "A", 1, &size));
  EXPECT_EQ(size.cy, metrics.tmHeight);
}

// A text texture is the cell's height with the baseline at the ascent: any ink above or below
// the cell is cut off. The comma of the Y/N prompt was the first to show it.
TEST(GdiFonts, CellHoldsTheInkOfDescendersAndBracketsAtTheGameSizes) {
  for (const int height : {-13, -21, -27}) {
    for (const bool bold : {false, true}) {
      DeviceContext context(WindowFont(bold, height));
      TEXTMETRICA metrics;
      ASSERT_TRUE(GetTextMetricsA(context.dc, &metrics));
      for (const char c : std::string(",gjpqy();_|")) {
        SCOPED_TRACE(std::string("'") + c + "' at height " + std::to_string(height) + (bold ? " bold" : ""));
        GLYPHMETRICS glyph;
        ASSERT_FALSE(Glyph(context.dc, static_cast<unsigned char>(c), GGO_GRAY8_BITMAP, glyph).empty());
        EXPECT_LE(glyph.gmptGlyphOrigin.y, metrics.tmAscent) << "ink above the cell";
        EXPECT_LE(static_cast<LONG>(glyph.gmBlackBoxY) - glyph.gmptGlyphOrigin.y, metrics.tmDescent)
            << "ink below the cell";
      }
    }
  }
}

TEST(GdiFonts, UnknownFaceFallsBackToAJapaneseFont) {
  TFont font = WindowFont();
  font.Name = "No Such Face 123";
  DeviceContext context(font);
  GLYPHMETRICS metrics;
  EXPECT_FALSE(Glyph(context.dc, 0x82A0, GGO_GRAY8_BITMAP, metrics).empty());  // あ
}

TEST(GdiGlyphs, GrayBitmapHoldsLevelsUpToSixtyFourInAlignedRows) {
  DeviceContext context(WindowFont());
  GLYPHMETRICS metrics;
  const auto bitmap = Glyph(context.dc, 0x81A1, GGO_GRAY8_BITMAP, metrics);  // ■, solid ink
  ASSERT_FALSE(bitmap.empty());
  const UINT pitch = (metrics.gmBlackBoxX + 3) & ~3u;
  EXPECT_EQ(bitmap.size(), pitch * metrics.gmBlackBoxY);
  EXPECT_EQ(*std::max_element(bitmap.begin(), bitmap.end()), 64);
  EXPECT_GT(metrics.gmCellIncX, 0);
  EXPECT_GT(metrics.gmptGlyphOrigin.y, 0);
}

TEST(GdiGlyphs, MonochromeBitmapRowsArePaddedToFourBytes) {
  DeviceContext context(WindowFont());
  GLYPHMETRICS metrics;
  const auto bitmap = Glyph(context.dc, 0x81A1, GGO_BITMAP, metrics);
  ASSERT_FALSE(bitmap.empty());
  EXPECT_EQ(bitmap.size(), (((metrics.gmBlackBoxX + 7) / 8 + 3) & ~3u) * metrics.gmBlackBoxY);
  EXPECT_EQ(bitmap[0] & 0x80, 0x80) << "the top-left of a solid square is inked";
}

TEST(GdiGlyphs, SpaceHasAdvanceButNoBitmap) {
  DeviceContext context(WindowFont());
  GLYPHMETRICS metrics;
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  EXPECT_EQ(GetGlyphOutlineA(context.dc, ' ', GGO_GRAY8_BITMAP, &metrics, 0, nullptr, &identity), 0u);
  EXPECT_GT(metrics.gmCellIncX, 0);
}

TEST(GdiGlyphs, BoldIsSynthesisedWhenTheFamilyHasNoBoldFace) {
  DeviceContext regular(WindowFont(false));
  DeviceContext bold(WindowFont(true));
  GLYPHMETRICS regularMetrics, boldMetrics;
  const auto thin = Glyph(regular.dc, 0x8EA9, GGO_GRAY8_BITMAP, regularMetrics);  // 自
  const auto thick = Glyph(bold.dc, 0x8EA9, GGO_GRAY8_BITMAP, boldMetrics);
  auto ink = [](const std::vector<std::uint8_t>& bitmap) {
    long sum = 0;
    for (const auto level : bitmap) sum += level;
    return sum;
  };
  EXPECT_GT(ink(thick), ink(thin) * 11 / 10);
}

TEST(GdiFaces, InstalledListHasEveryFamilyNameIncludingLocalisedOnes) {
  const auto faces = InstalledFontFaces();
  EXPECT_TRUE(std::is_sorted(faces.begin(), faces.end()));
  EXPECT_NE(std::find(faces.begin(), faces.end(), "IPAPGothic"), faces.end());
  EXPECT_NE(std::find(faces.begin(), faces.end(), platform::Utf16ToCp932(u"IPA Pゴシック")), faces.end());
  TFont font = WindowFont();
  font.Name = platform::Utf16ToCp932(u"IPA Pゴシック");
  DeviceContext localised(font);
  GLYPHMETRICS metrics;
  EXPECT_FALSE(Glyph(localised.dc, 0x82A0, GGO_GRAY8_BITMAP, metrics).empty());
}
