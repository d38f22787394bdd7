#include "d3d9_texture.h"

#include <algorithm>

#include "backend.h"
#include "d3d9_settings.h"

namespace platform::d3d9 {

namespace {

// Video memory is the adapter's, shared by every device that comes and goes.
std::size_t liveTextureBytes = 0;

UINT FullChainLength(UINT width, UINT height) {
  UINT count = 1;
  for (UINT side = std::max(width, height); side > 1; side /= 2) ++count;
  return count;
}

bool ValidArea(const RECT& area, UINT width, UINT height) {
  return area.Left >= 0 && area.Top >= 0 && area.Left < area.Right && area.Top < area.Bottom &&
         static_cast<UINT>(area.Right) <= width && static_cast<UINT>(area.Bottom) <= height;
}

// A level seen as a surface; it keeps its texture alive.
class LevelSurface final : public IDirect3DSurface9 {
 public:
  LevelSurface(IDirect3DTexture9& texture, UINT level) : texture_(texture), level_(level) { texture_.AddRef(); }

  HRESULT GetDesc(D3DSURFACE_DESC* desc) override { return texture_.GetLevelDesc(level_, desc); }
  HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override {
    return texture_.LockRect(level_, lockedRect, rect, flags);
  }
  HRESULT UnlockRect() override { return texture_.UnlockRect(level_); }

 private:
  ~LevelSurface() override { texture_.Release(); }

  IDirect3DTexture9& texture_;
  UINT level_;
};

}  // namespace

Uint32 SdlFormatOf(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return SDL_PIXELFORMAT_ARGB8888;
    case D3DFMT_X8R8G8B8:
      return SDL_PIXELFORMAT_RGB888;
    case D3DFMT_A4R4G4B4:
      return SDL_PIXELFORMAT_ARGB4444;
    case D3DFMT_X4R4G4B4:
      return SDL_PIXELFORMAT_RGB444;
    case D3DFMT_A1R5G5B5:
      return SDL_PIXELFORMAT_ARGB1555;
    case D3DFMT_X1R5G5B5:
      return SDL_PIXELFORMAT_RGB555;
    case D3DFMT_R5G6B5:
      return SDL_PIXELFORMAT_RGB565;
    default:
      return SDL_PIXELFORMAT_UNKNOWN;
  }
}

UINT AvailableTextureMemory() {
  const std::size_t total = Profile().availableTextureMemory;
  return static_cast<UINT>(total > liveTextureBytes ? total - liveTextureBytes : 0);
}

bool TexturesAlive() { return liveTextureBytes > 0; }

HRESULT Texture::Create(SDL_Renderer* renderer, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, Texture** created) {
  if (created == nullptr) return D3DERR_INVALIDCALL;
  *created = nullptr;
  const DeviceProfile& profile = Profile();
  const Uint32 sdlFormat = SdlFormatOf(format);
  if (width == 0 || height == 0 || width > profile.maxTextureWidth || height > profile.maxTextureHeight ||
      sdlFormat == SDL_PIXELFORMAT_UNKNOWN || (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0 ||
      pool > D3DPOOL_SCRATCH) {
    return D3DERR_INVALIDCALL;
  }
  const UINT chain = FullChainLength(width, height);
  if (levels > chain) return D3DERR_INVALIDCALL;
  const std::size_t bytes = std::size_t{width} * height * SDL_BYTESPERPIXEL(sdlFormat);
  if (bytes > AvailableTextureMemory()) return D3DERR_OUTOFVIDEOMEMORY;

  SdlTexturePtr picture(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                          static_cast<int>(width), static_cast<int>(height)));
  if (!picture) return D3DERR_OUTOFVIDEOMEMORY;
  auto* texture = new Texture(std::move(picture), usage, format, pool);
  texture->AddLevels(width, height, levels == 0 ? chain : levels);
  texture->Upload({0, 0, static_cast<LONG>(width), static_cast<LONG>(height)});
  *created = texture;
  return D3D_OK;
}

Texture::Texture(SdlTexturePtr picture, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : picture_(std::move(picture)), usage_(usage), format_(format), pool_(pool), sdlFormat_(SdlFormatOf(format)) {}

Texture::~Texture() {
  liveTextureBytes -= std::min(liveTextureBytes, ByteSize());
  backend::TraceRelease("ReleaseTexture", static_cast<IDirect3DTexture9*>(this));
}

void Texture::AddLevels(UINT width, UINT height, UINT count) {
  const UINT bytesPerPixel = SDL_BYTESPERPIXEL(sdlFormat_);
  for (UINT i = 0; i < count; ++i) {
    Level level;
    level.width = width;
    level.height = height;
    level.pitch = (width * bytesPerPixel + 3) / 4 * 4;
    level.bytes.assign(std::size_t{level.pitch} * height, 0);
    levels_.push_back(std::move(level));
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
  }
  liveTextureBytes += ByteSize();
}

std::size_t Texture::ByteSize() const {
  std::size_t total = 0;
  for (const Level& level : levels_) total += level.bytes.size();
  return total;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level >= levels_.size() || desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = {format_, D3DRTYPE_SURFACE, usage_, pool_, D3DMULTISAMPLE_NONE, 0, levels_[level].width,
           levels_[level].height};
  return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (level >= levels_.size()) return D3DERR_INVALIDCALL;
  *surface = new LevelSurface(*this, level);
  return D3D_OK;
}

// Video memory that the program cannot see: only managed, system-memory and dynamic
// textures can be locked.
bool Texture::Lockable() const { return pool_ != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC) != 0; }

HRESULT Texture::LockRect(UINT levelIndex, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
  if (levelIndex >= levels_.size() || lockedRect == nullptr || !Lockable()) return D3DERR_INVALIDCALL;
  Level& level = levels_[levelIndex];
  const RECT area = rect ? *rect : RECT{0, 0, static_cast<LONG>(level.width), static_cast<LONG>(level.height)};
  if (level.locked || !ValidArea(area, level.width, level.height)) return D3DERR_INVALIDCALL;
  level.locked = true;
  level.writing = (flags & D3DLOCK_READONLY) == 0;
  level.lockedArea = area;
  const std::size_t offset = std::size_t(area.Top) * level.pitch + std::size_t(area.Left) * SDL_BYTESPERPIXEL(sdlFormat_);
  lockedRect->Pitch = static_cast<std::int32_t>(level.pitch);
  lockedRect->pBits = level.bytes.data() + offset;
  return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT levelIndex) {
  if (levelIndex >= levels_.size() || !levels_[levelIndex].locked) return D3DERR_INVALIDCALL;
  Level& level = levels_[levelIndex];
  level.locked = false;
  if (levelIndex == 0 && level.writing) Upload(level.lockedArea);
  return D3D_OK;
}

void Texture::Upload(const RECT& area) {
  const Level& level = levels_[0];
  const SDL_Rect target{area.Left, area.Top, area.Right - area.Left, area.Bottom - area.Top};
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(picture_.get(), &target, &pixels, &pitch) != 0) return;
  const std::uint8_t* source =
      level.bytes.data() + std::size_t(area.Top) * level.pitch + std::size_t(area.Left) * SDL_BYTESPERPIXEL(sdlFormat_);
  SDL_ConvertPixels(target.w, target.h, sdlFormat_, source, static_cast<int>(level.pitch), SDL_PIXELFORMAT_ARGB8888,
                    pixels, pitch);
  SDL_UnlockTexture(picture_.get());
}

const std::uint8_t* Texture::FirstLevelAt(const SDL_Rect& area) const {
  if (levels_.empty()) return nullptr;
  const Level& level = levels_[0];
  if (level.bytes.empty() || area.x < 0 || area.y < 0 || UINT(area.x + area.w) > level.width ||
      UINT(area.y + area.h) > level.height) {
    return nullptr;
  }
  return level.bytes.data() + std::size_t(area.y) * level.pitch + std::size_t(area.x) * SDL_BYTESPERPIXEL(sdlFormat_);
}

const std::uint32_t* Texture::ArgbRows(const SDL_Rect& area, std::size_t& pitch) const {
  const std::uint8_t* first = FirstLevelAt(area);
  if (first == nullptr || sdlFormat_ != SDL_PIXELFORMAT_ARGB8888 || levels_[0].pitch % 4 != 0) return nullptr;
  pitch = levels_[0].pitch / 4;
  return reinterpret_cast<const std::uint32_t*>(first);
}

bool Texture::CopyArgb(const SDL_Rect& area, std::uint32_t* out) const {
  const std::uint8_t* source = FirstLevelAt(area);
  if (source == nullptr) return false;
  const Level& level = levels_[0];
  return SDL_ConvertPixels(area.w, area.h, sdlFormat_, source, static_cast<int>(level.pitch),
                           SDL_PIXELFORMAT_ARGB8888, out, area.w * 4) == 0;
}

}  // namespace platform::d3d9
