// The Direct3D 9 device over an OpenGL 3.3 core context.
//
// Orientation: render targets are OpenGL framebuffer objects kept in
// Direct3D's row order (row 0 is the top of the picture, as texture row 0
// is): clip-space y is flipped on every draw and the front-face winding
// swapped with it, which keeps pictures rendered into a texture upright when
// sampled. The back buffer is the window's own framebuffer where that has
// exactly the back buffer's size and formats, so Present has nothing to
// copy; it is bottom-up like any window, and draws into it are not flipped.
// Elsewhere the back buffer is a framebuffer object too, and Present blits
// it to the window, flipping and stretching.
//
// Pixel centres: Direct3D 9 samples pixel i at screen coordinate i, OpenGL at
// i + 0.5, so clip-space positions move by just under half a pixel right and
// down (63/64 of it: a sample never lands exactly on an edge, so coverage
// does not depend on the fill convention under the flip). The depth range
// becomes OpenGL's with z' = 2z - w. All three go through vorn_ClipAdjust.
#pragma once

#include "platform/d3d9/gl_calls.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "platform/d3d9/com_object.h"
#include "platform/d3d9/fixed_function.h"
#include "platform/d3d9/formats.h"
#include "platform/d3d9/gl_context.h"
#include "platform/d3d9/programs.h"
#include "platform/d3d9/resources.h"

namespace vorn::d3d {

class Direct3D;

constexpr int kMaxStages = 8;
constexpr int kMaxSamplers = 16;
constexpr int kStageStateCount = 33;
constexpr int kSamplerStateCount = 14;
constexpr int kRenderStateCount = 256;
constexpr int kVertexRegisters = 256;
constexpr int kPixelRegisters = 224;

// A framebuffer drawn into.
struct RenderTarget {
  GLuint framebuffer = 0;      // drawn into
  GLuint readFramebuffer = 0;  // single-sampled picture for reading and presenting
  GLuint resolveFrom = 0;      // multisampled source resolved into readFramebuffer, or 0
  UINT width = 0;
  UINT height = 0;
  IDirect3DSurface9* surface = nullptr;  // reported by GetRenderTarget (not owned)
  bool bottomUp = false;                 // the window's framebuffer: OpenGL's row order
};

class Device final : public ComObject<IDirect3DDevice9> {
 public:
  static HRESULT create(Direct3D* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters,
                        D3DPRESENT_PARAMETERS* actual, Device** out);

  // IDirect3DDevice9
  HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                  const RGNDATA* dirtyRegion) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
  HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DCubeTexture9** texture, HANDLE* sharedHandle) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                             HANDLE* sharedHandle) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                            HANDLE* sharedHandle) override;
  HRESULT SetFVF(DWORD fvf) override;
  HRESULT GetFVF(DWORD* fvf) override;
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                  IDirect3DVertexDeclaration9** declaration) override;
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                          UINT vertexStride) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                               UINT startIndex, UINT primitiveCount) override;
  HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) override;
  HRESULT CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
  HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
  HRESULT SetVertexShaderConstantF(UINT startRegister, const float* data, UINT vector4fCount) override;
  HRESULT SetPixelShaderConstantF(UINT startRegister, const float* data, UINT vector4fCount) override;
  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
  // Surface copies (surface_copy.cpp).
  HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                        IDirect3DSurface9** surface) override;
  HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                             DWORD multisampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                             HANDLE* sharedHandle) override;
  HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
  HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                      const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;
  HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) override;

  // ---- for the rest of the platform layer ----
  const ContextRef& context() const { return context_; }
  // The shadow of the context's OpenGL state: platform code that binds or
  // sets OpenGL state goes through it, so the device knows what is bound.
  GLState& gl() { return context_->state; }
  bool makeCurrent();
  // Draws any batched DrawPrimitiveUP work now.
  void flush();
  const RenderTarget& renderTarget() const { return target_; }
  const RenderTarget& backBufferTarget() const { return backBuffer_; }
  D3DFORMAT backBufferFormat() const { return backBufferFormat_; }
  D3DMULTISAMPLE_TYPE backBufferSamples() const { return parameters_.MultiSampleType; }
  // Switches drawing to another target; the viewport becomes the whole target.
  void setRenderTarget(const RenderTarget& target);
  bool inScene() const { return inScene_; }
  const std::string& lastProgramError() const { return programs_.lastError(); }
  std::size_t programCount() const { return programs_.size(); }
  void forgetShader(std::uint64_t shaderId);
  // A vertex or index buffer is being deleted: drops the vertex arrays
  // that read it and the bindings that name it.
  void forgetBuffer(GLuint buffer);
  // A texture is being deleted: drops the framebuffers that draw into it.
  void forgetTexture(std::uint64_t textureId);
  // The framebuffer that holds a render-target surface: the back buffer's
  // (the window's own, bottom-up, where it fits), or one kept for a texture
  // level. Not ok when none can be made.
  struct SurfaceFramebuffer {
    bool ok = false;
    GLuint name = 0;
    bool bottomUp = false;
  };
  SurfaceFramebuffer framebufferOf(Surface* surface);
  // Reads the current target as RGBA8, top row first.
  bool readPixels(std::vector<std::uint8_t>* rgba, int* width, int* height);
  bool queueBackBufferRead();
  bool takeBackBufferRead(std::vector<std::uint8_t>* rgba, int* width, int* height, bool wait);
  void applyVsync();
  // Forgets what the device believes OpenGL holds, for a context whose
  // state was changed outside the shadow (or is new).
  void invalidateGLState();
  // Counts and clears OpenGL errors seen so far.
  unsigned takeGLErrors();

 private:
  Device() = default;
  ~Device() override;
  HRESULT initialise(Direct3D* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters,
                     D3DPRESENT_PARAMETERS* actual);
  void setDefaultStates(bool autoDepth);
  // The back buffer as framebuffer objects (multisampled with a resolve
  // target when samples > 0); false when OpenGL refuses them.
  bool createBackBufferObjects(GLenum colorFormat, GLenum depthFormat, int samples);
  // Whether the window's framebuffer can be the back buffer: the same size,
  // formats that match exactly, no multisampling, nothing to scale.
  bool windowFitsBackBuffer(GLenum colorFormat, GLenum depthFormat, int samples);
  // The part of that which can change: the size, and scaling to the display.
  bool windowAreaFitsBackBuffer();
  // Moves a window back buffer into framebuffer objects (the window no
  // longer fits it), keeping its picture.
  bool leaveWindowBackBuffer();
  void releaseBindings();
  void holdTarget(IDirect3DSurface9* surface);

  // Drawing.
  enum class Batch { None, Points, Lines, Triangles };
  struct DrawSource {
    GLuint buffer = 0;
    std::size_t offset = 0;  // byte offset of vertex 0, less than one stride
    int stride = 0;
  };
  // A vertex array object: one per vertex layout and vertex source, so
  // switching between meshes is one bind. The index buffer binding is part
  // of its state.
  struct VertexArrayKey {
    std::uint32_t layout = 0;
    GLuint buffer = 0;
    int stride = 0;
    std::size_t offset = 0;
    bool operator==(const VertexArrayKey&) const = default;
  };
  struct VertexArrayKeyHash {
    std::size_t operator()(const VertexArrayKey& key) const noexcept;
  };
  struct VertexArray {
    GLuint name = 0;
    GLuint elements = 0;  // index buffer bound in it
  };
  // The sampler parameters last given to a sampler object.
  struct SamplerShadow {
    bool known = false;
    GLint wrapS = 0, wrapT = 0, wrapR = 0, magFilter = 0, minFilter = 0;
    std::array<float, 4> border{};
    float lodBias = 0, minLod = 0, anisotropy = 0;
  };
  // The layout of the current FVF or declaration (cached), or null when it
  // has none; layoutId_ names it (equal layouts share an id).
  const VertexLayout* currentLayout();
  void layoutChanged();
  std::uint32_t internLayout(const VertexLayout& layout);
  // Binds what a draw needs; the vertex array bound, or null when the
  // draw cannot be made.
  VertexArray* prepareDraw(std::uint32_t layoutId, D3DPRIMITIVETYPE type, const DrawSource& source);
  void selectProgram(const VertexLayout& layout, std::uint32_t layoutId, bool points);
  void uploadUniforms(LinkedProgram* program);
  void applyRasterState(bool points);
  void applyTextures();
  void applySampler(int unit);
  VertexArray* bindVertexSource(std::uint32_t layoutId, const DrawSource& source);
  void stateChanged();    // a state that programs or uniforms read changed
  void programChanged();  // a state that changes the program changed
  // Streaming of DrawPrimitiveUP vertices.
  std::size_t streamUpload(const std::uint8_t* data, std::size_t bytes, int stride);
  HRESULT drawUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* data, UINT stride);
  void submitBatch();

  ContextRef context_;
  Direct3D* direct3d_ = nullptr;
  HWND window_ = nullptr;
  D3DPRESENT_PARAMETERS parameters_{};
  D3DFORMAT backBufferFormat_ = D3DFMT_X8R8G8B8;
  bool inScene_ = false;

  // Back buffer: a framebuffer object in Direct3D row order.
  RenderTarget backBuffer_;
  RenderTarget target_;
  IDirect3DSurface9* heldTarget_ = nullptr;  // a texture surface set by SetRenderTarget
  // Framebuffers of texture surfaces drawn into or copied from (framebufferOf).
  struct SurfaceKey {
    std::uint64_t texture = 0;
    UINT level = 0, face = 0;
    bool operator<(const SurfaceKey& other) const {
      return std::tie(texture, level, face) < std::tie(other.texture, other.level, other.face);
    }
  };
  std::map<SurfaceKey, GLuint> surfaceFramebuffers_;
  GLuint backColor_ = 0, backDepth_ = 0, msColor_ = 0, msDepth_ = 0, msFramebuffer_ = 0, resolveColor_ = 0;
  GLenum backColorFormat_ = 0, backDepthFormat_ = 0;
  std::unique_ptr<Surface> backBufferSurface_;

  // Direct3D state.
  DWORD renderStates_[kRenderStateCount] = {};
  DWORD stageStates_[kMaxStages][kStageStateCount] = {};
  DWORD samplerStates_[kMaxSamplers][kSamplerStateCount] = {};
  IDirect3DBaseTexture9* textures_[kMaxSamplers] = {};
  D3DMATRIX world_{}, view_{}, projection_{};
  D3DMATRIX textureTransforms_[kMaxStages]{};
  D3DVIEWPORT9 viewport_{};
  DWORD fvf_ = 0;
  VertexDeclaration* declaration_ = nullptr;
  VertexShader* vertexShader_ = nullptr;
  PixelShader* pixelShader_ = nullptr;
  VertexBuffer* stream_ = nullptr;
  UINT streamOffset_ = 0, streamStride_ = 0;
  IndexBuffer* indices_ = nullptr;
  float vertexConstants_[kVertexRegisters][4] = {};
  float pixelConstants_[kPixelRegisters][4] = {};

  // Change tracking.
  std::uint64_t stateGeneration_ = 1;
  std::uint64_t vertexConstantGeneration_ = 1;
  std::uint64_t pixelConstantGeneration_ = 1;
  bool programDirty_ = true;
  bool rasterDirty_ = true;
  bool texturesDirty_ = true;
  bool samplerDirty_[kMaxSamplers] = {};
  bool lastDrawPoints_ = false;
  std::uint32_t programLayout_ = 0;
  std::deque<VertexLayout> layouts_;  // every distinct layout seen; id = index + 1
  std::uint32_t layoutId_ = 0;        // 0: the current FVF or declaration has no layout
  bool layoutDirty_ = true;

  // OpenGL objects. What OpenGL holds is in the context's GLState.
  ProgramCache programs_;
  LinkedProgram* program_ = nullptr;
  ProgramKey programKey_;  // the key program_ was found by
  std::unordered_map<VertexArrayKey, VertexArray, VertexArrayKeyHash> vertexArrays_;
  GLuint streamBuffer_ = 0;
  std::size_t streamCapacity_ = 0, streamPosition_ = 0;
  GLuint samplers_[kMaxSamplers] = {};
  SamplerShadow appliedSamplers_[kMaxSamplers];
  int maxSamples_ = 0;
  int appliedSwapInterval_ = -1;
  float maxPointSize_ = 64.0f;
  float maxAnisotropy_ = 1.0f;

  // DrawPrimitiveUP batching.
  Batch batch_ = Batch::None;
  int batchStride_ = 0;
  std::vector<std::uint8_t> batchData_;
  std::uint32_t batchLayout_ = 0;

  // Asynchronous read-back.
  struct PendingRead {
    GLuint buffer = 0;
    GLsync fence = nullptr;
    int width = 0, height = 0;
    bool bottomUp = false;
  };
  std::deque<PendingRead> pendingReads_;
  std::vector<GLuint> freeReadBuffers_;
};

class Direct3D final : public ComObject<IDirect3D9> {
 public:
  Direct3D();
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* presentationParameters, IDirect3DDevice9** returnedDevice) override;

 private:
  ~Direct3D() override;
};

// The device behind an interface pointer (every device is ours).
inline Device* deviceImpl(IDirect3DDevice9* device) { return static_cast<Device*>(device); }

// A renderbuffer of a format (multisampled when samples > 0).
GLuint makeRenderbuffer(GLenum format, int samples, UINT width, UINT height);
// Turns rows read from the window's framebuffer (bottom row first) around.
void flipRows(std::uint8_t* pixels, int width, int height, int bytesPerPixel);

// Global switches and counters (d3d9_vorn.h).
bool batchingEnabled();
bool windowBackBufferEnabled();
void countGLDraw();
bool vsyncEnabled();

}  // namespace vorn::d3d
