#include "platform/d3d9.h"

#include <algorithm>
#include <cstdio>

#include "backend.h"
#include "d3d9_device.h"
#include "d3d9_settings.h"
#include "platform/app.h"

namespace platform::d3d9 {

DeviceProfile& Profile() {
  static DeviceProfile profile;
  return profile;
}

bool IsDepthFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D32:
      return true;
    default:
      return false;
  }
}

void FillCaps(D3DDEVTYPE deviceType, UINT adapter, D3DCAPS9& caps) {
  const DeviceProfile& profile = Profile();
  caps = {};
  caps.DeviceType = deviceType;
  caps.AdapterOrdinal = adapter;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  caps.DevCaps = profile.hardwareTransformAndLight ? D3DDEVCAPS_HWTRANSFORMANDLIGHT : 0;
  caps.PrimitiveMiscCaps = profile.separateBlendOp ? D3DPMISCCAPS_BLENDOP : 0;
  caps.TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP |
                     (profile.powerOfTwoTextures ? D3DPTEXTURECAPS_POW2 : 0) |
                     (profile.squareOnlyTextures ? D3DPTEXTURECAPS_SQUAREONLY : 0);
  caps.MaxTextureWidth = profile.maxTextureWidth;
  caps.MaxTextureHeight = profile.maxTextureHeight;
  caps.MaxSimultaneousTextures = 1;
  caps.MaxPrimitiveCount = 0xFFFFF;
}

namespace {

bool IsBackBufferFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return true;
    default:
      return false;
  }
}

bool IsTextureFormat(D3DFORMAT format) {
  const auto& formats = Profile().textureFormats;
  return SdlFormatOf(format) != SDL_PIXELFORMAT_UNKNOWN &&
         std::find(formats.begin(), formats.end(), format) != formats.end();
}

bool DeviceTypeAvailable(D3DDEVTYPE deviceType) {
  return deviceType == D3DDEVTYPE_REF || (deviceType == D3DDEVTYPE_HAL && Profile().hardwareDeviceAvailable);
}

// HWND is the form itself. A full-screen device takes the whole screen, so its window's client
// area becomes the mode's size, as the window system does for such a device.
void FitWindowToFullScreen(const D3DPRESENT_PARAMETERS& params) {
  if (params.Windowed != FALSE || params.hDeviceWindow == nullptr) return;
  auto* form = reinterpret_cast<TForm*>(params.hDeviceWindow);
  form->ClientWidth = static_cast<int>(params.BackBufferWidth);
  form->ClientHeight = static_cast<int>(params.BackBufferHeight);
}

// The backend's picture surface when it has the back buffer's size and layout: the device then
// draws into it directly instead of into a texture.
SDL_Surface* PictureMemory(const D3DPRESENT_PARAMETERS& params) {
  SDL_Surface* surface = backend::PictureSurface();
  const bool fits = surface != nullptr && surface->format->format == SDL_PIXELFORMAT_ARGB8888 &&
                    static_cast<UINT>(surface->w) == params.BackBufferWidth &&
                    static_cast<UINT>(surface->h) == params.BackBufferHeight;
  return fits ? surface : nullptr;
}

class Direct3D final : public IDirect3D9 {
 public:
  UINT GetAdapterCount() override { return 1; }

  HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier) override {
    if (adapter != 0 || identifier == nullptr) return D3DERR_INVALIDCALL;
    *identifier = {};
    const std::string name = backend::RendererName();
    const char* renderer = name.c_str();
    std::snprintf(identifier->Driver, sizeof identifier->Driver, "sdl-%s", renderer);
    std::snprintf(identifier->Description, sizeof identifier->Description, "SDL 2D renderer (%s)", renderer);
    std::snprintf(identifier->DeviceName, sizeof identifier->DeviceName, "DISPLAY1");
    return D3D_OK;
  }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
    *mode = {static_cast<UINT>(backend::DisplayWidth()), static_cast<UINT>(backend::DisplayHeight()), 60,
             D3DFMT_X8R8G8B8};
    return D3D_OK;
  }

  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
    if (adapter != 0 || !DeviceTypeAvailable(deviceType) || !IsBackBufferFormat(adapterFormat)) {
      return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DEPTHSTENCIL) != 0) return IsDepthFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if ((usage & D3DUSAGE_RENDERTARGET) != 0) {
      return checkFormat == D3DFMT_A8R8G8B8 || checkFormat == D3DFMT_X8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE) {
      return IsTextureFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    return D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                 D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override {
    if (adapter != 0 || !DeviceTypeAvailable(deviceType) || !IsBackBufferFormat(adapterFormat) ||
        !IsBackBufferFormat(renderTargetFormat)) {
      return D3DERR_INVALIDCALL;
    }
    return IsDepthFormat(depthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override {
    if (adapter != 0 || caps == nullptr) return D3DERR_INVALIDCALL;
    if (!DeviceTypeAvailable(deviceType)) return D3DERR_NOTAVAILABLE;
    FillCaps(deviceType, adapter, *caps);
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                       IDirect3DDevice9** returnedDevice) override {
    if (returnedDevice == nullptr) return D3DERR_INVALIDCALL;
    *returnedDevice = nullptr;
    if (adapter != 0 || params == nullptr) return D3DERR_INVALIDCALL;
    if (Profile().deviceCreationFails || !DeviceTypeAvailable(deviceType)) return D3DERR_NOTAVAILABLE;
    const HRESULT valid = CheckParameters(deviceType, behaviorFlags, *params);
    if (valid != D3D_OK) return valid;
    FillDefaults(*params);
    backend::SetDisplayMode(params->Windowed == FALSE, static_cast<int>(params->BackBufferWidth),
                            static_cast<int>(params->BackBufferHeight));
    FitWindowToFullScreen(*params);
    // With no other device and no texture alive nothing holds the renderer, so one drawing
    // into memory of the new back buffer's size may take its place, for the device to draw in.
    if (RefCount() == 1 && !TexturesAlive()) backend::FitPictureSurface();
    SDL_Renderer* renderer = backend::Renderer();
    SDL_Surface* memory = PictureMemory(*params);
    SdlTexturePtr picture;
    if (memory == nullptr) {
      picture.reset(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                      static_cast<int>(params->BackBufferWidth), static_cast<int>(params->BackBufferHeight)));
      if (!picture) return D3DERR_NOTAVAILABLE;
    }
    *returnedDevice = new Device(*this, deviceType, renderer, std::move(picture), memory, *params);
    return D3D_OK;
  }

 private:
  static HRESULT CheckParameters(D3DDEVTYPE deviceType, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& params) {
    const DWORD processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING) {
      return D3DERR_INVALIDCALL;
    }
    D3DCAPS9 caps;
    FillCaps(deviceType, 0, caps);
    if (processing == D3DCREATE_HARDWARE_VERTEXPROCESSING && (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) == 0) {
      return D3DERR_INVALIDCALL;
    }
    if (params.EnableAutoDepthStencil != FALSE && !IsDepthFormat(params.AutoDepthStencilFormat)) {
      return D3DERR_INVALIDCALL;
    }
    if (params.BackBufferCount > 3) return D3DERR_INVALIDCALL;
    const bool formatGiven = params.BackBufferFormat != D3DFMT_UNKNOWN;
    if (formatGiven ? !IsBackBufferFormat(params.BackBufferFormat) : params.Windowed == FALSE) {
      return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
  }

  // A windowed device without a size takes its window's client area, and the desktop's format.
  static void FillDefaults(D3DPRESENT_PARAMETERS& params) {
    if ((params.BackBufferWidth == 0 || params.BackBufferHeight == 0) && params.hDeviceWindow != nullptr) {
      const auto* form = reinterpret_cast<const TForm*>(params.hDeviceWindow);
      if (params.BackBufferWidth == 0) params.BackBufferWidth = static_cast<UINT>(form->ClientWidth);
      if (params.BackBufferHeight == 0) params.BackBufferHeight = static_cast<UINT>(form->ClientHeight);
    }
    if (params.BackBufferWidth == 0) params.BackBufferWidth = 1;
    if (params.BackBufferHeight == 0) params.BackBufferHeight = 1;
    if (params.BackBufferCount == 0) params.BackBufferCount = 1;
    if (params.BackBufferFormat == D3DFMT_UNKNOWN) params.BackBufferFormat = D3DFMT_X8R8G8B8;
  }
};

}  // namespace

}  // namespace platform::d3d9

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION || !platform::d3d9::Profile().direct3DAvailable) return nullptr;
  return new platform::d3d9::Direct3D();
}
