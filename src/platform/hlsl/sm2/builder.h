// Emits instructions of the intermediate form from values given as atoms:
// folds what is known at compile time, places literals in def registers,
// keeps every source legal for the target (swizzles a profile allows, one
// constant, input and texture-coordinate register per instruction) by
// moving values into virtual registers where needed, and reuses the result
// of an instruction already emitted with the same sources.
#pragma once

#include <map>
#include <tuple>
#include <vector>

#include "platform/hlsl/sm2/ir.h"

namespace hlsl::sm2 {

class Builder {
 public:
  // reserved: c registers the constant table holds (defs go elsewhere).
  Builder(const Target& target, IrShader& ir, std::vector<bool> reserved);

  const Target& target() const { return target_; }
  void setLoc(Loc loc) { loc_ = loc; }
  Loc loc() const { return loc_; }

  // A componentwise instruction over 'width' components; each source has
  // 'width' atoms or a single one used for all.
  Atoms op(std::uint16_t opcode, int width, const std::vector<Atoms>& sources, bool saturate = false);
  Atom dot(const Atoms& a, const Atoms& b);
  Atom scalar(std::uint16_t opcode, const Atom& a);  // rcp, rsq, exp, log
  Atom pow(const Atom& base, const Atom& exponent);
  // A scalar instruction per component, the results gathered in one vector
  // register (rcp, rsq, exp, log; pow with the exponents in 'second').
  Atoms scalarEach(std::uint16_t opcode, const Atoms& a, const Atoms* second = nullptr);
  // One dot product per row, gathered in one vector register.
  Atoms dotEach(const std::vector<Atoms>& rows, const Atoms& v);
  // cos and sin of an angle in [-pi, pi].
  std::pair<Atom, Atom> sincos(const Atom& angle);
  // texld and its variants; coord holds the coordinate components the
  // instruction reads.
  Atoms sample(std::uint16_t opcode, std::uint32_t control, const Atoms& coord, int sampler, const Atoms* ddx = nullptr,
               const Atoms* ddy = nullptr);
  // Discards the pixel when any of the four values is negative.
  void kill(const Atoms& four);
  // mov into an output register; 'exact': the source must be a register
  // read as .xyzw with no modifier.
  void write(RegType type, int index, std::uint8_t mask, const Atoms& value, bool exact, bool replicate = false);
  // The atoms as one vector register, components from .x on.
  Atoms materialize(const Atoms& atoms);

 private:
  struct Operand {
    Atoms atoms;
    std::array<int, 4> positions{0, 1, 2, 3};  // where the instruction reads atoms[k]
    bool replicate = false;                    // a single atom read in every position
    bool exact = false;                        // identity swizzle, no modifier
    bool freeConstant = false;                 // exempt from the constant read-port rule

    static Operand vector(Atoms atoms) {
      Operand o;
      o.atoms = std::move(atoms);
      return o;
    }
    static Operand scalarOf(const Atom& a) {
      Operand o;
      o.atoms = {a};
      o.replicate = true;
      return o;
    }
  };
  // An instruction reading the operands, its sources made legal.
  Inst instruction(std::uint16_t opcode, std::vector<Operand> operands);

  int newVirtual(int width, Layout layout);
  Src resolve(Operand& operand);
  std::vector<Src> resolveAll(std::vector<Operand>& operands);
  bool singleRegister(const Operand& operand, Src* out) const;
  // A def register holding the operand's values (preferred one first).
  Src literalSource(const Operand& operand, int preferred = -1);
  // A def register holding all the values, made room for or new.
  int defHolding(const std::vector<float>& values);
  int newDefRegister();
  bool legalSwizzle(const std::array<int, 4>& want, bool exact, std::array<std::uint8_t, 4>& out) const;
  Atoms emit(Inst inst, int width, Layout layout, bool cse);
  // Writes one component of an existing virtual register.
  void emitInto(Inst inst, int v, int component);

  const Target& target_;
  IrShader& ir_;
  std::vector<bool> reserved_;
  Loc loc_;
  std::map<Atoms, Atoms> materialized_;
  std::map<std::tuple<std::uint16_t, Atoms, Atoms>, Atoms> gathered_;
  std::map<std::tuple<std::uint16_t, std::uint32_t, int, bool, std::vector<Src>>, Atoms> emitted_;
};

// Makes a source swizzle legal for the target by choosing the positions
// outside 'care' (the ones the instruction does not read); false when no
// legal swizzle reads the cared-for positions as given.
bool legalizeSwizzle(const Target& target, std::array<std::uint8_t, 4>& swizzle, std::uint8_t care);

// The value of a componentwise instruction on known numbers.
bool foldable(std::uint16_t opcode);
float fold(std::uint16_t opcode, float a, float b, float c);

}  // namespace hlsl::sm2
