#pragma once
// What the headless graphics device reports: every capability branch of the graphics
// component can be reached. ResetGraphics() restores a capable device.
#include <vector>

#include "platform/d3d9.h"

namespace headless {

void ResetGraphics();

void SetTextureCaps(bool powerOfTwo, bool squareOnly);
void SetMaxTextureSize(UINT width, UINT height);
void SetHardwareTransformAndLight(bool available);
void SetSeparateBlendOp(bool available);
void SetAvailableTextureMemory(UINT bytes);
// The formats textures may have; the order does not matter.
void SetTextureFormats(std::vector<D3DFORMAT> formats);

// Failures: Direct3DCreate9 returns null; the hardware device's capability query fails;
// CreateDevice fails with D3DERR_NOTAVAILABLE.
void SetDirect3DAvailable(bool available);
void SetHardwareDeviceAvailable(bool available);
void SetDeviceCreationFails(bool fails);

}  // namespace headless
