#include "DGTexture.h"

#include <algorithm>
#include <limits>

#include "DGBitmap.h"
#include "QDArc.h"
#include "platform/files.h"

namespace {

// Sizes past 2^31 (a top-down bitmap's negative height) stay as they are: creation refuses them.
UINT NextPowerOfTwo(UINT side) {
  std::uint64_t power = 1;
  while (power < side) power <<= 1;
  return power <= std::numeric_limits<UINT>::max() ? static_cast<UINT>(power) : side;
}

float Scale(UINT used, UINT allocated) {
  return allocated == 0 ? 0.0f : static_cast<float>(used) / static_cast<float>(allocated);
}

}  // namespace

TDGTexture::TDGTexture(TDGCarad& Carad, std::span<const D3DFORMAT> Formats, DWORD Usage, D3DPOOL Pool, UINT Levels,
                       const std::string& Name)
    : carad_(Carad),
      formats_(Formats.begin(), Formats.end()),
      usage_(Usage),
      pool_(Pool),
      levels_(Levels),
      restorable_(Pool != D3DPOOL_DEFAULT) {
  id_ = carad_.RegisterResource(
      *this, Name, [this] { OnRelease(); }, [this] { OnRebuild(); }, [this] { OnLost(); }, [this] { OnReset(); });
  name_ = Name;
}

TDGTexture::~TDGTexture() {
  DGLogF("テクスチャオブジェクトを解放します");
  if (texture_ != nullptr) DGCheck(static_cast<HRESULT>(texture_->Release()), "テクスチャの解放に失敗しました");
  texture_ = nullptr;
  backup_.reset();
  carad_.UnregisterResource(id_);
}

void TDGTexture::SetSize(UINT Width, UINT Height) {
  width_ = Width;
  height_ = Height;
  UINT texWidth = Width, texHeight = Height;
  D3DCAPS9 caps;
  IDirect3D9* direct3D = carad_.Direct3D();
  if (direct3D != nullptr && direct3D->GetDeviceCaps(carad_.Adapter(), carad_.DeviceType(), &caps) == D3D_OK) {
    if (Width > caps.MaxTextureWidth || Height > caps.MaxTextureHeight) {
      DGLogF("要求されたテクスチャのサイズは大きすぎます。%d x %d 以内にして下さい", caps.MaxTextureWidth,
             caps.MaxTextureHeight);
    }
    if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0) texWidth = texHeight = std::max(texWidth, texHeight);
    if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0) {
      texWidth = NextPowerOfTwo(texWidth);
      texHeight = NextPowerOfTwo(texHeight);
    }
  }
  texWidth_ = texWidth;
  texHeight_ = texHeight;
  scaleU_ = Scale(Width, texWidth);
  scaleV_ = Scale(Height, texHeight);
  CreateTexture(texWidth, texHeight);
  if (pool_ != D3DPOOL_DEFAULT) {
    FillRect({0, 0, static_cast<LONG>(texWidth), static_cast<LONG>(texHeight)}, ClearColor, false);
  }
  if (!rebuilding_) {
    backup_.reset();
    sourceKind_ = TDGSourceKind::Memory;
  }
}

void TDGTexture::CreateTexture(UINT TW, UINT TH) {
  if (texture_ != nullptr) {
    DGLogF("テクスチャの再生成に伴い、以前のテクスチャを解放します");
    DGCheck(static_cast<HRESULT>(texture_->Release()), "テクスチャの解放に失敗しました");
    texture_ = nullptr;
  }
  format_ = ChooseFormat();
  DGLogF("使用されるフォーマットは %s です", DGFormatName(format_));
  IDirect3DDevice9* device = carad_.Device();
  const HRESULT result = device != nullptr
                             ? device->CreateTexture(TW, TH, levels_, usage_, format_, pool_, &texture_, nullptr)
                             : D3DERR_INVALIDCALL;
  if (DGCheck(result, "テクスチャの生成に失敗しました") != D3D_OK) texture_ = nullptr;
  if (device != nullptr) {
    DGLogF("残りテクスチャ容量は、約%.2fメガです", device->GetAvailableTextureMem() / 1048576.0);
  }
  bytesPerPixel_ = DGFormatBitCount(format_) / 8;
}

// The first candidate the device takes, else the back buffer's own format.
D3DFORMAT TDGTexture::ChooseFormat() {
  D3DSURFACE_DESC backBuffer;
  IDirect3DSurface9* surface = carad_.BackBuffers(0);
  if (surface == nullptr || surface->GetDesc(&backBuffer) != D3D_OK) backBuffer.Format = D3DFMT_UNKNOWN;
  IDirect3D9* direct3D = carad_.Direct3D();
  if (direct3D == nullptr) return backBuffer.Format;
  for (const D3DFORMAT candidate : formats_) {
    if (direct3D->CheckDeviceFormat(carad_.Adapter(), carad_.DeviceType(), backBuffer.Format, usage_,
                                    D3DRTYPE_TEXTURE, candidate) == D3D_OK) {
      return candidate;
    }
  }
  return backBuffer.Format;
}

void TDGTexture::LoadBMP(const std::string& FileName, const std::string& ArchiveName) {
  const bool fromArchive = !ArchiveName.empty();
  // Rebuilding passes our own names in; keep copies before they are reassigned below.
  const std::string file = FileName, archive = ArchiveName;
  try {
    std::unique_ptr<TStream> stream;
    if (fromArchive) {
      DGLogF("ID %d(%s) のテクスチャに、QDAファイル%s から ID %s を読み込みます", id_, name_, archive, file);
      stream = QDAReadMember(archive, file);
    } else {
      DGLogF("ID %d(%s) のテクスチャに、%s を読み込みます", id_, name_, file);
      stream = std::make_unique<TFileStream>(platform::NativePath(file));
    }
    LoadSizedBitmap(*stream);
  } catch (const std::exception&) {
    const std::string source = fromArchive ? file + DGText(" ＠ ") + archive : file;
    DGCheckResult(1, source + DGText("からの、読み込みエラー"));
  }
  if (fromArchive) {
    sourceKind_ = TDGSourceKind::Archive;
    archiveName_ = archive;
    memberName_ = file;
  } else {
    sourceKind_ = TDGSourceKind::File;
    fileName_ = file;
  }
}

void TDGTexture::LoadBMPFromStream(TStream& Stream) {
  DGLogF("ID %d のテクスチャに、ストリームから読み込みます", id_);
  try {
    LoadSizedBitmap(Stream);
  } catch (const std::exception&) {
    DGCheck(1, "ストリームからの、読み込みエラー");
  }
  sourceKind_ = TDGSourceKind::Memory;
}

// Sizes the texture from the info header, then reads the bitmap from its first byte.
void TDGTexture::LoadSizedBitmap(TStream& Stream) {
  const std::int64_t start = Stream.Position();
  DGBitmapFileHeader file;
  DGBitmapInfoHeader info;
  if (!DGReadBitmapFileHeader(Stream, file) || !DGReadBitmapInfoHeader(Stream, info)) {
    throw EStreamError("the bitmap ends inside its headers");
  }
  if (!DGBitmapIsReadable(info)) {
    DGWriteLog(DGText("不正なBMPファイルです"));
    return;
  }
  SetSize(static_cast<UINT>(info.Width), static_cast<UINT>(info.Height));
  Stream.SetPosition(start);
  if (texture_ != nullptr) DGLoadBMPIntoTexture(*texture_, Stream);
}

bool TDGTexture::LockRect(UINT Level, const RECT* Rect, D3DLOCKED_RECT& LockedRect, DWORD Flags) {
  if ((Flags & D3DLOCK_READONLY) == 0 && sourceKind_ != TDGSourceKind::None) sourceKind_ = TDGSourceKind::Memory;
  if (texture_ == nullptr) {
    DGCheck(1, "テクスチャが確保されていません。LockRectの前にSetSizeするか、BMPを読み込んでください");
    return false;
  }
  lockedLevel_ = Level;
  if (DGCheck(texture_->LockRect(Level, &LockedRect, Rect, Flags), "LockRectに失敗しました") != D3D_OK) return false;
  lockedPitch_ = LockedRect.Pitch;
  lockedBits_ = static_cast<std::uint8_t*>(LockedRect.pBits);
  return true;
}

void TDGTexture::UnlockRect() {
  if (texture_ == nullptr) return;
  DGCheck(texture_->UnlockRect(lockedLevel_), "アンロックに失敗しました");
}

void TDGTexture::FillRect(const RECT& Rect, D3DCOLOR Colour, bool KeepAlpha) {
  const D3DFORMAT format = format_;
  if (!KeepAlpha) {
    const DWORD pixel = DGColorToPixel(Colour, format);
    ForEachPixel(Rect, [pixel](TDGTexture&, DWORD, LONG, LONG) { return pixel; });
    return;
  }
  ForEachPixel(Rect, [format, Colour](TDGTexture&, DWORD pixel, LONG, LONG) {
    const D3DCOLOR alpha = DGPixelToColor(pixel, format) & 0xFF000000;
    return DGColorToPixel(alpha | (Colour & 0x00FFFFFF), format);
  });
}

// The key goes through the texture's format first, so that on a format with fewer bits per
// channel it matches the pixels it would have become.
void TDGTexture::SetColorKey(const RECT& Rect, D3DCOLOR Colour) {
  const D3DFORMAT format = format_;
  const D3DCOLOR key = DGPixelToColor(DGColorToPixel(Colour | 0xFF000000, format), format) & 0x00FFFFFF;
  ForEachPixel(Rect, [format, key](TDGTexture&, DWORD pixel, LONG, LONG) {
    const D3DCOLOR colour = DGPixelToColor(pixel, format) & 0x00FFFFFF;
    return DGColorToPixel(colour == key ? colour : colour | 0xFF000000, format);
  });
}

void TDGTexture::SaveToBMPStream(TStream& Stream) {
  DGWriteBitmap32Headers(Stream, width_, height_);
  if (width_ == 0 || height_ == 0) return;
  const RECT image{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
  D3DLOCKED_RECT locked;
  if (!LockRect(0, &image, locked, D3DLOCK_READONLY)) return;
  std::vector<std::uint8_t> row(std::size_t{width_} * 4);
  for (UINT y = height_; y-- > 0;) {
    const std::uint8_t* source = static_cast<const std::uint8_t*>(locked.pBits) + std::size_t{y} * locked.Pitch;
    for (UINT x = 0; x < width_; ++x) {
      const D3DCOLOR colour = DGPixelToColor(DGReadPixel(source + std::size_t{x} * bytesPerPixel_, bytesPerPixel_), format_);
      DGWritePixel(&row[std::size_t{x} * 4], 4, colour);
    }
    Stream.Write(row.data(), row.size());
  }
  UnlockRect();
}

void TDGTexture::ReleaseTexture() {
  if (texture_ == nullptr) return;
  if (sourceKind_ == TDGSourceKind::Memory && restorable_) {
    backup_ = std::make_unique<TMemoryStream>();
    SaveToBMPStream(*backup_);
    backup_->SetPosition(0);
  }
  texture_->Release();
  texture_ = nullptr;
}

void TDGTexture::OnRelease() { ReleaseTexture(); }

void TDGTexture::OnRebuild() {
  // A texture that was never sized had nothing on the old device and gets nothing now:
  // creating a 0 x 0 texture would only fail.
  if (sourceKind_ == TDGSourceKind::None && width_ == 0 && height_ == 0) return;
  rebuilding_ = true;
  if (!restorable_) {
    SetSize(width_, height_);
  } else if (sourceKind_ == TDGSourceKind::File) {
    LoadBMP(fileName_);
  } else if (sourceKind_ == TDGSourceKind::Archive) {
    LoadBMP(memberName_, archiveName_);
  } else if (sourceKind_ == TDGSourceKind::Memory && backup_) {
    LoadBMPFromStream(*backup_);
    backup_.reset();
  } else {
    // Nothing loaded yet, or edited contents that had no texture to save when the device went.
    SetSize(width_, height_);
  }
  rebuilding_ = false;
}

void TDGTexture::OnLost() {
  if (pool_ == D3DPOOL_DEFAULT) ReleaseTexture();
}

void TDGTexture::OnReset() {
  if (pool_ == D3DPOOL_DEFAULT) SetSize(width_, height_);
}
