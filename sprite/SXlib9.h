#pragma once
// The sprite scene that turns queued screen-space quads into device draw calls, and the
// text writer that rasterises Shift-JIS text into texture pixels through a glyph cache.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "DGCarad9.h"
#include "DGTexture.h"
#include "platform/wingdi.h"
#include "s_MathPack.h"

// One corner of a queued quad.
struct TSXVertex {
  float x = 0, y = 0;
  std::uint32_t colour = 0;
  float u = 0, v = 0;
};
static_assert(sizeof(TSXVertex) == 20);

struct TSXBlendMode {
  std::uint8_t sorted = 0;
  std::uint8_t alphaTest = 0;
  std::int32_t alphaFunc = D3DCMP_ALWAYS;
  std::uint8_t blendEnable = 0;
  std::int32_t srcBlend = D3DBLEND_SRCALPHA;
  std::int32_t destBlend = D3DBLEND_INVSRCALPHA;
  std::int32_t blendOp = D3DBLENDOP_ADD;
};

// The blend-table rows every scene starts with.
enum TSXBlendIndex : std::int32_t {
  sxbOpaque = 0,
  sxbAdditive = 1,
  sxbAlphaBlend = 2,
  sxbDarken = 3,
  sxbMultiply = 4,
  sxbCutOut = 5
};

struct TSXQueuedQuad {
  std::uint8_t filter = 0;
  std::int32_t blendMode = 0;
  TDGTexture* texture = nullptr;
  float x = 0, y = 0, z = 0;
  std::array<TSXVertex, 4> corners{};
};

class TSXScene;

// A node of the 3D side: a local matrix under its parent, a bounding sphere for culling, and
// whatever its owner draws for it. Nothing in the game builds one.
class TSXFrame {
 public:
  explicit TSXFrame(TSXFrame* parent = nullptr);
  ~TSXFrame();
  TSXFrame(const TSXFrame&) = delete;
  TSXFrame& operator=(const TSXFrame&) = delete;

  TMatrix4 local = IdentityMatrix;
  TVector3 sphereCentre;
  float sphereRadius = 0;
  bool sorted = false;
  std::function<void(TSXScene& scene, const TMatrix4& world)> onRender;

  TSXFrame* Parent() const { return parent_; }
  const std::vector<TSXFrame*>& Children() const { return children_; }
  TMatrix4 World() const;

 private:
  TSXFrame* parent_;
  std::vector<TSXFrame*> children_;
};

// A camera-facing quad hanging on a frame.
struct TSXPointSprite {
  std::uint8_t filter = 0;
  std::uint8_t scaleWithDistance = 0;
  std::int32_t blendMode = 0;
  TSXFrame* frame = nullptr;
  TVector4 point;
  TDGTexture* texture = nullptr;
  std::array<TSXVertex, 4> corners{};
};

// Holds a record of changed device states; nothing records into it yet.
class TSXStateRestorer {
 public:
  explicit TSXStateRestorer(TDGCarad& device);

 private:
  [[maybe_unused]] TDGCarad& device_;
  [[maybe_unused]] std::array<std::uint32_t, 8> renderStatesChanged_{};
  [[maybe_unused]] std::int32_t renderStateChanges_ = 0;
  [[maybe_unused]] std::array<std::array<std::uint32_t, 8>, 8> stageStatesChanged_{};
  [[maybe_unused]] std::array<std::int32_t, 8> stageStateChanges_{};
};

class TSXRenderingQueue {
 public:
  TSXRenderingQueue(TDGCarad& device, TSXScene& scene);

  void AddQuad(std::uint8_t filter, std::int32_t blendMode, float x, float y, float z, TDGTexture* texture,
               const TSXVertex* corners);
  void AddFrame(TSXFrame* frame);
  void AddPointSprite(const TSXPointSprite& sprite);
  void SetQuadCapacity(std::int32_t capacity);
  void SetFrameCapacity(std::int32_t capacity);
  void SetPointSpriteCapacity(std::int32_t capacity);
  void Flush(bool sort, const TMatrix4& view, const D3DVIEWPORT9& viewport);

  std::int32_t QuadCapacity() const { return quadCapacity_; }
  std::int32_t QuadCount() const { return quadCount_; }
  // What waits for the next flush, in queue order.
  std::span<const TSXQueuedQuad> Quads() const { return {quads_.data(), static_cast<size_t>(quadCount_)}; }
  size_t SortArrayLength() const { return sortKey_.size(); }

 private:
  struct FlushCache;
  void ResizeSortArrays();
  void ResetDeviceState(FlushCache& cache);
  void ApplyQuadState(FlushCache& cache, std::uint8_t filter, std::int32_t blendMode, TDGTexture* texture);
  void DrawQuad(FlushCache& cache, const TSXQueuedQuad& quad);
  void DrawPointSprite(FlushCache& cache, TSXPointSprite& sprite, const TMatrix4& viewProjScreen);
  void DrawFrame(TSXFrame* frame);
  void DrawItem(FlushCache& cache, std::int32_t index, const TMatrix4& viewProjScreen);
  std::int32_t BuildSortList(const TMatrix4& view, const TMatrix4& viewProjScreen);
  void QuickSort(std::int32_t left, std::int32_t right);

  TDGCarad& device_;
  TSXScene& scene_;
  std::vector<TSXFrame*> frames_;
  std::vector<TSXPointSprite> pointSprites_;
  std::vector<TSXQueuedQuad> quads_;
  std::vector<std::int32_t> sortIndex_;
  std::vector<float> sortKey_;
  std::int32_t frameCapacity_ = 0, pointSpriteCapacity_ = 0, quadCapacity_ = 0;
  std::int32_t frameCount_ = 0, pointSpriteCount_ = 0, quadCount_ = 0;
  std::int32_t sortedPointSprites_ = 0, sortedQuads_ = 0;
};

class TSXScene : public TDGResource {
 public:
  TSXScene(TDGCarad& device, const std::string& name);
  ~TSXScene() override;
  TSXScene(const TSXScene&) = delete;
  TSXScene& operator=(const TSXScene&) = delete;

  std::string ClassName() const override { return "TSXScene"; }

  void Clear(DWORD flags, D3DCOLOR colour, float z, DWORD stencil);
  void QueueQuad(float x, float y, const TSXVertex* corners, TDGTexture* texture, std::int32_t blendMode,
                 std::uint8_t filter, std::uint8_t overlay, float z);
  void Render(TSXFrame* root);
  void SetProjection(float fov, float aspect, float nearZ, float farZ);
  void SetViewport(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
  std::int32_t AddBlendMode(const TSXBlendMode& mode);
  void RestoreDevice();
  bool CheckBlendOpCaps();
  bool IsSphereVisible(const TMatrix4& world, const TVector3& centre, float radius, float extra) const;

  TSXFrame* camera = nullptr;
  const std::vector<TSXBlendMode>& BlendTable() const { return blendTable_; }
  bool BlendOpSupported() const { return blendOpSupported_ != 0; }
  const TMatrix4& Projection() const { return projection_; }
  const TMatrix4& ScreenMatrix() const { return screenMatrix_; }
  const D3DVIEWPORT9& Viewport() const { return viewport_; }
  float FarZ() const { return farZ_; }
  TSXRenderingQueue& OverlayQueue() { return *overlayQueue_; }
  TSXRenderingQueue& OpaqueQueue() { return *opaqueQueue_; }
  TSXRenderingQueue& SortedQueue() { return *sortedQueue_; }
  TDGCarad& Device() const { return device_; }

 private:
  TMatrix4 ViewMatrix() const;
  void QueueFrameTree(TSXFrame* frame, const TMatrix4& parentWorld);

  std::unique_ptr<TSXStateRestorer> stateRestorer_;
  TDGCarad& device_;
  std::int32_t resourceId_ = 0;
  std::string name_;
  TMatrix4 projection_ = IdentityMatrix;
  TMatrix4 screenMatrix_ = IdentityMatrix;
  D3DVIEWPORT9 viewport_{};
  float fov_ = 0, aspect_ = 0, nearZ_ = 0, farZ_ = 0;
  std::unique_ptr<TSXRenderingQueue> overlayQueue_, opaqueQueue_, sortedQueue_;
  std::uint8_t blendOpSupported_ = 0;
  std::uint8_t sortTranslucent_ = 1;
  std::vector<TSXBlendMode> blendTable_;
};

// Style bits of a cached glyph.
constexpr std::uint8_t sxfsBold = 1, sxfsItalic = 2, sxfsUnderline = 4, sxfsStrikeOut = 8;

struct TSXFontCacheData {
  std::vector<std::uint8_t> pixels;
  std::int32_t code = 0;
  std::string fontName;
  std::int32_t fontHeight = 0;
  std::uint8_t fontStyle = 0;
  std::int32_t width = 0, height = 0, pitch = 0;
  std::int32_t originX = 0, offsetY = 0;
  std::int32_t cellIncX = 0, cellIncY = 0;
};

class TSXTextWriter;

class TSXFontCache {
 public:
  TSXFontCache(TSXTextWriter& writer, std::int32_t capacity);
  void SetCapacity(std::int32_t n);
  TSXFontCacheData GetGlyph(std::int32_t code, const TFont& font);
  std::int32_t Count(int bucket) const { return count_[bucket]; }
  std::uint8_t antiAlias = 1;

 private:
  void Rasterise(TSXFontCacheData& entry);

  TSXTextWriter& writer_;
  std::array<std::int32_t, 256> count_{};
  std::array<std::vector<TSXFontCacheData>, 256> bucket_;
  std::int32_t capacity_ = 0;
};

class TSXTextWriter {
 public:
  TSXTextWriter(TDGCarad& device, D3DFORMAT format, std::int32_t capacity);
  ~TSXTextWriter();
  TSXTextWriter(const TSXTextWriter&) = delete;
  TSXTextWriter& operator=(const TSXTextWriter&) = delete;

  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  void SetFontSize(int points);
  void SetFontName(const std::string& name);

  std::int32_t TextWidth(const std::string& text);
  std::int32_t TextHeight(const std::string& text);
  void DrawText(std::int32_t x, std::int32_t y, TDGTexture& texture, const std::string& text);
  std::unique_ptr<TDGTexture> CreateTextTexture(const std::string& text, std::span<const D3DFORMAT> formats,
                                                const std::string& name);

  D3DFORMAT Format() const { return format_; }
  HDC Canvas() const { return canvas_; }
  TSXFontCache& Cache() { return *cache_; }

 private:
  SIZE Extent(const std::string& text);

  TDGCarad& device_;
  std::unique_ptr<TSXFontCache> cache_;
  TFont font_;
  HDC canvas_ = nullptr;
  HFONT canvasFont_ = nullptr;
  D3DFORMAT format_;
};
