#pragma once
// The graphics device component: owns Direct3D and the device of the one window.
#include <cstdint>
#include <span>
#include <string>

#include "platform/app.h"
#include "platform/d3d9.h"

enum TDGDebugOption : std::uint8_t { dgoHaltOnError = 1, dgoDebugMessage = 2, dgoDetailedLog = 4 };
using TDGDebugOptions = std::uint8_t;

// Fails the step: logs it and, with halt-on-error, ends the program.
HRESULT DGCheckResult(HRESULT code, const std::string& message);

class TDGCarad {
 public:
  explicit TDGCarad(TForm& owner);
  ~TDGCarad();
  TDGCarad(const TDGCarad&) = delete;
  TDGCarad& operator=(const TDGCarad&) = delete;

  bool UseREFDevice = false;
  bool UseSoftwareVertexProcessing = false;
  void SetDebugOption(TDGDebugOptions options);
  TDGDebugOptions DebugOption() const { return debugOption_; }

  // Runs once the owner's stored settings are applied, before its creation handler.
  void Loaded();

  void ToWindowMode(int width, int height, std::span<const D3DFORMAT> depthFormats, UINT presentationInterval,
                    D3DSWAPEFFECT swapEffect, D3DMULTISAMPLE_TYPE multiSampleType, UINT adapter);
  void ToFullScreen(int width, int height, D3DFORMAT backBufferFormat, std::span<const D3DFORMAT> depthFormats,
                    UINT refreshRate, UINT presentationInterval, D3DSWAPEFFECT swapEffect,
                    D3DMULTISAMPLE_TYPE multiSampleType, UINT adapter);
  D3DDISPLAYMODE GetDisplayMode(UINT adapter);

  IDirect3D9* Direct3D() const { return direct3D_; }
  IDirect3DDevice9* Device() const { return device_; }
  bool IsWindowed() const { return isWindowed_; }
  int BackBufferWidth() const { return backBufferWidth_; }
  int BackBufferHeight() const { return backBufferHeight_; }
  D3DFORMAT BackBufferFormat() const { return backBufferFormat_; }
  const D3DPRESENT_PARAMETERS& PresentParams() const { return presentParams_; }

 private:
  void InitDisplayMode(UINT adapter, bool windowed, const D3DDISPLAYMODE& mode, D3DMULTISAMPLE_TYPE multiSampleType,
                       std::span<const D3DFORMAT> depthFormats, D3DSWAPEFFECT swapEffect, UINT presentationInterval);
  void CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                    D3DPRESENT_PARAMETERS& params);
  void ReleaseDevice();

  TForm& owner_;
  TDGDebugOptions debugOption_ = dgoHaltOnError | dgoDebugMessage | dgoDetailedLog;
  IDirect3D9* direct3D_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  bool isWindowed_ = true;
  int backBufferWidth_ = 0, backBufferHeight_ = 0;
  D3DFORMAT backBufferFormat_ = D3DFMT_UNKNOWN;
  D3DPRESENT_PARAMETERS presentParams_{};
  UINT adapter_ = 0;
  D3DDEVTYPE deviceType_ = D3DDEVTYPE_HAL;
};
