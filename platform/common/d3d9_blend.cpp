#include "d3d9_blend.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace platform::d3d9 {
namespace {

// Alpha first, then red, green, blue: index 0 is alpha in every factor below.
using Channels = std::array<int, 4>;

Channels Split(std::uint32_t argb) {
  return {static_cast<int>(argb >> 24), static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
          static_cast<int>(argb & 0xFF)};
}

std::uint32_t Join(const Channels& c) {
  return static_cast<std::uint32_t>(c[0]) << 24 | static_cast<std::uint32_t>(c[1]) << 16 |
         static_cast<std::uint32_t>(c[2]) << 8 | static_cast<std::uint32_t>(c[3]);
}

// x · y / 255 to the nearest level, as the device's unorm arithmetic rounds.
int Product(int x, int y) { return (x * y + 127) / 255; }

bool KnownOp(DWORD op) { return op >= D3DTOP_SELECTARG1 && op <= D3DTOP_MODULATE; }
bool KnownArg(DWORD arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT || arg == D3DTA_TEXTURE; }
bool KnownFactor(DWORD factor) { return factor >= D3DBLEND_ZERO && factor <= D3DBLEND_INVDESTCOLOR; }

// Stage 0: "current" is the vertex colour.
int Argument(DWORD arg, std::size_t c, const Channels& texel, const Channels& diffuse) {
  return arg == D3DTA_TEXTURE ? texel[c] : diffuse[c];
}

int StageResult(DWORD op, DWORD arg1, DWORD arg2, std::size_t c, const Channels& texel, const Channels& diffuse) {
  const int first = Argument(arg1, c, texel, diffuse), second = Argument(arg2, c, texel, diffuse);
  if (op == D3DTOP_SELECTARG1) return first;
  if (op == D3DTOP_SELECTARG2) return second;
  return Product(first, second);
}

bool PassesAlphaTest(DWORD func, int alpha, int reference) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return alpha < reference;
    case D3DCMP_EQUAL: return alpha == reference;
    case D3DCMP_LESSEQUAL: return alpha <= reference;
    case D3DCMP_GREATER: return alpha > reference;
    case D3DCMP_NOTEQUAL: return alpha != reference;
    case D3DCMP_GREATEREQUAL: return alpha >= reference;
    default: return true;
  }
}

// A blend factor for channel c, 0..255 standing for 0..1.
int Factor(DWORD factor, std::size_t c, const Channels& source, const Channels& destination) {
  switch (factor) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_SRCCOLOR: return source[c];
    case D3DBLEND_INVSRCCOLOR: return 255 - source[c];
    case D3DBLEND_SRCALPHA: return source[0];
    case D3DBLEND_INVSRCALPHA: return 255 - source[0];
    case D3DBLEND_DESTALPHA: return destination[0];
    case D3DBLEND_INVDESTALPHA: return 255 - destination[0];
    case D3DBLEND_DESTCOLOR: return destination[c];
    case D3DBLEND_INVDESTCOLOR: return 255 - destination[c];
    default: return 255;
  }
}

int BlendChannel(const PixelPipeline& p, std::size_t c, const Channels& source, const Channels& destination) {
  if (p.blendOp == D3DBLENDOP_MIN) return std::min(source[c], destination[c]);
  if (p.blendOp == D3DBLENDOP_MAX) return std::max(source[c], destination[c]);
  const int s = source[c] * Factor(p.sourceBlend, c, source, destination);
  const int d = destination[c] * Factor(p.destinationBlend, c, source, destination);
  const int sum = p.blendOp == D3DBLENDOP_SUBTRACT ? s - d : p.blendOp == D3DBLENDOP_REVSUBTRACT ? d - s : s + d;
  return std::clamp((sum + 127) / 255, 0, 255);
}

// Where stage 0 takes a part of its result from: the texel, the vertex colour, or their
// product (a vertex colour of opaque white leaves the texel as it is).
struct StageMasks {
  std::uint32_t texel = 0, diffuse = 0, product = 0;
};

// Stage 0's colour and alpha, each a selection or a product of the texel and the vertex
// colour; none for the squares of either.
std::optional<StageMasks> PlainStage(const PixelPipeline& p, std::uint32_t diffuse) {
  enum class From { Texel, Diffuse, Product, Other };
  // In stage 0 "current" is the vertex colour.
  const auto of = [](DWORD arg) { return arg == D3DTA_TEXTURE ? From::Texel : From::Diffuse; };
  const auto from = [&](DWORD op, DWORD arg1, DWORD arg2) {
    if (op == D3DTOP_SELECTARG1) return of(arg1);
    if (op == D3DTOP_SELECTARG2) return of(arg2);
    if (op != D3DTOP_MODULATE || of(arg1) == of(arg2)) return From::Other;
    return diffuse == 0xFFFFFFFFu ? From::Texel : From::Product;
  };
  StageMasks masks;
  for (const auto& [part, mask] : {std::pair{from(p.colourOp, p.colourArg1, p.colourArg2), 0x00FFFFFFu},
                                   std::pair{from(p.alphaOp, p.alphaArg1, p.alphaArg2), 0xFF000000u}}) {
    if (part == From::Other) return std::nullopt;
    (part == From::Texel ? masks.texel : part == From::Diffuse ? masks.diffuse : masks.product) |= mask;
  }
  return masks;
}

std::uint32_t Modulate(std::uint32_t texel, std::uint32_t diffuse) {
  std::uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    result |= static_cast<std::uint32_t>(Product(static_cast<int>((texel >> shift) & 0xFF), static_cast<int>((diffuse >> shift) & 0xFF))) << shift;
  }
  return result;
}

// The blender is off, or blends the source by its alpha over the pixel.
bool BlendsPlainly(const PixelPipeline& p) {
  return !p.blend || (p.sourceBlend == D3DBLEND_SRCALPHA && p.destinationBlend == D3DBLEND_INVSRCALPHA &&
                      p.blendOp == D3DBLENDOP_ADD);
}

// Shade's arithmetic for plain alpha blending, without the general factors.
std::uint32_t BlendPlain(std::uint32_t source, std::uint32_t below) {
  const std::uint32_t alpha = source >> 24, rest = 255 - alpha;
  std::uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    result |= (((source >> shift) & 0xFF) * alpha + ((below >> shift) & 0xFF) * rest + 127) / 255 << shift;
  }
  return result;
}

// The texel itself blended plainly: an opaque one replaces the pixel, a clear one leaves it.
void BlendTexel(std::uint32_t texel, std::uint32_t& pixel) {
  if (texel >= 0xFF000000u) {
    pixel = texel;
  } else if (texel >= 0x01000000u) {
    pixel = BlendPlain(texel, pixel);
  }
}

// Sprites are opaque or clear in long runs, often whole: blocks of either are copied or
// skipped at once.
void BlendTexelSpan(std::span<const std::uint32_t> texels, std::span<std::uint32_t> pixels) {
  constexpr std::size_t kBlock = 8;
  std::size_t i = 0;
  for (; i + kBlock <= pixels.size(); i += kBlock) {
    std::uint32_t all = 0xFFFFFFFFu, any = 0;
    for (std::size_t k = i; k < i + kBlock; ++k) all &= texels[k], any |= texels[k];
    if (all >= 0xFF000000u) {
      std::copy_n(texels.begin() + static_cast<std::ptrdiff_t>(i), kBlock, pixels.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (any >= 0x01000000u) {
      for (std::size_t k = i; k < i + kBlock; ++k) BlendTexel(texels[k], pixels[k]);
    }
  }
  for (; i < pixels.size(); ++i) BlendTexel(texels[i], pixels[i]);
}

// Most sources are opaque or clear: those skip the arithmetic.
template <bool kModulates>
void BlendSpanPlainly(const PixelPipeline& p, const StageMasks& stage, std::span<const std::uint32_t> texels,
                      std::uint32_t diffuse, std::span<std::uint32_t> pixels) {
  // The scene leaves the alpha test on once a cut-out was drawn, so it is tested here too.
  const int reference = static_cast<int>(p.alphaRef & 0xFF);
  const std::uint32_t fixed = diffuse & stage.diffuse;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    std::uint32_t source = (texels[i] & stage.texel) | fixed;
    if constexpr (kModulates) source |= Modulate(texels[i], diffuse) & stage.product;
    const std::uint32_t alpha = source >> 24;
    if (p.alphaTest && !PassesAlphaTest(p.alphaFunc, static_cast<int>(alpha), reference)) continue;
    if (!p.blend || alpha == 0xFF) {
      pixels[i] = source;
    } else if (alpha != 0) {
      pixels[i] = BlendPlain(source, pixels[i]);
    }
  }
}

}  // namespace

bool ReadsBelow(const PixelPipeline& p, std::span<const std::uint32_t> texels, std::uint32_t diffuse) {
  if (!p.blend && !p.alphaTest) return false;
  const auto stage = PlainStage(p, diffuse);
  const bool passesTexel = stage && stage->texel == 0xFFFFFFFFu;
  if (!p.blend || p.alphaTest || !BlendsPlainly(p) || !passesTexel) return true;
  return std::any_of(texels.begin(), texels.end(), [](std::uint32_t texel) { return texel < 0xFF000000u; });
}

void ShadeSpan(const PixelPipeline& p, std::span<const std::uint32_t> texels, std::uint32_t diffuse,
               std::span<std::uint32_t> pixels) {
  const auto stage = PlainStage(p, diffuse);
  const bool passesTexel = stage && stage->texel == 0xFFFFFFFFu && !p.alphaTest;
  if (passesTexel && !p.blend) {
    std::copy_n(texels.begin(), pixels.size(), pixels.begin());
  } else if (passesTexel && BlendsPlainly(p)) {
    BlendTexelSpan(texels, pixels);
  } else if (stage && BlendsPlainly(p) && stage->product == 0) {
    BlendSpanPlainly<false>(p, *stage, texels, diffuse, pixels);
  } else if (stage && BlendsPlainly(p)) {
    BlendSpanPlainly<true>(p, *stage, texels, diffuse, pixels);
  } else {
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = Shade(p, texels[i], diffuse, pixels[i]);
  }
}

bool CanShade(const PixelPipeline& p) {
  return KnownOp(p.colourOp) && KnownOp(p.alphaOp) && KnownArg(p.colourArg1) && KnownArg(p.colourArg2) &&
         KnownArg(p.alphaArg1) && KnownArg(p.alphaArg2) && KnownFactor(p.sourceBlend) &&
         KnownFactor(p.destinationBlend) && p.blendOp >= D3DBLENDOP_ADD && p.blendOp <= D3DBLENDOP_MAX;
}

std::uint32_t Shade(const PixelPipeline& p, std::uint32_t texel, std::uint32_t diffuse, std::uint32_t below) {
  const Channels t = Split(texel), v = Split(diffuse), destination = Split(below);
  Channels source{};
  source[0] = StageResult(p.alphaOp, p.alphaArg1, p.alphaArg2, 0, t, v);
  for (std::size_t c = 1; c < 4; ++c) source[c] = StageResult(p.colourOp, p.colourArg1, p.colourArg2, c, t, v);
  if (p.alphaTest && !PassesAlphaTest(p.alphaFunc, source[0], static_cast<int>(p.alphaRef & 0xFF))) return below;
  if (!p.blend) return Join(source);
  Channels result{};
  for (std::size_t c = 0; c < 4; ++c) result[c] = BlendChannel(p, c, source, destination);
  return Join(result);
}

}  // namespace platform::d3d9
