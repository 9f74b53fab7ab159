// The front end's shared pieces: diagnostics, tokens, types and the syntax
// tree that the parser builds and the checker annotates, and that both back
// ends (glsl/ and sm2/) read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hlsl/hlsl.h"

namespace hlsl::detail {

struct Loc {
  int line = 1;
  int col = 1;
};

// Thrown when a source produces so many errors that going on is pointless,
// and by the parser when nesting exceeds its limit. compile() catches it.
struct AbortCompile {};

class Diagnostics {
 public:
  static constexpr int kMaxErrors = 50;
  void error(Loc loc, const std::string& message);
  void warning(Loc loc, const std::string& message);
  int errorCount() const { return errors_; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  int errors_ = 0;
  int warnings_ = 0;
};

// ---------------------------------------------------------------- tokens

enum class Tok : std::uint8_t { End, Ident, Int, Float, String, Punct };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // spelling (identifier, punctuator, literal as written)
  Loc loc;
  bool lineStart = false;    // first token on its source line
  bool spaceBefore = false;  // white space separates it from the previous token
  std::int64_t ival = 0;
  double fval = 0.0;
  bool is(std::string_view punct) const { return kind == Tok::Punct && text == punct; }
  bool isIdent(std::string_view name) const { return kind == Tok::Ident && text == name; }
  // Precedence as a binary operator (1 for ||, up to 10 for * / %); -1
  // for a token that is none. #if expressions and the parser share it.
  int binaryPrecedence() const;
};

// Tokenises and preprocesses the source (macros, conditionals, #line).
// The result always ends with a Tok::End token.
std::vector<Token> preprocess(std::string_view source, Diagnostics& diag);

// ---------------------------------------------------------------- types

enum class Kind : std::uint8_t { Error, Void, Scalar, Vector, Matrix, Sampler, Struct };
enum class Base : std::uint8_t { None, Bool, Int, Float, Sampler2D, SamplerCube, SamplerAny };

struct Type {
  Kind kind = Kind::Error;
  Base base = Base::None;
  int rows = 1;  // matrices: rows
  int cols = 1;  // vectors: size; matrices: columns
  int array = 0;  // element count, 0 when not an array
  int structId = -1;

  static Type error() { return Type{}; }
  static Type voidType() { return Type{Kind::Void, Base::None, 1, 1, 0, -1}; }
  static Type scalar(Base b) { return Type{Kind::Scalar, b, 1, 1, 0, -1}; }
  static Type vector(Base b, int n) {
    return n == 1 ? scalar(b) : Type{Kind::Vector, b, 1, n, 0, -1};
  }
  static Type matrix(int r, int c) { return Type{Kind::Matrix, Base::Float, r, c, 0, -1}; }
  static Type sampler(Base b) { return Type{Kind::Sampler, b, 1, 1, 0, -1}; }
  static Type structure(int id) { return Type{Kind::Struct, Base::None, 1, 1, 0, id}; }

  bool isError() const { return kind == Kind::Error; }
  bool isNumeric() const {
    return array == 0 && (kind == Kind::Scalar || kind == Kind::Vector || kind == Kind::Matrix);
  }
  bool isScalar() const { return array == 0 && kind == Kind::Scalar; }
  bool isVector() const { return array == 0 && kind == Kind::Vector; }
  bool isMatrix() const { return array == 0 && kind == Kind::Matrix; }
  int components() const {
    return kind == Kind::Matrix ? rows * cols : (kind == Kind::Vector ? cols : 1);
  }
  Type element() const {
    Type t = *this;
    t.array = 0;
    return t;
  }
  Type withBase(Base b) const {
    Type t = *this;
    t.base = b;
    return t;
  }
  bool operator==(const Type& o) const {
    return kind == o.kind && base == o.base && rows == o.rows && cols == o.cols && array == o.array &&
           structId == o.structId;
  }
  bool operator!=(const Type& o) const { return !(*this == o); }
};

// ---------------------------------------------------------------- syntax tree

struct Expr;
struct Stmt;
struct Var;
struct FunctionDecl;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;

enum class EK : std::uint8_t {
  IntLit, FloatLit, BoolLit, Name,
  Binary,     // op, args[0] op args[1]
  Unary,      // op: - + ! ~
  PreIncDec,  // op: ++ --
  PostIncDec,
  Assign,     // op: = += -= *= /= %=
  Ternary,
  Call,       // name(args): user function or intrinsic
  Construct,  // target(args)
  Cast,       // (target)args[0]
  Member,     // args[0].name
  Index,      // args[0][args[1]]
  InitList,   // { args }
  Comma,
  Convert,    // implicit or explicit conversion of args[0] to type (added by the checker)
};

enum class MemberKind : std::uint8_t { None, Field, Swizzle, ScalarSwizzle, MatrixSwizzle };

struct Expr {
  EK kind = EK::IntLit;
  Loc loc;
  std::string op;
  std::string name;
  std::int64_t ival = 0;
  double fval = 0.0;
  Type target;  // Construct / Cast
  std::vector<ExprPtr> args;
  int depth = 1;

  // Filled in by the checker.
  Type type;
  bool lvalue = false;
  Var* var = nullptr;               // Name
  FunctionDecl* func = nullptr;     // Call of a user function
  int intrinsic = -1;               // Call of an intrinsic
  MemberKind member = MemberKind::None;
  std::vector<int> comps;           // swizzle components, or r * 4 + c for matrix elements
  int field = -1;                   // struct member index
};

enum class SK : std::uint8_t { Block, Expr, Decl, If, For, While, Do, Break, Continue, Return, Discard, Empty };

struct Stmt {
  SK kind = SK::Empty;
  Loc loc;
  std::vector<StmtPtr> kids;  // Block: statements; If: then, else; loops: body (For: init, body)
  ExprPtr cond;
  ExprPtr expr;  // Expr, Return; For: step
  std::vector<Var*> vars;  // Decl
};

enum class ParamDir : std::uint8_t { In, Out, InOut };

struct Var {
  std::string name;
  Loc loc;
  Type type;
  enum class Storage : std::uint8_t { Global, Local, Param } storage = Storage::Local;
  bool isStatic = false;
  bool isConst = false;
  bool isUniform = false;  // explicit 'uniform' (globals are uniform unless static)
  ParamDir dir = ParamDir::In;
  std::string semantic;  // as written, empty when none
  Loc semanticLoc;
  char regClass = 0;     // 'c' or 's' from register(...), 0 when none
  int regIndex = -1;
  ExprPtr init;
  ExprPtr arraySizeExpr;  // size as written, resolved by the checker

  // Filled in by the checker and the compiler.
  std::string glsl;       // name in the output
  bool constant = false;  // a global constant in the table (uniform)
  bool hasValue = false;  // compile-time value known (static const scalars)
  double value = 0.0;
  int reg = -1;           // assigned register
  bool hoisted = false;   // a for-loop variable used after its loop
  bool reached = false;   // a global that the entry point uses, directly or through initialisers
  FunctionDecl* initUses = nullptr;  // what a global's initialiser references
  bool usedCube = false, used2D = false;  // generic 'sampler' usage
};

struct StructMember {
  std::string name;
  Type type;
  std::string semantic;
  Loc loc;
  std::string glsl;
};

struct StructDecl {
  std::string name;
  Loc loc;
  std::vector<StructMember> members;
  std::string glsl;
  bool used = false;
};

struct FunctionDecl {
  std::string name;
  Loc loc;
  Type ret;
  std::string semantic;
  Loc semanticLoc;
  std::vector<Var*> params;
  StmtPtr body;  // null for a prototype
  // Filled in by the checker.
  FunctionDecl* symbol = nullptr;  // the first declaration with this signature
  FunctionDecl* definition = nullptr;
  std::string glsl;
  std::vector<std::pair<FunctionDecl*, Loc>> calls;  // user functions called (symbols)
  std::vector<Var*> globals;                          // globals referenced
  // Operations that only some stages allow, checked once reachability is known.
  enum class Use : std::uint8_t { Discard, Derivative, ImplicitTexture, LodTexture };
  std::vector<std::pair<Use, Loc>> stageUses;
  bool reachable = false;
  bool isEntry = false;
};

struct TopLevel {
  enum class What : std::uint8_t { Struct, Globals, Function } what;
  int structId = -1;
  std::vector<Var*> vars;
  FunctionDecl* func = nullptr;
  Loc loc;
};

// One entry-point input or output: a parameter (or the return value, param
// -1) or a member of it reached through path, with its canonical semantic.
struct IOSlot {
  std::string semantic;
  Type type;
  bool input = true;
  int param = -1;
  std::vector<int> path;
  Loc loc;
};

struct Module {
  std::vector<StructDecl> structs;
  std::vector<IOSlot> io;
  std::vector<TopLevel> items;
  std::vector<std::unique_ptr<Var>> varPool;
  std::vector<std::unique_ptr<FunctionDecl>> funcPool;
  Var* newVar() {
    varPool.push_back(std::make_unique<Var>());
    return varPool.back().get();
  }
  FunctionDecl* newFunction() {
    funcPool.push_back(std::make_unique<FunctionDecl>());
    return funcPool.back().get();
  }
};

std::string typeName(const Type& t, const Module& m);

void parse(const std::vector<Token>& tokens, Module& module, Diagnostics& diag);

struct Options {
  Stage stage = Stage::Vertex;
  std::string profile;
  std::string entry;
  int maxFloatRegisters = 256;
  int maxSamplers = 16;
  bool vertexTextures = false;
};

// Type-checks the module; marks the entry point and everything it reaches.
// Returns the entry point, or null when it is missing.
FunctionDecl* check(Module& module, const Options& options, Diagnostics& diag);

// Intrinsics: looked up by name, typed by the checker, printed by the emitter.
#define HLSL_INTRINSICS(X)                                                                               \
  X(abs) X(acos) X(all) X(any) X(asin) X(atan) X(atan2) X(ceil) X(clamp) X(clip) X(cos) X(cosh) X(cross) \
  X(ddx) X(ddy) X(degrees) X(determinant) X(distance) X(dot) X(exp) X(exp2) X(faceforward) X(floor)     \
  X(fmod) X(frac) X(frexp) X(isfinite) X(isinf) X(isnan) X(ldexp) X(length) X(lerp) X(lit) X(log)      \
  X(log10) X(log2) X(max) X(min) X(modf) X(mul) X(normalize) X(pow) X(radians) X(reflect) X(refract)   \
  X(round) X(rsqrt) X(saturate) X(sign) X(sin) X(sincos) X(sinh) X(smoothstep) X(sqrt) X(step) X(tan)  \
  X(tanh) X(tex2D) X(tex2Dbias) X(tex2Dgrad) X(tex2Dlod) X(tex2Dproj) X(texCUBE) X(texCUBEbias)        \
  X(texCUBEgrad) X(texCUBElod) X(texCUBEproj) X(transpose) X(trunc)

enum Intrinsic : int {
#define HLSL_INTRINSIC_ENUM(name) In_##name,
  HLSL_INTRINSICS(HLSL_INTRINSIC_ENUM)
#undef HLSL_INTRINSIC_ENUM
  In_Count
};

int findIntrinsic(std::string_view name);
const char* intrinsicName(int id);

// Forms of mul(), kept in the call's ival.
enum MulForm : int { Mul_Scalar, Mul_Dot, Mul_VecMat, Mul_MatVec, Mul_MatMat };

// Gives every constant the entry point reaches its registers and lists them
// in program.constants (shared by both back ends).
void assignRegisters(Module& module, const Options& options, Program& program, Diagnostics& diag);

// Writes the GLSL program and fills the program's tables. Only called on a
// module that checked without errors.
void emit(Module& module, FunctionDecl* entry, const Options& options, Program& program,
          Diagnostics& diag);

std::string glslTypeName(const Type& t, const Module& m);
std::string formatFloat(double value);
bool isReservedGlslName(std::string_view name);

}  // namespace hlsl::detail
