// Type checker: resolves names and overloads, gives every expression its
// type, makes every implicit conversion an explicit Convert node (with
// HLSL's truncation warnings and growth errors), types the intrinsics,
// validates the entry point's semantics and finds what the entry reaches.
// This file: the driver, conversions, declarations and statements.
#include "platform/hlsl/front/checker.h"

#include <algorithm>
#include <cmath>

namespace hlsl::detail {

namespace {

const char* const kIntrinsicNames[] = {
#define HLSL_INTRINSIC_NAME(name) #name,
    HLSL_INTRINSICS(HLSL_INTRINSIC_NAME)
#undef HLSL_INTRINSIC_NAME
};

}  // namespace

int findIntrinsic(std::string_view name) {
  for (int i = 0; i < In_Count; ++i)
    if (name == kIntrinsicNames[i]) return i;
  return -1;
}

const char* intrinsicName(int id) { return id >= 0 && id < In_Count ? kIntrinsicNames[id] : "?"; }

std::string typeName(const Type& t, const Module& m) {
  std::string s;
  auto baseName = [](Base b) {
    switch (b) {
      case Base::Bool: return "bool";
      case Base::Int: return "int";
      default: return "float";
    }
  };
  switch (t.kind) {
    case Kind::Error: s = "<error>"; break;
    case Kind::Void: s = "void"; break;
    case Kind::Scalar: s = baseName(t.base); break;
    case Kind::Vector: s = std::string(baseName(t.base)) + std::to_string(t.cols); break;
    case Kind::Matrix: s = "float" + std::to_string(t.rows) + "x" + std::to_string(t.cols); break;
    case Kind::Sampler:
      s = t.base == Base::SamplerCube ? "samplerCUBE" : t.base == Base::Sampler2D ? "sampler2D" : "sampler";
      break;
    case Kind::Struct:
      s = t.structId >= 0 && t.structId < static_cast<int>(m.structs.size()) ? m.structs[t.structId].name : "struct";
      break;
  }
  if (t.array) s += "[" + std::to_string(t.array) + "]";
  return s;
}

Base promote(Base a, Base b) {
  auto rank = [](Base x) { return x == Base::Float ? 2 : x == Base::Int ? 1 : 0; };
  return rank(a) >= rank(b) ? a : b;
}

FunctionDecl* Checker::run() {
  scopes_.emplace_back();
  // Items may be appended (uniform parameters of the entry become globals),
  // so iterate by index over the original list.
  size_t count = m_.items.size();
  for (size_t i = 0; i < count; ++i) {
    TopLevel& item = m_.items[i];
    switch (item.what) {
      case TopLevel::What::Struct: break;
      case TopLevel::What::Globals:
        for (Var* v : item.vars) global(v);
        break;
      case TopLevel::What::Function: function(item.func, i); break;
    }
  }
  if (!pendingGlobals_.empty()) {
    TopLevel g{TopLevel::What::Globals, -1, std::move(pendingGlobals_), nullptr, entry_->loc};
    m_.items.insert(m_.items.begin() + static_cast<long>(entryItem_), std::move(g));
  }
  if (!entry_) {
    diag_.error(Loc{1, 1}, "entry point '" + opt_.entry + "' not found");
    return nullptr;
  }
  entryChecks();
  reach();
  return entry_;
}

// ------------------------------------------------------------ helpers

std::string Checker::tn(const Type& t) const { return typeName(t, m_); }

Var* Checker::lookup(const std::string& name) const {
  for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
    auto it = s->find(name);
    if (it != s->end()) return it->second;
  }
  return nullptr;
}

void Checker::declare(Var* v) {
  auto& scope = scopes_.back();
  auto old = scope.find(v->name);
  if (old != scope.end() && leaked_.count(old->second)) {
    scope.erase(old);  // a new declaration replaces a loop variable from an earlier loop
  }
  if (scope.count(v->name)) {
    diag_.error(v->loc, "redefinition of '" + v->name + "'");
    return;
  }
  if (scopes_.size() == 1 && functions_.count(v->name)) {
    diag_.error(v->loc, "'" + v->name + "' is already declared as a function");
    return;
  }
  scope[v->name] = v;
}

ExprPtr Checker::wrap(EK kind, ExprPtr inner, const Type& type) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->loc = inner->loc;
  e->type = type;
  e->target = type;
  e->depth = inner->depth + 1;
  e->args.push_back(std::move(inner));
  return e;
}

Conv Checker::classify(const Type& from, const Type& to) {
  if (from == to) return Conv::Same;
  if (from.isError() || to.isError()) return Conv::Ok;
  if (from.kind == Kind::Sampler && to.kind == Kind::Sampler && from.array == 0 && to.array == 0) {
    if (from.base == Base::SamplerAny || to.base == Base::SamplerAny) return Conv::Same;
    return Conv::Fail;
  }
  if (!from.isNumeric() || !to.isNumeric()) return Conv::Fail;
  if (from.kind == Kind::Scalar) return Conv::Ok;
  if (to.kind == Kind::Scalar) return Conv::Truncate;
  if (from.kind == Kind::Vector && to.kind == Kind::Vector) {
    if (to.cols > from.cols) return Conv::Fail;
    return to.cols < from.cols ? Conv::Truncate : Conv::Ok;
  }
  if (from.kind == Kind::Matrix && to.kind == Kind::Matrix) {
    if (to.rows > from.rows || to.cols > from.cols) return Conv::Fail;
    return (to.rows < from.rows || to.cols < from.cols) ? Conv::Truncate : Conv::Ok;
  }
  return Conv::Fail;
}

// Converts e to type 'to'; reports growth as an error and (unless quiet or
// explicit) shrinking as a warning. Returns false on failure.
bool Checker::coerce(ExprPtr& e, const Type& to, bool quiet, bool explicitCast) {
  const Type from = e->type;
  Conv c = classify(from, to);
  if (explicitCast && c == Conv::Fail && to.kind == Kind::Struct && to.array == 0 && from.isScalar()) {
    e = wrap(EK::Convert, std::move(e), to);  // (S)0 fills every member
    return true;
  }
  if (c == Conv::Fail) {
    diag_.error(e->loc, std::string(explicitCast ? "cannot convert" : "cannot implicitly convert") + " from '" +
                            tn(from) + "' to '" + tn(to) + "'");
    e->type = Type::error();
    return false;
  }
  if (c == Conv::Same) {
    if (from.kind == Kind::Sampler && from.base != to.base) noteSamplerUse(*e, to.base);
    return true;
  }
  if (c == Conv::Truncate && !quiet && !explicitCast) diag_.warning(e->loc, "implicit truncation of vector type");
  if (from.isError() || to.isError()) {
    e->type = to;
    return true;
  }
  e = wrap(EK::Convert, std::move(e), to);
  return true;
}

// The common type of two operands of an arithmetic-like operation.
Type Checker::common(const Type& a, const Type& b, Loc loc, const std::string& what, bool warn) {
  if (a.isError() || b.isError()) return Type::error();
  if (!a.isNumeric() || !b.isNumeric()) {
    diag_.error(loc, what + ": invalid operand types '" + tn(a) + "' and '" + tn(b) + "'");
    return Type::error();
  }
  Base base = promote(a.base, b.base);
  if (a.kind == Kind::Scalar) return b.withBase(base);
  if (b.kind == Kind::Scalar) return a.withBase(base);
  if (a.kind == Kind::Vector && b.kind == Kind::Vector) {
    if (a.cols != b.cols && warn) diag_.warning(loc, "implicit truncation of vector type");
    return Type::vector(base, std::min(a.cols, b.cols));
  }
  if (a.kind == Kind::Matrix && b.kind == Kind::Matrix) {
    if ((a.rows != b.rows || a.cols != b.cols) && warn) diag_.warning(loc, "implicit truncation of vector type");
    return Type::matrix(std::min(a.rows, b.rows), std::min(a.cols, b.cols));
  }
  diag_.error(loc, what + ": type mismatch between '" + tn(a) + "' and '" + tn(b) + "'");
  return Type::error();
}

void Checker::noteSamplerUse(Expr& e, Base use) {
  if (e.kind == EK::Name && e.var && e.type.base == Base::SamplerAny && e.var->storage == Var::Storage::Global) {
    if (use == Base::SamplerCube) e.var->usedCube = true;
    if (use == Base::Sampler2D) e.var->used2D = true;
    if (e.var->usedCube && e.var->used2D)
      diag_.error(e.loc, "sampler '" + e.var->name + "' is used both as a 2D and as a cube sampler");
  }
}

// Compile-time value of a scalar expression, when it has one.
bool Checker::constValue(const Expr& e, double& v) const {
  switch (e.kind) {
    case EK::IntLit: v = static_cast<double>(static_cast<std::int32_t>(e.ival)); return true;
    case EK::FloatLit: v = static_cast<float>(e.fval); return true;
    case EK::BoolLit: v = e.ival ? 1.0 : 0.0; return true;
    case EK::Name:
      if (e.var && e.var->hasValue) {
        v = e.var->value;
        return true;
      }
      return false;
    case EK::Convert:
    case EK::Cast: {
      if (!e.type.isScalar() || !e.args[0]->type.isScalar()) return false;
      if (!constValue(*e.args[0], v)) return false;
      if (e.type.base == Base::Int) v = std::trunc(v);
      if (e.type.base == Base::Bool) v = v != 0.0;
      return std::isfinite(v) && std::fabs(v) < 1e18;
    }
    case EK::Unary: {
      if (!constValue(*e.args[0], v)) return false;
      if (e.op == "-") v = -v;
      if (e.op == "!") v = v == 0.0;
      return true;
    }
    case EK::Binary: {
      double a, b;
      if (!e.type.isScalar() || !constValue(*e.args[0], a) || !constValue(*e.args[1], b)) return false;
      const std::string& o = e.op;
      bool integer = e.type.base == Base::Int;
      if (o == "+")
        v = a + b;
      else if (o == "-")
        v = a - b;
      else if (o == "*")
        v = a * b;
      else if (o == "/") {
        if (b == 0) return false;
        v = integer ? std::trunc(a / b) : a / b;
      } else if (o == "%") {
        if (b == 0) return false;
        v = std::fmod(a, b);
      } else if (o == "<")
        v = a < b;
      else if (o == ">")
        v = a > b;
      else if (o == "<=")
        v = a <= b;
      else if (o == ">=")
        v = a >= b;
      else if (o == "==")
        v = a == b;
      else if (o == "!=")
        v = a != b;
      else if (o == "&&")
        v = (a != 0) && (b != 0);
      else if (o == "||")
        v = (a != 0) || (b != 0);
      else
        return false;
      return std::isfinite(v) && std::fabs(v) < 1e18;
    }
    case EK::Ternary: {
      double c;
      if (!e.type.isScalar() || !constValue(*e.args[0], c)) return false;
      return constValue(*e.args[c != 0 ? 1 : 2], v);
    }
    default: return false;
  }
}

void Checker::resolveArraySize(Var* v) {
  if (!v->arraySizeExpr) return;
  checkExpr(v->arraySizeExpr);
  double n = 0;
  if (!v->arraySizeExpr->type.isScalar() || !constValue(*v->arraySizeExpr, n) || n != std::floor(n)) {
    diag_.error(v->arraySizeExpr->loc, "array dimensions must be constant integer expressions");
    v->type = Type::error();
  } else if (n < 1 || n > 65536) {
    diag_.error(v->arraySizeExpr->loc, "array size must be between 1 and 65536");
    v->type = Type::error();
  } else {
    v->type.array = static_cast<int>(n);
  }
}

// ------------------------------------------------------------ globals

void Checker::global(Var* v) {
  resolveArraySize(v);
  declare(v);
  if (v->type.kind == Kind::Struct && !v->isStatic && !(v->isConst && v->init))
    diag_.error(v->loc, "structure constants are not supported; use static or separate constants");
  if (v->type.kind == Kind::Sampler) {
    if (v->type.array) diag_.error(v->loc, "sampler arrays are not supported");
    if (v->isStatic) diag_.error(v->loc, "samplers cannot be static");
    if (v->init) diag_.error(v->init->loc, "sampler initializers (sampler_state) are not supported");
    if (v->regClass == 'c') diag_.error(v->loc, "samplers take s registers");
    v->constant = true;
    return;
  }
  if (v->regClass == 's') diag_.error(v->loc, "only samplers take s registers");
  v->constant = !v->isStatic && !(v->isConst && v->init);
  if (v->constant && v->init) {
    diag_.warning(v->init->loc,
                  "the initial value of constant '" + v->name + "' is ignored; it is set by the application");
    ExprPtr init = std::move(v->init);
    checkInit(init, v->type);
  } else if (v->init) {
    // The initialiser runs at the start of main(): what it references is
    // used whenever the variable is.
    FunctionDecl* uses = m_.newFunction();
    uses->name = v->name;
    uses->loc = v->loc;
    current_ = uses;
    checkInit(v->init, v->type);
    current_ = nullptr;
    v->initUses = uses;
  }
  if (!v->constant && v->regClass) diag_.warning(v->loc, "register ignored on a static variable");
  if (v->isConst && v->init && v->type.isScalar()) {
    double value;
    if (constValue(*v->init, value)) {
      v->hasValue = true;
      if (v->type.base == Base::Int) value = std::trunc(value);
      if (v->type.base == Base::Bool) value = value != 0;
      v->value = value;
    }
  }
}

// ------------------------------------------------------------ functions

bool Checker::sameSignature(const FunctionDecl* a, const FunctionDecl* b) {
  if (a->params.size() != b->params.size()) return false;
  for (size_t i = 0; i < a->params.size(); ++i) {
    Type ta = a->params[i]->type, tb = b->params[i]->type;
    if (ta != tb) return false;
  }
  return true;
}

void Checker::function(FunctionDecl* f, size_t itemIndex) {
  for (Var* p : f->params) resolveArraySize(p);
  if (f->ret.array) diag_.error(f->loc, "functions cannot return arrays");
  if (f->ret.kind == Kind::Sampler) diag_.error(f->loc, "functions cannot return samplers");
  if (scopes_[0].count(f->name)) diag_.error(f->loc, "'" + f->name + "' is already declared as a variable");
  if (findIntrinsic(f->name) >= 0) diag_.warning(f->loc, "'" + f->name + "' hides the intrinsic function");
  auto& overloads = functions_[f->name];
  FunctionDecl* symbol = nullptr;
  for (FunctionDecl* o : overloads)
    if (sameSignature(o, f)) symbol = o;
  if (symbol) {
    if (symbol->ret != f->ret) diag_.error(f->loc, "'" + f->name + "': overloads cannot differ only by return type");
    if (symbol->definition && f->body) diag_.error(f->loc, "redefinition of function '" + f->name + "'");
  } else {
    symbol = f;
    overloads.push_back(f);
  }
  f->symbol = symbol;
  if (f->body && !symbol->definition) symbol->definition = f;

  bool isEntry = f->body && f->name == opt_.entry;
  if (isEntry) {
    if (entry_) {
      diag_.error(f->loc, "entry point '" + f->name + "' is overloaded");
    } else {
      entry_ = f;
      entryItem_ = itemIndex;
      f->isEntry = true;
    }
  }
  if (!f->body) return;
  current_ = f;
  scopes_.emplace_back();
  for (Var* p : f->params) {
    if (p->type.kind == Kind::Sampler && entry_ == f && !p->isUniform) p->isUniform = true;
    if (p->isUniform) {
      if (entry_ != f) {
        diag_.error(p->loc, "only the entry point can have uniform parameters");
      } else {
        // A uniform parameter of the entry point is a global constant.
        if (p->dir != ParamDir::In) diag_.error(p->loc, "uniform parameters cannot be out or inout");
        p->storage = Var::Storage::Global;
        p->constant = true;
        if (p->type.kind == Kind::Struct) diag_.error(p->loc, "structure constants are not supported");
        if (p->type.kind == Kind::Sampler && p->regClass == 'c') diag_.error(p->loc, "samplers take s registers");
        if (p->type.kind != Kind::Sampler && p->regClass == 's') diag_.error(p->loc, "only samplers take s registers");
        if (scopes_[0].count(p->name)) diag_.error(p->loc, "uniform parameter '" + p->name + "' hides a global");
        pendingGlobals_.push_back(p);
      }
    }
    if (p->type.kind == Kind::Sampler && p->dir != ParamDir::In)
      diag_.error(p->loc, "samplers cannot be out parameters");
    declare(p);
  }
  // The body shares the parameters' scope.
  for (StmtPtr& s : f->body->kids) stmt(*s);
  scopes_.pop_back();
  if (f->ret.kind != Kind::Void && !returns(*f->body))
    diag_.error(f->loc, "'" + f->name + "': not all control paths return a value");
  current_ = nullptr;
}

bool Checker::returns(const Stmt& s) {
  switch (s.kind) {
    case SK::Return:
    case SK::Discard: return true;
    case SK::Block:
      for (const StmtPtr& k : s.kids)
        if (returns(*k)) return true;
      return false;
    case SK::If: return s.kids.size() == 2 && returns(*s.kids[0]) && returns(*s.kids[1]);
    case SK::Do: return returns(*s.kids[0]);
    default: return false;
  }
}

// ------------------------------------------------------------ statements

void Checker::stmt(Stmt& s) {
  switch (s.kind) {
    case SK::Block:
      scopes_.emplace_back();
      for (StmtPtr& k : s.kids) stmt(*k);
      scopes_.pop_back();
      break;
    case SK::Expr: checkExpr(s.expr); break;
    case SK::Decl:
      for (Var* v : s.vars) {
        resolveArraySize(v);
        if (v->type.kind == Kind::Sampler) diag_.error(v->loc, "samplers must be global");
        if (v->isUniform) diag_.error(v->loc, "local variables cannot be uniform");
        if (v->init)
          checkInit(v->init, v->type);
        else if (v->isConst)
          diag_.error(v->loc, "const variable '" + v->name + "' needs an initial value");
        if (v->isConst && v->init && v->type.isScalar()) {
          double value;
          if (constValue(*v->init, value)) {
            v->hasValue = true;
            v->value = v->type.base == Base::Int ? std::trunc(value) : v->type.base == Base::Bool ? value != 0 : value;
          }
        }
        declare(v);
      }
      break;
    case SK::If:
      condition(s.cond);
      for (StmtPtr& k : s.kids) scoped(*k);
      break;
    case SK::For:
      scopes_.emplace_back();
      stmt(*s.kids[0]);
      if (s.cond) condition(s.cond);
      if (s.expr) checkExpr(s.expr);
      ++loops_;
      scoped(*s.kids[1]);
      --loops_;
      scopes_.pop_back();
      // As in HLSL, a variable declared in the loop's initialiser stays
      // visible for the rest of the enclosing block.
      if (s.kids[0]->kind == SK::Decl) {
        for (Var* v : s.kids[0]->vars) {
          auto old = scopes_.back().find(v->name);
          if (old != scopes_.back().end() && !leaked_.count(old->second)) continue;  // the block's own variable
          scopes_.back()[v->name] = v;  // the most recent loop's variable wins
          leaked_.insert(v);
        }
      }
      break;
    case SK::While:
      condition(s.cond);
      ++loops_;
      scoped(*s.kids[0]);
      --loops_;
      break;
    case SK::Do:
      ++loops_;
      scoped(*s.kids[0]);
      --loops_;
      condition(s.cond);
      break;
    case SK::Break:
    case SK::Continue:
      if (loops_ == 0) diag_.error(s.loc, std::string(s.kind == SK::Break ? "break" : "continue") + " outside a loop");
      break;
    case SK::Return:
      if (!current_) break;
      if (current_->ret.kind == Kind::Void) {
        if (s.expr) {
          checkExpr(s.expr);
          diag_.error(s.loc, "void function cannot return a value");
        }
      } else if (!s.expr) {
        diag_.error(s.loc, "function must return a value");
      } else {
        checkExpr(s.expr);
        coerce(s.expr, current_->ret);
      }
      break;
    case SK::Discard: current_->stageUses.push_back({FunctionDecl::Use::Discard, s.loc}); break;
    case SK::Empty: break;
  }
}

void Checker::scoped(Stmt& s) {
  scopes_.emplace_back();
  stmt(s);
  scopes_.pop_back();
}

void Checker::condition(ExprPtr& e) {
  checkExpr(e);
  if (e->type.isError()) return;
  if (!e->type.isNumeric()) {
    diag_.error(e->loc, "conditional expression must be a scalar");
    return;
  }
  if (e->type.kind != Kind::Scalar) diag_.warning(e->loc, "implicit truncation of vector type");
  coerce(e, Type::scalar(Base::Bool), true);
}

// ------------------------------------------------------------ initializers

void Checker::checkInit(ExprPtr& init, const Type& to) {
  if (init->kind == EK::InitList) {
    initList(init, to);
    return;
  }
  checkExpr(init);
  if (init->type.kind == Kind::Void) {
    diag_.error(init->loc, "void value used in an initializer");
    return;
  }
  coerce(init, to);
}

void Checker::initList(ExprPtr& list, const Type& to) {
  Expr& l = *list;
  if (to.isError()) return;
  if (to.array) {
    Type el = to.element();
    if (static_cast<int>(l.args.size()) == to.array) {
      for (ExprPtr& a : l.args) checkInit(a, el);
    } else if (el.isNumeric() && !l.args.empty() && static_cast<int>(l.args.size()) == to.array * el.components() &&
               flatScalars(l)) {
      // {1, 2, 3, 4} for a float2[2]: group the scalars per element.
      std::vector<ExprPtr> grouped;
      size_t k = 0;
      for (int i = 0; i < to.array; ++i) {
        auto c = std::make_unique<Expr>();
        c->kind = EK::Construct;
        c->loc = l.args[k]->loc;
        c->target = el;
        c->type = el;
        for (int j = 0; j < el.components(); ++j) {
          coerce(l.args[k], Type::scalar(el.base), true);
          c->args.push_back(std::move(l.args[k++]));
        }
        grouped.push_back(std::move(c));
      }
      l.args = std::move(grouped);
    } else {
      diag_.error(l.loc, "initializer has " + std::to_string(l.args.size()) + " elements, '" + tn(to) + "' needs " +
                             std::to_string(to.array));
    }
    l.type = to;
    return;
  }
  if (to.kind == Kind::Struct) {
    const StructDecl& sd = m_.structs[to.structId];
    if (l.args.size() != sd.members.size()) {
      diag_.error(l.loc, "initializer has " + std::to_string(l.args.size()) + " elements, '" + sd.name + "' has " +
                             std::to_string(sd.members.size()) + " members");
    } else {
      for (size_t i = 0; i < l.args.size(); ++i) checkInit(l.args[i], sd.members[i].type);
    }
    l.type = to;
    return;
  }
  if (to.isNumeric()) {
    // {a, b, c} for a vector or matrix is its constructor.
    for (ExprPtr& a : l.args) {
      if (a->kind == EK::InitList) {
        diag_.error(a->loc, "nested initializer lists cannot initialize '" + tn(to) + "'");
        l.type = Type::error();
        return;
      }
      if (a->type.isError() && a->kind != EK::Convert) checkExpr(a);
    }
    l.kind = EK::Construct;
    l.target = to;
    construct(l);
    return;
  }
  diag_.error(l.loc, "initializer lists cannot initialize '" + tn(to) + "'");
}

bool Checker::flatScalars(Expr& l) {
  for (ExprPtr& a : l.args) {
    if (a->kind == EK::InitList) return false;
    checkExpr(a);
    if (!a->type.isScalar()) return false;
  }
  return true;
}

FunctionDecl* check(Module& module, const Options& options, Diagnostics& diag) {
  return Checker(module, options, diag).run();
}

}  // namespace hlsl::detail
