// The device calls of a whole Render, in order, as the traced headless device records them.
#include "sprite_fixture.h"

namespace {

using Calls = std::vector<std::string>;

std::string RS(D3DRENDERSTATETYPE state) { return "SetRenderState " + std::to_string(state); }
std::string Sampler(D3DSAMPLERSTATETYPE type) { return "SetSamplerState " + std::to_string(type); }
const std::string kDraw = "DrawPrimitiveUP 2";
const std::string kTexture = "SetTexture 1";
const std::string kNoTexture = "SetTexture 0";

// What every flush sets before its first item.
Calls FlushSetUp() {
  return {kNoTexture,       RS(D3DRS_SPECULARENABLE), RS(D3DRS_LIGHTING), RS(D3DRS_FILLMODE),
          RS(D3DRS_WRAP0),  RS(D3DRS_ALPHABLENDENABLE), RS(D3DRS_ZENABLE), RS(D3DRS_ZWRITEENABLE)};
}

Calls DepthStates() { return {RS(D3DRS_ZENABLE), RS(D3DRS_ZWRITEENABLE), RS(D3DRS_ZFUNC)}; }

Calls Join(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Flushes {
  Calls opaque, sorted, overlay;
};

// Splits a Render's trace into its three flushes, each without its set-up calls.
Flushes SplitFlushes(const Calls& calls) {
  const Calls setUp = FlushSetUp();
  std::vector<size_t> starts;
  for (size_t i = 0; i + setUp.size() <= calls.size(); ++i) {
    if (std::equal(setUp.begin(), setUp.end(), calls.begin() + static_cast<std::ptrdiff_t>(i))) starts.push_back(i);
  }
  std::vector<size_t> zfunc;
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] == RS(D3DRS_ZFUNC)) zfunc.push_back(i);
  }
  if (starts.size() != 3 || zfunc.size() != 2) {
    ADD_FAILURE() << "not three flushes and two depth changes";
    return {};
  }
  const auto part = [&](size_t from, size_t to) {
    return Calls(calls.begin() + static_cast<std::ptrdiff_t>(from + setUp.size()),
                 calls.begin() + static_cast<std::ptrdiff_t>(to));
  };
  return {part(starts[0], starts[1]), part(starts[1], zfunc[0] - 2), part(starts[2], zfunc[1] - 2)};
}

Calls Only(const Calls& calls, std::initializer_list<std::string> wanted) {
  Calls kept;
  for (const std::string& call : calls) {
    if (std::find(wanted.begin(), wanted.end(), call) != wanted.end()) kept.push_back(call);
  }
  return kept;
}

}  // namespace

class SceneCalls : public SpriteTest {
 protected:
  void QueueWith(TDGTexture* texture, std::int32_t blendMode, std::uint8_t filter, std::uint8_t overlay, float z) {
    const std::array<TSXVertex, 4> corners{{{0, 0, 0xFFFFFFFF, 0, 0},
                                            {8, 0, 0xFFFFFFFF, 1, 0},
                                            {0, 8, 0xFFFFFFFF, 0, 1},
                                            {8, 8, 0xFFFFFFFF, 1, 1}}};
    scene->QueueQuad(10, 10, corners.data(), texture, blendMode, filter, overlay, z);
  }

  DWORD DeviceRenderState(D3DRENDERSTATETYPE state) {
    DWORD value = 0;
    carad->Device()->GetRenderState(state, &value);
    return value;
  }
  DWORD DeviceSampler(D3DSAMPLERSTATETYPE type) {
    DWORD value = 0;
    carad->Device()->GetSamplerState(0, type, &value);
    return value;
  }
};

TEST_F(SceneCalls, EmptyRenderSetsUpEachFlushAndTheDepthStatesInOrder) {
  const Calls expected = Join({FlushSetUp(), FlushSetUp(), DepthStates(), FlushSetUp(), DepthStates(), {kNoTexture}});
  EXPECT_EQ(RenderFrame(), expected);
  EXPECT_EQ(DeviceRenderState(D3DRS_ZENABLE), 1u);
  EXPECT_EQ(DeviceRenderState(D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(DeviceRenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
  EXPECT_EQ(DeviceRenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
  DWORD colourOp = 0, alphaArg2 = 0;
  carad->Device()->GetTextureStageState(0, D3DTSS_COLOROP, &colourOp);
  carad->Device()->GetTextureStageState(0, D3DTSS_ALPHAARG2, &alphaArg2);
  EXPECT_EQ(colourOp, static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(alphaArg2, static_cast<DWORD>(D3DTA_DIFFUSE));
}

// The call sequence of every sprite the game draws: alpha blend, point sampling, overlay.
TEST_F(SceneCalls, OneGameSpriteMakesExactlyTheseCalls) {
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  QueueWith(texture.get(), sxbAlphaBlend, 0, 1, 0);
  const Calls sprite{Sampler(D3DSAMP_MAGFILTER), Sampler(D3DSAMP_MINFILTER),
                     RS(D3DRS_ALPHABLENDENABLE), RS(D3DRS_ZWRITEENABLE), RS(D3DRS_SRCBLEND), RS(D3DRS_DESTBLEND),
                     RS(D3DRS_BLENDOP),          kTexture,             RS(D3DRS_SPECULARENABLE), RS(D3DRS_LIGHTING),
                     kDraw,                      Sampler(D3DSAMP_MAGFILTER), Sampler(D3DSAMP_MINFILTER)};
  const Calls expected =
      Join({FlushSetUp(), FlushSetUp(), DepthStates(), FlushSetUp(), sprite, DepthStates(), {kNoTexture}});
  EXPECT_EQ(RenderFrame(), expected);
  EXPECT_EQ(DeviceRenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
  EXPECT_EQ(DeviceRenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
}

TEST_F(SceneCalls, EachQuadGoesToTheQueueItsFlagsAndModeChoose) {
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  QueueWith(texture.get(), sxbOpaque, 0, 0, 0.5f);
  QueueWith(texture.get(), sxbCutOut, 0, 0, 0.5f);
  for (std::int32_t mode : {sxbAdditive, sxbAlphaBlend, sxbDarken, sxbMultiply}) QueueWith(texture.get(), mode, 0, 0, 0.5f);
  QueueWith(texture.get(), sxbOpaque, 0, 1, 0.5f);
  QueueWith(texture.get(), sxbAlphaBlend, 0, 1, -0.5f);  // the overlay forces z to 0: drawn all the same
  EXPECT_EQ(scene->OpaqueQueue().QuadCount(), 2);
  EXPECT_EQ(scene->SortedQueue().QuadCount(), 4);
  EXPECT_EQ(scene->OverlayQueue().QuadCount(), 2);
  const Flushes flushes = SplitFlushes(RenderFrame());
  EXPECT_EQ(Count(flushes.opaque, kDraw), 2);
  EXPECT_EQ(Count(flushes.sorted, kDraw), 4);
  EXPECT_EQ(Count(flushes.overlay, kDraw), 2);
}

TEST_F(SceneCalls, QuadBehindTheCameraSetsItsStatesButIsNotDrawn) {
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  QueueWith(texture.get(), sxbOpaque, 0, 0, -0.5f);
  QueueWith(texture.get(), sxbAlphaBlend, 0, 0, -0.5f);
  const Flushes flushes = SplitFlushes(RenderFrame());
  EXPECT_EQ(Count(flushes.opaque, kDraw), 0);
  EXPECT_EQ(Count(flushes.opaque, kTexture), 1);
  EXPECT_TRUE(flushes.sorted.empty()) << "a negative depth never enters the sort";
}

TEST_F(SceneCalls, OneTextureChangePerRunOfEqualQuads) {
  auto a = Solid(8, 8, 0xFFFF0000);
  auto b = Solid(8, 8, 0xFF00FF00);
  for (TDGTexture* texture : {static_cast<TDGTexture*>(nullptr), a.get(), a.get(), b.get(), b.get(),
                              static_cast<TDGTexture*>(nullptr), a.get()}) {
    QueueWith(texture, sxbAlphaBlend, 0, 1, 0);
  }
  const Flushes flushes = SplitFlushes(RenderFrame());
  // No call for the first quad: the flush has just unbound the texture.
  const Calls expected{kDraw, kTexture, kDraw, kDraw, kTexture, kDraw, kDraw, kNoTexture, kDraw, kTexture, kDraw};
  EXPECT_EQ(Only(flushes.overlay, {kTexture, kNoTexture, kDraw}), expected);
  EXPECT_EQ(Count(flushes.overlay, Sampler(D3DSAMP_MAGFILTER)), 2) << "one set, one restore";
}

TEST_F(SceneCalls, BlendStatesChangeOnlyWithTheModeAndAlphaTestOnlyWhereAModeHasIt) {
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  for (std::int32_t mode : {sxbOpaque, sxbAlphaBlend, sxbAlphaBlend, sxbOpaque, sxbCutOut, sxbAlphaBlend}) {
    QueueWith(texture.get(), mode, 0, 1, 0);
  }
  const Flushes flushes = SplitFlushes(RenderFrame());
  const Calls blend{RS(D3DRS_ALPHABLENDENABLE), RS(D3DRS_ZWRITEENABLE), RS(D3DRS_SRCBLEND), RS(D3DRS_DESTBLEND),
                    RS(D3DRS_BLENDOP)};
  const Calls opaque{RS(D3DRS_ALPHABLENDENABLE), RS(D3DRS_ZWRITEENABLE)};
  const Calls cutOut{RS(D3DRS_ALPHABLENDENABLE), RS(D3DRS_ZWRITEENABLE), RS(D3DRS_ALPHATESTENABLE),
                     RS(D3DRS_ALPHAFUNC)};
  // The flush starts with mode 0 cached, so a leading opaque quad changes nothing.
  const Calls expected = Join({blend, opaque, cutOut, blend});
  EXPECT_EQ(Only(flushes.overlay, {RS(D3DRS_ALPHABLENDENABLE), RS(D3DRS_ZWRITEENABLE), RS(D3DRS_SRCBLEND),
                                   RS(D3DRS_DESTBLEND), RS(D3DRS_BLENDOP), RS(D3DRS_ALPHATESTENABLE),
                                   RS(D3DRS_ALPHAFUNC)}),
            expected);
  // Specular and lighting go off once; wrap and fill mode already hold their values.
  EXPECT_EQ(Count(flushes.overlay, RS(D3DRS_SPECULARENABLE)), 1);
  EXPECT_EQ(Count(flushes.overlay, RS(D3DRS_LIGHTING)), 1);
  EXPECT_EQ(Count(flushes.overlay, RS(D3DRS_WRAP0)), 0);
  EXPECT_EQ(Count(flushes.overlay, RS(D3DRS_FILLMODE)), 0);
  EXPECT_EQ(DeviceRenderState(D3DRS_ALPHATESTENABLE), 1u) << "a later mode without the test leaves it on";
  EXPECT_EQ(DeviceRenderState(D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_GREATER));
}

TEST_F(SceneCalls, SamplerFiltersAreSavedOnFirstUseAndRestoredAfterEachFlush) {
  IDirect3DDevice9* device = carad->Device();
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  QueueWith(texture.get(), sxbAlphaBlend, 1, 0, 0.5f);
  QueueWith(texture.get(), sxbAlphaBlend, 1, 1, 0);
  QueueWith(texture.get(), sxbAlphaBlend, 1, 1, 0);
  QueueWith(texture.get(), sxbAlphaBlend, 0, 1, 0);
  QueueWith(texture.get(), sxbAlphaBlend, 0, 1, 0);
  const Flushes flushes = SplitFlushes(RenderFrame());
  const Calls filters{Sampler(D3DSAMP_MAGFILTER), Sampler(D3DSAMP_MINFILTER)};
  EXPECT_EQ(Only(flushes.sorted, {filters[0], filters[1]}), Join({filters, filters}));
  EXPECT_EQ(Only(flushes.overlay, {filters[0], filters[1]}), Join({filters, filters, filters}))
      << "bilinear once, point once, restored once";
  EXPECT_EQ(flushes.overlay.back(), filters[1]);
  EXPECT_EQ(DeviceSampler(D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
  EXPECT_EQ(DeviceSampler(D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
}

TEST_F(SceneCalls, QueuesAreEmptyAfterRenderAndTheNextFrameStartsFresh) {
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  QueueWith(texture.get(), sxbAlphaBlend, 0, 1, 0);
  RenderFrame();
  QueueWith(texture.get(), sxbAlphaBlend, 0, 1, 0);
  const Flushes flushes = SplitFlushes(RenderFrame());
  EXPECT_EQ(Count(flushes.overlay, kDraw), 1);
  EXPECT_EQ(Count(flushes.overlay, kTexture), 1) << "the texture cache does not outlive a flush";
  EXPECT_EQ(Count(flushes.overlay, RS(D3DRS_SRCBLEND)), 1);
}
