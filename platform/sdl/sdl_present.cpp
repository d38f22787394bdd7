#include "sdl_present.h"

// Only X11 is asked for the window's real size; on Windows this header would bring in
// <windows.h>, whose names clash with the game's own.
#ifdef KOTOBUNE_HAS_X11
#include <SDL_syswm.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "memory_host.h"
#include "platform/app.h"

using platform::present::PresentPath;
using platform::present::ScaleMode;
using platform::present::Size;

namespace {

// A window manager that ignores a full-screen request leaves SDL believing in a size the
// window never got; this long a disagreement is not a request still on its way.
constexpr Uint64 kUngrantedMilliseconds = 1000;

std::string GlRendererString() {
  if (SDL_GL_GetCurrentContext() == nullptr) return {};
  using GetString = const unsigned char* (*)(unsigned);
  constexpr unsigned kGlRenderer = 0x1F01;
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* name = getString ? getString(kGlRenderer) : nullptr;
  return name ? reinterpret_cast<const char*>(name) : std::string{};
}

// SDL keeps the size it asked for; the window system knows the size the window has.
Size RealWindowSize(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11) && defined(KOTOBUNE_HAS_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) != 0) {
      return {attributes.width, attributes.height};
    }
  }
#endif
  Size size;
  SDL_GetWindowSizeInPixels(window, &size.width, &size.height);
  return size;
}


SDL_Rect ToSdl(const platform::present::Rect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }

}  // namespace

// Decided before the window exists, so that a software rasteriser is never loaded only to be
// dropped (its memory and threads would stay for the whole session).
std::optional<PresentPath> WindowPresenter::PlanPath() {
  if (const auto forced = platform::present::ForcedPresentPath(std::getenv("KOTOBUNE_PRESENT"))) return forced;
#if defined(SDL_VIDEO_DRIVER_X11) && defined(KOTOBUNE_HAS_X11)
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::string_view(driver) != "x11") return std::nullopt;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return std::nullopt;
  int count = 0;
  char** names = XListExtensions(display, &count);
  const std::vector<std::string> extensions(names, names + (names != nullptr ? count : 0));
  if (names != nullptr) XFreeExtensionList(names);
  XCloseDisplay(display);
  return platform::present::PathFromXExtensions(extensions);
#else
  return std::nullopt;
#endif
}

Uint32 WindowPresenter::WindowFlags(std::optional<PresentPath> planned) {
  if (planned == PresentPath::Cpu) return 0;
  SDL_RendererInfo first{};
  const bool openGl = SDL_GetRenderDriverInfo(0, &first) == 0 && std::string_view(first.name).starts_with("opengl");
  return openGl ? SDL_WINDOW_OPENGL : 0;
}

WindowPresenter::WindowPresenter(SDL_Window* window, ScaleMode mode, Size picture, std::optional<PresentPath> planned)
    : window_(window), mode_(mode), picture_(picture) {
  if (planned == PresentPath::Cpu) {
    path_ = PresentPath::Cpu;
    return;
  }
  OpenRenderer(planned == PresentPath::Renderer);
  if (renderer_ == nullptr && path_ == PresentPath::Renderer) throw EPlatformError(std::string("cannot draw in the game window: ") + SDL_GetError());
}

WindowPresenter::~WindowPresenter() {
  enlarged_.reset();
  scaled_.reset();
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
}

void WindowPresenter::OpenRenderer(bool forced) {
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
  if (renderer_ != nullptr) {
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer_, &info);
    rendererName_ = info.name;
    const std::string gl = GlRendererString();
    if (!gl.empty()) rendererName_ += " " + gl;
    softwareRasteriser_ = platform::present::ChoosePresentPath(info.name, gl) == PresentPath::Cpu;
    if (forced || !softwareRasteriser_) return;
    SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    rendererName_.clear();
  }
  if (!forced) {
    path_ = PresentPath::Cpu;
    return;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  rendererName_ = "software";
  softwareRasteriser_ = true;
}

SDL_Renderer* WindowPresenter::Renderer() {
  if (renderer_ == nullptr && path_ == PresentPath::Cpu) OpenCpuPath();
  return renderer_;
}

void WindowPresenter::FitPictureSurface() {
  if (!offscreen_ || (offscreen_->w == picture_.width && offscreen_->h == picture_.height)) return;
  SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  OpenCpuPath();
}

std::string WindowPresenter::RendererName() const { return path_ == PresentPath::Cpu ? "software" : rendererName_; }

void WindowPresenter::OpenCpuPath() {
  path_ = PresentPath::Cpu;
  // Otherwise SDL would hand the window's surface to a GPU texture of its own, the very
  // copy this path exists to avoid; on X11 the native surface is shared memory.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  repaintAll_ = true;
  offscreen_.reset(SDL_CreateRGBSurfaceWithFormat(0, picture_.width, picture_.height, 32, SDL_PIXELFORMAT_ARGB8888));
  if (offscreen_) renderer_ = SDL_CreateSoftwareRenderer(offscreen_.get());
}

std::string WindowPresenter::Description() const {
  const std::string path = path_ == PresentPath::Cpu ? "cpu" : "renderer (" + rendererName_ + ")";
  const std::string shown = path + ", " + std::string(platform::present::ScaleModeName(mode_)) + ", " +
                            std::to_string(output_.width) + "x" + std::to_string(output_.height);
  if (path_ != PresentPath::Cpu) return shown;
  return shown + ", " + std::to_string(readBacks_) + " frames read back, " + std::to_string(rowsSent_) + " window rows sent";
}

Size WindowPresenter::OutputSize() const {
  Size size;
  if (path_ == PresentPath::Renderer) {
    // While a texture is the target, SDL reports the texture's size instead.
    SDL_Texture* target = SDL_GetRenderTarget(renderer_);
    SDL_SetRenderTarget(renderer_, nullptr);
    SDL_GetRendererOutputSize(renderer_, &size.width, &size.height);
    SDL_SetRenderTarget(renderer_, target);
  } else {
    SDL_GetWindowSizeInPixels(window_, &size.width, &size.height);
  }
  return size;
}

void WindowPresenter::Place(Size output) {
  const platform::present::Placement placement = platform::present::Place(mode_, picture_, output);
  if (output == output_ && placement == placement_) return;
  output_ = output;
  placement_ = placement;
  repaintAll_ = true;
}

void WindowPresenter::SetScaleMode(ScaleMode mode) {
  mode_ = mode;
  WindowResized();
}

void WindowPresenter::WindowResized() {
  repaintAll_ = true;
  Place(OutputSize());
}

platform::present::Point WindowPresenter::PictureFromWindow(int x, int y) const {
  return platform::present::PictureFromWindow(placement_, picture_, x, y);
}

// Without a window manager a full-screen request does nothing, yet SDL takes the desktop's
// size for the window's and draws a cropped corner of the picture. Nothing then stops a
// plain window from covering the screen itself.
void WindowPresenter::LeaveUngrantedFullScreen() {
  if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) == 0) return;
  Size believed;
  SDL_GetWindowSizeInPixels(window_, &believed.width, &believed.height);
  const Size real = RealWindowSize(window_);
  if (believed == real) {
    mismatchSince_ = 0;
    return;
  }
  const Uint64 now = SDL_GetTicks64();
  if (mismatchSince_ == 0) mismatchSince_ = now;
  if (now - mismatchSince_ < kUngrantedMilliseconds) return;
  mismatchSince_ = 0;
  SDL_Rect screen{};
  if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window_), 0), &screen) != 0) {
    screen = {0, 0, real.width, real.height};
  }
  std::fprintf(stderr, "ことぶね: the window manager did not make the window full screen; covering the screen with a plain window\n");
  SDL_SetWindowFullscreen(window_, 0);
  SDL_SetWindowBordered(window_, SDL_FALSE);
  SDL_SetWindowPosition(window_, screen.x, screen.y);
  SDL_SetWindowSize(window_, screen.w, screen.h);
  WindowResized();
}

void WindowPresenter::Present(SDL_Texture* picture) {
  LeaveUngrantedFullScreen();
  if (picture != nullptr) {
    SDL_QueryTexture(picture, nullptr, nullptr, &picture_.width, &picture_.height);
  } else if (offscreen_) {
    picture_ = {offscreen_->w, offscreen_->h};
  }
  Place(OutputSize());
  if (path_ == PresentPath::Cpu) {
    PresentFromCpu(picture);
  } else {
    PresentWithRenderer(picture);
  }
}

// The picture enlarged by the whole factor with nearest neighbour; only sharp scaling
// beyond twice the size needs it.
SDL_Texture* WindowPresenter::Enlarged(SDL_Texture* picture) {
  const int factor = placement_.wholeFactor;
  if (mode_ != ScaleMode::Sharp || factor < 2) return picture;
  SDL_Texture* enlarged = Kept(enlarged_, SDL_TEXTUREACCESS_TARGET, {picture_.width * factor, picture_.height * factor});
  if (enlarged == nullptr) return picture;
  SDL_SetTextureScaleMode(picture, SDL_ScaleModeNearest);
  SDL_SetRenderTarget(renderer_, enlarged);
  SDL_RenderCopy(renderer_, picture, nullptr, nullptr);
  return enlarged;
}

// A software rasteriser would enlarge and then smooth in two passes over the screen; our
// scaler does both in one, into a texture the renderer merely copies.
SDL_Texture* WindowPresenter::ScaledInMemory(SDL_Texture* picture) {
  if (!softwareRasteriser_ || mode_ != ScaleMode::Sharp || placement_.wholeFactor < 2) return nullptr;
  const platform::present::ConstImage source = CpuPicture(picture);
  if (source.pixels == nullptr) return nullptr;
  const Size size{placement_.picture.width, placement_.picture.height};
  SDL_Texture* scaled = Kept(scaled_, SDL_TEXTUREACCESS_STREAMING, size);
  void* pixels = nullptr;
  int pitch = 0;
  if (scaled == nullptr || SDL_LockTexture(scaled, nullptr, &pixels, &pitch) != 0) return nullptr;
  platform::present::Placement inTexture = placement_;
  inTexture.picture.x = inTexture.picture.y = 0;
  scaler_.Draw(mode_, inTexture, source, {static_cast<std::uint32_t*>(pixels), size.width, size.height, pitch / 4});
  SDL_UnlockTexture(scaled);
  return scaled;
}

// Kept between frames, and made again when it must have another size; it replaces what it
// is drawn over.
SDL_Texture* WindowPresenter::Kept(std::unique_ptr<SDL_Texture, TextureDeleter>& texture, int access, Size size) {
  int width = 0, height = 0;
  if (texture) SDL_QueryTexture(texture.get(), nullptr, nullptr, &width, &height);
  if (!texture || width != size.width || height != size.height) {
    texture.reset(SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, access, size.width, size.height));
    if (texture) SDL_SetTextureBlendMode(texture.get(), SDL_BLENDMODE_NONE);
  }
  return texture.get();
}

void WindowPresenter::PresentWithRenderer(SDL_Texture* picture) {
  SDL_Texture* scaled = ScaledInMemory(picture);
  SDL_Texture* shown = scaled != nullptr ? scaled : Enlarged(picture);
  SDL_SetRenderTarget(renderer_, nullptr);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  const bool smoothed = mode_ == ScaleMode::Sharp && scaled == nullptr;
  SDL_SetTextureScaleMode(shown, smoothed ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  const SDL_Rect destination = ToSdl(placement_.picture);
  SDL_RenderCopy(renderer_, shown, nullptr, &destination);
  SDL_RenderPresent(renderer_);
}

platform::present::ConstImage WindowPresenter::CpuPicture(SDL_Texture* picture) {
  // Draws SDL may still hold back land before the pixels are read.
  SDL_RenderFlush(renderer_);
  if (picture == nullptr) {
    return {static_cast<const std::uint32_t*>(offscreen_->pixels), offscreen_->w, offscreen_->h, offscreen_->pitch / 4};
  }
  ++readBacks_;
  frame_.resize(static_cast<size_t>(picture_.width) * static_cast<size_t>(picture_.height));
  SDL_SetRenderTarget(renderer_, picture);
  if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, frame_.data(), picture_.width * 4) != 0) return {};
  return {frame_.data(), picture_.width, picture_.height, picture_.width};
}

void WindowPresenter::PresentFromCpu(SDL_Texture* picture) {
  const platform::present::ConstImage source = CpuPicture(picture);
  if (source.pixels == nullptr) return;
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  // X11's surfaces are XRGB; with another layout the renderer path is the honest choice.
  if (surface == nullptr || (surface->format->format != SDL_PIXELFORMAT_RGB888 && surface->format->format != SDL_PIXELFORMAT_ARGB8888)) return;
  if (surface != surface_) {
    repaintAll_ = true;
    platform::host::MapForWriting(surface->pixels, static_cast<size_t>(surface->pitch) * static_cast<size_t>(surface->h));
  }
  surface_ = surface;
  Place({surface->w, surface->h});
  // Asked every frame, so that the copy it keeps is the picture the window shows.
  const std::vector<platform::present::Rows> changed = changedRows_.Next(source);
  SDL_LockSurface(surface);
  platform::present::Image window{static_cast<std::uint32_t*>(surface->pixels), surface->w, surface->h, surface->pitch / 4};
  if (repaintAll_) platform::present::FillBlack(window);
  const std::array whole{platform::present::Rows{0, source.height}};
  const std::vector<platform::present::Rows> drawn =
      scaler_.Redraw(mode_, placement_, source, window, repaintAll_ ? std::span(whole) : std::span(changed));
  SDL_UnlockSurface(surface);
  // The X server copies whole rows of the window far more cheaply than parts of them.
  std::vector<SDL_Rect> bands;
  if (repaintAll_) {
    bands.push_back({0, 0, surface->w, surface->h});
  } else {
    for (const platform::present::Rows& rows : drawn) bands.push_back({0, rows.first, surface->w, rows.last - rows.first});
  }
  if (bands.empty()) return;
  // Rows the window system did not take are sent again with everything else.
  repaintAll_ = SDL_UpdateWindowSurfaceRects(window_, bands.data(), static_cast<int>(bands.size())) != 0;
  for (const SDL_Rect& band : bands) rowsSent_ += band.h;
}
