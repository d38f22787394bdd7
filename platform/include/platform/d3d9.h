#pragma once
// The graphics device: objects with reference counts and 32-bit result codes, drawing
// into a 640 x 480 picture that Present shows on the display.
#include "platform/wintypes.h"

constexpr UINT D3D_SDK_VERSION = 31;

constexpr HRESULT MakeD3DError(unsigned code) { return static_cast<HRESULT>(0x88760000u | code); }
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeD3DError(2072);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeD3DError(380);
constexpr HRESULT D3DERR_NOTFOUND = MakeD3DError(2150);
constexpr HRESULT D3DERR_DEVICELOST = MakeD3DError(2152);
constexpr HRESULT D3DERR_DEVICENOTRESET = MakeD3DError(2153);
constexpr HRESULT D3DERR_NOTAVAILABLE = MakeD3DError(2154);
constexpr HRESULT D3DERR_INVALIDCALL = MakeD3DError(2156);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

using D3DCOLOR = DWORD;

enum D3DFORMAT : DWORD {
  D3DFMT_UNKNOWN = 0,
  D3DFMT_R8G8B8 = 20,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_A1R5G5B5 = 25,
  D3DFMT_A4R4G4B4 = 26,
  D3DFMT_D16 = 80,
  D3DFMT_D24S8 = 75,
};

enum D3DDEVTYPE : DWORD { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2 };
enum D3DSWAPEFFECT : DWORD { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };
enum D3DMULTISAMPLE_TYPE : DWORD { D3DMULTISAMPLE_NONE = 0 };

constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;
constexpr UINT D3DPRESENT_INTERVAL_ONE = 1;
constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
constexpr DWORD D3DCLEAR_TARGET = 1;

struct D3DDISPLAYMODE {
  UINT Width = 0, Height = 0, RefreshRate = 0;
  D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DPRESENT_PARAMETERS {
  UINT BackBufferWidth = 0, BackBufferHeight = 0;
  D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
  UINT BackBufferCount = 0;
  D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
  DWORD MultiSampleQuality = 0;
  D3DSWAPEFFECT SwapEffect = D3DSWAPEFFECT_DISCARD;
  HWND hDeviceWindow = nullptr;
  BOOL Windowed = TRUE;
  BOOL EnableAutoDepthStencil = FALSE;
  D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
  DWORD Flags = 0;
  UINT FullScreen_RefreshRateInHz = 0;
  UINT PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
};

struct D3DRECT {
  LONG x1, y1, x2, y2;
};

// COM-style lifetime: Release returns the count left and deletes at zero.
class IUnknown {
 public:
  UINT AddRef() { return ++refCount_; }
  UINT Release() {
    const UINT left = --refCount_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  IUnknown() = default;
  virtual ~IUnknown() = default;
  IUnknown(const IUnknown&) = delete;
  IUnknown& operator=(const IUnknown&) = delete;

 private:
  UINT refCount_ = 1;
};

class IDirect3DDevice9 : public IUnknown {
 public:
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                          const void* dirtyRegion) = 0;
  virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) = 0;
};

class IDirect3D9 : public IUnknown {
 public:
  virtual UINT GetAdapterCount() = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                               IDirect3DDevice9** returnedDevice) = 0;
};

IDirect3D9* Direct3DCreate9(UINT sdkVersion);
