#include "platform/d3d9/programs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vorn::d3d {

namespace {

bool isIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Replaces whole-identifier occurrences of `from`.
std::string renameIdentifier(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  out.reserve(text.size() + 64);
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, from.size(), from) == 0 && (i == 0 || !isIdentifierChar(text[i - 1])) &&
        (i + from.size() >= text.size() || !isIdentifierChar(text[i + from.size()]))) {
      out += to;
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

const std::vector<std::string>& fixedVertexOutputs() {
  static const std::vector<std::string> outputs = {"COLOR0",    "COLOR1",    "TEXCOORD0", "TEXCOORD1", "TEXCOORD2",
                                                   "TEXCOORD3", "TEXCOORD4", "TEXCOORD5", "TEXCOORD6", "TEXCOORD7"};
  return outputs;
}

std::vector<std::string> outputsOf(const hlsl::Program& program) {
  std::vector<std::string> names;
  for (const hlsl::Varying& v : program.outputs) names.push_back(v.semantic);
  return names;
}

bool debugEnabled() {
  static const bool enabled = std::getenv("VORN_GL_DEBUG") != nullptr;
  return enabled;
}

}  // namespace

std::string preparePixelSource(const std::string& glsl, const hlsl::Program& pixel,
                               const std::vector<std::string>& vertexOutputs) {
  std::string text = renameIdentifier(glsl, "vorn_c", "vorn_pc");
  std::vector<std::string> missing;
  for (const hlsl::Varying& input : pixel.inputs) {
    if (std::find(vertexOutputs.begin(), vertexOutputs.end(), input.semantic) == vertexOutputs.end())
      missing.push_back(hlsl::varyingName(input.semantic));
  }
  if (missing.empty()) return text;
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string lineText = text.substr(start, end - start);
    const std::string t = trim(lineText);
    for (const std::string& name : missing) {
      if (t == "in vec4 " + name + ";") {
        lineText = "const vec4 " + name + " = vec4(0.0);";
        break;
      }
    }
    out += lineText;
    if (end < text.size()) out += '\n';
    start = end + 1;
  }
  return out;
}

void ProgramCache::release(GLState& state) {
  for (auto& [key, program] : programs_) {
    if (!program->program) continue;
    glDeleteProgram(program->program);
    state.programDeleted(program->program);
  }
  for (auto& [key, shader] : shaders_)
    if (shader) glDeleteShader(shader);
  programs_.clear();
  shaders_.clear();
}

void ProgramCache::forgetShader(std::uint64_t shaderId, GLState& state) {
  auto uses = [shaderId](const ProgramKey& key) { return key.vertexShader == shaderId || key.pixelShader == shaderId; };
  for (auto it = programs_.begin(); it != programs_.end();) {
    if (uses(it->first)) {
      if (it->second->program) {
        glDeleteProgram(it->second->program);
        state.programDeleted(it->second->program);
      }
      it = programs_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = shaders_.begin(); it != shaders_.end();) {
    if (uses(it->first)) {
      if (it->second) glDeleteShader(it->second);
      it = shaders_.erase(it);
    } else {
      ++it;
    }
  }
}

GLuint ProgramCache::shaderObject(const ProgramKey& key, GLenum stage, const std::string& source, std::string* log) {
  auto found = shaders_.find(key);
  if (found != shaders_.end()) return found->second;
  GLuint shader = glCreateShader(stage);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint status = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
  if (!status) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string info(static_cast<std::size_t>(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, length, nullptr, info.data());
    *log += (stage == GL_VERTEX_SHADER ? "vertex: " : "pixel: ") + std::string(info.c_str()) + "\n";
    if (debugEnabled()) std::fprintf(stderr, "GLSL compile failure:\n%s\n%s\n", info.c_str(), source.c_str());
    glDeleteShader(shader);
    shader = 0;
  }
  shaders_[key] = shader;
  return shader;
}

namespace {

// The uniform a program's active uniform of this name feeds, or null.
CachedUniform* uniformNamed(LinkedProgram* p, const std::string& name) {
  static const struct {
    const char* name;
    CachedUniform LinkedProgram::*member;
  } table[] = {
      {"vorn_ClipAdjust", &LinkedProgram::clipAdjust},    {"vorn_PixelAdjust", &LinkedProgram::pixelAdjust},
      {"vorn_AlphaTest", &LinkedProgram::alphaTest},      {"vorn_ff_WorldView", &LinkedProgram::worldView},
      {"vorn_ff_Projection", &LinkedProgram::projection}, {"vorn_ff_Viewport", &LinkedProgram::viewport},
      {"vorn_ff_DepthRange", &LinkedProgram::depthRange}, {"vorn_ff_Fog", &LinkedProgram::fog},
      {"vorn_ff_Point", &LinkedProgram::point},           {"vorn_ff_PointScale", &LinkedProgram::pointScale},
      {"vorn_ff_TFactor", &LinkedProgram::tfactor},       {"vorn_ff_FogColor", &LinkedProgram::fogColor},
      {"vorn_ff_AlphaRef", &LinkedProgram::alphaRef},     {"vorn_ff_StageConstant", &LinkedProgram::stageConstants},
  };
  for (const auto& entry : table)
    if (name == entry.name) return &(p->*entry.member);
  return nullptr;
}

// Finds the locations of the uniforms the program really uses (the
// compiler drops the others), and points sampler register sN at texture
// unit N.
void locateUniforms(GLuint program, LinkedProgram* p, GLState& state) {
  GLint count = 0;
  glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
  for (GLint i = 0; i < count; ++i) {
    char buffer[64];
    GLsizei length = 0;
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(program, static_cast<GLuint>(i), sizeof buffer, &length, &size, &type, buffer);
    std::string name(buffer, static_cast<std::size_t>(std::max<GLsizei>(length, 0)));
    if (name.size() > 3 && name.compare(name.size() - 3, 3, "[0]") == 0) name.resize(name.size() - 3);
    const GLint location = glGetUniformLocation(program, name.c_str());
    if (name == "vorn_c") {
      p->vertexRegisters = location;
    } else if (name == "vorn_pc") {
      p->pixelRegisters = location;
    } else if (name.rfind("vorn_s", 0) == 0 && name.size() > 6 && std::isdigit(static_cast<unsigned char>(name[6]))) {
      const int unit = std::atoi(name.c_str() + 6);
      if (unit < 0 || unit >= 16) continue;
      state.useProgram(program);
      glUniform1i(location, unit);
      p->samplerUnits |= static_cast<std::uint16_t>(1u << unit);
    } else if (CachedUniform* uniform = uniformNamed(p, name)) {
      uniform->location = location;
    }
  }
}

}  // namespace

LinkedProgram* ProgramCache::get(const ProgramKey& key, const ShaderCode* vertexShader, const ShaderCode* pixelShader,
                                 GLState& state) {
  auto found = programs_.find(key);
  if (found != programs_.end()) return found->second.get();

  auto linked = std::make_unique<LinkedProgram>();
  LinkedProgram* p = linked.get();
  programs_[key] = std::move(linked);
  p->fixedVertex = vertexShader == nullptr;
  p->fixedPixel = pixelShader == nullptr;

  // The shader objects: a vertex part alone, and a pixel part with what it
  // depends on (a compiled pixel shader's source depends on what the vertex
  // part writes, which is the same for every fixed-function vertex part).
  ProgramKey vertexKey;
  vertexKey.part = 1;
  vertexKey.vertexShader = key.vertexShader;
  if (!vertexShader) vertexKey.ffVertex = key.ffVertex;
  ProgramKey pixelKey;
  pixelKey.part = 2;
  pixelKey.pixelShader = key.pixelShader;
  if (pixelShader) pixelKey.vertexShader = key.vertexShader;
  else pixelKey.ffPixel = key.ffPixel;

  std::string log;
  const std::string vertexSource = vertexShader ? vertexShader->program.glsl : generateFixedVertexShader(key.ffVertex);
  std::string pixelSource;
  if (pixelShader) {
    const std::vector<std::string> outputs = vertexShader ? outputsOf(vertexShader->program) : fixedVertexOutputs();
    pixelSource = preparePixelSource(pixelShader->program.glsl, pixelShader->program, outputs);
  } else {
    pixelSource = generateFixedPixelShader(key.ffPixel);
  }
  GLuint vs = shaderObject(vertexKey, GL_VERTEX_SHADER, vertexSource, &log);
  GLuint fs = shaderObject(pixelKey, GL_FRAGMENT_SHADER, pixelSource, &log);
  if (!vs || !fs) {
    p->log = log;
    lastError_ = log;
    return p;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glBindFragDataLocation(program, 0, "vorn_Color0");
  glLinkProgram(program);
  glDetachShader(program, vs);
  glDetachShader(program, fs);
  GLint status = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (!status) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string info(static_cast<std::size_t>(std::max(length, 1)), '\0');
    glGetProgramInfoLog(program, length, nullptr, info.data());
    p->log = "link: " + std::string(info.c_str());
    lastError_ = p->log;
    if (debugEnabled())
      std::fprintf(stderr, "GLSL link failure:\n%s\n--- vertex\n%s\n--- pixel\n%s\n", info.c_str(),
                   vertexSource.c_str(), pixelSource.c_str());
    glDeleteProgram(program);
    return p;
  }
  p->program = program;
  p->ok = true;
  p->vertexRegisterCount = vertexShader ? vertexShader->program.floatRegisterCount : 0;
  p->pixelRegisterCount = pixelShader ? pixelShader->program.floatRegisterCount : 0;
  locateUniforms(program, p, state);
  return p;
}

}  // namespace vorn::d3d
