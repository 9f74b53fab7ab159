#pragma once

#include "platform/hlsl/sm2/ir.h"

namespace hlsl::sm2 {

// Dead-code removal and copy forwarding on the intermediate form.
void optimize(IrShader& ir, const Target& target);

}  // namespace hlsl::sm2
