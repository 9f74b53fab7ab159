// Device creation, the presentation chain, scenes, clearing and the storage
// of every Direct3D state with its documented default.
#include "platform/d3d9/device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win32/win32_vorn.h"

namespace vorn::d3d {

namespace {

DWORD floatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

D3DMATRIX identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

bool sameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Render states that the public header does not name.
constexpr int kStencilFail = 53, kStencilZFail = 54, kStencilPass = 55, kStencilFunc = 56, kStencilRef = 57,
              kStencilMask = 58, kStencilWriteMask = 59;
constexpr int kPatchEdgeStyle = 163, kIndexedVertexBlend = 167, kTweenFactor = 170, kPositionDegree = 172,
              kNormalDegree = 173, kMinTessellation = 178, kMaxTessellation = 179, kAdaptiveX = 180,
              kEnableAdaptive = 184, kCcwStencilFail = 186, kCcwStencilFunc = 189, kColorWrite1 = 190,
              kBlendFactor = 193, kWrap8 = 198;

}  // namespace

// ---- Direct3D9 ---------------------------------------------------------------

Direct3D::Direct3D() { SDL_InitSubSystem(SDL_INIT_VIDEO); }
Direct3D::~Direct3D() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  if (!mode || adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
    desktop.w = 640;
    desktop.h = 480;
    desktop.refresh_rate = 60;
  }
  mode->Width = static_cast<UINT>(desktop.w);
  mode->Height = static_cast<UINT>(desktop.h);
  mode->RefreshRate = static_cast<UINT>(desktop.refresh_rate > 0 ? desktop.refresh_rate : 60);
  mode->Format = D3DFMT_X8R8G8B8;
  return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** returnedDevice) {
  if (!returnedDevice) return D3DERR_INVALIDCALL;
  *returnedDevice = nullptr;
  if (!parameters || adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
  if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF) return D3DERR_INVALIDCALL;
  HWND window = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
  Device* device = nullptr;
  D3DPRESENT_PARAMETERS actual = *parameters;
  HRESULT hr = Device::create(this, window, *parameters, &actual, &device);
  if (FAILED(hr)) return hr;
  *parameters = actual;  // as Direct3D, report the sizes and format chosen
  *returnedDevice = device;
  return D3D_OK;
}

// ---- creation --------------------------------------------------------------------

HRESULT Device::create(Direct3D* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters,
                       D3DPRESENT_PARAMETERS* actual, Device** out) {
  Device* device = new Device();
  HRESULT hr = device->initialise(direct3d, window, parameters, actual);
  if (FAILED(hr)) {
    device->Release();
    return hr;
  }
  *out = device;
  return D3D_OK;
}

HRESULT Device::initialise(Direct3D* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters,
                           D3DPRESENT_PARAMETERS* actual) {
  SDL_Window* sdl = VornWin32_SdlWindow(window);
  if (!sdl) return D3DERR_INVALIDCALL;
  window_ = window;
  parameters_ = parameters;

  UINT width = parameters.BackBufferWidth, height = parameters.BackBufferHeight;
  if (width == 0 || height == 0) {
    int w = 0, h = 0;
    VornWin32_ClientSize(window, &w, &h);
    if (width == 0) width = static_cast<UINT>(std::max(w, 1));
    if (height == 0) height = static_cast<UINT>(std::max(h, 1));
  }
  D3DFORMAT format = parameters.BackBufferFormat;
  if (format == D3DFMT_UNKNOWN) format = D3DFMT_X8R8G8B8;
  GLenum colorFormat = 0;
  switch (format) {
    case D3DFMT_X8R8G8B8: colorFormat = GL_RGB8; break;  // no alpha: destination alpha reads one
    case D3DFMT_A8R8G8B8: colorFormat = GL_RGBA8; break;
    case D3DFMT_R5G6B5: colorFormat = GL_RGB565; break;
    default: return D3DERR_NOTAVAILABLE;
  }
  backBufferFormat_ = format;
  GLenum depthFormat = 0;
  if (parameters.EnableAutoDepthStencil) {
    switch (parameters.AutoDepthStencilFormat) {
      case D3DFMT_D16: depthFormat = GL_DEPTH_COMPONENT16; break;
      case D3DFMT_D24S8: depthFormat = GL_DEPTH24_STENCIL8; break;
      default: return D3DERR_NOTAVAILABLE;
    }
  }
  int samples = 0;
  if (parameters.MultiSampleType >= 2 && parameters.MultiSampleType <= 16) {
    samples = static_cast<int>(parameters.MultiSampleType);
  } else if (parameters.MultiSampleType != D3DMULTISAMPLE_NONE) {
    return D3DERR_NOTAVAILABLE;
  }

  // The context. The window stand-in set the core 3.3 attributes when it
  // made the window; set them again, as they are read here.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GLContext gl = SDL_GL_CreateContext(sdl);
  if (!gl) return D3DERR_NOTAVAILABLE;
  context_ = std::make_shared<GLContext>();
  context_->window = sdl;
  context_->context = gl;
  context_->alive = true;
  context_->owner = this;
  if (!context_->makeCurrent() || epoxy_gl_version() < 33) return D3DERR_NOTAVAILABLE;

  glGetIntegerv(GL_MAX_SAMPLES, &maxSamples_);
  if (samples > maxSamples_) return D3DERR_NOTAVAILABLE;  // the count is not lowered
  float pointRange[2] = {1.0f, 64.0f};
  glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, pointRange);
  maxPointSize_ = pointRange[1];
  if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") || epoxy_gl_version() >= 46)
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy_);

  // Back buffer: the window's framebuffer where it fits, framebuffer
  // objects otherwise.
  backBuffer_.width = width;
  backBuffer_.height = height;
  backColorFormat_ = colorFormat;
  backDepthFormat_ = depthFormat;
  if (windowBackBufferEnabled() && windowFitsBackBuffer(colorFormat, depthFormat, samples)) {
    backBuffer_.bottomUp = true;
    // Texture targets set with SetRenderTarget draw with a depth buffer of their own.
    if (depthFormat) backDepth_ = makeRenderbuffer(depthFormat, 0, width, height);
  } else if (!createBackBufferObjects(colorFormat, depthFormat, samples)) {
    return D3DERR_NOTAVAILABLE;
  }
  backBufferSurface_ = std::make_unique<Surface>(this, nullptr, 0, 0, this);
  backBuffer_.surface = backBufferSurface_.get();
  target_ = backBuffer_;

  // Fixed objects and the OpenGL state that never changes.
  glGenBuffers(1, &streamBuffer_);
  glGenSamplers(kMaxSamplers, samplers_);
  for (int unit = 0; unit < kMaxSamplers; ++unit) glBindSampler(static_cast<GLuint>(unit), samplers_[unit]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes a triangle's first vertex
  // Values of vertex inputs that the vertex layout does not feed.
  for (int location = 0; location < kLocationCount; ++location) glVertexAttrib4f(location, 0, 0, 0, 1);
  glVertexAttrib4f(kLocColor0, 1, 1, 1, 1);  // no diffuse: opaque white
  glVertexAttrib4f(kLocColor1, 0, 0, 0, 0);  // no specular: zero
  glVertexAttrib4f(kLocPointSize, 1, 0, 0, 1);

  setDefaultStates(parameters.EnableAutoDepthStencil != 0);
  for (int unit = 0; unit < kMaxSamplers; ++unit) {
    samplerDirty_[unit] = true;
    applySampler(unit);
  }
  applyVsync();

  direct3d_ = direct3d;
  direct3d_->AddRef();
  *actual = parameters;
  actual->BackBufferWidth = width;
  actual->BackBufferHeight = height;
  actual->BackBufferFormat = format;
  if (actual->BackBufferCount == 0) actual->BackBufferCount = 1;

  // The back buffer starts black, as a fresh swap chain does.
  glBindFramebuffer(GL_FRAMEBUFFER, backBuffer_.framebuffer);
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | (depthFormat ? GL_DEPTH_BUFFER_BIT : 0));
  invalidateGLState();
  return D3D_OK;
}

void Device::setDefaultStates(bool autoDepth) {
  DWORD* rs = renderStates_;
  std::fill(rs, rs + kRenderStateCount, 0u);
  rs[D3DRS_ZENABLE] = autoDepth ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGSTART] = floatBits(0.0f);
  rs[D3DRS_FOGEND] = floatBits(1.0f);
  rs[D3DRS_FOGDENSITY] = floatBits(1.0f);
  rs[kStencilFail] = rs[kStencilZFail] = rs[kStencilPass] = 1;  // D3DSTENCILOP_KEEP
  rs[kStencilFunc] = D3DCMP_ALWAYS;
  rs[kStencilRef] = 0;
  rs[kStencilMask] = rs[kStencilWriteMask] = 0xFFFFFFFFu;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = floatBits(1.0f);
  rs[D3DRS_POINTSIZE_MIN] = floatBits(1.0f);
  rs[D3DRS_POINTSCALE_A] = floatBits(1.0f);
  rs[D3DRS_POINTSCALE_B] = floatBits(0.0f);
  rs[D3DRS_POINTSCALE_C] = floatBits(0.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
  rs[kPatchEdgeStyle] = 0;
  // The documentation says 64, but Direct3D 9 starts the clamp at the
  // device's largest point size (what its caps report as MaxPointSize).
  rs[D3DRS_POINTSIZE_MAX] = floatBits(maxPointSize_);
  rs[kIndexedVertexBlend] = FALSE;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[kTweenFactor] = floatBits(0.0f);
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[kPositionDegree] = 3;  // D3DDEGREE_CUBIC
  rs[kNormalDegree] = 1;    // D3DDEGREE_LINEAR
  rs[kMinTessellation] = floatBits(1.0f);
  rs[kMaxTessellation] = floatBits(1.0f);
  rs[kAdaptiveX] = rs[kAdaptiveX + 1] = rs[kAdaptiveX + 3] = floatBits(0.0f);
  rs[kAdaptiveX + 2] = floatBits(1.0f);
  rs[kEnableAdaptive] = FALSE;
  rs[kCcwStencilFail] = rs[kCcwStencilFail + 1] = rs[kCcwStencilFail + 2] = 1;
  rs[kCcwStencilFunc] = D3DCMP_ALWAYS;
  rs[kColorWrite1] = rs[kColorWrite1 + 1] = rs[kColorWrite1 + 2] = 0xF;
  rs[kBlendFactor] = 0xFFFFFFFFu;
  for (int i = 0; i < 8; ++i) rs[kWrap8 + i] = 0;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;

  for (int stage = 0; stage < kMaxStages; ++stage) {
    DWORD* ts = stageStates_[stage];
    std::fill(ts, ts + kStageStateCount, 0u);
    ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(stage);
    ts[D3DTSS_TEXTURETRANSFORMFLAGS] = 0;  // D3DTTFF_DISABLE
    ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    ts[D3DTSS_CONSTANT] = 0;
    textureTransforms_[stage] = identity();
  }
  for (int sampler = 0; sampler < kMaxSamplers; ++sampler) {
    DWORD* ss = samplerStates_[sampler];
    std::fill(ss, ss + kSamplerStateCount, 0u);
    ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_BORDERCOLOR] = 0;
    ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MIPMAPLODBIAS] = 0;
    ss[D3DSAMP_MAXMIPLEVEL] = 0;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
  }
  world_ = view_ = projection_ = identity();
  viewport_ = {0, 0, backBuffer_.width, backBuffer_.height, 0.0f, 1.0f};
}

Device::~Device() {
  if (context_) context_->owner = nullptr;  // resources released from here on need no flushing
  if (context_ && context_->makeCurrent()) {
    releaseBindings();
    for (PendingRead& read : pendingReads_) {
      if (read.fence) glDeleteSync(read.fence);
      glDeleteBuffers(1, &read.buffer);
    }
    if (!freeReadBuffers_.empty())
      glDeleteBuffers(static_cast<GLsizei>(freeReadBuffers_.size()), freeReadBuffers_.data());
    programs_.release(gl());
    // Everything else dies with the context.
    context_->destroy();
  } else {
    releaseBindings();
  }
  if (direct3d_) direct3d_->Release();
}

void Device::releaseBindings() {
  for (IDirect3DBaseTexture9*& texture : textures_) {
    if (texture) texture->Release();
    texture = nullptr;
  }
  if (declaration_) declaration_->Release();
  if (vertexShader_) vertexShader_->Release();
  if (pixelShader_) pixelShader_->Release();
  if (stream_) stream_->Release();
  if (indices_) indices_->Release();
  holdTarget(nullptr);
  declaration_ = nullptr;
  vertexShader_ = nullptr;
  pixelShader_ = nullptr;
  stream_ = nullptr;
  indices_ = nullptr;
}

bool Device::makeCurrent() { return context_ && context_->makeCurrent(); }

void Device::applyVsync() {
  if (!makeCurrent()) return;
  // D3DPRESENT_INTERVAL_DEFAULT and _ONE wait for the vertical retrace.
  const int interval = vsyncEnabled() && parameters_.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE ? 1 : 0;
  if (interval == appliedSwapInterval_) return;
  SDL_GL_SetSwapInterval(interval);
  appliedSwapInterval_ = interval;
}

void Device::invalidateGLState() {
  gl().invalidate();
  rasterDirty_ = true;
  texturesDirty_ = true;
}

unsigned Device::takeGLErrors() {
  if (!makeCurrent()) return 0;
  unsigned count = 0;
  while (glGetError() != GL_NO_ERROR && count < 1000) ++count;
  return count;
}

// ---- scenes, clearing and presentation ------------------------------------------------

HRESULT Device::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  flush();
  inScene_ = false;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD) {
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  if ((flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0) return D3DERR_INVALIDCALL;
  if (count > 0 && !rects) return D3DERR_INVALIDCALL;
  flush();
  GLState& state = gl();
  state.bindFramebuffer(GL_DRAW_FRAMEBUFFER, target_.framebuffer);
  // Clear ignores the write masks and fills the viewport (or the given
  // rectangles within it), as Direct3D's does.
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    mask |= GL_COLOR_BUFFER_BIT;
    state.clearColor({((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                      ((color >> 24) & 0xFF) / 255.0f});
    state.colorMask(true, true, true, true);
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    mask |= GL_DEPTH_BUFFER_BIT;
    state.clearDepth(std::clamp(z, 0.0f, 1.0f));
    state.depthMask(true);
  }
  if (flags & D3DCLEAR_STENCIL) {
    mask |= GL_STENCIL_BUFFER_BIT;
    state.clearStencil(0);
    state.stencilMask(0xFF);
  }
  const LONG vx0 = static_cast<LONG>(viewport_.X), vy0 = static_cast<LONG>(viewport_.Y);
  const LONG vx1 = std::min<LONG>(vx0 + static_cast<LONG>(viewport_.Width), static_cast<LONG>(target_.width));
  const LONG vy1 = std::min<LONG>(vy0 + static_cast<LONG>(viewport_.Height), static_cast<LONG>(target_.height));
  auto clearRect = [&](LONG x0, LONG y0, LONG x1, LONG y1) {
    x0 = std::max(x0, vx0);
    y0 = std::max(y0, vy0);
    x1 = std::min(x1, vx1);
    y1 = std::min(y1, vy1);
    if (x1 <= x0 || y1 <= y0) return;
    const bool whole = x0 == 0 && y0 == 0 && x1 == static_cast<LONG>(target_.width) &&
                       y1 == static_cast<LONG>(target_.height);
    state.enable(GLState::ScissorTest, !whole);
    // Rows of the window's framebuffer count from the bottom.
    if (!whole) state.scissor(x0, target_.bottomUp ? static_cast<LONG>(target_.height) - y1 : y0, x1 - x0, y1 - y0);
    glClear(mask);
  };
  if (count == 0) {
    clearRect(vx0, vy0, vx1, vy1);
  } else {
    const LONG* r = static_cast<const LONG*>(rects);  // D3DRECT: x1, y1, x2, y2
    for (DWORD i = 0; i < count; ++i) clearRect(r[4 * i], r[4 * i + 1], r[4 * i + 2], r[4 * i + 3]);
  }
  state.enable(GLState::ScissorTest, false);  // draws never scissor
  rasterDirty_ = true;  // the draws' write masks
  return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const RGNDATA*) {
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  flush();
  applyVsync();
  // Drawn straight into the window: nothing to copy while it still fits.
  if (backBuffer_.bottomUp) {
    if (windowAreaFitsBackBuffer()) {
      SDL_GL_SwapWindow(context_->window);
      VornWin32_FramePresented();
      return D3D_OK;
    }
    if (!leaveWindowBackBuffer()) return D3DERR_OUTOFVIDEOMEMORY;
  }
  GLState& state = gl();
  state.enable(GLState::ScissorTest, false);
  state.colorMask(true, true, true, true);
  if (backBuffer_.resolveFrom) {
    state.bindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_.resolveFrom);
    state.bindFramebuffer(GL_DRAW_FRAMEBUFFER, backBuffer_.readFramebuffer);
    glBlitFramebuffer(0, 0, static_cast<GLint>(backBuffer_.width), static_cast<GLint>(backBuffer_.height), 0, 0,
                      static_cast<GLint>(backBuffer_.width), static_cast<GLint>(backBuffer_.height),
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  int drawableW = 0, drawableH = 0;
  SDL_GL_GetDrawableSize(context_->window, &drawableW, &drawableH);
  state.bindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_.readFramebuffer);
  state.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  // The window is bottom-up; the back buffer is top-down: flip while copying,
  // stretching to the client area as a windowed swap chain does (or, under
  // an emulated full-screen mode, to the display with black bars).
  const VornPresentArea area = VornWin32_PresentArea(window_, drawableW, drawableH);
  if (area.bars) {
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glClearBufferfv(GL_COLOR, 0, black);
  }
  const bool sameSize = area.width == static_cast<int>(backBuffer_.width) &&
                        area.height == static_cast<int>(backBuffer_.height);
  glBlitFramebuffer(0, 0, static_cast<GLint>(backBuffer_.width), static_cast<GLint>(backBuffer_.height), area.x,
                    drawableH - area.y, area.x + area.width, drawableH - area.y - area.height, GL_COLOR_BUFFER_BIT,
                    sameSize ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(context_->window);
  rasterDirty_ = true;  // the draws' write mask
  VornWin32_FramePresented();
  return D3D_OK;
}

void Device::setRenderTarget(const RenderTarget& target) {
  flush();
  target_ = target;
  viewport_ = {0, 0, target.width, target.height, 0.0f, 1.0f};
  stateChanged();
  rasterDirty_ = true;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
  if (!surface || index != 0) return D3DERR_INVALIDCALL;
  if (!target_.surface) return D3DERR_NOTAVAILABLE;
  target_.surface->AddRef();
  *surface = target_.surface;
  return D3D_OK;
}

// ---- transforms and viewport ----------------------------------------------------------

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  D3DMATRIX* slot = nullptr;
  if (state == D3DTS_WORLD) slot = &world_;
  else if (state == D3DTS_VIEW) slot = &view_;
  else if (state == D3DTS_PROJECTION) slot = &projection_;
  else if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kMaxStages) slot = &textureTransforms_[state - D3DTS_TEXTURE0];
  else if (state > D3DTS_WORLD && state < D3DTS_WORLD + 256) return D3D_OK;  // other world matrices: no blending
  else return D3DERR_INVALIDCALL;
  if (sameMatrix(*slot, *matrix)) return D3D_OK;
  flush();
  *slot = *matrix;
  if (state == D3DTS_PROJECTION) programChanged();  // table fog picks z or w from its shape
  stateChanged();
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  if (state == D3DTS_WORLD) *matrix = world_;
  else if (state == D3DTS_VIEW) *matrix = view_;
  else if (state == D3DTS_PROJECTION) *matrix = projection_;
  else if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kMaxStages) *matrix = textureTransforms_[state - D3DTS_TEXTURE0];
  else if (state > D3DTS_WORLD && state < D3DTS_WORLD + 256) *matrix = identity();
  else return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  // As Direct3D: the rectangle must lie within the render target.
  if (viewport->Width == 0 || viewport->Height == 0 ||
      static_cast<std::uint64_t>(viewport->X) + viewport->Width > target_.width ||
      static_cast<std::uint64_t>(viewport->Y) + viewport->Height > target_.height)
    return D3DERR_INVALIDCALL;
  if (std::memcmp(viewport, &viewport_, sizeof viewport_) == 0) return D3D_OK;
  flush();
  viewport_ = *viewport;
  stateChanged();
  rasterDirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = viewport_;
  return D3D_OK;
}

// ---- states ---------------------------------------------------------------------------------

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
  if (renderStates_[state] == value) return D3D_OK;
  flush();
  renderStates_[state] = value;
  switch (state) {
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAFUNC:
    case D3DRS_FOGENABLE:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_RANGEFOGENABLE:
    case D3DRS_SPECULARENABLE:
    case D3DRS_POINTSPRITEENABLE:
    case D3DRS_POINTSCALEENABLE:
    case D3DRS_SHADEMODE:
      programChanged();
      break;
    default:
      break;
  }
  stateChanged();
  rasterDirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (!value || state >= kRenderStateCount) return D3DERR_INVALIDCALL;
  *value = renderStates_[state];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (sampler >= kMaxSamplers || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
  if (samplerStates_[sampler][type] == value) return D3D_OK;
  flush();
  samplerStates_[sampler][type] = value;
  samplerDirty_[sampler] = true;
  texturesDirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (!value || sampler >= kMaxSamplers || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
  *value = samplerStates_[sampler][type];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kMaxStages || type >= kStageStateCount) return D3DERR_INVALIDCALL;
  if (stageStates_[stage][type] == value) return D3D_OK;
  flush();
  stageStates_[stage][type] = value;
  if (type == D3DTSS_CONSTANT) stateChanged();
  else programChanged();
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (!value || stage >= kMaxStages || type >= kStageStateCount) return D3DERR_INVALIDCALL;
  *value = stageStates_[stage][type];
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  if (stage >= kMaxSamplers) return D3DERR_INVALIDCALL;
  if (textures_[stage] == texture) return D3D_OK;
  flush();
  // The kind of texture on a stage (none, 2D, cube) changes the generated code.
  BaseTextureImpl* before = textureImpl(textures_[stage]);
  BaseTextureImpl* after = textureImpl(texture);
  const GLenum oldTarget = before ? before->target() : 0, newTarget = after ? after->target() : 0;
  if (oldTarget != newTarget) programChanged();
  if (texture) texture->AddRef();
  if (textures_[stage]) textures_[stage]->Release();
  textures_[stage] = texture;
  texturesDirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
  if (!texture || stage >= kMaxSamplers) return D3DERR_INVALIDCALL;
  *texture = textures_[stage];
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

void Device::stateChanged() { ++stateGeneration_; }

void Device::programChanged() {
  programDirty_ = true;
  ++stateGeneration_;
}

// ---- resources ----------------------------------------------------------------------------

namespace {
UINT fullChain(UINT width, UINT height) {
  UINT levels = 1;
  while ((width >> levels) > 0 || (height >> levels) > 0) ++levels;
  return levels;
}
}  // namespace

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture, HANDLE*) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  FormatInfo info;
  GLint maxSize = 0;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width == 0 || height == 0 || width > static_cast<UINT>(maxSize) || height > static_cast<UINT>(maxSize))
    return D3DERR_INVALIDCALL;
  if (!formatInfo(format, &info)) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  const UINT chain = fullChain(width, height);
  if (levels == 0 || levels > chain) levels = chain;  // 0 asks for the whole chain
  auto* created = new Texture2D(this, width, height, levels, usage, format, pool);
  if (!created->valid()) {
    created->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *texture = created;
  return D3D_OK;
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DCubeTexture9** texture, HANDLE*) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  FormatInfo info;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &maxSize);
  if (edgeLength == 0 || edgeLength > static_cast<UINT>(maxSize) || !formatInfo(format, &info))
    return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  const UINT chain = fullChain(edgeLength, edgeLength);
  if (levels == 0 || levels > chain) levels = chain;
  auto* created = new CubeTexture(this, edgeLength, levels, usage, format, pool);
  if (!created->valid()) {
    created->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *texture = created;
  return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** buffer, HANDLE*) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || !makeCurrent()) return D3DERR_INVALIDCALL;
  auto* created = new VertexBuffer(this, length);
  if (!created->valid()) {
    created->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *buffer = created;
  return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD, D3DFORMAT format, D3DPOOL, IDirect3DIndexBuffer9** buffer,
                                  HANDLE*) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) || !makeCurrent())
    return D3DERR_INVALIDCALL;
  auto* created = new IndexBuffer(this, length, format);
  if (!created->valid()) {
    created->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *buffer = created;
  return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration) {
  if (!declaration) return D3DERR_INVALIDCALL;
  *declaration = nullptr;
  VertexLayout layout;
  if (!elements || !layoutFromDeclaration(elements, &layout)) return D3DERR_INVALIDCALL;
  std::vector<D3DVERTEXELEMENT9> copy;
  for (int i = 0; i < MAXD3DDECLLENGTH; ++i) {
    copy.push_back(elements[i]);
    if (elements[i].Stream == 0xFF) break;
  }
  *declaration = new VertexDeclaration(std::move(copy), std::move(layout));
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  if (fvf == fvf_ && !declaration_) return D3D_OK;
  flush();
  fvf_ = fvf;
  if (declaration_) declaration_->Release();
  declaration_ = nullptr;
  layoutChanged();
  programChanged();
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
  if (!fvf) return D3DERR_INVALIDCALL;
  *fvf = declaration_ ? 0 : fvf_;
  return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
  auto* impl = static_cast<VertexDeclaration*>(declaration);
  if (impl == declaration_) return D3D_OK;
  flush();
  if (impl) impl->AddRef();
  if (declaration_) declaration_->Release();
  declaration_ = impl;
  if (impl) fvf_ = 0;
  layoutChanged();
  programChanged();
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
  if (stream != 0) return stream < 16 ? D3D_OK : D3DERR_INVALIDCALL;  // only stream 0 is fed
  auto* impl = static_cast<VertexBuffer*>(buffer);
  flush();
  if (impl) impl->AddRef();
  if (stream_) stream_->Release();
  stream_ = impl;
  streamOffset_ = offset;
  streamStride_ = stride;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indices) {
  auto* impl = static_cast<IndexBuffer*>(indices);
  if (impl == indices_) return D3D_OK;
  flush();
  if (impl) impl->AddRef();
  if (indices_) indices_->Release();
  indices_ = impl;
  return D3D_OK;
}

// ---- shaders ----------------------------------------------------------------------------

namespace {
// The bytecode of D3DXCompileShader carries the program to draw with.
bool decodeShader(const DWORD* function, hlsl::Program* program) {
  return hlsl::programFromBytecode(function, SIZE_MAX, program);
}
}  // namespace

HRESULT Device::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) {
  if (!shader) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  hlsl::Program program;
  if (!function || !decodeShader(function, &program) || program.stage != hlsl::Stage::Vertex)
    return D3DERR_INVALIDCALL;
  *shader = new VertexShader(std::move(program), context_);
  return D3D_OK;
}

HRESULT Device::CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) {
  if (!shader) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  hlsl::Program program;
  if (!function || !decodeShader(function, &program) || program.stage != hlsl::Stage::Pixel)
    return D3DERR_INVALIDCALL;
  *shader = new PixelShader(std::move(program), context_);
  return D3D_OK;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader) {
  auto* impl = static_cast<VertexShader*>(shader);
  if (impl == vertexShader_) return D3D_OK;
  flush();
  if (impl) impl->AddRef();
  if (vertexShader_) vertexShader_->Release();
  vertexShader_ = impl;
  programChanged();
  return D3D_OK;
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader) {
  auto* impl = static_cast<PixelShader*>(shader);
  if (impl == pixelShader_) return D3D_OK;
  flush();
  if (impl) impl->AddRef();
  if (pixelShader_) pixelShader_->Release();
  pixelShader_ = impl;
  programChanged();
  return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT startRegister, const float* data, UINT count) {
  if (!data || startRegister > kVertexRegisters || count > kVertexRegisters - startRegister)
    return D3DERR_INVALIDCALL;
  if (count == 0 || std::memcmp(vertexConstants_[startRegister], data, count * 4 * sizeof(float)) == 0)
    return D3D_OK;
  flush();
  std::memcpy(vertexConstants_[startRegister], data, count * 4 * sizeof(float));
  ++vertexConstantGeneration_;
  return D3D_OK;
}

HRESULT Device::SetPixelShaderConstantF(UINT startRegister, const float* data, UINT count) {
  if (!data || startRegister > kPixelRegisters || count > kPixelRegisters - startRegister)
    return D3DERR_INVALIDCALL;
  if (count == 0 || std::memcmp(pixelConstants_[startRegister], data, count * 4 * sizeof(float)) == 0)
    return D3D_OK;
  flush();
  std::memcpy(pixelConstants_[startRegister], data, count * 4 * sizeof(float));
  ++pixelConstantGeneration_;
  return D3D_OK;
}

void Device::forgetShader(std::uint64_t shaderId) {
  if (!makeCurrent()) return;
  flush();
  programs_.forgetShader(shaderId, gl());
  program_ = nullptr;
  programDirty_ = true;
}

}  // namespace vorn::d3d

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION) return nullptr;
  return new vorn::d3d::Direct3D();
}
