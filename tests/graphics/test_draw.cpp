// Drawing through the device lands texels on exactly the pixels they belong to.
#include "graphics_fixture.h"

namespace {

struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR diffuse, specular;
  float u, v;
};

class DrawTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    Start(dgoDebugMessage);
    FullScreen();
    device = carad->Device();
  }

  // One quad as the sprite scene sends it: a 4-vertex strip of pre-transformed vertices.
  void DrawQuad(TDGTexture& texture, float x, float y, D3DCOLOR colour) {
    const float w = static_cast<float>(texture.Width()), h = static_cast<float>(texture.Height());
    const ScreenVertex quad[4] = {{x, y, 0, 0.5f, colour, 0, 0, 0},
                                  {x + w, y, 0, 0.5f, colour, 0, texture.ScaleU(), 0},
                                  {x, y + h, 0, 0.5f, colour, 0, 0, texture.ScaleV()},
                                  {x + w, y + h, 0, 0.5f, colour, 0, texture.ScaleU(), texture.ScaleV()}};
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // As the sprite scene sets it: the vertex colour's alpha counts too.
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetTexture(0, texture.Texture());
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3D_OK);
    device->SetTexture(0, nullptr);
  }

  std::vector<std::uint32_t> Frame() {
    int width = 0, height = 0;
    auto pixels = headless::ReadFrame(width, height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    for (auto& pixel : pixels) pixel &= 0x00FFFFFF;
    return pixels;
  }

  IDirect3DDevice9* device = nullptr;
};

D3DCOLOR TexelColour(int x, int y) { return static_cast<D3DCOLOR>(0x102000 + (x << 16) + (y << 8) + x * y); }

TEST_F(DrawTest, TexturedQuadLandsPixelExact) {
  headless::SetTextureCaps(true, false);  // a 13 x 7 image in a 16 x 8 texture
  auto texture = NewTexture();
  texture->SetSize(13, 7);
  texture->ForEachPixel({0, 0, 16, 8}, [](TDGTexture&, DWORD, LONG x, LONG y) {
    return x == 5 && y == 3 ? 0u : 0xFF000000u | TexelColour(x, y);
  });
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020, 1.0f, 0);
  DrawQuad(*texture, 100, 50, 0xFFFFFFFF);
  ASSERT_EQ(device->EndScene(), D3D_OK);
  ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  const auto frame = Frame();
  const auto at = [&frame](int x, int y) { return frame[static_cast<std::size_t>(y) * 640 + x]; };
  for (int y = -1; y <= 7; ++y) {
    for (int x = -1; x <= 13; ++x) {
      const bool inside = x >= 0 && x < 13 && y >= 0 && y < 7;
      const D3DCOLOR expected = !inside || (x == 5 && y == 3) ? 0x202020 : TexelColour(x, y);
      EXPECT_EQ(at(100 + x, 50 + y), expected) << x << "," << y;
    }
  }
}

TEST_F(DrawTest, VertexColourModulatesAndDrawingNeedsAScene) {
  auto texture = NewTexture();
  texture->SetSize(2, 2);
  texture->FillRect({0, 0, 2, 2}, 0xFFFFFFFF, false);
  const ScreenVertex quad[4] = {};
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);

  device->BeginScene();
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  DrawQuad(*texture, 10, 10, 0xFF00FF00);
  DrawQuad(*texture, 20, 10, 0x80FFFFFF);
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
  const auto frame = Frame();
  EXPECT_EQ(frame[10 * 640 + 10], 0x00FF00u);
  const std::uint32_t half = frame[10 * 640 + 20] & 0xFF;
  EXPECT_NEAR(static_cast<int>(half), 0x80, 2);
}

}  // namespace
