#include "gl_harness.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cctype>
#include <cstdlib>

namespace hlsltest {

unsigned compileGlsl(unsigned type, const std::string& source, std::string* log) {
  GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char buf[4096] = {};
    glGetShaderInfoLog(shader, sizeof buf, nullptr, buf);
    if (log) *log = std::string(buf) + "\n--- source ---\n" + source;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

unsigned linkGlsl(unsigned v, unsigned f, const std::vector<std::pair<std::string, int>>& attributes,
                  std::string* log) {
  GLuint p = glCreateProgram();
  glAttachShader(p, v);
  glAttachShader(p, f);
  for (const auto& [name, location] : attributes)
    if (location >= 0) glBindAttribLocation(p, static_cast<GLuint>(location), name.c_str());
  glLinkProgram(p);
  glDeleteShader(v);
  glDeleteShader(f);
  GLint ok = 0;
  glGetProgramiv(p, GL_LINK_STATUS, &ok);
  if (!ok) {
    char buf[4096] = {};
    glGetProgramInfoLog(p, sizeof buf, nullptr, buf);
    if (log) *log = std::string("link: ") + buf;
    glDeleteProgram(p);
    return 0;
  }
  return p;
}

std::string renameIdentifier(const std::string& text, const std::string& from, const std::string& to) {
  auto identChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, from.size(), from) == 0 && (i == 0 || !identChar(text[i - 1])) &&
        (i + from.size() >= text.size() || !identChar(text[i + from.size()]))) {
      out += to;
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string substituteMissingInputs(const hlsl::Program& vs, const hlsl::Program& ps) {
  // The two stages have register files of their own.
  std::string text = renameIdentifier(ps.glsl, "vorn_c", "vorn_pc");
  for (const hlsl::Varying& in : ps.inputs) {
    bool written = false;
    for (const hlsl::Varying& out : vs.outputs) written = written || out.semantic == in.semantic;
    if (written) continue;
    std::string name = hlsl::varyingName(in.semantic);
    std::string line = "in vec4 " + name + ";";
    size_t at = text.find("\n" + line + "\n");
    if (at != std::string::npos) text.replace(at + 1, line.size(), "const vec4 " + name + " = vec4(0.0);");
  }
  return text;
}

GlHarness* GlHarness::get(std::string* why) {
  static GlHarness* harness = nullptr;
  static std::string reason;
  static bool tried = false;
  if (!tried) {
    tried = true;
    auto* h = new GlHarness();
    if (h->init(&reason)) {
      harness = h;
    } else {
      delete h;
    }
  }
  if (!harness && why) *why = reason;
  return harness;
}

bool GlHarness::init(std::string* why) {
  if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    *why = std::string("SDL_Init: ") + SDL_GetError();
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_Window* window = SDL_CreateWindow("hlsl test", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) {
    *why = std::string("SDL_CreateWindow: ") + SDL_GetError();
    return false;
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    *why = std::string("SDL_GL_CreateContext: ") + SDL_GetError();
    SDL_DestroyWindow(window);
    return false;
  }
  window_ = window;
  context_ = context;
  hlsl::CompileResult vs = hlsl::compile(
      "float4 main(float4 p : POSITION, float2 uv : TEXCOORD0, out float2 o : TEXCOORD0) : POSITION\n"
      "{ o = uv; return p; }\n",
      "main", "vs_2_0");
  if (!vs.ok) {
    *why = "pass-through vertex shader: " + vs.messages;
    return false;
  }
  quadVs_ = vs;
  return true;
}

bool GlHarness::compiles(const hlsl::Program& program, std::string* log) {
  GLuint s = compileGlsl(program.stage == hlsl::Stage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER,
                         program.glsl, log);
  if (s) glDeleteShader(s);
  return s != 0;
}

unsigned GlHarness::program(const hlsl::Program& vs, const hlsl::Program& ps, std::string* log) {
  GLuint v = compileGlsl(GL_VERTEX_SHADER, vs.glsl, log);
  if (!v) return 0;
  GLuint f = compileGlsl(GL_FRAGMENT_SHADER, substituteMissingInputs(vs, ps), log);
  if (!f) {
    glDeleteShader(v);
    return 0;
  }
  return linkGlsl(v, f, {}, log);
}

bool GlHarness::links(const hlsl::Program& vs, const hlsl::Program& ps, std::string* log) {
  GLuint p = program(vs, ps, log);
  if (p) glDeleteProgram(p);
  return p != 0;
}

std::vector<Float4> GlHarness::runPixelShader(const hlsl::Program& ps, const Run& run, std::string* log) {
  GLuint prog = program(run.vs ? *run.vs : quadVs_.program, ps, log);
  if (!prog) return {};
  GLuint fbo = 0, target = 0, tex = 0, vao = 0, vbo = 0;
  glGenTextures(1, &target);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 4, 4, 0, GL_RGBA, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
  if (!run.texture.empty()) {
    glActiveTexture(GL_TEXTURE0);
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 2, 2, 0, GL_RGBA, GL_FLOAT, run.texture.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glViewport(0, 0, 4, 4);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glClearColor(-1, -1, -1, -1);
  glClear(GL_COLOR_BUFFER_BIT);
  glUseProgram(prog);
  if (!run.constants.empty()) {
    GLint loc = glGetUniformLocation(prog, "vorn_pc");
    if (loc >= 0) glUniform4fv(loc, static_cast<GLsizei>(run.constants.size()), run.constants[0].data());
  }
  GLint s0 = glGetUniformLocation(prog, "vorn_s0");
  if (s0 >= 0) glUniform1i(s0, 0);
  if (!run.vsConstants.empty()) {
    GLint loc = glGetUniformLocation(prog, "vorn_c");
    if (loc >= 0) glUniform4fv(loc, static_cast<GLsizei>(run.vsConstants.size()), run.vsConstants[0].data());
  }
  glUniform4fv(glGetUniformLocation(prog, "vorn_ClipAdjust"), 1, run.clipAdjust.data());
  glUniform4f(glGetUniformLocation(prog, "vorn_PixelAdjust"), run.pixelAdjust, 0, 0, 0);
  glUniform4fv(glGetUniformLocation(prog, "vorn_AlphaTest"), 1, run.alphaTest.data());
  // A full-screen triangle; position then texture coordinate.
  const float verts[] = {-1, -1, 0, 1, 0, 0, 3, -1, 0, 1, 2, 0, -1, 3, 0, 1, 0, 2};
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, sizeof verts, verts, GL_STATIC_DRAW);
  glVertexAttribPointer(static_cast<GLuint>(hlsl::attributeLocation("POSITION0")), 4, GL_FLOAT, GL_FALSE,
                        6 * sizeof(float), nullptr);
  glEnableVertexAttribArray(static_cast<GLuint>(hlsl::attributeLocation("POSITION0")));
  glVertexAttribPointer(static_cast<GLuint>(hlsl::attributeLocation("TEXCOORD0")), 2, GL_FLOAT, GL_FALSE,
                        6 * sizeof(float), reinterpret_cast<void*>(4 * sizeof(float)));
  glEnableVertexAttribArray(static_cast<GLuint>(hlsl::attributeLocation("TEXCOORD0")));
  glDrawArrays(GL_TRIANGLES, 0, 3);
  std::vector<Float4> pixels(16);
  glReadPixels(0, 0, 4, 4, GL_RGBA, GL_FLOAT, pixels.data());
  glBindVertexArray(0);
  glDeleteBuffers(1, &vbo);
  glDeleteVertexArrays(1, &vao);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &target);
  if (tex) glDeleteTextures(1, &tex);
  glDeleteProgram(prog);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    if (log) *log = "GL error " + std::to_string(err);
    return {};
  }
  return pixels;
}

}  // namespace hlsltest
