// Textures: sizing, formats, fills, colour keys and what survives a device re-creation.
#include "QDAWriter.h"
#include "graphics_fixture.h"

namespace {

class TextureTest : public TextureFixture {
 protected:
  // One member, "pic.bmp", raw or compressed.
  std::string WriteArchive(const std::vector<std::uint8_t>& bmp, bool compress = true) {
    const QDAMemberSource members[] = {{"pic.bmp", bmp}};
    WriteFileAtomically(folder.Native("data.qda"), QDABuildArchive(members, compress));
    return folder.Game("data.qda");
  }
};

const auto kBlackAndColours = [](int x, int y) -> std::uint32_t {
  if ((x + y) % 3 == 0) return 0x000000;
  return (x + y) % 3 == 1 ? 0x0000FF : 0x80FF40;
};

TEST_F(TextureTest, PowerOfTwoAndSquareOnlySizes) {
  headless::SetTextureCaps(true, false);
  texture->SetSize(100, 60);
  EXPECT_EQ(texture->TexWidth(), 128u);
  EXPECT_EQ(texture->TexHeight(), 64u);
  EXPECT_FLOAT_EQ(texture->ScaleU(), 0.78125f);
  EXPECT_FLOAT_EQ(texture->ScaleV(), 0.9375f);
  headless::SetTextureCaps(true, true);
  texture->SetSize(100, 60);
  EXPECT_EQ(texture->TexWidth(), 128u);
  EXPECT_EQ(texture->TexHeight(), 128u);
  EXPECT_FLOAT_EQ(texture->ScaleV(), 0.46875f);
  headless::SetTextureCaps(false, false);
  texture->SetSize(100, 60);
  EXPECT_EQ(texture->TexWidth(), 100u);
  EXPECT_FLOAT_EQ(texture->ScaleU(), 1.0f);
}

TEST_F(TextureTest, TooLargeOrNegativeSizesFailWithoutHanging) {
  headless::SetMaxTextureSize(256, 256);
  texture->SetSize(300, 10);
  EXPECT_EQ(texture->Texture(), nullptr);
  headless::SetTextureCaps(true, false);
  texture->SetSize(10, 0xFFFFFFFEu);  // a top-down bitmap's height
  EXPECT_EQ(texture->Texture(), nullptr);
  const auto texts = LogTexts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], "テクスチャの生成に失敗しました(Error Code = D3DERR_INVALIDCALL )");
}

TEST_F(TextureTest, ClearColorFillsOutsideTheImage) {
  headless::SetTextureCaps(true, false);
  texture->ClearColor = 0x000000FF;
  texture->LoadBMP("pic.bmp", WriteArchive(MakeBmp(100, 60, 24, [](int, int) { return 0xFFFFFFu; })));
  EXPECT_EQ(Texel(*texture, 99, 59), 0xFFFFFFFFu);
  EXPECT_EQ(Texel(*texture, 100, 0), 0x000000FFu);
  EXPECT_EQ(Texel(*texture, 0, 60), 0x000000FFu);
  EXPECT_EQ(Texel(*texture, 127, 63), 0x000000FFu);
}

TEST_F(TextureTest, FormatFallsBackToTheBackBuffers) {
  texture = NewTexture(D3DPOOL_MANAGED, {});
  texture->SetSize(4, 4);
  EXPECT_EQ(texture->Format(), D3DFMT_X8R8G8B8);  // windowed: the desktop's format
  FullScreen();
  const D3DFORMAT unusable[] = {D3DFMT_A8};
  auto other = NewTexture(D3DPOOL_MANAGED, unusable);
  other->SetSize(4, 4);
  EXPECT_EQ(other->Format(), D3DFMT_A8R8G8B8);
  headless::SetTextureFormats({D3DFMT_A1R5G5B5, D3DFMT_R5G6B5});
  auto sixteen = NewTexture();
  sixteen->SetSize(4, 4);
  EXPECT_EQ(sixteen->Format(), D3DFMT_A1R5G5B5);
  EXPECT_EQ(sixteen->BytesPerPixel(), 2);
}

// A second key makes the first key's pixels opaque again: each pass leaves every pixel either
// transparent or opaque, whatever alpha it had.
TEST_F(TextureTest, ColourKeysMakeEveryPixelTransparentOrOpaque) {
  const auto bmp = MakeBmp(6, 4, 32, [](int x, int y) { return kBlackAndColours(x, y) | 0x40000000u; });
  texture->LoadBMP("pic.bmp", WriteArchive(bmp));
  for (const D3DCOLOR key : {DGColorARGB(0, 0, 0, 0), DGColorARGB(0, 0, 0, 255)}) {
    texture->SetColorKey({0, 0, 6, 4}, key);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) {
        const D3DCOLOR colour = kBlackAndColours(x, y);
        EXPECT_EQ(Texel(*texture, x, y), colour == key ? colour : colour | 0xFF000000u) << x << "," << y;
      }
    }
  }
}

TEST_F(TextureTest, ColourKeyOnASixteenBitFormatMatchesTheQuantisedKey) {
  headless::SetTextureFormats({D3DFMT_A1R5G5B5});
  texture->SetSize(2, 1);
  texture->ForEachPixel({0, 0, 2, 1}, [](TDGTexture& t, DWORD, LONG x, LONG) {
    return DGColorToPixel(x == 0 ? 0xFF0000FFu : 0xFF0000F8u, t.Format());
  });
  texture->SetColorKey({0, 0, 2, 1}, 0x000000FA);  // the same 5-bit blue as both pixels
  EXPECT_EQ(Texel(*texture, 0, 0) >> 24, 0u);
  EXPECT_EQ(Texel(*texture, 1, 0) >> 24, 0u);
}

TEST_F(TextureTest, FillRectWithAndWithoutKeepingAlpha) {
  texture->LoadBMP("pic.bmp", WriteArchive(MakeBmp(6, 4, 24, kBlackAndColours)));
  texture->SetColorKey({0, 0, 6, 4}, 0);
  texture->FillRect({0, 0, 6, 4}, 0x00FFFFFF, true);
  EXPECT_EQ(Texel(*texture, 0, 0), 0x00FFFFFFu);  // keyed out: stays transparent
  EXPECT_EQ(Texel(*texture, 1, 0), 0xFFFFFFFFu);

  texture->FillRect({2, 1, 4, 3}, 0x9900FF00, false);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
      const D3DCOLOR outside = (x + y) % 3 == 0 ? 0x00FFFFFFu : 0xFFFFFFFFu;
      EXPECT_EQ(Texel(*texture, x, y), inside ? 0x9900FF00u : outside) << x << "," << y;
    }
  }
}

TEST_F(TextureTest, LocksDecideTheSourceKind) {
  D3DLOCKED_RECT locked;
  ASSERT_EQ(texture->SourceKind(), TDGSourceKind::None);
  EXPECT_FALSE(texture->LockRect(0, nullptr, locked, 0));  // no texture yet: a failure line
  EXPECT_EQ(texture->SourceKind(), TDGSourceKind::None);
  texture->LoadBMP("pic.bmp", WriteArchive(MakeBmp(2, 2, 24, kBlackAndColours)));
  EXPECT_EQ(texture->SourceKind(), TDGSourceKind::Archive);
  ASSERT_TRUE(texture->LockRect(0, nullptr, locked, D3DLOCK_READONLY));
  texture->UnlockRect();
  EXPECT_EQ(texture->SourceKind(), TDGSourceKind::Archive);
  ASSERT_TRUE(texture->LockRect(0, nullptr, locked, 0));
  texture->UnlockRect();
  EXPECT_EQ(texture->SourceKind(), TDGSourceKind::Memory);
  EXPECT_EQ(LogTexts().at(0), "テクスチャが確保されていません。LockRectの前にSetSizeするか、BMPを読み込んでください"
                              "(Error Code = UNKNOWN ERROR ... $00000001)");
}

TEST_F(TextureTest, MissingMemberIsReportedAndStillRemembered) {
  const std::string archive = WriteArchive(MakeBmp(2, 2, 24, kBlackAndColours));
  texture->LoadBMP("nothing.bmp", archive);
  EXPECT_EQ(texture->SourceKind(), TDGSourceKind::Archive);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"nothing.bmp ＠ " + platform::Cp932ToUtf8(archive) +
                                                 "からの、読み込みエラー(Error Code = UNKNOWN ERROR ... $00000001)"});
  auto fromFile = NewTexture();
  fromFile->LoadBMP(folder.Game("absent.bmp"));
  EXPECT_EQ(fromFile->SourceKind(), TDGSourceKind::File);
  EXPECT_EQ(LogTexts().size(), 2u);
}

// The archive changes on disk between loading and the device's re-creation: a texture that
// reloads from the archive shows the new picture, one restored from its saved copy the old.
TEST_F(TextureTest, DeviceRecreationRestoresEachSourceKind) {
  const auto white = [](int, int) { return 0xFFFFFFu; };
  const std::string archive = WriteArchive(MakeBmp(3, 2, 24, kBlackAndColours));
  texture->LoadBMP("pic.bmp", archive);
  auto edited = NewTexture();
  edited->LoadBMP("pic.bmp", archive);
  edited->SetColorKey({0, 0, 3, 2}, 0);
  const std::vector<D3DCOLOR> editedBefore = Texels(*edited);
  auto empty = NewTexture();
  auto file = NewTexture();
  const auto whiteBmp = MakeBmp(2, 2, 24, white);
  folder.Write("white.bmp", std::string(whiteBmp.begin(), whiteBmp.end()));
  file->LoadBMP(folder.Game("white.bmp"));
  auto videoMemory = NewTexture(D3DPOOL_DEFAULT);
  videoMemory->SetSize(5, 3);

  WriteArchive(MakeBmp(3, 2, 24, white));
  FullScreen();

  EXPECT_EQ(Texels(*texture), std::vector<D3DCOLOR>(6, 0xFFFFFFFFu));
  EXPECT_EQ(Texels(*edited), editedBefore);
  EXPECT_EQ(edited->SourceKind(), TDGSourceKind::Memory);
  EXPECT_EQ(empty->Texture(), nullptr);  // never sized: nothing to make
  EXPECT_EQ(Texels(*file), std::vector<D3DCOLOR>(4, 0xFFFFFFFFu));
  ASSERT_NE(videoMemory->Texture(), nullptr);
  EXPECT_EQ(videoMemory->TexWidth(), 5u);
  EXPECT_FALSE(videoMemory->Restorable());
  EXPECT_EQ(LogTexts(), std::vector<std::string>{});
}

}  // namespace
