// The sprite scene: three queues of screen-space quads drawn in a fixed order.
#include <cmath>
#include <cstring>

#include "SXlib9.h"

namespace {

constexpr std::int32_t kInitialCapacity = 32;
constexpr float kQuadRhw = 0.5f;
constexpr DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

struct TSXDeviceVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse, specular;
  float u, v;
};
static_assert(sizeof(TSXDeviceVertex) == 32);

D3DMATRIX ToD3D(const TMatrix4& matrix) {
  D3DMATRIX result;
  std::memcpy(result.m, matrix.m.data(), sizeof result.m);
  return result;
}

TMatrix4 FromD3D(const D3DMATRIX& matrix) {
  TMatrix4 result;
  std::memcpy(result.m.data(), matrix.m, sizeof matrix.m);
  return result;
}

// The six modes every scene starts with, in index order.
constexpr std::array<TSXBlendMode, 6> kStandardBlendModes{{
    {0, 0, D3DCMP_ALWAYS, 0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
    {1, 0, D3DCMP_ALWAYS, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},
    {1, 0, D3DCMP_ALWAYS, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
    {1, 0, D3DCMP_ALWAYS, 1, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_ADD},
    {1, 0, D3DCMP_ALWAYS, 1, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD},
    {0, 1, D3DCMP_GREATER, 0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
}};

}  // namespace

// ---- frames ----

TSXFrame::TSXFrame(TSXFrame* parent) : parent_(parent) {
  if (parent_ != nullptr) parent_->children_.push_back(this);
}

TSXFrame::~TSXFrame() {
  if (parent_ != nullptr) std::erase(parent_->children_, this);
  for (TSXFrame* child : children_) child->parent_ = nullptr;
}

TMatrix4 TSXFrame::World() const {
  return parent_ == nullptr ? local : MultiplyMatrix4(local, parent_->World());
}

TSXStateRestorer::TSXStateRestorer(TDGCarad& device) : device_(device) {}

// ---- queue ----

struct TSXRenderingQueue::FlushCache {
  TDGTexture* texture = nullptr;
  std::int32_t blendMode = 0;
  bool filterSaved = false;
  std::uint8_t filter = 0;
  DWORD savedMagFilter = 0, savedMinFilter = 0;
  DWORD specular = 1, lighting = 1, wrap = 0, fillMode = D3DFILL_SOLID;
};

TSXRenderingQueue::TSXRenderingQueue(TDGCarad& device, TSXScene& scene)
    : device_(device),
      scene_(scene),
      frames_(kInitialCapacity),
      pointSprites_(kInitialCapacity),
      quads_(kInitialCapacity),
      frameCapacity_(kInitialCapacity),
      pointSpriteCapacity_(kInitialCapacity),
      quadCapacity_(kInitialCapacity) {
  ResizeSortArrays();
}

void TSXRenderingQueue::ResizeSortArrays() {
  const auto total = static_cast<size_t>(frameCapacity_ + pointSpriteCapacity_ + quadCapacity_);
  sortIndex_.resize(total);
  sortKey_.resize(total);
}

void TSXRenderingQueue::AddQuad(std::uint8_t filter, std::int32_t blendMode, float x, float y, float z,
                                TDGTexture* texture, const TSXVertex* corners) {
  if (quadCount_ >= quadCapacity_) SetQuadCapacity(quadCapacity_ * 2);
  TSXQueuedQuad& quad = quads_[static_cast<size_t>(quadCount_++)];
  quad.filter = filter;
  quad.blendMode = blendMode;
  quad.texture = texture;
  quad.x = x;
  quad.y = y;
  quad.z = z;
  std::copy(corners, corners + 4, quad.corners.begin());
}

void TSXRenderingQueue::AddFrame(TSXFrame* frame) {
  if (frameCount_ >= frameCapacity_) SetFrameCapacity(frameCapacity_ * 2);
  frames_[static_cast<size_t>(frameCount_++)] = frame;
}

void TSXRenderingQueue::AddPointSprite(const TSXPointSprite& sprite) {
  if (pointSpriteCount_ >= pointSpriteCapacity_) SetPointSpriteCapacity(pointSpriteCapacity_ * 2);
  pointSprites_[static_cast<size_t>(pointSpriteCount_++)] = sprite;
}

void TSXRenderingQueue::SetQuadCapacity(std::int32_t capacity) {
  quadCapacity_ = capacity;
  quads_.resize(static_cast<size_t>(capacity));
  ResizeSortArrays();
}

void TSXRenderingQueue::SetFrameCapacity(std::int32_t capacity) {
  frameCapacity_ = capacity;
  frames_.resize(static_cast<size_t>(capacity));
  ResizeSortArrays();
}

void TSXRenderingQueue::SetPointSpriteCapacity(std::int32_t capacity) {
  pointSpriteCapacity_ = capacity;
  pointSprites_.resize(static_cast<size_t>(capacity));
  ResizeSortArrays();
}

void TSXRenderingQueue::ResetDeviceState(FlushCache& cache) {
  IDirect3DDevice9* device = device_.Device();
  device->SetTexture(0, nullptr);
  device->SetRenderState(D3DRS_SPECULARENABLE, 1);
  device->SetRenderState(D3DRS_LIGHTING, 1);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  device->SetRenderState(D3DRS_WRAP0, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  device->SetRenderState(D3DRS_ZENABLE, 1);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  cache = FlushCache{};
}

void TSXRenderingQueue::ApplyQuadState(FlushCache& cache, std::uint8_t filter, std::int32_t blendMode,
                                       TDGTexture* texture) {
  IDirect3DDevice9* device = device_.Device();
  const DWORD filterType = filter != 0 ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  if (!cache.filterSaved) {
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &cache.savedMagFilter);
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &cache.savedMinFilter);
    cache.filterSaved = true;
    cache.filter = filter;
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filterType);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filterType);
  } else if (filter != cache.filter) {
    cache.filter = filter;
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filterType);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filterType);
  }
  if (blendMode != cache.blendMode) {
    const TSXBlendMode& mode = scene_.BlendTable()[static_cast<size_t>(blendMode)];
    if (mode.blendEnable != 0) {
      device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
      device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
      device->SetRenderState(D3DRS_SRCBLEND, static_cast<DWORD>(mode.srcBlend));
      device->SetRenderState(D3DRS_DESTBLEND, static_cast<DWORD>(mode.destBlend));
      if (scene_.BlendOpSupported()) device->SetRenderState(D3DRS_BLENDOP, static_cast<DWORD>(mode.blendOp));
    } else {
      device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
      device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    }
    if (mode.alphaTest != 0) {
      device->SetRenderState(D3DRS_ALPHATESTENABLE, mode.alphaTest);
      device->SetRenderState(D3DRS_ALPHAFUNC, static_cast<DWORD>(mode.alphaFunc));
    }
    cache.blendMode = blendMode;
  }
  if (texture != cache.texture) {
    device->SetTexture(0, texture != nullptr ? texture->Texture() : nullptr);
    cache.texture = texture;
  }
  const auto setIfChanged = [device](DWORD& cached, D3DRENDERSTATETYPE state, DWORD value) {
    if (cached == value) return;
    device->SetRenderState(state, value);
    cached = value;
  };
  setIfChanged(cache.specular, D3DRS_SPECULARENABLE, 0);
  setIfChanged(cache.lighting, D3DRS_LIGHTING, 0);
  setIfChanged(cache.wrap, D3DRS_WRAP0, 0);
  setIfChanged(cache.fillMode, D3DRS_FILLMODE, D3DFILL_SOLID);
}

void TSXRenderingQueue::DrawQuad(FlushCache& cache, const TSXQueuedQuad& quad) {
  ApplyQuadState(cache, quad.filter, quad.blendMode, quad.texture);
  if (quad.z < 0) return;
  std::array<TSXDeviceVertex, 4> vertices;
  for (size_t i = 0; i < 4; ++i) {
    const TSXVertex& corner = quad.corners[i];
    vertices[i] = {quad.x + corner.x, quad.y + corner.y, quad.z, kQuadRhw, corner.colour, 0, corner.u, corner.v};
  }
  IDirect3DDevice9* device = device_.Device();
  device->SetFVF(kQuadFvf);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices.data(), sizeof(TSXDeviceVertex));
}

// A point sprite is drawn as a quad centred on its projected point; its corners are
// offsets in pixels, scaled by distance when asked.
void TSXRenderingQueue::DrawPointSprite(FlushCache& cache, TSXPointSprite& sprite, const TMatrix4& viewProjScreen) {
  const TMatrix4 world = sprite.frame != nullptr ? sprite.frame->World() : IdentityMatrix;
  TVector4 projected = TransformVector4(sprite.point, MultiplyMatrix4(world, viewProjScreen));
  if (projected.w <= 0) return;
  TVector4 screen;
  HomogeneousDivide(projected, screen);
  const float scale = sprite.scaleWithDistance != 0 ? screen.w : 1.0f;
  TSXQueuedQuad quad{sprite.filter, sprite.blendMode, sprite.texture, screen.x, screen.y, screen.z, sprite.corners};
  for (TSXVertex& corner : quad.corners) {
    corner.x *= scale;
    corner.y *= scale;
  }
  DrawQuad(cache, quad);
}

void TSXRenderingQueue::DrawFrame(TSXFrame* frame) {
  if (frame != nullptr && frame->onRender) frame->onRender(scene_, frame->World());
}

void TSXRenderingQueue::DrawItem(FlushCache& cache, std::int32_t index, const TMatrix4& viewProjScreen) {
  if (index < frameCount_) return DrawFrame(frames_[static_cast<size_t>(index)]);
  index -= frameCount_;
  if (index < pointSpriteCount_) return DrawPointSprite(cache, pointSprites_[static_cast<size_t>(index)], viewProjScreen);
  DrawQuad(cache, quads_[static_cast<size_t>(index - pointSpriteCount_)]);
}

std::int32_t TSXRenderingQueue::BuildSortList(const TMatrix4& view, const TMatrix4& viewProjScreen) {
  std::int32_t entries = 0;
  const auto enter = [&](float key, std::int32_t index) {
    sortKey_[static_cast<size_t>(entries)] = key;
    sortIndex_[static_cast<size_t>(entries)] = index;
    ++entries;
  };
  for (std::int32_t i = 0; i < frameCount_; ++i) {
    const TSXFrame* frame = frames_[static_cast<size_t>(i)];
    enter(TransformPoint(frame->sphereCentre, MultiplyMatrix4(frame->World(), view)).z, i);
  }
  sortedPointSprites_ = 0;
  for (std::int32_t k = 0; k < pointSpriteCount_; ++k) {
    TSXPointSprite& sprite = pointSprites_[static_cast<size_t>(k)];
    const TMatrix4 world = sprite.frame != nullptr ? sprite.frame->World() : IdentityMatrix;
    sprite.point = TransformVector4(sprite.point, MultiplyMatrix4(world, viewProjScreen));
    if (sprite.point.w > 0) {
      enter(sprite.point.w, frameCount_ + k);
      ++sortedPointSprites_;
    }
  }
  sortedQuads_ = 0;
  for (std::int32_t k = 0; k < quadCount_; ++k) {
    const float z = quads_[static_cast<size_t>(k)].z;
    if (z < 0) continue;
    enter(z, frameCount_ + pointSpriteCount_ + k);
    ++sortedQuads_;
  }
  return entries;
}

// Descending keys: the farthest is drawn first.
void TSXRenderingQueue::QuickSort(std::int32_t left, std::int32_t right) {
  if (left >= right) return;
  const float pivot = sortKey_[static_cast<std::uint32_t>(left + right) >> 1];
  std::int32_t i = left - 1, j = right + 1;
  for (;;) {
    do ++i; while (sortKey_[static_cast<size_t>(i)] > pivot);
    do --j; while (sortKey_[static_cast<size_t>(j)] < pivot);
    if (j <= i) break;
    std::swap(sortKey_[static_cast<size_t>(i)], sortKey_[static_cast<size_t>(j)]);
    std::swap(sortIndex_[static_cast<size_t>(i)], sortIndex_[static_cast<size_t>(j)]);
  }
  QuickSort(left, i - 1);
  QuickSort(j + 1, right);
}

void TSXRenderingQueue::Flush(bool sort, const TMatrix4& view, const D3DVIEWPORT9&) {
  IDirect3DDevice9* device = device_.Device();
  if (device == nullptr) return;
  D3DMATRIX projection;
  device->GetTransform(D3DTS_PROJECTION, &projection);
  const TMatrix4 viewProj = MultiplyMatrix4(view, FromD3D(projection));
  const TMatrix4 viewProjScreen = MultiplyMatrix4(viewProj, scene_.ScreenMatrix());
  FlushCache cache;
  ResetDeviceState(cache);
  if (sort) {
    const std::int32_t entries = BuildSortList(view, viewProjScreen);
    QuickSort(0, entries - 1);
    for (std::int32_t e = 0; e < entries; ++e) DrawItem(cache, sortIndex_[static_cast<size_t>(e)], viewProjScreen);
  } else {
    for (std::int32_t i = 0; i < frameCount_; ++i) DrawFrame(frames_[static_cast<size_t>(i)]);
    for (std::int32_t k = 0; k < pointSpriteCount_; ++k) {
      DrawPointSprite(cache, pointSprites_[static_cast<size_t>(k)], viewProjScreen);
    }
    for (std::int32_t k = 0; k < quadCount_; ++k) DrawQuad(cache, quads_[static_cast<size_t>(k)]);
  }
  if (cache.filterSaved) {
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, cache.savedMagFilter);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, cache.savedMinFilter);
  }
  frameCount_ = pointSpriteCount_ = quadCount_ = 0;
}

// ---- scene ----

TSXScene::TSXScene(TDGCarad& device, const std::string& name)
    : device_(device),
      name_(name),
      opaqueQueue_(std::make_unique<TSXRenderingQueue>(device, *this)) {
  sortedQueue_ = std::make_unique<TSXRenderingQueue>(device, *this);
  overlayQueue_ = std::make_unique<TSXRenderingQueue>(device, *this);
  stateRestorer_ = std::make_unique<TSXStateRestorer>(device);
  resourceId_ = device_.RegisterResource(*this, name, {}, [this] { RestoreDevice(); }, {}, [this] { RestoreDevice(); });
  for (const TSXBlendMode& mode : kStandardBlendModes) AddBlendMode(mode);
  const TForm& owner = device_.Window();
  SetViewport(0, 0, owner.ClientWidth, owner.ClientHeight);
  SetProjection(1.5707964f, static_cast<float>(owner.ClientHeight) / static_cast<float>(owner.ClientWidth), 0.01f,
                10000.0f);
  CheckBlendOpCaps();
}

TSXScene::~TSXScene() { device_.UnregisterResource(resourceId_); }

void TSXScene::Clear(DWORD flags, D3DCOLOR colour, float z, DWORD stencil) {
  if (IDirect3DDevice9* device = device_.Device()) device->Clear(0, nullptr, flags, colour, z, stencil);
}

void TSXScene::QueueQuad(float x, float y, const TSXVertex* corners, TDGTexture* texture, std::int32_t blendMode,
                         std::uint8_t filter, std::uint8_t overlay, float z) {
  if (overlay != 0) {
    overlayQueue_->AddQuad(filter, blendMode, x, y, 0, texture, corners);
  } else if (blendTable_[static_cast<size_t>(blendMode)].sorted != 0) {
    sortedQueue_->AddQuad(filter, blendMode, x, y, z, texture, corners);
  } else {
    opaqueQueue_->AddQuad(filter, blendMode, x, y, z, texture, corners);
  }
}

TMatrix4 TSXScene::ViewMatrix() const { return camera != nullptr ? RigidInverse(camera->World()) : IdentityMatrix; }

void TSXScene::QueueFrameTree(TSXFrame* frame, const TMatrix4& parentWorld) {
  const TMatrix4 world = MultiplyMatrix4(frame->local, parentWorld);
  if (frame->onRender && IsSphereVisible(world, frame->sphereCentre, frame->sphereRadius, farZ_)) {
    (frame->sorted ? *sortedQueue_ : *opaqueQueue_).AddFrame(frame);
  }
  for (TSXFrame* child : frame->Children()) QueueFrameTree(child, world);
}

void TSXScene::Render(TSXFrame* root) {
  IDirect3DDevice9* device = device_.Device();
  if (device == nullptr) return;
  const TMatrix4 view = ViewMatrix();
  const D3DMATRIX d3dView = ToD3D(view);
  device->SetTransform(D3DTS_VIEW, &d3dView);
  if (root != nullptr) QueueFrameTree(root, root->Parent() != nullptr ? root->Parent()->World() : IdentityMatrix);
  opaqueQueue_->Flush(false, view, viewport_);
  sortedQueue_->Flush(sortTranslucent_ != 0, view, viewport_);
  device->SetRenderState(D3DRS_ZENABLE, 0);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  overlayQueue_->Flush(false, view, viewport_);
  device->SetRenderState(D3DRS_ZENABLE, 1);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  device->SetTexture(0, nullptr);
}

void TSXScene::SetProjection(float fov, float aspect, float nearZ, float farZ) {
  const double half = fov / 2.0;
  const double yScale = std::cos(half) / std::sin(half);
  const double q = farZ / (farZ - nearZ);
  projection_ = IdentityMatrix;
  projection_.m[0][0] = static_cast<float>(aspect * yScale);
  projection_.m[1][1] = static_cast<float>(yScale);
  projection_.m[2][2] = static_cast<float>(q);
  projection_.m[2][3] = 1;
  projection_.m[3][2] = static_cast<float>(-q * nearZ);
  projection_.m[3][3] = 0;
  fov_ = fov;
  aspect_ = aspect;
  nearZ_ = nearZ;
  farZ_ = farZ;
  if (IDirect3DDevice9* device = device_.Device()) {
    const D3DMATRIX matrix = ToD3D(projection_);
    device->SetTransform(D3DTS_PROJECTION, &matrix);
  }
}

void TSXScene::SetViewport(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  viewport_ = {static_cast<DWORD>(left), static_cast<DWORD>(top), static_cast<DWORD>(right - left),
               static_cast<DWORD>(bottom - top), 0.0f, 1.0f};
  if (IDirect3DDevice9* device = device_.Device()) device->SetViewport(&viewport_);
  const float width = static_cast<float>(viewport_.Width), height = static_cast<float>(viewport_.Height);
  screenMatrix_ = IdentityMatrix;
  screenMatrix_.m[0][0] = width / 2;
  screenMatrix_.m[1][1] = -height / 2;
  screenMatrix_.m[2][2] = viewport_.MaxZ - viewport_.MinZ;
  screenMatrix_.m[3][0] = static_cast<float>(viewport_.X) + width / 2;
  screenMatrix_.m[3][1] = static_cast<float>(viewport_.Y) + height / 2;
  screenMatrix_.m[3][2] = viewport_.MinZ;
}

std::int32_t TSXScene::AddBlendMode(const TSXBlendMode& mode) {
  blendTable_.push_back(mode);
  return static_cast<std::int32_t>(blendTable_.size()) - 1;
}

void TSXScene::RestoreDevice() {
  IDirect3DDevice9* device = device_.Device();
  if (device == nullptr) return;
  device->SetViewport(&viewport_);
  const D3DMATRIX matrix = ToD3D(projection_);
  device->SetTransform(D3DTS_PROJECTION, &matrix);
  CheckBlendOpCaps();
}

bool TSXScene::CheckBlendOpCaps() {
  D3DCAPS9 caps{};
  IDirect3D9* direct3D = device_.Direct3D();
  if (direct3D != nullptr) direct3D->GetDeviceCaps(device_.Adapter(), device_.DeviceType(), &caps);
  blendOpSupported_ = (caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) != 0 ? 1 : 0;
  return blendOpSupported_ != 0;
}

bool TSXScene::IsSphereVisible(const TMatrix4& world, const TVector3& centre, float radius, float extra) const {
  if (radius <= 0) return false;
  const TVector3 c = TransformPoint(centre, MultiplyMatrix4(world, ViewMatrix()));
  if (c.z < -radius || c.z > radius + extra) return false;
  const double cosA = std::cos(fov_ / 2.0), sinA = std::sin(fov_ / 2.0);
  const double zs = c.z * sinA;
  return c.x * cosA + zs >= -radius && -c.x * cosA + zs >= -radius && -c.y * cosA + zs >= -radius &&
         c.y * cosA + zs >= -radius;
}
