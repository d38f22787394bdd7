#pragma once
// The last steps of the fixed-function pipeline for one pixel, in 8 bits per channel as the
// device computes them: texture stage 0, the alpha test and blending. SDL's software renderer
// knows neither the alpha test nor most of the blend factors, and rounds its alpha blending
// down, so sprites it would draw wrongly are shaded here.
#include <cstdint>
#include <span>

#include "platform/d3d9.h"

namespace platform::d3d9 {

struct PixelPipeline {
  DWORD colourOp = D3DTOP_MODULATE, colourArg1 = D3DTA_TEXTURE, colourArg2 = D3DTA_CURRENT;
  DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
  bool alphaTest = false;
  DWORD alphaFunc = D3DCMP_ALWAYS;
  DWORD alphaRef = 0;
  bool blend = false;
  DWORD sourceBlend = D3DBLEND_ONE, destinationBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
};

// Whether Shade knows every operation, argument and factor the pipeline names.
bool CanShade(const PixelPipeline& pipeline);

// What a texel (ARGB) under a vertex colour leaves on a pixel that showed `below`: `below`
// itself when the alpha test discards it.
std::uint32_t Shade(const PixelPipeline& pipeline, std::uint32_t texel, std::uint32_t diffuse, std::uint32_t below);

// Whether any of these texels' results depends on the pixels below them; when not, the
// picture need not be read first.
bool ReadsBelow(const PixelPipeline& pipeline, std::span<const std::uint32_t> texels, std::uint32_t diffuse);

// Shade over a row of pixels, in place.
void ShadeSpan(const PixelPipeline& pipeline, std::span<const std::uint32_t> texels, std::uint32_t diffuse,
               std::span<std::uint32_t> pixels);

}  // namespace platform::d3d9
