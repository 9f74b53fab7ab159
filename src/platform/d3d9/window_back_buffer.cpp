// Where the back buffer lives. When the window's framebuffer has exactly the
// back buffer's size and formats (colour bits, alpha, 16-bit depth; no
// multisampling, nothing to scale), drawing goes straight into it and
// Present only swaps; the software renderer saves a full-screen copy a
// frame. Otherwise, or once the window stops fitting (resized, shown under
// an emulated display mode), the back buffer is framebuffer objects that
// Present blits to the window.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/d3d9/device.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::d3d {

namespace {

struct ChannelBits {
  GLint red, green, blue, alpha, depth, stencil;
  bool operator==(const ChannelBits&) const = default;
};

ChannelBits bitsOf(GLenum colorFormat, GLenum depthFormat) {
  ChannelBits bits{8, 8, 8, 0, 0, 0};
  if (colorFormat == GL_RGBA8) bits.alpha = 8;
  if (colorFormat == GL_RGB565) bits = {5, 6, 5, 0, 0, 0};
  if (depthFormat == GL_DEPTH_COMPONENT16) bits.depth = 16;
  if (depthFormat == GL_DEPTH24_STENCIL8) {
    bits.depth = 24;
    bits.stencil = 8;
  }
  return bits;
}

bool attach(GLState& state, GLuint framebuffer, GLuint color, GLuint depth, GLenum depthFormat) {
  state.bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
  if (depth) {
    const GLenum point = depthFormat == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, point, GL_RENDERBUFFER, depth);
  }
  return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

}  // namespace

GLuint makeRenderbuffer(GLenum format, int samples, UINT width, UINT height) {
  GLuint renderbuffer = 0;
  glGenRenderbuffers(1, &renderbuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
  if (samples > 0)
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, static_cast<GLsizei>(width),
                                     static_cast<GLsizei>(height));
  else
    glRenderbufferStorage(GL_RENDERBUFFER, format, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  return renderbuffer;
}

void flipRows(std::uint8_t* pixels, int width, int height, int bytesPerPixel) {
  const std::size_t pitch = static_cast<std::size_t>(width) * bytesPerPixel;
  std::vector<std::uint8_t> row(pitch);
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::uint8_t* a = pixels + top * pitch;
    std::uint8_t* b = pixels + bottom * pitch;
    std::memcpy(row.data(), a, pitch);
    std::memcpy(a, b, pitch);
    std::memcpy(b, row.data(), pitch);
  }
}

bool Device::windowAreaFitsBackBuffer() {
  int drawableW = 0, drawableH = 0;
  SDL_GL_GetDrawableSize(context_->window, &drawableW, &drawableH);
  if (drawableW != static_cast<int>(backBuffer_.width) || drawableH != static_cast<int>(backBuffer_.height))
    return false;
  const VornPresentArea area = VornWin32_PresentArea(window_, drawableW, drawableH);
  return !area.bars && area.x == 0 && area.y == 0 && area.width == drawableW && area.height == drawableH;
}

bool Device::windowFitsBackBuffer(GLenum colorFormat, GLenum depthFormat, int samples) {
  if (samples > 0 || !windowAreaFitsBackBuffer()) return false;
  GLint sampleBuffers = 0;
  glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
  if (sampleBuffers != 0) return false;
  // A depth or alpha channel that Direct3D's formats lack, or more bits
  // than they have, would change what is drawn.
  ChannelBits window{};
  const auto query = [](GLenum attachment, GLenum name) {
    GLint value = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, name, &value);
    return value;
  };
  gl().bindFramebuffer(GL_FRAMEBUFFER, 0);
  window.red = query(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE);
  window.green = query(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE);
  window.blue = query(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE);
  window.alpha = query(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE);
  window.depth = query(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE);
  window.stencil = query(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE);
  while (glGetError() != GL_NO_ERROR) {
  }
  return window == bitsOf(colorFormat, depthFormat);
}

bool Device::createBackBufferObjects(GLenum colorFormat, GLenum depthFormat, int samples) {
  const UINT width = backBuffer_.width, height = backBuffer_.height;
  GLuint single = 0;
  glGenFramebuffers(1, &single);
  if (samples > 0) {
    msColor_ = makeRenderbuffer(colorFormat, samples, width, height);
    if (depthFormat) msDepth_ = makeRenderbuffer(depthFormat, samples, width, height);
    glGenFramebuffers(1, &msFramebuffer_);
    if (!attach(gl(), msFramebuffer_, msColor_, msDepth_, depthFormat)) return false;
    GLint actualSamples = 0;
    glBindRenderbuffer(GL_RENDERBUFFER, msColor_);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &actualSamples);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    if (actualSamples < samples) return false;
    resolveColor_ = makeRenderbuffer(colorFormat, 0, width, height);
    if (!attach(gl(), single, resolveColor_, 0, 0)) return false;
    backBuffer_.framebuffer = msFramebuffer_;
    backBuffer_.readFramebuffer = single;
    backBuffer_.resolveFrom = msFramebuffer_;
  } else {
    backColor_ = makeRenderbuffer(colorFormat, 0, width, height);
    if (depthFormat && !backDepth_) backDepth_ = makeRenderbuffer(depthFormat, 0, width, height);
    if (!attach(gl(), single, backColor_, backDepth_, depthFormat)) return false;
    backBuffer_.framebuffer = single;
    backBuffer_.readFramebuffer = single;
  }
  backBuffer_.bottomUp = false;
  return true;
}

bool Device::leaveWindowBackBuffer() {
  const RenderTarget window = backBuffer_;
  if (!createBackBufferObjects(backColorFormat_, backDepthFormat_, 0)) return false;
  // The picture comes along, turned into the objects' row order (depth is
  // not needed past Present).
  GLState& state = gl();
  state.bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  state.bindFramebuffer(GL_DRAW_FRAMEBUFFER, backBuffer_.framebuffer);
  state.enable(GLState::ScissorTest, false);
  state.colorMask(true, true, true, true);
  const GLint w = static_cast<GLint>(backBuffer_.width), h = static_cast<GLint>(backBuffer_.height);
  glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  if (target_.framebuffer == window.framebuffer && target_.bottomUp) {
    const D3DVIEWPORT9 viewport = viewport_;
    setRenderTarget(backBuffer_);
    viewport_ = viewport;
  }
  stateChanged();
  rasterDirty_ = true;
  return true;
}

}  // namespace vorn::d3d
