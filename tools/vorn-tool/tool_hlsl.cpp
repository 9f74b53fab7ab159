// vorn-tool hlsl: compiles an HLSL file and prints the GLSL and the constant
// table as JSON, or the compiler's messages.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "command_registry.h"
#include "platform/hlsl/hlsl.h"

namespace {

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;  // UTF-8 passes through
        }
    }
  }
  return out + "\"";
}

const char* className(hlsl::Constant::Class c) {
  switch (c) {
    case hlsl::Constant::Class::Scalar: return "scalar";
    case hlsl::Constant::Class::Vector: return "vector";
    case hlsl::Constant::Class::Matrix: return "matrix";
    case hlsl::Constant::Class::Sampler: return "sampler";
  }
  return "scalar";
}

int run(const std::vector<std::string>& args) {
  std::string file, profile, entry = "main";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--profile" && i + 1 < args.size()) {
      profile = args[++i];
    } else if (args[i] == "--entry" && i + 1 < args.size()) {
      entry = args[++i];
    } else if (file.empty() && args[i].compare(0, 2, "--") != 0) {
      file = args[i];
    } else {
      std::fprintf(stderr, "hlsl: unexpected argument '%s'\n", args[i].c_str());
      return 2;
    }
  }
  if (file.empty() || profile.empty()) {
    std::fprintf(stderr, "usage: vorn-tool hlsl FILE --profile vs_2_0|ps_2_0 [--entry main]\n");
    return 2;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "hlsl: cannot open '%s'\n", file.c_str());
    return 1;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  hlsl::CompileResult result = hlsl::compile(buffer.str(), entry, profile);
  if (!result.ok) {
    std::fputs(result.messages.c_str(), stderr);
    return 1;
  }
  if (!result.messages.empty()) std::fputs(result.messages.c_str(), stderr);  // warnings
  std::string out = "{\"glsl\": " + jsonString(result.program.glsl) + ", \"constants\": [";
  for (size_t i = 0; i < result.program.constants.size(); ++i) {
    const hlsl::Constant& c = result.program.constants[i];
    out += (i ? ", " : "") + std::string("{\"name\": ") + jsonString(c.name) +
           ", \"register\": " + std::to_string(c.registerIndex) + ", \"class\": \"" + className(c.cls) +
           "\", \"rows\": " + std::to_string(c.rows) + ", \"columns\": " + std::to_string(c.columns) + "}";
  }
  out += "]}\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}

tools::Command command("hlsl", "hlsl FILE --profile vs_2_0|ps_2_0 [--entry main]", run);

}  // namespace
