#include "platform/d3d9/resources.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/d3d9/device.h"

namespace vorn::d3d {

namespace {
GLContext* gCurrent = nullptr;
// Resources bind their textures on a unit the device never draws with.
constexpr int kScratchUnit = 31;

void flushOwner(const ContextRef& context) {
  if (context && context->alive && context->owner) context->owner->flush();
}
}  // namespace

std::uint64_t nextObjectId() {
  static std::atomic<std::uint64_t> next{1};
  return next++;
}

bool GLContext::makeCurrent() {
  if (!alive) return false;
  // Only this layer makes contexts current (and makes each one current
  // through here right after creating it), so the record is the truth.
  if (gCurrent == this) return true;
  if (SDL_GL_MakeCurrent(window, context) != 0) return false;
  gCurrent = this;
  return true;
}

void GLContext::destroy() {
  if (!alive) return;
  if (gCurrent == this) {
    SDL_GL_MakeCurrent(window, nullptr);
    gCurrent = nullptr;
  }
  SDL_GL_DeleteContext(context);
  context = nullptr;
  alive = false;
  owner = nullptr;
}

GLContext* currentContext() { return gCurrent; }

// ---- surfaces ----------------------------------------------------------------

Surface::Surface(IUnknown* container, BaseTextureImpl* texture, UINT level, UINT face, Device* device)
    : container_(container), texture_(texture), level_(level), face_(face), device_(device) {}

HRESULT Surface::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *device = device_;
  return D3D_OK;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  if (texture_) {
    texture_->fillDesc(level_, desc);
    desc->Type = D3DRTYPE_SURFACE;
    return D3D_OK;
  }
  // The back buffer.
  const RenderTarget& back = device_->backBufferTarget();
  *desc = D3DSURFACE_DESC{};
  desc->Format = device_->backBufferFormat();
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = D3DUSAGE_RENDERTARGET;
  desc->Pool = D3DPOOL_DEFAULT;
  desc->MultiSampleType = device_->backBufferSamples();
  desc->Width = back.width;
  desc->Height = back.height;
  return D3D_OK;
}

// ---- textures ----------------------------------------------------------------

BaseTextureImpl::BaseTextureImpl(Device* device, GLenum target, UINT width, UINT height, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool)
    : device_(device),
      context_(device->context()),
      target_(target),
      id_(nextObjectId()),
      width_(width),
      height_(height),
      levels_(levels),
      usage_(usage),
      format_(format),
      pool_(pool) {
  if (!formatInfo(format, &info_) || !context_->makeCurrent()) return;
  const UINT faces = target == GL_TEXTURE_CUBE_MAP ? 6 : 1;
  locks_.resize(static_cast<std::size_t>(faces) * levels);
  while (glGetError() != GL_NO_ERROR) {
  }
  glGenTextures(1, &name_);
  GLState& state = context_->state;
  state.bindTexture(kScratchUnit, target_, name_);
  for (UINT face = 0; face < faces; ++face) {
    for (UINT level = 0; level < levels; ++level) {
      glTexImage2D(faceTarget(face), static_cast<GLint>(level), static_cast<GLint>(info_.internalFormat),
                   static_cast<GLsizei>(levelWidth(level)), static_cast<GLsizei>(levelHeight(level)), 0,
                   info_.format, info_.type, nullptr);
    }
  }
  glTexParameteri(target_, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(target_, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
  if (info_.alphaOnly) {
    const GLint swizzle[4] = {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED};
    glTexParameteriv(target_, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
  }
  state.bindTexture(kScratchUnit, target_, 0);
  if (glGetError() != GL_NO_ERROR) {  // out of memory or a size the driver refuses
    glDeleteTextures(1, &name_);
    state.textureDeleted(name_);
    name_ = 0;
  }
}

BaseTextureImpl::~BaseTextureImpl() {
  if (name_ && context_->makeCurrent()) {
    if (context_->alive && context_->owner) context_->owner->forgetTexture(id_);
    glDeleteTextures(1, &name_);
    context_->state.textureDeleted(name_);
  }
}

GLenum BaseTextureImpl::faceTarget(UINT face) const {
  return target_ == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : target_;
}

void BaseTextureImpl::fillDesc(UINT level, D3DSURFACE_DESC* desc) const {
  *desc = D3DSURFACE_DESC{};
  desc->Format = format_;
  desc->Type = target_ == GL_TEXTURE_CUBE_MAP ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Width = levelWidth(level);
  desc->Height = levelHeight(level);
}

void BaseTextureImpl::upload(UINT face, UINT level, const void* pixels) {
  if (!name_ || level >= levels_) return;
  flushOwner(context_);  // draws already issued see the old contents
  if (!context_->makeCurrent()) return;
  context_->state.bindTexture(kScratchUnit, target_, name_);
  glTexSubImage2D(faceTarget(face), static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(levelWidth(level)),
                  static_cast<GLsizei>(levelHeight(level)), info_.format, info_.type, pixels);
  context_->state.bindTexture(kScratchUnit, target_, 0);
}

HRESULT BaseTextureImpl::lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!locked || !name_ || level >= levels_) return D3DERR_INVALIDCALL;
  // Render targets in the default pool are not lockable, as in Direct3D.
  if ((usage_ & D3DUSAGE_RENDERTARGET) && pool_ == D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  LockState& state = locks_[face * levels_ + level];
  if (state.locked) return D3DERR_INVALIDCALL;
  const UINT w = levelWidth(level), h = levelHeight(level);
  if (rect && (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(w) ||
               rect->bottom > static_cast<LONG>(h) || rect->left >= rect->right || rect->top >= rect->bottom))
    return D3DERR_INVALIDCALL;
  const std::size_t pitch = static_cast<std::size_t>(w) * info_.bytesPerPixel;
  state.pixels.assign(pitch * h, 0);
  if (!(flags & D3DLOCK_DISCARD)) {
    flushOwner(context_);
    if (context_->makeCurrent()) {
      context_->state.bindTexture(kScratchUnit, target_, name_);
      glGetTexImage(faceTarget(face), static_cast<GLint>(level), info_.format, info_.type, state.pixels.data());
      context_->state.bindTexture(kScratchUnit, target_, 0);
    }
  }
  state.locked = true;
  state.readOnly = (flags & D3DLOCK_READONLY) != 0;
  std::size_t offset = 0;
  if (rect) offset = static_cast<std::size_t>(rect->top) * pitch + static_cast<std::size_t>(rect->left) * info_.bytesPerPixel;
  locked->Pitch = static_cast<INT>(pitch);
  locked->pBits = state.pixels.data() + offset;
  return D3D_OK;
}

HRESULT BaseTextureImpl::unlock(UINT face, UINT level) {
  if (!name_ || level >= levels_) return D3DERR_INVALIDCALL;
  LockState& state = locks_[face * levels_ + level];
  if (!state.locked) return D3DERR_INVALIDCALL;
  if (!state.readOnly) upload(face, level, state.pixels.data());
  state.locked = false;
  state.pixels.clear();
  state.pixels.shrink_to_fit();
  return D3D_OK;
}

BaseTextureImpl* textureImpl(IDirect3DBaseTexture9* texture) {
  return texture ? dynamic_cast<BaseTextureImpl*>(texture) : nullptr;
}

Texture2D::Texture2D(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                     D3DPOOL pool)
    : BaseTextureImpl(device, GL_TEXTURE_2D, width, height, levels, usage, format, pool) {
  for (UINT level = 0; level < levels; ++level)
    surfaces_.push_back(std::make_unique<Surface>(this, this, level, 0, device));
}

HRESULT Texture2D::GetDevice(IDirect3DDevice9** out) {
  if (!out) return D3DERR_INVALIDCALL;
  device()->AddRef();
  *out = device();
  return D3D_OK;
}

HRESULT Texture2D::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= levels()) return D3DERR_INVALIDCALL;
  fillDesc(level, desc);
  desc->Type = D3DRTYPE_SURFACE;
  return D3D_OK;
}

HRESULT Texture2D::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (!surface || level >= levels()) return D3DERR_INVALIDCALL;
  AddRef();
  *surface = surfaces_[level].get();
  return D3D_OK;
}

HRESULT Texture2D::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  return lock(0, level, locked, rect, flags);
}

HRESULT Texture2D::UnlockRect(UINT level) { return unlock(0, level); }

CubeTexture::CubeTexture(Device* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : BaseTextureImpl(device, GL_TEXTURE_CUBE_MAP, edge, edge, levels, usage, format, pool) {
  for (UINT face = 0; face < 6; ++face)
    for (UINT level = 0; level < levels; ++level)
      surfaces_.push_back(std::make_unique<Surface>(this, this, level, face, device));
}

HRESULT CubeTexture::GetDevice(IDirect3DDevice9** out) {
  if (!out) return D3DERR_INVALIDCALL;
  device()->AddRef();
  *out = device();
  return D3D_OK;
}

HRESULT CubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= levels()) return D3DERR_INVALIDCALL;
  fillDesc(level, desc);
  desc->Type = D3DRTYPE_SURFACE;
  return D3D_OK;
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface) {
  if (!surface || level >= levels() || face > D3DCUBEMAP_FACE_NEGATIVE_Z) return D3DERR_INVALIDCALL;
  AddRef();
  *surface = surfaces_[face * levels() + level].get();
  return D3D_OK;
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                              DWORD flags) {
  if (face > D3DCUBEMAP_FACE_NEGATIVE_Z) return D3DERR_INVALIDCALL;
  return lock(face, level, locked, rect, flags);
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
  if (face > D3DCUBEMAP_FACE_NEGATIVE_Z) return D3DERR_INVALIDCALL;
  return unlock(face, level);
}

// ---- buffers -------------------------------------------------------------------

BufferImpl::BufferImpl(Device* device, GLenum target, UINT length)
    : device_(device), context_(device->context()), target_(target), data_(length, 0) {
  if (!context_->makeCurrent()) return;
  glGenBuffers(1, &name_);
  // Uploads go through the copy-write binding so that no vertex-array state changes.
  glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
  glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(length), data_.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}

BufferImpl::~BufferImpl() {
  if (!name_ || !context_->makeCurrent()) return;
  // The device drops the vertex arrays that read it first.
  if (context_->alive && context_->owner) context_->owner->forgetBuffer(name_);
  glDeleteBuffers(1, &name_);
}

HRESULT BufferImpl::lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || locked_ || offset > data_.size()) return D3DERR_INVALIDCALL;
  if (size == 0) size = static_cast<UINT>(data_.size()) - offset;  // 0 locks the rest of the buffer
  if (size > data_.size() - offset) return D3DERR_INVALIDCALL;
  locked_ = true;
  readOnly_ = (flags & D3DLOCK_READONLY) != 0;
  lockOffset_ = offset;
  lockSize_ = size;
  *data = data_.data() + offset;
  return D3D_OK;
}

HRESULT BufferImpl::unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (readOnly_ || lockSize_ == 0 || !name_) return D3D_OK;
  flushOwner(context_);
  if (!context_->makeCurrent()) return D3D_OK;
  glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
  glBufferSubData(GL_COPY_WRITE_BUFFER, lockOffset_, lockSize_, data_.data() + lockOffset_);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  (void)target_;
  return D3D_OK;
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** out) {
  if (!out) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *out = device_;
  return D3D_OK;
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** out) {
  if (!out) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *out = device_;
  return D3D_OK;
}

void forgetShaderPrograms(const ContextRef& context, std::uint64_t shaderId) {
  if (context && context->alive && context->owner) context->owner->forgetShader(shaderId);
}

HRESULT VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) {
  if (!count) return D3DERR_INVALIDCALL;
  *count = static_cast<UINT>(elements_.size());
  if (elements) std::copy(elements_.begin(), elements_.end(), elements);
  return D3D_OK;
}

}  // namespace vorn::d3d
