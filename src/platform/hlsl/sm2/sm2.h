// The shader-model-2 bytecode back end.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/hlsl/front/syntax.h"
#include "platform/hlsl/sm2/target.h"

namespace hlsl::sm2 {

// Compiles the checked module (registers assigned, program.constants
// filled) to bytecode for the target, with the constant table and the
// private block inside. Limits the target cannot hold are errors.
bool generate(detail::Module& module, detail::FunctionDecl* entry, const Target& target, const Program& program,
              const std::vector<std::uint8_t>& privateBlock, detail::Diagnostics& diag,
              std::vector<std::uint32_t>* tokens, ShaderStats* stats);

}  // namespace hlsl::sm2
