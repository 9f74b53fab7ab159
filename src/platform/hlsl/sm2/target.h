// What a bytecode profile offers and what it limits: the version token,
// instruction slots, registers and the instruction-set features the code
// generator may use.
#pragma once

#include <string>
#include <string_view>

namespace hlsl::sm2 {

struct Target {
  std::string_view name;  // "ps_2_0"
  bool pixel = false;
  int major = 2, minor = 0;  // version token; ps_2_a/ps_2_b/vs_2_a are 2.1 ("2_x")
  // Instruction slots: total, and for pixel shaders of version 2 the
  // arithmetic and texture shares (0 when the profile has no separate limit).
  int maxSlots = 0, maxArithmetic = 0, maxTexture = 0;
  int temps = 12;
  int floatConstants = 32;
  int samplers = 0;
  int texcoordInputs = 0, colorInputs = 0;  // pixel shaders before 3.0
  int dependentReadLevels = 0;              // 0: no limit
  bool arbitrarySwizzle = false;            // without it, ps source swizzles are limited
  bool saturate = false;                    // the _sat result modifier
  bool derivatives = false;                 // dsx, dsy, texldd
  bool lodSampling = false;                 // texldl
  bool biasSampling = false;                // texldb
  bool sincosConstants = false;             // sincos takes the two series constants (2.x)
  bool semanticRegisters = false;           // 3.0: inputs and outputs declared by semantic
  int outputRegisters = 0;                  // vs_3_0 o# registers

  bool version3() const { return major >= 3; }
};

// The bytecode target of a profile name, or null when there is none.
const Target* findTarget(std::string_view profile);

}  // namespace hlsl::sm2
