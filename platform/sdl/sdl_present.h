#pragma once
// How the picture reaches the window: the renderer's copy, or our own scaler into the
// window's surface. Either way letterboxed into the window's real size, with the pointer
// mapped back onto the picture's pixels.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <optional>
#include <vector>

#include "platform/present.h"

class WindowPresenter {
 public:
  // Creates the renderer the device draws with, for a picture of this size. Throws
  // EPlatformError when there is none.
  WindowPresenter(SDL_Window* window, platform::present::ScaleMode mode, platform::present::Size picture,
                  std::optional<platform::present::PresentPath> planned);
  // The path known before the window exists (forced, or no direct rendering on the X server);
  // nothing when only the renderer can tell. Asked once: it opens a connection to the server.
  static std::optional<platform::present::PresentPath> PlanPath();
  // What the window needs from the start so that creating the renderer does not replace it
  // (a window that comes and goes confuses the tools that look for it).
  static Uint32 WindowFlags(std::optional<platform::present::PresentPath> planned);
  ~WindowPresenter();
  WindowPresenter(const WindowPresenter&) = delete;
  WindowPresenter& operator=(const WindowPresenter&) = delete;

  // On the CPU path made at the first call, for the picture size set by then: the device asks
  // once it has named its back buffer, which may differ from the window's first size.
  SDL_Renderer* Renderer();
  // On the CPU path, a picture surface of another size than the picture's is replaced, with
  // its renderer; nothing made with that renderer may still be alive.
  void FitPictureSurface();
  std::string RendererName() const;
  // The CPU path's picture: the renderer draws straight into it. Null on the renderer path.
  SDL_Surface* PictureSurface() const { return offscreen_.get(); }
  platform::present::PresentPath Path() const { return path_; }
  std::string Description() const;

  void SetPictureSize(platform::present::Size size) { picture_ = size; }
  platform::present::ScaleMode Mode() const { return mode_; }
  // Borders are redrawn, and the pointer follows at once.
  void SetScaleMode(platform::present::ScaleMode mode);
  // A null picture is the picture surface.
  void Present(SDL_Texture* picture);
  // The window changed size: borders are redrawn and the pointer follows at once.
  void WindowResized();
  // The window lost what it showed (exposed, or the device reset): the next present draws
  // and sends all of it. Otherwise the CPU path sends only the rows whose picture changed.
  void RepaintAll() { repaintAll_ = true; }
  // Window rows handed to the window system on the CPU path.
  long RowsSent() const { return rowsSent_; }
  platform::present::Point PictureFromWindow(int x, int y) const;

 private:
  struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
  };
  struct TextureDeleter {
    void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
  };

  void OpenRenderer(bool softwareFallback);
  void OpenCpuPath();
  platform::present::Size OutputSize() const;
  void Place(platform::present::Size output);
  void LeaveUngrantedFullScreen();
  void PresentWithRenderer(SDL_Texture* picture);
  SDL_Texture* Enlarged(SDL_Texture* picture);
  SDL_Texture* ScaledInMemory(SDL_Texture* picture);
  SDL_Texture* Kept(std::unique_ptr<SDL_Texture, TextureDeleter>& texture, int access, platform::present::Size size);
  platform::present::ConstImage CpuPicture(SDL_Texture* picture);
  void PresentFromCpu(SDL_Texture* picture);

  SDL_Window* window_;
  SDL_Renderer* renderer_ = nullptr;
  platform::present::PresentPath path_ = platform::present::PresentPath::Renderer;
  std::string rendererName_;
  platform::present::ScaleMode mode_;
  platform::present::Size picture_{640, 480};
  platform::present::Size output_{};
  platform::present::Placement placement_{};
  bool repaintAll_ = true;
  Uint64 mismatchSince_ = 0;
  // Renderer path: the picture at the whole factor, which the GPU then scales linearly.
  std::unique_ptr<SDL_Texture, TextureDeleter> enlarged_;
  // Renderer path on a software rasteriser: the picture scaled by our scaler, copied as it is.
  std::unique_ptr<SDL_Texture, TextureDeleter> scaled_;
  bool softwareRasteriser_ = false;
  // CPU path: the renderer draws into memory that our scaler reads; a picture of another
  // size is drawn into a texture and read back.
  std::unique_ptr<SDL_Surface, SurfaceDeleter> offscreen_;
  std::vector<std::uint32_t> frame_;
  // Frames read back; on the CPU path only a device whose back buffer is not the picture
  // surface needs to.
  long readBacks_ = 0;
  platform::present::ChangedRows changedRows_;
  long rowsSent_ = 0;
  platform::present::Scaler scaler_;
  SDL_Surface* surface_ = nullptr;
};
