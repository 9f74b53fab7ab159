// The type checker's state and passes, shared by the files that make it up:
// checker.cpp (declarations, statements, conversions), check_expressions.cpp,
// check_calls.cpp (overloads and intrinsics) and check_entry.cpp (the entry
// point's inputs and outputs, and what it reaches).
#pragma once

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/hlsl/front/syntax.h"

namespace hlsl::detail {

enum class Conv { Same, Ok, Truncate, Fail };

// The base type two operands meet in: float over int over bool.
Base promote(Base a, Base b);

class Checker {
 public:
  Checker(Module& m, const Options& o, Diagnostics& d) : m_(m), opt_(o), diag_(d) {}
  FunctionDecl* run();

 private:
  // ---- helpers (checker.cpp)
  std::string tn(const Type& t) const;
  Var* lookup(const std::string& name) const;
  void declare(Var* v);
  ExprPtr wrap(EK kind, ExprPtr inner, const Type& type);
  static Conv classify(const Type& from, const Type& to);
  // Converts e to type 'to'; reports growth as an error and (unless quiet or
  // explicit) shrinking as a warning. Returns false on failure.
  bool coerce(ExprPtr& e, const Type& to, bool quiet = false, bool explicitCast = false);
  // The common type of two operands of an arithmetic-like operation.
  Type common(const Type& a, const Type& b, Loc loc, const std::string& what, bool warn = true);
  void noteSamplerUse(Expr& e, Base use);
  // Compile-time value of a scalar expression, when it has one.
  bool constValue(const Expr& e, double& v) const;
  void resolveArraySize(Var* v);

  // ---- globals
  void global(Var* v);

  // ---- functions
  static bool sameSignature(const FunctionDecl* a, const FunctionDecl* b);
  void function(FunctionDecl* f, size_t itemIndex);

  // ---- statements
  static bool returns(const Stmt& s);
  void stmt(Stmt& s);
  void scoped(Stmt& s);
  void condition(ExprPtr& e);

  // ---- initializers
  void checkInit(ExprPtr& init, const Type& to);
  void initList(ExprPtr& list, const Type& to);
  bool flatScalars(Expr& l);

  // ---- expressions (check_expressions.cpp)
  void useVar(Expr& e, Var* v);
  void checkExpr(ExprPtr& ep);
  bool requireLvalue(const Expr& target, const std::string& what);
  static bool hasDuplicates(const std::vector<int>& c);
  void binaryExpr(Expr& e);
  void assign(Expr& e);
  void ternary(Expr& e);
  void construct(Expr& e);
  void member(Expr& e);
  void index(Expr& e);

  // ---- calls (check_calls.cpp)
  int conversionCost(const Type& from, const Type& to) const;
  void call(Expr& e);
  void userCall(Expr& e, const std::vector<FunctionDecl*>& overloads);
  // Common float shape of the arguments of a component-wise intrinsic.
  bool componentwise(Expr& e, size_t first, size_t count, Base base, Type& out, bool allowInt = false);
  bool arity(Expr& e, size_t lo, size_t hi);
  bool samplerArg(Expr& e, Base kind);
  bool floatArg(Expr& e, size_t i, int n);
  bool outArg(Expr& e, size_t i, const Type& t);
  void stageUse(FunctionDecl::Use use, Loc loc);
  void intrinsic(Expr& e);
  void mul(Expr& e);

  // ---- entry point (check_entry.cpp)
  bool collectSlots(const Type& t, const std::string& semantic, Loc loc, bool input, int param, std::vector<int>& path,
                    const std::string& what, int depth = 0);
  bool validSemantic(const IOSlot& s);
  void entryChecks();
  void reach();
  void visit(FunctionDecl* def, std::vector<FunctionDecl*>& stack);

  // ---- state
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

}  // namespace hlsl::detail
