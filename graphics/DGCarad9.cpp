#include "DGCarad9.h"

#include <algorithm>

#include "platform/files.h"

namespace {

constexpr const char* kLogName = "DGCarad_DebugLog.txt";

}  // namespace

TDGCarad::TDGCarad(TForm& owner) : window_(owner) {
  DGCarad9::LogFileName = ExtractFilePath(owner.Application.ExeName()) + kLogName;
}

void TDGCarad::SetDebugOption(TDGDebugOptions options) {
  debugOption_ = options;
  DGCarad9::HaltOnError = (options & dgoHaltOnError) != 0;
  DGCarad9::DebugMessage = (options & dgoDebugMessage) != 0;
  DGCarad9::DetailedLog = (options & dgoDetailedLog) != 0;
}

void TDGCarad::Loaded() {
  device_ = nullptr;
  backBuffers_.clear();
  depthStencil_ = nullptr;
  backBufferCount_ = 0;
  SetDebugOption(debugOption_);
  resources_.clear();
  nextResourceID_ = 0;
  DGOpenLogSection("■■■起動時の初期化をします■■■");
  DGLogF("Direct3Dを生成します");
  direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (direct3D_ == nullptr) {
    DGCheck(1, "Direct3Dオプジェクトすら生成できません、論外");
    return;
  }
  DGLogF("ウィンドウのクライアント領域のサイズに合わせて初期化を開始します");
  ToWindowMode(window_.ClientWidth, window_.ClientHeight, {}, D3DPRESENT_INTERVAL_DEFAULT, D3DSWAPEFFECT_DISCARD,
               D3DMULTISAMPLE_NONE, 0);
  DGCloseLogSection("■■■DGCarad 起動しました■■■");
}

TDGCarad::~TDGCarad() {
  DGOpenLogSection("■■■お別れの時がやってまいりました■■■");
  DestroyLeftoverResources();
  DGLogF("DGCaradオブジェクトの解放に伴い、全ての関連オブジェクトを解放します");
  ReleaseDevice();
  if (direct3D_ != nullptr) {
    DGLogF("Direct3Dオブジェクトの解放を行います");
    DGCheck(static_cast<HRESULT>(direct3D_->Release()), "Direct3Dオブジェクトの解放に失敗しました");
    direct3D_ = nullptr;
  }
  resources_.clear();
  DGCloseLogSection("■■■それではごきげんよう■■■");
}

void TDGCarad::ToWindowMode(int Width, int Height, std::span<const D3DFORMAT> DepthFormats, UINT PresentationInterval,
                            D3DSWAPEFFECT SwapEffect, D3DMULTISAMPLE_TYPE MultiSampleType, UINT Adapter) {
  if (direct3D_ == nullptr) return;
  DGOpenLogSection("■■■Windowモードへ移行します■■■");
  ReleaseDevice();
  D3DDISPLAYMODE mode = GetDisplayMode(Adapter);
  mode.Width = static_cast<UINT>(Width);
  mode.Height = static_cast<UINT>(Height);
  InitDisplayMode(Adapter, true, mode, MultiSampleType, DepthFormats, SwapEffect, PresentationInterval);
  // Our windows have no frame, so the outer size is the client size.
  SetWindowPos(window_.Handle(), HWND_NOTOPMOST, 0, 0, Width, Height, SWP_SHOWWINDOW | SWP_NOMOVE);
  window_.ClientWidth = Width;
  window_.ClientHeight = Height;
  DGCloseLogSection("■■■Windowモードへ移行しました■■■");
}

void TDGCarad::ToFullScreen(int Width, int Height, D3DFORMAT BackBufferFormat, std::span<const D3DFORMAT> DepthFormats,
                            UINT RefreshRate, UINT PresentationInterval, D3DSWAPEFFECT SwapEffect,
                            D3DMULTISAMPLE_TYPE MultiSampleType, UINT Adapter) {
  if (direct3D_ == nullptr) return;
  DGOpenLogSection("■■■フルスクリーンモードへ移行します■■■");
  const D3DDISPLAYMODE mode{static_cast<UINT>(Width), static_cast<UINT>(Height), RefreshRate, BackBufferFormat};
  InitDisplayMode(Adapter, false, mode, MultiSampleType, DepthFormats, SwapEffect, PresentationInterval);
  DGCloseLogSection("■■■フルスクリーンモードへ移行しました■■■");
}

D3DDISPLAYMODE TDGCarad::GetDisplayMode(UINT Adapter) {
  D3DDISPLAYMODE mode{};
  if (direct3D_ != nullptr) direct3D_->GetAdapterDisplayMode(Adapter, &mode);
  return mode;
}

void TDGCarad::InitDisplayMode(UINT Adapter, bool Windowed, const D3DDISPLAYMODE& Mode,
                               D3DMULTISAMPLE_TYPE MultiSampleType, std::span<const D3DFORMAT> DepthFormats,
                               D3DSWAPEFFECT SwapEffect, UINT PresentationInterval) {
  if (direct3D_ == nullptr) return;
  DGOpenLogSection("■■■画面モードを初期化します■■■");
  D3DPRESENT_PARAMETERS params{};
  params.Windowed = Windowed ? TRUE : FALSE;
  params.SwapEffect = SwapEffect;
  params.BackBufferWidth = Mode.Width;
  params.BackBufferHeight = Mode.Height;
  params.BackBufferFormat = Mode.Format;
  params.MultiSampleType = MultiSampleType;
  params.PresentationInterval = PresentationInterval;
  LogAdapterIdentifier(Adapter);
  if (Windowed) {
    DGLogF("ウィンドウモード %dx%dで初期化します", Mode.Width, Mode.Height);
  } else {
    DGLogF("フルスクリーンモード %dx%d %dHz %s で初期化します", Mode.Width, Mode.Height, Mode.RefreshRate,
           DGFormatName(Mode.Format));
    params.FullScreen_RefreshRateInHz = Mode.RefreshRate;
  }
  params.hDeviceWindow = window_.Handle();
  params.EnableAutoDepthStencil = DepthFormats.empty() ? FALSE : TRUE;
  CreateChosenDevice(Adapter, params, DepthFormats);
  DGCloseLogSection("■■■画面モードを初期化しました■■■");
}

void TDGCarad::LogAdapterIdentifier(UINT Adapter) {
  D3DADAPTER_IDENTIFIER9 identifier;
  direct3D_->GetAdapterIdentifier(Adapter, 0, &identifier);
  DGLogF("Driver : %s", std::string(identifier.Driver));
  DGLogF("Description : %s", std::string(identifier.Description));
  DGLogF("VendorID : %.8X, DeviceID : %.8X, SubSysID : %.8X, Revision : %.8X", identifier.VendorId,
         identifier.DeviceId, identifier.SubSysId, identifier.Revision);
}

// Hardware or reference rasteriser, hardware or software vertex processing: chosen before
// creating, from the capabilities and the two properties; there is no second attempt.
void TDGCarad::CreateChosenDevice(UINT Adapter, D3DPRESENT_PARAMETERS& params,
                                  std::span<const D3DFORMAT> DepthFormats) {
  D3DCAPS9 caps;
  const bool hardwareCaps = direct3D_->GetDeviceCaps(Adapter, D3DDEVTYPE_HAL, &caps) == D3D_OK;
  const D3DDEVTYPE deviceType = hardwareCaps && !UseREFDevice ? D3DDEVTYPE_HAL : D3DDEVTYPE_REF;
  DGLogF(deviceType == D3DDEVTYPE_REF ? "ソフトウェアエミュレーションを利用します"
                                      : "ハードウェアアクセラレーションを利用します");
  params.AutoDepthStencilFormat = FindDepthStencilFormat(Adapter, deviceType, params, DepthFormats);
  DGLogF("デプスステンシルサーフェスのフォーマット...%s", DGFormatName(params.AutoDepthStencilFormat));
  DWORD behavior = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
  if (deviceType == D3DDEVTYPE_HAL) {
    const bool hardwareTnL = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0 && !UseSoftwareVertexProcessing;
    DGLogF(hardwareTnL ? "ハードウェアT&Lを利用します" : "ソフトウェアT&Lを利用します");
    if (hardwareTnL) behavior = D3DCREATE_HARDWARE_VERTEXPROCESSING;
  }
  CreateDevice(Adapter, deviceType, window_.Handle(), behavior, params);
}

D3DFORMAT TDGCarad::FindDepthStencilFormat(UINT Adapter, D3DDEVTYPE DeviceType, const D3DPRESENT_PARAMETERS& params,
                                           std::span<const D3DFORMAT> DepthFormats) {
  if (params.EnableAutoDepthStencil != FALSE) {
    for (const D3DFORMAT candidate : DepthFormats) {
      if (direct3D_->CheckDepthStencilMatch(Adapter, DeviceType, params.BackBufferFormat, params.BackBufferFormat,
                                            candidate) == D3D_OK) {
        return candidate;
      }
    }
  }
  DGLogF("希望のデプスステンシルサーフェスのフォーマットが見つかりませんでした");
  return D3DFMT_UNKNOWN;
}

void TDGCarad::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND FocusWindow, DWORD BehaviorFlags,
                            D3DPRESENT_PARAMETERS& PresentParams) {
  if (direct3D_ == nullptr) return;
  if (device_ != nullptr) {
    DGLogF("新しいデバイスの生成の前に、全ての関連オブジェクトを解放します");
    ReleaseDevice();
  }
  DGLogF("Direct3DDeviceオブジェクトの生成を行います");
  const HRESULT result = direct3D_->CreateDevice(Adapter, DeviceType, FocusWindow, BehaviorFlags, &PresentParams,
                                                 &device_);
  if (DGCheck(result, "Direct3DDeviceオブジェクトの生成に失敗しました") != D3D_OK) {
    device_ = nullptr;
    return;
  }
  FetchSurfaces(PresentParams);
  presentParams_ = PresentParams;
  deviceType_ = DeviceType;
  adapter_ = Adapter;
  isWindowed_ = PresentParams.Windowed != FALSE;
  backBufferWidth_ = static_cast<std::int32_t>(PresentParams.BackBufferWidth);
  backBufferHeight_ = static_cast<std::int32_t>(PresentParams.BackBufferHeight);
  backBufferFormat_ = PresentParams.BackBufferFormat;
  RebuildAllResources();
}

void TDGCarad::FetchSurfaces(const D3DPRESENT_PARAMETERS& params) {
  backBufferCount_ = static_cast<std::int32_t>(params.BackBufferCount);
  backBuffers_.assign(params.BackBufferCount, nullptr);
  for (UINT i = 0; i < params.BackBufferCount; ++i) {
    device_->GetBackBuffer(0, i, D3DBACKBUFFER_TYPE_MONO, &backBuffers_[i]);
  }
  if (device_->GetDepthStencilSurface(&depthStencil_) != D3D_OK) depthStencil_ = nullptr;
}

void TDGCarad::ReleaseDevice() {
  DGOpenLogSection("■■■Direct3Dデバイスを解放します■■■");
  ReleaseAllResources();
  ReleaseSurfaces();
  if (device_ != nullptr) {
    DGLogF("Direct3DDeviceオブジェクトの解放を行います");
    DGCheck(static_cast<HRESULT>(device_->Release()), "Direct3DDeviceオブジェクトの解放に失敗しました");
    device_ = nullptr;
  }
  DGCloseLogSection("■■■Direct3Dデバイスを解放しました■■■");
}

// A release that leaves references behind is a failure whose code is the count left.
void TDGCarad::ReleaseSurfaces() {
  if (depthStencil_ != nullptr) {
    DGLogF("デプスステンシルサーフェスを解放します");
    DGCheck(static_cast<HRESULT>(depthStencil_->Release()), "デプスステンシルサーフェスの解放に失敗しました");
    depthStencil_ = nullptr;
  }
  if (backBuffers_.empty()) return;
  DGLogF("バックバッファを解放します");
  for (std::size_t i = 0; i < backBuffers_.size(); ++i) {
    if (backBuffers_[i] == nullptr) continue;
    DGCheck(static_cast<HRESULT>(backBuffers_[i]->Release()), "バックバッファ #%d　の解放に失敗しました",
            static_cast<int>(i));
  }
  backBuffers_.clear();
}

std::int32_t TDGCarad::RegisterResource(TDGResource& Resource, const std::string& Name, TDGNotifyEvent OnRelease,
                                        TDGNotifyEvent OnRebuild, TDGNotifyEvent OnLost, TDGNotifyEvent OnReset) {
  const std::string className = Resource.ClassName();
  DGLogF("DGCaradリソース(%s)を登録します ID は %d(%s) です", className, nextResourceID_, Name);
  resources_.push_back({nextResourceID_, Name, className, &Resource, std::move(OnRelease), std::move(OnRebuild),
                        std::move(OnLost), std::move(OnReset)});
  return nextResourceID_++;
}

void TDGCarad::UnregisterResource(std::int32_t ID) {
  const auto found = std::find_if(resources_.begin(), resources_.end(),
                                  [ID](const TDGResourceDesc& desc) { return desc.ID == ID; });
  if (found == resources_.end()) {
    DGCheck(1, "リストに入ってないDGCaradリソース(ID:%d)が、UnregisterResource手続きに渡されました", ID);
    return;
  }
  DGLogF("DGCaradリソース(%s) : ID %d(%s) を登録解除します", found->ClassName, found->ID, found->Name);
  resources_.erase(found);
}

// Walked by index with the callback copied out, so that a callback that does register or
// unregister after all cannot leave the walk on freed memory.
void TDGCarad::ReleaseAllResources() {
  DGLogF("全てのDGCaradリソースを解放します");
  for (std::size_t i = 0; i < resources_.size(); ++i) {
    const TDGNotifyEvent onRelease = resources_[i].OnRelease;
    if (onRelease) onRelease();
  }
}

void TDGCarad::RebuildAllResources() {
  DGLogF("全てのDGCaradリソースを再構築します");
  for (std::size_t i = 0; i < resources_.size(); ++i) {
    const TDGNotifyEvent onRebuild = resources_[i].OnRebuild;
    if (onRebuild) onRebuild();
  }
}

void TDGCarad::DestroyLeftoverResources() {
  while (!resources_.empty()) {
    const std::int32_t id = resources_.front().ID;
    TDGResource* resource = resources_.front().Resource;
    DGLogF("ID %d(%s) のDGCaradリソースは、明示的に解放されていません", id, resources_.front().Name);
    delete resource;
    // A registrant that did not unregister itself must not keep the loop going.
    if (!resources_.empty() && resources_.front().ID == id) resources_.erase(resources_.begin());
  }
}
