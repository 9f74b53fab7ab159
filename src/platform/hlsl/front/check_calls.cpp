// The type checker's calls: overload resolution for user functions, and the
// typing of every intrinsic (mul's forms included).
#include <algorithm>

#include "platform/hlsl/front/checker.h"

namespace hlsl::detail {

int Checker::conversionCost(const Type& from, const Type& to) const {
  Conv c = classify(from, to);
  switch (c) {
    case Conv::Same: return 0;
    case Conv::Ok: return (from.kind == to.kind ? 1 : 3);
    case Conv::Truncate: return 6;
    case Conv::Fail: return -1;
  }
  return -1;
}

void Checker::call(Expr& e) {
  for (ExprPtr& a : e.args) {
    if (a->kind == EK::InitList) {
      diag_.error(a->loc, "initializer lists are only allowed in declarations");
      e.type = Type::error();
      return;
    }
    checkExpr(a);
  }
  e.type = Type::error();
  for (ExprPtr& a : e.args)
    if (a->type.isError()) return;
  auto it = functions_.find(e.name);
  if (it != functions_.end()) {
    userCall(e, it->second);
    return;
  }
  int id = findIntrinsic(e.name);
  if (id >= 0) {
    e.intrinsic = id;
    intrinsic(e);
    return;
  }
  if (lookup(e.name))
    diag_.error(e.loc, "'" + e.name + "' is not a function");
  else
    diag_.error(e.loc, "undeclared identifier '" + e.name + "'");
}

void Checker::userCall(Expr& e, const std::vector<FunctionDecl*>& overloads) {
  FunctionDecl* best = nullptr;
  int bestCost = 0;
  bool ambiguous = false;
  bool anyArity = false;
  for (FunctionDecl* f : overloads) {
    if (f->params.size() != e.args.size()) continue;
    anyArity = true;
    int cost = 0;
    for (size_t i = 0; i < e.args.size() && cost >= 0; ++i) {
      const Var* p = f->params[i];
      int c = p->dir == ParamDir::In ? conversionCost(e.args[i]->type, p->type)
                                     : (classify(e.args[i]->type, p->type) == Conv::Same ? 0 : -1);
      cost = c < 0 ? -1 : cost + c;
    }
    if (cost < 0) continue;
    if (!best || cost < bestCost) {
      best = f;
      bestCost = cost;
      ambiguous = false;
    } else if (cost == bestCost) {
      ambiguous = true;
    }
  }
  if (!anyArity) {
    diag_.error(e.loc, "function '" + e.name + "' does not take " + std::to_string(e.args.size()) + " arguments");
    return;
  }
  if (!best) {
    std::string types;
    for (size_t i = 0; i < e.args.size(); ++i) types += (i ? ", " : "") + tn(e.args[i]->type);
    diag_.error(e.loc, "no overload of '" + e.name + "' takes (" + types + ")");
    return;
  }
  if (ambiguous) {
    diag_.error(e.loc, "ambiguous call to overloaded function '" + e.name + "'");
    return;
  }
  for (size_t i = 0; i < e.args.size(); ++i) {
    const Var* p = best->params[i];
    if (p->dir == ParamDir::In) {
      coerce(e.args[i], p->type);
    } else {
      requireLvalue(*e.args[i], "out argument");
    }
  }
  e.func = best;
  e.type = best->ret;
  if (current_) current_->calls.push_back({best, e.loc});
}

// Common float shape of the arguments of a component-wise intrinsic.
bool Checker::componentwise(Expr& e, size_t first, size_t count, Base base, Type& out, bool allowInt) {
  Type t;
  bool allInt = true;
  for (size_t i = first; i < first + count; ++i) {
    Type a = e.args[i]->type;
    if (!a.isNumeric()) {
      diag_.error(e.args[i]->loc, "'" + e.name + "': invalid argument type '" + tn(a) + "'");
      return false;
    }
    if (a.kind == Kind::Matrix) {
      diag_.error(e.args[i]->loc, "'" + e.name + "': matrix arguments are not supported");
      return false;
    }
    if (a.base != Base::Int) allInt = false;
    if (i == first) {
      t = a;
    } else {
      t = common(t, a, e.loc, "'" + e.name + "'");
      if (t.isError()) return false;
    }
  }
  Base b = allowInt && allInt ? Base::Int : base;
  t = t.withBase(b);
  for (size_t i = first; i < first + count; ++i) coerce(e.args[i], t, true);
  out = t;
  return true;
}

bool Checker::arity(Expr& e, size_t lo, size_t hi) {
  if (e.args.size() < lo || e.args.size() > hi) {
    diag_.error(e.loc,
                "intrinsic function '" + e.name + "' does not take " + std::to_string(e.args.size()) + " arguments");
    return false;
  }
  return true;
}

bool Checker::samplerArg(Expr& e, Base kind) {
  Expr& s = *e.args[0];
  if (s.type.kind != Kind::Sampler) {
    diag_.error(s.loc, "'" + e.name + "': the first argument must be a sampler");
    return false;
  }
  if (s.type.base == Base::SamplerAny) {
    if (s.kind == EK::Name && s.var && s.var->storage == Var::Storage::Global) {
      noteSamplerUse(s, kind);
    } else if (kind == Base::SamplerCube) {
      diag_.error(s.loc, "'" + e.name + "' needs a samplerCUBE parameter");
      return false;
    }
    return true;
  }
  if (s.type.base != kind) {
    diag_.error(s.loc, "'" + e.name + "' needs a " +
                           std::string(kind == Base::SamplerCube ? "samplerCUBE" : "sampler2D") + ", not '" +
                           tn(s.type) + "'");
    return false;
  }
  return true;
}

bool Checker::floatArg(Expr& e, size_t i, int n) {
  Type t = e.args[i]->type;
  if (!t.isNumeric() || t.kind == Kind::Matrix || (t.kind == Kind::Vector && t.cols < n)) {
    diag_.error(e.args[i]->loc, "'" + e.name + "': argument " + std::to_string(i + 1) + " must be float" +
                                    (n > 1 ? std::to_string(n) : "") + ", not '" + tn(t) + "'");
    return false;
  }
  return coerce(e.args[i], Type::vector(Base::Float, n));
}

bool Checker::outArg(Expr& e, size_t i, const Type& t) {
  if (!requireLvalue(*e.args[i], "'" + e.name + "' output")) return false;
  if (e.args[i]->type != t) {
    diag_.error(e.args[i]->loc,
                "'" + e.name + "': output argument must be '" + tn(t) + "', not '" + tn(e.args[i]->type) + "'");
    return false;
  }
  return true;
}

void Checker::stageUse(FunctionDecl::Use use, Loc loc) {
  if (current_) current_->stageUses.push_back({use, loc});
}

void Checker::intrinsic(Expr& e) {
  const Type f1 = Type::scalar(Base::Float);
  Type t;
  switch (e.intrinsic) {
    case In_acos:
    case In_asin:
    case In_atan:
    case In_ceil:
    case In_cos:
    case In_cosh:
    case In_degrees:
    case In_exp:
    case In_exp2:
    case In_floor:
    case In_frac:
    case In_log:
    case In_log10:
    case In_log2:
    case In_radians:
    case In_round:
    case In_rsqrt:
    case In_saturate:
    case In_sin:
    case In_sinh:
    case In_sqrt:
    case In_tan:
    case In_tanh:
    case In_trunc:
    case In_normalize:
      if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t)) return;
      e.type = t;
      return;
    case In_ddx:
    case In_ddy:
      if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t)) return;
      stageUse(FunctionDecl::Use::Derivative, e.loc);
      e.type = t;
      return;
    case In_abs:
      if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t, true)) return;
      e.type = t;
      return;
    case In_sign:
      if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t, true)) return;
      e.type = t.withBase(Base::Int);
      return;
    case In_isfinite:
    case In_isinf:
    case In_isnan:
      if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t)) return;
      e.type = t.withBase(Base::Bool);
      return;
    case In_atan2:
    case In_fmod:
    case In_pow:
    case In_step:
    case In_ldexp:
      if (!arity(e, 2, 2) || !componentwise(e, 0, 2, Base::Float, t)) return;
      e.type = t;
      return;
    case In_min:
    case In_max:
      if (!arity(e, 2, 2) || !componentwise(e, 0, 2, Base::Float, t, true)) return;
      e.type = t;
      return;
    case In_clamp:
      if (!arity(e, 3, 3) || !componentwise(e, 0, 3, Base::Float, t, true)) return;
      e.type = t;
      return;
    case In_lerp:
    case In_smoothstep:
    case In_faceforward:
      if (!arity(e, 3, 3) || !componentwise(e, 0, 3, Base::Float, t)) return;
      e.type = t;
      return;
    case In_reflect:
      if (!arity(e, 2, 2) || !componentwise(e, 0, 2, Base::Float, t)) return;
      e.type = t;
      return;
    case In_refract:
      if (!arity(e, 3, 3) || !componentwise(e, 0, 2, Base::Float, t) || !floatArg(e, 2, 1)) return;
      e.type = t;
      return;
    case In_distance:
      if (!arity(e, 2, 2) || !componentwise(e, 0, 2, Base::Float, t)) return;
      e.type = f1;
      return;
    case In_length:
      if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t)) return;
      e.type = f1;
      return;
    case In_dot:
      if (!arity(e, 2, 2) || !componentwise(e, 0, 2, Base::Float, t)) return;
      e.type = f1;
      return;
    case In_cross:
      if (!arity(e, 2, 2) || !floatArg(e, 0, 3) || !floatArg(e, 1, 3)) return;
      e.type = Type::vector(Base::Float, 3);
      return;
    case In_all:
    case In_any: {
      if (!arity(e, 1, 1)) return;
      Type a = e.args[0]->type;
      if (!a.isNumeric() || a.kind == Kind::Matrix) {
        diag_.error(e.args[0]->loc, "'" + e.name + "': invalid argument type '" + tn(a) + "'");
        return;
      }
      e.type = Type::scalar(Base::Bool);
      return;
    }
    case In_clip:
      if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t)) return;
      stageUse(FunctionDecl::Use::Discard, e.loc);
      e.type = Type::voidType();
      return;
    case In_determinant:
    case In_transpose: {
      if (!arity(e, 1, 1)) return;
      Type a = e.args[0]->type;
      if (!a.isMatrix()) {
        diag_.error(e.args[0]->loc, "'" + e.name + "' needs a matrix, not '" + tn(a) + "'");
        return;
      }
      if (e.intrinsic == In_determinant) {
        if (a.rows != a.cols) {
          diag_.error(e.args[0]->loc, "'determinant' needs a square matrix");
          return;
        }
        e.type = f1;
      } else {
        e.type = Type::matrix(a.cols, a.rows);
      }
      return;
    }
    case In_lit:
      if (!arity(e, 3, 3) || !floatArg(e, 0, 1) || !floatArg(e, 1, 1) || !floatArg(e, 2, 1)) return;
      e.type = Type::vector(Base::Float, 4);
      return;
    case In_sincos:
      if (!arity(e, 3, 3) || !componentwise(e, 0, 1, Base::Float, t)) return;
      if (!outArg(e, 1, t) || !outArg(e, 2, t)) return;
      e.type = Type::voidType();
      return;
    case In_modf:
    case In_frexp:
      if (!arity(e, 2, 2) || !componentwise(e, 0, 1, Base::Float, t)) return;
      if (!outArg(e, 1, t)) return;
      e.type = t;
      return;
    case In_mul: mul(e); return;
    case In_tex2D:
      if (!arity(e, 2, 4) || e.args.size() == 3) {
        if (e.args.size() == 3) diag_.error(e.loc, "intrinsic function 'tex2D' does not take 3 arguments");
        return;
      }
      if (!samplerArg(e, Base::Sampler2D) || !floatArg(e, 1, 2)) return;
      if (e.args.size() == 4 && (!floatArg(e, 2, 2) || !floatArg(e, 3, 2))) return;
      stageUse(e.args.size() == 4 ? FunctionDecl::Use::LodTexture : FunctionDecl::Use::ImplicitTexture, e.loc);
      e.type = Type::vector(Base::Float, 4);
      return;
    case In_tex2Dgrad:
      if (!arity(e, 4, 4) || !samplerArg(e, Base::Sampler2D) || !floatArg(e, 1, 2) || !floatArg(e, 2, 2) ||
          !floatArg(e, 3, 2))
        return;
      stageUse(FunctionDecl::Use::LodTexture, e.loc);
      e.type = Type::vector(Base::Float, 4);
      return;
    case In_tex2Dproj:
    case In_tex2Dbias:
    case In_tex2Dlod:
      if (!arity(e, 2, 2) || !samplerArg(e, Base::Sampler2D) || !floatArg(e, 1, 4)) return;
      stageUse(e.intrinsic == In_tex2Dlod ? FunctionDecl::Use::LodTexture : FunctionDecl::Use::ImplicitTexture, e.loc);
      e.type = Type::vector(Base::Float, 4);
      return;
    case In_texCUBE:
      if (!arity(e, 2, 4) || e.args.size() == 3) {
        if (e.args.size() == 3) diag_.error(e.loc, "intrinsic function 'texCUBE' does not take 3 arguments");
        return;
      }
      if (!samplerArg(e, Base::SamplerCube) || !floatArg(e, 1, 3)) return;
      if (e.args.size() == 4 && (!floatArg(e, 2, 3) || !floatArg(e, 3, 3))) return;
      stageUse(e.args.size() == 4 ? FunctionDecl::Use::LodTexture : FunctionDecl::Use::ImplicitTexture, e.loc);
      e.type = Type::vector(Base::Float, 4);
      return;
    case In_texCUBEgrad:
      if (!arity(e, 4, 4) || !samplerArg(e, Base::SamplerCube) || !floatArg(e, 1, 3) || !floatArg(e, 2, 3) ||
          !floatArg(e, 3, 3))
        return;
      stageUse(FunctionDecl::Use::LodTexture, e.loc);
      e.type = Type::vector(Base::Float, 4);
      return;
    case In_texCUBEproj:
    case In_texCUBEbias:
    case In_texCUBElod:
      if (!arity(e, 2, 2) || !samplerArg(e, Base::SamplerCube) || !floatArg(e, 1, 4)) return;
      stageUse(e.intrinsic == In_texCUBElod ? FunctionDecl::Use::LodTexture : FunctionDecl::Use::ImplicitTexture,
               e.loc);
      e.type = Type::vector(Base::Float, 4);
      return;
    default: diag_.error(e.loc, "intrinsic '" + e.name + "' is not supported"); return;
  }
}

void Checker::mul(Expr& e) {
  if (!arity(e, 2, 2)) return;
  Type a = e.args[0]->type, b = e.args[1]->type;
  if (!a.isNumeric() || !b.isNumeric()) {
    diag_.error(e.loc, "'mul': invalid argument types '" + tn(a) + "' and '" + tn(b) + "'");
    return;
  }
  if (a.kind == Kind::Scalar || b.kind == Kind::Scalar) {
    Type t = a.kind == Kind::Scalar ? b : a;
    t = t.withBase(promote(promote(a.base, b.base), Base::Int));
    for (ExprPtr& x : e.args) coerce(x, x->type.isScalar() ? Type::scalar(t.base) : t, true);
    e.ival = Mul_Scalar;
    e.type = t;
    return;
  }
  if (a.kind == Kind::Vector && b.kind == Kind::Vector) {
    Type t;
    if (!componentwise(e, 0, 2, Base::Float, t)) return;
    e.ival = Mul_Dot;
    e.type = Type::scalar(Base::Float);
    return;
  }
  if (a.kind == Kind::Vector && b.kind == Kind::Matrix) {
    // Row vector times matrix: the shorter of the vector and the matrix's
    // rows decides the inner dimension.
    int n = std::min(a.cols, b.rows);
    if (a.cols > b.rows) diag_.warning(e.args[0]->loc, "implicit truncation of vector type");
    coerce(e.args[0], Type::vector(Base::Float, n), true);
    if (n < b.rows) e.args[1] = wrap(EK::Convert, std::move(e.args[1]), Type::matrix(n, b.cols));
    e.ival = Mul_VecMat;
    e.type = Type::vector(Base::Float, b.cols);
    return;
  }
  if (a.kind == Kind::Matrix && b.kind == Kind::Vector) {
    int n = std::min(b.cols, a.cols);
    if (b.cols > a.cols) diag_.warning(e.args[1]->loc, "implicit truncation of vector type");
    coerce(e.args[1], Type::vector(Base::Float, n), true);
    if (n < a.cols) e.args[0] = wrap(EK::Convert, std::move(e.args[0]), Type::matrix(a.rows, n));
    e.ival = Mul_MatVec;
    e.type = Type::vector(Base::Float, a.rows);
    return;
  }
  // Matrix times matrix: the inner dimensions must agree.
  if (a.cols != b.rows) {
    diag_.error(e.loc, "'mul': inner dimensions of '" + tn(a) + "' and '" + tn(b) + "' differ");
    return;
  }
  if (a.rows == 1 || b.cols == 1) {
    diag_.error(e.loc, "'mul': result type is not supported");
    return;
  }
  e.ival = Mul_MatMat;
  e.type = Type::matrix(a.rows, b.cols);
}

}  // namespace hlsl::detail
