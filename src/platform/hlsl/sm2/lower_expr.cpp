// Expressions: values, conversions, assignment targets and calls.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/hlsl/sm2/lower.h"

namespace hlsl::sm2 {

using detail::Base;
using detail::EK;
using detail::Kind;
using detail::MemberKind;
using detail::ParamDir;

namespace {

Value numeric(const Type& type, Atoms atoms) {
  Value v;
  v.type = type;
  v.atoms = std::move(atoms);
  return v;
}

Value scalar(Base base, float x) { return numeric(Type::scalar(base), {Atom::of(x)}); }

// Atoms of a value of type t read as the numeric shape 'to' (same
// component count or a truncation), before any change of base.
Atoms reshape(const Atoms& atoms, const Type& from, const Type& to) {
  const int n = to.components();
  if (atoms.size() == 1) return Atoms(static_cast<size_t>(n), atoms[0]);
  if (from.kind == Kind::Matrix && to.kind == Kind::Matrix) {
    Atoms out;
    for (int r = 0; r < to.rows; ++r)
      for (int c = 0; c < to.cols; ++c) out.push_back(atoms[static_cast<size_t>(r * from.cols + c)]);
    return out;
  }
  Atoms out(atoms.begin(), atoms.begin() + std::min<size_t>(atoms.size(), static_cast<size_t>(n)));
  while (out.size() < static_cast<size_t>(n)) out.push_back(Atom::of(0.0f));
  return out;
}

// The atoms an element or row of a numeric value occupies.
std::vector<int> elementAtoms(const Type& t, int index) {
  std::vector<int> out;
  if (t.kind == Kind::Matrix) {
    for (int c = 0; c < t.cols; ++c) out.push_back(index * t.cols + c);
  } else {
    out.push_back(index);
  }
  return out;
}

Type elementType(const Type& t) {
  if (t.array) return t.element();
  if (t.kind == Kind::Matrix) return Type::vector(Base::Float, t.cols);
  return Type::scalar(t.base);
}

int elementCount(const Type& t) {
  if (t.array) return t.array;
  if (t.kind == Kind::Matrix) return t.rows;
  return t.kind == Kind::Vector ? t.cols : 1;
}

Value extractElement(const Value& v, int index) {
  if (v.type.array) return v.parts.at(static_cast<size_t>(index));
  Value out;
  out.type = elementType(v.type);
  for (int a : elementAtoms(v.type, index)) out.atoms.push_back(v.atoms.at(static_cast<size_t>(a)));
  return out;
}

void insertElement(Value& v, int index, const Value& element) {
  if (v.type.array) {
    v.parts.at(static_cast<size_t>(index)) = element;
    return;
  }
  std::vector<int> where = elementAtoms(v.type, index);
  for (size_t k = 0; k < where.size(); ++k) v.atoms.at(static_cast<size_t>(where[k])) = element.atoms.at(k);
}

}  // namespace

Value Lowerer::zero(const Type& t) { return fill(t, Atom::of(0.0f)); }

Value Lowerer::fill(const Type& t, const sm2::Atom& x) {
  Value v;
  v.type = t;
  if (t.array) {
    for (int i = 0; i < t.array; ++i) v.parts.push_back(fill(t.element(), x));
    return v;
  }
  if (t.kind == Kind::Struct) {
    for (const detail::StructMember& mem : m_.structs[static_cast<size_t>(t.structId)].members)
      v.parts.push_back(fill(mem.type, x));
    return v;
  }
  if (t.isNumeric()) {
    sm2::Atom a = x;
    if (t.base == Base::Int && !x.literal)
      a = truncate({x})[0];
    else if (t.base == Base::Int)
      a = Atom::of(std::trunc(x.value));
    if (t.base == Base::Bool) a = x.literal ? Atom::of(x.value != 0.0f ? 1.0f : 0.0f) : notZero({x})[0];
    v.atoms.assign(static_cast<size_t>(t.components()), a);
  }
  return v;
}

Value Lowerer::convert(const Value& v, const Type& to) {
  if (to.kind == Kind::Void) return Value{};
  if (v.type == to || to.isError()) return v;
  if (to.kind == Kind::Sampler || v.type.kind == Kind::Sampler) {
    Value out = v;
    out.type = to;
    return out;
  }
  if ((to.kind == Kind::Struct || to.array) && v.type.isScalar()) return fill(to, v.atoms.at(0));
  if (!to.isNumeric() || !v.type.isNumeric()) {
    Value out = v;
    out.type = to;
    return out;
  }
  Atoms atoms = reshape(v.atoms, v.type, to);
  if (to.base == Base::Int && v.type.base == Base::Float) atoms = truncate(atoms);
  if (to.base == Base::Bool && v.type.base != Base::Bool) atoms = notZero(atoms);
  return numeric(to, atoms);
}

Value Lowerer::construct(const Type& type, const std::vector<Value>& args) {
  if (args.size() == 1 && args[0].atoms.size() == 1) return fill(type, args[0].atoms[0]);
  Atoms atoms;
  for (const Value& a : args) atoms.insert(atoms.end(), a.atoms.begin(), a.atoms.end());
  atoms.resize(static_cast<size_t>(type.components()), Atom::of(0.0f));
  return numeric(type, atoms);
}

// ------------------------------------------------------------ expressions

Value Lowerer::eval(const Expr& e, State& st) {
  if (failed_) return zero(e.type);
  switch (e.kind) {
    case EK::IntLit: return scalar(Base::Int, static_cast<float>(static_cast<std::int32_t>(e.ival)));
    case EK::FloatLit: return scalar(Base::Float, static_cast<float>(e.fval));
    case EK::BoolLit: return scalar(Base::Bool, e.ival ? 1.0f : 0.0f);
    case EK::Name: {
      auto found = st.env.find(e.var);
      if (found == st.env.end()) return zero(e.type);
      Value v = found->second;
      v.type = e.type;
      return v;
    }
    case EK::Binary: return evalBinary(e, st);
    case EK::Unary: {
      Value a = eval(*e.args[0], st);
      if (e.op == "-") return numeric(e.type, negate(a.atoms));
      if (e.op == "!") return numeric(e.type, logicalNot(a.atoms));
      a.type = e.type;
      return a;
    }
    case EK::PreIncDec:
    case EK::PostIncDec: {
      Path p;
      if (!path(*e.args[0], st, &p)) {
        fail(e.loc, "this operand cannot be incremented here");
        return zero(e.type);
      }
      Value old = read(p, st);
      float step = e.op == "++" ? 1.0f : -1.0f;
      Value now = numeric(old.type, arith(OpAdd, static_cast<int>(old.atoms.size()), {old.atoms, {Atom::of(step)}}));
      write(p, now, st);
      return e.kind == EK::PreIncDec ? now : old;
    }
    case EK::Assign: return evalAssign(e, st);
    case EK::Ternary: {
      Value c = eval(*e.args[0], st);
      Value a = eval(*e.args[1], st);
      Value b = eval(*e.args[2], st);
      a = convert(a, e.type);
      b = convert(b, e.type);
      if (c.atoms.size() == 1) {
        if (c.atoms[0].literal) return c.atoms[0].value != 0.0f ? a : b;
        return select(c.atoms, a, b);
      }
      return numeric(e.type, selectAtoms(c.atoms, a.atoms, b.atoms));
    }
    case EK::Call: return evalCall(e, st);
    case EK::Construct: {
      std::vector<Value> args;
      for (const auto& a : e.args) args.push_back(eval(*a, st));
      return construct(e.type, args);
    }
    case EK::Cast:
    case EK::Convert: return convert(eval(*e.args[0], st), e.type);
    case EK::Member: return evalMember(e, st);
    case EK::Index: return evalIndex(e, st);
    case EK::InitList: {
      Value v;
      v.type = e.type;
      for (const auto& a : e.args) v.parts.push_back(eval(*a, st));
      return v;
    }
    case EK::Comma: {
      Value last;
      for (const auto& a : e.args) last = eval(*a, st);
      return last;
    }
  }
  return zero(e.type);
}

Value Lowerer::evalBinary(const Expr& e, State& st) {
  Value a = eval(*e.args[0], st);
  Value b = eval(*e.args[1], st);
  const std::string& op = e.op;
  const Type& t = e.type;
  const int n = t.components();
  auto splat = [](Atoms x, size_t size) {
    if (x.size() == 1 && size > 1) x.assign(size, x[0]);
    return x;
  };
  if (op == "+" || op == "-" || op == "*" || op == "/" || op == "%") {
    Atoms x = splat(a.atoms, static_cast<size_t>(n)), y = splat(b.atoms, static_cast<size_t>(n));
    Atoms r;
    if (op == "+")
      r = arithRows(OpAdd, t, {x, y});
    else if (op == "-")
      r = arithRows(OpAdd, t, {x, negate(y)});
    else if (op == "*")
      r = arithRows(OpMul, t, {x, y});
    else if (op == "/")
      r = t.base == Base::Int ? truncate(divide(x, y)) : divide(x, y);
    else
      r = fmod(x, y);
    return numeric(t, r);
  }
  const int m = std::max(static_cast<int>(a.atoms.size()), static_cast<int>(b.atoms.size()));
  Atoms x = splat(a.atoms, static_cast<size_t>(m)), y = splat(b.atoms, static_cast<size_t>(m));
  if (op == "&&") return numeric(t, arith(OpMul, m, {x, y}));
  if (op == "||") return numeric(t, arith(OpMax, m, {x, y}));
  return numeric(t, compare(op, x, y));
}

Value Lowerer::evalAssign(const Expr& e, State& st) {
  Path p;
  if (!path(*e.args[0], st, &p)) {
    fail(e.loc, "this assignment target is not supported");
    return zero(e.type);
  }
  Value r = eval(*e.args[1], st);
  if (e.op == "=") {
    Value v = convert(r, e.args[0]->type);
    write(p, v, st);
    return v;
  }
  // a op= b, computed in the promoted type and stored back.
  const Type t = e.ival ? e.target : e.args[0]->type;
  Value l = convert(read(p, st), t);
  const int n = t.components();
  auto splat = [n](Atoms x) {
    if (x.size() == 1 && n > 1) x.assign(static_cast<size_t>(n), x[0]);
    return x;
  };
  Atoms x = splat(l.atoms), y = splat(r.atoms);
  char op = e.op[0];
  Atoms out;
  if (op == '+')
    out = arithRows(OpAdd, t, {x, y});
  else if (op == '-')
    out = arithRows(OpAdd, t, {x, negate(y)});
  else if (op == '*')
    out = arithRows(OpMul, t, {x, y});
  else if (op == '/')
    out = t.base == Base::Int ? truncate(divide(x, y)) : divide(x, y);
  else
    out = fmod(x, y);
  Value v = convert(numeric(t, out), e.args[0]->type);
  write(p, v, st);
  return v;
}

Value Lowerer::evalMember(const Expr& e, State& st) {
  Value base = eval(*e.args[0], st);
  const Type& bt = e.args[0]->type;
  switch (e.member) {
    case MemberKind::Field: {
      Value v = base.parts.at(static_cast<size_t>(e.field));
      return v;
    }
    case MemberKind::Swizzle:
    case MemberKind::ScalarSwizzle: {
      Atoms atoms;
      for (int c : e.comps)
        atoms.push_back(base.atoms.at(static_cast<size_t>(e.member == MemberKind::ScalarSwizzle ? 0 : c)));
      return numeric(e.type, atoms);
    }
    case MemberKind::MatrixSwizzle: {
      Atoms atoms;
      for (int c : e.comps) atoms.push_back(base.atoms.at(static_cast<size_t>((c / 4) * bt.cols + c % 4)));
      return numeric(e.type, atoms);
    }
    case MemberKind::None: break;
  }
  return zero(e.type);
}

Value Lowerer::evalIndex(const Expr& e, State& st) {
  Value base = eval(*e.args[0], st);
  Value index = eval(*e.args[1], st);
  const sm2::Atom i = index.atoms.at(0);
  const int count = elementCount(base.type);
  if (i.literal) {
    int k = static_cast<int>(i.value);
    if (k < 0 || k >= count) {
      fail(e.loc, "array index out of bounds");
      return zero(e.type);
    }
    return extractElement(base, k);
  }
  // A run-time index picks among all elements.
  Value out = extractElement(base, count - 1);
  for (int k = count - 1; k-- > 0;)
    out = select(compare("==", {i}, {Atom::of(static_cast<float>(k))}), extractElement(base, k), out);
  return out;
}

Value Lowerer::evalCall(const Expr& e, State& st) {
  if (!e.func) return intrinsic(e, st);
  const FunctionDecl* f = e.func;
  std::vector<Value> args;
  std::vector<Path> paths(e.args.size());
  for (size_t i = 0; i < e.args.size(); ++i) {
    const Var* p = f->params[i];
    if (p->dir == ParamDir::In) {
      args.push_back(convert(eval(*e.args[i], st), p->type));
      continue;
    }
    if (!path(*e.args[i], st, &paths[i])) {
      fail(e.args[i]->loc, "this out argument is not supported");
      return zero(e.type);
    }
    args.push_back(p->dir == ParamDir::InOut ? read(paths[i], st) : zero(p->type));
  }
  std::vector<Value> outs;
  Value result = call(f, std::move(args), st, e.loc, &outs);
  for (size_t i = 0; i < e.args.size(); ++i)
    if (f->params[i]->dir != ParamDir::In) write(paths[i], convert(outs[i], e.args[i]->type), st);
  result.type = e.type;
  return result;
}

// ------------------------------------------------------------ assignment targets

bool Lowerer::path(const Expr& e, State& st, Path* out) {
  switch (e.kind) {
    case EK::Name: out->var = e.var; return e.var != nullptr;
    case EK::Member: {
      if (!path(*e.args[0], st, out)) return false;
      Step s;
      const Type& bt = e.args[0]->type;
      if (e.member == MemberKind::Field) {
        s.kind = Step::Kind::Field;
        s.index = e.field;
      } else {
        s.kind = Step::Kind::Components;
        for (int c : e.comps) {
          if (e.member == MemberKind::MatrixSwizzle)
            s.comps.push_back((c / 4) * bt.cols + c % 4);
          else
            s.comps.push_back(e.member == MemberKind::ScalarSwizzle ? 0 : c);
        }
      }
      out->steps.push_back(std::move(s));
      return true;
    }
    case EK::Index: {
      if (!path(*e.args[0], st, out)) return false;
      Value index = eval(*e.args[1], st);
      Step s;
      s.kind = Step::Kind::Element;
      if (index.atoms.at(0).literal) {
        s.index = static_cast<int>(index.atoms[0].value);
      } else {
        s.dynamic = true;
        s.dynamicIndex = index.atoms[0];
      }
      out->steps.push_back(std::move(s));
      return true;
    }
    default: return false;
  }
}

Value Lowerer::read(const Path& p, State& st) {
  auto found = st.env.find(p.var);
  Value v = found != st.env.end() ? found->second : zero(p.var->type);
  for (const Step& s : p.steps) {
    switch (s.kind) {
      case Step::Kind::Field: v = v.parts.at(static_cast<size_t>(s.index)); break;
      case Step::Kind::Components: {
        Atoms atoms;
        for (int c : s.comps) atoms.push_back(v.atoms.at(static_cast<size_t>(c)));
        v = numeric(Type::vector(v.type.base == Base::None ? Base::Float : v.type.base, static_cast<int>(atoms.size())),
                    atoms);
        break;
      }
      case Step::Kind::Element: {
        const int count = elementCount(v.type);
        if (!s.dynamic) {
          if (s.index < 0 || s.index >= count) {
            fail(b_.loc(), "array index out of bounds");
            return v;
          }
          v = extractElement(v, s.index);
          break;
        }
        Value out = extractElement(v, count - 1);
        for (int k = count - 1; k-- > 0;)
          out = select(compare("==", {s.dynamicIndex}, {Atom::of(static_cast<float>(k))}), extractElement(v, k), out);
        v = out;
        break;
      }
    }
  }
  return v;
}

void Lowerer::write(const Path& p, const Value& v, State& st) {
  auto found = st.env.find(p.var);
  if (found == st.env.end()) found = st.env.emplace(p.var, zero(p.var->type)).first;
  writeInto(found->second, p.steps, 0, v);
}

void Lowerer::writeInto(Value& target, const std::vector<Step>& steps, size_t at, const Value& v) {
  if (at == steps.size()) {
    Type keep = target.type;
    target = v;
    target.type = keep;
    return;
  }
  const Step& s = steps[at];
  switch (s.kind) {
    case Step::Kind::Field: writeInto(target.parts.at(static_cast<size_t>(s.index)), steps, at + 1, v); return;
    case Step::Kind::Components: {
      Value part;
      part.type = Type::vector(target.type.base, static_cast<int>(s.comps.size()));
      for (int c : s.comps) part.atoms.push_back(target.atoms.at(static_cast<size_t>(c)));
      writeInto(part, steps, at + 1, v);
      for (size_t k = 0; k < s.comps.size(); ++k) target.atoms.at(static_cast<size_t>(s.comps[k])) = part.atoms.at(k);
      return;
    }
    case Step::Kind::Element: {
      const int count = elementCount(target.type);
      if (!s.dynamic) {
        if (s.index < 0 || s.index >= count) {
          fail(b_.loc(), "array index out of bounds");
          return;
        }
        Value element = extractElement(target, s.index);
        writeInto(element, steps, at + 1, v);
        insertElement(target, s.index, element);
        return;
      }
      // A run-time index writes every element it may name.
      for (int k = 0; k < count; ++k) {
        Value element = extractElement(target, k);
        Value changed = element;
        writeInto(changed, steps, at + 1, v);
        insertElement(target, k,
                      select(compare("==", {s.dynamicIndex}, {Atom::of(static_cast<float>(k))}), changed, element));
      }
      return;
    }
  }
}

}  // namespace hlsl::sm2
