#pragma once

#include "platform/hlsl/sm2/ir.h"

namespace hlsl::sm2 {

struct Allocation {
  int temps = 0;        // temporaries used
  int overflowAt = -1;  // first instruction that needed one beyond the target's
};

// Replaces every virtual register by a temporary.
Allocation allocateRegisters(IrShader& ir, const Target& target);

// Levels of dependent texture reads of allocated code (1 when every texld
// reads a texture coordinate as it came in); *firstOver is the first
// instruction that makes the count exceed 'limit', or -1.
int dependentReadLevels(const IrShader& ir, int* firstOver, int limit);

}  // namespace hlsl::sm2
