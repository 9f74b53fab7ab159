#include "oracle_harness.h"

#include <epoxy/gl.h>

#include <cmath>

#include "bytecode_check.h"
#include "gl_harness.h"

namespace oracle {

namespace {

bool context(std::string* why) { return hlsltest::GlHarness::get(why) != nullptr; }

// Draws the scene's quad with a linked program whose uniforms are set.
bool draw(GLuint program, const Scene& scene, Picture* out, std::string* log) {
  GLuint fbo = 0, target = 0, tex = 0, vao = 0;
  glGenTextures(1, &target);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, scene.size, scene.size, 0, GL_RGBA, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
  if (scene.textureSize) {
    glActiveTexture(GL_TEXTURE0);
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, scene.textureSize, scene.textureSize, 0, GL_RGBA, GL_FLOAT,
                 scene.texture.data());
    const GLint filter = scene.pointSampled ? GL_NEAREST : GL_LINEAR;
    const GLint wrap = scene.clampToEdge ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  }
  glViewport(0, 0, scene.size, scene.size);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glClearColor(-1, -1, -1, -1);
  glClear(GL_COLOR_BUFFER_BIT);
  glUseProgram(program);
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  std::vector<GLuint> buffers;
  for (const auto& [semantic, corners] : scene.vertices) {
    int location = hlsl::attributeLocation(semantic);
    if (location < 0) continue;
    GLuint vbo = 0;
    glGenBuffers(1, &vbo);
    buffers.push_back(vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners.data(), GL_STATIC_DRAW);
    glVertexAttribPointer(static_cast<GLuint>(location), 4, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(static_cast<GLuint>(location));
  }
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  out->size = scene.size;
  out->pixels.assign(static_cast<size_t>(scene.size * scene.size), Float4{});
  glReadPixels(0, 0, scene.size, scene.size, GL_RGBA, GL_FLOAT, out->pixels.data());
  glBindVertexArray(0);
  for (GLuint b : buffers) glDeleteBuffers(1, &b);
  glDeleteVertexArrays(1, &vao);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &target);
  if (tex) glDeleteTextures(1, &tex);
  glDeleteProgram(program);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    *log = "GL error " + std::to_string(err);
    return false;
  }
  return true;
}

void registers(GLuint program, const char* name, const std::vector<Float4>& values) {
  GLint loc = glGetUniformLocation(program, name);
  if (loc >= 0 && !values.empty()) glUniform4fv(loc, static_cast<GLsizei>(values.size()), values[0].data());
}

}  // namespace

bool drawOwn(const hlsl::CompileResult& vs, const hlsl::CompileResult& ps, const Scene& scene, Picture* out,
             std::string* log) {
  if (!context(log)) return false;
  GLuint v = hlsltest::compileGlsl(GL_VERTEX_SHADER, vs.program.glsl, log);
  if (!v) return false;
  GLuint f = hlsltest::compileGlsl(GL_FRAGMENT_SHADER, hlsltest::substituteMissingInputs(vs.program, ps.program), log);
  if (!f) return false;
  GLuint p = hlsltest::linkGlsl(v, f, {}, log);
  if (!p) return false;
  glUseProgram(p);
  registers(p, "vorn_c", scene.vsConstants);
  registers(p, "vorn_pc", scene.psConstants);
  // No pixel-centre shift, no render-target flip: positions as the
  // bytecode's oPos gives them.
  glUniform4f(glGetUniformLocation(p, "vorn_ClipAdjust"), 0, 0, 1, 0);
  glUniform4f(glGetUniformLocation(p, "vorn_PixelAdjust"), 1, 0, 0, 0);
  glUniform4f(glGetUniformLocation(p, "vorn_AlphaTest"), 0, 0, 0, 0);
  GLint s0 = glGetUniformLocation(p, "vorn_s0");
  if (s0 >= 0) glUniform1i(s0, 0);
  return draw(p, scene, out, log);
}

bool drawForeign(const hlsl::CompileResult& vs, const hlsl::CompileResult& ps, const Scene& scene, Picture* out,
                 std::string* log) {
  if (!context(log)) return false;
  hlsltest::ForeignGlsl fv = hlsltest::foreignGlsl(vs.bytecode);
  hlsltest::ForeignGlsl fp = hlsltest::foreignGlsl(ps.bytecode);
  if (!fv.errors.empty() || !fp.errors.empty()) {
    *log = "bytecode not read: " + fv.errors + fp.errors;
    return false;
  }
  GLuint v = hlsltest::compileGlsl(GL_VERTEX_SHADER, fv.glsl, log);
  if (!v) return false;
  GLuint f = hlsltest::compileGlsl(GL_FRAGMENT_SHADER, fp.glsl, log);
  if (!f) return false;
  GLuint p = hlsltest::linkGlsl(v, f, fv.attributes, log);
  if (!p) return false;
  glUseProgram(p);
  for (const auto* foreign : {&fv, &fp}) {
    const std::vector<Float4>& file = foreign == &fv ? scene.vsConstants : scene.psConstants;
    for (const auto& [slot, reg] : foreign->uniforms) {
      GLint loc = glGetUniformLocation(p, slot.c_str());
      if (loc >= 0 && static_cast<size_t>(reg) < file.size()) glUniform4fv(loc, 1, file[static_cast<size_t>(reg)].data());
    }
  }
  GLint s0 = glGetUniformLocation(p, "ps_s0");
  if (s0 >= 0) glUniform1i(s0, 0);
  return draw(p, scene, out, log);
}

float largestDifference(const Picture& a, const Picture& b) {
  if (a.pixels.size() != b.pixels.size()) return INFINITY;
  float worst = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i)
    for (int c = 0; c < 4; ++c) {
      float d = std::fabs(a.pixels[i][static_cast<size_t>(c)] - b.pixels[i][static_cast<size_t>(c)]);
      if (!(d <= worst)) worst = std::isnan(d) ? INFINITY : d;
    }
  return worst;
}

Scene standardScene() {
  Scene s;
  s.vertices["POSITION0"] = {{{-1, -1, 0.5f, 1}, {1, -1, 0.5f, 1}, {-1, 1, 0.5f, 1}, {1, 1, 0.5f, 1}}};
  s.vertices["NORMAL0"] = {{{0.2f, 0.1f, 1, 0}, {-0.6f, 0.3f, 0.7f, 0}, {0.4f, -0.8f, 0.5f, 0}, {0, 0.9f, -0.4f, 0}}};
  s.vertices["TEXCOORD0"] = {{{-0.3f, -0.2f, 0.1f, 1.5f}, {2.7f, -0.1f, 0.6f, -2}, {-0.2f, 3.1f, 0.9f, 0.25f},
                              {2.8f, 2.9f, 0.3f, 3}}};
  s.vertices["TEXCOORD1"] = {{{0, 0.5f, -1, 2}, {0.35f, 0.8f, 0.5f, -1}, {0.7f, 1, 2, 0.5f}, {1, 0.6f, 0, 1}}};
  s.vertices["COLOR0"] = {{{1, 0.2f, 0.1f, 1}, {0.3f, 0.9f, 0.2f, 0.8f}, {0.1f, 0.4f, 1, 0.6f}, {0.9f, 0.9f, 0.9f, 0.4f}}};
  return s;
}

}  // namespace oracle
