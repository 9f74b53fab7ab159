// Clean-up passes over the intermediate form before register allocation:
// results nobody reads go, a saturating copy folds into the instruction
// that computed its value, and vertex shaders compute outputs in place.
#include "platform/hlsl/sm2/optimize.h"

#include <initializer_list>
#include <vector>

#include "platform/hlsl/sm2/builder.h"
#include "platform/hlsl/sm2/isa.h"

namespace hlsl::sm2 {

namespace {

bool readsVirtual(const Inst& inst, int v) {
  for (int i = 0; i < inst.sourceCount; ++i)
    if (inst.src[static_cast<size_t>(i)].type == kVirtual && inst.src[static_cast<size_t>(i)].index == v) return true;
  return inst.op == OpTexkill && inst.dst.type == kVirtual && inst.dst.index == v;
}

void removeDead(IrShader& ir) {
  std::vector<bool> live(ir.vregs.size(), false);
  std::vector<bool> keep(ir.code.size(), false);
  for (size_t i = ir.code.size(); i-- > 0;) {
    const Inst& inst = ir.code[i];
    bool needed =
        inst.op == OpTexkill || !inst.hasDst || inst.dst.type != kVirtual || live[static_cast<size_t>(inst.dst.index)];
    if (!needed) continue;
    keep[i] = true;
    for (int k = 0; k < inst.sourceCount; ++k)
      if (inst.src[static_cast<size_t>(k)].type == kVirtual)
        live[static_cast<size_t>(inst.src[static_cast<size_t>(k)].index)] = true;
    if (inst.op == OpTexkill && inst.dst.type == kVirtual) live[static_cast<size_t>(inst.dst.index)] = true;
  }
  std::vector<Inst> code;
  for (size_t i = 0; i < ir.code.size(); ++i)
    if (keep[i]) code.push_back(ir.code[i]);
  ir.code = std::move(code);
}

struct Usage {
  std::vector<int> writers;  // per virtual register: instructions writing it
  std::vector<int> reads;    // per virtual register: instructions reading it
};

Usage countUses(const IrShader& ir) {
  Usage u;
  u.writers.assign(ir.vregs.size(), 0);
  u.reads.assign(ir.vregs.size(), 0);
  for (const Inst& inst : ir.code) {
    if (inst.hasDst && inst.dst.type == kVirtual && inst.op != OpTexkill)
      ++u.writers[static_cast<size_t>(inst.dst.index)];
    for (size_t v = 0; v < ir.vregs.size(); ++v)
      if (readsVirtual(inst, static_cast<int>(v))) ++u.reads[v];
  }
  return u;
}

// The instruction that alone defines virtual register v, before 'before'.
int definition(const IrShader& ir, int v, size_t before) {
  for (size_t i = before; i-- > 0;)
    if (ir.code[i].hasDst && ir.code[i].dst.type == kVirtual && ir.code[i].dst.index == v && ir.code[i].op != OpTexkill)
      return static_cast<int>(i);
  return -1;
}

bool canTakeModifier(std::uint16_t op) {
  return !isTextureInstruction(op) && op != OpSincos && op != OpDsx && op != OpDsy;
}

// A vertex shader's output copied from a vector put together by several
// instructions: each writes its part of the output instead.
bool gatherIntoOutput(IrShader& ir, const Inst& mov, size_t at) {
  const int v = mov.src[0].index;
  if (ir.vregs[static_cast<size_t>(v)].layout != Layout::Vector || mov.dst.saturate) return false;
  for (int p = 0; p < 4; ++p)
    if ((mov.dst.mask & (1 << p)) && mov.src[0].swizzle[static_cast<size_t>(p)] != p) return false;
  std::vector<size_t> writers;
  std::uint8_t covered = 0;
  for (size_t k = 0; k < at; ++k) {
    const Inst& w = ir.code[k];
    if (!w.hasDst || w.dst.type != kVirtual || w.dst.index != v || w.op == OpTexkill) continue;
    if (!canTakeModifier(w.op) || (w.dst.mask & ~mov.dst.mask) || (w.dst.mask & covered)) return false;
    covered = static_cast<std::uint8_t>(covered | w.dst.mask);
    writers.push_back(k);
  }
  if (covered != mov.dst.mask) return false;
  for (size_t k : writers) {
    ir.code[k].dst.type = mov.dst.type;
    ir.code[k].dst.index = mov.dst.index;
  }
  return true;
}

// mov dst, v where v is read as it was written: the defining instruction
// can write dst itself.
void forwardCopies(IrShader& ir, const Target& target) {
  Usage u = countUses(ir);
  std::vector<bool> drop(ir.code.size(), false);
  for (size_t i = 0; i < ir.code.size(); ++i) {
    Inst& mov = ir.code[i];
    if (mov.op != OpMov || mov.src[0].type != kVirtual || mov.src[0].neg) continue;
    const int v = mov.src[0].index;
    if (u.reads[static_cast<size_t>(v)] != 1) continue;
    if (u.writers[static_cast<size_t>(v)] > 1) {
      if (!target.pixel && mov.dst.type != kVirtual && gatherIntoOutput(ir, mov, i)) drop[i] = true;
      continue;
    }
    int d = definition(ir, v, i);
    if (d < 0 || !canTakeModifier(ir.code[static_cast<size_t>(d)].op)) continue;
    Inst& def = ir.code[static_cast<size_t>(d)];
    const VirtualReg& vr = ir.vregs[static_cast<size_t>(v)];
    bool toVirtual = mov.dst.type == kVirtual;
    bool toOutput = !target.pixel && !toVirtual && mov.dst.type != RegType::Temp;
    if (toVirtual && !mov.dst.saturate) continue;  // plain copies are materializations
    if (!toVirtual && !toOutput) continue;
    if (toOutput && mov.dst.saturate) continue;
    // The copy must read the components in the order they were written.
    bool inOrder = true;
    if (vr.layout == Layout::Scalar) {
      const VirtualReg& target_vr = toVirtual ? ir.vregs[static_cast<size_t>(mov.dst.index)] : vr;
      inOrder = toVirtual ? target_vr.layout == Layout::Scalar
                          : (mov.dst.mask == 1 || mov.dst.mask == 2 || mov.dst.mask == 4 || mov.dst.mask == 8);
      if (toOutput && def.op != OpDp3 && def.op != OpDp4 && def.op != OpRcp && def.op != OpRsq && def.op != OpExp &&
          def.op != OpLog && def.op != OpPow) {
        // A componentwise scalar writes the output component its sources name.
        for (int k = 0; k < def.sourceCount && inOrder; ++k) {
          const auto& sw = def.src[static_cast<size_t>(k)].swizzle;
          inOrder = sw[0] == sw[1] && sw[1] == sw[2] && sw[2] == sw[3];
        }
      }
    } else {
      inOrder = def.dst.mask == mov.dst.mask;
      for (int p = 0; p < 4 && inOrder; ++p)
        if (mov.dst.mask & (1 << p)) inOrder = mov.src[0].swizzle[static_cast<size_t>(p)] == p;
    }
    if (!inOrder) continue;
    // Nothing between the two may read what the definition now writes.
    bool clear = true;
    for (size_t k = static_cast<size_t>(d) + 1; k < i && clear; ++k)
      if (toVirtual && readsVirtual(ir.code[k], mov.dst.index)) clear = false;
    if (!clear) continue;
    std::uint8_t mask = vr.layout == Layout::Scalar && !toVirtual ? mov.dst.mask : def.dst.mask;
    def.dst.type = mov.dst.type;
    def.dst.index = mov.dst.index;
    def.dst.mask = toVirtual ? mov.dst.mask : mask;
    def.dst.saturate = def.dst.saturate || mov.dst.saturate;
    drop[i] = true;
  }
  std::vector<Inst> code;
  for (size_t i = 0; i < ir.code.size(); ++i)
    if (!drop[i]) code.push_back(ir.code[i]);
  ir.code = std::move(code);
}

// add x, (mul a, b) with the product read nowhere else: mad a, b, x.
void fuseMultiplyAdd(IrShader& ir, const Target& target) {
  Usage u = countUses(ir);
  std::vector<bool> drop(ir.code.size(), false);
  for (size_t i = 0; i < ir.code.size(); ++i) {
    Inst& add = ir.code[i];
    if (add.op != OpAdd || add.dst.type != kVirtual) continue;
    const bool scalarResult = ir.vregs[static_cast<size_t>(add.dst.index)].layout == Layout::Scalar;
    const std::uint8_t read = scalarResult ? std::uint8_t{1} : add.dst.mask;
    // A scalar result may move to any component: its sources stay replicated.
    const std::uint8_t care = scalarResult ? std::uint8_t{0xF} : read;
    for (int which = 0; which < 2; ++which) {
      const Src product = add.src[static_cast<size_t>(which)];
      if (product.type != kVirtual) continue;
      const int v = product.index;
      if (u.writers[static_cast<size_t>(v)] != 1 || u.reads[static_cast<size_t>(v)] != 1) continue;
      int d = definition(ir, v, i);
      if (d < 0 || drop[static_cast<size_t>(d)]) continue;
      const Inst& mul = ir.code[static_cast<size_t>(d)];
      if (mul.op != OpMul || mul.dst.saturate) continue;
      Src factors[2];
      bool ok = true;
      for (int k = 0; k < 2 && ok; ++k) {
        factors[k] = mul.src[static_cast<size_t>(k)];
        for (int p = 0; p < 4; ++p)
          if (read & (1 << p))
            factors[k].swizzle[static_cast<size_t>(p)] =
                mul.src[static_cast<size_t>(k)].swizzle[product.swizzle[static_cast<size_t>(p)]];
        if (scalarResult) factors[k].swizzle.fill(factors[k].swizzle[0]);
        ok = legalizeSwizzle(target, factors[k].swizzle, care);
      }
      if (!ok) continue;
      if (product.neg) factors[0].neg = !factors[0].neg;
      const Src other = add.src[static_cast<size_t>(1 - which)];
      // Still one constant, input and texture-coordinate register.
      for (RegType type : {RegType::Const, RegType::Input, RegType::Texture}) {
        int seen = -1;
        for (const Src* s : std::initializer_list<const Src*>{&factors[0], &factors[1], &other}) {
          if (s->type != type) continue;
          if (seen >= 0 && seen != s->index) ok = false;
          seen = s->index;
        }
      }
      if (!ok) continue;
      add.op = OpMad;
      add.src[0] = factors[0];
      add.src[1] = factors[1];
      add.src[2] = other;
      add.sourceCount = 3;
      drop[static_cast<size_t>(d)] = true;
      break;
    }
  }
  std::vector<Inst> code;
  for (size_t i = 0; i < ir.code.size(); ++i)
    if (!drop[i]) code.push_back(ir.code[i]);
  ir.code = std::move(code);
}

bool componentwise(std::uint16_t op) {
  switch (op) {
    case OpMov:
    case OpAdd:
    case OpMul:
    case OpMad:
    case OpMin:
    case OpMax:
    case OpCmp:
    case OpLrp:
    case OpFrc:
    case OpAbs:
    case OpSlt:
    case OpSge: return true;
    default: return false;
  }
}

// Writes all four components of virtual register v, when its value comes
// from one componentwise instruction whose sources can be widened too.
bool widen(IrShader& ir, const Target& target, const Usage& u, int v, size_t before, int depth) {
  VirtualReg& vr = ir.vregs[static_cast<size_t>(v)];
  if (vr.layout == Layout::Vector && vr.width == 4) return true;
  if (vr.layout != Layout::Vector || depth > 8 || u.writers[static_cast<size_t>(v)] != 1) return false;
  int d = definition(ir, v, before);
  if (d < 0) return false;
  Inst wide = ir.code[static_cast<size_t>(d)];
  if (!componentwise(wide.op) || wide.dst.mask != (1 << vr.width) - 1) return false;
  for (int k = 0; k < wide.sourceCount; ++k) {
    Src& src = wide.src[static_cast<size_t>(k)];
    auto& sw = src.swizzle;
    bool replicate = true;
    for (int p = 1; p < vr.width; ++p) replicate = replicate && sw[static_cast<size_t>(p)] == sw[0];
    // A narrower virtual source must be widened first: its other
    // components were never written.
    if (!replicate && src.type == kVirtual && !widen(ir, target, u, src.index, static_cast<size_t>(d), depth + 1))
      return false;
    for (int p = vr.width; p < 4; ++p) sw[static_cast<size_t>(p)] = replicate ? sw[0] : static_cast<std::uint8_t>(p);
    if (!legalizeSwizzle(target, sw, 0xF)) return false;
  }
  wide.dst.mask = 0xF;
  ir.code[static_cast<size_t>(d)] = wide;
  vr.width = 4;
  return true;
}

// A texld into a register counts as a dependent read of whatever that
// register held before: a computed coordinate is written to all four
// components, so that nothing older stays in its register.
void widenCoordinates(IrShader& ir, const Target& target) {
  Usage u = countUses(ir);
  for (size_t i = 0; i < ir.code.size(); ++i) {
    const Inst& sample = ir.code[i];
    if (sample.op == OpTex && sample.src[0].type == kVirtual) widen(ir, target, u, sample.src[0].index, i, 0);
  }
}

}  // namespace

void optimize(IrShader& ir, const Target& target) {
  removeDead(ir);
  fuseMultiplyAdd(ir, target);
  if (target.pixel && target.dependentReadLevels) widenCoordinates(ir, target);
  forwardCopies(ir, target);
  // Copies into outputs gathered from parts may now forward in turn.
  if (!target.pixel) forwardCopies(ir, target);
  removeDead(ir);
}

}  // namespace hlsl::sm2
