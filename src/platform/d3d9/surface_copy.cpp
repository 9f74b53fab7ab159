// Surfaces and the copies between them, with Direct3D 9's rules: the back
// buffer, render-target surfaces, off-screen plain surfaces in system memory,
// StretchRect between render targets and GetRenderTargetData from a
// render target into system memory. Frames are read back through these, on
// this build as on Windows.
#include <cstring>

#include "platform/d3d9/device.h"
#include "platform/d3d9/offscreen_surface.h"

namespace vorn::d3d {

namespace {

bool plainFormat(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

// The device's render-target surface behind an interface pointer, or null.
Surface* renderTargetSurface(Device* device, IDirect3DSurface9* surface, D3DSURFACE_DESC* desc) {
  auto* impl = dynamic_cast<Surface*>(surface);
  if (!impl || impl->device() != device || FAILED(impl->GetDesc(desc))) return nullptr;
  return (desc->Usage & D3DUSAGE_RENDERTARGET) ? impl : nullptr;
}

bool validRect(const RECT* rect, UINT width, UINT height) {
  return !rect || (rect->left >= 0 && rect->top >= 0 && rect->left < rect->right && rect->top < rect->bottom &&
                   rect->right <= static_cast<LONG>(width) && rect->bottom <= static_cast<LONG>(height));
}

}  // namespace

// ---- off-screen plain surfaces ---------------------------------------------------

OffscreenSurface::OffscreenSurface(Device* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool)
    : device_(device),
      context_(device->context()),
      width_(width),
      height_(height),
      format_(format),
      pool_(pool),
      pixels_(static_cast<std::size_t>(width) * height * 4, 0) {}

OffscreenSurface::~OffscreenSurface() {
  if (!context_->makeCurrent()) return;  // the context took its objects with it
  if (fence_) glDeleteSync(fence_);
  if (pixelBuffer_) glDeleteBuffers(1, &pixelBuffer_);
}

HRESULT OffscreenSurface::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *device = device_;
  return D3D_OK;
}

HRESULT OffscreenSurface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = D3DSURFACE_DESC{};
  desc->Format = format_;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Pool = pool_;
  desc->Width = width_;
  desc->Height = height_;
  return D3D_OK;
}

void OffscreenSurface::queueRead(GLuint source, bool bottomUp) {
  bottomUp_ = bottomUp;
  const auto bytes = static_cast<GLsizeiptr>(pixels_.size());
  if (!pixelBuffer_) glGenBuffers(1, &pixelBuffer_);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, pixelBuffer_);
  glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
  device_->gl().bindFramebuffer(GL_READ_FRAMEBUFFER, source);
  // GL_BGRA gives Direct3D's byte order; a target without alpha reads 255.
  glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_BGRA, GL_UNSIGNED_BYTE,
               nullptr);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (fence_) glDeleteSync(fence_);
  fence_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  glFlush();
  readPending_ = true;
}

void OffscreenSurface::finishRead() {
  if (!readPending_ || !context_->makeCurrent()) return;
  readPending_ = false;
  if (fence_) {
    while (glClientWaitSync(fence_, GL_SYNC_FLUSH_COMMANDS_BIT, 100000000) == GL_TIMEOUT_EXPIRED) {
    }
    glDeleteSync(fence_);
    fence_ = nullptr;
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, pixelBuffer_);
  const auto bytes = static_cast<GLsizeiptr>(pixels_.size());
  if (const void* mapped = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, bytes, GL_MAP_READ_BIT)) {
    std::memcpy(pixels_.data(), mapped, pixels_.size());
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    if (bottomUp_) flipRows(pixels_.data(), static_cast<int>(width_), static_cast<int>(height_), 4);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

HRESULT OffscreenSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD) {
  if (!locked || locked_ || !validRect(rect, width_, height_)) return D3DERR_INVALIDCALL;
  finishRead();
  const std::size_t pitch = static_cast<std::size_t>(width_) * 4;
  std::size_t offset = 0;
  if (rect) offset = static_cast<std::size_t>(rect->top) * pitch + static_cast<std::size_t>(rect->left) * 4;
  locked->Pitch = static_cast<INT>(pitch);
  locked->pBits = pixels_.data() + offset;
  locked_ = true;
  return D3D_OK;
}

HRESULT OffscreenSurface::UnlockRect() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

// ---- texture and back-buffer surfaces ---------------------------------------------

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!texture_) return D3DERR_INVALIDCALL;  // the back buffer is not lockable
  return texture_->lock(face_, level_, locked, rect, flags);
}

HRESULT Surface::UnlockRect() {
  if (!texture_) return D3DERR_INVALIDCALL;
  return texture_->unlock(face_, level_);
}

// ---- device -------------------------------------------------------------------------

HRESULT Device::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (swapChain != 0 || backBuffer != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
  backBufferSurface_->AddRef();
  *surface = backBufferSurface_.get();
  return D3D_OK;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                   DWORD, BOOL lockable, IDirect3DSurface9** surface, HANDLE*) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  // Multisampled and lockable render targets are not part of this stand-in.
  if (multiSample != D3DMULTISAMPLE_NONE || lockable) return D3DERR_NOTAVAILABLE;
  // The surface of a one-level render-target texture that only the surface
  // holds: releasing the surface frees the texture.
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &texture, nullptr);
  if (FAILED(hr)) return hr;
  hr = texture->GetSurfaceLevel(0, surface);
  texture->Release();
  return hr;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE*) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return D3DERR_INVALIDCALL;
  if (!plainFormat(format)) return D3DERR_NOTAVAILABLE;
  if (pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  *surface = new OffscreenSurface(this, width, height, format, pool);
  return D3D_OK;
}

HRESULT Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                            const RECT* destRect, D3DTEXTUREFILTERTYPE filter) {
  D3DSURFACE_DESC from{}, to{};
  Surface* src = renderTargetSurface(this, source, &from);
  Surface* dst = renderTargetSurface(this, dest, &to);
  if (!src || !dst || src == dst || to.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (!validRect(sourceRect, from.Width, from.Height) || !validRect(destRect, to.Width, to.Height))
    return D3DERR_INVALIDCALL;
  const RECT whole[2] = {{0, 0, static_cast<LONG>(from.Width), static_cast<LONG>(from.Height)},
                         {0, 0, static_cast<LONG>(to.Width), static_cast<LONG>(to.Height)}};
  const RECT& s = sourceRect ? *sourceRect : whole[0];
  const RECT& d = destRect ? *destRect : whole[1];
  // A multisampled source is resolved on the way, which takes equal sizes.
  if (from.MultiSampleType != D3DMULTISAMPLE_NONE &&
      (s.right - s.left != d.right - d.left || s.bottom - s.top != d.bottom - d.top))
    return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  flush();
  const SurfaceFramebuffer read = framebufferOf(src), draw = framebufferOf(dst);
  if (!read.ok || !draw.ok) return D3DERR_INVALIDCALL;
  GLState& state = gl();
  state.bindFramebuffer(GL_READ_FRAMEBUFFER, read.name);
  state.bindFramebuffer(GL_DRAW_FRAMEBUFFER, draw.name);
  state.enable(GLState::ScissorTest, false);
  state.colorMask(true, true, true, true);
  // Rows in Direct3D's order, except the window's framebuffer's: counted
  // from its bottom, which turns a copy between the two upside down.
  const auto row = [](const SurfaceFramebuffer& f, LONG y, UINT height) {
    return f.bottomUp ? static_cast<GLint>(height) - y : y;
  };
  glBlitFramebuffer(s.left, row(read, s.top, from.Height), s.right, row(read, s.bottom, from.Height), d.left,
                    row(draw, d.top, to.Height), d.right, row(draw, d.bottom, to.Height), GL_COLOR_BUFFER_BIT,
                    filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  rasterDirty_ = true;  // the draws' write mask
  return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) {
  D3DSURFACE_DESC from{};
  Surface* src = renderTargetSurface(this, renderTarget, &from);
  auto* dst = dynamic_cast<OffscreenSurface*>(destSurface);
  // As in Direct3D: a single-sampled render target into a system-memory
  // surface of the same size and format.
  if (!src || !dst || dst->pool() != D3DPOOL_SYSTEMMEM || dst->locked() || from.MultiSampleType != D3DMULTISAMPLE_NONE ||
      from.Width != dst->width() || from.Height != dst->height() || from.Format != dst->format())
    return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  flush();
  const SurfaceFramebuffer read = framebufferOf(src);
  if (!read.ok) return D3DERR_INVALIDCALL;
  dst->queueRead(read.name, read.bottomUp);
  return D3D_OK;
}

}  // namespace vorn::d3d
