// A plain off-screen surface in system memory (CreateOffscreenPlainSurface),
// the destination of GetRenderTargetData.
//
// As on a real driver, the copy is queued: GetRenderTargetData starts an
// asynchronous read of the target into a pixel buffer object with a fence,
// and LockRect waits for it. A caller that locks a frame or two later (a
// ring of surfaces) never stalls the renderer.
#pragma once

#include <vector>

#include "platform/d3d9/com_object.h"
#include "platform/d3d9/gl_context.h"

namespace vorn::d3d {

class Device;

class OffscreenSurface final : public ComObject<IDirect3DSurface9> {
 public:
  OffscreenSurface(Device* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool);

  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  UINT width() const { return width_; }
  UINT height() const { return height_; }
  D3DFORMAT format() const { return format_; }
  D3DPOOL pool() const { return pool_; }
  bool locked() const { return locked_; }
  // Starts reading the framebuffer `source` (the size of this surface, in
  // Direct3D's row order unless bottom-up) into this surface; the pixels
  // arrive by the next lock.
  void queueRead(GLuint source, bool bottomUp);

 private:
  ~OffscreenSurface() override;
  // Waits for a queued read and copies it into memory.
  void finishRead();

  Device* device_;
  ContextRef context_;
  UINT width_, height_;
  D3DFORMAT format_;
  D3DPOOL pool_;
  std::vector<std::uint8_t> pixels_;  // B, G, R, A rows, top first
  GLuint pixelBuffer_ = 0;
  GLsync fence_ = nullptr;
  bool readPending_ = false;
  bool bottomUp_ = false;
  bool locked_ = false;
};

}  // namespace vorn::d3d
