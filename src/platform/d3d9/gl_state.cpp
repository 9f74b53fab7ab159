#include "platform/d3d9/gl_state.h"

namespace vorn::d3d {

namespace {

constexpr GLenum kCapabilityNames[GLState::kCapabilityCount] = {
    GL_DEPTH_TEST,          GL_BLEND,          GL_CULL_FACE,   GL_SCISSOR_TEST,        GL_POLYGON_OFFSET_FILL,
    GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT, GL_MULTISAMPLE, GL_PROGRAM_POINT_SIZE,
};

}  // namespace

void GLState::invalidate() { *this = GLState(); }

void GLState::enable(Capability capability, bool on) {
  if (!capabilities_[capability].update(on)) return;
  if (on) glEnable(kCapabilityNames[capability]);
  else glDisable(kCapabilityNames[capability]);
}

void GLState::viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  if (viewport_.update({x, y, width, height})) glViewport(x, y, width, height);
}

void GLState::scissor(GLint x, GLint y, GLsizei width, GLsizei height) {
  if (scissor_.update({x, y, width, height})) glScissor(x, y, width, height);
}

void GLState::depthRange(float nearZ, float farZ) {
  if (depthRange_.update({nearZ, farZ})) glDepthRange(nearZ, farZ);
}

void GLState::depthFunc(GLenum func) {
  if (depthFunc_.update(func)) glDepthFunc(func);
}

void GLState::depthMask(bool write) {
  if (depthMask_.update(write)) glDepthMask(write ? GL_TRUE : GL_FALSE);
}

void GLState::colorMask(bool red, bool green, bool blue, bool alpha) {
  if (colorMask_.update({red, green, blue, alpha})) glColorMask(red, green, blue, alpha);
}

void GLState::stencilMask(GLuint mask) {
  if (stencilMask_.update(mask)) glStencilMask(mask);
}

void GLState::blendFunc(GLenum source, GLenum destination, GLenum sourceAlpha, GLenum destinationAlpha) {
  if (blendFunc_.update({source, destination, sourceAlpha, destinationAlpha}))
    glBlendFuncSeparate(source, destination, sourceAlpha, destinationAlpha);
}

void GLState::blendEquation(GLenum color, GLenum alpha) {
  if (blendEquation_.update({color, alpha})) glBlendEquationSeparate(color, alpha);
}

void GLState::blendColor(const std::array<float, 4>& color) {
  if (blendColor_.update(color)) glBlendColor(color[0], color[1], color[2], color[3]);
}

void GLState::cullFace(GLenum face) {
  if (cullFace_.update(face)) glCullFace(face);
}

void GLState::frontFace(GLenum winding) {
  if (frontFace_.update(winding)) glFrontFace(winding);
}

void GLState::polygonMode(GLenum mode) {
  if (polygonMode_.update(mode)) glPolygonMode(GL_FRONT_AND_BACK, mode);
}

void GLState::polygonOffset(float factor, float units) {
  if (polygonOffset_.update({factor, units})) glPolygonOffset(factor, units);
}

void GLState::pointSize(float size) {
  if (pointSize_.update(size)) glPointSize(size);
}

void GLState::pointSpriteOrigin(GLenum origin) {
  if (pointSpriteOrigin_.update(origin)) glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, origin);
}

void GLState::clearColor(const std::array<float, 4>& color) {
  if (clearColor_.update(color)) glClearColor(color[0], color[1], color[2], color[3]);
}

void GLState::clearDepth(double depth) {
  if (clearDepth_.update(depth)) glClearDepth(depth);
}

void GLState::clearStencil(GLint value) {
  if (clearStencil_.update(value)) glClearStencil(value);
}

void GLState::useProgram(GLuint program) {
  if (program_.update(program)) glUseProgram(program);
}

void GLState::bindFramebuffer(GLenum target, GLuint framebuffer) {
  if (target == GL_FRAMEBUFFER) {
    if (drawFramebuffer_.known && readFramebuffer_.known && drawFramebuffer_.value == framebuffer &&
        readFramebuffer_.value == framebuffer)
      return;
    drawFramebuffer_.update(framebuffer);
    readFramebuffer_.update(framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  } else if (target == GL_DRAW_FRAMEBUFFER) {
    if (drawFramebuffer_.update(framebuffer)) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  } else if (readFramebuffer_.update(framebuffer)) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  }
}

void GLState::bindVertexArray(GLuint vertexArray) {
  if (vertexArray_.update(vertexArray)) glBindVertexArray(vertexArray);
}

void GLState::bindArrayBuffer(GLuint buffer) {
  if (arrayBuffer_.update(buffer)) glBindBuffer(GL_ARRAY_BUFFER, buffer);
}

void GLState::activeTexture(int unit) {
  if (activeUnit_.update(unit)) glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
}

void GLState::bindTexture(int unit, GLenum target, GLuint texture) {
  Unit& u = units_[unit];
  if (u.known && u.target == target && u.texture == texture) return;
  activeTexture(unit);
  if (u.known && u.target != target && u.texture != 0) glBindTexture(u.target, 0);
  glBindTexture(target, texture);
  u.target = target;
  u.texture = texture;
  u.known = true;
}

GLuint GLState::boundTexture(int unit) const { return units_[unit].known ? units_[unit].texture : 0; }

void GLState::textureDeleted(GLuint texture) {
  // OpenGL unbinds it from every unit of the current context.
  for (Unit& u : units_)
    if (u.texture == texture) u.texture = 0;
}

void GLState::programDeleted(GLuint program) {
  if (program_.value == program) program_.known = false;
}

void GLState::framebufferDeleted(GLuint framebuffer) {
  if (drawFramebuffer_.value == framebuffer) drawFramebuffer_.known = false;
  if (readFramebuffer_.value == framebuffer) readFramebuffer_.known = false;
}

void GLState::vertexArrayDeleted(GLuint vertexArray) {
  if (vertexArray_.value == vertexArray) vertexArray_.known = false;
}

void GLState::bufferDeleted(GLuint buffer) {
  if (arrayBuffer_.value == buffer) arrayBuffer_.known = false;
}

}  // namespace vorn::d3d
