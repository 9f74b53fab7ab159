// Read-back of targets and textures, the switches and counters of
// d3d9_vorn.h, and the internal shader entry points.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9/d3d9_vorn.h"
#include "platform/d3d9/device.h"

namespace vorn::d3d {

namespace {

// On unless the environment variable is set to something other than "0".
bool notSwitchedOff(const char* variable) {
  const char* value = std::getenv(variable);
  return !(value && *value && std::strcmp(value, "0") != 0);
}

std::atomic<bool> gBatching{notSwitchedOff("VORN_NO_BATCHING")};
std::atomic<bool> gWindowBackBuffer{notSwitchedOff("VORN_NO_WINDOW_BACK_BUFFER")};
std::atomic<bool> gVsync{true};
std::atomic<std::uint64_t> gDrawCalls{0};

void resolve(GLState& state, const RenderTarget& target) {
  if (!target.resolveFrom) return;
  state.bindFramebuffer(GL_READ_FRAMEBUFFER, target.resolveFrom);
  state.bindFramebuffer(GL_DRAW_FRAMEBUFFER, target.readFramebuffer);
  state.enable(GLState::ScissorTest, false);
  glBlitFramebuffer(0, 0, static_cast<GLint>(target.width), static_cast<GLint>(target.height), 0, 0,
                    static_cast<GLint>(target.width), static_cast<GLint>(target.height), GL_COLOR_BUFFER_BIT,
                    GL_NEAREST);
}

}  // namespace

bool batchingEnabled() { return gBatching.load(std::memory_order_relaxed); }
bool windowBackBufferEnabled() { return gWindowBackBuffer.load(std::memory_order_relaxed); }
bool vsyncEnabled() { return gVsync.load(std::memory_order_relaxed); }
void countGLDraw() { gDrawCalls.fetch_add(1, std::memory_order_relaxed); }

bool Device::readPixels(std::vector<std::uint8_t>* rgba, int* width, int* height) {
  if (!rgba || !makeCurrent()) return false;
  flush();
  resolve(gl(), target_);
  // Targets keep Direct3D's row order: OpenGL's first row is the top row.
  gl().bindFramebuffer(GL_READ_FRAMEBUFFER, target_.readFramebuffer);
  rgba->resize(static_cast<std::size_t>(target_.width) * target_.height * 4);
  glReadPixels(0, 0, static_cast<GLsizei>(target_.width), static_cast<GLsizei>(target_.height), GL_RGBA,
               GL_UNSIGNED_BYTE, rgba->data());
  if (target_.bottomUp) flipRows(rgba->data(), static_cast<int>(target_.width), static_cast<int>(target_.height), 4);
  if (width) *width = static_cast<int>(target_.width);
  if (height) *height = static_cast<int>(target_.height);
  return true;
}

bool Device::queueBackBufferRead() {
  if (!makeCurrent()) return false;
  flush();
  resolve(gl(), backBuffer_);
  const std::size_t bytes = static_cast<std::size_t>(backBuffer_.width) * backBuffer_.height * 4;
  PendingRead read;
  if (!freeReadBuffers_.empty()) {
    read.buffer = freeReadBuffers_.back();
    freeReadBuffers_.pop_back();
  } else {
    glGenBuffers(1, &read.buffer);
  }
  read.width = static_cast<int>(backBuffer_.width);
  read.height = static_cast<int>(backBuffer_.height);
  read.bottomUp = backBuffer_.bottomUp;
  glBindBuffer(GL_PIXEL_PACK_BUFFER, read.buffer);
  glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_READ);
  gl().bindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_.readFramebuffer);
  glReadPixels(0, 0, read.width, read.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  read.fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  glFlush();
  pendingReads_.push_back(read);
  return true;
}

bool Device::takeBackBufferRead(std::vector<std::uint8_t>* rgba, int* width, int* height, bool wait) {
  if (!rgba || pendingReads_.empty() || !makeCurrent()) return false;
  PendingRead& read = pendingReads_.front();
  if (read.fence) {
    GLenum status = glClientWaitSync(read.fence, GL_SYNC_FLUSH_COMMANDS_BIT, 0);
    while (wait && status == GL_TIMEOUT_EXPIRED)
      status = glClientWaitSync(read.fence, GL_SYNC_FLUSH_COMMANDS_BIT, 100000000);  // 0.1 s steps
    if (status == GL_TIMEOUT_EXPIRED) return false;
    glDeleteSync(read.fence);
    read.fence = nullptr;
  }
  const std::size_t bytes = static_cast<std::size_t>(read.width) * read.height * 4;
  rgba->resize(bytes);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, read.buffer);
  const void* mapped = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(bytes), GL_MAP_READ_BIT);
  bool ok = mapped != nullptr;
  if (ok) std::memcpy(rgba->data(), mapped, bytes);
  if (ok && read.bottomUp) flipRows(rgba->data(), read.width, read.height, 4);
  glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (width) *width = read.width;
  if (height) *height = read.height;
  freeReadBuffers_.push_back(read.buffer);
  pendingReads_.pop_front();
  return ok;
}

}  // namespace vorn::d3d

using vorn::d3d::deviceImpl;

bool VornD3D_ReadPixels(IDirect3DDevice9* device, std::vector<std::uint8_t>* rgba, int* width, int* height) {
  return device && deviceImpl(device)->readPixels(rgba, width, height);
}

bool VornD3D_ReadTexture(IDirect3DTexture9* texture, std::vector<std::uint8_t>* rgba, int* width, int* height) {
  auto* impl = vorn::d3d::textureImpl(texture);
  if (!impl || !rgba || !impl->valid()) return false;
  const vorn::d3d::ContextRef& context = impl->context();
  if (context->owner) context->owner->flush();
  if (!context->makeCurrent()) return false;
  const int w = static_cast<int>(impl->width()), h = static_cast<int>(impl->height());
  rgba->assign(static_cast<std::size_t>(w) * h * 4, 0);
  vorn::d3d::GLState& state = context->state;
  state.bindTexture(31, GL_TEXTURE_2D, impl->name());
  if (impl->info().alphaOnly) {
    std::vector<std::uint8_t> alpha(static_cast<std::size_t>(w) * h);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, alpha.data());
    for (std::size_t i = 0; i < alpha.size(); ++i) (*rgba)[4 * i + 3] = alpha[i];
  } else {
    // Texture row 0 is the top row in Direct3D and the first row OpenGL returns.
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
  }
  state.bindTexture(31, GL_TEXTURE_2D, 0);
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

void VornD3D_SetBatching(bool enabled) { vorn::d3d::gBatching = enabled; }
void VornD3D_SetWindowBackBuffer(bool enabled) { vorn::d3d::gWindowBackBuffer = enabled; }
bool VornD3D_Batching() { return vorn::d3d::batchingEnabled(); }
std::uint64_t VornD3D_DrawCallCount() { return vorn::d3d::gDrawCalls.load(); }
void VornD3D_ResetDrawCallCount() { vorn::d3d::gDrawCalls = 0; }
std::uint64_t VornD3D_GLCallCount() { return vorn::d3d::glCallCount; }
void VornD3D_ResetGLCallCount() { vorn::d3d::glCallCount = 0; }
void VornD3D_SetVsync(bool enabled) { vorn::d3d::gVsync = enabled; }

bool VornD3D_QueueBackBufferRead(IDirect3DDevice9* device) {
  return device && deviceImpl(device)->queueBackBufferRead();
}

bool VornD3D_TakeBackBufferRead(IDirect3DDevice9* device, std::vector<std::uint8_t>* rgba, int* width, int* height,
                                bool wait) {
  return device && deviceImpl(device)->takeBackBufferRead(rgba, width, height, wait);
}

HRESULT VornD3D_CreateVertexShaderFromProgram(IDirect3DDevice9* device, const hlsl::Program& program,
                                              IDirect3DVertexShader9** shader) {
  if (!device || !shader || program.stage != hlsl::Stage::Vertex) return D3DERR_INVALIDCALL;
  *shader = new vorn::d3d::VertexShader(program, deviceImpl(device)->context());
  return D3D_OK;
}

HRESULT VornD3D_CreatePixelShaderFromProgram(IDirect3DDevice9* device, const hlsl::Program& program,
                                             IDirect3DPixelShader9** shader) {
  if (!device || !shader || program.stage != hlsl::Stage::Pixel) return D3DERR_INVALIDCALL;
  *shader = new vorn::d3d::PixelShader(program, deviceImpl(device)->context());
  return D3D_OK;
}

unsigned VornD3D_TakeGLErrors(IDirect3DDevice9* device) { return device ? deviceImpl(device)->takeGLErrors() : 0; }

std::string VornD3D_LastProgramError(IDirect3DDevice9* device) {
  return device ? deviceImpl(device)->lastProgramError() : std::string();
}

std::size_t VornD3D_ProgramCount(IDirect3DDevice9* device) { return device ? deviceImpl(device)->programCount() : 0; }
