// Textures, surfaces, buffers, vertex declarations and shaders of the
// Direct3D stand-in: COM objects over OpenGL names.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d9/com_object.h"
#include "platform/d3d9/formats.h"
#include "platform/d3d9/gl_context.h"
#include "platform/hlsl/hlsl.h"

namespace vorn::d3d {

class Device;
class BaseTextureImpl;

// A surface: one level (and face) of a texture, or the device's back buffer.
// Its references are its container's, as for Direct3D's texture surfaces.
class Surface final : public IDirect3DSurface9 {
 public:
  Surface(IUnknown* container, BaseTextureImpl* texture, UINT level, UINT face, Device* device);
  ULONG AddRef() override { return container_->AddRef(); }
  ULONG Release() override { return container_->Release(); }
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  // A texture's surface locks as the texture level does; the back buffer does not lock.
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  BaseTextureImpl* texture() const { return texture_; }  // null for the back buffer
  UINT level() const { return level_; }
  UINT face() const { return face_; }
  Device* device() const { return device_; }
  virtual ~Surface() = default;

 private:
  IUnknown* container_;
  BaseTextureImpl* texture_;
  UINT level_;
  UINT face_;
  Device* device_;
};

// What 2D and cube textures share.
class BaseTextureImpl {
 public:
  BaseTextureImpl(Device* device, GLenum target, UINT width, UINT height, UINT levels, DWORD usage,
                  D3DFORMAT format, D3DPOOL pool);
  virtual ~BaseTextureImpl();

  GLenum target() const { return target_; }
  GLuint name() const { return name_; }
  std::uint64_t id() const { return id_; }
  UINT width() const { return width_; }
  UINT height() const { return height_; }
  UINT levels() const { return levels_; }
  DWORD usage() const { return usage_; }
  D3DFORMAT format() const { return format_; }
  D3DPOOL pool() const { return pool_; }
  const FormatInfo& info() const { return info_; }
  Device* device() const { return device_; }
  const ContextRef& context() const { return context_; }
  bool valid() const { return name_ != 0; }
  UINT levelWidth(UINT level) const { return width_ >> level ? width_ >> level : 1; }
  UINT levelHeight(UINT level) const { return height_ >> level ? height_ >> level : 1; }
  void fillDesc(UINT level, D3DSURFACE_DESC* desc) const;

  // Uploads a whole level (Direct3D byte layout, rows top first); face 0..5 for cubes.
  void upload(UINT face, UINT level, const void* pixels);

 protected:
  friend class Surface;
  HRESULT lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT unlock(UINT face, UINT level);
  GLenum faceTarget(UINT face) const;

 private:
  struct LockState {
    bool locked = false;
    bool readOnly = false;
    std::vector<std::uint8_t> pixels;
  };
  Device* device_;
  ContextRef context_;
  GLenum target_;
  GLuint name_ = 0;
  std::uint64_t id_;
  UINT width_, height_, levels_;
  DWORD usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
  FormatInfo info_;
  std::vector<LockState> locks_;  // per face and level
};

class Texture2D final : public ComObject<IDirect3DTexture9>, public BaseTextureImpl {
 public:
  Texture2D(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return levels(); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

 private:
  ~Texture2D() override = default;
  std::vector<std::unique_ptr<Surface>> surfaces_;
};

class CubeTexture final : public ComObject<IDirect3DCubeTexture9>, public BaseTextureImpl {
 public:
  CubeTexture(Device* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
  DWORD GetLevelCount() override { return levels(); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;

 private:
  ~CubeTexture() override = default;
  std::vector<std::unique_ptr<Surface>> surfaces_;
};

// The texture behind a base-texture interface pointer, or null.
BaseTextureImpl* textureImpl(IDirect3DBaseTexture9* texture);

// Vertex and index buffers keep a CPU copy that Lock hands out; Unlock
// uploads what was locked.
class BufferImpl {
 public:
  BufferImpl(Device* device, GLenum target, UINT length);
  virtual ~BufferImpl();
  GLuint name() const { return name_; }
  UINT length() const { return static_cast<UINT>(data_.size()); }
  const std::uint8_t* data() const { return data_.data(); }
  bool valid() const { return name_ != 0; }

 protected:
  HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT unlock();
  Device* device_;

 private:
  ContextRef context_;
  GLenum target_;
  GLuint name_ = 0;
  std::vector<std::uint8_t> data_;
  bool locked_ = false;
  bool readOnly_ = false;
  UINT lockOffset_ = 0, lockSize_ = 0;
};

class VertexBuffer final : public ComObject<IDirect3DVertexBuffer9>, public BufferImpl {
 public:
  VertexBuffer(Device* device, UINT length) : BufferImpl(device, GL_ARRAY_BUFFER, length) {}
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override { return lock(offset, size, data, flags); }
  HRESULT Unlock() override { return unlock(); }

 private:
  ~VertexBuffer() override = default;
};

class IndexBuffer final : public ComObject<IDirect3DIndexBuffer9>, public BufferImpl {
 public:
  IndexBuffer(Device* device, UINT length, D3DFORMAT format)
      : BufferImpl(device, GL_ELEMENT_ARRAY_BUFFER, length), format_(format) {}
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override { return lock(offset, size, data, flags); }
  HRESULT Unlock() override { return unlock(); }
  D3DFORMAT format() const { return format_; }

 private:
  ~IndexBuffer() override = default;
  D3DFORMAT format_;
};

class VertexDeclaration final : public ComObject<IDirect3DVertexDeclaration9> {
 public:
  VertexDeclaration(std::vector<D3DVERTEXELEMENT9> elements, VertexLayout layout)
      : elements_(std::move(elements)), layout_(std::move(layout)) {}
  HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;
  const VertexLayout& layout() const { return layout_; }

 private:
  ~VertexDeclaration() override = default;
  std::vector<D3DVERTEXELEMENT9> elements_;  // with the terminator
  VertexLayout layout_;
};

// A compiled shader: the GLSL of one stage and what it reads and writes.
struct ShaderCode {
  std::uint64_t id = 0;
  hlsl::Program program;
};

// Drops the linked programs that use a released shader.
void forgetShaderPrograms(const ContextRef& context, std::uint64_t shaderId);

class VertexShader final : public ComObject<IDirect3DVertexShader9> {
 public:
  VertexShader(hlsl::Program program, ContextRef context) : context_(std::move(context)) {
    code_.id = nextObjectId();
    code_.program = std::move(program);
  }
  const ShaderCode& code() const { return code_; }

 private:
  ~VertexShader() override { forgetShaderPrograms(context_, code_.id); }
  ShaderCode code_;
  ContextRef context_;
};

class PixelShader final : public ComObject<IDirect3DPixelShader9> {
 public:
  PixelShader(hlsl::Program program, ContextRef context) : context_(std::move(context)) {
    code_.id = nextObjectId();
    code_.program = std::move(program);
  }
  const ShaderCode& code() const { return code_; }

 private:
  ~PixelShader() override { forgetShaderPrograms(context_, code_.id); }
  ShaderCode code_;
  ContextRef context_;
};

}  // namespace vorn::d3d
