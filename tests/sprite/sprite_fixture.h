#pragma once
// A full-screen device with a scene on the headless machine.
#include <algorithm>
#include <string>
#include <vector>

#include "SXlib9.h"
#include "graphics/graphics_fixture.h"

// The window's font: the game's writers all start from it.
inline TFont WindowFont() {
  TFont font;
  font.Charset = SHIFTJIS_CHARSET;
  font.Height = -21;
  font.Name = Sjis("ＭＳ Ｐゴシック");
  font.Bold = true;
  return font;
}

class SpriteTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    Start();
    FullScreen();
    scene = std::make_unique<TSXScene>(*carad, "");
  }
  void TearDown() override {
    scene.reset();
    GraphicsTest::TearDown();
  }

  // A texture of one colour, Width x Height.
  std::unique_ptr<TDGTexture> Solid(UINT width, UINT height, D3DCOLOR colour) {
    auto texture = NewTexture();
    texture->SetSize(width, height);
    texture->FillRect({0, 0, LONG(width), LONG(height)}, colour, false);
    return texture;
  }

  static std::array<TSXVertex, 4> Corners(const TDGTexture& texture, std::uint32_t colour = 0xFFFFFFFF) {
    const float w = static_cast<float>(texture.Width()), h = static_cast<float>(texture.Height());
    return {{{0, 0, colour, 0, 0},
             {w, 0, colour, texture.ScaleU(), 0},
             {0, h, colour, 0, texture.ScaleV()},
             {w, h, colour, texture.ScaleU(), texture.ScaleV()}}};
  }

  void Queue(TDGTexture& texture, float x, float y, std::int32_t blendMode, std::uint8_t overlay, float z) {
    const auto corners = Corners(texture);
    scene->QueueQuad(x, y, corners.data(), &texture, blendMode, 0, overlay, z);
  }

  // Clears, renders the queued quads and presents; the platform calls made by the render.
  std::vector<std::string> RenderFrame() {
    IDirect3DDevice9* device = carad->Device();
    device->BeginScene();
    scene->Clear(D3DCLEAR_TARGET, 0, 1.0f, 0);
    headless::StartTrace();
    scene->Render(nullptr);
    auto calls = headless::TakeTrace();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    return calls;
  }

  static D3DCOLOR Pixel(int x, int y) {
    int width = 0, height = 0;
    const auto frame = headless::ReadFrame(width, height);
    return frame.at(static_cast<size_t>(y * width + x)) & 0xFFFFFF;
  }

  static long Count(const std::vector<std::string>& calls, const std::string& call) {
    return std::count(calls.begin(), calls.end(), call);
  }

  std::unique_ptr<TSXScene> scene;
};

// A scene with a text writer in the window's font.
class WriterTest : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    writer = std::make_unique<TSXTextWriter>(*carad, D3DFMT_A8R8G8B8, 16);
    writer->SetFont(WindowFont());
  }
  void TearDown() override {
    writer.reset();
    SpriteTest::TearDown();
  }

  std::unique_ptr<TSXTextWriter> writer;
};
