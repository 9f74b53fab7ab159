// A shadow of the OpenGL state the Direct3D 9 stand-in sets, one per
// context. Every setter compares with what OpenGL already holds and calls
// OpenGL only on a difference, so a draw costs the calls for what changed
// since the last one and no more. A state starts unknown (the first set
// always reaches OpenGL); invalidate() makes everything unknown again.
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d9/gl_calls.h"

namespace vorn::d3d {

// A value OpenGL holds, or unknown.
template <class T>
struct Shadowed {
  T value{};
  bool known = false;
  // True when the value changed (and must be sent to OpenGL).
  bool update(const T& next) {
    if (known && value == next) return false;
    value = next;
    known = true;
    return true;
  }
};

class GLState {
 public:
  enum Capability {
    DepthTest,
    Blend,
    CullFace,
    ScissorTest,
    PolygonOffsetFill,
    PolygonOffsetLine,
    PolygonOffsetPoint,
    Multisample,
    ProgramPointSize,
    kCapabilityCount
  };
  static constexpr int kTextureUnits = 32;

  void invalidate();

  void enable(Capability capability, bool on);
  void viewport(GLint x, GLint y, GLsizei width, GLsizei height);
  void scissor(GLint x, GLint y, GLsizei width, GLsizei height);
  void depthRange(float nearZ, float farZ);
  void depthFunc(GLenum func);
  void depthMask(bool write);
  void colorMask(bool red, bool green, bool blue, bool alpha);
  void stencilMask(GLuint mask);
  void blendFunc(GLenum source, GLenum destination, GLenum sourceAlpha, GLenum destinationAlpha);
  void blendEquation(GLenum color, GLenum alpha);
  void blendColor(const std::array<float, 4>& color);
  void cullFace(GLenum face);
  void frontFace(GLenum winding);
  void polygonMode(GLenum mode);
  void polygonOffset(float factor, float units);
  void pointSize(float size);
  void pointSpriteOrigin(GLenum origin);
  void clearColor(const std::array<float, 4>& color);
  void clearDepth(double depth);
  void clearStencil(GLint value);

  void useProgram(GLuint program);
  // GL_FRAMEBUFFER binds both the draw and the read framebuffer.
  void bindFramebuffer(GLenum target, GLuint framebuffer);
  void bindVertexArray(GLuint vertexArray);
  void bindArrayBuffer(GLuint buffer);
  void activeTexture(int unit);
  // Binds a texture to a unit; a texture of another target on the unit is
  // unbound first, so a unit never holds a 2D and a cube texture at once.
  void bindTexture(int unit, GLenum target, GLuint texture);
  // What a unit holds (0 when nothing or unknown).
  GLuint boundTexture(int unit) const;

  // OpenGL drops bindings of deleted objects and hands their names out
  // again: forget whatever named them.
  void textureDeleted(GLuint texture);
  void programDeleted(GLuint program);
  void framebufferDeleted(GLuint framebuffer);
  void vertexArrayDeleted(GLuint vertexArray);
  void bufferDeleted(GLuint buffer);

 private:
  struct Unit {
    GLenum target = 0;
    GLuint texture = 0;
    bool known = false;
  };
  Shadowed<bool> capabilities_[kCapabilityCount];
  Shadowed<std::array<GLint, 4>> viewport_, scissor_;
  Shadowed<std::array<float, 2>> depthRange_;
  Shadowed<GLenum> depthFunc_;
  Shadowed<bool> depthMask_;
  Shadowed<std::array<bool, 4>> colorMask_;
  Shadowed<GLuint> stencilMask_;
  Shadowed<std::array<GLenum, 4>> blendFunc_;
  Shadowed<std::array<GLenum, 2>> blendEquation_;
  Shadowed<std::array<float, 4>> blendColor_, clearColor_;
  Shadowed<GLenum> cullFace_, frontFace_, polygonMode_;
  Shadowed<std::array<float, 2>> polygonOffset_;
  Shadowed<float> pointSize_;
  Shadowed<GLenum> pointSpriteOrigin_;
  Shadowed<double> clearDepth_;
  Shadowed<GLint> clearStencil_;
  Shadowed<GLuint> program_, drawFramebuffer_, readFramebuffer_, vertexArray_, arrayBuffer_;
  Shadowed<int> activeUnit_;
  Unit units_[kTextureUnits];
};

}  // namespace vorn::d3d
