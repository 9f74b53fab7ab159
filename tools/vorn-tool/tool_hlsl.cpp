// vorn-tool hlsl: compiles an HLSL file (or the section of a .nsl shader file
// that the profile's stage names) and prints the GLSL and the constant table
// as JSON, the bytecode's assembly (--asm), or writes the bytecode
// (--bytecode OUT); the compiler's messages go to stderr.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "command_registry.h"
#include "platform/hlsl/hlsl.h"
#include "shader/shader_source.h"

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

// The file's text, or an error on stderr (a directory is not a file). Of a
// .nsl file, the vertex or the pixel shader section.
bool readSource(const std::string& file, bool pixel, std::string* text) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    std::fprintf(stderr, "hlsl: '%s' is a directory, not a shader file\n", file.c_str());
    return false;
  }
  if (std::filesystem::path(file).extension() == ".nsl") {
    VertexProfile vertexProfile;
    std::vector<char> vertexText(SHADER_TEXT_SIZE, '\0');
    std::vector<char> pixelText(SHADER_TEXT_SIZE, '\0');
    if (!readShaderSource(file.c_str(), &vertexProfile, vertexText.data(), pixelText.data())) {
      std::fprintf(stderr, "hlsl: cannot read '%s'\n", file.c_str());
      return false;
    }
    *text = pixel ? pixelText.data() : vertexText.data();
    if (text->size() <= 1) {
      std::fprintf(stderr, "hlsl: '%s' has no %s shader section\n", file.c_str(), pixel ? "pixel" : "vertex");
      return false;
    }
    return true;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "hlsl: cannot open '%s'\n", file.c_str());
    return false;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    std::fprintf(stderr, "hlsl: cannot read '%s'\n", file.c_str());
    return false;
  }
  *text = buffer.str();
  return true;
}

std::string statsJson(const hlsl::ShaderStats& s) {
  return "{\"instruction_slots\": " + std::to_string(s.instructionSlots) +
         ", \"arithmetic\": " + std::to_string(s.arithmeticSlots) + ", \"texture\": " + std::to_string(s.textureSlots) +
         ", \"temporaries\": " + std::to_string(s.temporaries) +
         ", \"float_constants\": " + std::to_string(s.floatConstants) + ", \"samplers\": " + std::to_string(s.samplers) +
         ", \"texture_levels\": " + std::to_string(s.textureLevels) + "}";
}

int run(const std::vector<std::string>& args) {
  std::string file, profile, entry = "main", bytecodeOut;
  bool assembly = false;
  int timeRuns = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--profile" && i + 1 < args.size()) {
      profile = args[++i];
    } else if (args[i] == "--entry" && i + 1 < args.size()) {
      entry = args[++i];
    } else if (args[i] == "--asm") {
      assembly = true;
    } else if (args[i] == "--bytecode" && i + 1 < args.size()) {
      bytecodeOut = args[++i];
    } else if (args[i] == "--time" && i + 1 < args.size()) {
      timeRuns = std::atoi(args[++i].c_str());
    } else if (file.empty() && args[i].compare(0, 2, "--") != 0) {
      file = args[i];
    } else {
      std::fprintf(stderr, "hlsl: unexpected argument '%s'\n", args[i].c_str());
      return 2;
    }
  }
  if (file.empty() || profile.empty()) {
    std::fprintf(stderr,
                 "usage: vorn-tool hlsl FILE --profile vs_2_0|ps_2_0 [--entry main] [--asm] [--bytecode OUT] "
                 "[--time N]\n");
    return 2;
  }
  std::string source;
  if (!readSource(file, profile.compare(0, 2, "ps") == 0, &source)) return 1;
  hlsl::CompileResult result = hlsl::compile(source, entry, profile);
  if (!result.ok) {
    std::fputs(result.messages.c_str(), stderr);
    return 1;
  }
  if (!result.messages.empty()) std::fputs(result.messages.c_str(), stderr);  // warnings
  if (timeRuns > 0) {
    // Compile time per shader: the mean of N compilations.
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < timeRuns; ++i) hlsl::compile(source, entry, profile);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / timeRuns;
    std::printf("{\"file\": %s, \"profile\": \"%s\", \"compile_ms\": %.3f, \"stats\": %s}\n", jsonString(file).c_str(),
                profile.c_str(), ms, statsJson(result.stats).c_str());
    return 0;
  }
  if (!bytecodeOut.empty()) {
    std::ofstream out(bytecodeOut, std::ios::binary);
    out.write(reinterpret_cast<const char*>(result.bytecode.data()),
              static_cast<std::streamsize>(result.bytecode.size() * sizeof(std::uint32_t)));
    if (!out) {
      std::fprintf(stderr, "hlsl: cannot write '%s'\n", bytecodeOut.c_str());
      return 1;
    }
  }
  if (assembly) {
    std::fputs(hlsl::disassemble(result.bytecode.data(), result.bytecode.size()).c_str(), stdout);
    return 0;
  }
  if (!bytecodeOut.empty()) return 0;
  std::string out = "{\"glsl\": " + jsonString(result.program.glsl) + ", \"constants\": [";
  for (size_t i = 0; i < result.program.constants.size(); ++i) {
    const hlsl::Constant& c = result.program.constants[i];
    out += (i ? ", " : "") + std::string("{\"name\": ") + jsonString(c.name) +
           ", \"register\": " + std::to_string(c.registerIndex) + ", \"class\": \"" + className(c.cls) +
           "\", \"rows\": " + std::to_string(c.rows) + ", \"columns\": " + std::to_string(c.columns) + "}";
  }
  out += "], \"stats\": " + statsJson(result.stats) + "}\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}

tools::Command command("hlsl", "hlsl FILE --profile vs_2_0|ps_2_0 [--entry main] [--asm] [--bytecode OUT] [--time N]",
                       run);

}  // namespace
