#include "platform/headless_graphics.h"

#include <utility>

#include "d3d9_settings.h"

namespace headless {

using platform::d3d9::Profile;

void ResetGraphics() { Profile() = {}; }

void SetTextureCaps(bool powerOfTwo, bool squareOnly) {
  Profile().powerOfTwoTextures = powerOfTwo;
  Profile().squareOnlyTextures = squareOnly;
}

void SetMaxTextureSize(UINT width, UINT height) {
  Profile().maxTextureWidth = width;
  Profile().maxTextureHeight = height;
}

void SetHardwareTransformAndLight(bool available) { Profile().hardwareTransformAndLight = available; }
void SetSeparateBlendOp(bool available) { Profile().separateBlendOp = available; }
void SetAvailableTextureMemory(UINT bytes) { Profile().availableTextureMemory = bytes; }
void SetTextureFormats(std::vector<D3DFORMAT> formats) { Profile().textureFormats = std::move(formats); }
void SetDirect3DAvailable(bool available) { Profile().direct3DAvailable = available; }
void SetHardwareDeviceAvailable(bool available) { Profile().hardwareDeviceAvailable = available; }
void SetDeviceCreationFails(bool fails) { Profile().deviceCreationFails = fails; }

}  // namespace headless
