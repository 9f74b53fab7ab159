// Facts about individual instructions: names, slot costs and kinds.
#pragma once

#include <cstdint>

#include "platform/hlsl/sm2/target.h"

namespace hlsl::sm2 {

// Assembly mnemonic ("mad"); texld variants by their control bits.
const char* opcodeName(std::uint16_t opcode, std::uint32_t control);

// Instruction slots the instruction takes in the target's count.
int instructionSlots(std::uint16_t opcode, const Target& target);

// texld and its variants, and texkill: the texture share of ps 2.x.
bool isTextureInstruction(std::uint16_t opcode);

// Instructions the hardware may run as several steps: their destination
// must not share a register with a source.
bool isMacroInstruction(std::uint16_t opcode);

// Number of source parameters (after the destination, if any).
int sourceCount(std::uint16_t opcode);
bool hasDestination(std::uint16_t opcode);

}  // namespace hlsl::sm2
