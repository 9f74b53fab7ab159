// Turns the checked syntax tree into straight-line instructions: every
// function call is inlined, loops run to their end at compile time, and
// conditions that depend on run-time values execute both ways with the
// results selected afterwards (shader model 2 pixel shaders have no flow
// control, and vertex shaders get no more than that here).
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/hlsl/sm2/builder.h"

namespace hlsl::sm2 {

using detail::Expr;
using detail::FunctionDecl;
using detail::Module;
using detail::Stmt;
using detail::Type;
using detail::Var;

// An HLSL value: numbers as atoms (matrices row by row), structures and
// arrays as parts, samplers as their register.
struct Value {
  Type type;
  Atoms atoms;
  std::vector<Value> parts;
  int sampler = -1;
};

// When a path of the program runs: a formula over 0/1 atoms.
struct Pred;
using PredPtr = std::shared_ptr<const Pred>;
struct Pred {
  enum class Kind { True, False, Atom, Not, And, Or } kind = Kind::True;
  sm2::Atom atom;
  PredPtr a, b;
};

using Env = std::map<const Var*, Value>;

// The variables and the condition of one path through the code.
struct State {
  PredPtr pred;
  Env env;
};

class Lowerer {
 public:
  Lowerer(Module& module, FunctionDecl* entry, const Target& target, Builder& builder, IrShader& ir,
          detail::Diagnostics& diag);
  // False when something could not be lowered (the error is reported).
  bool run();

 private:
  struct Frame {  // one inlined call
    const FunctionDecl* function = nullptr;
    PredPtr entry;  // when the call runs (absolute)
    std::vector<State> exits;
    std::vector<Value> results;
  };
  struct Loop {
    std::vector<State> breaks, continues;
  };

  // ---- statements (lower.cpp)
  void exec(const Stmt& s, State& st);
  void execIf(const Stmt& s, State& st);
  void execLoop(const Stmt& s, State& st);
  Value call(const FunctionDecl* f, std::vector<Value> args, State& st, detail::Loc loc, std::vector<Value>* outs);
  State merge(std::vector<State>& states);
  Value select(const Atoms& cond, const Value& a, const Value& b);
  Value selectPred(const PredPtr& p, const Value& a, const Value& b);
  void discard(const State& st, detail::Loc loc);
  void entryPoint();

  // ---- predicates
  PredPtr truePred() const { return true_; }
  PredPtr falsePred() const { return false_; }
  PredPtr atomPred(const sm2::Atom& a);
  PredPtr notPred(const PredPtr& p);
  PredPtr andPred(const PredPtr& a, const PredPtr& b);
  PredPtr orPred(const PredPtr& a, const PredPtr& b);
  sm2::Atom predAtom(const PredPtr& p);
  PredPtr absolute(const PredPtr& relative);

  // ---- expressions (lower_expr.cpp)
  Value eval(const Expr& e, State& st);
  Value evalBinary(const Expr& e, State& st);
  Value evalAssign(const Expr& e, State& st);
  Value evalMember(const Expr& e, State& st);
  Value evalIndex(const Expr& e, State& st);
  Value evalCall(const Expr& e, State& st);
  Value construct(const Type& type, const std::vector<Value>& args);
  Value convert(const Value& v, const Type& to);
  Value zero(const Type& t);
  Value fill(const Type& t, const sm2::Atom& scalar);
  // Assignment targets: a variable and the steps into it.
  struct Step {
    enum class Kind { Field, Element, Components } kind = Kind::Field;
    int index = 0;         // Field, constant Element
    bool dynamic = false;  // Element with a run-time index
    sm2::Atom dynamicIndex;
    std::vector<int> comps;  // Components: atom indexes
  };
  struct Path {
    const Var* var = nullptr;
    std::vector<Step> steps;
  };
  bool path(const Expr& e, State& st, Path* out);
  Value read(const Path& p, State& st);
  void write(const Path& p, const Value& v, State& st);
  void writeInto(Value& target, const std::vector<Step>& steps, size_t at, const Value& v);

  // ---- arithmetic and intrinsics (lower_math.cpp)
  Atoms arith(std::uint16_t opcode, int width, const std::vector<Atoms>& sources, bool saturate = false);
  Atoms arithRows(std::uint16_t opcode, const Type& type, const std::vector<Atoms>& sources);
  Atoms negate(const Atoms& a);
  Atoms compare(const std::string& op, const Atoms& a, const Atoms& b);
  Atoms selectAtoms(const Atoms& cond, const Atoms& a, const Atoms& b);
  Atoms logicalNot(const Atoms& a);
  Atoms notZero(const Atoms& a);
  Atoms reciprocal(const Atoms& a);
  Atoms divide(const Atoms& a, const Atoms& b);
  Atoms truncate(const Atoms& a);
  Atoms floorOf(const Atoms& a);
  Atoms fmod(const Atoms& a, const Atoms& b);
  Atoms saturate(const Atoms& a);
  Atoms absolute(const Atoms& a);
  Atoms perComponent(const Atoms& a, std::uint16_t scalarOpcode);
  Atoms sinOrCos(const Atoms& a, bool sine);
  Atoms arctangent2(const Atoms& y, const Atoms& x);
  Atoms squareRoot(const Atoms& a);
  Atoms multiply(const Value& a, const Value& b, int form, Type resultType);
  Value intrinsic(const Expr& e, State& st);

  Module& m_;
  FunctionDecl* entry_;
  const Target& target_;
  Builder& b_;
  IrShader& ir_;
  detail::Diagnostics& diag_;
  PredPtr true_, false_;
  // Atoms of conditions already computed; the node is kept so that its
  // address is not reused by another condition.
  std::map<const Pred*, std::pair<PredPtr, sm2::Atom>> predAtoms_;
  std::vector<Frame> frames_;
  std::vector<Loop> loops_;
  // Results of comparisons in pixel shaders: the difference they test, so
  // that a selection on them becomes one cmp.
  struct Comparison {
    Atoms difference;
    bool whenNonNegative;  // the result is 1 where difference >= 0
  };
  std::map<Atoms, Comparison> comparisons_;
  int unrolled_ = 0;
  bool failed_ = false;
  void fail(detail::Loc loc, const std::string& message);
};

}  // namespace hlsl::sm2
