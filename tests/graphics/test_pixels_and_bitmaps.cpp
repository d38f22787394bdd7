// Pixel formats, the BMP reader and the 32-bit writer.
#include "graphics_fixture.h"

namespace {

TEST(PixelFormat, WorkedValues) {
  EXPECT_EQ(DGColorToPixel(0x80FF8040, D3DFMT_A4R4G4B4), 0x8F84u);
  EXPECT_EQ(DGPixelToColor(0x8F84, D3DFMT_A4R4G4B4), 0x88FF8844u);
  EXPECT_EQ(DGPixelToColor(0xFFFF, D3DFMT_R5G6B5), 0xFFFFFFFFu);
  EXPECT_EQ(DGPixelToColor(0x07E0, D3DFMT_R5G6B5), 0xFF00FF00u);
  EXPECT_EQ(DGColorToPixel(0x12345678, D3DFMT_L8), 0x34u);
  EXPECT_EQ(DGPixelToColor(0x4210, D3DFMT_X1R5G5B5), 0xFF838383u);  // 16 of 31 stretches to 131
}

TEST(PixelFormat, ChannelLayouts) {
  EXPECT_EQ(DGColorToPixel(0x80FF8040, D3DFMT_A1R5G5B5), 0xFE08u);
  EXPECT_EQ(DGColorToPixel(0x7FFF8040, D3DFMT_A1R5G5B5), 0x7E08u);
  EXPECT_EQ(DGColorToPixel(0xFFFFFFFF, D3DFMT_R5G6B5), 0xFFFFu);
  EXPECT_EQ(DGColorToPixel(0xAB123456, D3DFMT_X8R8G8B8), 0x00123456u);
  EXPECT_EQ(DGColorToPixel(0xAB123456, D3DFMT_R8G8B8), 0xAB123456u);
  EXPECT_EQ(DGComponentsToPixel(0xAB, 0x12, 0x34, 0x56, D3DFMT_R8G8B8), 0x00123456u);
  EXPECT_EQ(DGComponentsToPixel(0x1AB, 0x112, 0x34, 0x56, D3DFMT_A8R8G8B8), 0xAB123456u);
  EXPECT_EQ(DGColorToPixel(0x80FF8040, D3DFMT_A8L8), 0x80FFu);
  EXPECT_EQ(DGPixelToColor(0x00123456, D3DFMT_X8R8G8B8), 0xFF123456u);
  EXPECT_EQ(DGPixelToColor(0x7C00, D3DFMT_A1R5G5B5), 0x00FF0000u);
  EXPECT_EQ(DGColorToPixel(0x12345678, D3DFMT_DXT1), 0u);
  EXPECT_EQ(DGFormatBitCount(D3DFMT_R8G8B8), 24);
  EXPECT_EQ(DGFormatBitCount(D3DFMT_D24S8), 32);
  EXPECT_EQ(DGFormatBitCount(D3DFMT_A4L4), 8);
  EXPECT_EQ(DGFormatBitCount(D3DFMT_DXT1), 0);
}

TEST(PixelFormat, SixteenBitFormatsRoundTripTheirOwnPixels) {
  for (const D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X1R5G5B5}) {
    for (DWORD pixel = 0; pixel < 0x10000; pixel += 0x0123) {
      const DWORD kept = format == D3DFMT_X1R5G5B5 ? pixel & 0x7FFF : pixel;
      EXPECT_EQ(DGColorToPixel(DGPixelToColor(kept, format), format), kept) << DGFormatName(format);
    }
  }
}

class BitmapTest : public TextureFixture {
 protected:
  void Load(const std::vector<std::uint8_t>& bmp) {
    TMemoryStream stream(bmp);
    texture->LoadBMPFromStream(stream);
  }
  // Reads into the texture as it is, without resizing it first.
  void ReadInto(const std::vector<std::uint8_t>& bmp) {
    TMemoryStream stream(bmp);
    DGLoadBMPIntoTexture(*texture->Texture(), stream);
  }
};

TEST_F(BitmapTest, EachDepthReadsIntoA8R8G8B8) {
  const auto gray = [](int i) { return static_cast<std::uint32_t>(i * 0x010101); };
  Load(MakeBmp(3, 2, 8, [](int x, int y) { return static_cast<std::uint32_t>(10 * y + x); }, gray));
  EXPECT_EQ(texture->Format(), D3DFMT_A8R8G8B8);
  EXPECT_EQ(Texel(*texture, 2, 1), 0xFF0C0C0Cu);
  EXPECT_EQ(Texel(*texture, 0, 0), 0xFF000000u);

  Load(MakeBmp(3, 2, 16, [](int x, int) { return x == 0 ? 0x7C00u : x == 1 ? 0xC210u : 0x001Fu; }));
  EXPECT_EQ(Texel(*texture, 0, 1), 0xFFFF0000u);
  EXPECT_EQ(Texel(*texture, 1, 1), 0xFF838383u);  // bit 15 ignored, 16 of 31 is 131
  EXPECT_EQ(Texel(*texture, 2, 0), 0xFF0000FFu);

  // Width 3: rows of 9 pixel bytes padded to 12.
  Load(MakeBmp(3, 2, 24, [](int x, int y) { return 0x102030u * static_cast<std::uint32_t>(x + 1) + (y ? 1u : 0u); }));
  EXPECT_EQ(Texel(*texture, 0, 0), 0xFF102030u);
  EXPECT_EQ(Texel(*texture, 2, 1), 0xFF306091u);

  Load(MakeBmp(2, 2, 32, [](int x, int y) { return x == y ? 0x40AABBCCu : 0x00112233u; }));
  EXPECT_EQ(Texel(*texture, 1, 1), 0x40AABBCCu);
  EXPECT_EQ(Texel(*texture, 1, 0), 0x00112233u);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{});
}

TEST_F(BitmapTest, WhatDoesNotFitIsCutAtTheBottomAndRight) {
  texture->SetSize(2, 2);
  const auto picture = [](int x, int y) { return 0xFF000000u | static_cast<std::uint32_t>(16 * y + x); };
  ReadInto(MakeBmp(3, 4, 32, picture));
  EXPECT_EQ(Texels(*texture), (std::vector<D3DCOLOR>{picture(0, 0), picture(1, 0), picture(0, 1), picture(1, 1)}));
}

TEST_F(BitmapTest, RefusalsLeaveTheTextureUntouched) {
  texture->SetSize(2, 2);
  texture->FillRect({0, 0, 2, 2}, 0x12345678, false);
  const std::vector<D3DCOLOR> before = Texels(*texture);

  auto fourBit = MakeBmp(2, 2, 8, [](int, int) { return 0u; });
  fourBit[28] = 4;
  ReadInto(fourBit);
  auto notBm = MakeBmp(2, 2, 32, [](int, int) { return 0xFFFFFFFFu; });
  notBm[0] = 'X';
  ReadInto(notBm);
  auto topDown = MakeBmp(2, 2, 32, [](int, int) { return 0xFFFFFFFFu; });
  topDown[22] = 0xFE;  // height -2
  topDown[23] = topDown[24] = topDown[25] = 0xFF;
  ReadInto(topDown);
  ReadInto({'B', 'M', 0});
  EXPECT_EQ(Texels(*texture), before);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                            "色数が8ビット～32ビットの範囲のビットマップを、LoadBMPには指定してください(Error Code = "
                            "UNKNOWN ERROR ... $00000001)",
                            "不正なBMPファイルです", "不正なBMPファイルです",
                            "ビットマップの読みこみ中に、エラーが発生しました"}));
}

TEST_F(BitmapTest, ATruncatedBitmapKeepsTheRowsAlreadyRead) {
  texture->SetSize(2, 2);
  auto bmp = MakeBmp(2, 2, 32, [](int, int y) { return y == 1 ? 0xFF00FF00u : 0xFFFF0000u; });
  bmp.resize(bmp.size() - 4);
  ReadInto(bmp);
  EXPECT_EQ(Texels(*texture), (std::vector<D3DCOLOR>{0, 0, 0xFF00FF00u, 0xFF00FF00u}));
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"LoadBMP中に、読み込みエラーが発生しました"});
}

TEST_F(BitmapTest, ThirtyTwoBitRoundTripKeepsEveryPixel) {
  texture->SetSize(5, 3);
  int i = 0;
  texture->ForEachPixel({0, 0, 5, 3}, [&i](TDGTexture&, DWORD, LONG, LONG) { return 0x01020304u * ++i ^ 0x80000000u; });
  const std::vector<D3DCOLOR> written = Texels(*texture);
  TMemoryStream saved;
  texture->SaveToBMPStream(saved);
  ASSERT_EQ(saved.Size(), 5 * 3 * 4 + 54);
  EXPECT_EQ(saved.Memory()[28], 32);

  auto copy = NewTexture();
  saved.SetPosition(0);
  copy->LoadBMPFromStream(saved);
  EXPECT_EQ(copy->Width(), 5u);
  EXPECT_EQ(Texels(*copy), written);
}

}  // namespace

TEST_F(BitmapTest, SixteenBitBitFieldsFollowTheirMasks) {
  const auto row = [](std::uint32_t a, std::uint32_t b) { return [=](int x, int) { return x == 0 ? a : b; }; };
  Load(MakeBmpLike({40, 3, {0xF800, 0x07E0, 0x001F, 0}}, 2, 1, 16, row(0x07E0, 0x8410)));
  EXPECT_EQ(Texel(*texture, 0, 0), 0xFF00FF00u) << "565";
  EXPECT_EQ(Texel(*texture, 1, 0), 0xFF838183u) << "565: 16 of 31, 32 of 63, 16 of 31";

  Load(MakeBmpLike({108, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}}, 2, 1, 16, row(0x8F0A, 0x0000)));
  EXPECT_EQ(Texel(*texture, 0, 0), 0x88FF00AAu) << "4444";

  Load(MakeBmpLike({124, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}}, 2, 1, 16, row(0x7FFF, 0x8000)));
  EXPECT_EQ(Texel(*texture, 0, 0), 0x00FFFFFFu) << "1555 keeps its alpha";
  EXPECT_EQ(Texel(*texture, 1, 0), 0xFF000000u) << "1555";
  EXPECT_EQ(LogTexts(), std::vector<std::string>{});
}

TEST_F(BitmapTest, PalettesFollowTheHeaderWhateverItsSizeWithTheirStatedCount) {
  const auto indices = [](int x, int) { return static_cast<std::uint32_t>(x); };
  const auto colours = [](int i) { return i == 0 ? 0x0000FFu : 0x00FF00u; };
  for (const std::uint32_t headerSize : {40u, 108u, 124u}) {
    Load(MakeBmpLike({headerSize, 0, {}, 2}, 2, 1, 8, indices, colours));
    EXPECT_EQ(Texel(*texture, 0, 0), 0xFF0000FFu) << headerSize;
    EXPECT_EQ(Texel(*texture, 1, 0), 0xFF00FF00u) << headerSize;
  }
  Load(MakeBmpLike({124, 0, {}, 0}, 2, 1, 8, indices, [](int i) { return i == 1 ? 0xABCDEFu : 0u; }));
  EXPECT_EQ(Texel(*texture, 1, 0), 0xFFABCDEFu) << "a count of 0 means all 256";
  EXPECT_EQ(LogTexts(), std::vector<std::string>{});
}

TEST_F(BitmapTest, TopDownAndCompressedBitmapsAreRefusedThroughEveryPath) {
  const UINT width = texture->Width();
  Load(MakeBmpLike({}, 2, -5, 32, [](int, int) { return 0xFFFFFFFFu; }));
  Load(MakeBmpLike({40, 1}, 2, 2, 8, [](int, int) { return 0u; }, [](int) { return 0u; }));
  EXPECT_EQ(texture->Width(), width);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"不正なBMPファイルです", "不正なBMPファイルです"}));
}
