// The device's per-pixel shading: the fast loops for the common states give what the general
// routine gives, texel for texel.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "d3d9_blend.h"

namespace {

using platform::d3d9::PixelPipeline;

TEST(ShadeSpan, FastLoopsMatchTheGeneralRoutine) {
  PixelPipeline plain;
  plain.blend = true;
  plain.sourceBlend = D3DBLEND_SRCALPHA;
  plain.destinationBlend = D3DBLEND_INVSRCALPHA;
  const PixelPipeline opaque;  // stage 0 modulates the texel by white, no blending
  PixelPipeline tinted = plain;
  // Text in a colour: the texel times the vertex colour, in alpha too, either way round.
  PixelPipeline coloured = plain, colouredTested = plain, vertexAlpha = plain;
  coloured.alphaOp = D3DTOP_MODULATE;
  coloured.colourArg2 = coloured.alphaArg2 = D3DTA_DIFFUSE;
  colouredTested.alphaOp = D3DTOP_MODULATE;
  colouredTested.colourArg1 = colouredTested.alphaArg1 = D3DTA_DIFFUSE;
  colouredTested.colourArg2 = colouredTested.alphaArg2 = D3DTA_TEXTURE;
  colouredTested.alphaTest = true;
  colouredTested.alphaFunc = D3DCMP_GREATER;
  colouredTested.alphaRef = 0x30;
  vertexAlpha.alphaOp = D3DTOP_SELECTARG2;
  vertexAlpha.alphaArg2 = D3DTA_DIFFUSE;
  // The texel times itself is no texel, even under white.
  PixelPipeline squared = plain;
  squared.colourArg2 = D3DTA_TEXTURE;
  // The scene leaves the alpha test on after a cut-out: later sprites are tested too.
  PixelPipeline testedPlain = plain, testedOpaque = opaque;
  testedPlain.alphaTest = testedOpaque.alphaTest = true;
  testedPlain.alphaFunc = D3DCMP_GREATER;
  testedOpaque.alphaFunc = D3DCMP_GREATEREQUAL;
  testedPlain.alphaRef = 0x40;
  testedOpaque.alphaRef = 0x80;
  std::mt19937 random(5);
  std::vector<std::uint32_t> texels(8192), below(texels.size());
  for (std::size_t i = 0; i < texels.size(); ++i) {
    // Every alpha level, each over many colours; then runs of opaque, clear and half texels
    // that blocks of any length start and end inside.
    const std::uint32_t run[] = {0xFF, 0x00, 0x80, 0x01};
    const std::uint32_t alpha = i < 4096 ? i % 256 : run[(i / 13) % 4];
    texels[i] = alpha << 24 | (random() & 0xFFFFFF);
    below[i] = static_cast<std::uint32_t>(random());
  }
  for (const auto& [pipeline, diffuse] : {std::pair{plain, 0xFFFFFFFFu}, std::pair{opaque, 0xFFFFFFFFu},
                                          std::pair{tinted, 0x80FF8040u}, std::pair{testedPlain, 0xFFFFFFFFu},
                                          std::pair{testedOpaque, 0xFFFFFFFFu}, std::pair{coloured, 0xC8FF0000u},
                                          std::pair{coloured, 0xFF10408Cu}, std::pair{colouredTested, 0x9F75F2F0u},
                                          std::pair{vertexAlpha, 0x80FFFFFFu}, std::pair{squared, 0xFFFFFFFFu}}) {
    std::vector<std::uint32_t> shaded = below;
    platform::d3d9::ShadeSpan(pipeline, texels, diffuse, shaded);
    for (std::size_t i = 0; i < texels.size(); ++i) {
      ASSERT_EQ(shaded[i], platform::d3d9::Shade(pipeline, texels[i], diffuse, below[i]))
          << std::hex << "texel " << texels[i] << " over " << below[i] << " under " << diffuse;
    }
  }
}

}  // namespace
