// Real pixels from the headless renderer: what the player would see.
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>

#include "DGPixelFormat.h"
#include "sprite_fixture.h"
#include "support/blend_cases.h"

namespace {

// A different colour for every texel, opaque.
D3DCOLOR TexelColour(LONG i, LONG j) {
  return 0xFF000000 | static_cast<D3DCOLOR>((i * 29 + 7) & 0xFF) << 16 | static_cast<D3DCOLOR>((j * 41 + 3) & 0xFF) << 8 |
         static_cast<D3DCOLOR>((i * 5 + j * 13 + 100) & 0xFF);
}

int Red(D3DCOLOR c) { return static_cast<int>((c >> 16) & 0xFF); }
int Green(D3DCOLOR c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(D3DCOLOR c) { return static_cast<int>(c & 0xFF); }


}  // namespace

class ScenePixels : public SpriteTest {
 protected:
  std::unique_ptr<TDGTexture> Patterned(UINT width, UINT height) {
    auto texture = NewTexture();
    texture->SetSize(width, height);
    texture->ForEachPixel({0, 0, LONG(width), LONG(height)}, [](TDGTexture& t, DWORD, LONG x, LONG y) {
      return DGColorToPixel(TexelColour(x, y), t.Format());
    });
    return texture;
  }

  void Draw(TDGTexture& texture, float x, float y, std::uint32_t colour) {
    const auto corners = Corners(texture, colour);
    scene->QueueQuad(x, y, corners.data(), &texture, sxbAlphaBlend, 0, 1, 0);
  }

  static std::vector<D3DCOLOR> Frame() {
    int width = 0, height = 0;
    auto frame = headless::ReadFrame(width, height);
    for (auto& pixel : frame) pixel &= 0xFFFFFF;
    return frame;
  }
};

TEST_F(ScenePixels, TexelLandsOnExactlyOnePixelWithPointSampling) {
  struct Case {
    UINT width, height;
    float x, y;
    bool powerOfTwoOnly;
  };
  for (const Case c : {Case{7, 5, 101, 57, false}, Case{16, 8, 0, 0, false}, Case{13, 11, 300, 200, true}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    headless::SetTextureCaps(c.powerOfTwoOnly, false);
    auto texture = Patterned(c.width, c.height);
    if (c.powerOfTwoOnly) {
      ASSERT_LT(texture->ScaleU(), 1.0f) << "the picture must use part of its texture";
    }
    Draw(*texture, c.x, c.y, 0xFFFFFFFF);
    RenderFrame();
    const auto frame = Frame();
    const int left = static_cast<int>(c.x), top = static_cast<int>(c.y);
    for (int py = std::max(0, top - 1); py <= top + static_cast<int>(c.height); ++py) {
      for (int px = std::max(0, left - 1); px <= left + static_cast<int>(c.width); ++px) {
        const int i = px - left, j = py - top;
        const bool inside = i >= 0 && j >= 0 && i < static_cast<int>(c.width) && j < static_cast<int>(c.height);
        const D3DCOLOR expected = inside ? TexelColour(i, j) & 0xFFFFFF : 0;
        ASSERT_EQ(frame[static_cast<size_t>(py * 640 + px)], expected) << "pixel " << px << "," << py;
      }
    }
  }
}

TEST_F(ScenePixels, TexelsPastTheScreenEdgeAreCutNotSqueezed) {
  auto texture = Patterned(12, 9);
  Draw(*texture, 634, 475, 0xFFFFFFFF);
  RenderFrame();
  const auto frame = Frame();
  for (int j = 0; j < 5; ++j) {
    for (int i = 0; i < 6; ++i) {
      ASSERT_EQ(frame[static_cast<size_t>((475 + j) * 640 + 634 + i)], TexelColour(i, j) & 0xFFFFFF) << i << "," << j;
    }
  }
}

TEST_F(ScenePixels, HalfClearColourBlendsAtTwoHundredOf255) {
  auto red = Solid(10, 10, 0xFFFF0000);
  auto white = Solid(10, 10, 0xFFFFFFFF);
  auto blue = Solid(10, 10, 0xFF0000FF);
  Draw(*white, 100, 100, 0xC8FFFFFF);  // over the cleared black
  Draw(*red, 200, 100, 0xFFFFFFFF);
  Draw(*blue, 200, 100, 0xC8FFFFFF);  // over red
  RenderFrame();
  const auto frame = Frame();
  const D3DCOLOR overBlack = frame[105 * 640 + 105];
  EXPECT_NEAR(Red(overBlack), 200, 1);
  EXPECT_EQ(Red(overBlack), Green(overBlack));
  EXPECT_EQ(Red(overBlack), Blue(overBlack));
  const D3DCOLOR overRed = frame[105 * 640 + 205];
  EXPECT_NEAR(Red(overRed), 55, 1);
  EXPECT_EQ(Green(overRed), 0);
  EXPECT_NEAR(Blue(overRed), 200, 1);
}

TEST_F(ScenePixels, EveryBlendModeGivesTheDevicesPixels) {
  using namespace blend_cases;
  auto under = Solid(2, 1, kUnder);
  auto texels = NewTexture();
  texels->SetSize(2, 1);
  texels->ForEachPixel({0, 0, 2, 1}, [](TDGTexture& t, DWORD, LONG x, LONG) {
    return DGColorToPixel(x == 0 ? kHalfTexel : kClearTexel, t.Format());
  });
  for (size_t i = 0; i < kCases.size(); ++i) {
    Queue(*under, static_cast<float>(X(i)), kY, sxbOpaque, 1, 0);
    Queue(*texels, static_cast<float>(X(i)), kY, kCases[i].mode, 1, 0);
  }
  RenderFrame();
  for (size_t i = 0; i < kCases.size(); ++i) {
    SCOPED_TRACE("blend mode " + std::to_string(kCases[i].mode));
    EXPECT_EQ(Pixel(X(i), kY), kCases[i].overHalf) << std::hex << Pixel(X(i), kY);
    EXPECT_EQ(Pixel(X(i) + 1, kY), kCases[i].overClear) << std::hex << Pixel(X(i) + 1, kY);
  }
}

// Grey at alpha 253 over white is 128.996: the device rounds to 129, not down to 127,
// whether the alpha is the texel's or the vertex colour's.
TEST_F(ScenePixels, AlphaBlendingRoundsToTheNearestLevel) {
  auto white = Solid(1, 1, 0xFFFFFFFF);
  auto translucent = Solid(1, 1, 0xFD808080);
  auto opaque = Solid(1, 1, 0xFF808080);
  Queue(*white, 5, 5, sxbOpaque, 1, 0);
  Queue(*translucent, 5, 5, sxbAlphaBlend, 1, 0);
  Queue(*white, 7, 5, sxbOpaque, 1, 0);
  const auto corners = Corners(*opaque, 0xFDFFFFFF);
  scene->QueueQuad(7, 5, corners.data(), opaque.get(), sxbAlphaBlend, 0, 1, 0);
  RenderFrame();
  EXPECT_EQ(Pixel(5, 5), 0x818181u) << std::hex << Pixel(5, 5);
  EXPECT_EQ(Pixel(7, 5), 0x818181u) << std::hex << Pixel(7, 5);
}

// Every alpha level, the texel's and the vertex colour's, against the exact blend in real
// numbers rounded to the nearest level: grey 0x80 over white.
TEST_F(ScenePixels, AlphaBlendingIsExactAtEveryLevel) {
  auto white = Solid(256, 2, 0xFFFFFFFF);
  auto grey = NewTexture();
  grey->SetSize(256, 1);
  grey->ForEachPixel({0, 0, 256, 1}, [](TDGTexture& t, DWORD, LONG x, LONG) {
    return DGColorToPixel(static_cast<D3DCOLOR>(x) << 24 | 0x808080u, t.Format());
  });
  auto opaqueGrey = Solid(1, 1, 0xFF808080);
  Queue(*white, 0, 0, sxbOpaque, 1, 0);
  Queue(*grey, 0, 0, sxbAlphaBlend, 1, 0);
  for (int a = 0; a < 256; ++a) {
    const auto corners = Corners(*opaqueGrey, static_cast<std::uint32_t>(a) << 24 | 0xFFFFFFu);
    scene->QueueQuad(static_cast<float>(a), 1, corners.data(), opaqueGrey.get(), sxbAlphaBlend, 0, 1, 0);
  }
  RenderFrame();
  int width = 0, height = 0;
  const auto frame = headless::ReadFrame(width, height);
  for (int a = 0; a < 256; ++a) {
    const double exact = (128.0 * a + 255.0 * (255 - a)) / 255.0;
    const auto expected = static_cast<D3DCOLOR>(std::lround(exact));
    ASSERT_EQ(frame[static_cast<size_t>(a)] & 0xFF, expected) << "texel alpha " << a;
    ASSERT_EQ(frame[static_cast<size_t>(width + a)] & 0xFF, expected) << "vertex alpha " << a;
  }
}

TEST_F(ScenePixels, BlackVertexColourTurnsWhiteGlyphsBlack) {
  TSXTextWriter writer(*carad, D3DFMT_A8R8G8B8, 16);
  writer.SetFont(WindowFont());
  auto text = writer.CreateTextTexture(Sjis("ことぶね"), DGAlphaFormats, "");
  auto paper = Solid(200, 40, 0xFFFFFFFF);
  Draw(*paper, 100, 100, 0xFFFFFFFF);
  Draw(*text, 110, 105, 0xFF000000);
  RenderFrame();
  const auto frame = Frame();
  const auto texels = Texels(*text);
  int solid = 0, clear = 0;
  for (UINT y = 0; y < text->Height(); ++y) {
    for (UINT x = 0; x < text->Width(); ++x) {
      const D3DCOLOR pixel = frame[(105 + y) * 640 + 110 + x];
      const int alpha = static_cast<int>(texels[y * text->TexWidth() + x] >> 24);
      ASSERT_TRUE(Red(pixel) == Green(pixel) && Green(pixel) == Blue(pixel)) << "ink stays gray: " << x << "," << y;
      ASSERT_NEAR(Red(pixel), 255 - alpha, 1) << x << "," << y;
      solid += alpha == 255 && pixel == 0;
      clear += alpha == 0 && pixel == 0xFFFFFF;
    }
  }
  EXPECT_GT(solid, 20) << "fully covered texels show pure black";
  EXPECT_GT(clear, 20) << "uncovered texels leave the paper white";
}

using GlyphPixels = WriterTest;

// The glyph call's coverage levels against the alpha the cache stores for them.
TEST_F(GlyphPixels, CoverageLevelsBecomeAlphaFourTimesOverWithFullAsOpaque) {
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  std::set<int> levels;
  for (const char* text : {"ことぶね", "四字熟語", "■", "A", "W", "@", "%", "○", "鬱"}) {
    const std::string sjis = Sjis(text);
    for (size_t i = 0; i < sjis.size();) {
      const auto lead = static_cast<unsigned char>(sjis[i]);
      const bool pair = lead >= 0x81 && !(lead >= 0xA0 && lead <= 0xDF);
      const UINT code = pair ? lead * 256u + static_cast<unsigned char>(sjis[i + 1]) : lead;
      i += pair ? 2 : 1;
      GLYPHMETRICS metrics{};
      const DWORD size = GetGlyphOutlineA(writer->Canvas(), code, GGO_GRAY8_BITMAP, &metrics, 0, nullptr, &identity);
      ASSERT_GT(size, 0u);
      std::vector<std::uint8_t> gray(size);
      GetGlyphOutlineA(writer->Canvas(), code, GGO_GRAY8_BITMAP, &metrics, size, gray.data(), &identity);
      const TSXFontCacheData glyph = writer->Cache().GetGlyph(static_cast<std::int32_t>(code), writer->Font());
      ASSERT_EQ(glyph.width, static_cast<std::int32_t>(metrics.gmBlackBoxX));
      ASSERT_EQ(glyph.pitch, glyph.width * 4);
      const std::int32_t sourcePitch = (glyph.width + 3) / 4 * 4;
      for (std::int32_t y = 0; y < glyph.height; ++y) {
        for (std::int32_t x = 0; x < glyph.width; ++x) {
          const int level = gray[static_cast<size_t>(y * sourcePitch + x)];
          levels.insert(level);
          std::uint32_t pixel = 0;
          std::memcpy(&pixel, &glyph.pixels[static_cast<size_t>(y * glyph.pitch + x * 4)], 4);
          const std::uint32_t alpha = level == 64 ? 255u : static_cast<std::uint32_t>(level) * 4;
          ASSERT_EQ(pixel, alpha << 24 | 0xFFFFFFu) << text << " level " << level << " at " << x << "," << y;
        }
      }
    }
  }
  EXPECT_TRUE(levels.count(0) == 1 && levels.count(64) == 1) << "both ends of the scale were seen";
  EXPECT_EQ(levels.count(63), 1u) << "the level just under full coverage was seen";
  EXPECT_LE(*levels.rbegin(), 64);
}

// Which bytes start a pair: 0x81-0x9F and 0xE0-0xFF; everything else stands alone.
TEST_F(GlyphPixels, LeadByteRangesHaveExactEdges) {
  auto texture = NewTexture();
  texture->SetSize(300, 30);
  for (const int lead : {0x80, 0x81, 0x9F, 0xA0, 0xDF, 0xE0, 0xFC}) {
    SCOPED_TRACE(lead);
    TSXTextWriter fresh(*carad, D3DFMT_A8R8G8B8, 16);
    fresh.SetFont(WindowFont());
    const std::string text{static_cast<char>(lead), '\x41'};
    fresh.DrawText(0, 0, *texture, text);
    const bool pair = (lead >= 0x81 && lead <= 0x9F) || lead >= 0xE0;
    EXPECT_EQ(fresh.Cache().Count(lead), pair ? 0 : 1);
    EXPECT_EQ(fresh.Cache().Count(0x41), 1);
    EXPECT_EQ(fresh.Cache().GetGlyph(pair ? lead * 256 + 0x41 : 0x41, fresh.Font()).code, pair ? lead * 256 + 0x41 : 0x41);
    EXPECT_EQ(fresh.Cache().Count(0x41), 1) << "the code drawn was already cached";
  }
}
