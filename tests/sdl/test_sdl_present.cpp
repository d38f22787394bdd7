// The present on a real X server (no window manager): which path is taken, and after the
// window changes size, the pixels the window shows and the pointer mapping stay exact; the
// CPU path sends only the rows that changed, and a forced renderer scales as it does.
#include <gtest/gtest.h>
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "sdl_present.h"

namespace {

using platform::present::PresentPath;
using platform::present::ScaleMode;

class SdlPresent : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    unsetenv("KOTOBUNE_PRESENT");
  }
  void TearDown() override {
    presenter_.reset();
    if (picture_ != nullptr) SDL_DestroyTexture(picture_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    unsetenv("KOTOBUNE_PRESENT");
  }

  void Open(int width, int height, ScaleMode mode) {
    const auto planned = WindowPresenter::PlanPath();
    window_ = SDL_CreateWindow("present", 0, 0, width, height, SDL_WINDOW_SHOWN | WindowPresenter::WindowFlags(planned));
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    presenter_ = std::make_unique<WindowPresenter>(window_, mode, platform::present::Size{640, 480}, planned);
    // Each picture pixel names itself, so a shown pixel says where it came from.
    std::vector<std::uint32_t> pixels(640 * 480);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 37 % 0xFFFFFF);
    // Drawn where the device would draw: the picture surface where there is one.
    ASSERT_NE(presenter_->Renderer(), nullptr);
    if (SDL_Surface* memory = presenter_->PictureSurface()) {
      ASSERT_EQ(memory->w * memory->h, 640 * 480);
      for (int y = 0; y < 480; ++y) {
        std::copy_n(&pixels[static_cast<size_t>(y) * 640], 640, static_cast<std::uint32_t*>(memory->pixels) + y * memory->pitch / 4);
      }
    } else {
      picture_ = SDL_CreateTexture(presenter_->Renderer(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, 640, 480);
      SDL_SetTextureBlendMode(picture_, SDL_BLENDMODE_NONE);
      SDL_UpdateTexture(picture_, nullptr, pixels.data(), 640 * 4);
    }
    source_ = std::move(pixels);
  }

  // Sizes the window, lets the size event arrive as the backend would pass it on, presents.
  void ResizeAndPresent(int width, int height) {
    SDL_SetWindowSize(window_, width, height);
    for (int i = 0; i < 50; ++i) {
      SDL_Event event;
      while (SDL_PollEvent(&event)) {
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) presenter_->WindowResized();
      }
      int w = 0, h = 0;
      SDL_GetWindowSize(window_, &w, &h);
      if (w == width && h == height) break;
      SDL_Delay(10);
    }
    presenter_->Present(picture_);
  }

  // The window as our scaler draws it: the whole picture, letterboxed.
  std::vector<std::uint32_t> Scaled(ScaleMode mode, platform::present::Size size) const {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(size.width) * size.height);
    const platform::present::Image window{pixels.data(), size.width, size.height, size.width};
    platform::present::FillBlack(window);
    const auto placement = platform::present::Place(mode, {640, 480}, size);
    platform::present::Scaler().Draw(mode, placement, {source_.data(), 640, 480, 640}, window);
    for (auto& pixel : pixels) pixel &= 0xFFFFFFu;
    return pixels;
  }

  // What the X server shows in the window, once it is `expected` (the window may not be
  // mapped at the first present, and the server takes its requests in its own time); presents
  // again meanwhile, as the backend does on an expose.
  std::vector<std::uint32_t> ShownWhenItIs(const std::vector<std::uint32_t>& expected, platform::present::Size size) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    EXPECT_TRUE(SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11);
    std::vector<std::uint32_t> shown(expected.size());
    for (int attempt = 0; attempt < 200 && shown != expected; ++attempt) {
      SDL_Event event;
      while (SDL_PollEvent(&event)) {
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) presenter_->RepaintAll();
      }
      presenter_->Present(picture_);
      SDL_Delay(attempt == 0 ? 0 : 20);
      XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, static_cast<unsigned>(size.width),
                                static_cast<unsigned>(size.height), AllPlanes, ZPixmap);
      if (image == nullptr) continue;
      for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) shown[static_cast<size_t>(y) * size.width + x] = XGetPixel(image, x, y) & 0xFFFFFFu;
      }
      XDestroyImage(image);
    }
    return shown;
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<WindowPresenter> presenter_;
  SDL_Texture* picture_ = nullptr;
  std::vector<std::uint32_t> source_;
};

TEST_F(SdlPresent, SoftwareRasteriserTakesTheCpuPathAndTheVariableForcesEither) {
  // Xvfb has no GPU and says so: no OpenGL is loaded only to be dropped.
  Open(640, 480, ScaleMode::Sharp);
  EXPECT_EQ(presenter_->Path(), PresentPath::Cpu);
  EXPECT_EQ(SDL_GetWindowFlags(window_) & SDL_WINDOW_OPENGL, 0u);
  EXPECT_EQ(SDL_GL_GetProcAddress("glGetString"), nullptr) << "an OpenGL library is loaded";
  TearDown();
  SetUp();
  setenv("KOTOBUNE_PRESENT", "renderer", 1);
  Open(640, 480, ScaleMode::Sharp);
  EXPECT_EQ(presenter_->Path(), PresentPath::Renderer);
  TearDown();
  SetUp();
  setenv("KOTOBUNE_PRESENT", "cpu", 1);
  Open(640, 480, ScaleMode::Sharp);
  EXPECT_EQ(presenter_->Path(), PresentPath::Cpu);
}

TEST_F(SdlPresent, AfterEachResizeTheWindowShowsThePicturePixelThePointerMapsTo) {
  setenv("KOTOBUNE_PRESENT", "cpu", 1);
  Open(640, 480, ScaleMode::Stretch);
  for (const auto& [width, height] : {std::pair{800, 600}, std::pair{960, 720}, std::pair{1440, 1080}, std::pair{1001, 601}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    ResizeAndPresent(width, height);
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->w, width);
    ASSERT_EQ(surface->h, height);
    // The picture fills the new window's letterbox, corner to corner.
    const auto rect = platform::present::Place(ScaleMode::Stretch, {640, 480}, {width, height}).picture;
    const auto first = presenter_->PictureFromWindow(rect.x, rect.y);
    const auto last = presenter_->PictureFromWindow(rect.x + rect.width - 1, rect.y + rect.height - 1);
    EXPECT_EQ(std::pair(first.x, first.y), std::pair(0, 0));
    EXPECT_EQ(std::pair(last.x, last.y), std::pair(639, 479));
    int wrong = 0;
    for (int y = 0; y < height; y += 3) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch);
      for (int x = 0; x < width; x += 3) {
        const auto at = presenter_->PictureFromWindow(x, y);
        const bool inside = at.x >= 0 && at.x < 640 && at.y >= 0 && at.y < 480;
        const std::uint32_t expected = inside ? source_[static_cast<size_t>(at.y) * 640 + at.x] & 0xFFFFFF : 0;
        if ((row[x] & 0xFFFFFF) != expected && ++wrong < 5) ADD_FAILURE() << "at " << x << "," << y;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// A frame like the last sends nothing; a changed picture row sends the few window rows that
// show it, and they show the new picture; an expose sends everything again.
TEST_F(SdlPresent, CpuPathSendsOnlyTheRowsWhosePictureChanged) {
  setenv("KOTOBUNE_PRESENT", "cpu", 1);
  const platform::present::Size size{1300, 1000};
  Open(size.width, size.height, ScaleMode::Sharp);
  EXPECT_EQ(ShownWhenItIs(Scaled(ScaleMode::Sharp, size), size), Scaled(ScaleMode::Sharp, size));
  const long sent = presenter_->RowsSent();
  EXPECT_GE(sent, size.height);
  presenter_->Present(nullptr);
  EXPECT_EQ(presenter_->RowsSent(), sent) << "an unchanged frame was sent";

  SDL_Surface* memory = presenter_->PictureSurface();
  static_cast<std::uint32_t*>(memory->pixels)[100 * memory->pitch / 4 + 320] ^= 0xFFFFFFu;
  source_[100 * 640 + 320] ^= 0xFFFFFFu;
  presenter_->Present(nullptr);
  // Twice the picture's rows, and the blended ones on either side.
  EXPECT_GT(presenter_->RowsSent(), sent);
  EXPECT_LE(presenter_->RowsSent(), sent + 4);
  EXPECT_EQ(ShownWhenItIs(Scaled(ScaleMode::Sharp, size), size), Scaled(ScaleMode::Sharp, size));

  const long before = presenter_->RowsSent();
  presenter_->RepaintAll();
  presenter_->Present(nullptr);
  EXPECT_EQ(presenter_->RowsSent(), before + size.height);
}

// On a software rasteriser our scaler does the sharp scaling in one pass, and the renderer
// copies it as it is: the window shows what the CPU path shows, to the last level.
TEST_F(SdlPresent, ForcedRendererShowsTheCpuPathsSharpPicture) {
  setenv("KOTOBUNE_PRESENT", "renderer", 1);
  const platform::present::Size size{1300, 1000};
  Open(size.width, size.height, ScaleMode::Sharp);
  ASSERT_EQ(presenter_->Path(), PresentPath::Renderer);
  const std::vector<std::uint32_t> expected = Scaled(ScaleMode::Sharp, size);
  const std::vector<std::uint32_t> shown = ShownWhenItIs(expected, size);
  const auto differing = std::inner_product(shown.begin(), shown.end(), expected.begin(), size_t{0}, std::plus<>(),
                                            [](std::uint32_t a, std::uint32_t b) { return a != b ? 1u : 0u; });
  EXPECT_EQ(differing, 0u) << "pixels unlike the CPU path's, on " << presenter_->RendererName();
}

}  // namespace
