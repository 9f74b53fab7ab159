// SetRenderTarget: drawing into a level of a render-target texture (or back
// into the back buffer). Each texture surface drawn into or copied from gets
// a framebuffer object of its own, kept until the texture goes; it shares
// the back buffer's depth buffer, as Direct3D keeps the depth-stencil
// surface across a change of render target.
#include "platform/d3d9/device.h"

namespace vorn::d3d {

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
  if (index != 0 || !surface) return D3DERR_INVALIDCALL;  // target 0 cannot be unset
  auto* impl = static_cast<Surface*>(surface);
  if (impl->device() != this) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  BaseTextureImpl* texture = impl->texture();
  if (!texture) {  // the back buffer
    setRenderTarget(backBuffer_);
    holdTarget(nullptr);
    return D3D_OK;
  }
  if (!(texture->usage() & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
  const SurfaceFramebuffer framebuffer = framebufferOf(impl);
  if (!framebuffer.ok) return D3DERR_INVALIDCALL;
  RenderTarget drawn;
  drawn.framebuffer = drawn.readFramebuffer = framebuffer.name;
  drawn.width = texture->levelWidth(impl->level());
  drawn.height = texture->levelHeight(impl->level());
  drawn.surface = impl;
  setRenderTarget(drawn);
  holdTarget(surface);
  return D3D_OK;
}

Device::SurfaceFramebuffer Device::framebufferOf(Surface* surface) {
  BaseTextureImpl* texture = surface->texture();
  if (!texture) return {true, backBuffer_.framebuffer, backBuffer_.bottomUp};
  if (!texture->valid()) return {};
  const SurfaceKey key{texture->id(), surface->level(), surface->face()};
  auto found = surfaceFramebuffers_.find(key);
  if (found != surfaceFramebuffers_.end()) return {true, found->second, false};
  flush();
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  gl().bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  const GLenum target =
      texture->target() == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + surface->face() : GL_TEXTURE_2D;
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, texture->name(),
                         static_cast<GLint>(surface->level()));
  // A multisampled depth buffer cannot go with a texture: such targets draw without depth.
  if (backDepth_) {
    const GLenum point =
        parameters_.AutoDepthStencilFormat == D3DFMT_D24S8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, point, GL_RENDERBUFFER, backDepth_);
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    glDeleteFramebuffers(1, &framebuffer);
    gl().framebufferDeleted(framebuffer);
    return {};
  }
  surfaceFramebuffers_[key] = framebuffer;
  return {true, framebuffer, false};
}

// The device keeps a reference to the texture it draws into, as Direct3D
// does, so the texture outlives its use as a target.
void Device::holdTarget(IDirect3DSurface9* surface) {
  if (surface) surface->AddRef();
  if (heldTarget_) heldTarget_->Release();
  heldTarget_ = surface;
}

void Device::forgetTexture(std::uint64_t textureId) {
  for (auto it = surfaceFramebuffers_.begin(); it != surfaceFramebuffers_.end();) {
    if (it->first.texture != textureId) {
      ++it;
      continue;
    }
    glDeleteFramebuffers(1, &it->second);
    gl().framebufferDeleted(it->second);
    it = surfaceFramebuffers_.erase(it);
  }
}

}  // namespace vorn::d3d
