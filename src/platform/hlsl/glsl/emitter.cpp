// GLSL 3.30 emitter. HLSL floatRxC matrices are held as the GLSL matRxC
// holding their transpose (GLSL column i is HLSL row i), so constructors,
// m[i] and m[i][j] keep their meaning and mul() swaps its operands. Every
// binary expression is parenthesised and every conversion is written out.
#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <unordered_map>

#include "platform/hlsl/front/syntax.h"

namespace hlsl::detail {

std::string formatFloat(double value) {
  float f = static_cast<float>(value);
  if (std::isnan(f)) return "(0.0 / 0.0)";
  if (std::isinf(f)) f = f > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, f);
  std::string s(buf, res.ptr);
  size_t e = s.find_first_of("eE");
  std::string mantissa = e == std::string::npos ? s : s.substr(0, e);
  std::string exponent = e == std::string::npos ? "" : s.substr(e);
  if (mantissa.find('.') == std::string::npos) mantissa += ".0";
  return mantissa + exponent;
}

bool isReservedGlslName(std::string_view name) {
  static const std::set<std::string, std::less<>> words = {
      // keywords and reserved words
      "attribute", "const", "uniform", "varying", "layout", "centroid", "flat", "smooth", "noperspective",
      "patch", "sample", "break", "continue", "do", "for", "while", "switch", "case", "default", "if", "else",
      "subroutine", "in", "out", "inout", "float", "double", "int", "void", "bool", "true", "false",
      "invariant", "precise", "discard", "return", "mat2", "mat3", "mat4", "dmat2", "dmat3", "dmat4",
      "mat2x2", "mat2x3", "mat2x4", "mat3x2", "mat3x3", "mat3x4", "mat4x2", "mat4x3", "mat4x4", "dmat2x2",
      "dmat2x3", "dmat2x4", "dmat3x2", "dmat3x3", "dmat3x4", "dmat4x2", "dmat4x3", "dmat4x4", "vec2", "vec3",
      "vec4", "ivec2", "ivec3", "ivec4", "bvec2", "bvec3", "bvec4", "dvec2", "dvec3", "dvec4", "uint",
      "uvec2", "uvec3", "uvec4", "lowp", "mediump", "highp", "precision", "sampler1D", "sampler2D",
      "sampler3D", "samplerCube", "sampler1DShadow", "sampler2DShadow", "samplerCubeShadow",
      "sampler1DArray", "sampler2DArray", "sampler1DArrayShadow", "sampler2DArrayShadow", "isampler1D",
      "isampler2D", "isampler3D", "isamplerCube", "isampler1DArray", "isampler2DArray", "usampler1D",
      "usampler2D", "usampler3D", "usamplerCube", "usampler1DArray", "usampler2DArray", "sampler2DRect",
      "sampler2DRectShadow", "isampler2DRect", "usampler2DRect", "samplerBuffer", "isamplerBuffer",
      "usamplerBuffer", "sampler2DMS", "isampler2DMS", "usampler2DMS", "sampler2DMSArray",
      "isampler2DMSArray", "usampler2DMSArray", "samplerCubeArray", "samplerCubeArrayShadow",
      "isamplerCubeArray", "usamplerCubeArray", "struct", "common", "partition", "active", "asm", "class",
      "union", "enum", "typedef", "template", "this", "packed", "resource", "goto", "inline", "noinline",
      "volatile", "public", "static", "extern", "external", "interface", "long", "short", "half", "fixed",
      "unsigned", "superp", "input", "output", "hvec2", "hvec3", "hvec4", "fvec2", "fvec3", "fvec4",
      "sampler3DRect", "filter", "image1D", "image2D", "image3D", "imageCube", "iimage1D", "iimage2D",
      "iimage3D", "iimageCube", "uimage1D", "uimage2D", "uimage3D", "uimageCube", "image1DArray",
      "image2DArray", "iimage1DArray", "iimage2DArray", "uimage1DArray", "uimage2DArray", "imageBuffer",
      "iimageBuffer", "uimageBuffer", "image2DRect", "image2DMS", "image2DMSArray", "imageCubeArray",
      "sizeof", "cast", "namespace", "using", "row_major", "coherent", "restrict", "readonly", "writeonly",
      "buffer", "shared", "atomic_uint", "main",
      // built-in functions
      "radians", "degrees", "sin", "cos", "tan", "asin", "acos", "atan", "sinh", "cosh", "tanh", "asinh",
      "acosh", "atanh", "pow", "exp", "log", "exp2", "log2", "sqrt", "inversesqrt", "abs", "sign", "floor",
      "trunc", "round", "roundEven", "ceil", "fract", "mod", "modf", "min", "max", "clamp", "mix", "step",
      "smoothstep", "isnan", "isinf", "floatBitsToInt", "floatBitsToUint", "intBitsToFloat",
      "uintBitsToFloat", "fma", "frexp", "ldexp", "packUnorm2x16", "packSnorm2x16", "packUnorm4x8",
      "packSnorm4x8", "unpackUnorm2x16", "unpackSnorm2x16", "unpackUnorm4x8", "unpackSnorm4x8",
      "packDouble2x32", "unpackDouble2x32", "packHalf2x16", "unpackHalf2x16", "length", "distance", "dot",
      "cross", "normalize", "faceforward", "reflect", "refract", "matrixCompMult", "outerProduct",
      "transpose", "determinant", "inverse", "lessThan", "lessThanEqual", "greaterThan",
      "greaterThanEqual", "equal", "notEqual", "any", "all", "not", "uaddCarry", "usubBorrow",
      "umulExtended", "imulExtended", "bitfieldExtract", "bitfieldInsert", "bitfieldReverse", "bitCount",
      "findLSB", "findMSB", "textureSize", "textureQueryLod", "textureQueryLevels", "texture",
      "textureProj", "textureLod", "textureOffset", "texelFetch", "texelFetchOffset", "textureProjOffset",
      "textureLodOffset", "textureProjLod", "textureProjLodOffset", "textureGrad", "textureGradOffset",
      "textureProjGrad", "textureProjGradOffset", "textureGather", "textureGatherOffset",
      "textureGatherOffsets", "texture1D", "texture1DProj", "texture1DLod", "texture1DProjLod", "texture2D",
      "texture2DProj", "texture2DLod", "texture2DProjLod", "texture3D", "texture3DProj", "texture3DLod",
      "texture3DProjLod", "textureCube", "textureCubeLod", "shadow1D", "shadow2D", "shadow1DProj",
      "shadow2DProj", "shadow1DLod", "shadow2DLod", "shadow1DProjLod", "shadow2DProjLod", "dFdx", "dFdy",
      "fwidth", "interpolateAtCentroid", "interpolateAtSample", "interpolateAtOffset", "noise1", "noise2",
      "noise3", "noise4", "EmitVertex", "EndPrimitive", "EmitStreamVertex", "EndStreamPrimitive",
      "barrier", "memoryBarrier",
  };
  return words.count(name) != 0;
}

namespace {

std::string baseVec(Base b, int n) {
  if (n == 1) return b == Base::Bool ? "bool" : b == Base::Int ? "int" : "float";
  std::string prefix = b == Base::Bool ? "bvec" : b == Base::Int ? "ivec" : "vec";
  return prefix + std::to_string(n);
}

std::string matName(int rows, int cols) {
  return rows == cols ? "mat" + std::to_string(rows) : "mat" + std::to_string(rows) + "x" + std::to_string(cols);
}

const char kSwz[] = "xyzw";

}  // namespace

std::string glslTypeName(const Type& t, const Module& m) {
  switch (t.kind) {
    case Kind::Void: return "void";
    case Kind::Scalar: return baseVec(t.base, 1);
    case Kind::Vector: return baseVec(t.base, t.cols);
    case Kind::Matrix: return matName(t.rows, t.cols);
    case Kind::Sampler: return t.base == Base::SamplerCube ? "samplerCube" : "sampler2D";
    case Kind::Struct: return m.structs[t.structId].glsl;
    case Kind::Error: return "float";
  }
  return "float";
}

namespace {

class Emitter {
 public:
  Emitter(Module& m, FunctionDecl* entry, const Options& o, Program& p, Diagnostics& d)
      : m_(m), entry_(entry), opt_(o), prog_(p), diag_(d) {}

  void run() {
    names();
    samplerNames();

    std::string body;
    for (TopLevel& item : m_.items) {
      switch (item.what) {
        case TopLevel::What::Struct: structDecl(m_.structs[item.structId], body); break;
        case TopLevel::What::Globals:
          for (Var* v : item.vars)
            if (globalUsed(v) && v->type.kind != Kind::Sampler) {
              line(item.loc, body);
              body += typeOf(v->type) + " " + v->glsl + arraySuffix(v->type) + ";\n";
              ++outLine_;
            }
          break;
        case TopLevel::What::Function: {
          FunctionDecl* f = item.func;
          FunctionDecl* sym = f->symbol ? f->symbol : f;
          if (!sym->reachable) break;
          if (!f->body) {
            // A prototype is only needed before the definition.
            line(f->loc, body);
            body += signature(f) + ";\n";
            ++outLine_;
          } else if (sym->definition == f) {
            function(f, body);
          }
          break;
        }
      }
    }
    std::string mainText = mainFunction();

    std::string out = "#version 330 core\n";
    if (prog_.floatRegisterCount > 0) out += "uniform vec4 vorn_c[" + std::to_string(prog_.floatRegisterCount) + "];\n";
    for (const Constant& c : prog_.constants) {
      if (c.cls != Constant::Class::Sampler) continue;
      out += std::string("uniform ") + (c.type == Constant::Type::SamplerCube ? "samplerCube" : "sampler2D") +
             " vorn_s" + std::to_string(c.registerIndex) + ";\n";
    }
    if (opt_.stage == Stage::Vertex) {
      out += "uniform vec4 vorn_ClipAdjust;\n";
      for (const IOSlot& s : m_.io)
        if (s.input)
          out += "layout(location = " + std::to_string(attributeLocation(s.semantic)) + ") in vec4 a_" + s.semantic + ";\n";
      for (const IOSlot& s : m_.io)
        if (!s.input && isVarying(s.semantic)) out += "out vec4 " + varyingName(s.semantic) + ";\n";
    } else {
      out += "uniform vec4 vorn_PixelAdjust;\n";
      out += "uniform vec4 vorn_AlphaTest;\n";
      for (const IOSlot& s : m_.io)
        if (s.input) out += "in vec4 " + varyingName(s.semantic) + ";\n";
      for (const IOSlot& s : m_.io)
        if (!s.input && s.semantic.compare(0, 5, "COLOR") == 0)
          out += "layout(location = " + s.semantic.substr(5) + ") out vec4 vorn_Color" + s.semantic.substr(5) + ";\n";
    }
    for (auto& [key, text] : helpers_) out += text;
    out += body;
    out += mainText;
    prog_.glsl = std::move(out);
  }

 private:
  // ------------------------------------------------------------ names
  // A name without "__" (reserved in GLSL) and without a trailing '_'.
  static std::string clean(const std::string& name) {
    std::string out;
    for (char c : name) {
      if (c == '_' && !out.empty() && out.back() == '_') out += 'U';
      else out += c;
    }
    if (!out.empty() && out.back() == '_') out += 'U';
    return out;
  }

  std::string rename(const std::string& name) {
    auto it = renamed_.find(name);
    if (it != renamed_.end()) return it->second;
    std::string g = name;
    bool clash = isReservedGlslName(name) || name.compare(0, 3, "gl_") == 0 || name.compare(0, 5, "vorn_") == 0 ||
                 name.find("__") != std::string::npos || name.compare(0, 2, "a_") == 0 ||
                 name.compare(0, 2, "v_") == 0;
    if (clash) g = "vorn_u" + std::to_string(renamed_.size()) + "_" + clean(name);
    renamed_[name] = g;
    return g;
  }

  void names() {
    for (StructDecl& s : m_.structs) {
      s.glsl = rename(s.name);
      for (StructMember& mem : s.members) mem.glsl = rename(mem.name);
    }
    // In GLSL a variable hides functions and types of its name: such
    // variables get names of their own.
    std::set<std::string> functionsAndTypes;
    for (auto& f : m_.funcPool) functionsAndTypes.insert(f->name);
    for (StructDecl& st : m_.structs) functionsAndTypes.insert(st.name);
    int hoisted = 0, hiding = 0;
    for (auto& v : m_.varPool) {
      v->glsl = rename(v->name);
      if (functionsAndTypes.count(v->name)) v->glsl = "vorn_v" + std::to_string(hiding++) + "_" + clean(v->name);
      // Declared before its loop in the output, so it needs a name of its own.
      if (v->hoisted) v->glsl = "vorn_l" + std::to_string(hoisted++) + "_" + clean(v->name);
    }
    for (auto& f : m_.funcPool) f->glsl = f->isEntry ? "vorn_entry" : rename(f->name);
    for (auto& f : m_.funcPool)
      if (f->symbol && f->symbol->isEntry) f->glsl = "vorn_entry";
  }

  static bool globalUsed(const Var* v) { return v->reached; }

  // Samplers read their texture unit's uniform; the register layout is
  // assignRegisters()'s.
  void samplerNames() {
    for (TopLevel& item : m_.items)
      if (item.what == TopLevel::What::Globals)
        for (Var* v : item.vars)
          if (v->constant && v->reg >= 0 && v->type.kind == Kind::Sampler) v->glsl = "vorn_s" + std::to_string(v->reg);
  }

  // ------------------------------------------------------------ output helpers
  // Keeps GLSL line numbers on the HLSL lines. Further statements of a source
  // line already labelled go on without a directive.
  void line(Loc loc, std::string& out) {
    if (loc.line != outLine_ && loc.line != lastLabel_) {
      out += "#line " + std::to_string(loc.line) + "\n";
      outLine_ = loc.line;
    }
    lastLabel_ = loc.line;
  }

  std::string typeOf(const Type& t) { return glslTypeName(t.element(), m_); }
  static std::string arraySuffix(const Type& t) { return t.array ? "[" + std::to_string(t.array) + "]" : ""; }

  std::string helper(const std::string& key, const std::string& text) {
    helpers_.emplace(key, text);
    return key;
  }

  void structDecl(const StructDecl& s, std::string& out) {
    line(s.loc, out);
    out += "struct " + s.glsl + " {";
    for (const StructMember& mem : s.members) out += " " + typeOf(mem.type) + " " + mem.glsl + arraySuffix(mem.type) + ";";
    out += " };\n";
    ++outLine_;
  }

  std::string signature(const FunctionDecl* f) {
    std::string s = typeOf(f->ret) + " " + f->glsl + "(";
    bool first = true;
    for (const Var* p : f->params) {
      if (p->isUniform && (f->isEntry || (f->symbol && f->symbol->isEntry))) continue;
      if (!first) s += ", ";
      first = false;
      if (p->dir == ParamDir::Out) s += "out ";
      if (p->dir == ParamDir::InOut) s += "inout ";
      s += typeOf(p->type) + " " + p->glsl + arraySuffix(p->type);
    }
    return s + ")";
  }

  void function(FunctionDecl* f, std::string& out) {
    line(f->loc, out);
    out += signature(f) + " {\n";
    ++outLine_;
    indent_ = 1;
    for (const StmtPtr& s : f->body->kids) stmt(*s, out);
    out += "}\n";
    ++outLine_;
  }

  void put(std::string& out, Loc loc, const std::string& text) {
    if (loc.line > 0) line(loc, out);
    out += std::string(static_cast<size_t>(indent_) * 2, ' ') + text + "\n";
    ++outLine_;
  }

  // ------------------------------------------------------------ statements
  std::string zero(const Type& t) {
    if (t.array) {
      std::string s = typeOf(t) + "[" + std::to_string(t.array) + "](";
      std::string el = zero(t.element());
      for (int i = 0; i < t.array; ++i) s += (i ? ", " : "") + el;
      return s + ")";
    }
    switch (t.kind) {
      case Kind::Scalar:
        return t.base == Base::Bool ? "false" : t.base == Base::Int ? "0" : "0.0";
      case Kind::Vector:
        return baseVec(t.base, t.cols) + "(" + zero(Type::scalar(t.base)) + ")";
      case Kind::Matrix: return matName(t.rows, t.cols) + "(0.0)";  // the zero matrix
      case Kind::Struct: {
        const StructDecl& sd = m_.structs[t.structId];
        std::string s = sd.glsl + "(";
        for (size_t i = 0; i < sd.members.size(); ++i) s += (i ? ", " : "") + zero(sd.members[i].type);
        return s + ")";
      }
      default: return "0.0";
    }
  }

  std::string declText(const Var* v) {
    std::string s = typeOf(v->type) + " " + v->glsl + arraySuffix(v->type) + " = ";
    if (v->init) return s + exprTop(*v->init);
    if (v->type.array > 64) return typeOf(v->type) + " " + v->glsl + arraySuffix(v->type);
    return s + zero(v->type);
  }

  void stmt(const Stmt& s, std::string& out) {
    switch (s.kind) {
      case SK::Block:
        put(out, s.loc, "{");
        ++indent_;
        for (const StmtPtr& k : s.kids) stmt(*k, out);
        --indent_;
        put(out, Loc{0, 0}, "}");
        break;
      case SK::Expr: put(out, s.loc, exprTop(*s.expr) + ";"); break;
      case SK::Decl:
        for (const Var* v : s.vars) put(out, v->loc, declText(v) + ";");
        break;
      case SK::If:
        put(out, s.loc, "if " + condition(*s.cond) + " {");
        body(*s.kids[0], out);
        if (s.kids.size() > 1) {
          put(out, Loc{0, 0}, "} else {");
          body(*s.kids[1], out);
        }
        put(out, Loc{0, 0}, "}");
        break;
      case SK::For: {
        std::string init;
        const Stmt& i = *s.kids[0];
        bool hoist = false;
        for (const Var* v : i.vars) hoist = hoist || v->hoisted;
        if (hoist) {
          // Loop variables used after the loop are declared before it.
          for (const Var* v : i.vars) put(out, v->loc, declText(v) + ";");
        } else if (i.kind == SK::Decl) {
          for (size_t k = 0; k < i.vars.size(); ++k) {
            std::string d = declText(i.vars[k]);
            if (k == 0) {
              init = d;
            } else {
              init += ", " + d.substr(d.find(' ') + 1);
            }
          }
        } else if (i.kind == SK::Expr) {
          init = exprTop(*i.expr);
        }
        put(out, s.loc, "for (" + init + "; " + (s.cond ? exprTop(*s.cond) : "") + "; " +
                            (s.expr ? exprTop(*s.expr) : "") + ") {");
        body(*s.kids[1], out);
        put(out, Loc{0, 0}, "}");
        break;
      }
      case SK::While:
        put(out, s.loc, "while " + condition(*s.cond) + " {");
        body(*s.kids[0], out);
        put(out, Loc{0, 0}, "}");
        break;
      case SK::Do:
        put(out, s.loc, "do {");
        body(*s.kids[0], out);
        put(out, s.cond->loc, "} while " + condition(*s.cond) + ";");
        break;
      case SK::Break: put(out, s.loc, "break;"); break;
      case SK::Continue: put(out, s.loc, "continue;"); break;
      case SK::Discard: put(out, s.loc, "discard;"); break;
      case SK::Return: put(out, s.loc, s.expr ? "return " + exprTop(*s.expr) + ";" : "return;"); break;
      case SK::Empty: break;
    }
  }

  void body(const Stmt& s, std::string& out) {
    ++indent_;
    if (s.kind == SK::Block) {
      for (const StmtPtr& k : s.kids) stmt(*k, out);
    } else {
      stmt(s, out);
    }
    --indent_;
  }

  // ------------------------------------------------------------ expressions
  // Wraps text in parentheses unless it already reads as one operand: a name,
  // literal, call, member or index chain, or a parenthesised whole.
  static std::string parenText(const std::string& s) {
    if (s.empty()) return s;
    if (s.front() == '(' && s.back() == ')' && balanced(s)) return s;
    int depth = 0;
    for (char c : s) {
      if (c == '(' || c == '[') ++depth;
      else if (c == ')' || c == ']') --depth;
      else if (depth == 0 && !(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return "(" + s + ")";
    }
    return s;
  }

  std::string paren(const Expr& e) { return parenText(expr(e)); }

  static bool balanced(const std::string& s) {
    // True when the outer parentheses enclose the whole text.
    int depth = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '(') ++depth;
      if (s[i] == ')') --depth;
      if (depth == 0 && i + 1 < s.size()) return false;
    }
    return true;
  }

  // A whole expression statement: the outermost parentheses of an assignment
  // or increment can go (binary expressions keep theirs everywhere).
  std::string exprTop(const Expr& e) {
    std::string s = expr(e);
    if ((e.kind == EK::Assign || e.kind == EK::PreIncDec || e.kind == EK::PostIncDec) && s.size() >= 2 &&
        s.front() == '(' && balanced(s))
      return s.substr(1, s.size() - 2);
    return s;
  }

  static std::string intLiteral(std::int64_t v) {
    auto i = static_cast<std::int32_t>(static_cast<std::uint32_t>(v & 0xFFFFFFFF));
    if (i == std::numeric_limits<std::int32_t>::min()) return "(-2147483647 - 1)";
    if (i < 0) return "(" + std::to_string(i) + ")";
    return std::to_string(i);
  }

  std::string convert(const Expr& inner, const Type& from, const Type& to) {
    // Literals convert in place.
    if (to.isScalar() && (inner.kind == EK::IntLit || inner.kind == EK::BoolLit || inner.kind == EK::FloatLit)) {
      double v = inner.kind == EK::FloatLit ? static_cast<float>(inner.fval)
                                            : static_cast<double>(static_cast<std::int32_t>(inner.ival));
      if (inner.kind == EK::BoolLit) v = inner.ival ? 1 : 0;
      if (to.base == Base::Float) return formatFloat(v);
      if (to.base == Base::Bool) return v != 0 ? "true" : "false";
      if (to.base == Base::Int && std::isfinite(v) && std::fabs(v) < 2147483647.0)
        return intLiteral(static_cast<std::int64_t>(std::trunc(v)));
    }
    if (to.kind == Kind::Vector && (inner.kind == EK::IntLit || inner.kind == EK::BoolLit || inner.kind == EK::FloatLit))
      return baseVec(to.base, to.cols) + "(" + convert(inner, from, Type::scalar(to.base)) + ")";
    if (to.kind == Kind::Matrix && (inner.kind == EK::IntLit || inner.kind == EK::BoolLit || inner.kind == EK::FloatLit))
      return splatMatrix(convert(inner, from, Type::scalar(Base::Float)), to.rows, to.cols);
    if (to.kind == Kind::Struct) return structFill(to, inner);
    return convertText(paren(inner), from, to);
  }

  std::string structFill(const Type& t, const Expr& scalar) {
    if (t.array) {
      std::string s = typeOf(t) + "[" + std::to_string(t.array) + "](";
      std::string el = structFill(t.element(), scalar);
      for (int i = 0; i < t.array; ++i) s += (i ? ", " : "") + el;
      return s + ")";
    }
    if (t.kind == Kind::Struct) {
      const StructDecl& sd = m_.structs[t.structId];
      std::string s = sd.glsl + "(";
      for (size_t i = 0; i < sd.members.size(); ++i) s += (i ? ", " : "") + structFill(sd.members[i].type, scalar);
      return s + ")";
    }
    return convert(scalar, scalar.type, t);
  }

  std::string splatMatrix(const std::string& s, int rows, int cols) {
    std::string name = "vorn_splat_" + matName(rows, cols);
    std::string col = "vec" + std::to_string(cols) + "(x)";
    std::string cols_;
    for (int i = 0; i < rows; ++i) cols_ += (i ? ", " : "") + col;
    helper(name, matName(rows, cols) + " " + name + "(float x) { return " + matName(rows, cols) + "(" + cols_ + "); }\n");
    return name + "(" + s + ")";
  }

  // 'text' is already safe to follow with a swizzle or index.
  std::string convertText(const std::string& text, const Type& from, const Type& to) {
    if (from == to || to.isError() || from.isError()) return text;
    std::string s = text;
    Type cur = from;
    if (from.kind == Kind::Scalar) {
      if (to.kind == Kind::Scalar) return baseVec(to.base, 1) + "(" + s + ")";
      if (to.kind == Kind::Vector) return baseVec(to.base, to.cols) + "(" + s + ")";
      if (to.kind == Kind::Matrix) {
        if (from.base != Base::Float) s = "float(" + s + ")";
        return splatMatrix(s, to.rows, to.cols);
      }
      return s;
    }
    if (from.kind == Kind::Vector) {
      if (to.kind == Kind::Scalar) {
        s += ".x";
        cur = Type::scalar(from.base);
      } else if (to.kind == Kind::Vector && to.cols < from.cols) {
        s += "." + std::string(kSwz, static_cast<size_t>(to.cols));
        cur = Type::vector(from.base, to.cols);
      }
      if (cur.base != to.base) s = baseVec(to.base, to.kind == Kind::Scalar ? 1 : to.cols) + "(" + s + ")";
      return s;
    }
    if (from.kind == Kind::Matrix) {
      if (to.kind == Kind::Scalar) {
        s += "[0][0]";
        if (to.base != Base::Float) s = baseVec(to.base, 1) + "(" + s + ")";
        return s;
      }
      if (to.kind == Kind::Matrix) return matName(to.rows, to.cols) + "(" + s + ")";
    }
    return s;
  }


  // "if (c)" without doubling the parentheses of a parenthesised condition.
  std::string condition(const Expr& e) {
    std::string s = exprTop(e);
    if (s.size() >= 2 && s.front() == '(' && s.back() == ')' && balanced(s)) return s;
    return "(" + s + ")";
  }

  std::string args(const Expr& e, size_t from = 0) {
    std::string s;
    for (size_t i = from; i < e.args.size(); ++i) s += (i > from ? ", " : "") + expr(*e.args[i]);
    return s;
  }

  std::string expr(const Expr& e) {
    switch (e.kind) {
      case EK::IntLit: return intLiteral(e.ival);
      case EK::FloatLit: return formatFloat(e.fval);
      case EK::BoolLit: return e.ival ? "true" : "false";
      case EK::Name: return e.var ? e.var->glsl : e.name;
      case EK::Binary: return binary(e);
      case EK::Unary: {
        const Type& t = e.type;
        if (e.op == "!") return t.kind == Kind::Vector ? "not(" + expr(*e.args[0]) + ")" : "(!" + paren(*e.args[0]) + ")";
        if (e.op == "+") return expr(*e.args[0]);
        return "(-" + paren(*e.args[0]) + ")";
      }
      case EK::PreIncDec: return "(" + e.op + paren(*e.args[0]) + ")";
      case EK::PostIncDec: return "(" + paren(*e.args[0]) + e.op + ")";
      case EK::Assign: return assign(e);
      case EK::Ternary: {
        if (e.args[0]->type.kind == Kind::Vector) {
          if (e.type.base == Base::Float)
            return "mix(" + expr(*e.args[2]) + ", " + expr(*e.args[1]) + ", " + expr(*e.args[0]) + ")";
          std::string t = baseVec(e.type.base, e.type.cols), c = baseVec(Base::Bool, e.type.cols);
          std::string body;
          for (int i = 0; i < e.type.cols; ++i)
            body += std::string(i ? ", " : "") + "c." + kSwz[i] + " ? a." + kSwz[i] + " : b." + kSwz[i];
          helper("vorn_select_" + t, t + " vorn_select(" + c + " c, " + t + " a, " + t + " b) { return " + t + "(" + body + "); }\n");
          return "vorn_select(" + args(e) + ")";
        }
        return "(" + paren(*e.args[0]) + " ? " + paren(*e.args[1]) + " : " + paren(*e.args[2]) + ")";
      }
      case EK::Call:
        if (e.func) return e.func->glsl + "(" + args(e) + ")";
        return intrinsic(e);
      case EK::Construct: {
        if (e.args.size() == 1 && e.args[0]->type.isScalar() && e.type.kind == Kind::Matrix)
          return splatMatrix(expr(*e.args[0]), e.type.rows, e.type.cols);
        if (e.args.size() == 1 && e.args[0]->type == e.type) return expr(*e.args[0]);
        return typeOf(e.type) + "(" + args(e) + ")";
      }
      case EK::Cast:
      case EK::Convert:
        if (e.args[0]->type == e.type) return expr(*e.args[0]);
        return convert(*e.args[0], e.args[0]->type, e.type);
      case EK::Member: return member(e);
      case EK::Index: return paren(*e.args[0]) + "[" + expr(*e.args[1]) + "]";
      case EK::InitList: return typeOf(e.type) + (e.type.array ? "[" + std::to_string(e.type.array) + "]" : "") + "(" + args(e) + ")";
      case EK::Comma: return "(" + args(e) + ")";
    }
    return "0";
  }

  std::string member(const Expr& e) {
    const Expr& b = *e.args[0];
    switch (e.member) {
      case MemberKind::Field: return paren(b) + "." + m_.structs[b.type.structId].members[static_cast<size_t>(e.field)].glsl;
      case MemberKind::Swizzle: {
        std::string s;
        for (int c : e.comps) s += kSwz[c];
        return paren(b) + "." + s;
      }
      case MemberKind::ScalarSwizzle:
        if (e.comps.size() == 1) return expr(b);
        return baseVec(b.type.base, static_cast<int>(e.comps.size())) + "(" + expr(b) + ")";
      case MemberKind::MatrixSwizzle: {
        std::string base = paren(b);
        auto el = [&](int c) { return base + "[" + std::to_string(c / 4) + "][" + std::to_string(c % 4) + "]"; };
        if (e.comps.size() == 1) return el(e.comps[0]);
        std::string s = "vec" + std::to_string(e.comps.size()) + "(";
        for (size_t i = 0; i < e.comps.size(); ++i) s += (i ? ", " : "") + el(e.comps[i]);
        return s + ")";
      }
      case MemberKind::None: break;
    }
    return paren(b);
  }

  std::string fmodHelper(const Type& t) {
    std::string ty = typeOf(t);
    if (t.base == Base::Int) {
      helper("vorn_imod_" + ty, ty + " vorn_imod(" + ty + " x, " + ty + " y) { return x - y * (x / y); }\n");
      return "vorn_imod";
    }
    std::string select = t.kind == Kind::Scalar ? "d >= 0.0 ? f : -f"
                                                : "mix(-f, f, greaterThanEqual(d, " + ty + "(0.0)))";
    helper("vorn_fmod_" + ty, ty + " vorn_fmod(" + ty + " x, " + ty + " y) { " + ty + " d = x / y; " + ty +
                                  " f = fract(abs(d)) * y; return " + select + "; }\n");
    return "vorn_fmod";
  }

  std::string binary(const Expr& e) {
    const std::string& op = e.op;
    const Expr& a = *e.args[0];
    const Expr& b = *e.args[1];
    bool vec = a.type.kind == Kind::Vector || b.type.kind == Kind::Vector;
    if (op == "%") return fmodHelper(e.type) + "(" + expr(a) + ", " + expr(b) + ")";
    if (op == "*" && a.type.kind == Kind::Matrix && b.type.kind == Kind::Matrix)
      return "matrixCompMult(" + expr(a) + ", " + expr(b) + ")";
    if (vec && (op == "<" || op == ">" || op == "<=" || op == ">=" || op == "==" || op == "!=")) {
      const char* fn = op == "<" ? "lessThan" : op == ">" ? "greaterThan" : op == "<=" ? "lessThanEqual"
                       : op == ">=" ? "greaterThanEqual" : op == "==" ? "equal" : "notEqual";
      return std::string(fn) + "(" + expr(a) + ", " + expr(b) + ")";
    }
    if (vec && (op == "&&" || op == "||")) {
      std::string t = baseVec(Base::Bool, e.type.cols);
      std::string name = op == "&&" ? "vorn_and" : "vorn_or";
      std::string body;
      for (int i = 0; i < e.type.cols; ++i)
        body += std::string(i ? ", " : "") + "a." + kSwz[i] + " " + op + " b." + kSwz[i];
      helper(name + "_" + t, t + " " + name + "(" + t + " a, " + t + " b) { return " + t + "(" + body + "); }\n");
      return name + "(" + expr(a) + ", " + expr(b) + ")";
    }
    return "(" + paren(a) + " " + op + " " + paren(b) + ")";
  }

  std::string assign(const Expr& e) {
    const Expr& l = *e.args[0];
    const Expr& r = *e.args[1];
    std::string lhs = expr(l);
    if (e.op == "=" || e.ival == 0) return "(" + lhs + " " + e.op + " " + expr(r) + ")";
    // a op= b as a = a op b, computed in the promoted type.
    Type t = e.target;
    std::string read = convertText(paren(l), l.type, t);
    std::string op = e.op.substr(0, 1);
    std::string value;
    if (op == "%") {
      value = fmodHelper(t) + "(" + read + ", " + expr(r) + ")";
    } else if (op == "*" && t.kind == Kind::Matrix && r.type.kind == Kind::Matrix) {
      value = "matrixCompMult(" + read + ", " + expr(r) + ")";
    } else {
      value = "(" + read + " " + op + " " + paren(r) + ")";
    }
    return "(" + lhs + " = " + convertText(value, t, l.type) + ")";
  }

  std::string intrinsic(const Expr& e) {
    auto a = [&](size_t i) { return expr(*e.args[i]); };
    auto p = [&](size_t i) { return paren(*e.args[i]); };
    const Type& t = e.type;
    std::string ty = typeOf(t);
    switch (e.intrinsic) {
      case In_abs: case In_acos: case In_asin: case In_atan: case In_ceil: case In_cos: case In_cosh:
      case In_degrees: case In_exp: case In_exp2: case In_floor: case In_log: case In_log2: case In_radians:
      case In_sin: case In_sinh: case In_sqrt: case In_tan: case In_tanh: case In_trunc: case In_normalize:
      case In_length: case In_isnan: case In_isinf:
        return std::string(intrinsicName(e.intrinsic)) + "(" + a(0) + ")";
      case In_frac: return "fract(" + a(0) + ")";
      case In_rsqrt: return "inversesqrt(" + a(0) + ")";
      case In_round: return "floor(" + p(0) + " + 0.5)";
      case In_log10: return "(log2(" + a(0) + ") * 0.30103)";
      case In_saturate: return "clamp(" + a(0) + ", 0.0, 1.0)";
      case In_sign: return typeOf(t) + "(sign(" + a(0) + "))";
      case In_isfinite: {
        const Type& at = e.args[0]->type;
        if (at.kind == Kind::Scalar) return "(abs(" + a(0) + ") <= 3.4028235e38)";
        return "lessThanEqual(abs(" + a(0) + "), " + typeOf(at) + "(3.4028235e38))";
      }
      case In_ddx: return "dFdx(" + a(0) + ")";
      case In_ddy: return "(dFdy(" + a(0) + ") * vorn_PixelAdjust.x)";
      case In_atan2: return "atan(" + a(0) + ", " + a(1) + ")";
      case In_fmod: return fmodHelper(t) + "(" + a(0) + ", " + a(1) + ")";
      case In_pow: case In_step: case In_min: case In_max: case In_distance: case In_dot: case In_cross:
      case In_reflect: case In_clamp: case In_smoothstep: case In_faceforward: case In_refract:
        if (e.intrinsic == In_dot && e.args[0]->type.isScalar()) return "(" + p(0) + " * " + p(1) + ")";
        return std::string(intrinsicName(e.intrinsic)) + "(" + args(e) + ")";
      case In_ldexp: return "(" + p(0) + " * exp2(" + a(1) + "))";
      case In_lerp: return "mix(" + args(e) + ")";
      case In_all: case In_any: {
        const Type& at = e.args[0]->type;
        const char* fn = e.intrinsic == In_all ? "all" : "any";
        if (at.kind == Kind::Scalar) {
          if (at.base == Base::Bool) return a(0);
          return "(" + p(0) + (at.base == Base::Int ? " != 0)" : " != 0.0)");
        }
        if (at.base == Base::Bool) return std::string(fn) + "(" + a(0) + ")";
        return std::string(fn) + "(notEqual(" + a(0) + ", " + typeOf(at) + "(" + (at.base == Base::Int ? "0" : "0.0") + ")))";
      }
      case In_clip: {
        std::string at = typeOf(e.args[0]->type);
        std::string test = e.args[0]->type.kind == Kind::Scalar ? "x < 0.0" : "any(lessThan(x, " + at + "(0.0)))";
        helper("vorn_clip_" + at, "void vorn_clip(" + at + " x) { if (" + test + ") discard; }\n");
        return "vorn_clip(" + a(0) + ")";
      }
      case In_determinant: return "determinant(" + a(0) + ")";
      case In_transpose: return "transpose(" + a(0) + ")";
      case In_lit:
        helper("vorn_lit", "vec4 vorn_lit(float l, float h, float m) { return vec4(1.0, max(l, 0.0), "
                           "(l < 0.0 || h < 0.0) ? 0.0 : pow(h, m), 1.0); }\n");
        return "vorn_lit(" + args(e) + ")";
      case In_sincos: {
        std::string at = typeOf(e.args[0]->type);
        helper("vorn_sincos_" + at, "void vorn_sincos(" + at + " x, out " + at + " s, out " + at +
                                        " c) { s = sin(x); c = cos(x); }\n");
        return "vorn_sincos(" + args(e) + ")";
      }
      case In_modf: return "modf(" + args(e) + ")";
      case In_frexp: {
        std::string select = t.kind == Kind::Scalar ? "x == 0.0 ? 0.0 : n" : "mix(n, " + ty + "(0.0), equal(x, " + ty + "(0.0)))";
        helper("vorn_frexp_" + ty, ty + " vorn_frexp(" + ty + " x, out " + ty + " e) { " + ty +
                                       " n = floor(log2(abs(x))) + 1.0; e = " + select + "; return x * exp2(-e); }\n");
        return "vorn_frexp(" + args(e) + ")";
      }
      case In_mul:
        switch (e.ival) {
          case Mul_Scalar: return "(" + p(0) + " * " + p(1) + ")";
          case Mul_Dot: return "dot(" + a(0) + ", " + a(1) + ")";
          // The GLSL matrices are the transposes: v * M is M' * v, and so on.
          case Mul_VecMat: return "(" + p(1) + " * " + p(0) + ")";
          case Mul_MatVec: return "(" + p(1) + " * " + p(0) + ")";
          case Mul_MatMat: return "(" + p(1) + " * " + p(0) + ")";
        }
        return "0.0";
      case In_tex2D:
      case In_texCUBE:
        if (e.args.size() == 4) return "textureGrad(" + args(e) + ")";
        return "texture(" + args(e) + ")";
      case In_tex2Dgrad: case In_texCUBEgrad: return "textureGrad(" + args(e) + ")";
      case In_tex2Dproj: return "textureProj(" + args(e) + ")";
      case In_tex2Dlod: case In_tex2Dbias: case In_texCUBElod: case In_texCUBEbias: case In_texCUBEproj: {
        bool cube = e.intrinsic == In_texCUBElod || e.intrinsic == In_texCUBEbias || e.intrinsic == In_texCUBEproj;
        std::string st = cube ? "samplerCube" : "sampler2D";
        std::string c = cube ? "xyz" : "xy";
        std::string name = std::string("vorn_") + intrinsicName(e.intrinsic);
        std::string body = e.intrinsic == In_texCUBEproj ? "texture(s, v.xyz / v.w)"
                           : (e.intrinsic == In_tex2Dlod || e.intrinsic == In_texCUBElod)
                               ? "textureLod(s, v." + c + ", v.w)"
                               : "texture(s, v." + c + ", v.w)";
        helper(name, "vec4 " + name + "(" + st + " s, vec4 v) { return " + body + "; }\n");
        return name + "(" + args(e) + ")";
      }
      default: break;
    }
    return "0.0";
  }

  // ------------------------------------------------------------ main()
  static bool isVarying(const std::string& semantic) {
    return semantic != "POSITION0" && semantic != "PSIZE0";
  }

  // Register 'base' (plus the GLSL index expression 'offset' when not empty)
  // read as a constant of type t.
  std::string registerRead(const Type& t, int base, const std::string& offset) {
    auto reg = [&](int k) {
      if (offset.empty()) return "vorn_c[" + std::to_string(base + k) + "]";
      return "vorn_c[" + std::to_string(base + k) + " + " + offset + "]";
    };
    if (t.kind == Kind::Matrix) {
      std::string s = matName(t.rows, t.cols) + "(";
      for (int i = 0; i < t.rows; ++i) {
        s += (i ? ", " : "") + reg(i);
        if (t.cols < 4) s += "." + std::string(kSwz, static_cast<size_t>(t.cols));
      }
      return s + ")";
    }
    int n = t.kind == Kind::Vector ? t.cols : 1;
    std::string v = reg(0) + (n == 4 ? "" : "." + std::string(kSwz, static_cast<size_t>(n)));
    if (t.base == Base::Float) return v;
    if (t.base == Base::Int) return baseVec(Base::Int, n) + "(" + v + ")";
    if (n == 1) return "(" + v + " != 0.0)";
    return "notEqual(" + v + ", " + baseVec(Base::Float, n) + "(0.0))";
  }

  // A vec4 attribute or varying read as the slot's type.
  std::string fromVec4(const std::string& v, const Type& t) {
    int n = t.kind == Kind::Vector ? t.cols : 1;
    std::string s = n == 4 ? v : v + "." + std::string(kSwz, static_cast<size_t>(n));
    return t.base == Base::Float ? s : baseVec(t.base, n) + "(" + s + ")";
  }

  // A value of the slot's type widened to vec4 with (0, 0, 0, 1) defaults.
  std::string toVec4(const std::string& v, const Type& t) {
    int n = t.kind == Kind::Vector ? t.cols : 1;
    std::string s = t.base == Base::Float ? v : baseVec(Base::Float, n) + "(" + v + ")";
    switch (n) {
      case 1: return "vec4(" + s + ", 0.0, 0.0, 1.0)";
      case 2: return "vec4(" + s + ", 0.0, 1.0)";
      case 3: return "vec4(" + s + ", 1.0)";
      default: return s;
    }
  }

  std::string slotPath(const IOSlot& s) {
    std::string text = s.param < 0 ? "vorn_result" : "vorn_arg" + std::to_string(s.param);
    Type t = s.param < 0 ? entry_->ret : entry_->params[static_cast<size_t>(s.param)]->type;
    for (int idx : s.path) {
      const StructMember& mem = m_.structs[t.structId].members[static_cast<size_t>(idx)];
      text += "." + mem.glsl;
      t = mem.type;
    }
    return text;
  }

  std::string mainFunction() {
    std::string s = "void main() {\n";
    // Constants from the register file, then static globals, in declaration order.
    for (TopLevel& item : m_.items) {
      if (item.what != TopLevel::What::Globals) continue;
      for (Var* v : item.vars) {
        if (!globalUsed(v) || v->type.kind == Kind::Sampler) continue;
        if (v->constant) {
          if (v->reg < 0) continue;
          int rows = v->type.kind == Kind::Matrix ? v->type.rows : 1;
          if (v->type.array) {
            s += "  for (int vorn_i = 0; vorn_i < " + std::to_string(v->type.array) + "; ++vorn_i) " + v->glsl +
                 "[vorn_i] = " + registerRead(v->type.element(), v->reg, rows == 1 ? "vorn_i" : "vorn_i * " + std::to_string(rows)) + ";\n";
          } else {
            s += "  " + v->glsl + " = " + registerRead(v->type, v->reg, "") + ";\n";
          }
        } else {
          s += "  " + v->glsl + " = " + (v->init ? exprTop(*v->init) : zero(v->type)) + ";\n";
        }
      }
    }
    // Inputs.
    std::vector<std::string> callArgs;
    for (size_t i = 0; i < entry_->params.size(); ++i) {
      const Var* p = entry_->params[i];
      if (p->isUniform) continue;
      std::string name = "vorn_arg" + std::to_string(i);
      s += "  " + typeOf(p->type) + " " + name + " = " + zero(p->type) + ";\n";
      callArgs.push_back(name);
    }
    for (const IOSlot& slot : m_.io) {
      if (!slot.input) continue;
      std::string src = opt_.stage == Stage::Vertex ? "a_" + slot.semantic : varyingName(slot.semantic);
      s += "  " + slotPath(slot) + " = " + fromVec4(src, slot.type) + ";\n";
      prog_.inputs.push_back(Varying{slot.semantic, slot.type.components()});
    }
    std::string callText = "vorn_entry(";
    for (size_t i = 0; i < callArgs.size(); ++i) callText += (i ? ", " : "") + callArgs[i];
    callText += ")";
    if (entry_->ret.kind == Kind::Void) {
      s += "  " + callText + ";\n";
    } else {
      s += "  " + typeOf(entry_->ret) + " vorn_result = " + callText + ";\n";
    }
    // Outputs.
    std::string position;
    for (const IOSlot& slot : m_.io) {
      if (slot.input) continue;
      std::string value = slotPath(slot);
      if (opt_.stage == Stage::Vertex) {
        if (slot.semantic == "POSITION0") {
          position = toVec4(value, slot.type);
          continue;
        }
        if (slot.semantic == "PSIZE0") {
          s += "  gl_PointSize = " + (slot.type.base == Base::Float ? value : "float(" + value + ")") + ";\n";
          continue;
        }
        std::string v4 = toVec4(value, slot.type);
        if (slot.semantic.compare(0, 5, "COLOR") == 0) v4 = "clamp(" + v4 + ", 0.0, 1.0)";
        s += "  " + varyingName(slot.semantic) + " = " + v4 + ";\n";
        prog_.outputs.push_back(Varying{slot.semantic, slot.type.components()});
      } else {
        if (slot.semantic == "DEPTH0") {
          s += "  gl_FragDepth = " + (slot.type.base == Base::Float ? value : "float(" + value + ")") + ";\n";
          continue;
        }
        std::string n = slot.semantic.substr(5);
        s += "  vec4 vorn_color" + n + " = " + toVec4(value, slot.type) + ";\n";
        if (n == "0") {
          s += "  if (vorn_AlphaTest.x != 0.0) {\n"
               "    float vorn_a = floor(clamp(vorn_color0.a, 0.0, 1.0) * 255.0 + 0.5);\n"
               "    float vorn_ref = vorn_AlphaTest.y;\n"
               "    int vorn_f = int(vorn_AlphaTest.x + 0.5);\n"
               "    bool vorn_pass = vorn_f == 1 ? false : vorn_f == 2 ? vorn_a < vorn_ref : vorn_f == 3 ? vorn_a == vorn_ref\n"
               "        : vorn_f == 4 ? vorn_a <= vorn_ref : vorn_f == 5 ? vorn_a > vorn_ref : vorn_f == 6 ? vorn_a != vorn_ref\n"
               "        : vorn_f == 7 ? vorn_a >= vorn_ref : true;\n"
               "    if (!vorn_pass) discard;\n"
               "  }\n";
        }
        s += "  vorn_Color" + n + " = vorn_color" + n + ";\n";
        prog_.outputs.push_back(Varying{slot.semantic, slot.type.components()});
      }
    }
    if (opt_.stage == Stage::Vertex) {
      s += "  vec4 vorn_p = " + position + ";\n"
           "  gl_Position = vec4(vorn_p.x + vorn_ClipAdjust.x * vorn_p.w,\n"
           "                     (vorn_p.y + vorn_ClipAdjust.y * vorn_p.w) * vorn_ClipAdjust.z,\n"
           "                     2.0 * vorn_p.z - vorn_p.w, vorn_p.w);\n";
    }
    s += "}\n";
    return s;
  }

  Module& m_;
  FunctionDecl* entry_;
  const Options& opt_;
  Program& prog_;
  Diagnostics& diag_;
  std::unordered_map<std::string, std::string> renamed_;
  std::map<std::string, std::string> helpers_;
  int lastLabel_ = -1;
  int outLine_ = -1;  // line number GLSL gives the next output line; unknown at first
  int indent_ = 0;
};

}  // namespace

void emit(Module& module, FunctionDecl* entry, const Options& options, Program& program, Diagnostics& diag) {
  Emitter(module, entry, options, program, diag).run();
}

}  // namespace hlsl::detail
