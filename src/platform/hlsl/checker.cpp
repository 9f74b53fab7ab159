// Type checker: resolves names and overloads, gives every expression its
// type, makes every implicit conversion an explicit Convert node (with
// HLSL's truncation warnings and growth errors), types the intrinsics,
// validates the entry point's semantics and finds what the entry reaches.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <set>
#include <unordered_map>

#include "platform/hlsl/internal.h"

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

namespace {

enum class Conv { Same, Ok, Truncate, Fail };

Base promote(Base a, Base b) {
  auto rank = [](Base x) { return x == Base::Float ? 2 : x == Base::Int ? 1 : 0; };
  return rank(a) >= rank(b) ? a : b;
}

bool hasSideEffects(const Expr& e) {
  if (e.kind == EK::Assign || e.kind == EK::PreIncDec || e.kind == EK::PostIncDec) return true;
  if (e.kind == EK::Call && e.func) return true;
  if (e.kind == EK::Call && (e.intrinsic == In_clip || e.intrinsic == In_sincos || e.intrinsic == In_modf ||
                             e.intrinsic == In_frexp))
    return true;
  for (const ExprPtr& a : e.args)
    if (a && hasSideEffects(*a)) return true;
  return false;
}

struct Canon {
  std::string base;
  int index;
};

Canon splitSemantic(const std::string& canonical) {
  size_t k = canonical.size();
  while (k > 0 && std::isdigit(static_cast<unsigned char>(canonical[k - 1]))) --k;
  Canon c;
  c.base = canonical.substr(0, k);
  std::string digits = canonical.substr(k);
  c.index = digits.empty() || digits.size() > 4 ? (digits.empty() ? 0 : 9999) : std::stoi(digits);
  return c;
}

class Checker {
 public:
  Checker(Module& m, const Options& o, Diagnostics& d) : m_(m), opt_(o), diag_(d) {}

  FunctionDecl* run() {
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

 private:
  // ------------------------------------------------------------ helpers
  std::string tn(const Type& t) const { return typeName(t, m_); }

  Var* lookup(const std::string& name) const {
    for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
      auto it = s->find(name);
      if (it != s->end()) return it->second;
    }
    return nullptr;
  }

  void declare(Var* v) {
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

  ExprPtr wrap(EK kind, ExprPtr inner, const Type& type) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->loc = inner->loc;
    e->type = type;
    e->target = type;
    e->depth = inner->depth + 1;
    e->args.push_back(std::move(inner));
    return e;
  }

  static Conv classify(const Type& from, const Type& to) {
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
  bool coerce(ExprPtr& e, const Type& to, bool quiet = false, bool explicitCast = false) {
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
  Type common(const Type& a, const Type& b, Loc loc, const std::string& what, bool warn = true) {
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

  void noteSamplerUse(Expr& e, Base use) {
    if (e.kind == EK::Name && e.var && e.type.base == Base::SamplerAny && e.var->storage == Var::Storage::Global) {
      if (use == Base::SamplerCube) e.var->usedCube = true;
      if (use == Base::Sampler2D) e.var->used2D = true;
      if (e.var->usedCube && e.var->used2D)
        diag_.error(e.loc, "sampler '" + e.var->name + "' is used both as a 2D and as a cube sampler");
    }
  }

  // Compile-time value of a scalar expression, when it has one.
  bool constValue(const Expr& e, double& v) const {
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
        if (o == "+") v = a + b;
        else if (o == "-") v = a - b;
        else if (o == "*") v = a * b;
        else if (o == "/") {
          if (b == 0) return false;
          v = integer ? std::trunc(a / b) : a / b;
        } else if (o == "%") {
          if (b == 0) return false;
          v = std::fmod(a, b);
        } else if (o == "<") v = a < b;
        else if (o == ">") v = a > b;
        else if (o == "<=") v = a <= b;
        else if (o == ">=") v = a >= b;
        else if (o == "==") v = a == b;
        else if (o == "!=") v = a != b;
        else if (o == "&&") v = (a != 0) && (b != 0);
        else if (o == "||") v = (a != 0) || (b != 0);
        else return false;
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

  void resolveArraySize(Var* v) {
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
  void global(Var* v) {
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
      diag_.warning(v->init->loc, "the initial value of constant '" + v->name + "' is ignored; it is set by the application");
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
  static bool sameSignature(const FunctionDecl* a, const FunctionDecl* b) {
    if (a->params.size() != b->params.size()) return false;
    for (size_t i = 0; i < a->params.size(); ++i) {
      Type ta = a->params[i]->type, tb = b->params[i]->type;
      if (ta != tb) return false;
    }
    return true;
  }

  void function(FunctionDecl* f, size_t itemIndex) {
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
      if (p->type.kind == Kind::Sampler && p->dir != ParamDir::In) diag_.error(p->loc, "samplers cannot be out parameters");
      declare(p);
    }
    // The body shares the parameters' scope.
    for (StmtPtr& s : f->body->kids) stmt(*s);
    scopes_.pop_back();
    if (f->ret.kind != Kind::Void && !returns(*f->body))
      diag_.error(f->loc, "'" + f->name + "': not all control paths return a value");
    current_ = nullptr;
  }

  static bool returns(const Stmt& s) {
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
  void stmt(Stmt& s) {
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
          if (v->init) checkInit(v->init, v->type);
          else if (v->isConst) diag_.error(v->loc, "const variable '" + v->name + "' needs an initial value");
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

  void scoped(Stmt& s) {
    scopes_.emplace_back();
    stmt(s);
    scopes_.pop_back();
  }

  void condition(ExprPtr& e) {
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
  void checkInit(ExprPtr& init, const Type& to) {
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

  void initList(ExprPtr& list, const Type& to) {
    Expr& l = *list;
    if (to.isError()) return;
    if (to.array) {
      Type el = to.element();
      if (static_cast<int>(l.args.size()) == to.array) {
        for (ExprPtr& a : l.args) checkInit(a, el);
      } else if (el.isNumeric() && !l.args.empty() &&
                 static_cast<int>(l.args.size()) == to.array * el.components() && flatScalars(l)) {
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

  bool flatScalars(Expr& l) {
    for (ExprPtr& a : l.args) {
      if (a->kind == EK::InitList) return false;
      checkExpr(a);
      if (!a->type.isScalar()) return false;
    }
    return true;
  }

  // ------------------------------------------------------------ expressions
  void useVar(Expr& e, Var* v) {
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

  void checkExpr(ExprPtr& ep) {
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

  bool requireLvalue(const Expr& target, const std::string& what) {
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

  static bool hasDuplicates(const std::vector<int>& c) {
    for (size_t i = 0; i < c.size(); ++i)
      for (size_t j = i + 1; j < c.size(); ++j)
        if (c[i] == c[j]) return true;
    return false;
  }

  void binaryExpr(Expr& e) {
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

  void assign(Expr& e) {
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

  void ternary(Expr& e) {
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

  void construct(Expr& e) {
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
      diag_.error(e.loc, "'" + tn(to) + "' constructor needs " + std::to_string(to.components()) +
                             " components, " + std::to_string(total) + " given");
      e.type = Type::error();
      return;
    }
    for (ExprPtr& a : e.args) coerce(a, a->type.withBase(to.base), true);
  }

  void member(Expr& e) {
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

  void index(Expr& e) {
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

  // ------------------------------------------------------------ calls
  int conversionCost(const Type& from, const Type& to) const {
    Conv c = classify(from, to);
    switch (c) {
      case Conv::Same: return 0;
      case Conv::Ok: return (from.kind == to.kind ? 1 : 3);
      case Conv::Truncate: return 6;
      case Conv::Fail: return -1;
    }
    return -1;
  }

  void call(Expr& e) {
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

  void userCall(Expr& e, const std::vector<FunctionDecl*>& overloads) {
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
  bool componentwise(Expr& e, size_t first, size_t count, Base base, Type& out, bool allowInt = false) {
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

  bool arity(Expr& e, size_t lo, size_t hi) {
    if (e.args.size() < lo || e.args.size() > hi) {
      diag_.error(e.loc, "intrinsic function '" + e.name + "' does not take " + std::to_string(e.args.size()) +
                             " arguments");
      return false;
    }
    return true;
  }

  bool samplerArg(Expr& e, Base kind) {
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
      diag_.error(s.loc, "'" + e.name + "' needs a " + std::string(kind == Base::SamplerCube ? "samplerCUBE" : "sampler2D") +
                             ", not '" + tn(s.type) + "'");
      return false;
    }
    return true;
  }

  bool floatArg(Expr& e, size_t i, int n) {
    Type t = e.args[i]->type;
    if (!t.isNumeric() || t.kind == Kind::Matrix || (t.kind == Kind::Vector && t.cols < n)) {
      diag_.error(e.args[i]->loc, "'" + e.name + "': argument " + std::to_string(i + 1) + " must be float" +
                                      (n > 1 ? std::to_string(n) : "") + ", not '" + tn(t) + "'");
      return false;
    }
    return coerce(e.args[i], Type::vector(Base::Float, n));
  }

  bool outArg(Expr& e, size_t i, const Type& t) {
    if (!requireLvalue(*e.args[i], "'" + e.name + "' output")) return false;
    if (e.args[i]->type != t) {
      diag_.error(e.args[i]->loc, "'" + e.name + "': output argument must be '" + tn(t) + "', not '" +
                                      tn(e.args[i]->type) + "'");
      return false;
    }
    return true;
  }

  void stageUse(FunctionDecl::Use use, Loc loc) {
    if (current_) current_->stageUses.push_back({use, loc});
  }

  void intrinsic(Expr& e) {
    const Type f1 = Type::scalar(Base::Float);
    Type t;
    switch (e.intrinsic) {
      case In_acos: case In_asin: case In_atan: case In_ceil: case In_cos: case In_cosh: case In_degrees:
      case In_exp: case In_exp2: case In_floor: case In_frac: case In_log: case In_log10: case In_log2:
      case In_radians: case In_round: case In_rsqrt: case In_saturate: case In_sin: case In_sinh: case In_sqrt:
      case In_tan: case In_tanh: case In_trunc: case In_normalize:
        if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t)) return;
        e.type = t;
        return;
      case In_ddx: case In_ddy:
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
      case In_isfinite: case In_isinf: case In_isnan:
        if (!arity(e, 1, 1) || !componentwise(e, 0, 1, Base::Float, t)) return;
        e.type = t.withBase(Base::Bool);
        return;
      case In_atan2: case In_fmod: case In_pow: case In_step: case In_ldexp:
        if (!arity(e, 2, 2) || !componentwise(e, 0, 2, Base::Float, t)) return;
        e.type = t;
        return;
      case In_min: case In_max:
        if (!arity(e, 2, 2) || !componentwise(e, 0, 2, Base::Float, t, true)) return;
        e.type = t;
        return;
      case In_clamp:
        if (!arity(e, 3, 3) || !componentwise(e, 0, 3, Base::Float, t, true)) return;
        e.type = t;
        return;
      case In_lerp: case In_smoothstep: case In_faceforward:
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
      case In_all: case In_any: {
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
      case In_determinant: case In_transpose: {
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
      case In_modf: case In_frexp:
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
      case In_tex2Dproj: case In_tex2Dbias: case In_tex2Dlod:
        if (!arity(e, 2, 2) || !samplerArg(e, Base::Sampler2D) || !floatArg(e, 1, 4)) return;
        stageUse(e.intrinsic == In_tex2Dlod ? FunctionDecl::Use::LodTexture : FunctionDecl::Use::ImplicitTexture,
                 e.loc);
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
      case In_texCUBEproj: case In_texCUBEbias: case In_texCUBElod:
        if (!arity(e, 2, 2) || !samplerArg(e, Base::SamplerCube) || !floatArg(e, 1, 4)) return;
        stageUse(e.intrinsic == In_texCUBElod ? FunctionDecl::Use::LodTexture : FunctionDecl::Use::ImplicitTexture,
                 e.loc);
        e.type = Type::vector(Base::Float, 4);
        return;
      default:
        diag_.error(e.loc, "intrinsic '" + e.name + "' is not supported");
        return;
    }
  }

  void mul(Expr& e) {
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

  // ------------------------------------------------------------ entry point
  bool collectSlots(const Type& t, const std::string& semantic, Loc loc, bool input, int param,
                    std::vector<int>& path, const std::string& what, int depth = 0) {
    if (t.kind == Kind::Struct && t.array == 0) {
      if (depth > 8) {
        diag_.error(loc, "structures nested too deeply");
        return false;
      }
      const StructDecl& sd = m_.structs[t.structId];
      bool ok = true;
      for (size_t i = 0; i < sd.members.size(); ++i) {
        path.push_back(static_cast<int>(i));
        const StructMember& mem = sd.members[i];
        ok = collectSlots(mem.type, mem.semantic, mem.loc, input, param, path, "member '" + mem.name + "'", depth + 1) &&
             ok;
        path.pop_back();
      }
      return ok;
    }
    if (semantic.empty()) {
      diag_.error(loc, what + " of the entry point is missing a semantic");
      return false;
    }
    if (!t.isScalar() && !t.isVector()) {
      diag_.error(loc, what + ": type '" + tn(t) + "' cannot carry a semantic");
      return false;
    }
    IOSlot slot;
    slot.semantic = canonicalSemantic(semantic);
    slot.type = t;
    slot.input = input;
    slot.param = param;
    slot.path = path;
    slot.loc = loc;
    if (!validSemantic(slot)) return false;
    for (const IOSlot& other : m_.io) {
      if (other.input == input && other.semantic == slot.semantic) {
        diag_.error(loc, "semantic '" + slot.semantic + "' is used twice");
        return false;
      }
    }
    m_.io.push_back(std::move(slot));
    return true;
  }

  bool validSemantic(const IOSlot& s) {
    Canon c = splitSemantic(s.semantic);
    bool vs = opt_.stage == Stage::Vertex;
    bool ok;
    std::string role;
    if (vs && s.input) {
      ok = attributeLocation(s.semantic) >= 0;
      role = "vertex shader input";
    } else if (vs) {
      ok = (c.base == "POSITION" && c.index == 0) || (c.base == "PSIZE" && c.index == 0) ||
           (c.base == "FOG" && c.index == 0) || (c.base == "COLOR" && c.index < 4) ||
           (c.base == "TEXCOORD" && c.index < 16) || ((c.base == "NORMAL" || c.base == "TANGENT" || c.base == "BINORMAL") && c.index < 4);
      role = "vertex shader output";
    } else if (s.input) {
      ok = (c.base == "FOG" && c.index == 0) || (c.base == "COLOR" && c.index < 4) ||
           (c.base == "TEXCOORD" && c.index < 16) ||
           ((c.base == "NORMAL" || c.base == "TANGENT" || c.base == "BINORMAL") && c.index < 4);
      role = "pixel shader input";
      if (c.base == "POSITION" || c.base == "VPOS" || c.base == "VFACE") {
        diag_.error(s.loc, "'" + s.semantic + "' cannot be read by a pixel shader here");
        return false;
      }
    } else {
      ok = (c.base == "COLOR" && c.index < 4) || (c.base == "DEPTH" && c.index == 0);
      role = "pixel shader output";
    }
    if (!ok) diag_.error(s.loc, "'" + s.semantic + "' is not a valid " + role + " semantic");
    if (ok && c.base == "PSIZE" && !s.type.isScalar()) {
      diag_.error(s.loc, "PSIZE must be a scalar");
      return false;
    }
    if (ok && c.base == "DEPTH" && !s.type.isScalar()) {
      diag_.error(s.loc, "DEPTH must be a scalar");
      return false;
    }
    return ok;
  }

  void entryChecks() {
    FunctionDecl* f = entry_;
    std::vector<int> path;
    for (size_t i = 0; i < f->params.size(); ++i) {
      Var* p = f->params[i];
      if (p->isUniform) continue;
      if (p->type.array) {
        diag_.error(p->loc, "array parameters of the entry point are not supported");
        continue;
      }
      std::string what = "parameter '" + p->name + "'";
      if (p->dir != ParamDir::Out) collectSlots(p->type, p->semantic, p->loc, true, static_cast<int>(i), path, what);
      if (p->dir != ParamDir::In) collectSlots(p->type, p->semantic, p->loc, false, static_cast<int>(i), path, what);
    }
    if (f->ret.kind != Kind::Void)
      collectSlots(f->ret, f->semantic, f->loc, false, -1, path, "return value");
    bool vs = opt_.stage == Stage::Vertex;
    bool found = false;
    for (const IOSlot& s : m_.io)
      if (!s.input && s.semantic == (vs ? "POSITION0" : "COLOR0")) found = true;
    if (!found && diag_.errorCount() == 0)
      diag_.error(f->loc, vs ? "vertex shader must write POSITION" : "pixel shader must write COLOR0");
  }

  void reach() {
    std::vector<FunctionDecl*> stack;
    visit(entry_, stack);
    // Globals used by what is reached, and what their initialisers use, until
    // nothing new turns up.
    bool changed = true;
    while (changed) {
      changed = false;
      for (auto& fp : m_.funcPool) {
        if (!fp->reachable) continue;
        for (Var* g : fp->globals) {
          if (g->reached) continue;
          g->reached = true;
          changed = true;
          if (g->initUses) visit(g->initUses, stack);
        }
      }
    }
    // Stage checks for everything reached.
    bool vs = opt_.stage == Stage::Vertex;
    for (auto& fp : m_.funcPool) {
      FunctionDecl* f = fp.get();
      if (!f->reachable) continue;
      for (auto& [use, loc] : f->stageUses) {
        if (!vs) continue;
        switch (use) {
          case FunctionDecl::Use::Discard: diag_.error(loc, "discard and clip are only available in pixel shaders"); break;
          case FunctionDecl::Use::Derivative: diag_.error(loc, "ddx and ddy are only available in pixel shaders"); break;
          case FunctionDecl::Use::ImplicitTexture:
            diag_.error(loc, "vertex shaders sample textures only with tex2Dlod or texCUBElod");
            break;
          case FunctionDecl::Use::LodTexture:
            if (!opt_.vertexTextures)
              diag_.error(loc, "texture sampling in vertex shaders needs vs_3_0 (profile " + opt_.profile + ")");
            break;
        }
      }
    }
  }

  void visit(FunctionDecl* def, std::vector<FunctionDecl*>& stack) {
    if (def->reachable) return;
    def->reachable = true;
    if (def->symbol) def->symbol->reachable = true;
    stack.push_back(def->symbol ? def->symbol : def);
    for (auto& [callee, loc] : def->calls) {
      FunctionDecl* sym = callee->symbol ? callee->symbol : callee;
      if (std::find(stack.begin(), stack.end(), sym) != stack.end()) {
        diag_.error(loc, "recursive call to '" + sym->name + "'");
        continue;
      }
      if (!sym->definition) {
        diag_.error(loc, "function '" + sym->name + "' is declared but never defined");
        continue;
      }
      if (stack.size() > 100) {
        diag_.error(loc, "calls nested too deeply");
        continue;
      }
      visit(sym->definition, stack);
    }
    stack.pop_back();
  }

  Module& m_;
  const Options& opt_;
  Diagnostics& diag_;
  std::vector<std::unordered_map<std::string, Var*>> scopes_;
  std::unordered_map<std::string, std::vector<FunctionDecl*>> functions_;
  FunctionDecl* current_ = nullptr;
  FunctionDecl* entry_ = nullptr;
  size_t entryItem_ = 0;
  std::vector<Var*> pendingGlobals_;
  std::set<Var*> leaked_;
  int loops_ = 0;
};

}  // namespace

FunctionDecl* check(Module& module, const Options& options, Diagnostics& diag) {
  return Checker(module, options, diag).run();
}

}  // namespace hlsl::detail
