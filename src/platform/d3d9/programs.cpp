#include "platform/d3d9/programs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vorn::d3d {

namespace {

void appendBytes(std::string& key, const void* data, std::size_t size) {
  key.append(static_cast<const char*>(data), size);
}

std::string vertexKeyBytes(const FFVertexKey& k) {
  std::string key = "FV";
  const std::uint8_t bytes[] = {k.pretransformed, k.hasPointSize, k.points, k.pointScale,
                                static_cast<std::uint8_t>(k.fog), k.rangeFog, k.flat};
  appendBytes(key, bytes, sizeof bytes);
  return key;
}

std::string pixelKeyBytes(const FFPixelKey& k) {
  std::string key = "FP";
  key += static_cast<char>(k.stageCount);
  for (int i = 0; i < k.stageCount; ++i) {
    const FFStage& s = k.stages[i];
    const std::uint8_t bytes[] = {s.colorOp, s.colorArg0, s.colorArg1, s.colorArg2, s.alphaOp, s.alphaArg0,
                                  s.alphaArg1, s.alphaArg2, s.resultTemp, s.texcoordIndex, s.texture};
    appendBytes(key, bytes, sizeof bytes);
  }
  const std::uint8_t bytes[] = {k.alphaFunc, static_cast<std::uint8_t>(k.fog), k.fogUsesW, k.specularAdd,
                                k.pointSprite, k.flat};
  appendBytes(key, bytes, sizeof bytes);
  appendBytes(key, &k.available, sizeof k.available);
  return key;
}

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

void ProgramCache::release() {
  for (auto& [key, program] : programs_)
    if (program->program) glDeleteProgram(program->program);
  for (auto& [key, shader] : shaders_)
    if (shader) glDeleteShader(shader);
  programs_.clear();
  shaders_.clear();
}

void ProgramCache::forgetShader(std::uint64_t shaderId) {
  const std::string marker = "#" + std::to_string(shaderId) + "#";
  for (auto it = programs_.begin(); it != programs_.end();) {
    if (it->first.find(marker) != std::string::npos) {
      if (it->second->program) glDeleteProgram(it->second->program);
      it = programs_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = shaders_.begin(); it != shaders_.end();) {
    if (it->first.find(marker) != std::string::npos) {
      if (it->second) glDeleteShader(it->second);
      it = shaders_.erase(it);
    } else {
      ++it;
    }
  }
}

GLuint ProgramCache::shaderObject(const std::string& cacheKey, GLenum stage, const std::string& source,
                                  std::string* log) {
  auto found = shaders_.find(cacheKey);
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
  shaders_[cacheKey] = shader;
  return shader;
}

LinkedProgram* ProgramCache::get(const ProgramKey& key) {
  // Cache keys name compiled shaders by "#id#" so forgetShader can find them.
  const std::string vertexPart = key.vertexShader ? "V#" + std::to_string(key.vertexShader->id) + "#"
                                                  : vertexKeyBytes(key.ffVertex);
  const std::string pixelPart =
      key.pixelShader ? "P#" + std::to_string(key.pixelShader->id) + "#" : pixelKeyBytes(key.ffPixel);
  // A compiled pixel shader's source depends on what the vertex part writes.
  std::string pixelSourceKey = pixelPart;
  if (key.pixelShader) pixelSourceKey += key.vertexShader ? vertexPart : "ff";
  const std::string programKey = vertexPart + "|" + pixelPart;
  auto found = programs_.find(programKey);
  if (found != programs_.end()) return found->second.get();

  auto linked = std::make_unique<LinkedProgram>();
  LinkedProgram* p = linked.get();
  programs_[programKey] = std::move(linked);
  p->fixedVertex = key.vertexShader == nullptr;
  p->fixedPixel = key.pixelShader == nullptr;

  std::string log;
  const std::string vertexSource =
      key.vertexShader ? key.vertexShader->program.glsl : generateFixedVertexShader(key.ffVertex);
  std::string pixelSource;
  if (key.pixelShader) {
    const std::vector<std::string> outputs =
        key.vertexShader ? outputsOf(key.vertexShader->program) : fixedVertexOutputs();
    pixelSource = preparePixelSource(key.pixelShader->program.glsl, key.pixelShader->program, outputs);
  } else {
    pixelSource = generateFixedPixelShader(key.ffPixel);
  }
  GLuint vs = shaderObject(vertexPart, GL_VERTEX_SHADER, vertexSource, &log);
  GLuint fs = shaderObject(pixelSourceKey, GL_FRAGMENT_SHADER, pixelSource, &log);
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
  auto location = [&](const char* name) { return glGetUniformLocation(program, name); };
  p->vertexRegisters = location("vorn_c");
  p->pixelRegisters = location("vorn_pc");
  p->vertexRegisterCount = key.vertexShader ? key.vertexShader->program.floatRegisterCount : 0;
  p->pixelRegisterCount = key.pixelShader ? key.pixelShader->program.floatRegisterCount : 0;
  p->clipAdjust = location("vorn_ClipAdjust");
  p->pixelAdjust = location("vorn_PixelAdjust");
  p->alphaTest = location("vorn_AlphaTest");
  p->worldView = location("vorn_ff_WorldView");
  p->projection = location("vorn_ff_Projection");
  p->viewport = location("vorn_ff_Viewport");
  p->depthRange = location("vorn_ff_DepthRange");
  p->fog = location("vorn_ff_Fog");
  p->point = location("vorn_ff_Point");
  p->pointScale = location("vorn_ff_PointScale");
  p->tfactor = location("vorn_ff_TFactor");
  p->fogColor = location("vorn_ff_FogColor");
  p->alphaRef = location("vorn_ff_AlphaRef");
  p->stageConstants = location("vorn_ff_StageConstant");
  // Sampler register sN reads texture unit N.
  glUseProgram(program);
  for (int unit = 0; unit < 16; ++unit) {
    const std::string name = "vorn_s" + std::to_string(unit);
    GLint sampler = location(name.c_str());
    if (sampler >= 0) glUniform1i(sampler, unit);
  }
  return p;
}

}  // namespace vorn::d3d
