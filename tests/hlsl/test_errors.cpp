// Bad sources fail with "(line,column): error: message" pointing at the fault.
#include <gtest/gtest.h>

#include <string>

#include "platform/hlsl/hlsl.h"

namespace {

// "(line,col)" of the first occurrence of needle in src (1-based).
std::string at(const std::string& src, const std::string& needle, size_t skip = 0) {
  size_t pos = src.find(needle);
  for (size_t i = 0; i < skip && pos != std::string::npos; ++i) pos = src.find(needle, pos + 1);
  EXPECT_NE(pos, std::string::npos) << needle;
  int line = 1, col = 1;
  for (size_t i = 0; i < pos; ++i) {
    if (src[i] == '\n') {
      ++line;
      col = 1;
    } else {
      ++col;
    }
  }
  return "(" + std::to_string(line) + "," + std::to_string(col) + ")";
}

hlsl::CompileResult ps(const std::string& src) { return hlsl::compile(src, "main", "ps_2_0"); }
hlsl::CompileResult vs(const std::string& src) { return hlsl::compile(src, "main", "vs_2_0"); }

// The compile failed with an error at 'where' whose message contains 'text'.
void expectError(const hlsl::CompileResult& r, const std::string& where, const std::string& text) {
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.program.glsl.empty());
  EXPECT_NE(r.messages.find(where + ": error: "), std::string::npos) << "expected an error at " << where << ":\n"
                                                                     << r.messages;
  EXPECT_NE(r.messages.find(text), std::string::npos) << "expected '" << text << "' in:\n" << r.messages;
}

int count(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (size_t p = haystack.find(needle); p != std::string::npos; p = haystack.find(needle, p + 1)) ++n;
  return n;
}

}  // namespace

TEST(HlslErrors, UndeclaredIdentifier) {
  std::string src = "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat4 c = float4(uv, 0, 1);\nreturn c * brightness;\n}\n";
  expectError(ps(src), at(src, "brightness"), "undeclared identifier 'brightness'");
}

TEST(HlslErrors, TypeMismatches) {
  std::string sampler = "sampler2D s;\nfloat4 main() : COLOR\n{\nfloat4 c = s;\nreturn c;\n}\n";
  expectError(ps(sampler), at(sampler, "s;", 1), "cannot implicitly convert from 'sampler2D' to 'float4'");
  std::string matrix = "float4x4 m;\nfloat4 main() : COLOR\n{\nfloat3 v = float3(1, 2, 3);\nfloat4x4 n = v;\nreturn n[0];\n}\n";
  expectError(ps(matrix), at(matrix, "v;"), "cannot implicitly convert from 'float3' to 'float4x4'");
  std::string structs = "struct A { float x; };\nstruct B { float x; };\nfloat4 main() : COLOR\n{\nA a = (A)0;\nB b = a;\nreturn b.x;\n}\n";
  expectError(ps(structs), at(structs, "a;"), "cannot implicitly convert from 'A' to 'B'");
  std::string arith = "float4x4 m;\nfloat4 main(float4 c : COLOR0) : COLOR\n{\nreturn c + m;\n}\n";
  expectError(ps(arith), at(arith, "+"), "type mismatch");
}

TEST(HlslErrors, VectorsMayShrinkWithAWarningButNeverGrow) {
  std::string grow = "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat4 c = uv;\nreturn c;\n}\n";
  expectError(ps(grow), at(grow, "uv;"), "cannot implicitly convert from 'float2' to 'float4'");
  std::string ret = "float4 main(float3 n : TEXCOORD0) : COLOR\n{\nreturn n;\n}\n";
  expectError(ps(ret), at(ret, "n;"), "from 'float3' to 'float4'");
  std::string shrink = "float4 main(float4 c : COLOR0) : COLOR\n{\nfloat2 t = c;\nreturn float4(t, 0, 1);\n}\n";
  hlsl::CompileResult r = ps(shrink);
  EXPECT_TRUE(r.ok) << r.messages;
  EXPECT_NE(r.messages.find(at(shrink, "c;") + ": warning: implicit truncation of vector type"), std::string::npos)
      << r.messages;
  std::string cast = "float4 main(float4 c : COLOR0) : COLOR\n{\nfloat2 t = (float2)c;\nreturn float4(t, 0, 1);\n}\n";
  r = ps(cast);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.messages.find("warning"), std::string::npos) << "an explicit cast truncates silently:\n" << r.messages;
  std::string castGrow = "float4 main(float2 c : TEXCOORD0) : COLOR\n{\nreturn (float4)c;\n}\n";
  expectError(ps(castGrow), at(castGrow, "c;"), "cannot convert from 'float2' to 'float4'");
}

TEST(HlslErrors, BadSwizzles) {
  std::string range = "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\nreturn uv.xyzz;\n}\n";
  expectError(ps(range), at(range, "."), "out of range for 'float2'");
  std::string mixed = "float4 main(float4 c : COLOR0) : COLOR\n{\nreturn c.xgba;\n}\n";
  expectError(ps(mixed), at(mixed, ".x"), "invalid swizzle 'xgba'");
  std::string tooLong = "float4 main(float4 c : COLOR0) : COLOR\n{\nreturn c.xyzwx;\n}\n";
  expectError(ps(tooLong), at(tooLong, ".x"), "invalid swizzle");
  std::string dup = "float4 main(float4 c : COLOR0) : COLOR\n{\nfloat4 r = c;\nr.xx = 1;\nreturn r;\n}\n";
  expectError(ps(dup), at(dup, ".xx"), "duplicate components in write mask");
  std::string matrix = "float4x4 m;\nfloat4 main() : COLOR\n{\nreturn m._m44;\n}\n";
  expectError(ps(matrix), at(matrix, "._m44"), "out of range");
  std::string onStruct = "struct S { float a; };\nfloat4 main() : COLOR\n{\nS s = (S)0;\nreturn s.b;\n}\n";
  expectError(ps(onStruct), at(onStruct, ".b"), "'b' is not a member of 'S'");
}

TEST(HlslErrors, MissingSemantics) {
  std::string param = "float4 main(float2 uv) : COLOR\n{\nreturn float4(uv, 0, 1);\n}\n";
  expectError(ps(param), at(param, "uv)"), "parameter 'uv' of the entry point is missing a semantic");
  std::string ret = "float4 main(float2 uv : TEXCOORD0)\n{\nreturn float4(uv, 0, 1);\n}\n";
  expectError(ps(ret), at(ret, "main"), "return value of the entry point is missing a semantic");
  std::string member = "struct O { float4 p : POSITION; float2 uv; };\nO main(float4 p : POSITION)\n{\nO o;\no.p = p;\no.uv = p.xy;\nreturn o;\n}\n";
  expectError(vs(member), at(member, "uv;"), "member 'uv' of the entry point is missing a semantic");
  // A helper function needs no semantics.
  EXPECT_TRUE(ps("float4 f(float4 x) { return x; }\nfloat4 main(float4 c : COLOR0) : COLOR { return f(c); }\n").ok);
}

TEST(HlslErrors, WrongSemanticsForTheStage) {
  std::string input = "float4 main(float4 p : POSITION, float4 b : BLENDINDICES) : POSITION\n{\nreturn p;\n}\n";
  expectError(vs(input), at(input, "b :"), "'BLENDINDICES0' is not a valid vertex shader input semantic");
  std::string pos = "float4 main(float4 p : POSITION) : COLOR\n{\nreturn p;\n}\n";
  expectError(ps(pos), at(pos, "p :"), "'POSITION0' cannot be read by a pixel shader");
  std::string twice = "void main(float4 a : TEXCOORD0, float4 b : texcoord, out float4 c : COLOR) { c = a + b; }\n";
  expectError(ps(twice), at(twice, "b :"), "semantic 'TEXCOORD0' is used twice");
  std::string noPosition = "float4 main(float4 p : POSITION) : TEXCOORD0\n{\nreturn p;\n}\n";
  expectError(vs(noPosition), at(noPosition, "main"), "vertex shader must write POSITION");
  std::string noColor = "float main(float4 p : TEXCOORD0) : DEPTH\n{\nreturn p.z;\n}\n";
  expectError(ps(noColor), at(noColor, "main"), "pixel shader must write COLOR0");
}

TEST(HlslErrors, WrongArgumentCounts) {
  std::string intrinsic = "float4 main(float4 c : COLOR0) : COLOR\n{\nreturn dot(c);\n}\n";
  expectError(ps(intrinsic), at(intrinsic, "dot"), "intrinsic function 'dot' does not take 1 arguments");
  std::string user = "float f(float a, float b) { return a + b; }\nfloat4 main(float4 c : COLOR0) : COLOR\n{\nreturn f(c.x);\n}\n";
  expectError(ps(user), at(user, "f(c"), "function 'f' does not take 1 arguments");
  std::string ctor = "float4 main(float4 c : COLOR0) : COLOR\n{\nreturn float4(c.xy, 1);\n}\n";
  expectError(ps(ctor), at(ctor, "float4(c"), "'float4' constructor needs 4 components, 3 given");
  std::string overload = "float f(float2 a) { return a.x; }\nfloat f(float3 a) { return a.x; }\nfloat4 main(float4 c : COLOR0) : COLOR\n{\nreturn f(c.x);\n}\n";
  expectError(ps(overload), at(overload, "f(c"), "ambiguous call");
  std::string outArg = "void g(out float x) { x = 1; }\nfloat4 main(float4 c : COLOR0) : COLOR\n{\ng(2.0);\nreturn c;\n}\n";
  expectError(ps(outArg), at(outArg, "2.0"), "out argument");
}

TEST(HlslErrors, SyntaxErrorsPointAtTheOffendingToken) {
  std::string semicolon = "float4 main() : COLOR\n{\nfloat a = 1\nfloat b = 2;\nreturn a + b;\n}\n";
  expectError(ps(semicolon), "(4,1)", "expected ';' but found 'float'");
  std::string paren = "float4 main() : COLOR\n{\nreturn (1 + 2;\n}\n";
  expectError(ps(paren), at(paren, ";"), "expected ')'");
  std::string eof = "float4 main() : COLOR\n{\nreturn 1;\n";
  expectError(ps(eof), "(4,1)", "end of file");
  std::string junk = "float4 main() : COLOR\n{\nreturn 1 @ 2;\n}\n";
  expectError(ps(junk), at(junk, "@"), "unexpected character '@'");
  std::string type = "float5 main() : COLOR { return 1; }\n";
  expectError(ps(type), "(1,1)", "unknown type 'float5'");
}

TEST(HlslErrors, SeveralErrorsInOneRun) {
  std::string src =
      "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat a = missing1;\nfloat b = uv.q;\nfloat c = 1\nfloat d = "
      "missing2;\nreturn a + b + d;\n}\n";
  hlsl::CompileResult r = ps(src);
  EXPECT_FALSE(r.ok);
  // The syntax error stops before type checking; a run of only type errors reports them all.
  EXPECT_GE(count(r.messages, ": error: "), 1);
  std::string typeErrors = "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat a = missing1;\nfloat b = uv.q;\nfloat4 c = uv;\nreturn a + b + missing2;\n}\n";
  r = ps(typeErrors);
  EXPECT_EQ(count(r.messages, ": error: "), 4) << r.messages;
  EXPECT_NE(r.messages.find(at(typeErrors, "missing1")), std::string::npos);
  EXPECT_NE(r.messages.find(at(typeErrors, "missing2")), std::string::npos);
  std::string syntax = "float4 main() : COLOR\n{\nfloat a = 1\nfloat b = ;\nreturn a;\n}\nfloat f( { }\n";
  r = ps(syntax);
  EXPECT_GE(count(r.messages, ": error: "), 3) << "the parser recovers at statement ends:\n" << r.messages;
}

TEST(HlslErrors, StatementsOutOfPlace) {
  std::string brk = "float4 main() : COLOR\n{\nbreak;\nreturn 1;\n}\n";
  expectError(ps(brk), at(brk, "break"), "break outside a loop");
  std::string noReturn = "float f(float x) { if (x > 0) return 1; }\nfloat4 main() : COLOR { return f(1); }\n";
  expectError(ps(noReturn), "(1,7)", "not all control paths return a value");
  std::string voidRet = "void f() { return 1; }\nfloat4 main() : COLOR { f(); return 1; }\n";
  expectError(ps(voidRet), at(voidRet, "return"), "void function cannot return a value");
  std::string uniformWrite = "float4 tint;\nfloat4 main() : COLOR\n{\ntint = 1;\nreturn tint;\n}\n";
  expectError(ps(uniformWrite), at(uniformWrite, "tint = "), "'tint' is read-only");
  std::string constWrite = "float4 main() : COLOR\n{\nconst float k = 2;\nk += 1;\nreturn k;\n}\n";
  expectError(ps(constWrite), at(constWrite, "k +="), "'k' is read-only");
  std::string recursion = "float f(float x);\nfloat g(float x) { return f(x); }\nfloat f(float x) { return g(x); }\nfloat4 main() : COLOR { return f(1); }\n";
  expectError(ps(recursion), "", "recursive call");
  std::string undefinedFn = "float f(float x);\nfloat4 main() : COLOR { return f(1); }\n";
  expectError(ps(undefinedFn), at(undefinedFn, "f(1"), "declared but never defined");
  std::string redef = "float4 main() : COLOR\n{\nfloat a = 1;\nfloat a = 2;\nreturn a;\n}\n";
  expectError(ps(redef), at(redef, "a = 2"), "redefinition of 'a'");
  std::string bitwise = "float4 main() : COLOR\n{\nint a = 1 & 2;\nreturn a;\n}\n";
  expectError(ps(bitwise), at(bitwise, "&"), "bitwise operators are not supported");
}

TEST(HlslErrors, StageRestrictions) {
  std::string discard = "float4 main(float4 p : POSITION) : POSITION\n{\nif (p.x < 0) discard;\nreturn p;\n}\n";
  expectError(vs(discard), at(discard, "discard"), "only available in pixel shaders");
  std::string clip = "float4 main(float4 p : POSITION) : POSITION\n{\nclip(p);\nreturn p;\n}\n";
  expectError(vs(clip), at(clip, "clip"), "only available in pixel shaders");
  std::string derivative = "float4 main(float4 p : POSITION) : POSITION\n{\nreturn ddx(p);\n}\n";
  expectError(vs(derivative), at(derivative, "ddx"), "only available in pixel shaders");
  std::string sample = "sampler2D s;\nfloat4 main(float4 p : POSITION) : POSITION\n{\nreturn tex2D(s, p.xy);\n}\n";
  expectError(vs(sample), at(sample, "tex2D"), "tex2Dlod");
  std::string lod = "sampler2D s;\nfloat4 main(float4 p : POSITION) : POSITION\n{\nreturn p + tex2Dlod(s, p);\n}\n";
  expectError(vs(lod), at(lod, "tex2Dlod"), "vs_3_0");
  hlsl::CompileResult vs3 = hlsl::compile(lod, "main", "vs_3_0");
  EXPECT_TRUE(vs3.ok) << vs3.messages;
  // Helpers that the entry point never calls are not held against the stage.
  EXPECT_TRUE(vs("float4 f(float4 x) { clip(x); return x; }\nfloat4 main(float4 p : POSITION) : POSITION { return p; }\n").ok);
}

TEST(HlslErrors, RegisterProblems) {
  std::string overlap = "float4x4 a : register(c0);\nfloat4 b : register(c2);\nfloat4 main() : COLOR { return a[0] + b; }\n";
  expectError(ps(overlap), at(overlap, "b :"), "overlaps the registers of 'a'");
  std::string full = "float4 many[40];\nfloat4 main() : COLOR { return many[1]; }\n";
  expectError(ps(full), at(full, "many"), "ps_2_0 allows at most 32 float constants; this shader needs 40");
  EXPECT_TRUE(vs("float4 many[40];\nfloat4 main(float4 p : POSITION) : POSITION { return p * many[1]; }\n").ok)
      << "vs_2_0 has 256 registers";
  std::string kind = "sampler2D s : register(c0);\nfloat4 main() : COLOR { return tex2D(s, 0); }\n";
  expectError(ps(kind), at(kind, "s :"), "samplers take s registers");
  std::string range = "float4 x : register(c31);\nfloat4x4 y : register(c30);\nfloat4 main() : COLOR { return x + y[0]; }\n";
  expectError(ps(range), at(range, "y :"), "out of range for ps_2_0");
}

TEST(HlslErrors, PreprocessorErrors) {
  std::string unknown = "#frobnicate\nfloat4 main() : COLOR { return 1; }\n";
  expectError(ps(unknown), "(1,1)", "unknown preprocessor directive '#frobnicate'");
  std::string err = "#if 1 + 1 == 2\n#error two is two\n#endif\nfloat4 main() : COLOR { return 1; }\n";
  expectError(ps(err), "(2,1)", "#error two is two");
  std::string open = "#ifdef X\nfloat4 main() : COLOR { return 1; }\n";
  expectError(ps(open), "(1,1)", "unterminated conditional directive");
  std::string include = "#include \"common.h\"\nfloat4 main() : COLOR { return 1; }\n";
  expectError(ps(include), "(1,1)", "#include is not supported");
  std::string div = "#if 1 / 0\n#endif\nfloat4 main() : COLOR { return 1; }\n";
  expectError(ps(div), "(1,1)", "division by zero");
  std::string args = "#define F(a, b) a + b\nfloat4 main() : COLOR { return F(1); }\n";
  expectError(ps(args), at(args, "F(1"), "macro 'F' expects 2 arguments, 1 given");
  std::string stray = "#endif\nfloat4 main() : COLOR { return 1; }\n";
  expectError(ps(stray), "(1,1)", "#endif without #if");
}

TEST(HlslErrors, LineDirectivesRenumberMessages) {
  std::string src = "#line 100\nfloat4 main() : COLOR\n{\nreturn nothing;\n}\n";
  expectError(ps(src), "(102,8)", "undeclared identifier 'nothing'");
}

TEST(HlslErrors, DeepNestingIsAnErrorNotACrash) {
  std::string parens = "float4 main() : COLOR { return " + std::string(20000, '(') + "1" + std::string(20000, ')') + "; }\n";
  hlsl::CompileResult r = ps(parens);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("nesting too deep"), std::string::npos) << r.messages.substr(0, 300);
  std::string blocks = "float4 main() : COLOR " + std::string(20000, '{') + std::string(20000, '}') + "\n";
  r = ps(blocks);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("nesting too deep"), std::string::npos);
  std::string chain = "float4 main() : COLOR { float a = 1; return a";
  for (int i = 0; i < 50000; ++i) chain += " + a";
  chain += "; }\n";
  r = ps(chain);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("expression nested too deeply"), std::string::npos);
  std::string unary = "float4 main() : COLOR { return " + std::string(50000, '-') + "1; }\n";
  EXPECT_FALSE(ps(unary).ok);
  std::string macros = "#define A B B\n#define B C C\n#define C D D\n#define D E E\n#define E F F\n#define F G G\n"
                       "#define G H H\n#define H I I\n#define I J J\n#define J K K\n#define K L L\n#define L M M\n"
                       "#define M N N\n#define N O O\n#define O P P\n#define P Q Q\n#define Q R R\n#define R S S\n"
                       "#define S T T\n#define T U U\n#define U V V\n#define V 1\nfloat4 main() : COLOR { return A; }\n";
  r = ps(macros);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("too many tokens"), std::string::npos) << r.messages.substr(0, 300);
}

TEST(HlslErrors, ErrorFloodIsCapped) {
  std::string src = "float4 main() : COLOR\n{\n";
  for (int i = 0; i < 500; ++i) src += "x" + std::to_string(i) + " = 1;\n";
  src += "return 1;\n}\n";
  hlsl::CompileResult r = ps(src);
  EXPECT_FALSE(r.ok);
  EXPECT_LE(count(r.messages, ": error: "), 60);
  EXPECT_NE(r.messages.find("too many errors"), std::string::npos);
}
