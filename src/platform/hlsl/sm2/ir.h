// The bytecode back end's intermediate form: straight-line instructions on
// virtual vector registers, in the shape of Direct3D 9 instructions, before
// register allocation.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/hlsl/front/syntax.h"
#include "platform/hlsl/sm2/target.h"
#include "platform/hlsl/sm2/tokens.h"

namespace hlsl::sm2 {

using detail::Loc;

// A virtual register; register allocation turns it into a temporary.
constexpr RegType kVirtual = static_cast<RegType>(31);

// One scalar of a value: a compile-time number, or a component of a register
// (possibly negated).
struct Atom {
  bool literal = true;
  bool neg = false;
  RegType type = RegType::Temp;
  std::uint8_t comp = 0;
  int index = 0;
  float value = 0.0f;

  static Atom of(float v) {
    Atom a;
    a.value = v;
    return a;
  }
  static Atom reg(RegType type, int index, int comp, bool neg = false) {
    Atom a;
    a.literal = false;
    a.type = type;
    a.index = index;
    a.comp = static_cast<std::uint8_t>(comp);
    a.neg = neg;
    return a;
  }
  Atom negated() const {
    Atom a = *this;
    if (literal)
      a.value = -value;
    else
      a.neg = !neg;
    return a;
  }
  bool isLiteral(float v) const { return literal && value == v; }
  bool sameRegister(const Atom& o) const { return !literal && !o.literal && type == o.type && index == o.index; }
  bool operator==(const Atom& o) const;
  bool operator<(const Atom& o) const;
};
using Atoms = std::vector<Atom>;

struct Src {
  RegType type = RegType::Temp;
  int index = 0;
  std::array<std::uint8_t, 4> swizzle{0, 1, 2, 3};
  bool neg = false;
  bool operator<(const Src& o) const;
};

struct Dst {
  RegType type = RegType::Temp;
  int index = 0;
  std::uint8_t mask = 0;  // 0 until set: every component of the result
  bool saturate = false;
};

struct Inst {
  std::uint16_t op = OpNop;
  std::uint32_t control = 0;  // texld variants
  bool hasDst = true;
  Dst dst;
  std::array<Src, 4> src;
  int sourceCount = 0;
  Loc loc;
};

// How a virtual register must sit in a temporary: a scalar anywhere, a
// vector from .x on, or a whole register (texld destinations).
enum class Layout : std::uint8_t { Scalar, Vector, Whole };

struct VirtualReg {
  int width = 1;
  Layout layout = Layout::Scalar;
};

struct Declaration {
  RegType type = RegType::Input;
  int index = 0;
  std::uint8_t mask = 0xF;
  Usage usage = UsagePosition;
  int usageIndex = 0;
  bool needsUsage = true;  // vs inputs and 3.0 registers carry their semantic
};

struct IrShader {
  std::vector<Inst> code;
  std::vector<VirtualReg> vregs;
  std::map<int, std::array<float, 4>> defs;  // c register -> value (def)
  std::map<int, std::uint8_t> defUsed;       // components of a def in use
  std::vector<Declaration> inputs;
  std::vector<Declaration> outputs;  // 3.0 output registers
  std::vector<std::pair<int, SamplerType>> samplers;
};

}  // namespace hlsl::sm2
