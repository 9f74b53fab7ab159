// ID3DXRenderToSurface over the public Direct3D 9 interface: BeginScene puts
// the surface and a depth buffer of its own on the device, EndScene puts back
// the render target, depth buffer and viewport that were current before.
//
// As on the OpenGL build, the target switches whether or not the caller
// already has a device scene open. The device scene is opened here only when
// none was open, and closed again only then, so that the caller's scene state
// is the same after EndScene as before BeginScene.
#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/d3dx_interfaces.h"

namespace {

constexpr DWORD kFilterNone = 1;  // D3DX_FILTER_NONE

template <class T>
void release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

class RenderToSurface final : public vorn::d3dx::RenderToSurfaceMethods {
 public:
  RenderToSurface(IDirect3DDevice9* device, const D3DXRTS_DESC& desc) : device_(device), desc_(desc) {
    device_->AddRef();
  }

  HRESULT initialise() {
    if (!desc_.DepthStencil) return D3D_OK;
    return device_->CreateDepthStencilSurface(desc_.Width, desc_.Height, desc_.DepthStencilFormat,
                                              D3DMULTISAMPLE_NONE, 0, TRUE, &depth_, nullptr);
  }

  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDesc(D3DXRTS_DESC* desc) override {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) override {
    if (!surface || active_) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC sd{};
    if (FAILED(surface->GetDesc(&sd)) || !(sd.Usage & D3DUSAGE_RENDERTARGET) || sd.Width != desc_.Width ||
        sd.Height != desc_.Height)
      return D3DERR_INVALIDCALL;
    if (FAILED(device_->GetRenderTarget(0, &savedTarget_))) return D3DERR_INVALIDCALL;
    if (FAILED(device_->GetDepthStencilSurface(&savedDepth_))) savedDepth_ = nullptr;  // none set
    device_->GetViewport(&savedViewport_);
    if (FAILED(device_->SetRenderTarget(0, surface))) {
      restore();
      return D3DERR_INVALIDCALL;
    }
    device_->SetDepthStencilSurface(depth_);
    if (viewport) device_->SetViewport(viewport);
    openedScene_ = SUCCEEDED(device_->BeginScene());
    surface->AddRef();
    surface_ = surface;
    active_ = true;
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE EndScene(DWORD mipFilter) override {
    if (!active_) return D3DERR_INVALIDCALL;
    if (openedScene_) device_->EndScene();
    openedScene_ = false;
    if (mipFilter != kFilterNone) filterLevels();
    restore();
    release(surface_);
    active_ = false;
    return D3D_OK;
  }

 private:
  ~RenderToSurface() override {
    if (active_) EndScene(kFilterNone);
    release(depth_);
    device_->Release();
  }

  void restore() {
    if (savedTarget_) device_->SetRenderTarget(0, savedTarget_);
    device_->SetDepthStencilSurface(savedDepth_);
    device_->SetViewport(&savedViewport_);
    release(savedTarget_);
    release(savedDepth_);
  }

  // Fills the lower levels of the surface's texture (if it has any) from
  // level 0, each from the one above with a linear filter.
  void filterLevels() {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(surface_->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&texture))) || !texture)
      return;
    for (DWORD level = 1; level < texture->GetLevelCount(); ++level) {
      IDirect3DSurface9* above = nullptr;
      IDirect3DSurface9* below = nullptr;
      if (SUCCEEDED(texture->GetSurfaceLevel(level - 1, &above)) &&
          SUCCEEDED(texture->GetSurfaceLevel(level, &below)))
        device_->StretchRect(above, nullptr, below, nullptr, D3DTEXF_LINEAR);
      release(above);
      release(below);
    }
    texture->Release();
  }

  IDirect3DDevice9* device_;
  D3DXRTS_DESC desc_;
  IDirect3DSurface9* depth_ = nullptr;
  IDirect3DSurface9* surface_ = nullptr;
  IDirect3DSurface9* savedTarget_ = nullptr;
  IDirect3DSurface9* savedDepth_ = nullptr;
  D3DVIEWPORT9 savedViewport_{};
  bool active_ = false;
  bool openedScene_ = false;
};

}  // namespace

HRESULT WINAPI D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                         BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                         ID3DXRenderToSurface** renderToSurface) {
  if (!device || !renderToSurface) return D3DERR_INVALIDCALL;
  *renderToSurface = nullptr;
  if (width == 0 || height == 0) return D3DERR_INVALIDCALL;
  D3DXRTS_DESC desc{width, height, format, depthStencil, depthStencilFormat};
  auto* created = new RenderToSurface(device, desc);
  HRESULT hr = created->initialise();
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *renderToSurface = created;
  return D3D_OK;
}
