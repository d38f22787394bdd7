#pragma once
// The graphics device: objects with reference counts and 32-bit result codes, drawing
// into a picture of the back-buffer size that Present shows on the display.
#include "platform/wintypes.h"

constexpr UINT D3D_SDK_VERSION = 31;
constexpr UINT D3DADAPTER_DEFAULT = 0;

constexpr HRESULT MakeD3DError(unsigned code) { return static_cast<HRESULT>(0x88760000u | code); }
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeD3DError(2072);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = MakeD3DError(2073);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLORARG = MakeD3DError(2074);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = MakeD3DError(2075);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAARG = MakeD3DError(2076);
constexpr HRESULT D3DERR_TOOMANYOPERATIONS = MakeD3DError(2077);
constexpr HRESULT D3DERR_CONFLICTINGTEXTUREFILTER = MakeD3DError(2078);
constexpr HRESULT D3DERR_UNSUPPORTEDFACTORVALUE = MakeD3DError(2079);
constexpr HRESULT D3DERR_CONFLICTINGRENDERSTATE = MakeD3DError(2081);
constexpr HRESULT D3DERR_UNSUPPORTEDTEXTUREFILTER = MakeD3DError(2082);
constexpr HRESULT D3DERR_CONFLICTINGTEXTUREPALETTE = MakeD3DError(2086);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MakeD3DError(2087);
constexpr HRESULT D3DERR_NOTFOUND = MakeD3DError(2150);
constexpr HRESULT D3DERR_MOREDATA = MakeD3DError(2151);
constexpr HRESULT D3DERR_DEVICELOST = MakeD3DError(2152);
constexpr HRESULT D3DERR_DEVICENOTRESET = MakeD3DError(2153);
constexpr HRESULT D3DERR_NOTAVAILABLE = MakeD3DError(2154);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeD3DError(380);
constexpr HRESULT D3DERR_INVALIDDEVICE = MakeD3DError(2155);
constexpr HRESULT D3DERR_INVALIDCALL = MakeD3DError(2156);
constexpr HRESULT D3DERR_DRIVERINVALIDCALL = MakeD3DError(2157);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

using D3DCOLOR = DWORD;

constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
         (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}

enum D3DFORMAT : DWORD {
  D3DFMT_UNKNOWN = 0,
  D3DFMT_R8G8B8 = 20,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_A1R5G5B5 = 25,
  D3DFMT_A4R4G4B4 = 26,
  D3DFMT_R3G3B2 = 27,
  D3DFMT_A8 = 28,
  D3DFMT_A8R3G3B2 = 29,
  D3DFMT_X4R4G4B4 = 30,
  D3DFMT_A8P8 = 40,
  D3DFMT_P8 = 41,
  D3DFMT_L8 = 50,
  D3DFMT_A8L8 = 51,
  D3DFMT_A4L4 = 52,
  D3DFMT_V8U8 = 60,
  D3DFMT_L6V5U5 = 61,
  D3DFMT_X8L8V8U8 = 62,
  D3DFMT_Q8W8V8U8 = 63,
  D3DFMT_V16U16 = 64,
  D3DFMT_D16_LOCKABLE = 70,
  D3DFMT_D32 = 71,
  D3DFMT_D15S1 = 73,
  D3DFMT_D24S8 = 75,
  D3DFMT_D24X8 = 77,
  D3DFMT_D24X4S4 = 79,
  D3DFMT_D16 = 80,
  D3DFMT_VERTEXDATA = 100,
  D3DFMT_INDEX16 = 101,
  D3DFMT_INDEX32 = 102,
  D3DFMT_DXT1 = MakeFourCC('D', 'X', 'T', '1'),
  D3DFMT_DXT2 = MakeFourCC('D', 'X', 'T', '2'),
  D3DFMT_DXT3 = MakeFourCC('D', 'X', 'T', '3'),
  D3DFMT_DXT4 = MakeFourCC('D', 'X', 'T', '4'),
  D3DFMT_DXT5 = MakeFourCC('D', 'X', 'T', '5'),
  D3DFMT_YUY2 = MakeFourCC('Y', 'U', 'Y', '2'),
  D3DFMT_UYVY = MakeFourCC('U', 'Y', 'V', 'Y'),
};

enum D3DDEVTYPE : DWORD { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };
enum D3DSWAPEFFECT : DWORD { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };
enum D3DMULTISAMPLE_TYPE : DWORD { D3DMULTISAMPLE_NONE = 0 };
enum D3DPOOL : DWORD { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };
enum D3DRESOURCETYPE : DWORD {
  D3DRTYPE_SURFACE = 1,
  D3DRTYPE_VOLUME = 2,
  D3DRTYPE_TEXTURE = 3,
  D3DRTYPE_VOLUMETEXTURE = 4,
  D3DRTYPE_CUBETEXTURE = 5,
  D3DRTYPE_VERTEXBUFFER = 6,
  D3DRTYPE_INDEXBUFFER = 7,
};
enum D3DBACKBUFFER_TYPE : DWORD { D3DBACKBUFFER_TYPE_MONO = 0 };

constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;
constexpr UINT D3DPRESENT_INTERVAL_ONE = 1;
constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
constexpr DWORD D3DCLEAR_TARGET = 1;
constexpr DWORD D3DCLEAR_ZBUFFER = 2;
constexpr DWORD D3DCLEAR_STENCIL = 4;

constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;

constexpr DWORD D3DLOCK_READONLY = 0x10;
constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
constexpr DWORD D3DLOCK_DISCARD = 0x2000;

// Capability bits that the program examines.
constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x10000;
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x2;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x4;
constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x20;
constexpr DWORD D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x100;
constexpr DWORD D3DPTEXTURECAPS_MIPMAP = 0x4000;
constexpr DWORD D3DPMISCCAPS_BLENDOP = 0x800;
constexpr DWORD D3DPMISCCAPS_SEPARATEALPHABLEND = 0x20000;

enum D3DRENDERSTATETYPE : DWORD {
  D3DRS_ZENABLE = 7,
  D3DRS_FILLMODE = 8,
  D3DRS_SHADEMODE = 9,
  D3DRS_ZWRITEENABLE = 14,
  D3DRS_ALPHATESTENABLE = 15,
  D3DRS_LASTPIXEL = 16,
  D3DRS_SRCBLEND = 19,
  D3DRS_DESTBLEND = 20,
  D3DRS_CULLMODE = 22,
  D3DRS_ZFUNC = 23,
  D3DRS_ALPHAREF = 24,
  D3DRS_ALPHAFUNC = 25,
  D3DRS_DITHERENABLE = 26,
  D3DRS_ALPHABLENDENABLE = 27,
  D3DRS_FOGENABLE = 28,
  D3DRS_SPECULARENABLE = 29,
  D3DRS_WRAP0 = 128,
  D3DRS_LIGHTING = 137,
  D3DRS_BLENDOP = 171,
};
enum D3DBLEND : DWORD {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
};
enum D3DBLENDOP : DWORD {
  D3DBLENDOP_ADD = 1,
  D3DBLENDOP_SUBTRACT = 2,
  D3DBLENDOP_REVSUBTRACT = 3,
  D3DBLENDOP_MIN = 4,
  D3DBLENDOP_MAX = 5,
};
enum D3DCMPFUNC : DWORD {
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8,
};
enum D3DFILLMODE : DWORD { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DCULL : DWORD { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };

enum D3DSAMPLERSTATETYPE : DWORD {
  D3DSAMP_ADDRESSU = 1,
  D3DSAMP_ADDRESSV = 2,
  D3DSAMP_ADDRESSW = 3,
  D3DSAMP_BORDERCOLOR = 4,
  D3DSAMP_MAGFILTER = 5,
  D3DSAMP_MINFILTER = 6,
  D3DSAMP_MIPFILTER = 7,
};
enum D3DTEXTUREFILTERTYPE : DWORD {
  D3DTEXF_NONE = 0,
  D3DTEXF_POINT = 1,
  D3DTEXF_LINEAR = 2,
  D3DTEXF_ANISOTROPIC = 3,
};
enum D3DTEXTURESTAGESTATETYPE : DWORD {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_TEXCOORDINDEX = 11,
};
enum D3DTEXTUREOP : DWORD {
  D3DTOP_DISABLE = 1,
  D3DTOP_SELECTARG1 = 2,
  D3DTOP_SELECTARG2 = 3,
  D3DTOP_MODULATE = 4,
};
constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;

enum D3DTRANSFORMSTATETYPE : DWORD {
  D3DTS_VIEW = 2,
  D3DTS_PROJECTION = 3,
  D3DTS_TEXTURE0 = 16,
  D3DTS_WORLD = 256,
};

enum D3DPRIMITIVETYPE : DWORD {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

constexpr DWORD D3DFVF_XYZ = 0x2;
constexpr DWORD D3DFVF_XYZRHW = 0x4;
constexpr DWORD D3DFVF_DIFFUSE = 0x40;
constexpr DWORD D3DFVF_SPECULAR = 0x80;
constexpr DWORD D3DFVF_TEX1 = 0x100;

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

struct D3DCAPS9 {
  D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
  UINT AdapterOrdinal = 0;
  DWORD Caps = 0, Caps2 = 0, Caps3 = 0;
  DWORD PresentationIntervals = 0;
  DWORD DevCaps = 0;
  DWORD PrimitiveMiscCaps = 0;
  DWORD RasterCaps = 0;
  DWORD ZCmpCaps = 0;
  DWORD SrcBlendCaps = 0, DestBlendCaps = 0;
  DWORD AlphaCmpCaps = 0;
  DWORD TextureCaps = 0;
  DWORD TextureFilterCaps = 0;
  DWORD MaxTextureWidth = 0, MaxTextureHeight = 0;
  DWORD MaxTextureAspectRatio = 0;
  DWORD MaxSimultaneousTextures = 0;
  DWORD MaxPrimitiveCount = 0;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[512] = {};
  char Description[512] = {};
  char DeviceName[32] = {};
  std::int64_t DriverVersion = 0;
  DWORD VendorId = 0, DeviceId = 0, SubSysId = 0, Revision = 0;
  BYTE DeviceIdentifier[16] = {};
  DWORD WHQLLevel = 0;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format = D3DFMT_UNKNOWN;
  D3DRESOURCETYPE Type = D3DRTYPE_SURFACE;
  DWORD Usage = 0;
  D3DPOOL Pool = D3DPOOL_DEFAULT;
  D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
  DWORD MultiSampleQuality = 0;
  UINT Width = 0, Height = 0;
};

struct D3DLOCKED_RECT {
  std::int32_t Pitch = 0;
  void* pBits = nullptr;
};

struct D3DRECT {
  LONG x1, y1, x2, y2;
};

struct D3DVIEWPORT9 {
  DWORD X = 0, Y = 0, Width = 0, Height = 0;
  float MinZ = 0.0f, MaxZ = 1.0f;
};

// Row-major, row-vector convention: translation in the fourth row.
struct D3DMATRIX {
  float m[4][4] = {};
};

// COM-style lifetime: Release returns the count left. An object owned by another (a back
// buffer by its device) outlives a count of zero until its owner lets it go.
class IUnknown {
 public:
  UINT AddRef() { return ++refCount_; }
  UINT Release() {
    if (refCount_ == 0) return 0;
    const UINT left = --refCount_;
    if (left == 0) FinalRelease();
    return left;
  }

 protected:
  IUnknown() = default;
  explicit IUnknown(UINT initialCount) : refCount_(initialCount) {}
  virtual ~IUnknown() = default;
  IUnknown(const IUnknown&) = delete;
  IUnknown& operator=(const IUnknown&) = delete;
  virtual void FinalRelease() { delete this; }
  UINT RefCount() const { return refCount_; }

 private:
  UINT refCount_ = 1;
};

class IDirect3DSurface9 : public IUnknown {
 public:
  virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect() = 0;

 protected:
  using IUnknown::IUnknown;
};

class IDirect3DTexture9 : public IUnknown {
 public:
  virtual DWORD GetLevelCount() = 0;
  virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
  // Rect null locks the whole level. Locks of default-pool textures need D3DUSAGE_DYNAMIC.
  virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3D9;

class IDirect3DDevice9 : public IUnknown {
 public:
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual UINT GetAvailableTextureMem() = 0;
  virtual HRESULT GetDirect3D(IDirect3D9** direct3D) = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
  virtual HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                IDirect3DSurface9** backBuffer) = 0;
  virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;
  virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                IDirect3DTexture9** texture, void* sharedHandle) = 0;

  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                          const void* dirtyRegion) = 0;
  // With no rectangles the viewport is cleared.
  virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) = 0;

  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
  virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
  virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
  // The device holds a reference to a bound texture until another is bound or it is destroyed.
  virtual HRESULT SetTexture(DWORD stage, IDirect3DTexture9* texture) = 0;
  virtual HRESULT SetFVF(DWORD fvf) = 0;
  virtual HRESULT GetFVF(DWORD* fvf) = 0;
  // Pre-transformed (D3DFVF_XYZRHW) triangle strips and lists with diffuse colour and one
  // texture coordinate set are drawn; other vertex formats are refused.
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                  UINT stride) = 0;

 protected:
  using IUnknown::IUnknown;
};

class IDirect3D9 : public IUnknown {
 public:
  virtual UINT GetAdapterCount() = 0;
  virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
  virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
  virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) = 0;
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                               D3DPRESENT_PARAMETERS* presentationParameters, IDirect3DDevice9** returnedDevice) = 0;
};

IDirect3D9* Direct3DCreate9(UINT sdkVersion);
