#pragma once
// The graphics device component: owns Direct3D and the device of its window, switches
// between windowed and full-screen devices, keeps the registry of device resources and
// writes the graphics debug log.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "DGLog.h"
#include "DGPixelFormat.h"
#include "platform/app.h"
#include "platform/d3d9.h"

// Bits of the DebugOption set.
enum TDGDebugOption : std::uint8_t { dgoHaltOnError = 1, dgoDebugMessage = 2, dgoDetailedLog = 4 };
using TDGDebugOptions = std::uint8_t;

// The candidate formats of every texture the game creates, in preference order.
inline constexpr std::array<D3DFORMAT, 3> DGAlphaFormats{D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5};

// An object that holds device resources and registers with the component. One still
// registered when the component shuts down is deleted by it, so it must live on the heap.
class TDGResource {
 public:
  virtual ~TDGResource() = default;
  virtual std::string ClassName() const = 0;
};

// An empty function is an unassigned callback.
using TDGNotifyEvent = std::function<void()>;

struct TDGResourceDesc {
  std::int32_t ID = 0;
  std::string Name;
  std::string ClassName;  // of Resource, taken when it registered
  TDGResource* Resource = nullptr;
  TDGNotifyEvent OnRelease, OnRebuild, OnLost, OnReset;
};

class TDGCarad {
 public:
  // Places the debug log beside the program of the owner's application.
  explicit TDGCarad(TForm& owner);
  ~TDGCarad();
  TDGCarad(const TDGCarad&) = delete;
  TDGCarad& operator=(const TDGCarad&) = delete;

  bool UseREFDevice = false;
  bool UseSoftwareVertexProcessing = false;
  void SetDebugOption(TDGDebugOptions options);
  TDGDebugOptions DebugOption() const { return debugOption_; }

  // Start-up: runs once the owner's stored settings are applied, before its creation handler.
  void Loaded();

  void ToWindowMode(int Width, int Height, std::span<const D3DFORMAT> DepthFormats, UINT PresentationInterval,
                    D3DSWAPEFFECT SwapEffect, D3DMULTISAMPLE_TYPE MultiSampleType, UINT Adapter);
  void ToFullScreen(int Width, int Height, D3DFORMAT BackBufferFormat, std::span<const D3DFORMAT> DepthFormats,
                    UINT RefreshRate, UINT PresentationInterval, D3DSWAPEFFECT SwapEffect,
                    D3DMULTISAMPLE_TYPE MultiSampleType, UINT Adapter);
  void InitDisplayMode(UINT Adapter, bool Windowed, const D3DDISPLAYMODE& Mode, D3DMULTISAMPLE_TYPE MultiSampleType,
                       std::span<const D3DFORMAT> DepthFormats, D3DSWAPEFFECT SwapEffect, UINT PresentationInterval);
  void CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND FocusWindow, DWORD BehaviorFlags,
                    D3DPRESENT_PARAMETERS& PresentParams);
  void ReleaseDevice();
  D3DDISPLAYMODE GetDisplayMode(UINT Adapter);

  IDirect3D9* Direct3D() const { return direct3D_; }
  IDirect3DDevice9* Device() const { return device_; }
  // Null when the device has no such back buffer (or no device exists).
  IDirect3DSurface9* BackBuffers(int Index) const {
    return Index >= 0 && static_cast<std::size_t>(Index) < backBuffers_.size() ? backBuffers_[Index] : nullptr;
  }
  int BackBufferCount() const { return backBufferCount_; }
  IDirect3DSurface9* DepthStencil() const { return depthStencil_; }
  bool IsWindowed() const { return isWindowed_; }
  D3DFORMAT BackBufferFormat() const { return backBufferFormat_; }
  int BackBufferWidth() const { return backBufferWidth_; }
  int BackBufferHeight() const { return backBufferHeight_; }
  const D3DPRESENT_PARAMETERS& PresentParams() const { return presentParams_; }
  UINT Adapter() const { return adapter_; }
  D3DDEVTYPE DeviceType() const { return deviceType_; }
  TForm& Window() const { return window_; }

  // The resource registry. Callbacks must not register or unregister.
  std::int32_t RegisterResource(TDGResource& Resource, const std::string& Name, TDGNotifyEvent OnRelease,
                                TDGNotifyEvent OnRebuild, TDGNotifyEvent OnLost, TDGNotifyEvent OnReset);
  void UnregisterResource(std::int32_t ID);
  void ReleaseAllResources();
  void RebuildAllResources();
  const std::vector<TDGResourceDesc>& Resources() const { return resources_; }

 private:
  D3DFORMAT FindDepthStencilFormat(UINT Adapter, D3DDEVTYPE DeviceType, const D3DPRESENT_PARAMETERS& params,
                                   std::span<const D3DFORMAT> DepthFormats);
  void LogAdapterIdentifier(UINT Adapter);
  void CreateChosenDevice(UINT Adapter, D3DPRESENT_PARAMETERS& params, std::span<const D3DFORMAT> DepthFormats);
  void FetchSurfaces(const D3DPRESENT_PARAMETERS& params);
  void ReleaseSurfaces();
  void DestroyLeftoverResources();

  TForm& window_;
  IDirect3D9* direct3D_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  std::vector<IDirect3DSurface9*> backBuffers_;
  IDirect3DSurface9* depthStencil_ = nullptr;
  std::int32_t backBufferCount_ = 0;
  TDGDebugOptions debugOption_ = dgoHaltOnError | dgoDebugMessage | dgoDetailedLog;
  bool isWindowed_ = false;
  D3DFORMAT backBufferFormat_ = D3DFMT_UNKNOWN;
  std::int32_t backBufferWidth_ = 0, backBufferHeight_ = 0;
  D3DPRESENT_PARAMETERS presentParams_{};
  UINT adapter_ = 0;
  D3DDEVTYPE deviceType_ = D3DDEVTYPE_HAL;
  std::int32_t nextResourceID_ = 0;
  std::vector<TDGResourceDesc> resources_;
};
