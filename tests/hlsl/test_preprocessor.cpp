// Macros, conditionals and #line, seen through what the compiler accepts and
// the GLSL it writes.
#include <gtest/gtest.h>

#include "platform/hlsl/hlsl.h"

namespace {

hlsl::CompileResult ps(const std::string& src) { return hlsl::compile(src, "main", "ps_2_0"); }

// Compiles "float4 main() : COLOR { return <expr>; }" after the given lines and
// returns the GLSL of the return statement.
std::string returned(const std::string& prelude, const std::string& expr) {
  hlsl::CompileResult r = ps(prelude + "float4 main() : COLOR { return " + expr + "; }\n");
  EXPECT_TRUE(r.ok) << r.messages;
  size_t at = r.program.glsl.find("return ");
  if (at == std::string::npos) return "";
  return r.program.glsl.substr(at + 7, r.program.glsl.find(';', at) - at - 7);
}

}  // namespace

TEST(HlslPreprocessor, ObjectAndFunctionLikeMacros) {
  EXPECT_EQ(returned("#define BRIGHT 2.5\n", "BRIGHT"), "vec4(2.5)");
  EXPECT_EQ(returned("#define SQ(x) ((x) * (x))\n", "SQ(3.0)"), "vec4((3.0 * 3.0))");
  EXPECT_EQ(returned("#define ADD(a, b) (a + b)\n#define TWICE(x) ADD(x, x)\n", "TWICE(1.5)"), "vec4((1.5 + 1.5))");
  // Arguments with parentheses and commas inside them.
  EXPECT_EQ(returned("#define FIRST(a, b) a\n", "FIRST(float4(1, 2, 3, 4), 0)"), "vec4(1.0, 2.0, 3.0, 4.0)");
  // A function-like macro name without '(' is an ordinary name.
  EXPECT_FALSE(ps("#define F(x) x\nfloat4 main() : COLOR { return F; }\n").ok);
  // A macro does not expand inside itself.
  EXPECT_FALSE(ps("#define LOOP LOOP\nfloat4 main() : COLOR { return LOOP; }\n").ok);
  // #undef removes it.
  hlsl::CompileResult r = ps("#define X 1\n#undef X\nfloat4 main() : COLOR { return X; }\n");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("undeclared identifier 'X'"), std::string::npos);
}

TEST(HlslPreprocessor, Conditionals) {
  const char* prelude =
      "#define LEVEL 2\n"
      "#if LEVEL >= 3\nstatic float v = 3;\n"
      "#elif LEVEL == 2 && defined(LEVEL) && !defined NOTHING\nstatic float v = 2;\n"
      "#else\nstatic float v = 1;\n#endif\n";
  hlsl::CompileResult r = ps(std::string(prelude) + "float4 main() : COLOR { return v; }\n");
  ASSERT_TRUE(r.ok) << r.messages;
  EXPECT_NE(r.program.glsl.find("v = 2.0;"), std::string::npos) << r.program.glsl;
  // Nested, with the inactive branch holding text that would not compile.
  r = ps("#ifdef A\n#if garbage here (\n#error no\n#endif\n#else\n#ifndef B\nfloat4 main() : COLOR { return 1; }\n#endif\n#endif\n");
  EXPECT_TRUE(r.ok) << r.messages;
  // Integer arithmetic, hex, shifts are not HLSL operators but are fine in #if.
  r = ps("#if (0x10 >> 2) * 3 % 5 == 2 && -1 < 0 && (1 ? 7 : 8) == 7\nfloat4 main() : COLOR { return 1; }\n#endif\n");
  EXPECT_TRUE(r.ok) << r.messages;
  // Unknown names in #if are 0.
  r = ps("#if UNDEFINED_NAME\n#error taken\n#endif\nfloat4 main() : COLOR { return 1; }\n");
  EXPECT_TRUE(r.ok) << r.messages;
  r = ps("#if 1\n#else\n#else\n#endif\nfloat4 main() : COLOR { return 1; }\n");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("#else after #else"), std::string::npos);
}

TEST(HlslPreprocessor, LineDirectiveShowsInTheGlsl) {
  // "#line 40" numbers the line after it 40, so the declaration is line 42.
  hlsl::CompileResult r = ps("#line 40\nfloat4 main() : COLOR\n{\nfloat4 c = 1;\nreturn c;\n}\n");
  ASSERT_TRUE(r.ok) << r.messages;
  EXPECT_NE(r.program.glsl.find("#line 42\n  vec4 c = vec4(1.0);"), std::string::npos) << r.program.glsl;
}

TEST(HlslPreprocessor, ContinuationsCommentsAndPragmas) {
  hlsl::CompileResult r = ps(
      "#define LONG(a) \\\n  (a * 2)\n#pragma pack_matrix(row_major)\n/* block\ncomment */ float4 main() : COLOR // tail\n{ return LONG(1.0); }\n");
  EXPECT_TRUE(r.ok) << r.messages;
  r = ps("float4 main() : COLOR { return 1; } /* never closed");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("unterminated comment"), std::string::npos);
}
