// The scene's blend modes on the renderer a window really gets (OpenGL on a software
// rasteriser under Xvfb, or SDL's own software renderer): the pixels the device would draw,
// read back from the picture the renderer drew.
#include <gtest/gtest.h>
#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DGPixelFormat.h"
#include "SXlib9.h"
#include "backend.h"
#include "support/blend_cases.h"

namespace {

class RendererBlend : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    setenv("KOTOBUNE_PRESENT", "renderer", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, GetParam());
    application_ = std::make_unique<TApplication>();
    application_->Initialize();
    platform::SetWindowMode(platform::WindowMode::Window);
    TFormSettings settings;
    settings.ClientWidth = 640;
    settings.ClientHeight = 480;
    form_ = std::make_unique<TForm>(*application_, settings);
    carad_ = std::make_unique<TDGCarad>(*form_);
    carad_->Loaded();
    carad_->ToFullScreen(640, 480, D3DFMT_A8R8G8B8, {}, 0, D3DPRESENT_INTERVAL_IMMEDIATE, D3DSWAPEFFECT_DISCARD,
                         D3DMULTISAMPLE_NONE, 0);
    scene_ = std::make_unique<TSXScene>(*carad_, "");
  }
  void TearDown() override {
    scene_.reset();
    carad_.reset();
    form_.reset();
    application_.reset();
    unsetenv("KOTOBUNE_PRESENT");
    SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
  }

  std::string RendererName() const {
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(platform::backend::Renderer(), &info);
    return info.name != nullptr ? info.name : "";
  }

  std::unique_ptr<TDGTexture> Texture(UINT width, UINT height, D3DCOLOR (*colour)(LONG x)) {
    auto texture = std::make_unique<TDGTexture>(*carad_, DGAlphaFormats, 0, D3DPOOL_MANAGED, 0, "");
    texture->SetSize(width, height);
    texture->ForEachPixel({0, 0, LONG(width), LONG(height)}, [colour](TDGTexture& t, DWORD, LONG x, LONG) {
      return DGColorToPixel(colour(x), t.Format());
    });
    return texture;
  }

  void Queue(TDGTexture& texture, int x, int y, std::int32_t mode) {
    const float w = static_cast<float>(texture.Width()), h = static_cast<float>(texture.Height());
    const TSXVertex corners[4] = {{0, 0, 0xFFFFFFFF, 0, 0},
                                  {w, 0, 0xFFFFFFFF, texture.ScaleU(), 0},
                                  {0, h, 0xFFFFFFFF, 0, texture.ScaleV()},
                                  {w, h, 0xFFFFFFFF, texture.ScaleU(), texture.ScaleV()}};
    scene_->QueueQuad(static_cast<float>(x), static_cast<float>(y), corners, &texture, mode, 0, 1, 0);
  }

  // Draws the queue and presents; the picture stays the renderer's target, to be read back.
  std::vector<std::uint32_t> RenderPicture() {
    IDirect3DDevice9* device = carad_->Device();
    device->BeginScene();
    scene_->Clear(D3DCLEAR_TARGET, 0, 1.0f, 0);
    scene_->Render(nullptr);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    std::vector<std::uint32_t> picture(640 * 480);
    EXPECT_EQ(SDL_RenderReadPixels(platform::backend::Renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, picture.data(), 640 * 4), 0)
        << SDL_GetError();
    return picture;
  }

  std::unique_ptr<TApplication> application_;
  std::unique_ptr<TForm> form_;
  std::unique_ptr<TDGCarad> carad_;
  std::unique_ptr<TSXScene> scene_;
};

TEST_P(RendererBlend, EveryModeGivesTheDevicesPixels) {
  if (!RendererName().starts_with(GetParam())) GTEST_SKIP() << "no " << GetParam() << " renderer here";
  using namespace blend_cases;
  auto under = Texture(2, 1, [](LONG) { return kUnder; });
  auto texels = Texture(2, 1, [](LONG x) { return x == 0 ? kHalfTexel : kClearTexel; });
  for (size_t i = 0; i < kCases.size(); ++i) {
    Queue(*under, X(i), kY, sxbOpaque);
    Queue(*texels, X(i), kY, kCases[i].mode);
  }
  const auto picture = RenderPicture();
  const auto pixel = [&picture](int x) { return picture[static_cast<size_t>(kY * 640 + x)] & 0xFFFFFF; };
  for (size_t i = 0; i < kCases.size(); ++i) {
    SCOPED_TRACE("blend mode " + std::to_string(kCases[i].mode));
    EXPECT_EQ(pixel(X(i)), kCases[i].overHalf) << std::hex << pixel(X(i));
    EXPECT_EQ(pixel(X(i) + 1), kCases[i].overClear) << std::hex << pixel(X(i) + 1);
  }
}

// A cut-out sprite over a picture: its clear texels leave what was below, every other texel
// replaces it, whole rows at a time.
TEST_P(RendererBlend, CutOutKeepsWhatIsBelowItsClearTexels) {
  if (!RendererName().starts_with(GetParam())) GTEST_SKIP() << "no " << GetParam() << " renderer here";
  auto under = Texture(64, 8, [](LONG x) { return 0xFF000000u | static_cast<D3DCOLOR>(x * 4) << 8; });
  auto sprite = Texture(64, 8, [](LONG x) { return x % 3 == 0 ? 0x00FF00FFu : static_cast<D3DCOLOR>(x * 4) << 24 | 0x2040E0u; });
  Queue(*under, 100, 200, sxbOpaque);
  Queue(*sprite, 100, 200, sxbCutOut);
  const auto picture = RenderPicture();
  for (int y = 200; y < 208; ++y) {
    for (int x = 0; x < 64; ++x) {
      const std::uint32_t expected = x % 3 == 0 ? static_cast<std::uint32_t>(x * 4) << 8 : 0x2040E0u;
      ASSERT_EQ(picture[static_cast<size_t>(y * 640 + 100 + x)] & 0xFFFFFF, expected) << "texel " << x << "," << y - 200;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Renderers, RendererBlend, ::testing::Values("opengl", "software"),
                         [](const auto& test) { return std::string(test.param) == "opengl" ? "OpenGl" : "Software"; });

}  // namespace
