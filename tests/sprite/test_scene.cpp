#include "sprite_fixture.h"

namespace {

std::string RenderState(D3DRENDERSTATETYPE state) { return "SetRenderState " + std::to_string(state); }

}  // namespace

using SceneQueues = SpriteTest;

TEST_F(SceneQueues, OverlayDrawsLastAndInCallOrder) {
  auto red = Solid(20, 20, 0xFFFF0000);
  auto green = Solid(20, 20, 0xFF00FF00);
  auto blue = Solid(20, 20, 0xFF0000FF);
  Queue(*red, 10, 10, sxbAlphaBlend, 1, 0);
  Queue(*green, 15, 15, sxbAlphaBlend, 1, 0);
  Queue(*blue, 12, 12, sxbOpaque, 0, 0.1f);  // opaque queue: drawn before every overlay quad
  RenderFrame();
  EXPECT_EQ(Pixel(12, 12), 0xFF0000u);
  EXPECT_EQ(Pixel(20, 20), 0x00FF00u);
  EXPECT_EQ(Pixel(31, 13), 0x0000FFu);
}

TEST_F(SceneQueues, SortedQueueDrawsFarthestFirstAndSkipsNegativeDepth) {
  auto near = Solid(10, 10, 0xFFFF0000);
  auto middle = Solid(10, 10, 0xFF00FF00);
  auto far = Solid(10, 10, 0xFF0000FF);
  auto hidden = Solid(10, 10, 0xFFFFFFFF);
  Queue(*near, 0, 0, sxbAlphaBlend, 0, 0.2f);
  Queue(*far, 0, 0, sxbAlphaBlend, 0, 0.9f);
  Queue(*middle, 0, 0, sxbAlphaBlend, 0, 0.5f);
  Queue(*hidden, 0, 0, sxbAlphaBlend, 0, -0.5f);
  const auto calls = RenderFrame();
  EXPECT_EQ(Pixel(5, 5), 0xFF0000u) << "the nearest quad is drawn last";
  EXPECT_EQ(Count(calls, "DrawPrimitiveUP 2"), 3);
}

TEST_F(SceneQueues, CapacityDoublesAndSortArraysFollow) {
  auto texture = Solid(4, 4, 0xFFFFFFFF);
  TSXRenderingQueue& overlay = scene->OverlayQueue();
  for (int i = 0; i < 33; ++i) Queue(*texture, 0, 0, sxbAlphaBlend, 1, 0);
  EXPECT_EQ(overlay.QuadCapacity(), 64);
  for (int i = 0; i < 32; ++i) Queue(*texture, 0, 0, sxbAlphaBlend, 1, 0);
  EXPECT_EQ(overlay.QuadCapacity(), 128);
  EXPECT_EQ(overlay.SortArrayLength(), 32u + 32u + 128u);
  RenderFrame();
  EXPECT_EQ(overlay.QuadCount(), 0);
  EXPECT_EQ(overlay.QuadCapacity(), 128) << "storage is kept from frame to frame";
}

using SceneStates = SpriteTest;

TEST_F(SceneStates, RepeatedTextureModeAndFilterAreSetOncePerFlush) {
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  for (int i = 0; i < 5; ++i) Queue(*texture, static_cast<float>(i * 10), 0, sxbAlphaBlend, 1, 0);
  const auto calls = RenderFrame();
  EXPECT_EQ(Count(calls, "SetTexture 1"), 1);
  EXPECT_EQ(Count(calls, "DrawPrimitiveUP 2"), 5);
  // Point sampling set once for both filters, then the saved filters restored at the end.
  EXPECT_EQ(Count(calls, "SetSamplerState " + std::to_string(D3DSAMP_MAGFILTER)), 2);
  EXPECT_EQ(Count(calls, RenderState(D3DRS_SRCBLEND)), 1);
}

TEST_F(SceneStates, EmptyRenderOnlySetsUpStates) {
  const auto calls = RenderFrame();
  EXPECT_EQ(Count(calls, "DrawPrimitiveUP 2"), 0);
  EXPECT_EQ(Count(calls, "SetSamplerState " + std::to_string(D3DSAMP_MAGFILTER)), 0);
  EXPECT_EQ(calls.back(), "SetTexture 0");
}

TEST_F(SceneStates, BlendOpIsSetOnlyWhenTheDeviceHasIt) {
  auto texture = Solid(8, 8, 0xFFFFFFFF);
  ASSERT_TRUE(scene->BlendOpSupported());
  Queue(*texture, 0, 0, sxbAdditive, 1, 0);
  EXPECT_EQ(Count(RenderFrame(), RenderState(D3DRS_BLENDOP)), 1);

  headless::SetSeparateBlendOp(false);
  EXPECT_FALSE(scene->CheckBlendOpCaps());
  Queue(*texture, 0, 0, sxbAdditive, 1, 0);
  EXPECT_EQ(Count(RenderFrame(), RenderState(D3DRS_BLENDOP)), 0);
}

TEST_F(SceneStates, VertexColourTintsTheTexture) {
  auto white = Solid(10, 10, 0xFFFFFFFF);
  const auto corners = Corners(*white, 0xFF000000);
  scene->QueueQuad(100, 100, corners.data(), white.get(), sxbAlphaBlend, 0, 1, 0);
  auto marker = Solid(10, 10, 0xFFFFFFFF);
  Queue(*marker, 200, 200, sxbAlphaBlend, 1, 0);
  RenderFrame();
  EXPECT_EQ(Pixel(105, 105), 0x000000u);
  EXPECT_EQ(Pixel(205, 205), 0xFFFFFFu);
}

using SceneProjection = SpriteTest;

TEST_F(SceneProjection, ViewportAndProjectionFollowTheWindow) {
  const D3DVIEWPORT9& viewport = scene->Viewport();
  EXPECT_EQ(viewport.Width, 640u);
  EXPECT_EQ(viewport.Height, 480u);
  EXPECT_FLOAT_EQ(scene->ScreenMatrix().m[0][0], 320);
  EXPECT_FLOAT_EQ(scene->ScreenMatrix().m[1][1], -240);
  EXPECT_FLOAT_EQ(scene->ScreenMatrix().m[3][0], 320);
  const TMatrix4& projection = scene->Projection();
  EXPECT_NEAR(projection.m[1][1], 1.0f, 1e-6);
  EXPECT_NEAR(projection.m[0][0], 0.75f, 1e-6);
  EXPECT_FLOAT_EQ(projection.m[2][3], 1);
  EXPECT_FLOAT_EQ(projection.m[3][3], 0);
}

TEST_F(SceneProjection, SphereVisibility) {
  EXPECT_TRUE(scene->IsSphereVisible(IdentityMatrix, {0, 0, 10}, 1, 10000));
  EXPECT_FALSE(scene->IsSphereVisible(IdentityMatrix, {0, 0, -10}, 1, 10000)) << "behind the camera";
  EXPECT_FALSE(scene->IsSphereVisible(IdentityMatrix, {100, 0, 10}, 1, 10000)) << "far to the right";
  EXPECT_FALSE(scene->IsSphereVisible(IdentityMatrix, {0, 0, 10}, 0, 10000)) << "no radius";
}
