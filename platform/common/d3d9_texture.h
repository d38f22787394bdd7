#pragma once
// Textures of the graphics device: each level keeps its pixels in memory in its own format;
// level 0 is also an SDL texture (ARGB8888) that unlocking brings up to date.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d9.h"

namespace platform::d3d9 {

struct SdlTextureDeleter {
  void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
};
using SdlTexturePtr = std::unique_ptr<SDL_Texture, SdlTextureDeleter>;

// The SDL layout of a texture format; SDL_PIXELFORMAT_UNKNOWN for formats the device cannot hold.
Uint32 SdlFormatOf(D3DFORMAT format);

// Video memory the device reports as free: the profile's total less what live textures hold.
UINT AvailableTextureMemory();
bool TexturesAlive();

class Texture final : public IDirect3DTexture9 {
 public:
  // Sizes, level count, format and pool are checked; failures come back as D3DERR codes.
  static HRESULT Create(SDL_Renderer* renderer, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, Texture** created);

  DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  SDL_Texture* Picture() const { return picture_.get(); }
  // The first level's texels of `area` as ARGB8888, row by row; false without a memory copy.
  bool CopyArgb(const SDL_Rect& area, std::uint32_t* out) const;
  // The first level's first texel of `area` and its pitch in texels, where the level is kept
  // as ARGB8888; null otherwise.
  const std::uint32_t* ArgbRows(const SDL_Rect& area, std::size_t& pitch) const;

 private:
  struct Level {
    UINT width = 0, height = 0, pitch = 0;
    std::vector<std::uint8_t> bytes;
    bool locked = false;
    bool writing = false;
    RECT lockedArea;
  };

  Texture(SdlTexturePtr picture, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~Texture() override;
  void AddLevels(UINT width, UINT height, UINT count);
  bool Lockable() const;
  void Upload(const RECT& area);
  std::size_t ByteSize() const;
  const std::uint8_t* FirstLevelAt(const SDL_Rect& area) const;

  SdlTexturePtr picture_;
  DWORD usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
  Uint32 sdlFormat_;
  std::vector<Level> levels_;
};

}  // namespace platform::d3d9
