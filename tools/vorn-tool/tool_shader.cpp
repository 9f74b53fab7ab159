// vorn-tool shader FILE: what the .nsl reader makes of a shader file, as
// JSON: the vertex and pixel shader texts exactly as the compiler would get
// them, and the vertex profile.
#include <cstdio>
#include <string>
#include <vector>

#include "command_registry.h"
#include "shader/shader_source.h"

namespace {

std::string jsonString(const char* text) {
  std::string out = "\"";
  for (const char* p = text; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          // Bytes outside printable ASCII are written as escapes of their
          // byte value, so the output stays valid JSON whatever the file
          // holds.
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

int runShader(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: vorn-tool shader FILE\n");
    return 2;
  }
  VertexProfile profile;
  std::vector<char> vertexText(SHADER_TEXT_SIZE, '\0');
  std::vector<char> pixelText(SHADER_TEXT_SIZE, '\0');
  std::string problem;
  if (!readShaderSource(args[0].c_str(), &profile, vertexText.data(), pixelText.data(), &problem)) {
    std::fprintf(stderr, "vorn-tool shader: '%s': %s\n", args[0].c_str(), problem.c_str());
    return 1;
  }
  // What the reader lost does not stop the dump, which shows what is left.
  if (!problem.empty()) std::fprintf(stderr, "vorn-tool shader: '%s': %s\n", args[0].c_str(), problem.c_str());
  std::string out = "{\"vs\": " + jsonString(vertexText.data()) + ", \"ps\": " + jsonString(pixelText.data()) +
                    ", \"profile\": {\"count\": " + std::to_string(profile.count) +
                    ", \"stride\": " + std::to_string(profile.stride) + ", \"elements\": [";
  for (std::size_t i = 0; i < profile.elements.size(); ++i) {
    const VertexProfileElement& e = profile.elements[i];
    if (i) out += ", ";
    out += "{\"offset\": " + std::to_string(e.offset) + ", \"components\": " + std::to_string(e.components) +
           ", \"usage\": " + std::to_string(e.usage) + ", \"usageIndex\": " + std::to_string(e.usageIndex) + "}";
  }
  out += "]}}\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}

tools::Command command("shader", "shader FILE", runShader);

}  // namespace
