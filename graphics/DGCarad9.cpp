#include "DGCarad9.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool haltOnError = true;

}  // namespace

HRESULT DGCheckResult(HRESULT code, const std::string& message) {
  if (code == D3D_OK) return code;
  std::fprintf(stderr, "%s(Error Code = %d)\n", message.c_str(), static_cast<int>(code));
  // Exit status 1: ending the program on a device error is a failure, not a success.
  if (haltOnError) std::exit(1);
  return code;
}

TDGCarad::TDGCarad(TForm& owner) : owner_(owner) {}

TDGCarad::~TDGCarad() {
  ReleaseDevice();
  if (direct3D_ != nullptr) DGCheckResult(static_cast<HRESULT>(direct3D_->Release()), "Direct3Dオブジェクトの解放に失敗しました");
  direct3D_ = nullptr;
}

void TDGCarad::SetDebugOption(TDGDebugOptions options) {
  debugOption_ = options;
  haltOnError = (options & dgoHaltOnError) != 0;
}

void TDGCarad::Loaded() {
  SetDebugOption(debugOption_);
  direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (direct3D_ == nullptr) {
    DGCheckResult(1, "Direct3Dオプジェクトすら生成できません、論外");
    return;
  }
  ToWindowMode(owner_.ClientWidth, owner_.ClientHeight, {}, D3DPRESENT_INTERVAL_DEFAULT, D3DSWAPEFFECT_DISCARD,
               D3DMULTISAMPLE_NONE, 0);
}

void TDGCarad::ToWindowMode(int width, int height, std::span<const D3DFORMAT> depthFormats, UINT presentationInterval,
                            D3DSWAPEFFECT swapEffect, D3DMULTISAMPLE_TYPE multiSampleType, UINT adapter) {
  ReleaseDevice();
  D3DDISPLAYMODE mode = GetDisplayMode(adapter);
  mode.Width = static_cast<UINT>(width);
  mode.Height = static_cast<UINT>(height);
  InitDisplayMode(adapter, true, mode, multiSampleType, depthFormats, swapEffect, presentationInterval);
  SetWindowPos(owner_.Handle(), HWND_NOTOPMOST, 0, 0, width, height, SWP_SHOWWINDOW | SWP_NOMOVE);
}

void TDGCarad::ToFullScreen(int width, int height, D3DFORMAT backBufferFormat, std::span<const D3DFORMAT> depthFormats,
                            UINT refreshRate, UINT presentationInterval, D3DSWAPEFFECT swapEffect,
                            D3DMULTISAMPLE_TYPE multiSampleType, UINT adapter) {
  const D3DDISPLAYMODE mode{static_cast<UINT>(width), static_cast<UINT>(height), refreshRate, backBufferFormat};
  InitDisplayMode(adapter, false, mode, multiSampleType, depthFormats, swapEffect, presentationInterval);
}

D3DDISPLAYMODE TDGCarad::GetDisplayMode(UINT adapter) {
  D3DDISPLAYMODE mode{};
  if (direct3D_ != nullptr) direct3D_->GetAdapterDisplayMode(adapter, &mode);
  return mode;
}

void TDGCarad::InitDisplayMode(UINT adapter, bool windowed, const D3DDISPLAYMODE& mode,
                               D3DMULTISAMPLE_TYPE multiSampleType, std::span<const D3DFORMAT> depthFormats,
                               D3DSWAPEFFECT swapEffect, UINT presentationInterval) {
  D3DPRESENT_PARAMETERS params{};
  params.Windowed = windowed ? TRUE : FALSE;
  params.SwapEffect = swapEffect;
  params.BackBufferWidth = mode.Width;
  params.BackBufferHeight = mode.Height;
  params.BackBufferFormat = mode.Format;
  params.MultiSampleType = multiSampleType;
  params.PresentationInterval = presentationInterval;
  if (!windowed) params.FullScreen_RefreshRateInHz = mode.RefreshRate;
  params.hDeviceWindow = owner_.Handle();
  params.EnableAutoDepthStencil = depthFormats.empty() ? FALSE : TRUE;
  const DWORD vertexProcessing =
      UseSoftwareVertexProcessing ? D3DCREATE_SOFTWARE_VERTEXPROCESSING : D3DCREATE_HARDWARE_VERTEXPROCESSING;
  CreateDevice(adapter, UseREFDevice ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL, owner_.Handle(), vertexProcessing, params);
}

void TDGCarad::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                            D3DPRESENT_PARAMETERS& params) {
  if (device_ != nullptr) ReleaseDevice();
  const HRESULT result = direct3D_->CreateDevice(adapter, deviceType, focusWindow, behaviorFlags, &params, &device_);
  if (DGCheckResult(result, "Direct3DDeviceオブジェクトの生成に失敗しました") != D3D_OK) return;
  presentParams_ = params;
  deviceType_ = deviceType;
  adapter_ = adapter;
  isWindowed_ = params.Windowed != FALSE;
  backBufferWidth_ = static_cast<int>(params.BackBufferWidth);
  backBufferHeight_ = static_cast<int>(params.BackBufferHeight);
  backBufferFormat_ = params.BackBufferFormat;
}

void TDGCarad::ReleaseDevice() {
  if (device_ == nullptr) return;
  DGCheckResult(static_cast<HRESULT>(device_->Release()), "Direct3DDeviceオブジェクトの解放に失敗しました");
  device_ = nullptr;
}
