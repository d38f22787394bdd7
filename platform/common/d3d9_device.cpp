#include "d3d9_device.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "backend.h"
#include "d3d9_settings.h"

namespace {

// State calls are traced for tests that count them; "SetRenderState 27" and so on.
void TraceCall(std::string_view name, DWORD argument) {
  std::array<char, 48> text{};
  const auto length = std::min(name.size(), text.size() - 12);
  std::copy_n(name.data(), length, text.data());
  text[length] = ' ';
  const auto end = std::to_chars(text.data() + length + 1, text.data() + text.size(), argument).ptr;
  platform::backend::Trace(std::string_view(text.data(), static_cast<size_t>(end - text.data())));
}

}  // namespace

namespace platform::d3d9 {

namespace {

constexpr DWORD kZBufferTrue = 1;
constexpr DWORD kShadeGouraud = 2;
constexpr DWORD kAddressWrap = 1;

D3DMATRIX Identity() {
  D3DMATRIX matrix;
  for (int i = 0; i < 4; ++i) matrix.m[i][i] = 1.0f;
  return matrix;
}

SDL_BlendFactor SdlFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO: return SDL_BLENDFACTOR_ZERO;
    case D3DBLEND_SRCCOLOR: return SDL_BLENDFACTOR_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return SDL_BLENDFACTOR_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return SDL_BLENDFACTOR_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return SDL_BLENDFACTOR_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return SDL_BLENDFACTOR_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return SDL_BLENDFACTOR_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return SDL_BLENDFACTOR_ONE_MINUS_DST_COLOR;
    default: return SDL_BLENDFACTOR_ONE;
  }
}

SDL_BlendOperation SdlOperation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return SDL_BLENDOPERATION_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return SDL_BLENDOPERATION_REV_SUBTRACT;
    case D3DBLENDOP_MIN: return SDL_BLENDOPERATION_MINIMUM;
    case D3DBLENDOP_MAX: return SDL_BLENDOPERATION_MAXIMUM;
    default: return SDL_BLENDOPERATION_ADD;
  }
}

UINT VertexCountOf(D3DPRIMITIVETYPE type, UINT primitiveCount) {
  switch (type) {
    case D3DPT_TRIANGLELIST: return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitiveCount + 2;
    default: return 0;
  }
}

void AppendTriangleIndices(D3DPRIMITIVETYPE type, UINT primitiveCount, std::vector<int>& indices) {
  indices.clear();
  for (UINT i = 0; i < primitiveCount; ++i) {
    const int n = static_cast<int>(i);
    switch (type) {
      case D3DPT_TRIANGLELIST: indices.insert(indices.end(), {3 * n, 3 * n + 1, 3 * n + 2}); break;
      case D3DPT_TRIANGLESTRIP: indices.insert(indices.end(), {n, n + 1, n + 2}); break;
      default: indices.insert(indices.end(), {0, n + 1, n + 2}); break;
    }
  }
}

float ReadFloat(const std::uint8_t* bytes) {
  float value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

DWORD ReadDword(const std::uint8_t* bytes) {
  DWORD value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// Where the fields of a pre-transformed vertex lie; only those formats can be drawn.
struct VertexLayout {
  UINT size = 0;
  int diffuse = -1;
  int texture = -1;
};

bool LayoutOf(DWORD fvf, VertexLayout& layout) {
  constexpr DWORD kKnown = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
  if ((fvf & D3DFVF_XYZRHW) == 0 || (fvf & ~kKnown) != 0) return false;
  UINT offset = 16;
  if (fvf & D3DFVF_DIFFUSE) layout.diffuse = static_cast<int>(std::exchange(offset, offset + 4));
  if (fvf & D3DFVF_SPECULAR) offset += 4;
  if (fvf & D3DFVF_TEX1) layout.texture = static_cast<int>(std::exchange(offset, offset + 8));
  layout.size = offset;
  return true;
}

bool SameColour(const SDL_Color& a, const SDL_Color& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

bool WholeTexel(float coordinate, int size, int& texel) {
  const float scaled = coordinate * static_cast<float>(size);
  texel = static_cast<int>(SDL_roundf(scaled));
  return SDL_fabsf(scaled - static_cast<float>(texel)) < 1e-3f;
}

// A strip of four corners (top-left, top-right, bottom-left, bottom-right in some mirroring)
// that is an axis-aligned rectangle of one colour, showing a whole-texel part of the texture.
bool FindAlignedRectangle(const std::vector<SDL_Vertex>& v, SDL_Texture* texture, AlignedRectangle& found) {
  if (v.size() != 4 || v[0].position.y != v[1].position.y || v[2].position.y != v[3].position.y ||
      v[0].position.x != v[2].position.x || v[1].position.x != v[3].position.x ||
      v[0].tex_coord.y != v[1].tex_coord.y || v[2].tex_coord.y != v[3].tex_coord.y ||
      v[0].tex_coord.x != v[2].tex_coord.x || v[1].tex_coord.x != v[3].tex_coord.x) {
    return false;
  }
  for (int i = 1; i < 4; ++i) {
    if (!SameColour(v[0].color, v[i].color)) return false;
  }
  found.colour = v[0].color;
  const float left = std::min(v[0].position.x, v[1].position.x), top = std::min(v[0].position.y, v[2].position.y);
  found.destination = {left, top, SDL_fabsf(v[1].position.x - v[0].position.x),
                       SDL_fabsf(v[2].position.y - v[0].position.y)};
  if (texture == nullptr) return true;
  int width = 0, height = 0;
  SDL_QueryTexture(texture, nullptr, nullptr, &width, &height);
  int u0, u1, v0, v1;
  if (!WholeTexel(v[0].tex_coord.x, width, u0) || !WholeTexel(v[1].tex_coord.x, width, u1) ||
      !WholeTexel(v[0].tex_coord.y, height, v0) || !WholeTexel(v[2].tex_coord.y, height, v1)) {
    return false;
  }
  // Texels run the other way when the texture coordinates do not follow the positions.
  const bool mirroredX = (u1 < u0) != (v[1].position.x < v[0].position.x);
  const bool mirroredY = (v1 < v0) != (v[2].position.y < v[0].position.y);
  found.source = {std::min(u0, u1), std::min(v0, v1), std::abs(u1 - u0), std::abs(v1 - v0)};
  found.flip = (mirroredX ? SDL_FLIP_HORIZONTAL : 0) | (mirroredY ? SDL_FLIP_VERTICAL : 0);
  return found.source.x >= 0 && found.source.y >= 0 && found.source.x + found.source.w <= width &&
         found.source.y + found.source.h <= height;
}

SDL_Color SdlColor(D3DCOLOR color) {
  return {static_cast<Uint8>(color >> 16), static_cast<Uint8>(color >> 8), static_cast<Uint8>(color),
          static_cast<Uint8>(color >> 24)};
}

}  // namespace

HRESULT OwnedSurface::GetDesc(D3DSURFACE_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = desc_;
  return D3D_OK;
}

Device::Device(IDirect3D9& direct3D, D3DDEVTYPE deviceType, SDL_Renderer* renderer, SdlTexturePtr picture,
               SDL_Surface* memory, const D3DPRESENT_PARAMETERS& params)
    : direct3D_(direct3D), deviceType_(deviceType), renderer_(renderer), picture_(std::move(picture)), memory_(memory),
      params_(params) {
  direct3D_.AddRef();
  // The picture replaces the display's pixels; its alpha must not blend it with them.
  if (picture_) SDL_SetTextureBlendMode(picture_.get(), SDL_BLENDMODE_NONE);
  const D3DSURFACE_DESC backBufferDesc{params.BackBufferFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET,
                                       D3DPOOL_DEFAULT, params.MultiSampleType, 0, params.BackBufferWidth,
                                       params.BackBufferHeight};
  for (UINT i = 0; i < params.BackBufferCount; ++i) backBuffers_.emplace_back(new OwnedSurface(backBufferDesc));
  if (params.EnableAutoDepthStencil) {
    D3DSURFACE_DESC depthDesc = backBufferDesc;
    depthDesc.Format = params.AutoDepthStencilFormat;
    depthDesc.Usage = D3DUSAGE_DEPTHSTENCIL;
    depthStencil_.reset(new OwnedSurface(depthDesc));
  }
  viewport_ = {0, 0, params.BackBufferWidth, params.BackBufferHeight, 0.0f, 1.0f};
  SDL_RendererInfo info{};
  softwareRenderer_ = SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE) != 0;
  SetDefaultStates();
  UsePicture();
}

Device::~Device() {
  for (Texture*& texture : textures_) {
    if (texture != nullptr) texture->Release();
  }
  SDL_SetRenderTarget(renderer_, nullptr);
  direct3D_.Release();
}

void Device::SetDefaultStates() {
  renderStates_[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? kZBufferTrue : 0;
  renderStates_[D3DRS_FILLMODE] = D3DFILL_SOLID;
  renderStates_[D3DRS_SHADEMODE] = kShadeGouraud;
  renderStates_[D3DRS_ZWRITEENABLE] = TRUE;
  renderStates_[D3DRS_LASTPIXEL] = TRUE;
  renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
  renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  renderStates_[D3DRS_LIGHTING] = TRUE;
  renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  for (auto& sampler : samplerStates_) {
    sampler[D3DSAMP_ADDRESSU] = sampler[D3DSAMP_ADDRESSV] = sampler[D3DSAMP_ADDRESSW] = kAddressWrap;
    sampler[D3DSAMP_MAGFILTER] = sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
  }
  for (DWORD stage = 0; stage < kStages; ++stage) {
    auto& states = stageStates_[stage];
    states[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    states[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    states[D3DTSS_COLORARG1] = states[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    states[D3DTSS_COLORARG2] = states[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    states[D3DTSS_TEXCOORDINDEX] = stage;
  }
}

// The backend draws the picture onto the display at Present; every other draw goes into it
// (a null texture names the renderer's own surface).
void Device::UsePicture() { SDL_SetRenderTarget(renderer_, picture_.get()); }

HRESULT Device::TestCooperativeLevel() {
  backend::Trace("TestCooperativeLevel");
  return backend::DeviceLost() ? D3DERR_DEVICELOST : D3D_OK;
}

HRESULT Device::GetDirect3D(IDirect3D9** direct3D) {
  if (direct3D == nullptr) return D3DERR_INVALIDCALL;
  direct3D_.AddRef();
  *direct3D = &direct3D_;
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  if (caps == nullptr) return D3DERR_INVALIDCALL;
  FillCaps(deviceType_, 0, *caps);
  return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** backBuffer) {
  if (backBuffer == nullptr) return D3DERR_INVALIDCALL;
  *backBuffer = nullptr;
  if (swapChain != 0 || type != D3DBACKBUFFER_TYPE_MONO || index >= backBuffers_.size()) return D3DERR_INVALIDCALL;
  backBuffers_[index]->AddRef();
  *backBuffer = backBuffers_[index].get();
  return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (!depthStencil_) return D3DERR_NOTFOUND;
  depthStencil_->AddRef();
  *surface = depthStencil_.get();
  return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture, void* sharedHandle) {
  if (texture == nullptr || sharedHandle != nullptr) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const DeviceProfile& profile = Profile();
  if (std::find(profile.textureFormats.begin(), profile.textureFormats.end(), format) == profile.textureFormats.end()) {
    return D3DERR_INVALIDCALL;
  }
  Texture* created = nullptr;
  const HRESULT result = Texture::Create(renderer_, width, height, levels, usage, format, pool, &created);
  *texture = created;
  return result;
}

HRESULT Device::BeginScene() {
  backend::Trace("BeginScene");
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  UsePicture();
  return D3D_OK;
}

HRESULT Device::EndScene() {
  backend::Trace("EndScene");
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const void*) {
  backend::Trace("Present");
  if (backend::DeviceLost()) return D3DERR_DEVICELOST;
  backend::PresentPicture(picture_.get());
  UsePicture();
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float, DWORD) {
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 && !depthStencil_) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_TARGET) == 0) return D3D_OK;
  UsePicture();
  SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
  const SDL_Color sdl = SdlColor(color);
  SDL_SetRenderDrawColor(renderer_, sdl.r, sdl.g, sdl.b, sdl.a);
  const SDL_Rect viewport{static_cast<int>(viewport_.X), static_cast<int>(viewport_.Y),
                          static_cast<int>(viewport_.Width), static_cast<int>(viewport_.Height)};
  if (count == 0 || rects == nullptr) return SDL_RenderFillRect(renderer_, &viewport) == 0 ? D3D_OK : D3DERR_INVALIDCALL;
  for (DWORD i = 0; i < count; ++i) {
    const SDL_Rect area{rects[i].x1, rects[i].y1, rects[i].x2 - rects[i].x1, rects[i].y2 - rects[i].y1};
    SDL_Rect clipped;
    if (SDL_IntersectRect(&area, &viewport, &clipped)) SDL_RenderFillRect(renderer_, &clipped);
  }
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  transforms_[state] = *matrix;
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  const auto found = transforms_.find(state);
  *matrix = found == transforms_.end() ? Identity() : found->second;
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  if (viewport == nullptr || viewport->X + viewport->Width > params_.BackBufferWidth ||
      viewport->Y + viewport->Height > params_.BackBufferHeight) {
    return D3DERR_INVALIDCALL;
  }
  viewport_ = *viewport;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
  if (viewport == nullptr) return D3DERR_INVALIDCALL;
  *viewport = viewport_;
  return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  TraceCall("SetRenderState", state);
  if (state >= renderStates_.size()) return D3DERR_INVALIDCALL;
  renderStates_[state] = value;
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (value == nullptr || state >= renderStates_.size()) return D3DERR_INVALIDCALL;
  *value = renderStates_[state];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  TraceCall("SetSamplerState", type);
  if (sampler >= kSamplers || type >= kSamplerStates) return D3DERR_INVALIDCALL;
  samplerStates_[sampler][type] = value;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (value == nullptr || sampler >= kSamplers || type >= kSamplerStates) return D3DERR_INVALIDCALL;
  *value = samplerStates_[sampler][type];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kStages || type >= kStageStates) return D3DERR_INVALIDCALL;
  stageStates_[stage][type] = value;
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (value == nullptr || stage >= kStages || type >= kStageStates) return D3DERR_INVALIDCALL;
  *value = stageStates_[stage][type];
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DTexture9* texture) {
  TraceCall("SetTexture", texture != nullptr ? 1 : 0);
  if (stage >= kStages) return D3DERR_INVALIDCALL;
  // Every texture this device hands out is one of ours.
  auto* ours = static_cast<Texture*>(texture);
  if (ours != nullptr) ours->AddRef();
  if (textures_[stage] != nullptr) textures_[stage]->Release();
  textures_[stage] = ours;
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  fvf_ = fvf;
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
  if (fvf == nullptr) return D3DERR_INVALIDCALL;
  *fvf = fvf_;
  return D3D_OK;
}

SDL_BlendMode Device::BlendMode() const {
  if (renderStates_[D3DRS_ALPHABLENDENABLE] == 0) return SDL_BLENDMODE_NONE;
  const DWORD source = renderStates_[D3DRS_SRCBLEND];
  const DWORD destination = renderStates_[D3DRS_DESTBLEND];
  const DWORD operation = renderStates_[D3DRS_BLENDOP];
  if (operation == D3DBLENDOP_ADD) {
    if (source == D3DBLEND_SRCALPHA && destination == D3DBLEND_INVSRCALPHA) return SDL_BLENDMODE_BLEND;
    if (source == D3DBLEND_SRCALPHA && destination == D3DBLEND_ONE) return SDL_BLENDMODE_ADD;
    if (source == D3DBLEND_ZERO && destination == D3DBLEND_SRCCOLOR) return SDL_BLENDMODE_MOD;
    if (source == D3DBLEND_ONE && destination == D3DBLEND_ZERO) return SDL_BLENDMODE_NONE;
  }
  const SDL_BlendFactor sourceFactor = SdlFactor(source);
  const SDL_BlendFactor destinationFactor = SdlFactor(destination);
  const SDL_BlendOperation sdlOperation = SdlOperation(operation);
  return SDL_ComposeCustomBlendMode(sourceFactor, destinationFactor, sdlOperation, sourceFactor, destinationFactor,
                                    sdlOperation);
}

// A renderer that cannot compose a blend (the software one) draws it as plain alpha blending.
void Device::ApplyBlendMode(SDL_Texture* texture) {
  const SDL_BlendMode mode = BlendMode();
  if (texture != nullptr) {
    if (SDL_SetTextureBlendMode(texture, mode) != 0) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  } else if (SDL_SetRenderDrawBlendMode(renderer_, mode) != 0) {
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
  }
}

void Device::ApplyFilter(SDL_Texture* texture) {
  const bool linear = samplerStates_[0][D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
  SDL_SetTextureScaleMode(texture, linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
}

bool Device::BuildVertices(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* vertices, UINT stride) {
  VertexLayout layout;
  const UINT count = VertexCountOf(type, primitiveCount);
  if (!LayoutOf(fvf_, layout) || stride < layout.size || count == 0) return false;
  vertices_.resize(count);
  for (UINT i = 0; i < count; ++i) {
    const std::uint8_t* vertex = vertices + std::size_t{i} * stride;
    SDL_Vertex& out = vertices_[i];
    out.position = {ReadFloat(vertex), ReadFloat(vertex + 4)};
    out.color = SdlColor(layout.diffuse >= 0 ? ReadDword(vertex + layout.diffuse) : 0xFFFFFFFFu);
    out.tex_coord = layout.texture >= 0 ? SDL_FPoint{ReadFloat(vertex + layout.texture),
                                                     ReadFloat(vertex + layout.texture + 4)}
                                        : SDL_FPoint{0.0f, 0.0f};
  }
  AppendTriangleIndices(type, primitiveCount, indices_);
  return true;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) {
  TraceCall("DrawPrimitiveUP", primitiveCount);
  if (!inScene_ || vertices == nullptr || primitiveCount == 0) return D3DERR_INVALIDCALL;
  if (!BuildVertices(type, primitiveCount, static_cast<const std::uint8_t*>(vertices), stride)) {
    return D3DERR_INVALIDCALL;
  }
  SDL_Texture* texture = textures_[0] != nullptr ? textures_[0]->Picture() : nullptr;
  if (texture != nullptr) ApplyFilter(texture);
  ApplyBlendMode(texture);
  UsePicture();
  // SDL's triangles may sample a texel off by one along the diagonal; a sprite's rectangle is
  // copied instead, texel for pixel.
  AlignedRectangle rectangle;
  if (type == D3DPT_TRIANGLESTRIP && FindAlignedRectangle(vertices_, texture, rectangle)) {
    if ((softwareRenderer_ || AlphaTested()) && ShadeRectangle(textures_[0], rectangle)) return D3D_OK;
    return DrawRectangle(texture, rectangle) == 0 ? D3D_OK : D3DERR_INVALIDCALL;
  }
  const int drawn = SDL_RenderGeometry(renderer_, texture, vertices_.data(), static_cast<int>(vertices_.size()),
                                       indices_.data(), static_cast<int>(indices_.size()));
  return drawn == 0 ? D3D_OK : D3DERR_INVALIDCALL;
}

int Device::DrawRectangle(SDL_Texture* texture, const AlignedRectangle& rectangle) {
  const SDL_Color& colour = rectangle.colour;
  if (texture == nullptr) {
    SDL_SetRenderDrawColor(renderer_, colour.r, colour.g, colour.b, colour.a);
    return SDL_RenderFillRectF(renderer_, &rectangle.destination);
  }
  SDL_SetTextureColorMod(texture, colour.r, colour.g, colour.b);
  SDL_SetTextureAlphaMod(texture, colour.a);
  const int drawn = SDL_RenderCopyExF(renderer_, texture, &rectangle.source, &rectangle.destination, 0.0, nullptr,
                                      static_cast<SDL_RendererFlip>(rectangle.flip));
  SDL_SetTextureColorMod(texture, 255, 255, 255);
  SDL_SetTextureAlphaMod(texture, 255);
  return drawn;
}

PixelPipeline Device::Pipeline() const {
  const auto& stage = stageStates_[0];
  return {stage[D3DTSS_COLOROP],
          stage[D3DTSS_COLORARG1],
          stage[D3DTSS_COLORARG2],
          stage[D3DTSS_ALPHAOP],
          stage[D3DTSS_ALPHAARG1],
          stage[D3DTSS_ALPHAARG2],
          renderStates_[D3DRS_ALPHATESTENABLE] != 0,
          renderStates_[D3DRS_ALPHAFUNC],
          renderStates_[D3DRS_ALPHAREF],
          renderStates_[D3DRS_ALPHABLENDENABLE] != 0,
          renderStates_[D3DRS_SRCBLEND],
          renderStates_[D3DRS_DESTBLEND],
          renderStates_[D3DRS_BLENDOP]};
}

// No SDL renderer knows the alpha test, so on any renderer such sprites are shaded by us.
bool Device::AlphaTested() const {
  return renderStates_[D3DRS_ALPHATESTENABLE] != 0 && renderStates_[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS;
}

// Texel for pixel: the picture's pixels under the sprite are read, shaded as the device would
// and written back. False leaves the sprite to SDL (scaled, mirrored or unknown states).
bool Device::ShadeRectangle(Texture* texture, const AlignedRectangle& rectangle) {
  const PixelPipeline pipeline = Pipeline();
  const SDL_FRect& to = rectangle.destination;
  const SDL_Rect area{static_cast<int>(to.x), static_cast<int>(to.y), static_cast<int>(to.w), static_cast<int>(to.h)};
  const bool whole = float(area.x) == to.x && float(area.y) == to.y && float(area.w) == to.w && float(area.h) == to.h;
  const bool texelForPixel = texture == nullptr || (rectangle.source.w == area.w && rectangle.source.h == area.h);
  if (!CanShade(pipeline) || rectangle.flip != SDL_FLIP_NONE || !whole || !texelForPixel) return false;
  const SDL_Rect picture{0, 0, static_cast<int>(params_.BackBufferWidth), static_cast<int>(params_.BackBufferHeight)};
  SDL_Rect shown;
  if (!SDL_IntersectRect(&area, &picture, &shown)) return true;
  const SDL_Rect source{rectangle.source.x + shown.x - area.x, rectangle.source.y + shown.y - area.y, shown.w, shown.h};
  const SDL_Color& c = rectangle.colour;
  const std::uint32_t diffuse = std::uint32_t{c.a} << 24 | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
  // Texels kept as ARGB are shaded where they lie, without a copy.
  std::size_t texelPitch = 0;
  const std::uint32_t* rows = texture != nullptr ? texture->ArgbRows(source, texelPitch) : nullptr;
  if (memory_ != nullptr && rows != nullptr) return ShadeInMemory(pipeline, diffuse, shown, rows, texelPitch);
  const auto count = static_cast<std::size_t>(shown.w) * static_cast<std::size_t>(shown.h);
  // Kept at the largest size drawn: a frame of sprites neither allocates nor clears it.
  if (texels_.size() < count) texels_.resize(count);
  if (texture == nullptr) {
    std::fill_n(texels_.begin(), count, 0xFFFFFFFFu);  // no texture samples as opaque white
  } else if (!texture->CopyArgb(source, texels_.data())) {
    return false;
  }
  const std::span<const std::uint32_t> texels(texels_.data(), count);
  if (memory_ != nullptr) return ShadeInMemory(pipeline, diffuse, shown, texels_.data(), static_cast<std::size_t>(shown.w));
  pixels_.assign(count, 0);
  const int pitch = shown.w * 4;
  if (ReadsBelow(pipeline, texels, diffuse) &&
      SDL_RenderReadPixels(renderer_, &shown, SDL_PIXELFORMAT_ARGB8888, pixels_.data(), pitch) != 0) {
    return false;
  }
  ShadeSpan(pipeline, texels, diffuse, pixels_);
  return SDL_UpdateTexture(picture_.get(), &shown, pixels_.data(), pitch) == 0;
}

// The picture is our own memory: shaded in place, row by row, with nothing read back.
bool Device::ShadeInMemory(const PixelPipeline& pipeline, std::uint32_t diffuse, const SDL_Rect& shown,
                           const std::uint32_t* texels, std::size_t texelPitch) {
  SDL_RenderFlush(renderer_);
  const auto width = static_cast<std::size_t>(shown.w);
  const int pitch = memory_->pitch / 4;
  auto* row = static_cast<std::uint32_t*>(memory_->pixels) + static_cast<std::ptrdiff_t>(shown.y) * pitch + shown.x;
  for (std::size_t y = 0; y < static_cast<std::size_t>(shown.h); ++y, row += pitch) {
    ShadeSpan(pipeline, std::span(texels + y * texelPitch, width), diffuse, std::span(row, width));
  }
  return true;
}

}  // namespace platform::d3d9
