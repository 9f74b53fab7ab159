// The type checker's expressions: names, operators, assignment, selection,
// constructors, members and indexing.
#include <algorithm>
#include <cstring>

#include "platform/hlsl/front/checker.h"

namespace hlsl::detail {

namespace {

bool hasSideEffects(const Expr& e) {
  if (e.kind == EK::Assign || e.kind == EK::PreIncDec || e.kind == EK::PostIncDec) return true;
  if (e.kind == EK::Call && e.func) return true;
  if (e.kind == EK::Call &&
      (e.intrinsic == In_clip || e.intrinsic == In_sincos || e.intrinsic == In_modf || e.intrinsic == In_frexp))
    return true;
  for (const ExprPtr& a : e.args)
    if (a && hasSideEffects(*a)) return true;
  return false;
}

}  // namespace

void Checker::useVar(Expr& e, Var* v) {
  e.var = v;
  e.type = v->type;
  e.lvalue = true;
  if (v->storage == Var::Storage::Global) {
    if (v->constant || v->isConst) e.lvalue = false;
    if (current_ && std::find(current_->globals.begin(), current_->globals.end(), v) == current_->globals.end())
      current_->globals.push_back(v);
  } else if (v->isConst || (v->storage == Var::Storage::Param && v->isUniform)) {
    e.lvalue = false;
  }
}

void Checker::checkExpr(ExprPtr& ep) {
  Expr& e = *ep;
  switch (e.kind) {
    case EK::IntLit: e.type = Type::scalar(Base::Int); break;
    case EK::FloatLit: e.type = Type::scalar(Base::Float); break;
    case EK::BoolLit: e.type = Type::scalar(Base::Bool); break;
    case EK::Name: {
      Var* v = lookup(e.name);
      if (!v) {
        if (functions_.count(e.name) || findIntrinsic(e.name) >= 0)
          diag_.error(e.loc, "function '" + e.name + "' used as a value");
        else
          diag_.error(e.loc, "undeclared identifier '" + e.name + "'");
        e.type = Type::error();
        break;
      }
      if (leaked_.count(v) && !v->hoisted) {
        diag_.warning(e.loc, "'" + v->name + "' is a loop variable used after its loop");
        v->hoisted = true;
      }
      useVar(e, v);
      break;
    }
    case EK::Binary: binaryExpr(e); break;
    case EK::Unary: {
      checkExpr(e.args[0]);
      Type t = e.args[0]->type;
      if (t.isError()) {
        e.type = t;
        break;
      }
      if (!t.isNumeric()) {
        diag_.error(e.loc, "unary '" + e.op + "': invalid operand type '" + tn(t) + "'");
        e.type = Type::error();
        break;
      }
      if (e.op == "!") {
        if (t.kind == Kind::Matrix) {
          diag_.error(e.loc, "'!' cannot be applied to a matrix");
          e.type = Type::error();
          break;
        }
        e.type = t.withBase(Base::Bool);
      } else {
        e.type = t.base == Base::Bool ? t.withBase(Base::Int) : t;
      }
      coerce(e.args[0], e.type, true);
      break;
    }
    case EK::PreIncDec:
    case EK::PostIncDec: {
      checkExpr(e.args[0]);
      Type t = e.args[0]->type;
      e.type = t;
      if (t.isError()) break;
      if (!t.isNumeric() || t.base == Base::Bool) {
        diag_.error(e.loc, "'" + e.op + "' needs a numeric operand, not '" + tn(t) + "'");
        e.type = Type::error();
      } else {
        requireLvalue(*e.args[0], e.op);
      }
      break;
    }
    case EK::Assign: assign(e); break;
    case EK::Ternary: ternary(e); break;
    case EK::Call: call(e); break;
    case EK::Construct:
      for (ExprPtr& a : e.args) checkExpr(a);
      construct(e);
      break;
    case EK::Cast: {
      checkExpr(e.args[0]);
      Type to = e.target;
      e.type = to;
      if (e.args[0]->type.isError()) break;
      if (to.kind == Kind::Void || to.kind == Kind::Sampler) {
        diag_.error(e.loc, "cannot cast to '" + tn(to) + "'");
        e.type = Type::error();
        break;
      }
      coerce(e.args[0], to, true, true);
      break;
    }
    case EK::Member: member(e); break;
    case EK::Index: index(e); break;
    case EK::InitList:
      diag_.error(e.loc, "initializer lists are only allowed in declarations");
      e.type = Type::error();
      break;
    case EK::Comma:
      for (ExprPtr& a : e.args) checkExpr(a);
      e.type = e.args.back()->type;
      break;
    case EK::Convert: break;
  }
}

bool Checker::requireLvalue(const Expr& target, const std::string& what) {
  if (target.type.isError()) return false;
  if (target.lvalue) return true;
  if (target.kind == EK::Member && target.member == MemberKind::Swizzle && hasDuplicates(target.comps)) {
    diag_.error(target.loc, "duplicate components in write mask");
    return false;
  }
  const Expr* base = &target;
  while ((base->kind == EK::Member || base->kind == EK::Index) && !base->args.empty()) base = base->args[0].get();
  if (base->kind == EK::Name && base->var) {
    diag_.error(target.loc, what + ": '" + base->var->name + "' is read-only" +
                                (base->var->storage == Var::Storage::Global && !base->var->isConst
                                     ? " (global variables are constants unless static)"
                                     : ""));
  } else {
    diag_.error(target.loc, what + ": the left side is not assignable");
  }
  return false;
}

bool Checker::hasDuplicates(const std::vector<int>& c) {
  for (size_t i = 0; i < c.size(); ++i)
    for (size_t j = i + 1; j < c.size(); ++j)
      if (c[i] == c[j]) return true;
  return false;
}

void Checker::binaryExpr(Expr& e) {
  checkExpr(e.args[0]);
  checkExpr(e.args[1]);
  Type a = e.args[0]->type, b = e.args[1]->type;
  if (a.isError() || b.isError()) {
    e.type = Type::error();
    return;
  }
  const std::string& op = e.op;
  bool arithmetic = op == "+" || op == "-" || op == "*" || op == "/" || op == "%";
  bool logical = op == "&&" || op == "||";
  Type t = common(a, b, e.loc, "'" + op + "'");
  if (t.isError()) {
    e.type = t;
    return;
  }
  if (arithmetic) {
    if (t.base == Base::Bool) t = t.withBase(Base::Int);
    if (op == "%" && t.kind == Kind::Matrix) {
      diag_.error(e.loc, "'%' cannot be applied to matrices");
      e.type = Type::error();
      return;
    }
    for (ExprPtr& x : e.args) {
      // A scalar next to a matrix stays a scalar (GLSL applies it per component).
      Type to = (x->type.isScalar() && t.kind == Kind::Matrix) ? Type::scalar(t.base) : t;
      coerce(x, to, true);
    }
    e.type = t;
    return;
  }
  if (t.kind == Kind::Matrix) {
    diag_.error(e.loc, "'" + op + "' cannot be applied to matrices");
    e.type = Type::error();
    return;
  }
  if (logical) {
    t = t.withBase(Base::Bool);
    for (ExprPtr& x : e.args) coerce(x, t, true);
    e.type = t;
    return;
  }
  // Comparison: compare in the promoted type (bool with bool stays bool).
  for (ExprPtr& x : e.args) coerce(x, t, true);
  e.type = t.withBase(Base::Bool);
}

void Checker::assign(Expr& e) {
  checkExpr(e.args[0]);
  if (e.args[1]->kind == EK::InitList) {
    diag_.error(e.args[1]->loc, "initializer lists are only allowed in declarations");
    e.type = Type::error();
    return;
  }
  checkExpr(e.args[1]);
  Type lt = e.args[0]->type;
  e.type = lt;
  if (lt.isError() || e.args[1]->type.isError()) return;
  if (!requireLvalue(*e.args[0], "'" + e.op + "'")) return;
  if (e.args[1]->type.kind == Kind::Void) {
    diag_.error(e.args[1]->loc, "void value cannot be assigned");
    return;
  }
  if (e.op == "=") {
    if (lt.kind == Kind::Sampler) {
      diag_.error(e.loc, "samplers cannot be assigned");
      return;
    }
    coerce(e.args[1], lt);
    return;
  }
  std::string op = e.op.substr(0, 1);
  Type t = common(lt, e.args[1]->type, e.loc, "'" + e.op + "'");
  if (t.isError()) {
    e.type = t;
    return;
  }
  if (t.base == Base::Bool) t = t.withBase(Base::Int);
  if (op == "%" && t.kind == Kind::Matrix) {
    diag_.error(e.loc, "'%=' cannot be applied to matrices");
    return;
  }
  Conv back = classify(t, lt);
  if (back == Conv::Fail) {
    diag_.error(e.loc, "cannot implicitly convert from '" + tn(t) + "' to '" + tn(lt) + "'");
    return;
  }
  if (back == Conv::Truncate) diag_.warning(e.loc, "implicit truncation of vector type");
  Type rt = (e.args[1]->type.isScalar() && t.kind == Kind::Matrix) ? Type::scalar(t.base) : t;
  coerce(e.args[1], rt, true);
  // Written as "a op= b" when GLSL means the same, otherwise "a = a op b".
  bool direct = t == lt && op != "%" && !(op == "*" && t.kind == Kind::Matrix && rt.kind == Kind::Matrix);
  e.ival = direct ? 0 : 1;
  e.target = t;
  if (!direct && hasSideEffects(*e.args[0]))
    diag_.error(e.loc, "'" + e.op + "' on this left side is not supported; split the statement");
}

void Checker::ternary(Expr& e) {
  for (ExprPtr& a : e.args) checkExpr(a);
  Type c = e.args[0]->type, a = e.args[1]->type, b = e.args[2]->type;
  if (c.isError() || a.isError() || b.isError()) {
    e.type = Type::error();
    return;
  }
  if (!c.isNumeric() || c.kind == Kind::Matrix) {
    diag_.error(e.args[0]->loc, "conditional expression must be a scalar or a vector");
    e.type = Type::error();
    return;
  }
  if (c.kind == Kind::Scalar) {
    coerce(e.args[0], Type::scalar(Base::Bool), true);
    if (a == b && !a.isNumeric()) {
      if (a.kind == Kind::Void || a.kind == Kind::Sampler) {
        diag_.error(e.loc, "invalid operand types for '?:'");
        e.type = Type::error();
        return;
      }
      e.type = a;
      return;
    }
    Type t = common(a, b, e.loc, "'?:'");
    if (t.isError()) {
      e.type = t;
      return;
    }
    coerce(e.args[1], t, true);
    coerce(e.args[2], t, true);
    e.type = t;
    return;
  }
  // Per-component selection.
  Type t = common(a, b, e.loc, "'?:'");
  if (t.isError()) {
    e.type = t;
    return;
  }
  if (t.kind == Kind::Matrix) {
    diag_.error(e.loc, "per-component '?:' on matrices is not supported");
    e.type = Type::error();
    return;
  }
  int n = t.kind == Kind::Scalar ? c.cols : std::min(c.cols, t.cols);
  if (t.kind == Kind::Vector && t.cols != c.cols) diag_.warning(e.loc, "implicit truncation of vector type");
  t = Type::vector(t.base, n);
  coerce(e.args[0], Type::vector(Base::Bool, n), true);
  coerce(e.args[1], t, true);
  coerce(e.args[2], t, true);
  e.type = t;
}

void Checker::construct(Expr& e) {
  Type to = e.target;
  e.type = to;
  if (to.kind == Kind::Struct || to.kind == Kind::Sampler || to.kind == Kind::Void || to.array) {
    diag_.error(e.loc, "'" + tn(to) + "' cannot be constructed");
    e.type = Type::error();
    return;
  }
  int total = 0;
  for (ExprPtr& a : e.args) {
    if (a->kind == EK::InitList) {
      diag_.error(a->loc, "nested initializer lists are not supported here");
      e.type = Type::error();
      return;
    }
    if (a->type.isError()) {
      e.type = Type::error();
      return;
    }
    if (!a->type.isNumeric()) {
      diag_.error(a->loc, "constructor arguments must be numeric, not '" + tn(a->type) + "'");
      e.type = Type::error();
      return;
    }
    if (a->type.kind == Kind::Matrix && to.base != Base::Float) {
      diag_.error(a->loc, "matrix arguments are only supported in float constructors");
      e.type = Type::error();
      return;
    }
    total += a->type.components();
  }
  if (e.args.size() == 1 && e.args[0]->type.isScalar()) {
    coerce(e.args[0], Type::scalar(to.base), true);
    return;  // splat
  }
  if (total != to.components()) {
    diag_.error(e.loc, "'" + tn(to) + "' constructor needs " + std::to_string(to.components()) + " components, " +
                           std::to_string(total) + " given");
    e.type = Type::error();
    return;
  }
  for (ExprPtr& a : e.args) coerce(a, a->type.withBase(to.base), true);
}

void Checker::member(Expr& e) {
  checkExpr(e.args[0]);
  Type b = e.args[0]->type;
  e.type = Type::error();
  if (b.isError()) return;
  const std::string& n = e.name;
  if (b.array) {
    diag_.error(e.loc, "arrays have no members");
    return;
  }
  if (b.kind == Kind::Struct) {
    const StructDecl& sd = m_.structs[b.structId];
    for (size_t i = 0; i < sd.members.size(); ++i) {
      if (sd.members[i].name == n) {
        e.member = MemberKind::Field;
        e.field = static_cast<int>(i);
        e.type = sd.members[i].type;
        e.lvalue = e.args[0]->lvalue;
        return;
      }
    }
    diag_.error(e.loc, "'" + n + "' is not a member of '" + sd.name + "'");
    return;
  }
  if (b.kind == Kind::Scalar || b.kind == Kind::Vector) {
    static const char* const sets[] = {"xyzw", "rgba"};
    int size = b.kind == Kind::Scalar ? 1 : b.cols;
    for (const char* set : sets) {
      std::vector<int> comps;
      bool ok = n.size() <= 4;
      for (char c : n) {
        const char* p = std::strchr(set, c);
        if (!p || c == '\0') {
          ok = false;
          break;
        }
        comps.push_back(static_cast<int>(p - set));
      }
      if (!ok) continue;
      for (int c : comps) {
        if (c >= size) {
          diag_.error(e.loc, "swizzle '" + n + "' is out of range for '" + tn(b) + "'");
          return;
        }
      }
      e.comps = comps;
      e.member = b.kind == Kind::Scalar ? MemberKind::ScalarSwizzle : MemberKind::Swizzle;
      e.type = Type::vector(b.base, static_cast<int>(comps.size()));
      e.lvalue = e.args[0]->lvalue && !hasDuplicates(comps);
      return;
    }
    diag_.error(e.loc, "invalid swizzle '" + n + "' on '" + tn(b) + "'");
    return;
  }
  if (b.kind == Kind::Matrix) {
    // ._m00_m11 (from 0) or ._11_22 (from 1)
    std::vector<int> comps;
    size_t k = 0;
    bool ok = !n.empty();
    while (ok && k < n.size()) {
      if (n[k] != '_') {
        ok = false;
        break;
      }
      ++k;
      int offset = 1;
      if (k < n.size() && n[k] == 'm') {
        offset = 0;
        ++k;
      }
      if (k + 2 > n.size() || !std::isdigit(static_cast<unsigned char>(n[k])) ||
          !std::isdigit(static_cast<unsigned char>(n[k + 1]))) {
        ok = false;
        break;
      }
      int r = n[k] - '0' - offset, c = n[k + 1] - '0' - offset;
      k += 2;
      if (r < 0 || c < 0 || r >= b.rows || c >= b.cols) {
        diag_.error(e.loc, "matrix element '" + n + "' is out of range for '" + tn(b) + "'");
        return;
      }
      comps.push_back(r * 4 + c);
    }
    if (!ok || comps.empty() || comps.size() > 4) {
      diag_.error(e.loc, "invalid matrix swizzle '" + n + "'");
      return;
    }
    e.comps = comps;
    e.member = MemberKind::MatrixSwizzle;
    e.type = Type::vector(Base::Float, static_cast<int>(comps.size()));
    e.lvalue = e.args[0]->lvalue && comps.size() == 1;
    return;
  }
  diag_.error(e.loc, "'" + tn(b) + "' has no members");
}

void Checker::index(Expr& e) {
  checkExpr(e.args[0]);
  checkExpr(e.args[1]);
  Type b = e.args[0]->type;
  Type i = e.args[1]->type;
  e.type = Type::error();
  if (b.isError() || i.isError()) return;
  if (!i.isScalar()) {
    diag_.error(e.args[1]->loc, "array index must be a scalar");
    return;
  }
  coerce(e.args[1], Type::scalar(Base::Int), true);
  int limit = 0;
  if (b.array) {
    e.type = b.element();
    limit = b.array;
  } else if (b.kind == Kind::Vector) {
    e.type = Type::scalar(b.base);
    limit = b.cols;
  } else if (b.kind == Kind::Matrix) {
    e.type = Type::vector(Base::Float, b.cols);
    limit = b.rows;
  } else {
    diag_.error(e.loc, "'" + tn(b) + "' cannot be indexed");
    return;
  }
  double v;
  if (constValue(*e.args[1], v) && (v < 0 || v >= limit)) diag_.error(e.args[1]->loc, "array index out of bounds");
  e.lvalue = e.args[0]->lvalue;
}

}  // namespace hlsl::detail
