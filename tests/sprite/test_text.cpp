#include "sprite_fixture.h"

class TextWriterTest : public WriterTest {
 protected:
  std::unique_ptr<TDGTexture> Blank(UINT width, UINT height) {
    auto texture = NewTexture();
    texture->SetSize(width, height);
    texture->FillRect({0, 0, LONG(width), LONG(height)}, 0, false);
    return texture;
  }

  // Columns of the texture that hold any ink.
  static std::vector<bool> InkedColumns(TDGTexture& texture) {
    const auto texels = Texels(texture);
    std::vector<bool> inked(texture.Width(), false);
    for (UINT y = 0; y < texture.Height(); ++y) {
      for (UINT x = 0; x < texture.Width(); ++x) inked[x] = inked[x] || (texels[y * texture.TexWidth() + x] >> 24) != 0;
    }
    return inked;
  }

};

TEST_F(TextWriterTest, GlyphsAreWhiteWithCoverageAsAlpha) {
  auto texture = writer->CreateTextTexture(Sjis("■"), DGAlphaFormats, "");
  EXPECT_EQ(texture->Width(), static_cast<UINT>(writer->TextWidth(Sjis("■"))));
  EXPECT_EQ(texture->Height(), static_cast<UINT>(writer->TextHeight(Sjis("■"))));
  bool solid = false;
  for (const D3DCOLOR texel : Texels(*texture)) {
    if ((texel >> 24) != 0) {
      EXPECT_EQ(texel & 0xFFFFFF, 0xFFFFFFu);
    }
    solid = solid || texel == 0xFFFFFFFF;
  }
  EXPECT_TRUE(solid) << "full coverage gives alpha 255";
}

TEST_F(TextWriterTest, LeadBytesPairAndLoneBytesStandAlone) {
  auto texture = Blank(200, 30);
  writer->DrawText(0, 0, *texture, "\x82\xA0");  // あ
  TSXFontCache& cache = writer->Cache();
  EXPECT_EQ(cache.Count(0xA0), 1);
  EXPECT_EQ(cache.Count(0x82), 0);
  writer->DrawText(0, 0, *texture, "A\x82");  // a lone lead byte at the end is a character of its own
  EXPECT_EQ(cache.Count(0x82), 1);
  writer->DrawText(0, 0, *texture, "\xB1");  // half-width katakana
  EXPECT_EQ(cache.Count(0xB1), 1);
}

TEST_F(TextWriterTest, TextLeftOfTheTextureIsClippedNotShifted) {
  const std::string abc = "ABC";
  auto whole = Blank(100, 30);
  writer->DrawText(0, 0, *whole, abc);
  auto clipped = Blank(100, 30);
  writer->DrawText(-5, 0, *clipped, abc);
  const auto wholeTexels = Texels(*whole);
  const auto clippedTexels = Texels(*clipped);
  for (UINT y = 0; y < 30; ++y) {
    for (UINT x = 0; x + 5 < 60; ++x) {
      ASSERT_EQ(clippedTexels[y * clipped->TexWidth() + x], wholeTexels[y * whole->TexWidth() + x + 5]) << x << "," << y;
    }
  }
}

TEST_F(TextWriterTest, DrawingStopsAtTheTextureWidth) {
  auto texture = Blank(40, 30);
  writer->DrawText(40, 0, *texture, "ABC");
  for (const bool inked : InkedColumns(*texture)) EXPECT_FALSE(inked);
  writer->DrawText(0, 0, *texture, std::string(200, 'W'));
  EXPECT_LE(writer->Cache().Count('W'), 1);
}

TEST_F(TextWriterTest, SpaceAdvancesWithoutInk) {
  auto texture = Blank(100, 30);
  writer->DrawText(0, 0, *texture, " A");
  const auto inked = InkedColumns(*texture);
  EXPECT_FALSE(inked[0]);
  EXPECT_TRUE(std::find(inked.begin(), inked.end(), true) != inked.end());
}

TEST_F(TextWriterTest, CacheEvictsTheLeastRecentlyUsedOfABucket) {
  TSXFontCache& cache = writer->Cache();
  const TFont font = WindowFont();
  // Codes 0x8140 + 256 k share the low byte 0x40.
  for (int k = 0; k < 16; ++k) cache.GetGlyph(0x8140 + 256 * k, font);
  EXPECT_EQ(cache.Count(0x40), 16);
  cache.GetGlyph(0x8140, font);  // used again: now the most recent
  cache.GetGlyph(0x9140, font);  // a 17th evicts the least recent, 0x8240
  EXPECT_EQ(cache.Count(0x40), 16);
  TSXFontCacheData first = cache.GetGlyph(0x8140, font);
  EXPECT_EQ(first.code, 0x8140);
}

TEST_F(TextWriterTest, SameCharacterInTwoHeightsIsCachedTwiceAndFoundAgain) {
  TSXFontCache& cache = writer->Cache();
  auto texture = Blank(60, 40);
  writer->DrawText(0, 0, *texture, "Q");
  writer->SetFontSize(20);
  writer->DrawText(0, 0, *texture, "Q");
  EXPECT_EQ(cache.Count('Q'), 2);
  writer->SetFont(WindowFont());
  writer->DrawText(0, 0, *texture, "Q");
  EXPECT_EQ(cache.Count('Q'), 2);
}

TEST_F(TextWriterTest, PointSizesConvertAtNinetySixDpi) {
  writer->SetFontSize(10);
  EXPECT_EQ(writer->Font().Height, -13);
  EXPECT_TRUE(writer->Font().Bold);
  writer->SetFontSize(20);
  EXPECT_EQ(writer->Font().Height, -27);
}
