#pragma once
// A window with the graphics component on the headless machine, its debug log in a folder of
// its own, and helpers that build bitmaps and read texture pixels.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DGBitmap.h"
#include "DGCarad9.h"
#include "DGTexture.h"
#include "platform/codepage.h"
#include "platform/headless.h"
#include "platform/headless_graphics.h"
#include "support/temp_folder.h"

inline std::string Sjis(const char* utf8) { return platform::Utf8ToCp932Lossy(utf8); }

// Bitmaps the way other programs write them: a 40, 108 or 124-byte header; bit-field masks
// inside the larger headers or after the 40-byte one; a palette of its stated count.
struct BmpLayout {
  std::uint32_t headerSize = 40;
  std::uint32_t compression = 0;
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
  std::uint32_t paletteCount = 0;        // 0 and 8 bits: all 256
};

inline std::vector<std::uint8_t> MakeBmpLike(const BmpLayout& layout, int width, int height, int bitCount,
                                             const std::function<std::uint32_t(int, int)>& raw,
                                             const std::function<std::uint32_t(int)>& paletteRgb = {}) {
  const int bytes = bitCount / 8;
  const int stride = (width * bytes + 3) / 4 * 4;
  const bool masksAfterHeader = layout.compression == 3 && layout.headerSize == 40;
  const std::uint32_t paletteEntries = bitCount == 8 ? (layout.paletteCount ? layout.paletteCount : 256) : 0;
  const std::uint32_t offset = 14 + layout.headerSize + (masksAfterHeader ? 12 : 0) + 4 * paletteEntries;
  std::vector<std::uint8_t> bmp;
  const auto put = [&bmp](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bmp.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  put(0x4D42, 2);
  put(offset + static_cast<std::uint32_t>(stride * height), 4);
  put(0, 4);
  put(offset, 4);
  put(layout.headerSize, 4);
  put(static_cast<std::uint32_t>(width), 4);
  put(static_cast<std::uint32_t>(height), 4);
  put(1, 2);
  put(static_cast<std::uint32_t>(bitCount), 2);
  put(layout.compression, 4);
  for (int i = 0; i < 3; ++i) put(0, 4);
  put(layout.paletteCount, 4);
  put(0, 4);
  if (layout.headerSize > 40) {
    for (const std::uint32_t mask : layout.masks) put(mask, 4);
    while (bmp.size() < 14 + layout.headerSize) bmp.push_back(0);
  } else if (masksAfterHeader) {
    for (int i = 0; i < 3; ++i) put(layout.masks[static_cast<std::size_t>(i)], 4);
  }
  for (std::uint32_t i = 0; i < paletteEntries; ++i) put(paletteRgb ? paletteRgb(static_cast<int>(i)) : 0, 4);
  for (int y = std::abs(height) - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) put(raw(x, y), bytes);
    for (int pad = width * bytes; pad < stride; ++pad) bmp.push_back(0);
  }
  return bmp;
}

// A bottom-up BMP with a 40-byte header; raw(x, y) gives the stored value of the pixel at
// column x of row y (row 0 at the top): a palette index, a 16-bit word, 0xRRGGBB or 0xAARRGGBB
// by bit count.
inline std::vector<std::uint8_t> MakeBmp(int width, int height, int bitCount,
                                         const std::function<std::uint32_t(int, int)>& raw,
                                         const std::function<std::uint32_t(int)>& paletteRgb = {}) {
  return MakeBmpLike({}, width, height, bitCount, raw, paletteRgb);
}

class GraphicsTest : public ::testing::Test {
 protected:
  static constexpr TDGDebugOptions kQuietOptions = dgoDebugMessage | dgoDetailedLog;

  void SetUp() override {
    headless::Reset();
    headless::ResetGraphics();
    headless::SetExeName(folder.Native("kotobune"));
    DGCarad9::LogLineCount = 0;
    DGCarad9::LogIndent = 0;
    DGCarad9::HaltOnError = DGCarad9::DebugMessage = DGCarad9::DetailedLog = true;
    application = std::make_unique<TApplication>();
    TFormSettings settings;
    settings.ClientWidth = 632;
    settings.ClientHeight = 477;
    form = std::make_unique<TForm>(*application, settings);
  }

  void TearDown() override {
    carad.reset();
    form.reset();
    application.reset();
    headless::ResetGraphics();
    headless::Reset();
  }

  // Halting is off unless the options ask for it, so a test sees every failure line.
  TDGCarad& Start(TDGDebugOptions options = kQuietOptions) {
    carad = std::make_unique<TDGCarad>(*form);
    carad->SetDebugOption(options);
    carad->Loaded();
    return *carad;
  }

  void FullScreen() {
    carad->ToFullScreen(640, 480, D3DFMT_A8R8G8B8, {}, 0, D3DPRESENT_INTERVAL_IMMEDIATE, D3DSWAPEFFECT_DISCARD,
                        D3DMULTISAMPLE_NONE, 0);
  }

  std::unique_ptr<TDGTexture> NewTexture(D3DPOOL pool = D3DPOOL_MANAGED, std::span<const D3DFORMAT> formats = DGAlphaFormats) {
    return std::make_unique<TDGTexture>(*carad, formats, 0, pool, 0, "");
  }

  std::string LogBytes() const { return folder.Read("DGCarad_DebugLog.txt"); }

  // The texts of the log's lines in UTF-8, without number and indentation.
  std::vector<std::string> LogTexts() const {
    std::vector<std::string> texts;
    const std::string log = LogBytes();
    for (std::size_t start = 0; start < log.size();) {
      const std::size_t end = log.find("\r\n", start);
      std::string line = log.substr(start, end - start);
      std::size_t text = line.find(" | ") + 3;
      while (line.compare(text, 2, "  ") == 0) text += 2;
      texts.push_back(platform::Cp932ToUtf8(line.substr(text)));
      start = end + 2;
    }
    return texts;
  }

  bool LogHas(const std::string& utf8Text) const {
    for (const std::string& text : LogTexts()) {
      if (text == utf8Text) return true;
    }
    return false;
  }

  // Every texel of level 0 as ARGB, row by row.
  static std::vector<D3DCOLOR> Texels(TDGTexture& texture) {
    std::vector<D3DCOLOR> texels;
    D3DLOCKED_RECT locked;
    if (!texture.LockRect(0, nullptr, locked, D3DLOCK_READONLY)) return texels;
    for (UINT y = 0; y < texture.TexHeight(); ++y) {
      const auto* row = static_cast<const std::uint8_t*>(locked.pBits) + std::size_t{y} * locked.Pitch;
      for (UINT x = 0; x < texture.TexWidth(); ++x) {
        texels.push_back(DGPixelToColor(DGReadPixel(row + x * texture.BytesPerPixel(), texture.BytesPerPixel()),
                                        texture.Format()));
      }
    }
    texture.UnlockRect();
    return texels;
  }

  static D3DCOLOR Texel(TDGTexture& texture, UINT x, UINT y) { return Texels(texture).at(y * texture.TexWidth() + x); }

  TempFolder folder;
  std::unique_ptr<TApplication> application;
  std::unique_ptr<TForm> form;
  std::unique_ptr<TDGCarad> carad;
};

// A started device, halting off, with one managed texture to work on.
class TextureFixture : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    Start(dgoDebugMessage);
    texture = NewTexture();
  }
  void TearDown() override {
    texture.reset();
    GraphicsTest::TearDown();
  }

  std::unique_ptr<TDGTexture> texture;
};
