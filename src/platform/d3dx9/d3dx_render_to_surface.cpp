// ID3DXRenderToSurface: drawing into a texture level through a framebuffer
// object with a depth buffer of its own; EndScene puts back the target and
// viewport that were current at BeginScene.
//
// BeginScene switches the target whether or not a device scene was already
// open (the device scene it opens is a formality here: drawing never depends
// on it), so callers that keep a scene open across targets still draw where
// they mean to.
#include "platform/d3d9/device.h"
#include "platform/d3dx9/d3dx9.h"

namespace {

using vorn::d3d::Device;

class RenderToSurface final : public vorn::d3d::ComObject<ID3DXRenderToSurface> {
 public:
  RenderToSurface(Device* device, const D3DXRTS_DESC& desc) : device_(device), desc_(desc) { device_->AddRef(); }

  bool initialise() {
    if (!device_->makeCurrent()) return false;
    if (desc_.DepthStencil) {
      GLenum format = desc_.DepthStencilFormat == D3DFMT_D24S8 ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16;
      if (desc_.DepthStencilFormat != D3DFMT_D16 && desc_.DepthStencilFormat != D3DFMT_D24S8) return false;
      glGenRenderbuffers(1, &depth_);
      glBindRenderbuffer(GL_RENDERBUFFER, depth_);
      glRenderbufferStorage(GL_RENDERBUFFER, format, static_cast<GLsizei>(desc_.Width),
                            static_cast<GLsizei>(desc_.Height));
      glBindRenderbuffer(GL_RENDERBUFFER, 0);
      depthAttachment_ = format == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    }
    glGenFramebuffers(1, &framebuffer_);
    return true;
  }

  HRESULT GetDesc(D3DXRTS_DESC* desc) override {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
  }

  HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) override {
    auto* impl = static_cast<vorn::d3d::Surface*>(surface);
    if (!impl || active_ || !impl->texture() || impl->device() != device_) return D3DERR_INVALIDCALL;
    vorn::d3d::BaseTextureImpl* texture = impl->texture();
    D3DSURFACE_DESC sd{};
    impl->GetDesc(&sd);
    if (!(texture->usage() & D3DUSAGE_RENDERTARGET) || sd.Width != desc_.Width || sd.Height != desc_.Height)
      return D3DERR_INVALIDCALL;
    if (!device_->makeCurrent()) return D3DERR_INVALIDCALL;
    device_->flush();
    if (attachedTexture_ != texture->id() || attachedLevel_ != impl->level() || attachedFace_ != impl->face()) {
      device_->gl().bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
      const GLenum target =
          texture->target() == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + impl->face() : GL_TEXTURE_2D;
      glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, texture->name(),
                             static_cast<GLint>(impl->level()));
      if (depth_) glFramebufferRenderbuffer(GL_FRAMEBUFFER, depthAttachment_, GL_RENDERBUFFER, depth_);
      const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
      if (!complete) {
        attachedTexture_ = 0;
        return D3DERR_INVALIDCALL;
      }
      attachedTexture_ = texture->id();
      attachedLevel_ = impl->level();
      attachedFace_ = impl->face();
    }
    saved_ = device_->renderTarget();
    device_->GetViewport(&savedViewport_);
    vorn::d3d::RenderTarget target;
    target.framebuffer = framebuffer_;
    target.readFramebuffer = framebuffer_;
    target.width = sd.Width;
    target.height = sd.Height;
    target.surface = surface;
    device_->setRenderTarget(target);
    if (viewport) device_->SetViewport(viewport);
    device_->BeginScene();  // may already be open; drawing does not depend on it
    active_ = true;
    texture_ = texture;
    return D3D_OK;
  }

  HRESULT EndScene(DWORD mipFilter) override {
    if (!active_) return D3DERR_INVALIDCALL;
    device_->EndScene();
    device_->flush();
    if (texture_->levels() > 1 && mipFilter != 1 /* D3DX_FILTER_NONE */ && device_->makeCurrent()) {
      device_->gl().bindTexture(31, texture_->target(), texture_->name());
      glGenerateMipmap(texture_->target());
      device_->gl().bindTexture(31, texture_->target(), 0);
    }
    device_->setRenderTarget(saved_);
    device_->SetViewport(&savedViewport_);
    active_ = false;
    texture_ = nullptr;
    return D3D_OK;
  }

 private:
  ~RenderToSurface() override {
    if (active_) EndScene(1);
    if (device_->makeCurrent()) {
      if (framebuffer_) {
        glDeleteFramebuffers(1, &framebuffer_);
        device_->gl().framebufferDeleted(framebuffer_);
      }
      if (depth_) glDeleteRenderbuffers(1, &depth_);
    }
    device_->Release();
  }

  Device* device_;
  D3DXRTS_DESC desc_;
  GLuint framebuffer_ = 0;
  GLuint depth_ = 0;
  GLenum depthAttachment_ = GL_DEPTH_ATTACHMENT;
  std::uint64_t attachedTexture_ = 0;
  UINT attachedLevel_ = 0, attachedFace_ = 0;
  bool active_ = false;
  vorn::d3d::BaseTextureImpl* texture_ = nullptr;
  vorn::d3d::RenderTarget saved_;
  D3DVIEWPORT9 savedViewport_{};
};

}  // namespace

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface) {
  if (!device || !renderToSurface) return D3DERR_INVALIDCALL;
  *renderToSurface = nullptr;
  if (width == 0 || height == 0) return D3DERR_INVALIDCALL;
  D3DXRTS_DESC desc{width, height, format, depthStencil, depthStencilFormat};
  auto* created = new RenderToSurface(vorn::d3d::deviceImpl(device), desc);
  if (!created->initialise()) {
    created->Release();
    return D3DERR_INVALIDCALL;
  }
  *renderToSurface = created;
  return D3D_OK;
}
