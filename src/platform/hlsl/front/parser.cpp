// Recursive-descent parser: preprocessed tokens to the syntax tree. Errors
// are reported where they happen; the parser then skips to the end of the
// statement or declaration and goes on, so one run reports several.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/hlsl/front/syntax.h"

namespace hlsl::detail {

namespace {

struct SyntaxError {};

constexpr int kMaxNesting = 200;    // parser recursion
constexpr int kMaxTreeDepth = 600;  // expression tree height

bool isQualifier(std::string_view s) {
  static const char* const words[] = {
      "const", "static", "uniform", "extern", "shared", "volatile", "inline", "row_major",
      "column_major", "precise", "in", "out", "inout", "linear", "centroid", "nointerpolation",
      "noperspective", "snorm", "unorm",
  };
  for (const char* w : words)
    if (s == w) return true;
  return false;
}

bool scalarBase(std::string_view s, Base& b) {
  if (s == "float" || s == "half" || s == "double" || s == "min16float" || s == "min10float") {
    b = Base::Float;
  } else if (s == "int" || s == "uint" || s == "dword" || s == "min16int" || s == "min12int" ||
             s == "min16uint") {
    b = Base::Int;
  } else if (s == "bool") {
    b = Base::Bool;
  } else {
    return false;
  }
  return true;
}

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, Module& m, Diagnostics& diag) : t_(tokens), m_(m), diag_(diag) {}

  void run() {
    while (at().kind != Tok::End) {
      try {
        topLevel();
      } catch (SyntaxError&) {
        syncTopLevel();
      }
    }
  }

 private:
  // ------------------------------------------------------------ tokens
  const Token& at(size_t ahead = 0) const {
    size_t p = std::min(pos_ + ahead, t_.size() - 1);
    return t_[p];
  }
  const Token& next() {
    const Token& t = t_[pos_];
    if (pos_ + 1 < t_.size()) ++pos_;
    return t;
  }
  bool accept(std::string_view p) {
    if (at().is(p)) {
      next();
      return true;
    }
    return false;
  }
  bool acceptIdent(std::string_view w) {
    if (at().isIdent(w)) {
      next();
      return true;
    }
    return false;
  }
  std::string describe(const Token& t) const {
    switch (t.kind) {
      case Tok::End: return "end of file";
      case Tok::Ident: return "'" + t.text + "'";
      default: return "'" + t.text + "'";
    }
  }
  [[noreturn]] void fail(const Token& t, const std::string& message) {
    diag_.error(t.loc, message);
    throw SyntaxError{};
  }
  void expect(std::string_view p) {
    if (accept(p)) return;
    // A ';' missing at the end of a line: report it and read on as if it
    // were there, so that the next statement is still checked.
    if (p == ";" && at().lineStart && at().kind != Tok::End) {
      diag_.error(at().loc, "syntax error: expected ';' but found " + describe(at()));
      return;
    }
    fail(at(), "syntax error: expected '" + std::string(p) + "' but found " + describe(at()));
  }
  std::string expectIdent(const char* what) {
    if (at().kind != Tok::Ident) fail(at(), std::string("syntax error: expected ") + what + " but found " + describe(at()));
    return next().text;
  }

  struct Guard {
    Parser& p;
    explicit Guard(Parser& parser, Loc loc) : p(parser) {
      if (++p.nesting_ > kMaxNesting) {
        p.diag_.error(loc, "nesting too deep");
        throw AbortCompile{};
      }
    }
    ~Guard() { --p.nesting_; }
  };

  void syncTopLevel() {
    int depth = 0;
    while (at().kind != Tok::End) {
      const Token& t = next();
      if (t.is("{")) ++depth;
      if (t.is("}")) {
        if (--depth <= 0) {
          accept(";");
          return;
        }
      }
      if (t.is(";") && depth <= 0) return;
    }
  }

  void syncStatement() {
    int depth = 0;
    while (at().kind != Tok::End) {
      if (at().is("}") && depth == 0) return;
      const Token& t = next();
      if (t.is("{")) ++depth;
      if (t.is("}")) {
        if (--depth == 0) return;
      }
      if (t.is(";") && depth == 0) return;
    }
  }

  // ------------------------------------------------------------ types
  int findStruct(const std::string& name) const {
    auto it = structIds_.find(name);
    return it == structIds_.end() ? -1 : it->second;
  }

  bool isTypeName(const Token& t) const {
    if (t.kind != Tok::Ident) return false;
    const std::string& s = t.text;
    if (s == "void" || s == "vector" || s == "matrix" || s == "sampler" || s == "sampler2D" ||
        s == "samplerCUBE" || s == "sampler1D" || s == "sampler3D" || s == "texture" || s == "Texture" ||
        s == "texture2D" || s == "Texture2D" || s == "struct")
      return true;
    if (findStruct(s) >= 0) return true;
    // Scalar names with an optional N or NxM suffix.
    static const char* const bases[] = {"float", "half", "double", "int", "uint", "dword", "bool",
                                        "min16float", "min10float", "min16int", "min12int", "min16uint"};
    for (const char* b : bases) {
      size_t n = std::strlen(b);
      if (s.compare(0, n, b) != 0) continue;
      std::string_view rest(s.c_str() + n);
      if (rest.empty()) return true;
      if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') return true;
      if (rest.size() == 3 && rest[0] >= '1' && rest[0] <= '4' && rest[1] == 'x' && rest[2] >= '1' && rest[2] <= '4')
        return true;
    }
    return false;
  }

  int parseDim() {
    const Token& t = at();
    if (t.kind != Tok::Int || t.ival < 1 || t.ival > 4) fail(t, "expected a dimension from 1 to 4");
    next();
    return static_cast<int>(t.ival);
  }

  Type makeNumeric(Base b, int rows, int cols, bool matrix, const Token& where) {
    if (!matrix) return Type::vector(b, cols);
    if (rows == 1 && cols == 1) return Type::scalar(b);
    if (rows == 1 || cols == 1) fail(where, "matrix types with a dimension of 1 are not supported");
    if (b != Base::Float) diag_.warning(where.loc, "integer and boolean matrices are treated as float matrices");
    return Type::matrix(rows, cols);
  }

  // Parses a type; the current token must satisfy isTypeName.
  Type parseType() {
    const Token& t = next();
    const std::string& s = t.text;
    if (s == "void") return Type::voidType();
    if (s == "struct") {
      std::string name = expectIdent("a structure name");
      int id = findStruct(name);
      if (id < 0) fail(t, "undeclared structure '" + name + "'");
      return Type::structure(id);
    }
    if (s == "sampler2D") return Type::sampler(Base::Sampler2D);
    if (s == "samplerCUBE") return Type::sampler(Base::SamplerCube);
    if (s == "sampler") return Type::sampler(Base::SamplerAny);
    if (s == "sampler1D" || s == "sampler3D") fail(t, "'" + s + "' is not supported; use sampler2D or samplerCUBE");
    if (s == "texture" || s == "Texture" || s == "texture2D" || s == "Texture2D")
      fail(t, "texture objects are not supported; declare a sampler2D with register(sN)");
    int id = findStruct(s);
    if (id >= 0) return Type::structure(id);
    if (s == "vector" || s == "matrix") {
      bool matrix = s == "matrix";
      if (!accept("<")) return matrix ? Type::matrix(4, 4) : Type::vector(Base::Float, 4);
      Base b;
      const Token& bt = at();
      if (bt.kind != Tok::Ident || !scalarBase(bt.text, b)) fail(bt, "expected a scalar type");
      next();
      expect(",");
      int rows = parseDim();
      int cols = rows;
      if (matrix) {
        expect(",");
        cols = parseDim();
      }
      if (!accept(">")) fail(at(), "syntax error: expected '>' but found " + describe(at()));
      return makeNumeric(b, matrix ? rows : 1, matrix ? cols : rows, matrix, t);
    }
    // floatN / floatNxM
    static const char* const bases[] = {"min16float", "min10float", "min16int", "min12int", "min16uint",
                                        "float", "half", "double", "uint", "dword", "int", "bool"};
    for (const char* bn : bases) {
      size_t n = std::strlen(bn);
      if (s.compare(0, n, bn) != 0) continue;
      std::string_view rest(s.c_str() + n);
      if (!rest.empty() && !(rest[0] >= '1' && rest[0] <= '4')) continue;
      Base b;
      scalarBase(bn, b);
      if (rest.empty()) return Type::scalar(b);
      if (rest.size() == 1) return Type::vector(b, rest[0] - '0');
      return makeNumeric(b, rest[0] - '0', rest[2] - '0', true, t);
    }
    fail(t, "unknown type '" + s + "'");
  }

  struct Qualifiers {
    bool isStatic = false, isConst = false, isUniform = false, in = false, out = false;
    Loc loc;
  };

  Qualifiers parseQualifiers() {
    Qualifiers q;
    q.loc = at().loc;
    while (at().kind == Tok::Ident && isQualifier(at().text)) {
      const std::string& w = next().text;
      if (w == "static") q.isStatic = true;
      else if (w == "const") q.isConst = true;
      else if (w == "uniform" || w == "extern") q.isUniform = true;
      else if (w == "in") q.in = true;
      else if (w == "out") q.out = true;
      else if (w == "inout") q.in = q.out = true;
    }
    return q;
  }

  // ------------------------------------------------------------ top level
  void topLevel() {
    if (accept(";")) return;
    if (at().is("[")) {
      skipAttribute();
      return;
    }
    if (at().isIdent("typedef")) fail(at(), "typedef is not supported");
    if (at().isIdent("struct") && at(1).kind == Tok::Ident && at(2).is("{")) {
      int id = parseStruct();
      if (at().kind == Tok::Ident) {
        Qualifiers q;
        q.loc = at().loc;
        parseGlobalDeclarators(q, Type::structure(id), at());
        return;
      }
      expect(";");
      return;
    }
    if (at().isIdent("cbuffer") || at().isIdent("tbuffer") || at().isIdent("technique") ||
        at().isIdent("technique10") || at().isIdent("pass"))
      fail(at(), "'" + at().text + "' is not supported");
    Qualifiers q = parseQualifiers();
    if (!isTypeName(at())) {
      if (at().kind == Tok::Ident) fail(at(), "unknown type '" + at().text + "'");
      fail(at(), "syntax error: unexpected " + describe(at()));
    }
    const Token& typeTok = at();
    Type type = parseType();
    if (at().kind == Tok::Ident && at(1).is("(")) {
      parseFunction(type);
      return;
    }
    parseGlobalDeclarators(q, type, typeTok);
  }

  void skipAttribute() {
    expect("[");
    int depth = 1;
    while (at().kind != Tok::End && depth > 0) {
      if (at().is("[")) ++depth;
      if (at().is("]")) --depth;
      next();
    }
    if (depth > 0) fail(at(), "unterminated attribute");
  }

  int parseStruct() {
    Loc loc = next().loc;  // 'struct'
    StructDecl decl;
    decl.name = expectIdent("a structure name");
    decl.loc = loc;
    if (findStruct(decl.name) >= 0) diag_.error(loc, "redefinition of structure '" + decl.name + "'");
    expect("{");
    while (!at().is("}")) {
      if (at().kind == Tok::End) fail(at(), "syntax error: unexpected end of file in structure");
      try {
        parseQualifiers();  // interpolation modifiers do not change the output
        if (!isTypeName(at())) fail(at(), at().kind == Tok::Ident ? "unknown type '" + at().text + "'"
                                                                   : "syntax error: unexpected " + describe(at()));
        const Token& typeTok = at();
        Type type = parseType();
        if (type.kind == Kind::Void) fail(typeTok, "structure members cannot be void");
        if (type.kind == Kind::Sampler) fail(typeTok, "samplers cannot be structure members");
        do {
          StructMember mem;
          mem.loc = at().loc;
          mem.name = expectIdent("a member name");
          mem.type = type;
          if (accept("[")) {
            const Token& n = at();
            if (n.kind != Tok::Int || n.ival < 1 || n.ival > 65536) fail(n, "structure member arrays need a constant size");
            next();
            mem.type.array = static_cast<int>(n.ival);
            expect("]");
          }
          while (accept(":")) {
            mem.semantic = expectIdent("a semantic");
          }
          for (const StructMember& other : decl.members)
            if (other.name == mem.name) diag_.error(mem.loc, "redefinition of member '" + mem.name + "'");
          decl.members.push_back(std::move(mem));
        } while (accept(","));
        expect(";");
      } catch (SyntaxError&) {
        syncStatement();
        if (at().is(";")) next();
      }
    }
    expect("}");
    if (decl.members.empty()) diag_.error(loc, "structure '" + decl.name + "' has no members");
    int id = static_cast<int>(m_.structs.size());
    structIds_[decl.name] = id;
    m_.structs.push_back(std::move(decl));
    TopLevel item{TopLevel::What::Struct, id, {}, nullptr, loc};
    m_.items.push_back(std::move(item));
    return id;
  }

  void parseRegister(Var* v) {
    expect("(");
    std::string reg = expectIdent("a register");
    if (accept(",")) reg = expectIdent("a register");  // register(profile, cN)
    const Token& close = at();
    if (reg.size() < 2 || !std::all_of(reg.begin() + 1, reg.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        reg.size() > 6) {
      diag_.error(close.loc, "invalid register '" + reg + "'");
    } else if (reg[0] != 'c' && reg[0] != 's' && reg[0] != 'C' && reg[0] != 'S') {
      diag_.error(close.loc, "register '" + reg + "' is not supported; use cN or sN");
    } else {
      v->regClass = static_cast<char>(reg[0] == 'C' ? 'c' : reg[0] == 'S' ? 's' : reg[0]);
      v->regIndex = std::stoi(reg.substr(1));
    }
    expect(")");
  }

  // ': SEMANTIC' and ': register(xN)' annotations after a declarator.
  void parseAnnotations(Var* v) {
    while (accept(":")) {
      if (at().isIdent("register")) {
        next();
        parseRegister(v);
      } else if (at().isIdent("packoffset")) {
        fail(at(), "packoffset is not supported");
      } else {
        v->semanticLoc = at().loc;
        v->semantic = expectIdent("a semantic");
      }
    }
  }

  void parseArraySize(Var* v) {
    if (accept("[")) {
      if (at().is("]")) fail(at(), "array size missing");
      v->arraySizeExpr = conditional();
      expect("]");
      if (at().is("[")) fail(at(), "arrays of arrays are not supported");
    }
  }

  void parseGlobalDeclarators(const Qualifiers& q, const Type& type, const Token& typeTok) {
    if (type.kind == Kind::Void) fail(typeTok, "variables cannot be void");
    TopLevel item{TopLevel::What::Globals, -1, {}, nullptr, typeTok.loc};
    do {
      Var* v = m_.newVar();
      v->loc = at().loc;
      v->name = expectIdent("a variable name");
      v->type = type;
      v->storage = Var::Storage::Global;
      v->isStatic = q.isStatic;
      v->isConst = q.isConst;
      v->isUniform = q.isUniform;
      parseArraySize(v);
      parseAnnotations(v);
      if (accept("=")) v->init = initializer();
      item.vars.push_back(v);
    } while (accept(","));
    expect(";");
    m_.items.push_back(std::move(item));
  }

  void parseFunction(const Type& ret) {
    FunctionDecl* f = m_.newFunction();
    f->loc = at().loc;
    f->name = next().text;
    f->ret = ret;
    expect("(");
    if (at().isIdent("void") && at(1).is(")")) next();
    if (!at().is(")")) {
      do {
        Qualifiers pq = parseQualifiers();
        if (!isTypeName(at())) fail(at(), at().kind == Tok::Ident ? "unknown type '" + at().text + "'"
                                                                   : "syntax error: expected a parameter but found " + describe(at()));
        const Token& pt = at();
        Type type = parseType();
        if (type.kind == Kind::Void) fail(pt, "parameters cannot be void");
        Var* p = m_.newVar();
        p->loc = at().loc;
        p->name = expectIdent("a parameter name");
        p->type = type;
        p->storage = Var::Storage::Param;
        p->isUniform = pq.isUniform;
        p->isConst = pq.isConst;
        p->dir = pq.out ? (pq.in ? ParamDir::InOut : ParamDir::Out) : ParamDir::In;
        parseArraySize(p);
        parseAnnotations(p);
        if (at().is("=")) fail(at(), "default parameter values are not supported");
        f->params.push_back(p);
      } while (accept(","));
    }
    expect(")");
    if (accept(":")) {
      f->semanticLoc = at().loc;
      f->semantic = expectIdent("a semantic");
    }
    TopLevel item{TopLevel::What::Function, -1, {}, f, f->loc};
    if (accept(";")) {
      m_.items.push_back(std::move(item));
      return;
    }
    if (!at().is("{")) fail(at(), "syntax error: expected '{' or ';' but found " + describe(at()));
    // Register the declaration before the body so that a syntax error in the
    // body still leaves the function known (fewer follow-up errors).
    m_.items.push_back(std::move(item));
    f->body = block();
  }

  // ------------------------------------------------------------ statements
  StmtPtr makeStmt(SK kind, Loc loc) {
    auto s = std::make_unique<Stmt>();
    s->kind = kind;
    s->loc = loc;
    return s;
  }

  StmtPtr block() {
    Guard g(*this, at().loc);
    auto s = makeStmt(SK::Block, at().loc);
    expect("{");
    while (!at().is("}")) {
      if (at().kind == Tok::End) fail(at(), "syntax error: unexpected end of file, missing '}'");
      try {
        s->kids.push_back(statement());
      } catch (SyntaxError&) {
        syncStatement();
      }
    }
    next();
    return s;
  }

  bool isDeclarationStart() {
    const Token& t = at();
    if (t.kind != Tok::Ident) return false;
    if (isQualifier(t.text)) return true;
    if (!isTypeName(t)) return false;
    if (t.text == "struct") return true;
    // A type followed by a name declares; a type followed by '(' constructs.
    return peekTypeThenName();
  }

  // Looks ahead over a type without reporting anything.
  bool peekTypeThenName() {
    const Token& t = at();
    size_t k = 1;
    if ((t.text == "vector" || t.text == "matrix") && at(1).is("<")) {
      while (!at(k).is(">") && at(k).kind != Tok::End && k < 12) ++k;
      ++k;
    }
    return at(k).kind == Tok::Ident;
  }

  StmtPtr declaration() {
    Loc loc = at().loc;
    Qualifiers q = parseQualifiers();
    if (!isTypeName(at())) fail(at(), at().kind == Tok::Ident ? "unknown type '" + at().text + "'"
                                                               : "syntax error: unexpected " + describe(at()));
    const Token& typeTok = at();
    Type type = parseType();
    if (type.kind == Kind::Void) fail(typeTok, "variables cannot be void");
    auto s = makeStmt(SK::Decl, loc);
    do {
      Var* v = m_.newVar();
      v->loc = at().loc;
      v->name = expectIdent("a variable name");
      v->type = type;
      v->storage = Var::Storage::Local;
      v->isStatic = q.isStatic;
      v->isConst = q.isConst;
      v->isUniform = q.isUniform;
      parseArraySize(v);
      if (at().is(":")) fail(at(), "local variables cannot have semantics or registers");
      if (accept("=")) v->init = initializer();
      s->vars.push_back(v);
    } while (accept(","));
    return s;
  }

  StmtPtr statement() {
    Guard g(*this, at().loc);
    const Token& t = at();
    Loc loc = t.loc;
    while (at().is("[")) skipAttribute();  // [unroll], [loop], [branch], [flatten]
    if (at().is("{")) return block();
    if (accept(";")) return makeStmt(SK::Empty, loc);
    if (at().kind == Tok::Ident) {
      const std::string& w = at().text;
      if (w == "if") {
        next();
        auto s = makeStmt(SK::If, loc);
        expect("(");
        s->cond = expression();
        expect(")");
        s->kids.push_back(statement());
        if (acceptIdent("else")) s->kids.push_back(statement());
        return s;
      }
      if (w == "for") {
        next();
        auto s = makeStmt(SK::For, loc);
        expect("(");
        if (accept(";")) {
          s->kids.push_back(makeStmt(SK::Empty, loc));
        } else if (isDeclarationStart()) {
          s->kids.push_back(declaration());
          expect(";");
        } else {
          auto e = makeStmt(SK::Expr, at().loc);
          e->expr = expression();
          s->kids.push_back(std::move(e));
          expect(";");
        }
        if (!at().is(";")) s->cond = expression();
        expect(";");
        if (!at().is(")")) s->expr = expression();
        expect(")");
        s->kids.push_back(statement());
        return s;
      }
      if (w == "while") {
        next();
        auto s = makeStmt(SK::While, loc);
        expect("(");
        s->cond = expression();
        expect(")");
        s->kids.push_back(statement());
        return s;
      }
      if (w == "do") {
        next();
        auto s = makeStmt(SK::Do, loc);
        s->kids.push_back(statement());
        if (!acceptIdent("while")) fail(at(), "syntax error: expected 'while' but found " + describe(at()));
        expect("(");
        s->cond = expression();
        expect(")");
        expect(";");
        return s;
      }
      if (w == "break" || w == "continue" || w == "discard") {
        next();
        expect(";");
        return makeStmt(w == "break" ? SK::Break : w == "continue" ? SK::Continue : SK::Discard, loc);
      }
      if (w == "return") {
        next();
        auto s = makeStmt(SK::Return, loc);
        if (!at().is(";")) s->expr = expression();
        expect(";");
        return s;
      }
      if (w == "switch" || w == "case" || w == "default" || w == "goto")
        fail(at(), "'" + w + "' is not supported");
      if (w == "else") fail(at(), "syntax error: 'else' without 'if'");
      if (w == "struct") fail(at(), "structures must be declared at global scope");
      if (isDeclarationStart()) {
        auto s = declaration();
        expect(";");
        return s;
      }
    }
    auto s = makeStmt(SK::Expr, loc);
    s->expr = expression();
    expect(";");
    return s;
  }

  // ------------------------------------------------------------ expressions
  ExprPtr make(EK kind, Loc loc) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->loc = loc;
    return e;
  }
  void adopt(Expr& parent, ExprPtr child) {
    parent.depth = std::max(parent.depth, child->depth + 1);
    if (parent.depth > kMaxTreeDepth) {
      diag_.error(parent.loc, "expression nested too deeply");
      throw AbortCompile{};
    }
    parent.args.push_back(std::move(child));
  }

  ExprPtr initializer() {
    if (at().is("{")) {
      Guard g(*this, at().loc);
      auto e = make(EK::InitList, next().loc);
      if (!at().is("}")) {
        do {
          if (at().is("}")) break;  // trailing comma
          adopt(*e, initializer());
        } while (accept(","));
      }
      expect("}");
      return e;
    }
    return assignment();
  }

  ExprPtr expression() {
    ExprPtr e = assignment();
    if (at().is(",")) {
      auto c = make(EK::Comma, at().loc);
      adopt(*c, std::move(e));
      while (accept(",")) adopt(*c, assignment());
      return c;
    }
    return e;
  }

  ExprPtr assignment() {
    Guard g(*this, at().loc);
    ExprPtr lhs = conditional();
    static const char* const ops[] = {"=", "+=", "-=", "*=", "/=", "%="};
    for (const char* op : ops) {
      if (at().is(op)) {
        auto e = make(EK::Assign, next().loc);
        e->op = op;
        adopt(*e, std::move(lhs));
        adopt(*e, assignment());
        return e;
      }
    }
    if (at().is("<<=") || at().is(">>=") || at().is("&=") || at().is("|=") || at().is("^="))
      fail(at(), "bitwise operators are not supported");
    return lhs;
  }

  ExprPtr conditional() {
    ExprPtr c = binary(1);
    if (at().is("?")) {
      Guard g(*this, at().loc);
      auto e = make(EK::Ternary, next().loc);
      adopt(*e, std::move(c));
      adopt(*e, assignment());
      expect(":");
      adopt(*e, assignment());
      return e;
    }
    return c;
  }

  ExprPtr binary(int minPrec) {
    ExprPtr lhs = unary();
    while (true) {
      int prec = at().binaryPrecedence();
      if (prec < minPrec) break;
      const Token& opTok = next();
      if (prec >= 3 && prec <= 5) fail(opTok, "bitwise operators are not supported");
      if (prec == 8) fail(opTok, "shift operators are not supported");
      Guard g(*this, opTok.loc);
      ExprPtr rhs = binary(prec + 1);
      auto e = make(EK::Binary, opTok.loc);
      e->op = opTok.text;
      adopt(*e, std::move(lhs));
      adopt(*e, std::move(rhs));
      lhs = std::move(e);
    }
    return lhs;
  }

  ExprPtr unary() {
    Guard g(*this, at().loc);
    const Token& t = at();
    if (t.is("-") || t.is("+") || t.is("!") || t.is("~")) {
      next();
      if (t.text == "~") fail(t, "bitwise operators are not supported");
      auto e = make(EK::Unary, t.loc);
      e->op = t.text;
      adopt(*e, unary());
      return e;
    }
    if (t.is("++") || t.is("--")) {
      next();
      auto e = make(EK::PreIncDec, t.loc);
      e->op = t.text;
      adopt(*e, unary());
      return e;
    }
    // Cast: '(' type ')' unary, where the parenthesis holds only a type.
    if (t.is("(") && isTypeName(at(1)) && !at(1).isIdent("struct")) {
      size_t save = pos_;
      next();
      bool isCast = false;
      Type type;
      try {
        type = parseCastType();
        isCast = at().is(")");
      } catch (SyntaxError&) {
        isCast = false;
      }
      if (isCast) {
        next();
        auto e = make(EK::Cast, t.loc);
        e->target = type;
        adopt(*e, unary());
        return e;
      }
      pos_ = save;
    }
    return postfix();
  }

  // Cast targets: the plain type spellings that parseType accepts without
  // reporting anything; anything else is read as a parenthesised expression.
  Type parseCastType() {
    const Token& t = at();
    const std::string& s = t.text;
    if ((s == "vector" || s == "matrix") && at(1).is("<")) throw SyntaxError{};
    if (s == "texture" || s == "Texture" || s == "sampler1D" || s == "sampler3D" || s == "texture2D" ||
        s == "Texture2D")
      throw SyntaxError{};
    if (s.size() >= 3 && s[s.size() - 2] == 'x' && (s[s.size() - 1] == '1' || s[s.size() - 3] == '1'))
      throw SyntaxError{};
    return parseType();
  }

  ExprPtr postfix() {
    ExprPtr e = primary();
    while (true) {
      const Token& t = at();
      if (t.is("[")) {
        next();
        auto idx = make(EK::Index, t.loc);
        adopt(*idx, std::move(e));
        adopt(*idx, expression());
        expect("]");
        e = std::move(idx);
      } else if (t.is(".")) {
        next();
        auto mem = make(EK::Member, t.loc);
        if (at().kind != Tok::Ident) fail(at(), "syntax error: expected a member name but found " + describe(at()));
        mem->name = next().text;
        adopt(*mem, std::move(e));
        e = std::move(mem);
      } else if (t.is("++") || t.is("--")) {
        next();
        auto inc = make(EK::PostIncDec, t.loc);
        inc->op = t.text;
        adopt(*inc, std::move(e));
        e = std::move(inc);
      } else if (t.is("(")) {
        fail(t, "syntax error: only named functions can be called");
      } else {
        return e;
      }
    }
  }

  void parseArgs(Expr& call) {
    expect("(");
    if (!at().is(")")) {
      do {
        adopt(call, assignment());
      } while (accept(","));
    }
    expect(")");
  }

  ExprPtr primary() {
    const Token& t = at();
    switch (t.kind) {
      case Tok::Int: {
        next();
        auto e = make(EK::IntLit, t.loc);
        e->ival = t.ival;
        return e;
      }
      case Tok::Float: {
        next();
        auto e = make(EK::FloatLit, t.loc);
        e->fval = t.fval;
        return e;
      }
      case Tok::Ident: {
        if (t.text == "true" || t.text == "false") {
          next();
          auto e = make(EK::BoolLit, t.loc);
          e->ival = t.text == "true";
          return e;
        }
        if (isTypeName(t) && t.text != "struct") {
          const Token& typeTok = t;
          Type type = parseType();
          if (!at().is("(")) fail(at(), "syntax error: expected '(' after type '" + typeTok.text + "'");
          auto e = make(EK::Construct, typeTok.loc);
          e->target = type;
          parseArgs(*e);
          return e;
        }
        if (isQualifier(t.text) || t.text == "if" || t.text == "for" || t.text == "while" || t.text == "return" ||
            t.text == "do" || t.text == "else" || t.text == "break" || t.text == "continue" || t.text == "discard")
          fail(t, "syntax error: unexpected '" + t.text + "'");
        next();
        if (at().is("(")) {
          auto e = make(EK::Call, t.loc);
          e->name = t.text;
          parseArgs(*e);
          return e;
        }
        auto e = make(EK::Name, t.loc);
        e->name = t.text;
        return e;
      }
      case Tok::Punct:
        if (t.is("(")) {
          Guard g(*this, t.loc);
          next();
          ExprPtr e = expression();
          expect(")");
          return e;
        }
        if (t.is("{")) fail(t, "syntax error: initializer lists are only allowed in declarations");
        fail(t, "syntax error: unexpected " + describe(t));
      case Tok::String:
        fail(t, "syntax error: string literals are not supported");
      case Tok::End:
        fail(t, "syntax error: unexpected end of file");
    }
    fail(t, "syntax error");
  }

  const std::vector<Token>& t_;
  Module& m_;
  Diagnostics& diag_;
  size_t pos_ = 0;
  int nesting_ = 0;
  std::unordered_map<std::string, int> structIds_;
};

}  // namespace

void parse(const std::vector<Token>& tokens, Module& module, Diagnostics& diag) {
  Parser(tokens, module, diag).run();
}

}  // namespace hlsl::detail
