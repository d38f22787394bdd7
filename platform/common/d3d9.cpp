#include "platform/d3d9.h"

#include <memory>

#include "backend.h"

namespace {

struct TextureDeleter {
  void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
};
using TexturePtr = std::unique_ptr<SDL_Texture, TextureDeleter>;

// Every frame is drawn into a picture of the back-buffer size at scale 1, so a texel
// lands on exactly one pixel whatever the display's size; Present scales it to the display.
class Device final : public IDirect3DDevice9 {
 public:
  Device(SDL_Renderer* renderer, TexturePtr picture) : renderer_(renderer), picture_(std::move(picture)) {
    SDL_SetRenderTarget(renderer_, picture_.get());
  }
  ~Device() override { SDL_SetRenderTarget(renderer_, nullptr); }

  HRESULT TestCooperativeLevel() override {
    return platform::backend::DeviceLost() ? D3DERR_DEVICELOST : D3D_OK;
  }
  HRESULT BeginScene() override {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    SDL_SetRenderTarget(renderer_, picture_.get());
    return D3D_OK;
  }
  HRESULT EndScene() override {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
  }
  HRESULT Present(const RECT*, const RECT*, HWND, const void*) override {
    if (platform::backend::DeviceLost()) return D3DERR_DEVICELOST;
    platform::backend::PresentPicture(picture_.get());
    SDL_SetRenderTarget(renderer_, picture_.get());
    return D3D_OK;
  }
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float, DWORD) override {
    if ((flags & D3DCLEAR_TARGET) == 0) return D3D_OK;
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, (color >> 16) & 255, (color >> 8) & 255, color & 255, color >> 24);
    if (count == 0 || rects == nullptr) return SDL_RenderClear(renderer_) == 0 ? D3D_OK : D3DERR_INVALIDCALL;
    for (DWORD i = 0; i < count; ++i) {
      const SDL_Rect area{rects[i].x1, rects[i].y1, rects[i].x2 - rects[i].x1, rects[i].y2 - rects[i].y1};
      SDL_RenderFillRect(renderer_, &area);
    }
    return D3D_OK;
  }

 private:
  SDL_Renderer* renderer_;
  TexturePtr picture_;
  bool inScene_ = false;
};

class Direct3D final : public IDirect3D9 {
 public:
  UINT GetAdapterCount() override { return 1; }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
    *mode = {static_cast<UINT>(platform::backend::DisplayWidth()),
             static_cast<UINT>(platform::backend::DisplayHeight()), 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS* params,
                       IDirect3DDevice9** returnedDevice) override {
    if (adapter != 0 || params == nullptr || returnedDevice == nullptr) return D3DERR_INVALIDCALL;
    *returnedDevice = nullptr;
    FillDefaults(*params);
    platform::backend::SetDisplayMode(params->Windowed == FALSE, static_cast<int>(params->BackBufferWidth),
                                      static_cast<int>(params->BackBufferHeight));
    SDL_Renderer* renderer = platform::backend::Renderer();
    TexturePtr picture(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                         static_cast<int>(params->BackBufferWidth),
                                         static_cast<int>(params->BackBufferHeight)));
    if (!picture) return D3DERR_NOTAVAILABLE;
    *returnedDevice = new Device(renderer, std::move(picture));
    return D3D_OK;
  }

 private:
  static void FillDefaults(D3DPRESENT_PARAMETERS& params) {
    if (params.BackBufferWidth == 0 || params.BackBufferHeight == 0) {
      params.BackBufferWidth = static_cast<UINT>(platform::backend::DisplayWidth());
      params.BackBufferHeight = static_cast<UINT>(platform::backend::DisplayHeight());
    }
    if (params.BackBufferCount == 0) params.BackBufferCount = 1;
    if (params.BackBufferFormat == D3DFMT_UNKNOWN) params.BackBufferFormat = D3DFMT_X8R8G8B8;
  }
};

}  // namespace

IDirect3D9* Direct3DCreate9(UINT) {
  return new Direct3D();
}
