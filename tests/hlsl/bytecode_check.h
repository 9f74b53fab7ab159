// An independent reading of the compiler's bytecode: the token stream as
// libmojoshader parses it and the GLSL it makes of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hlsltest {

// What is wrong with the bytecode, one complaint per line: libmojoshader's
// parse errors and the broken rules of ruleViolations(); empty when none.
std::string bytecodeErrors(const std::vector<std::uint32_t>& bytecode);

// bytecodeErrors() of the shaders of a .nsl file that compile (vs_2_0 and
// ps_2_0), each complaint after the file's name.
std::string shaderFileErrors(const std::string& path);

// The shader-model rules Direct3D 9 validates that libmojoshader does not.
std::string ruleViolations(const std::vector<std::uint32_t>& bytecode);

struct ForeignGlsl {
  std::string glsl;
  std::vector<std::pair<std::string, int>> attributes;  // name, canonical semantic's location
  std::vector<std::pair<std::string, int>> uniforms;    // "vs_uniforms_vec4[k]" slot -> c register
  std::string errors;
};
// GLSL 1.20 for a compatibility context from the bytecode.
ForeignGlsl foreignGlsl(const std::vector<std::uint32_t>& bytecode);

}  // namespace hlsltest
