#include "bytecode_check.h"

#include <mojoshader.h>

#include <regex>

#include "platform/hlsl/hlsl.h"
#include "shader/shader_source.h"

namespace hlsltest {

namespace {

const MOJOSHADER_parseData* parse(const std::vector<std::uint32_t>& bytecode, const char* profile) {
  return MOJOSHADER_parse(profile, "main", reinterpret_cast<const unsigned char*>(bytecode.data()),
                          static_cast<unsigned>(bytecode.size() * sizeof(std::uint32_t)), nullptr, 0, nullptr, 0,
                          nullptr, nullptr, nullptr);
}

std::string errorsOf(const MOJOSHADER_parseData* data) {
  std::string out;
  for (int i = 0; i < data->error_count; ++i)
    out += std::string(data->errors[i].error ? data->errors[i].error : "?") + " (at byte " +
           std::to_string(data->errors[i].error_position) + ")\n";
  return out;
}

std::string semanticOf(MOJOSHADER_usage usage, int index) {
  switch (usage) {
    case MOJOSHADER_USAGE_POSITION: return "POSITION" + std::to_string(index);
    case MOJOSHADER_USAGE_NORMAL: return "NORMAL" + std::to_string(index);
    case MOJOSHADER_USAGE_TEXCOORD: return "TEXCOORD" + std::to_string(index);
    case MOJOSHADER_USAGE_COLOR: return "COLOR" + std::to_string(index);
    case MOJOSHADER_USAGE_TANGENT: return "TANGENT" + std::to_string(index);
    case MOJOSHADER_USAGE_BINORMAL: return "BINORMAL" + std::to_string(index);
    case MOJOSHADER_USAGE_POINTSIZE: return "PSIZE" + std::to_string(index);
    case MOJOSHADER_USAGE_BLENDWEIGHT: return "BLENDWEIGHT" + std::to_string(index);
    default: return "";
  }
}

}  // namespace

std::string bytecodeErrors(const std::vector<std::uint32_t>& bytecode) {
  const MOJOSHADER_parseData* data = parse(bytecode, MOJOSHADER_PROFILE_GLSL120);
  std::string out = errorsOf(data);
  MOJOSHADER_freeParseData(data);
  return out + ruleViolations(bytecode);
}

std::string shaderFileErrors(const std::string& path) {
  VertexProfile profile;
  std::vector<char> vs(SHADER_TEXT_SIZE, '\0'), ps(SHADER_TEXT_SIZE, '\0');
  if (!readShaderSource(path.c_str(), &profile, vs.data(), ps.data())) return path + ": cannot be read\n";
  std::string out;
  for (const auto& [text, stage] : {std::pair{vs.data(), "vs_2_0"}, std::pair{ps.data(), "ps_2_0"}}) {
    hlsl::CompileResult r = hlsl::compile(text, "main", stage);
    std::string errors = r.ok ? bytecodeErrors(r.bytecode) : "";
    if (!errors.empty()) out += path + " (" + stage + "): " + errors;
  }
  return out;
}

ForeignGlsl foreignGlsl(const std::vector<std::uint32_t>& bytecode) {
  ForeignGlsl out;
  const MOJOSHADER_parseData* data = parse(bytecode, MOJOSHADER_PROFILE_GLSL120);
  out.errors = errorsOf(data);
  if (data->output) out.glsl.assign(data->output, static_cast<size_t>(data->output_len));
  for (int i = 0; i < data->attribute_count; ++i) {
    const MOJOSHADER_attribute& a = data->attributes[i];
    if (!a.name) continue;
    out.attributes.push_back({a.name, hlsl::attributeLocation(semanticOf(a.usage, a.index))});
  }
  MOJOSHADER_freeParseData(data);
  // "#define vs_c8 vs_uniforms_vec4[7]": which array slot holds which register.
  static const std::regex slot(R"(#define [vp]s_c(\d+) ([vp]s_uniforms_vec4)\[(\d+)\])");
  for (auto it = std::sregex_iterator(out.glsl.begin(), out.glsl.end(), slot); it != std::sregex_iterator(); ++it)
    out.uniforms.push_back({(*it)[2].str() + "[" + (*it)[3].str() + "]", std::stoi((*it)[1].str())});
  return out;
}

}  // namespace hlsltest
