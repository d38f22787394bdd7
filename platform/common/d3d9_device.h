#pragma once
// The device: draws with SDL's renderer into a picture of the back-buffer size at scale 1,
// so a texel lands on exactly one pixel; Present hands the picture to the display.
#include <SDL.h>

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "d3d9_blend.h"
#include "d3d9_texture.h"
#include "platform/d3d9.h"

namespace platform::d3d9 {

// A quad drawn as a copy of whole texels.
struct AlignedRectangle {
  SDL_FRect destination{};
  SDL_Rect source{};
  int flip = SDL_FLIP_NONE;
  SDL_Color colour{};
};

// Fills what this device can do, as the profile describes it.
void FillCaps(D3DDEVTYPE deviceType, UINT adapter, D3DCAPS9& caps);
bool IsDepthFormat(D3DFORMAT format);

// Back buffers and the depth-stencil surface belong to their device: a count of zero does not
// free them while the device lives, and a reference kept past the device stays valid.
class OwnedSurface final : public IDirect3DSurface9 {
 public:
  explicit OwnedSurface(const D3DSURFACE_DESC& desc) : IDirect3DSurface9(0), desc_(desc) {}
  void Abandon() {
    abandoned_ = true;
    if (RefCount() == 0) delete this;
  }

  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
  HRESULT UnlockRect() override { return D3DERR_INVALIDCALL; }

 private:
  ~OwnedSurface() override = default;
  void FinalRelease() override {
    if (abandoned_) delete this;
  }

  D3DSURFACE_DESC desc_;
  bool abandoned_ = false;
};

struct OwnedSurfaceAbandon {
  void operator()(OwnedSurface* surface) const { surface->Abandon(); }
};
using OwnedSurfacePtr = std::unique_ptr<OwnedSurface, OwnedSurfaceAbandon>;

class Device final : public IDirect3DDevice9 {
 public:
  // Draws into `picture`, or where that is null into `memory`, the renderer's own surface.
  Device(IDirect3D9& direct3D, D3DDEVTYPE deviceType, SDL_Renderer* renderer, SdlTexturePtr picture, SDL_Surface* memory,
         const D3DPRESENT_PARAMETERS& params);

  HRESULT TestCooperativeLevel() override;
  UINT GetAvailableTextureMem() override { return AvailableTextureMemory(); }
  HRESULT GetDirect3D(IDirect3D9** direct3D) override;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** backBuffer) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture9** texture, void* sharedHandle) override;

  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                  const void* dirtyRegion) override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT SetTexture(DWORD stage, IDirect3DTexture9* texture) override;
  HRESULT SetFVF(DWORD fvf) override;
  HRESULT GetFVF(DWORD* fvf) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;

 private:
  static constexpr DWORD kStages = 8;
  static constexpr DWORD kSamplers = 16;
  static constexpr DWORD kStageStates = 33;
  static constexpr DWORD kSamplerStates = 14;

  ~Device() override;
  void SetDefaultStates();
  void UsePicture();
  SDL_BlendMode BlendMode() const;
  void ApplyBlendMode(SDL_Texture* texture);
  void ApplyFilter(SDL_Texture* texture);
  int DrawRectangle(SDL_Texture* texture, const AlignedRectangle& rectangle);
  PixelPipeline Pipeline() const;
  bool AlphaTested() const;
  bool ShadeRectangle(Texture* texture, const AlignedRectangle& rectangle);
  bool ShadeInMemory(const PixelPipeline& pipeline, std::uint32_t diffuse, const SDL_Rect& shown,
                     const std::uint32_t* texels, std::size_t texelPitch);
  bool BuildVertices(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* vertices, UINT stride);

  IDirect3D9& direct3D_;
  D3DDEVTYPE deviceType_;
  SDL_Renderer* renderer_;
  SdlTexturePtr picture_;
  SDL_Surface* memory_;
  D3DPRESENT_PARAMETERS params_;
  std::vector<OwnedSurfacePtr> backBuffers_;
  OwnedSurfacePtr depthStencil_;
  bool inScene_ = false;

  std::array<DWORD, 256> renderStates_{};
  std::array<std::array<DWORD, kSamplerStates>, kSamplers> samplerStates_{};
  std::array<std::array<DWORD, kStageStates>, kStages> stageStates_{};
  std::array<Texture*, kStages> textures_{};
  std::map<DWORD, D3DMATRIX> transforms_;
  D3DVIEWPORT9 viewport_;
  DWORD fvf_ = 0;
  // Reused between draws: a frame of sprites allocates nothing.
  std::vector<SDL_Vertex> vertices_;
  std::vector<int> indices_;
  // SDL's software renderer blends sprites its own way: those are shaded here instead.
  bool softwareRenderer_ = false;
  std::vector<std::uint32_t> texels_, pixels_;
};

}  // namespace platform::d3d9
