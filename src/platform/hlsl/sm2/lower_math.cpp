// Arithmetic in shader model 2 terms: comparisons and selection (cmp in
// pixel shaders, slt/sge and lrp in vertex shaders), division, rounding,
// matrix products and the intrinsic functions.
#include <cmath>
#include <functional>

#include "platform/hlsl/sm2/lower.h"

namespace hlsl::sm2 {

using detail::Base;
using detail::EK;
using detail::Kind;

namespace {

constexpr float kPi = 3.14159265358979f;

Atoms literals(size_t n, float v) { return Atoms(n, Atom::of(v)); }

Atoms splat(const Atoms& a, size_t n) { return a.size() == 1 && n > 1 ? Atoms(n, a[0]) : a; }

bool allLiteral(const Atoms& a) {
  for (const Atom& x : a)
    if (!x.literal) return false;
  return true;
}

Atoms pick(const Atoms& a, const std::vector<size_t>& where) {
  Atoms out;
  for (size_t k : where) out.push_back(a.size() == 1 ? a[0] : a[k]);
  return out;
}

}  // namespace

Atoms Lowerer::arith(std::uint16_t opcode, int width, const std::vector<Atoms>& sources, bool sat) {
  return b_.op(opcode, width, sources, sat);
}

Atoms Lowerer::arithRows(std::uint16_t opcode, const Type& type, const std::vector<Atoms>& sources) {
  if (type.kind != Kind::Matrix) return arith(opcode, type.components(), sources);
  // A matrix row by row: each row is one register's worth.
  Atoms out;
  for (int r = 0; r < type.rows; ++r) {
    std::vector<Atoms> row;
    for (const Atoms& s : sources) {
      if (s.size() == 1)
        row.push_back(s);
      else
        row.emplace_back(s.begin() + r * type.cols, s.begin() + (r + 1) * type.cols);
    }
    Atoms part = arith(opcode, type.cols, row);
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

Atoms Lowerer::negate(const Atoms& a) {
  Atoms out;
  for (const Atom& x : a) out.push_back(x.negated());
  return out;
}

Atoms Lowerer::compare(const std::string& op, const Atoms& a0, const Atoms& b0) {
  const size_t n = std::max(a0.size(), b0.size());
  Atoms a = splat(a0, n), b = splat(b0, n);
  const int w = static_cast<int>(n);
  if (allLiteral(a) && allLiteral(b)) {
    Atoms out;
    for (size_t k = 0; k < n; ++k) {
      float x = a[k].value, y = b[k].value;
      bool r = op == "<"    ? x < y
               : op == ">"  ? x > y
               : op == "<=" ? x <= y
               : op == ">=" ? x >= y
               : op == "==" ? x == y
                            : x != y;
      out.push_back(Atom::of(r ? 1.0f : 0.0f));
    }
    return out;
  }
  if (!target_.pixel) {
    if (op == "<") return arith(OpSlt, w, {a, b});
    if (op == ">=") return arith(OpSge, w, {a, b});
    if (op == ">") return arith(OpSlt, w, {b, a});
    if (op == "<=") return arith(OpSge, w, {b, a});
    if (op == "==") return arith(OpMul, w, {arith(OpSge, w, {a, b}), arith(OpSge, w, {b, a})});
    return arith(OpAdd, w, {arith(OpSlt, w, {a, b}), arith(OpSlt, w, {b, a})});
  }
  // cmp d, x, y gives x where d >= 0.
  Atoms d;
  bool whenNonNegative;
  if (op == "<" || op == ">=") {
    d = arith(OpAdd, w, {a, negate(b)});
    whenNonNegative = op == ">=";
  } else if (op == ">" || op == "<=") {
    d = arith(OpAdd, w, {b, negate(a)});
    whenNonNegative = op == "<=";
  } else {
    Atoms diff = arith(OpAdd, w, {a, negate(b)});
    d = negate(arith(OpMul, w, {diff, diff}));
    whenNonNegative = op == "==";
  }
  Atoms result =
      arith(OpCmp, w, {d, literals(n, whenNonNegative ? 1.0f : 0.0f), literals(n, whenNonNegative ? 0.0f : 1.0f)});
  if (!allLiteral(result)) comparisons_[result] = Comparison{d, whenNonNegative};
  return result;
}

Atoms Lowerer::selectAtoms(const Atoms& cond, const Atoms& a0, const Atoms& b0) {
  const size_t n = std::max({cond.size(), a0.size(), b0.size()});
  Atoms c = splat(cond, n), a = splat(a0, n), b = splat(b0, n);
  Atoms out(n);
  std::vector<size_t> live;
  for (size_t k = 0; k < n; ++k) {
    if (c[k].literal)
      out[k] = c[k].value != 0.0f ? a[k] : b[k];
    else if (a[k] == b[k])
      out[k] = a[k];
    else
      live.push_back(k);
  }
  if (live.empty()) return out;
  const int w = static_cast<int>(live.size());
  Atoms pa = pick(a, live), pb = pick(b, live);
  Atoms chosen;
  if (target_.pixel) {
    auto found = comparisons_.find(cond);
    if (found != comparisons_.end()) {
      const Comparison& cmp = found->second;
      Atoms d = pick(cmp.difference, live);
      chosen = cmp.whenNonNegative ? arith(OpCmp, w, {d, pa, pb}) : arith(OpCmp, w, {d, pb, pa});
    } else {
      chosen = arith(OpCmp, w, {negate(pick(c, live)), pb, pa});
    }
  } else {
    chosen = arith(OpLrp, w, {pick(c, live), pa, pb});
  }
  for (size_t i = 0; i < live.size(); ++i) out[live[i]] = chosen[i];
  return out;
}

Atoms Lowerer::logicalNot(const Atoms& a) {
  Atoms out = arith(OpAdd, static_cast<int>(a.size()), {negate(a), literals(a.size(), 1.0f)});
  auto found = comparisons_.find(a);
  if (found != comparisons_.end() && !allLiteral(out))
    comparisons_[out] = Comparison{found->second.difference, !found->second.whenNonNegative};
  return out;
}

Atoms Lowerer::notZero(const Atoms& a) { return compare("!=", a, literals(a.size(), 0.0f)); }

Atoms Lowerer::perComponent(const Atoms& a, std::uint16_t opcode) { return b_.scalarEach(opcode, a); }

Atoms Lowerer::reciprocal(const Atoms& a) { return perComponent(a, OpRcp); }

Atoms Lowerer::divide(const Atoms& a, const Atoms& b) {
  const size_t n = std::max(a.size(), b.size());
  return arith(OpMul, static_cast<int>(n), {splat(a, n), reciprocal(splat(b, n))});
}

Atoms Lowerer::absolute(const Atoms& a) { return arith(OpAbs, static_cast<int>(a.size()), {a}); }

Atoms Lowerer::floorOf(const Atoms& a) {
  const int n = static_cast<int>(a.size());
  return arith(OpAdd, n, {a, negate(arith(OpFrc, n, {a}))});
}

Atoms Lowerer::truncate(const Atoms& a) {
  const int n = static_cast<int>(a.size());
  if (allLiteral(a)) {
    Atoms out;
    for (const Atom& x : a) out.push_back(Atom::of(std::trunc(x.value)));
    return out;
  }
  Atoms whole = floorOf(absolute(a));
  return selectAtoms(compare(">=", a, literals(static_cast<size_t>(n), 0.0f)), whole, negate(whole));
}

Atoms Lowerer::fmod(const Atoms& x, const Atoms& y) {
  const size_t n = std::max(x.size(), y.size());
  const int w = static_cast<int>(n);
  Atoms d = divide(x, y);
  Atoms f = arith(OpMul, w, {arith(OpFrc, w, {absolute(d)}), splat(y, n)});
  return selectAtoms(compare(">=", d, literals(n, 0.0f)), f, negate(f));
}

Atoms Lowerer::saturate(const Atoms& a) {
  const int n = static_cast<int>(a.size());
  if (target_.saturate) return arith(OpMov, n, {a}, true);
  return arith(OpMin, n, {arith(OpMax, n, {a, {Atom::of(0.0f)}}), {Atom::of(1.0f)}});
}

Atoms Lowerer::squareRoot(const Atoms& a) { return b_.scalarEach(OpRcp, b_.scalarEach(OpRsq, a)); }

Atoms Lowerer::sinOrCos(const Atoms& a, bool sine) {
  Atoms out;
  for (const Atom& x : a) {
    if (x.literal) {
      out.push_back(Atom::of(sine ? std::sin(x.value) : std::cos(x.value)));
      continue;
    }
    // Into [-pi, pi) first: the instruction takes no wider range.
    Atom turns = arith(OpMad, 1, {{x}, {Atom::of(0.5f / kPi)}, {Atom::of(0.5f)}})[0];
    Atom angle = arith(OpMad, 1, {arith(OpFrc, 1, {{turns}}), {Atom::of(2.0f * kPi)}, {Atom::of(-kPi)}})[0];
    auto [c, s] = b_.sincos(angle);
    out.push_back(sine ? s : c);
  }
  return out;
}

Atoms Lowerer::arctangent2(const Atoms& y0, const Atoms& x0) {
  const size_t n = std::max(y0.size(), x0.size());
  const int w = static_cast<int>(n);
  Atoms y = splat(y0, n), x = splat(x0, n);
  Atoms ax = absolute(x), ay = absolute(y);
  Atoms ratio = arith(OpMul, w, {arith(OpMin, w, {ax, ay}), reciprocal(arith(OpMax, w, {ax, ay}))});
  Atoms s = arith(OpMul, w, {ratio, ratio});
  // A minimax polynomial for atan on [0, 1].
  static const float kCoefficients[] = {-0.0117212f, 0.05265332f, -0.11643287f, 0.19354346f, -0.33262347f, 0.99997726f};
  Atoms p = literals(n, kCoefficients[0]);
  for (size_t i = 1; i < 6; ++i) p = arith(OpMad, w, {p, s, literals(n, kCoefficients[i])});
  Atoms r = arith(OpMul, w, {p, ratio});
  r = selectAtoms(compare(">", ay, ax), arith(OpAdd, w, {negate(r), literals(n, kPi / 2)}), r);
  r = selectAtoms(compare("<", x, literals(n, 0.0f)), arith(OpAdd, w, {negate(r), literals(n, kPi)}), r);
  return selectAtoms(compare("<", y, literals(n, 0.0f)), negate(r), r);
}

Atoms Lowerer::multiply(const Value& a, const Value& b, int form, Type resultType) {
  const Type& ta = a.type;
  const Type& tb = b.type;
  switch (form) {
    case detail::Mul_Scalar: {
      const int n = resultType.components();
      return arith(OpMul, n, {splat(a.atoms, static_cast<size_t>(n)), splat(b.atoms, static_cast<size_t>(n))});
    }
    case detail::Mul_Dot: return {b_.dot(a.atoms, b.atoms)};
    case detail::Mul_VecMat: {
      // v * M: the rows of M weighted by the components of v.
      const int rows = tb.rows, cols = tb.cols;
      Atoms sum;
      bool started = false;
      for (int i = 0; i < rows; ++i) {
        const Atom& vi = a.atoms[static_cast<size_t>(i)];
        if (vi.isLiteral(0.0f)) continue;
        Atoms row(b.atoms.begin() + i * cols, b.atoms.begin() + (i + 1) * cols);
        sum = started ? arith(OpMad, cols, {{vi}, row, sum}) : arith(OpMul, cols, {{vi}, row});
        started = true;
      }
      return started ? sum : literals(static_cast<size_t>(cols), 0.0f);
    }
    case detail::Mul_MatVec: {
      // M * v: one dot product per row of M.
      const int rows = ta.rows, cols = ta.cols;
      std::vector<Atoms> each;
      for (int i = 0; i < rows; ++i) each.emplace_back(a.atoms.begin() + i * cols, a.atoms.begin() + (i + 1) * cols);
      return b_.dotEach(each, b.atoms);
    }
    case detail::Mul_MatMat: {
      const int rows = ta.rows, inner = ta.cols, cols = tb.cols;
      Atoms out;
      for (int i = 0; i < rows; ++i) {
        Value row;
        row.type = Type::vector(Base::Float, inner);
        row.atoms.assign(a.atoms.begin() + i * inner, a.atoms.begin() + (i + 1) * inner);
        Atoms r = multiply(row, b, detail::Mul_VecMat, Type::vector(Base::Float, cols));
        out.insert(out.end(), r.begin(), r.end());
      }
      return out;
    }
  }
  return {};
}

// ------------------------------------------------------------ intrinsics

Value Lowerer::intrinsic(const Expr& e, State& st) {
  using namespace detail;
  const Type& t = e.type;
  const int n = t.isNumeric() ? t.components() : 0;
  auto result = [&](Atoms atoms) {
    Value v;
    v.type = t;
    v.atoms = std::move(atoms);
    return v;
  };
  // Out arguments are assignment targets; everything else is a value.
  std::vector<Value> args;
  std::vector<Path> outPaths(e.args.size());
  const bool hasOut = e.intrinsic == In_sincos || e.intrinsic == In_modf || e.intrinsic == In_frexp;
  for (size_t i = 0; i < e.args.size(); ++i) {
    if (hasOut && i > 0) {
      if (!path(*e.args[i], st, &outPaths[i])) fail(e.args[i]->loc, "this out argument is not supported");
      args.push_back(Value{});
      continue;
    }
    args.push_back(eval(*e.args[i], st));
  }
  if (failed_) return zero(t);
  b_.setLoc(e.loc);
  auto A = [&](size_t i) -> const Atoms& { return args[i].atoms; };
  auto S = [&](size_t i) { return splat(args[i].atoms, static_cast<size_t>(n)); };
  auto unsupported = [&](const std::string& what) {
    fail(e.loc,
         "'" + e.name + "' is not available in " + std::string(target_.name) + (what.empty() ? "" : " (" + what + ")"));
    return zero(t);
  };
  auto sampler = [&]() { return args[0].sampler; };
  switch (e.intrinsic) {
    case In_abs: return result(absolute(A(0)));
    case In_frac: return result(arith(OpFrc, n, {A(0)}));
    case In_floor: return result(floorOf(A(0)));
    case In_ceil: return result(negate(floorOf(negate(A(0)))));
    case In_round: return result(floorOf(arith(OpAdd, n, {A(0), literals(1, 0.5f)})));
    case In_trunc: return result(truncate(A(0)));
    case In_saturate: return result(saturate(A(0)));
    case In_min: return result(arith(OpMin, n, {S(0), S(1)}));
    case In_max: return result(arith(OpMax, n, {S(0), S(1)}));
    case In_clamp: return result(arith(OpMin, n, {arith(OpMax, n, {S(0), S(1)}), S(2)}));
    case In_lerp: return result(arith(OpLrp, n, {S(2), S(1), S(0)}));
    case In_step: return result(compare(">=", S(1), S(0)));
    case In_smoothstep: {
      Atoms e0 = S(0), e1 = S(1), x = S(2);
      Atoms scale = reciprocal(arith(OpAdd, n, {e1, negate(e0)}));
      Atoms u = saturate(arith(OpMad, n, {x, scale, negate(arith(OpMul, n, {e0, scale}))}));
      Atoms shape = arith(OpMad, n, {u, literals(1, -2.0f), literals(1, 3.0f)});
      return result(arith(OpMul, n, {arith(OpMul, n, {u, u}), shape}));
    }
    case In_sign: {
      Atoms x = A(0);
      Atoms positive = compare(">", x, literals(x.size(), 0.0f));
      Atoms negative = compare("<", x, literals(x.size(), 0.0f));
      return result(arith(OpAdd, n, {positive, negate(negative)}));
    }
    case In_sqrt: return result(squareRoot(A(0)));
    case In_rsqrt: return result(perComponent(A(0), OpRsq));
    case In_exp2: return result(perComponent(A(0), OpExp));
    case In_exp: return result(perComponent(arith(OpMul, n, {A(0), literals(1, 1.44269504f)}), OpExp));
    case In_log2: return result(perComponent(A(0), OpLog));
    case In_log: return result(arith(OpMul, n, {perComponent(A(0), OpLog), literals(1, 0.69314718f)}));
    case In_log10: return result(arith(OpMul, n, {perComponent(A(0), OpLog), literals(1, 0.30103f)}));
    case In_pow: {
      Atoms x = S(0), y = S(1);
      return result(b_.scalarEach(OpPow, x, &y));
    }
    case In_ldexp: return result(arith(OpMul, n, {S(0), perComponent(S(1), OpExp)}));
    case In_sin: return result(sinOrCos(A(0), true));
    case In_cos: return result(sinOrCos(A(0), false));
    case In_tan: return result(divide(sinOrCos(A(0), true), sinOrCos(A(0), false)));
    case In_sinh:
    case In_cosh:
    case In_tanh: {
      Atoms up = perComponent(arith(OpMul, n, {A(0), literals(1, 1.44269504f)}), OpExp);
      Atoms down = perComponent(arith(OpMul, n, {A(0), literals(1, -1.44269504f)}), OpExp);
      Atoms diff = arith(OpAdd, n, {up, negate(down)});
      Atoms sum = arith(OpAdd, n, {up, down});
      if (e.intrinsic == In_tanh) return result(divide(diff, sum));
      return result(arith(OpMul, n, {e.intrinsic == In_sinh ? diff : sum, literals(1, 0.5f)}));
    }
    case In_atan: return result(arctangent2(A(0), literals(1, 1.0f)));
    case In_atan2: return result(arctangent2(S(0), S(1)));
    case In_asin:
    case In_acos: {
      // acos(|x|) as sqrt(1 - |x|) times a cubic (within 7e-5), mirrored
      // for negative x; asin is pi/2 minus acos.
      Atoms x = A(0);
      Atoms ax = absolute(x);
      Atoms p = arith(OpMad, n, {ax, literals(1, -0.0187293f), literals(1, 0.0742610f)});
      p = arith(OpMad, n, {p, ax, literals(1, -0.2121144f)});
      p = arith(OpMad, n, {p, ax, literals(1, 1.5707288f)});
      Atoms r = arith(OpMul, n, {p, squareRoot(arith(OpAdd, n, {negate(ax), literals(1, 1.0f)}))});
      Atoms acos =
          selectAtoms(compare("<", x, literals(x.size(), 0.0f)), arith(OpAdd, n, {negate(r), literals(1, kPi)}), r);
      if (e.intrinsic == In_acos) return result(acos);
      return result(arith(OpAdd, n, {negate(acos), literals(1, kPi / 2)}));
    }
    case In_degrees: return result(arith(OpMul, n, {A(0), literals(1, 57.29577951f)}));
    case In_radians: return result(arith(OpMul, n, {A(0), literals(1, 0.01745329252f)}));
    case In_fmod: return result(fmod(S(0), S(1)));
    case In_dot: return result({b_.dot(A(0), A(1))});
    case In_length: return result(squareRoot({b_.dot(A(0), A(0))}));
    case In_distance: {
      Atoms d = arith(OpAdd, static_cast<int>(A(0).size()), {A(0), negate(A(1))});
      return result(squareRoot({b_.dot(d, d)}));
    }
    case In_normalize: {
      Atom inv = b_.scalar(OpRsq, b_.dot(A(0), A(0)));
      return result(arith(OpMul, n, {A(0), {inv}}));
    }
    case In_cross: {
      const Atoms& a = A(0);
      const Atoms& b = A(1);
      Atoms ayzx{a[1], a[2], a[0]}, azxy{a[2], a[0], a[1]}, byzx{b[1], b[2], b[0]}, bzxy{b[2], b[0], b[1]};
      Atoms back = arith(OpMul, 3, {azxy, byzx});
      return result(arith(OpMad, 3, {ayzx, bzxy, negate(back)}));
    }
    case In_reflect: {
      Atom d = b_.dot(A(1), A(0));
      Atom twice = arith(OpMul, 1, {{d}, {Atom::of(-2.0f)}})[0];
      return result(arith(OpMad, n, {A(1), {twice}, A(0)}));
    }
    case In_refract: {
      const Atoms& i = A(0);
      const Atoms& nn = A(1);
      Atom eta = A(2)[0];
      Atom d = b_.dot(nn, i);
      Atom k = arith(OpMad, 1, {{eta}, {eta}, {Atom::of(0.0f)}})[0];
      Atom oneMinus = arith(OpMad, 1, {{d}, {d.negated()}, {Atom::of(1.0f)}})[0];
      k = arith(OpMad, 1, {{k.negated()}, {oneMinus}, {Atom::of(1.0f)}})[0];
      Atom root = squareRoot({k})[0];
      Atom scale = arith(OpMad, 1, {{eta}, {d}, {root}})[0];
      Atoms r = arith(OpMad, n, {i, {eta}, negate(arith(OpMul, n, {nn, {scale}}))});
      return result(selectAtoms(compare("<", {k}, {Atom::of(0.0f)}), literals(static_cast<size_t>(n), 0.0f), r));
    }
    case In_faceforward: {
      Atom d = b_.dot(A(2), A(1));
      return result(selectAtoms(compare("<", {d}, {Atom::of(0.0f)}), A(0), negate(A(0))));
    }
    case In_all:
    case In_any: {
      const Atoms& x = A(0);
      Atoms truth = e.args[0]->type.base == Base::Bool ? x : notZero(x);
      Atom acc = truth[0];
      for (size_t k = 1; k < truth.size(); ++k)
        acc = arith(e.intrinsic == In_all ? OpMul : OpMax, 1, {{acc}, {truth[k]}})[0];
      return result({acc});
    }
    case In_isnan: return result(compare("!=", A(0), A(0)));
    case In_isinf: return result(compare(">", absolute(A(0)), literals(A(0).size(), 3.4028235e38f)));
    case In_isfinite: return result(compare("<=", absolute(A(0)), literals(A(0).size(), 3.4028235e38f)));
    case In_clip: {
      Atoms x = A(0);
      Atoms four;
      if (x.size() == 4) {
        Atom zw = arith(OpMin, 1, {{x[2]}, {x[3]}})[0];
        four = {x[0], x[1], zw, zw};
      } else {
        four = x;
        while (four.size() < 4) four.push_back(four.back());
      }
      PredPtr when = absolute(st.pred);
      if (when->kind != Pred::Kind::True) four = selectAtoms({predAtom(when)}, four, literals(4, 0.0f));
      if (!allLiteral(four) || four[0].value < 0 || four[1].value < 0 || four[2].value < 0) b_.kill(four);
      return Value{};
    }
    case In_ddx:
    case In_ddy:
      if (!target_.derivatives) return unsupported("it has no derivative instructions");
      return result(arith(e.intrinsic == In_ddx ? OpDsx : OpDsy, n, {A(0)}));
    case In_determinant: {
      const Type& mt = e.args[0]->type;
      const Atoms& m = A(0);
      auto at = [&](int r, int c) { return m[static_cast<size_t>(r * mt.cols + c)]; };
      // Expansion along the first row, minors recursively.
      std::function<Atom(std::vector<int>, std::vector<int>)> det = [&](std::vector<int> rows,
                                                                        std::vector<int> cols) -> Atom {
        if (rows.size() == 1) return at(rows[0], cols[0]);
        Atom sum = Atom::of(0.0f);
        for (size_t j = 0; j < cols.size(); ++j) {
          std::vector<int> subCols = cols;
          subCols.erase(subCols.begin() + static_cast<long>(j));
          std::vector<int> subRows(rows.begin() + 1, rows.end());
          Atom minor = det(subRows, subCols);
          Atom term = at(rows[0], cols[j]);
          sum = arith(OpMad, 1, {{j % 2 ? term.negated() : term}, {minor}, {sum}})[0];
        }
        return sum;
      };
      std::vector<int> idx;
      for (int k = 0; k < mt.rows; ++k) idx.push_back(k);
      return result({det(idx, idx)});
    }
    case In_transpose: {
      const Type& mt = e.args[0]->type;
      Atoms out;
      for (int c = 0; c < mt.cols; ++c)
        for (int r = 0; r < mt.rows; ++r) out.push_back(A(0)[static_cast<size_t>(r * mt.cols + c)]);
      return result(out);
    }
    case In_lit: {
      Atom l = A(0)[0], h = A(1)[0], m = A(2)[0];
      Atom diffuse = arith(OpMax, 1, {{l}, {Atom::of(0.0f)}})[0];
      Atom specular = b_.pow(h, m);
      Atom dark = arith(OpMax, 1, {compare("<", {l}, {Atom::of(0.0f)}), compare("<", {h}, {Atom::of(0.0f)})})[0];
      specular = selectAtoms({dark}, {Atom::of(0.0f)}, {specular})[0];
      return result({Atom::of(1.0f), diffuse, specular, Atom::of(1.0f)});
    }
    case In_sincos: {
      Value s = result(sinOrCos(A(0), true));
      Value c = result(sinOrCos(A(0), false));
      write(outPaths[1], convert(s, e.args[1]->type), st);
      write(outPaths[2], convert(c, e.args[2]->type), st);
      return Value{};
    }
    case In_modf: {
      Atoms whole = truncate(A(0));
      write(outPaths[1], convert(result(whole), e.args[1]->type), st);
      return result(arith(OpAdd, n, {A(0), negate(whole)}));
    }
    case In_frexp: {
      Atoms x = A(0);
      Atoms e2 = arith(OpAdd, n, {floorOf(perComponent(x, OpLog)), literals(1, 1.0f)});
      e2 = selectAtoms(compare("==", x, literals(x.size(), 0.0f)), literals(x.size(), 0.0f), e2);
      write(outPaths[1], convert(result(e2), e.args[1]->type), st);
      return result(arith(OpMul, n, {x, perComponent(negate(e2), OpExp)}));
    }
    case In_mul: return result(multiply(args[0], args[1], static_cast<int>(e.ival), t));
    case In_tex2D:
    case In_texCUBE: {
      const int size = e.intrinsic == In_tex2D ? 2 : 3;
      if (e.args.size() == 4) {
        if (!target_.derivatives) return unsupported("it has no texldd");
        return result(b_.sample(OpTexldd, 0, A(1), sampler(), &A(2), &A(3)));
      }
      if (!target_.pixel) return unsupported("vertex shaders sample with tex2Dlod");
      Atoms coord = A(1);
      coord.resize(static_cast<size_t>(size));
      return result(b_.sample(OpTex, 0, coord, sampler()));
    }
    case In_tex2Dgrad:
    case In_texCUBEgrad:
      if (!target_.derivatives) return unsupported("it has no texldd");
      return result(b_.sample(OpTexldd, 0, A(1), sampler(), &A(2), &A(3)));
    case In_tex2Dproj:
      if (!target_.pixel) return unsupported("");
      return result(b_.sample(OpTex, kTexldProject, A(1), sampler()));
    case In_texCUBEproj: {
      // Projection means nothing to a cube lookup's direction, but HLSL
      // divides; texldp is not meant for cube samplers, so divide here.
      if (!target_.pixel) return unsupported("");
      Atoms v = A(1);
      Atom w = b_.scalar(OpRcp, v[3]);
      return result(b_.sample(OpTex, 0, arith(OpMul, 3, {{v[0], v[1], v[2]}, {w}}), sampler()));
    }
    case In_tex2Dbias:
    case In_texCUBEbias:
      if (!target_.biasSampling) return unsupported("");
      return result(b_.sample(OpTex, kTexldBias, A(1), sampler()));
    case In_tex2Dlod:
    case In_texCUBElod:
      if (!target_.lodSampling) return unsupported("it has no texldl");
      return result(b_.sample(OpTexldl, 0, A(1), sampler()));
    default: break;
  }
  return unsupported("");
}

}  // namespace hlsl::sm2
