// The limits of ps_2_0 and vs_2_0: a shader exactly at a limit compiles,
// one instruction, register or sampler over it fails, with an error that
// says what the profile allows and what the shader needs.
#include <gtest/gtest.h>

#include <string>

#include "bytecode_check.h"
#include "platform/hlsl/hlsl.h"

namespace {

// A chain of dependent steps, one mad each: the shader's arithmetic count
// grows by one per step.
std::string pixelChain(int steps) {
  std::string s = "float4 main(float4 t : TEXCOORD0) : COLOR\n{\nfloat4 x = t;\n";
  for (int i = 0; i < steps; ++i) s += "x = x * 1.5 + 0.25;\n";
  return s + "return x;\n}\n";
}

std::string vertexChain(int steps) {
  std::string s = "float4 main(float4 p : POSITION) : POSITION\n{\n";
  for (int i = 0; i < steps; ++i) s += "p = p * 1.5 + 0.25;\n";
  return s + "return p;\n}\n";
}

// The chain whose count (read by 'count') is exactly 'limit'.
template <typename Source, typename Count>
int stepsForCount(Source source, const char* profile, int limit, Count count) {
  for (int steps = 1; steps < 2 * limit; ++steps) {
    hlsl::CompileResult r = hlsl::compile(source(steps), "main", profile);
    if (r.ok && count(r.stats) == limit) return steps;
  }
  return -1;
}

std::string samplers(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "sampler2D s" + std::to_string(i) + " : register(s" + std::to_string(i) + ");\n";
  return s;
}

// 'reads' texture reads of t0 and t1 through the first samplers, summed.
std::string textureReads(int reads) {
  std::string s = samplers(16) + "float4 main(float2 a : TEXCOORD0, float2 b : TEXCOORD1) : COLOR\n{\nfloat4 sum = 0;\n";
  for (int i = 0; i < reads; ++i)
    s += "sum += tex2D(s" + std::to_string(i % 16) + ", " + (i < 16 ? "a" : i < 32 ? "b" : "a * 0.5") + ");\n";
  return s + "return sum;\n}\n";
}

// 'live' texture reads held at once, then combined.
std::string liveValues(int live) {
  std::string s = samplers(live) + "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\n";
  for (int i = 0; i < live; ++i) s += "float4 a" + std::to_string(i) + " = tex2D(s" + std::to_string(i) + ", uv);\n";
  s += "return a0";
  for (int i = 1; i < live; ++i) s += " * a" + std::to_string(i);
  return s + ";\n}\n";
}

std::string constants(const char* stage, int count) {
  std::string s = "float4 k[" + std::to_string(count) + "];\n";
  s += std::string(stage) == "ps" ? "float4 main() : COLOR\n{\nfloat4 sum = 0;\n"
                                  : "float4 main(float4 p : POSITION) : POSITION\n{\nfloat4 sum = p;\n";
  s += "for (int i = 0; i < " + std::to_string(count) + "; ++i) sum += k[i];\nreturn sum;\n}\n";
  return s;
}

std::string dependentReads(int levels) {
  std::string s = "sampler2D s : register(s0);\nfloat4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat4 c = tex2D(s, uv);\n";
  for (int i = 1; i < levels; ++i) s += "c = tex2D(s, c.xy);\n";
  return s + "return c;\n}\n";
}

void expectFits(const std::string& source, const char* profile) {
  hlsl::CompileResult r = hlsl::compile(source, "main", profile);
  ASSERT_TRUE(r.ok) << r.messages << source;
  EXPECT_EQ(hlsltest::bytecodeErrors(r.bytecode), "");
}

void expectOver(const std::string& source, const char* profile, const std::string& message) {
  hlsl::CompileResult r = hlsl::compile(source, "main", profile);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.bytecode.empty());
  EXPECT_NE(r.messages.find("): error: " + message), std::string::npos) << r.messages;
}

}  // namespace

TEST(HlslLimits, PixelShaderInstructionSlots) {
  auto arithmetic = [](const hlsl::ShaderStats& s) { return s.arithmeticSlots; };
  int steps = stepsForCount(pixelChain, "ps_2_0", 64, arithmetic);
  ASSERT_GT(steps, 0);
  expectFits(pixelChain(steps), "ps_2_0");
  expectOver(pixelChain(steps + 1), "ps_2_0", "ps_2_0 allows at most 64 arithmetic instructions; this shader needs 65");
  // The error points at the first step over the limit.
  hlsl::CompileResult r = hlsl::compile(pixelChain(steps + 16), "main", "ps_2_0");
  EXPECT_NE(r.messages.find("(" + std::to_string(5 + steps) + ","), std::string::npos) << r.messages;

  hlsl::CompileResult at = hlsl::compile(textureReads(32), "main", "ps_2_0");
  ASSERT_TRUE(at.ok) << at.messages;
  EXPECT_EQ(at.stats.textureSlots, 32);
  expectOver(textureReads(33), "ps_2_0", "ps_2_0 allows at most 32 texture instructions; this shader needs 33");
}

TEST(HlslLimits, PixelShaderRegisters) {
  expectFits(liveValues(12), "ps_2_0");
  expectOver(liveValues(13), "ps_2_0", "ps_2_0 allows at most 12 temporary registers; this shader needs 13");
  expectFits(constants("ps", 32), "ps_2_0");
  expectOver(constants("ps", 33), "ps_2_0", "ps_2_0 allows at most 32 float constants; this shader needs 33");
  // Literals take def registers beside the constants.
  expectOver("float4 k[31];\nfloat4 main() : COLOR { return k[0] * 0.25 + k[30] * float4(1, 2, 3, 4); }\n", "ps_2_0",
             "ps_2_0 allows at most 32 float constants; this shader needs 33");
  expectFits(textureReads(16), "ps_2_0");
  std::string seventeen;
  for (int i = 0; i < 17; ++i) seventeen += "sampler2D s" + std::to_string(i) + ";\n";
  seventeen += "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat4 sum = 0;\n";
  for (int i = 0; i < 17; ++i) seventeen += "sum += tex2D(s" + std::to_string(i) + ", uv);\n";
  expectOver(seventeen + "return sum;\n}\n", "ps_2_0", "ps_2_0 allows at most 16 samplers; this shader needs 17");
}

TEST(HlslLimits, PixelShaderInputsAndDependentReads) {
  expectFits("float4 main(float4 t : TEXCOORD7, float4 c : COLOR1) : COLOR { return t * c; }\n", "ps_2_0");
  expectOver("float4 main(float4 t : TEXCOORD8) : COLOR { return t; }\n", "ps_2_0",
             "ps_2_0 allows at most 8 texture-coordinate inputs (TEXCOORD0 to TEXCOORD7); 'TEXCOORD8' is not one of them");
  expectOver("float4 main(float4 c : COLOR2) : COLOR { return c; }\n", "ps_2_0",
             "ps_2_0 allows at most 2 colour inputs (COLOR0 to COLOR1); 'COLOR2' is not one of them");
  expectFits(dependentReads(4), "ps_2_0");
  expectOver(dependentReads(5), "ps_2_0", "ps_2_0 allows at most 4 levels of dependent texture reads; this shader needs 5");
}

TEST(HlslLimits, FlowControl) {
  // Loops with a bound known at compile time unroll; run-time conditions
  // become selections; a loop whose end depends on a constant does not fit.
  expectFits("float4 main(float4 t : TEXCOORD0) : COLOR\n{\nfloat4 s = 0;\nfor (int i = 0; i < 8; ++i) { if (t.x > i) break; s += t; }\nreturn s;\n}\n",
             "ps_2_0");
  const std::string loop = "int n;\nfloat4 main(float4 t : TEXCOORD0) : COLOR\n{\nfloat4 s = 0;\nfor (int i = 0; i < n; ++i) s += t;\nreturn s;\n}\n";
  expectOver(loop, "ps_2_0", "ps_2_0 has no flow control");
  const std::string vertexLoop = "int n;\nfloat4 main(float4 p : POSITION) : POSITION\n{\nfor (int i = 0; i < n; ++i) p *= 0.5;\nreturn p;\n}\n";
  expectOver(vertexLoop, "vs_2_0", "vs_2_0 allows only static flow control");
}

TEST(HlslLimits, VertexShader) {
  auto slots = [](const hlsl::ShaderStats& s) { return s.instructionSlots; };
  int steps = stepsForCount(vertexChain, "vs_2_0", 256, slots);
  ASSERT_GT(steps, 0);
  expectFits(vertexChain(steps), "vs_2_0");
  expectOver(vertexChain(steps + 1), "vs_2_0", "vs_2_0 allows at most 256 instruction slots; this shader needs 257");
  expectFits(constants("vs", 256), "vs_2_0");
  expectOver(constants("vs", 257), "vs_2_0", "vs_2_0 allows at most 256 float constants; this shader needs 257");
  // Thirteen products held at once need thirteen temporaries.
  auto products = [](int live) {
    std::string s = "float4 k[13];\nfloat4 main(float4 p : POSITION, float4 q : NORMAL) : POSITION\n{\n";
    for (int i = 0; i < live; ++i) s += "float4 a" + std::to_string(i) + " = p * k[" + std::to_string(i) + "] + q;\n";
    s += "return a0";
    for (int i = 1; i < live; ++i) s += " * a" + std::to_string(i);
    return s + ";\n}\n";
  };
  expectFits(products(12), "vs_2_0");
  expectOver(products(13), "vs_2_0", "vs_2_0 allows at most 12 temporary registers; this shader needs 13");
}
