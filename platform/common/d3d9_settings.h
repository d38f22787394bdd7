#pragma once
// What the graphics device reports about itself. The real backend keeps the defaults, which
// describe what SDL's renderers can do; tests change them to reach every branch of the
// program's capability checks.
#include <vector>

#include "platform/d3d9.h"

namespace platform::d3d9 {

struct DeviceProfile {
  bool powerOfTwoTextures = false;
  bool squareOnlyTextures = false;
  UINT maxTextureWidth = 4096, maxTextureHeight = 4096;
  bool hardwareTransformAndLight = true;
  bool separateBlendOp = true;
  UINT availableTextureMemory = 256u * 1024 * 1024;
  bool direct3DAvailable = true;
  bool hardwareDeviceAvailable = true;  // false: the HAL capability query fails
  bool deviceCreationFails = false;
  std::vector<D3DFORMAT> textureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5,
                                           D3DFMT_X1R5G5B5, D3DFMT_R5G6B5,   D3DFMT_X4R4G4B4};
};

DeviceProfile& Profile();

}  // namespace platform::d3d9
