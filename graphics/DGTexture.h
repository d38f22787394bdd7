#pragma once
// The program's texture: a Direct3D texture plus what it takes to create it on the current
// device, fill it from a BMP, edit its pixels and bring it back after the device is recreated.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "DGCarad9.h"
#include "DGPixelFormat.h"
#include "Streams.h"

// Where the texture's current contents came from; decides how it comes back.
enum class TDGSourceKind : std::uint8_t { None = 0, File = 1, Archive = 2, Memory = 3 };

class TDGTexture : public TDGResource {
 public:
  // Registers with the component; no Direct3D texture exists until SetSize or LoadBMP.
  TDGTexture(TDGCarad& Carad, std::span<const D3DFORMAT> Formats, DWORD Usage, D3DPOOL Pool, UINT Levels,
             const std::string& Name);
  ~TDGTexture() override;
  TDGTexture(const TDGTexture&) = delete;
  TDGTexture& operator=(const TDGTexture&) = delete;

  std::string ClassName() const override { return "TDGTexture"; }

  // A new texture of at least Width x Height (the device may want powers of two or squares),
  // filled with ClearColor unless it lives in D3DPOOL_DEFAULT.
  void SetSize(UINT Width, UINT Height);
  // FileName is a BMP file (Shift-JIS game path) when ArchiveName is empty, otherwise the
  // member ID inside that archive. Failures are reported through DGCheckResult.
  void LoadBMP(const std::string& FileName, const std::string& ArchiveName = {});
  // The BMP starts at the stream's position.
  void LoadBMPFromStream(TStream& Stream);

  // True when the rectangle (null: the whole level) is locked. A lock without
  // D3DLOCK_READONLY makes the pixels in memory the texture's source.
  bool LockRect(UINT Level, const RECT* Rect, D3DLOCKED_RECT& LockedRect, DWORD Flags);
  void UnlockRect();

  void FillRect(const RECT& Rect, D3DCOLOR Colour, bool KeepAlpha);
  // Callback(texture, raw pixel, x, y) returns the new raw pixel; the rectangle is locked once.
  template <class Callback>
  void ForEachPixel(const RECT& Rect, Callback&& callback);
  // Pixels of the key colour (alpha ignored) become fully transparent, all others fully opaque.
  void SetColorKey(const RECT& Rect, D3DCOLOR Colour);
  // The Width x Height image as a bottom-up 32-bit BMP.
  void SaveToBMPStream(TStream& Stream);

  // Registry callbacks.
  void OnRelease();
  void OnRebuild();
  void OnLost();
  void OnReset();

  std::int32_t ID() const { return id_; }
  const std::string& Name() const { return name_; }
  D3DFORMAT Format() const { return format_; }
  UINT Width() const { return width_; }
  UINT Height() const { return height_; }
  UINT TexWidth() const { return texWidth_; }
  UINT TexHeight() const { return texHeight_; }
  float ScaleU() const { return scaleU_; }
  float ScaleV() const { return scaleV_; }
  IDirect3DTexture9* Texture() const { return texture_; }
  int BytesPerPixel() const { return bytesPerPixel_; }
  bool Restorable() const { return restorable_; }
  TDGSourceKind SourceKind() const { return sourceKind_; }
  D3DCOLOR ClearColor = 0;

 private:
  void CreateTexture(UINT TW, UINT TH);
  D3DFORMAT ChooseFormat();
  void ReleaseTexture();
  void LoadSizedBitmap(TStream& Stream);

  std::int32_t id_ = 0;
  std::string name_;
  TDGCarad& carad_;
  D3DFORMAT format_ = D3DFMT_UNKNOWN;
  std::vector<D3DFORMAT> formats_;
  UINT width_ = 0, height_ = 0;
  UINT texWidth_ = 0, texHeight_ = 0;
  float scaleU_ = 0.0f, scaleV_ = 0.0f;
  IDirect3DTexture9* texture_ = nullptr;
  DWORD usage_;
  D3DPOOL pool_;
  std::int32_t lockedPitch_ = 0;
  std::uint8_t* lockedBits_ = nullptr;
  UINT lockedLevel_ = 0;
  int bytesPerPixel_ = 0;
  UINT levels_;
  bool restorable_;
  TDGSourceKind sourceKind_ = TDGSourceKind::None;
  std::string fileName_;
  std::string archiveName_, memberName_;
  std::unique_ptr<TMemoryStream> backup_;
  bool rebuilding_ = false;
};

template <class Callback>
void TDGTexture::ForEachPixel(const RECT& Rect, Callback&& callback) {
  // An empty rectangle (a full or an empty gauge bar) has nothing to change and cannot be locked.
  if (Rect.Right <= Rect.Left || Rect.Bottom <= Rect.Top) return;
  D3DLOCKED_RECT locked;
  if (!LockRect(0, &Rect, locked, 0)) return;
  auto* row = static_cast<std::uint8_t*>(locked.pBits);
  for (LONG y = Rect.Top; y < Rect.Bottom; ++y, row += locked.Pitch) {
    std::uint8_t* pixel = row;
    for (LONG x = Rect.Left; x < Rect.Right; ++x, pixel += bytesPerPixel_) {
      DGWritePixel(pixel, bytesPerPixel_, callback(*this, DGReadPixel(pixel, bytesPerPixel_), x, y));
    }
  }
  UnlockRect();
}
