#include "platform/hlsl/sm2/builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace hlsl::sm2 {

namespace {

std::uint32_t bitsOf(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

bool allLiteral(const Atoms& atoms) {
  return std::all_of(atoms.begin(), atoms.end(), [](const Atom& a) { return a.literal; });
}

auto atomKey(const Atom& a) {
  if (a.literal) return std::make_tuple(true, 0, 0, 0, false, bitsOf(a.value));
  return std::make_tuple(false, static_cast<int>(a.type), a.index, static_cast<int>(a.comp), a.neg, 0u);
}

// The constants the 2.x sincos instruction needs in two c registers.
constexpr std::array<float, 4> kSincosConst1 = {-1.5500992e-006f, -2.1701389e-005f, 0.0026041667f, 0.00026041668f};
constexpr std::array<float, 4> kSincosConst2 = {-0.020833334f, -0.12500000f, 1.0f, 0.50000000f};

}  // namespace

bool Atom::operator==(const Atom& o) const { return atomKey(*this) == atomKey(o); }
bool Atom::operator<(const Atom& o) const { return atomKey(*this) < atomKey(o); }

bool Src::operator<(const Src& o) const {
  return std::tie(type, index, swizzle, neg) < std::tie(o.type, o.index, o.swizzle, o.neg);
}

bool foldable(std::uint16_t opcode) {
  switch (opcode) {
    case OpMov:
    case OpAdd:
    case OpSub:
    case OpMul:
    case OpMad:
    case OpMin:
    case OpMax:
    case OpCmp:
    case OpLrp:
    case OpFrc:
    case OpAbs:
    case OpSlt:
    case OpSge:
    case OpRcp:
    case OpRsq:
    case OpExp:
    case OpLog:
    case OpPow: return true;
    default: return false;
  }
}

float fold(std::uint16_t opcode, float a, float b, float c) {
  const float inf = std::numeric_limits<float>::infinity();
  switch (opcode) {
    case OpMov: return a;
    case OpAdd: return a + b;
    case OpSub: return a - b;
    case OpMul: return a * b;
    case OpMad: return a * b + c;
    case OpMin: return a < b ? a : b;
    case OpMax: return a >= b ? a : b;
    case OpCmp: return a >= 0.0f ? b : c;
    case OpLrp: return a * (b - c) + c;
    case OpFrc: return a - std::floor(a);
    case OpAbs: return std::fabs(a);
    case OpSlt: return a < b ? 1.0f : 0.0f;
    case OpSge: return a >= b ? 1.0f : 0.0f;
    case OpRcp: return a == 0.0f ? inf : 1.0f / a;
    case OpRsq: return a == 0.0f ? inf : 1.0f / std::sqrt(std::fabs(a));
    case OpExp: return std::exp2(a);
    case OpLog: return a == 0.0f ? -inf : std::log2(std::fabs(a));
    case OpPow: return std::pow(std::fabs(a), b);
    default: return 0.0f;
  }
}

bool legalizeSwizzle(const Target& target, std::array<std::uint8_t, 4>& swizzle, std::uint8_t care) {
  if (target.arbitrarySwizzle || !target.pixel) return true;
  // Pixel shaders without arbitrary swizzle: .xyzw, the four replicates,
  // .yzxw and .zxyw.
  static const std::array<std::uint8_t, 4> patterns[] = {
      {0, 1, 2, 3}, {0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {1, 2, 0, 3}, {2, 0, 1, 3},
  };
  for (const auto& pattern : patterns) {
    bool fits = true;
    for (int p = 0; p < 4 && fits; ++p)
      fits = !(care & (1 << p)) || swizzle[static_cast<size_t>(p)] == pattern[static_cast<size_t>(p)];
    if (fits) {
      swizzle = pattern;
      return true;
    }
  }
  return false;
}

Builder::Builder(const Target& target, IrShader& ir, std::vector<bool> reserved)
    : target_(target), ir_(ir), reserved_(std::move(reserved)) {}

int Builder::newVirtual(int width, Layout layout) {
  ir_.vregs.push_back(VirtualReg{width, layout});
  return static_cast<int>(ir_.vregs.size()) - 1;
}

bool Builder::legalSwizzle(const std::array<int, 4>& want, bool exact, std::array<std::uint8_t, 4>& out) const {
  if (exact) {
    for (int p = 0; p < 4; ++p)
      if (want[p] >= 0 && want[p] != p) return false;
    out = {0, 1, 2, 3};
    return true;
  }
  if (target_.arbitrarySwizzle || !target_.pixel) {
    // Unread positions repeat the last component read, as assemblers write them.
    int last = -1;
    for (int p = 0; p < 4; ++p)
      if (want[p] >= 0 && last < 0) last = want[p];
    for (int p = 0; p < 4; ++p) {
      if (want[p] >= 0) last = want[p];
      out[p] = static_cast<std::uint8_t>(std::max(last, 0));
    }
    return true;
  }
  std::uint8_t care = 0;
  for (int p = 0; p < 4; ++p) {
    out[static_cast<size_t>(p)] = static_cast<std::uint8_t>(std::max(want[static_cast<size_t>(p)], 0));
    if (want[static_cast<size_t>(p)] >= 0) care = static_cast<std::uint8_t>(care | (1 << p));
  }
  return legalizeSwizzle(target_, out, care);
}

bool Builder::singleRegister(const Operand& operand, Src* out) const {
  const Atoms& atoms = operand.atoms;
  if (atoms.empty() || atoms[0].literal) return false;
  for (const Atom& a : atoms)
    if (!a.sameRegister(atoms[0]) || a.neg != atoms[0].neg) return false;
  if (operand.exact && atoms[0].neg) return false;
  std::array<int, 4> want{-1, -1, -1, -1};
  bool scalarVirtual =
      atoms[0].type == kVirtual && ir_.vregs[static_cast<size_t>(atoms[0].index)].layout == Layout::Scalar;
  for (size_t k = 0; k < atoms.size(); ++k) {
    if (operand.replicate) {
      for (int& w : want) w = atoms[k].comp;
      continue;
    }
    int p = operand.positions[k];
    if (want[p] >= 0 && want[p] != atoms[k].comp) return false;
    want[p] = atoms[k].comp;
  }
  Src s;
  s.type = atoms[0].type;
  s.index = atoms[0].index;
  s.neg = atoms[0].neg;
  if (scalarVirtual && !operand.exact) {
    s.swizzle = {0, 0, 0, 0};  // a scalar is read replicated wherever it sits
  } else if (!legalSwizzle(want, operand.exact, s.swizzle)) {
    return false;
  }
  *out = s;
  return true;
}

int Builder::newDefRegister() {
  for (int r = 0;; ++r) {
    bool taken = (r < static_cast<int>(reserved_.size()) && reserved_[static_cast<size_t>(r)]) || ir_.defs.count(r);
    if (!taken) {
      ir_.defs[r] = {0, 0, 0, 0};
      ir_.defUsed[r] = 0;
      return r;
    }
  }
}

Src Builder::literalSource(const Operand& operand, int preferred) {
  // The value wanted in each position the instruction reads.
  std::array<bool, 4> has{};
  std::array<float, 4> value{};
  for (size_t k = 0; k < operand.atoms.size(); ++k) {
    if (operand.replicate) {
      has.fill(true);
      value.fill(operand.atoms[k].value);
    } else {
      has[operand.positions[k]] = true;
      value[operand.positions[k]] = operand.atoms[k].value;
    }
  }
  bool allSame = true;
  for (int p = 0; p < 4; ++p)
    if (has[p] && bitsOf(value[p]) != bitsOf(value[operand.replicate ? 0 : operand.positions[0]])) allSame = false;
  Src s;
  s.type = RegType::Const;
  std::vector<int> candidates;
  if (preferred >= 0) candidates.push_back(preferred);
  for (const auto& entry : ir_.defs)
    if (entry.first != preferred) candidates.push_back(entry.first);
  // A def that already holds the values.
  for (int reg : candidates) {
    const auto& v = ir_.defs[reg];
    std::uint8_t used = ir_.defUsed[reg];
    std::array<int, 4> want{-1, -1, -1, -1};
    bool found = true;
    for (int p = 0; p < 4 && found; ++p) {
      if (!has[p]) continue;
      int pick = -1;
      for (int c = 0; c < 4; ++c) {
        if (!(used & (1 << c)) || bitsOf(v[static_cast<size_t>(c)]) != bitsOf(value[p])) continue;
        if (pick < 0 || c == p) pick = c;
      }
      want[p] = pick;
      found = pick >= 0;
    }
    if (found && legalSwizzle(want, operand.exact, s.swizzle)) {
      s.index = reg;
      return s;
    }
  }
  // Room in a def: a single value anywhere free, several in their own
  // positions; else a new def.
  auto place = [&](int reg) {
    auto& v = ir_.defs[reg];
    std::uint8_t& used = ir_.defUsed[reg];
    if (allSame && !operand.exact) {
      for (int c = 0; c < 4; ++c) {
        if (used & (1 << c)) continue;
        v[static_cast<size_t>(c)] = value[static_cast<size_t>(std::find(has.begin(), has.end(), true) - has.begin())];
        used = static_cast<std::uint8_t>(used | (1 << c));
        s.index = reg;
        s.swizzle.fill(static_cast<std::uint8_t>(c));
        return true;
      }
      return false;
    }
    for (int p = 0; p < 4; ++p)
      if (has[p] && (used & (1 << p)) && bitsOf(v[static_cast<size_t>(p)]) != bitsOf(value[p])) return false;
    for (int p = 0; p < 4; ++p)
      if (has[p]) {
        v[static_cast<size_t>(p)] = value[p];
        used = static_cast<std::uint8_t>(used | (1 << p));
      }
    s.index = reg;
    s.swizzle = {0, 1, 2, 3};
    return true;
  };
  for (int reg : candidates)
    if (place(reg)) return s;
  place(newDefRegister());
  return s;
}

int Builder::defHolding(const std::vector<float>& values) {
  for (auto& [reg, v] : ir_.defs) {
    std::uint8_t& used = ir_.defUsed[reg];
    std::vector<float> missing;
    for (float x : values) {
      bool present = false;
      for (int c = 0; c < 4; ++c)
        present = present || ((used & (1 << c)) && bitsOf(v[static_cast<size_t>(c)]) == bitsOf(x));
      if (!present && std::find_if(missing.begin(), missing.end(), [&](float m) { return bitsOf(m) == bitsOf(x); }) ==
                          missing.end())
        missing.push_back(x);
    }
    int free = 0;
    for (int c = 0; c < 4; ++c) free += !(used & (1 << c));
    if (static_cast<int>(missing.size()) > free) continue;
    for (float x : missing)
      for (int c = 0; c < 4; ++c)
        if (!(used & (1 << c))) {
          v[static_cast<size_t>(c)] = x;
          used = static_cast<std::uint8_t>(used | (1 << c));
          break;
        }
    return reg;
  }
  const int reg = newDefRegister();
  for (size_t c = 0; c < values.size() && c < 4; ++c) {
    ir_.defs[reg][c] = values[c];
    ir_.defUsed[reg] = static_cast<std::uint8_t>(ir_.defUsed[reg] | (1 << c));
  }
  return reg;
}

Src Builder::resolve(Operand& operand) {
  if (allLiteral(operand.atoms)) return literalSource(operand);
  Src s;
  if (singleRegister(operand, &s)) return s;
  operand.atoms = materialize(operand.atoms);
  if (!singleRegister(operand, &s)) {
    s = Src{};
    s.type = operand.atoms[0].type;
    s.index = operand.atoms[0].index;
  }
  return s;
}

std::vector<Src> Builder::resolveAll(std::vector<Operand>& operands) {
  // Literals read by one instruction go to one def register when they fit:
  // two constant registers cannot be read together.
  std::vector<float> scalars;
  int literalOperands = 0;
  for (const Operand& o : operands) {
    if (o.atoms.empty() || !allLiteral(o.atoms) || o.freeConstant) continue;
    ++literalOperands;
    for (const Atom& a : o.atoms)
      if (std::find_if(scalars.begin(), scalars.end(), [&](float x) { return bitsOf(x) == bitsOf(a.value); }) ==
          scalars.end())
        scalars.push_back(a.value);
  }
  int preferred = -1;
  bool scalarOperands = std::all_of(operands.begin(), operands.end(), [](const Operand& o) {
    return o.replicate || o.atoms.size() == 1 || !allLiteral(o.atoms);
  });
  if (literalOperands > 1 && scalars.size() > 1 && scalars.size() <= 4 && scalarOperands)
    preferred = defHolding(scalars);
  std::vector<Src> sources;
  for (Operand& o : operands) {
    sources.push_back(allLiteral(o.atoms) && preferred >= 0 ? literalSource(o, preferred) : resolve(o));
  }
  // One constant, input and texture-coordinate register per instruction.
  for (RegType type : {RegType::Const, RegType::Input, RegType::Texture}) {
    int seen = -1;
    for (size_t i = 0; i < sources.size(); ++i) {
      if (sources[i].type != type || operands[i].freeConstant) continue;
      if (seen < 0 || seen == sources[i].index) {
        seen = sources[i].index;
        continue;
      }
      // Literals were turned into def registers: move them as values.
      Atoms atoms = operands[i].atoms;
      operands[i].atoms = materialize(atoms);
      sources[i] = resolve(operands[i]);
    }
  }
  return sources;
}

Inst Builder::instruction(std::uint16_t opcode, std::vector<Operand> operands) {
  Inst inst;
  inst.op = opcode;
  std::vector<Src> srcs = resolveAll(operands);
  inst.sourceCount = static_cast<int>(srcs.size());
  for (size_t i = 0; i < srcs.size(); ++i) inst.src[i] = srcs[i];
  return inst;
}

Atoms Builder::emit(Inst inst, int width, Layout layout, bool cse) {
  inst.loc = loc_;
  std::vector<Src> key(inst.src.begin(), inst.src.begin() + inst.sourceCount);
  auto k = std::make_tuple(inst.op, inst.control, width, inst.dst.saturate, key);
  if (cse) {
    auto found = emitted_.find(k);
    if (found != emitted_.end()) return found->second;
  }
  int v = newVirtual(width, layout);
  inst.dst.type = kVirtual;
  inst.dst.index = v;
  if (inst.dst.mask == 0) inst.dst.mask = static_cast<std::uint8_t>((1 << width) - 1);
  ir_.code.push_back(inst);
  Atoms out;
  for (int c = 0; c < width; ++c) out.push_back(Atom::reg(kVirtual, v, c));
  if (cse) emitted_[k] = out;
  return out;
}

Atoms Builder::op(std::uint16_t opcode, int width, const std::vector<Atoms>& sources, bool saturate) {
  auto at = [](const Atoms& s, int k) -> const Atom& { return s.size() == 1 ? s[0] : s[static_cast<size_t>(k)]; };
  if (width > 4) {
    // Registers hold four components: wider values go four at a time.
    Atoms result;
    for (int start = 0; start < width; start += 4) {
      const int n = std::min(4, width - start);
      std::vector<Atoms> part;
      for (const Atoms& s : sources) {
        Atoms a;
        for (int k = start; k < start + n; ++k) a.push_back(at(s, k));
        part.push_back(std::move(a));
      }
      Atoms r = op(opcode, n, part, saturate);
      result.insert(result.end(), r.begin(), r.end());
    }
    return result;
  }
  Atoms result(static_cast<size_t>(width));
  std::vector<int> live;
  for (int k = 0; k < width; ++k) {
    bool allLiteral = foldable(opcode);
    for (const Atoms& s : sources) allLiteral = allLiteral && at(s, k).literal;
    if (allLiteral) {
      float a = at(sources[0], k).value;
      float b = sources.size() > 1 ? at(sources[1], k).value : 0.0f;
      float c = sources.size() > 2 ? at(sources[2], k).value : 0.0f;
      float v = fold(opcode, a, b, c);
      if (saturate) v = v >= 0.0f ? std::min(v, 1.0f) : 0.0f;
      result[static_cast<size_t>(k)] = Atom::of(v);
      continue;
    }
    live.push_back(k);
  }
  // Components equal to one of the operands need no instruction, but only
  // when none does: a vector computed whole stays in one register.
  bool allSimple = !saturate;
  for (int k : live) {
    if (!allSimple) break;
    const Atom& a = at(sources[0], k);
    const Atom* b = sources.size() > 1 ? &at(sources[1], k) : nullptr;
    const Atom* c = sources.size() > 2 ? &at(sources[2], k) : nullptr;
    Atom r;
    if (opcode == OpMov)
      r = a;
    else if (opcode == OpAdd && b->isLiteral(0.0f))
      r = a;
    else if (opcode == OpAdd && a.isLiteral(0.0f))
      r = *b;
    else if (opcode == OpMul && (b->isLiteral(1.0f) || b->isLiteral(-1.0f)))
      r = b->value > 0 ? a : a.negated();
    else if (opcode == OpMul && (a.isLiteral(1.0f) || a.isLiteral(-1.0f)))
      r = a.value > 0 ? *b : b->negated();
    else if (opcode == OpMad && c->isLiteral(0.0f) && b->isLiteral(1.0f))
      r = a;
    else if (opcode == OpMad && c->isLiteral(0.0f) && a.isLiteral(1.0f))
      r = *b;
    else if ((opcode == OpCmp || opcode == OpLrp) && *b == *c)
      r = *b;
    else
      allSimple = false;
    result[static_cast<size_t>(k)] = r;
  }
  if (allSimple) return result;
  if (live.empty()) return result;
  // Simpler instructions where literals make them so.
  std::uint16_t code = opcode;
  std::vector<Atoms> picked;
  for (const Atoms& s : sources) {
    Atoms a;
    for (int k : live) a.push_back(at(s, k));
    picked.push_back(std::move(a));
  }
  auto allLiteralValue = [](const Atoms& a, float v) {
    return std::all_of(a.begin(), a.end(), [v](const Atom& x) { return x.isLiteral(v); });
  };
  if (code == OpMad && allLiteralValue(picked[2], 0.0f)) {
    code = OpMul;
    picked.pop_back();
  } else if (code == OpMad && (allLiteralValue(picked[1], 1.0f) || allLiteralValue(picked[0], 1.0f))) {
    code = OpAdd;
    if (allLiteralValue(picked[0], 1.0f))
      picked.erase(picked.begin());
    else
      picked.erase(picked.begin() + 1);
  }
  const int n = static_cast<int>(live.size());
  std::vector<Operand> operands;
  for (Atoms& a : picked) {
    Operand o;
    o.atoms = std::move(a);
    o.replicate = n == 1;  // a scalar result may sit in any component
    operands.push_back(std::move(o));
  }
  Inst inst = instruction(code, operands);
  inst.dst.saturate = saturate;
  Atoms out = emit(inst, n, n == 1 ? Layout::Scalar : Layout::Vector, true);
  for (int i = 0; i < n; ++i) result[static_cast<size_t>(live[static_cast<size_t>(i)])] = out[static_cast<size_t>(i)];
  return result;
}

void Builder::emitInto(Inst inst, int v, int component) {
  inst.loc = loc_;
  inst.dst.type = kVirtual;
  inst.dst.index = v;
  inst.dst.mask = static_cast<std::uint8_t>(1 << component);
  // The instruction reads its sources where it writes.
  for (int k = 0; k < inst.sourceCount; ++k) {
    Src& s = inst.src[static_cast<size_t>(k)];
    if (inst.op != OpDp3 && inst.op != OpDp4) s.swizzle[static_cast<size_t>(component)] = s.swizzle[0];
  }
  ir_.code.push_back(inst);
}

Atoms Builder::scalarEach(std::uint16_t opcode, const Atoms& a, const Atoms* second) {
  const int n = static_cast<int>(a.size());
  Atoms out(a.size());
  std::vector<int> live;
  for (int k = 0; k < n; ++k) {
    const Atom& x = a[static_cast<size_t>(k)];
    const Atom* y = second ? &(*second)[static_cast<size_t>(k)] : nullptr;
    if (x.literal && (!y || y->literal))
      out[static_cast<size_t>(k)] = Atom::of(fold(opcode, x.value, y ? y->value : 0, 0));
    else
      live.push_back(k);
  }
  auto key = std::make_tuple(opcode, a, second ? *second : Atoms{});
  auto known = gathered_.find(key);
  if (known != gathered_.end()) return known->second;
  if (live.size() <= 1) {
    for (int k : live)
      out[static_cast<size_t>(k)] = second ? pow(a[static_cast<size_t>(k)], (*second)[static_cast<size_t>(k)])
                                           : scalar(opcode, a[static_cast<size_t>(k)]);
    return out;
  }
  const int v = newVirtual(n, Layout::Vector);
  for (int k : live) {
    std::vector<Operand> operands{Operand::scalarOf(a[static_cast<size_t>(k)])};
    if (second) operands.push_back(Operand::scalarOf((*second)[static_cast<size_t>(k)]));
    emitInto(instruction(opcode, operands), v, k);
    out[static_cast<size_t>(k)] = Atom::reg(kVirtual, v, k);
  }
  gathered_[key] = out;
  return out;
}

Atoms Builder::dotEach(const std::vector<Atoms>& rows, const Atoms& vector) {
  const size_t n = vector.size();
  if (rows.size() < 2 || n < 3) {
    Atoms out;
    for (const Atoms& row : rows) out.push_back(dot(row, vector));
    return out;
  }
  const int v = newVirtual(static_cast<int>(rows.size()), Layout::Vector);
  Atoms out;
  for (size_t r = 0; r < rows.size(); ++r) {
    emitInto(instruction(n == 3 ? OpDp3 : OpDp4, {Operand::vector(rows[r]), Operand::vector(vector)}), v,
             static_cast<int>(r));
    out.push_back(Atom::reg(kVirtual, v, static_cast<int>(r)));
  }
  return out;
}

Atom Builder::dot(const Atoms& a, const Atoms& b) {
  const size_t n = a.size();
  bool allLiteral = true;
  for (size_t k = 0; k < n; ++k) allLiteral = allLiteral && a[k].literal && b[k].literal;
  if (allLiteral) {
    float sum = 0.0f;
    for (size_t k = 0; k < n; ++k) sum += a[k].value * b[k].value;
    return Atom::of(sum);
  }
  if (n == 1) return op(OpMul, 1, {a, b})[0];
  if (n == 2) {
    Atom first = op(OpMul, 1, {{a[0]}, {b[0]}})[0];
    return op(OpMad, 1, {{a[1]}, {b[1]}, {first}})[0];
  }
  return emit(instruction(n == 3 ? OpDp3 : OpDp4, {Operand::vector(a), Operand::vector(b)}), 1, Layout::Scalar,
              true)[0];
}

Atom Builder::scalar(std::uint16_t opcode, const Atom& a) {
  if (a.literal) return Atom::of(fold(opcode, a.value, 0, 0));
  return emit(instruction(opcode, {Operand::scalarOf(a)}), 1, Layout::Scalar, true)[0];
}

Atom Builder::pow(const Atom& base, const Atom& exponent) {
  if (base.literal && exponent.literal) return Atom::of(fold(OpPow, base.value, exponent.value, 0));
  if (exponent.isLiteral(1.0f)) return op(OpAbs, 1, {{base}})[0];
  return emit(instruction(OpPow, {Operand::scalarOf(base), Operand::scalarOf(exponent)}), 1, Layout::Scalar, true)[0];
}

std::pair<Atom, Atom> Builder::sincos(const Atom& angle) {
  if (angle.literal) return {Atom::of(std::cos(angle.value)), Atom::of(std::sin(angle.value))};
  std::vector<Operand> operands{Operand::scalarOf(angle)};
  if (target_.sincosConstants) {
    for (const auto& values : {kSincosConst1, kSincosConst2}) {
      Operand o;
      for (float v : values) o.atoms.push_back(Atom::of(v));
      o.exact = true;
      o.freeConstant = true;
      operands.push_back(std::move(o));
    }
  }
  Inst inst = instruction(OpSincos, operands);
  inst.dst.mask = 0x3;
  // The 2.x instruction leaves .z undefined: the register keeps it.
  Atoms out = emit(inst, 3, Layout::Vector, true);
  return {out[0], out[1]};
}

Atoms Builder::sample(std::uint16_t opcode, std::uint32_t control, const Atoms& coord, int sampler, const Atoms* ddx,
                      const Atoms* ddy) {
  std::vector<Operand> operands(1);
  operands[0].atoms = coord;
  if (target_.pixel && !target_.version3()) {
    // The coordinate is a t# or r# register read as it is.
    operands[0].exact = true;
    Src probe;
    bool direct = singleRegister(operands[0], &probe) && (probe.type == RegType::Texture || probe.type == kVirtual);
    if (!direct) operands[0].atoms = materialize(coord);
  }
  Src coordSrc = resolve(operands[0]);
  Inst inst;
  inst.op = opcode;
  inst.control = control;
  inst.src[0] = coordSrc;
  inst.src[1].type = RegType::Sampler;
  inst.src[1].index = sampler;
  inst.sourceCount = 2;
  if (ddx && ddy) {
    std::vector<Operand> grads(2);
    grads[0].atoms = *ddx;
    grads[1].atoms = *ddy;
    std::vector<Src> srcs = resolveAll(grads);
    inst.src[2] = srcs[0];
    inst.src[3] = srcs[1];
    inst.sourceCount = 4;
  }
  inst.dst.mask = 0xF;
  return emit(inst, 4, Layout::Whole, true);
}

void Builder::kill(const Atoms& four) {
  Operand o;
  o.atoms = four;
  o.exact = true;
  Src probe;
  bool direct =
      singleRegister(o, &probe) && (probe.type == RegType::Texture || probe.type == kVirtual) && four.size() == 4;
  if (!direct) o.atoms = materialize(four);
  Src s = resolve(o);
  Inst inst;
  inst.op = OpTexkill;
  inst.hasDst = true;
  inst.dst.type = s.type;
  inst.dst.index = s.index;
  inst.dst.mask = 0xF;
  inst.loc = loc_;
  ir_.code.push_back(inst);
}

void Builder::write(RegType type, int index, std::uint8_t mask, const Atoms& value, bool exact, bool replicate) {
  Operand o;
  o.atoms = value;
  o.exact = exact;
  o.replicate = replicate;
  int k = 0;
  for (int p = 0; p < 4 && !replicate; ++p)
    if (mask & (1 << p)) o.positions[static_cast<size_t>(k++)] = p;
  if (exact) {
    Src probe;
    if (!singleRegister(o, &probe) && !allLiteral(value)) o.atoms = materialize(value);
  }
  std::vector<Operand> operands{o};
  std::vector<Src> srcs = resolveAll(operands);
  Inst inst;
  inst.op = OpMov;
  inst.dst.type = type;
  inst.dst.index = index;
  inst.dst.mask = mask;
  inst.src[0] = srcs[0];
  inst.sourceCount = 1;
  inst.loc = loc_;
  ir_.code.push_back(inst);
}

Atoms Builder::materialize(const Atoms& atoms) {
  const int n = static_cast<int>(atoms.size());
  // Already a virtual vector from .x on.
  bool placed = !atoms.empty() && !atoms[0].literal && atoms[0].type == kVirtual && !atoms[0].neg;
  for (int k = 0; k < n && placed; ++k)
    placed = atoms[static_cast<size_t>(k)].sameRegister(atoms[0]) && !atoms[static_cast<size_t>(k)].neg &&
             atoms[static_cast<size_t>(k)].comp == k;
  if (placed && (n > 1 || ir_.vregs[static_cast<size_t>(atoms[0].index)].layout == Layout::Scalar)) return atoms;
  auto cached = materialized_.find(atoms);
  if (cached != materialized_.end()) return cached->second;
  int v = newVirtual(n, n == 1 ? Layout::Scalar : Layout::Vector);
  // One mov per group of atoms that a single legal source can deliver.
  std::vector<bool> done(static_cast<size_t>(n), false);
  for (int k = 0; k < n; ++k) {
    if (done[static_cast<size_t>(k)]) continue;
    const Atom& lead = atoms[static_cast<size_t>(k)];
    Operand group;
    group.replicate = n == 1;
    std::uint8_t mask = 0;
    int count = 0;
    for (int j = k; j < n; ++j) {
      const Atom& a = atoms[static_cast<size_t>(j)];
      bool same = lead.literal ? a.literal : (a.sameRegister(lead) && a.neg == lead.neg);
      if (!same || done[static_cast<size_t>(j)]) continue;
      group.atoms.push_back(a);
      group.positions[static_cast<size_t>(count++)] = j;
      mask = static_cast<std::uint8_t>(mask | (1 << j));
    }
    Src s;
    if (lead.literal) {
      s = literalSource(group);
    } else if (!singleRegister(group, &s)) {
      // No single swizzle reaches them all: this position on its own.
      group.atoms = {lead};
      group.positions[0] = k;
      mask = static_cast<std::uint8_t>(1 << k);
      singleRegister(group, &s);
    }
    for (int j = 0; j < n; ++j)
      if (mask & (1 << j)) done[static_cast<size_t>(j)] = true;
    Inst inst;
    inst.op = OpMov;
    inst.dst.type = kVirtual;
    inst.dst.index = v;
    inst.dst.mask = n == 1 ? std::uint8_t{1} : mask;
    inst.src[0] = s;
    inst.sourceCount = 1;
    inst.loc = loc_;
    ir_.code.push_back(inst);
  }
  Atoms out;
  for (int c = 0; c < n; ++c) out.push_back(Atom::reg(kVirtual, v, c));
  materialized_[atoms] = out;
  return out;
}

}  // namespace hlsl::sm2
