// Statements, inlined calls, path conditions and the entry point's inputs
// and outputs.
#include "platform/hlsl/sm2/lower.h"

#include <algorithm>

namespace hlsl::sm2 {

using detail::Base;
using detail::Kind;
using detail::SK;

namespace {

constexpr int kMaxLoopIterations = 1024;
constexpr size_t kMaxInstructions = 65536;

bool sameValue(const Value& a, const Value& b) {
  if (a.sampler != b.sampler || a.atoms != b.atoms || a.parts.size() != b.parts.size()) return false;
  for (size_t i = 0; i < a.parts.size(); ++i)
    if (!sameValue(a.parts[i], b.parts[i])) return false;
  return true;
}

int declUsage(const std::string& base) {
  if (base == "POSITION") return UsagePosition;
  if (base == "BLENDWEIGHT") return UsageBlendWeight;
  if (base == "BLENDINDICES") return UsageBlendIndices;
  if (base == "NORMAL") return UsageNormal;
  if (base == "PSIZE") return UsagePSize;
  if (base == "TEXCOORD") return UsageTexcoord;
  if (base == "TANGENT") return UsageTangent;
  if (base == "BINORMAL") return UsageBinormal;
  if (base == "COLOR") return UsageColor;
  if (base == "FOG") return UsageFog;
  if (base == "DEPTH") return UsageDepth;
  return -1;
}

void splitSemantic(const std::string& canonical, std::string* base, int* index) {
  size_t k = canonical.size();
  while (k > 0 && canonical[k - 1] >= '0' && canonical[k - 1] <= '9') --k;
  *base = canonical.substr(0, k);
  std::string digits = canonical.substr(k);
  *index = digits.empty() || digits.size() > 3 ? 0 : std::stoi(digits);
}

}  // namespace

Lowerer::Lowerer(Module& module, FunctionDecl* entry, const Target& target, Builder& builder, IrShader& ir,
                 detail::Diagnostics& diag)
    : m_(module), entry_(entry), target_(target), b_(builder), ir_(ir), diag_(diag) {
  auto t = std::make_shared<Pred>();
  t->kind = Pred::Kind::True;
  true_ = t;
  auto f = std::make_shared<Pred>();
  f->kind = Pred::Kind::False;
  false_ = f;
}

void Lowerer::fail(detail::Loc loc, const std::string& message) {
  if (!failed_) diag_.error(loc, message);
  failed_ = true;
}

bool Lowerer::run() {
  entryPoint();
  return !failed_ && diag_.errorCount() == 0;
}

// ------------------------------------------------------------ predicates

PredPtr Lowerer::atomPred(const sm2::Atom& a) {
  if (a.literal) return a.value != 0.0f ? true_ : false_;
  auto p = std::make_shared<Pred>();
  p->kind = Pred::Kind::Atom;
  p->atom = a;
  return p;
}

PredPtr Lowerer::notPred(const PredPtr& x) {
  if (x->kind == Pred::Kind::True) return false_;
  if (x->kind == Pred::Kind::False) return true_;
  if (x->kind == Pred::Kind::Not) return x->a;
  auto p = std::make_shared<Pred>();
  p->kind = Pred::Kind::Not;
  p->a = x;
  return p;
}

PredPtr Lowerer::andPred(const PredPtr& a, const PredPtr& b) {
  if (a->kind == Pred::Kind::False || b->kind == Pred::Kind::False) return false_;
  if (a->kind == Pred::Kind::True) return b;
  if (b->kind == Pred::Kind::True || a == b) return a;
  auto p = std::make_shared<Pred>();
  p->kind = Pred::Kind::And;
  p->a = a;
  p->b = b;
  return p;
}

PredPtr Lowerer::orPred(const PredPtr& a, const PredPtr& b) {
  if (a->kind == Pred::Kind::True || b->kind == Pred::Kind::True) return true_;
  if (a->kind == Pred::Kind::False) return b;
  if (b->kind == Pred::Kind::False || a == b) return a;
  // (x and y) or (x and not y) is x: the two sides of one condition.
  if (a->kind == Pred::Kind::And && b->kind == Pred::Kind::And && a->a == b->a) {
    const PredPtr& y = a->b;
    const PredPtr& z = b->b;
    if ((z->kind == Pred::Kind::Not && z->a == y) || (y->kind == Pred::Kind::Not && y->a == z)) return a->a;
  }
  auto p = std::make_shared<Pred>();
  p->kind = Pred::Kind::Or;
  p->a = a;
  p->b = b;
  return p;
}

sm2::Atom Lowerer::predAtom(const PredPtr& p) {
  auto found = predAtoms_.find(p.get());
  if (found != predAtoms_.end()) return found->second.second;
  sm2::Atom a;
  switch (p->kind) {
    case Pred::Kind::True: a = sm2::Atom::of(1.0f); break;
    case Pred::Kind::False: a = sm2::Atom::of(0.0f); break;
    case Pred::Kind::Atom: a = p->atom; break;
    case Pred::Kind::Not: a = logicalNot({predAtom(p->a)})[0]; break;
    case Pred::Kind::And: a = arith(OpMul, 1, {{predAtom(p->a)}, {predAtom(p->b)}})[0]; break;
    case Pred::Kind::Or: a = arith(OpMax, 1, {{predAtom(p->a)}, {predAtom(p->b)}})[0]; break;
  }
  predAtoms_[p.get()] = {p, a};
  return a;
}

PredPtr Lowerer::absolute(const PredPtr& relative) {
  if (frames_.empty()) return relative;
  return andPred(frames_.back().entry, relative);
}

// ------------------------------------------------------------ merging paths

Value Lowerer::select(const Atoms& cond, const Value& a, const Value& b) {
  if (sameValue(a, b)) return a;
  Value out = b;
  if (!a.parts.empty() && a.parts.size() == b.parts.size()) {
    for (size_t i = 0; i < a.parts.size(); ++i) out.parts[i] = select(cond, a.parts[i], b.parts[i]);
    return out;
  }
  if (a.atoms.size() != b.atoms.size()) return out;
  // Only the components that differ.
  Atoms pa, pb;
  std::vector<size_t> where;
  for (size_t k = 0; k < a.atoms.size(); ++k) {
    if (a.atoms[k] == b.atoms[k]) continue;
    pa.push_back(a.atoms[k]);
    pb.push_back(b.atoms[k]);
    where.push_back(k);
  }
  Atoms chosen = selectAtoms(cond, pa, pb);
  for (size_t i = 0; i < where.size(); ++i) out.atoms[where[i]] = chosen[i];
  return out;
}

Value Lowerer::selectPred(const PredPtr& p, const Value& a, const Value& b) {
  if (sameValue(a, b)) return a;
  if (p->kind == Pred::Kind::True) return a;
  if (p->kind == Pred::Kind::False) return b;
  if (p->kind == Pred::Kind::Not) return selectPred(p->a, b, a);
  return select({predAtom(p)}, a, b);
}

State Lowerer::merge(std::vector<State>& states) {
  std::vector<State*> live;
  for (State& s : states)
    if (s.pred->kind != Pred::Kind::False) live.push_back(&s);
  if (live.empty()) return State{false_, states.empty() ? Env{} : states.back().env};
  if (live.size() == 1) return *live[0];
  State out;
  out.pred = live[0]->pred;
  for (size_t i = 1; i < live.size(); ++i) out.pred = orPred(out.pred, live[i]->pred);
  // The last path is the default; the others are chosen by their conditions.
  out.env = live.back()->env;
  for (auto& [var, value] : out.env) {
    for (size_t i = live.size() - 1; i-- > 0;) {
      auto found = live[i]->env.find(var);
      if (found != live[i]->env.end()) value = selectPred(live[i]->pred, found->second, value);
    }
  }
  return out;
}

// ------------------------------------------------------------ statements

void Lowerer::exec(const Stmt& s, State& st) {
  if (failed_ || st.pred->kind == Pred::Kind::False) return;
  if (ir_.code.size() > kMaxInstructions) {
    fail(s.loc, "the shader is too large for " + std::string(target_.name));
    return;
  }
  b_.setLoc(s.loc);
  switch (s.kind) {
    case SK::Block:
      for (const auto& k : s.kids) exec(*k, st);
      break;
    case SK::Expr: eval(*s.expr, st); break;
    case SK::Decl:
      for (const Var* v : s.vars) {
        b_.setLoc(v->loc);
        st.env[v] = v->init ? convert(eval(*v->init, st), v->type) : zero(v->type);
      }
      break;
    case SK::If: execIf(s, st); break;
    case SK::For:
    case SK::While:
    case SK::Do: execLoop(s, st); break;
    case SK::Break:
      loops_.back().breaks.push_back(st);
      st.pred = false_;
      break;
    case SK::Continue:
      loops_.back().continues.push_back(st);
      st.pred = false_;
      break;
    case SK::Return: {
      // The value first: evaluating it may inline calls (and grow frames_).
      Value result = s.expr ? convert(eval(*s.expr, st), frames_.back().function->ret) : Value{};
      Frame& f = frames_.back();
      f.results.push_back(std::move(result));
      f.exits.push_back(st);
      st.pred = false_;
      break;
    }
    case SK::Discard:
      discard(st, s.loc);
      st.pred = false_;
      break;
    case SK::Empty: break;
  }
}

void Lowerer::execIf(const Stmt& s, State& st) {
  Value c = eval(*s.cond, st);
  if (failed_) return;
  const sm2::Atom cond = c.atoms.at(0);
  if (cond.literal) {
    if (cond.value != 0.0f)
      exec(*s.kids[0], st);
    else if (s.kids.size() > 1)
      exec(*s.kids[1], st);
    return;
  }
  PredPtr cp = atomPred(cond);
  State yes{andPred(st.pred, cp), st.env};
  State no{andPred(st.pred, notPred(cp)), st.env};
  const Pred* yesStart = yes.pred.get();
  const Pred* noStart = no.pred.get();
  exec(*s.kids[0], yes);
  if (s.kids.size() > 1) exec(*s.kids[1], no);
  bool yesWhole = yes.pred.get() == yesStart;
  bool noWhole = no.pred.get() == noStart;
  if (yes.pred->kind == Pred::Kind::False) {
    st.env = std::move(no.env);
  } else if (no.pred->kind == Pred::Kind::False) {
    st.env = std::move(yes.env);
  } else {
    // Both ways may run: each variable takes the value of the way taken.
    Env env = no.env;
    for (auto& [var, value] : env) {
      auto found = yes.env.find(var);
      if (found != yes.env.end()) value = select({cond}, found->second, value);
    }
    st.env = std::move(env);
  }
  st.pred = yesWhole && noWhole ? st.pred : orPred(yes.pred, no.pred);
}

void Lowerer::execLoop(const Stmt& s, State& st) {
  const Stmt* body = s.kind == SK::For ? s.kids[1].get() : s.kids[0].get();
  if (s.kind == SK::For) exec(*s.kids[0], st);
  loops_.emplace_back();
  bool first = true;
  int iterations = 0;
  while (!failed_ && st.pred->kind != Pred::Kind::False) {
    if (s.cond && !(s.kind == SK::Do && first)) {
      b_.setLoc(s.cond->loc);
      Value c = eval(*s.cond, st);
      if (failed_) break;
      const sm2::Atom cond = c.atoms.at(0);
      if (cond.literal) {
        if (cond.value == 0.0f) break;
      } else {
        // Paths on which the condition fails leave the loop here.
        PredPtr cp = atomPred(cond);
        loops_.back().breaks.push_back(State{andPred(st.pred, notPred(cp)), st.env});
        st.pred = andPred(st.pred, cp);
      }
    }
    first = false;
    if (++iterations > kMaxLoopIterations) {
      fail(s.loc, std::string(target_.name) +
                      (target_.pixel ? " has no flow control" : " allows only static flow control") +
                      ": this loop must end after a number of iterations known at compile time (at most " +
                      std::to_string(kMaxLoopIterations) + ")");
      break;
    }
    exec(*body, st);
    auto& continues = loops_.back().continues;
    if (!continues.empty()) {
      continues.push_back(std::move(st));
      st = merge(continues);
      continues.clear();
    }
    if (s.kind == SK::For && s.expr && st.pred->kind != Pred::Kind::False) {
      b_.setLoc(s.expr->loc);
      eval(*s.expr, st);
    }
  }
  auto exits = std::move(loops_.back().breaks);
  loops_.pop_back();
  exits.push_back(std::move(st));
  st = merge(exits);
}

void Lowerer::discard(const State& st, detail::Loc loc) {
  b_.setLoc(loc);
  PredPtr when = absolute(st.pred);
  if (when->kind == Pred::Kind::True) {
    b_.kill({sm2::Atom::of(-1.0f), sm2::Atom::of(-1.0f), sm2::Atom::of(-1.0f), sm2::Atom::of(-1.0f)});
    return;
  }
  sm2::Atom a = predAtom(when).negated();
  b_.kill({a, a, a, a});
}

Value Lowerer::call(const FunctionDecl* f, std::vector<Value> args, State& st, detail::Loc loc,
                    std::vector<Value>* outs) {
  const FunctionDecl* def = f->symbol ? f->symbol : f;
  if (def->definition) def = def->definition;
  if (frames_.size() > 64) {
    fail(loc, "calls nested too deeply");
    return zero(f->ret);
  }
  Frame frame;
  frame.function = def;
  frame.entry = absolute(st.pred);
  State inner;
  inner.pred = true_;
  for (const auto& [var, value] : st.env)
    if (var->storage == Var::Storage::Global) inner.env[var] = value;
  for (size_t i = 0; i < def->params.size() && i < args.size(); ++i) {
    const Var* p = def->params[i];
    if (p->isUniform && p->storage == Var::Storage::Global) continue;
    inner.env[p] = p->dir == detail::ParamDir::Out ? zero(p->type) : std::move(args[i]);
  }
  frames_.push_back(std::move(frame));
  exec(*def->body, inner);
  Frame done = std::move(frames_.back());
  frames_.pop_back();
  if (inner.pred->kind != Pred::Kind::False) {
    done.exits.push_back(std::move(inner));
    done.results.push_back(Value{});
  }
  Value result = zero(def->ret);
  State out{false_, {}};
  if (!done.exits.empty()) {
    // The result of the last way out, replaced by the others where they ran.
    result = done.results.back();
    for (size_t i = done.exits.size() - 1; i-- > 0;) result = selectPred(done.exits[i].pred, done.results[i], result);
    out = merge(done.exits);
  }
  for (auto& [var, value] : out.env)
    if (var->storage == Var::Storage::Global) st.env[var] = value;
  if (outs) {
    outs->assign(def->params.size(), Value{});
    for (size_t i = 0; i < def->params.size(); ++i) {
      const Var* p = def->params[i];
      if (p->dir == detail::ParamDir::In) continue;
      auto found = out.env.find(p);
      (*outs)[i] = found != out.env.end() ? found->second : zero(p->type);
    }
  }
  b_.setLoc(loc);
  return result;
}

// ------------------------------------------------------------ entry point

namespace {

Value* leaf(Value& v, const std::vector<int>& path) {
  Value* at = &v;
  for (int i : path) {
    if (i < 0 || static_cast<size_t>(i) >= at->parts.size()) return nullptr;
    at = &at->parts[static_cast<size_t>(i)];
  }
  return at;
}

}  // namespace

void Lowerer::entryPoint() {
  State st;
  st.pred = true_;
  b_.setLoc(entry_->loc);
  // Constants from their registers, then static globals in declaration order.
  for (int pass = 0; pass < 2; ++pass) {
    for (detail::TopLevel& item : m_.items) {
      if (item.what != detail::TopLevel::What::Globals) continue;
      for (const Var* v : item.vars) {
        if (!v->reached || v->constant != (pass == 0)) continue;
        b_.setLoc(v->loc);
        if (v->constant) {
          if (v->reg < 0) continue;
          Value value;
          value.type = v->type;
          if (v->type.kind == Kind::Sampler) {
            value.sampler = v->reg;
          } else {
            Type el = v->type.element();
            int rows = el.kind == Kind::Matrix ? el.rows : 1;
            int cols = el.kind == Kind::Scalar ? 1 : el.cols;
            auto element = [&](int base) {
              Value e;
              e.type = el;
              for (int r = 0; r < rows; ++r)
                for (int c = 0; c < cols; ++c) e.atoms.push_back(sm2::Atom::reg(RegType::Const, base + r, c));
              return e;
            };
            if (v->type.array) {
              for (int i = 0; i < v->type.array; ++i) value.parts.push_back(element(v->reg + i * rows));
            } else {
              value = element(v->reg);
            }
          }
          st.env[v] = std::move(value);
        } else {
          st.env[v] = v->init ? convert(eval(*v->init, st), v->type) : zero(v->type);
        }
      }
    }
  }
  // Inputs.
  std::vector<Value> args;
  for (const Var* p : entry_->params) args.push_back(p->isUniform ? Value{} : zero(p->type));
  int nextInput = 0;
  for (const detail::IOSlot& slot : m_.io) {
    if (!slot.input) continue;
    b_.setLoc(slot.loc);
    std::string base;
    int index = 0;
    splitSemantic(slot.semantic, &base, &index);
    const int n = slot.type.components();
    Declaration d;
    d.mask = static_cast<std::uint8_t>((1 << n) - 1);
    d.usage = static_cast<Usage>(std::max(0, declUsage(base)));
    d.usageIndex = index;
    if (!target_.pixel || target_.semanticRegisters) {
      int limit = target_.pixel ? 10 : 16;
      if (nextInput >= limit) {
        fail(slot.loc, std::string(target_.name) + " allows at most " + std::to_string(limit) + " inputs");
        return;
      }
      if (declUsage(base) < 0) {
        fail(slot.loc, "'" + slot.semantic + "' cannot be an input of " + std::string(target_.name));
        return;
      }
      d.type = RegType::Input;
      d.index = nextInput++;
      if (!target_.pixel) d.mask = 0xF;
    } else if (base == "COLOR") {
      if (index >= target_.colorInputs) {
        fail(slot.loc, std::string(target_.name) + " allows at most " + std::to_string(target_.colorInputs) +
                           " colour inputs (COLOR0 to COLOR" + std::to_string(target_.colorInputs - 1) + "); '" +
                           slot.semantic + "' is not one of them");
        return;
      }
      d.type = RegType::Input;
      d.index = index;
      d.needsUsage = false;
    } else if (base == "TEXCOORD") {
      if (index >= target_.texcoordInputs) {
        fail(slot.loc, std::string(target_.name) + " allows at most " + std::to_string(target_.texcoordInputs) +
                           " texture-coordinate inputs (TEXCOORD0 to TEXCOORD" +
                           std::to_string(target_.texcoordInputs - 1) + "); '" + slot.semantic +
                           "' is not one of them");
        return;
      }
      d.type = RegType::Texture;
      d.index = index;
      d.needsUsage = false;
    } else {
      fail(slot.loc, std::string(target_.name) + " pixel shaders read only COLOR and TEXCOORD inputs, not '" +
                         slot.semantic + "'");
      return;
    }
    ir_.inputs.push_back(d);
    Value* target = leaf(args[static_cast<size_t>(slot.param)], slot.path);
    if (!target) continue;
    Atoms atoms;
    for (int c = 0; c < n; ++c) atoms.push_back(sm2::Atom::reg(d.type, d.index, c));
    target->atoms = atoms;
    if (slot.type.base != Base::Float) *target = convert(Value{Type::vector(Base::Float, n), atoms, {}, -1}, slot.type);
  }
  std::vector<Value> outs;
  Value result = call(entry_, args, st, entry_->loc, &outs);
  if (failed_) return;
  // Outputs.
  int nextOutput = 0;
  int colors = 0;
  for (const detail::IOSlot& slot : m_.io) {
    if (slot.input) continue;
    b_.setLoc(slot.loc);
    Value* v = slot.param < 0 ? leaf(result, slot.path) : leaf(outs[static_cast<size_t>(slot.param)], slot.path);
    if (!v) continue;
    Value f = convert(*v, Type::vector(Base::Float, slot.type.components()));
    Atoms value = f.atoms;
    std::string base;
    int index = 0;
    splitSemantic(slot.semantic, &base, &index);
    auto padded = [&](Atoms a) {
      static const float defaults[4] = {0.0f, 0.0f, 0.0f, 1.0f};
      while (a.size() < 4) a.push_back(sm2::Atom::of(defaults[a.size()]));
      return a;
    };
    const auto mask = static_cast<std::uint8_t>((1 << value.size()) - 1);
    if (target_.pixel) {
      if (base == "DEPTH") {
        b_.write(RegType::DepthOut, 0, 0xF, {value[0]}, false, true);
      } else {
        ++colors;
        b_.write(RegType::ColorOut, index, 0xF, padded(value), !target_.version3());
      }
      continue;
    }
    if (target_.semanticRegisters) {
      if (nextOutput >= target_.outputRegisters) {
        fail(slot.loc,
             std::string(target_.name) + " allows at most " + std::to_string(target_.outputRegisters) + " outputs");
        return;
      }
      Declaration d;
      d.type = RegType::Output;
      d.index = nextOutput++;
      d.usage = static_cast<Usage>(std::max(0, declUsage(base)));
      d.usageIndex = index;
      d.mask = base == "POSITION" ? 0xF : mask;
      ir_.outputs.push_back(d);
      b_.write(RegType::Output, d.index, d.mask, base == "POSITION" ? padded(value) : value, false);
      continue;
    }
    if (base == "POSITION") {
      b_.write(RegType::RastOut, 0, 0xF, padded(value), false);
    } else if (base == "FOG" || base == "PSIZE") {
      b_.write(RegType::RastOut, base == "FOG" ? 1 : 2, 0x1, {value[0]}, false);
    } else if (base == "COLOR" && index < 2) {
      b_.write(RegType::AttrOut, index, mask, value, false);
    } else if (base == "TEXCOORD" && index < 8) {
      b_.write(RegType::Output, index, mask, value, false);
    } else {
      fail(slot.loc, std::string(target_.name) + " has no output register for '" + slot.semantic +
                         "' (POSITION, COLOR0-1, TEXCOORD0-7, FOG and PSIZE)");
      return;
    }
  }
  // Shader model 2 writes colour outputs from oC0 on, without gaps.
  if (target_.pixel && !target_.version3()) {
    for (const detail::IOSlot& slot : m_.io) {
      std::string base;
      int index = 0;
      splitSemantic(slot.semantic, &base, &index);
      if (!slot.input && base == "COLOR" && index >= colors)
        fail(slot.loc, std::string(target_.name) + " writes colour outputs from COLOR0 on: '" + slot.semantic +
                           "' needs COLOR0 to COLOR" + std::to_string(index - 1) + " too");
    }
  }
}

}  // namespace hlsl::sm2
