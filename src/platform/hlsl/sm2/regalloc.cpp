// Register allocation: virtual registers become temporaries r#, by a linear
// scan over the straight-line code. Scalars take any free component, so
// several share one register; vectors sit from .x on; texld results take a
// whole register, preferably one not written before (a texld into a
// register written earlier counts as a dependent read in ps_2_0).
#include "platform/hlsl/sm2/regalloc.h"

#include <algorithm>

#include "platform/hlsl/sm2/isa.h"

namespace hlsl::sm2 {

namespace {

struct Physical {
  std::uint8_t busy = 0;  // components holding a live value
  bool written = false;
  int stale = -1;  // texture-read order of the last value written here (-1: none)
};

bool isSample(std::uint16_t op) { return op == OpTex || op == OpTexldd || op == OpTexldl; }

}  // namespace

Allocation allocateRegisters(IrShader& ir, const Target& target) {
  Allocation result;
  const size_t count = ir.vregs.size();
  std::vector<int> first(count, -1), last(count, -1);
  for (size_t i = 0; i < ir.code.size(); ++i) {
    const Inst& inst = ir.code[i];
    for (int k = 0; k < inst.sourceCount; ++k) {
      const Src& s = inst.src[static_cast<size_t>(k)];
      if (s.type == kVirtual) last[static_cast<size_t>(s.index)] = static_cast<int>(i);
    }
    if (inst.hasDst && inst.dst.type == kVirtual) {
      auto v = static_cast<size_t>(inst.dst.index);
      if (inst.op == OpTexkill)
        last[v] = static_cast<int>(i);
      else if (first[v] < 0)
        first[v] = static_cast<int>(i);
    }
  }
  for (size_t v = 0; v < count; ++v)
    if (first[v] >= 0 && last[v] < first[v]) last[v] = first[v];  // written, never read

  std::vector<int> reg(count, -1), base(count, 0);
  std::vector<Physical> regs;
  // Texture-read order of each value: texld of a coordinate as it came in
  // is 0; of a computed one 1 + what the coordinate depends on (at least 1);
  // and a texld into a register whose value depends on order n is n + 1.
  std::vector<int> order(count, -1);
  int sampleLevel = 0;
  auto release = [&](size_t v) {
    if (reg[v] < 0) return;
    const VirtualReg& vr = ir.vregs[v];
    std::uint8_t bits = vr.layout == Layout::Whole    ? 0xF
                        : vr.layout == Layout::Scalar ? static_cast<std::uint8_t>(1 << base[v])
                                                      : static_cast<std::uint8_t>((1 << vr.width) - 1);
    regs[static_cast<size_t>(reg[v])].busy = static_cast<std::uint8_t>(regs[static_cast<size_t>(reg[v])].busy & ~bits);
  };
  auto occupancy = [](std::uint8_t busy) {
    int n = 0;
    for (int c = 0; c < 4; ++c) n += (busy >> c) & 1;
    return n;
  };
  // Registers just freed by this instruction's sources: a result placed
  // where its source was turns copies into nothing.
  std::vector<std::pair<int, int>> hints;
  std::vector<int> forbidden;  // registers a macro instruction reads
  auto place = [&](size_t v, int at) {
    const VirtualReg& vr = ir.vregs[v];
    int best = -1, bestComp = 0, bestScore = -1;
    if (vr.layout != Layout::Whole) {
      for (auto [r, c] : hints) {
        const Physical& p = regs[static_cast<size_t>(r)];
        bool fits = vr.layout == Layout::Scalar ? !(p.busy & (1 << c)) : !(p.busy & ((1 << vr.width) - 1));
        if (fits) {
          best = r;
          bestComp = vr.layout == Layout::Scalar ? c : 0;
          bestScore = 1000;
          break;
        }
      }
    }
    for (size_t r = 0; r < regs.size(); ++r) {
      const Physical& p = regs[r];
      if (std::find(forbidden.begin(), forbidden.end(), static_cast<int>(r)) != forbidden.end()) continue;
      int score = -1, comp = 0;
      if (vr.layout == Layout::Whole) {
        // The register whose old value leaves the read's order lowest.
        if (p.busy == 0) {
          int level = p.written ? std::max(sampleLevel, std::max(1, p.stale + 1)) : sampleLevel;
          score = 100 - 4 * level + (p.written ? 0 : 1);
        }
      } else if (vr.layout == Layout::Vector) {
        std::uint8_t need = static_cast<std::uint8_t>((1 << vr.width) - 1);
        if (!(p.busy & need)) score = 1 + occupancy(p.busy);
      } else {
        for (int c = 3; c >= 0; --c)
          if (!(p.busy & (1 << c))) {
            score = 1 + occupancy(p.busy);
            comp = c;
            break;
          }
      }
      if (score > bestScore && bestScore < 1000) {
        bestScore = score;
        best = static_cast<int>(r);
        bestComp = comp;
      }
    }
    // A texture read into a register never written starts no new level:
    // better a fresh register, while the profile has one, than a used one.
    if (vr.layout == Layout::Whole && best >= 0 && static_cast<int>(regs.size()) < target.temps &&
        bestScore < 100 - 4 * sampleLevel + 1)
      best = -1;
    if (best < 0) {
      regs.emplace_back();
      best = static_cast<int>(regs.size()) - 1;
      bestComp = vr.layout == Layout::Scalar ? 3 : 0;
      if (best >= target.temps && result.overflowAt < 0) result.overflowAt = at;
    }
    reg[v] = best;
    base[v] = vr.layout == Layout::Scalar ? bestComp : 0;
    std::uint8_t bits = vr.layout == Layout::Whole    ? 0xF
                        : vr.layout == Layout::Scalar ? static_cast<std::uint8_t>(1 << bestComp)
                                                      : static_cast<std::uint8_t>((1 << vr.width) - 1);
    regs[static_cast<size_t>(best)].busy = static_cast<std::uint8_t>(regs[static_cast<size_t>(best)].busy | bits);
  };

  // Every virtual register read by a macro instruction writing v.
  std::vector<std::vector<size_t>> macroSources(count);
  for (const Inst& inst : ir.code)
    if (isMacroInstruction(inst.op) && inst.hasDst && inst.dst.type == kVirtual)
      for (int k = 0; k < inst.sourceCount; ++k)
        if (inst.src[static_cast<size_t>(k)].type == kVirtual)
          macroSources[static_cast<size_t>(inst.dst.index)].push_back(
              static_cast<size_t>(inst.src[static_cast<size_t>(k)].index));
  std::vector<std::vector<size_t>> endingAt(ir.code.size());
  for (size_t v = 0; v < count; ++v)
    if (first[v] >= 0) endingAt[static_cast<size_t>(last[v])].push_back(v);
  for (size_t i = 0; i < ir.code.size(); ++i) {
    Inst& inst = ir.code[i];
    const bool macro = isMacroInstruction(inst.op);
    // A macro instruction may run as several steps: its result goes to a
    // register none of its sources is in.
    forbidden.clear();
    if (inst.hasDst && inst.dst.type == kVirtual)
      for (size_t source : macroSources[static_cast<size_t>(inst.dst.index)])
        if (reg[source] >= 0) forbidden.push_back(reg[source]);
    // Sources read for the last time free their registers for this
    // instruction's result, unless the instruction runs as several steps.
    hints.clear();
    if (!macro)
      for (size_t v : endingAt[i])
        if (static_cast<int>(i) != first[v]) {
          release(v);
          hints.push_back({reg[v], base[v]});
        }
    if (inst.hasDst && inst.dst.type == kVirtual && inst.op != OpTexkill) {
      auto v = static_cast<size_t>(inst.dst.index);
      int depends = -1;
      for (int k = 0; k < inst.sourceCount; ++k)
        if (inst.src[static_cast<size_t>(k)].type == kVirtual)
          depends = std::max(depends, order[static_cast<size_t>(inst.src[static_cast<size_t>(k)].index)]);
      if (isSample(inst.op)) sampleLevel = inst.src[0].type == RegType::Texture ? 0 : std::max(1, depends + 1);
      if (reg[v] < 0) place(v, static_cast<int>(i));
      Physical& p = regs[static_cast<size_t>(reg[v])];
      if (isSample(inst.op)) depends = p.written ? std::max(sampleLevel, std::max(1, p.stale + 1)) : sampleLevel;
      order[v] = std::max(order[v], depends);
      const VirtualReg& vr = ir.vregs[v];
      const bool whole = vr.layout == Layout::Whole || (vr.layout == Layout::Vector && vr.width == 4);
      p.stale = whole ? depends : std::max(depends, p.stale);
      p.written = true;
    }
    for (size_t v : endingAt[i])
      if (macro || static_cast<int>(i) == first[v]) release(v);
  }
  result.temps = static_cast<int>(regs.size());

  // Rewrite to temporaries.
  for (Inst& inst : ir.code) {
    for (int k = 0; k < inst.sourceCount; ++k) {
      Src& s = inst.src[static_cast<size_t>(k)];
      if (s.type != kVirtual) continue;
      auto v = static_cast<size_t>(s.index);
      for (auto& c : s.swizzle) c = static_cast<std::uint8_t>(c + base[v]);
      s.type = RegType::Temp;
      s.index = reg[v];
    }
    if (inst.hasDst && inst.dst.type == kVirtual) {
      auto v = static_cast<size_t>(inst.dst.index);
      inst.dst.type = RegType::Temp;
      inst.dst.index = reg[v];
      if (inst.op == OpTexkill)
        inst.dst.mask = 0xF;
      else
        inst.dst.mask = static_cast<std::uint8_t>(inst.dst.mask << base[v]);
    }
  }
  // Copies of a register onto itself are gone.
  std::vector<Inst> code;
  for (const Inst& inst : ir.code) {
    bool noop = inst.op == OpMov && inst.dst.type == RegType::Temp && inst.src[0].type == RegType::Temp &&
                inst.dst.index == inst.src[0].index && !inst.src[0].neg && !inst.dst.saturate;
    for (int p = 0; p < 4 && noop; ++p)
      if (inst.dst.mask & (1 << p)) noop = inst.src[0].swizzle[static_cast<size_t>(p)] == p;
    if (!noop) code.push_back(inst);
  }
  ir.code = std::move(code);
  return result;
}

int dependentReadLevels(const IrShader& ir, int* firstOver, int limit) {
  // For each temporary component: the highest order of texture read its
  // value depends on (-1: none).
  std::vector<std::array<int, 4>> order;
  std::vector<bool> written;
  auto grow = [&](int r) {
    if (static_cast<size_t>(r) >= order.size()) {
      order.resize(static_cast<size_t>(r) + 1, {-1, -1, -1, -1});
      written.resize(static_cast<size_t>(r) + 1, false);
    }
  };
  int highest = -1;
  *firstOver = -1;
  for (size_t i = 0; i < ir.code.size(); ++i) {
    const Inst& inst = ir.code[i];
    int depends = -1;
    for (int k = 0; k < inst.sourceCount; ++k) {
      const Src& s = inst.src[static_cast<size_t>(k)];
      if (s.type != RegType::Temp) continue;
      grow(s.index);
      for (int p = 0; p < 4; ++p)
        if (!inst.hasDst || (inst.dst.mask & (1 << p)) || inst.op == OpTex || inst.op == OpDp3 || inst.op == OpDp4)
          depends = std::max(depends, order[static_cast<size_t>(s.index)][s.swizzle[static_cast<size_t>(p)]]);
    }
    if (!inst.hasDst || inst.dst.type != RegType::Temp || inst.op == OpTexkill) continue;
    grow(inst.dst.index);
    int value = depends;
    if (inst.op == OpTex || inst.op == OpTexldd || inst.op == OpTexldl) {
      bool fromTemp = inst.src[0].type == RegType::Temp;
      int level = fromTemp ? std::max(1, depends + 1) : 0;
      // Writing over an earlier value counts as depending on it.
      if (written[static_cast<size_t>(inst.dst.index)]) {
        int before = -1;
        for (int old : order[static_cast<size_t>(inst.dst.index)]) before = std::max(before, old);
        level = std::max(level, std::max(1, before + 1));
      }
      value = level;
      highest = std::max(highest, level);
      if (level + 1 > limit && *firstOver < 0) *firstOver = static_cast<int>(i);
    }
    for (int p = 0; p < 4; ++p)
      if (inst.dst.mask & (1 << p)) order[static_cast<size_t>(inst.dst.index)][static_cast<size_t>(p)] = value;
    written[static_cast<size_t>(inst.dst.index)] = true;
  }
  return highest + 1;
}

}  // namespace hlsl::sm2
