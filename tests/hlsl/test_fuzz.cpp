// Robustness: random bytes, mutated shaders and token soup must give errors
// (or a program), never a crash or a hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <random>
#include <string>

#include "bytecode_check.h"
#include "gl_harness.h"
#include "platform/hlsl/hlsl.h"
#include "sources.h"

namespace {

// When set, every program that compiles is also compiled by the GL driver.
hlsltest::GlHarness* driver = nullptr;
int driverChecked = 0;

void compileBoth(const std::string& src, int* failures) {
  for (const char* profile : {"vs_2_0", "ps_2_0"}) {
    hlsl::CompileResult r = hlsl::compile(src, "main", profile);
    ASSERT_EQ(r.messages.find("internal compiler error"), std::string::npos) << src;
    if (!r.ok) {
      ++*failures;
      // A failure always explains itself in the documented format.
      ASSERT_FALSE(r.messages.empty());
      ASSERT_EQ(r.messages[0], '(') << r.messages;
      ASSERT_NE(r.messages.find("): error: "), std::string::npos) << r.messages;
      ASSERT_TRUE(r.program.glsl.empty());
      ASSERT_TRUE(r.bytecode.empty());
    } else {
      ASSERT_EQ(r.program.glsl.rfind("#version 330 core\n", 0), 0u);
      ASSERT_EQ(hlsltest::bytecodeErrors(r.bytecode), "") << "accepted source:\n" << src;
      // What compiles must also survive the blob.
      hlsl::Program back;
      ASSERT_TRUE(hlsl::deserialize(hlsl::serialize(r.program).data(), &back));
      ASSERT_EQ(back.glsl, r.program.glsl);
      if (driver) {
        std::string log;
        ++driverChecked;
        ASSERT_TRUE(driver->compiles(r.program, &log)) << "accepted source:\n" << src << "\ndriver:\n" << log;
      }
    }
  }
}

}  // namespace

TEST(HlslFuzz, RandomBytes) {
  std::mt19937 rng(1234);
  int failures = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string s(rng() % 300, '\0');
    for (char& c : s) c = static_cast<char>(rng() % 256);
    compileBoth(s, &failures);
  }
  EXPECT_GT(failures, 2900);
}

TEST(HlslFuzz, MutatedShaders) {
  const char* seeds[] = {hlsltest::kLambertVs, hlsltest::kLambertPs, hlsltest::kBlurPs, hlsltest::kRevealVs,
                         hlsltest::kRevealPs, hlsltest::kLoadingPs};
  const char* inserts[] = {"(", ")", "{", "}", ";", ",", ".", "float4", "struct", "#define X(a) a a\n", "#if 1\n",
                           "#endif\n", "[", "]", "=", "+=", "?", ":", "mul(", "return", "for(;;)", "discard;",
                           "\"", "/*", "\\\n", "0x", "1e", "++", "x", ".xyzw", "(float4x4)", "{1,2}", "register(c", "#line 9\n"};
  std::string why;
  driver = hlsltest::GlHarness::get(&why);
  ASSERT_NE(driver, nullptr) << why;
  driverChecked = 0;
  std::mt19937 rng(99);
  int failures = 0;
  for (int i = 0; i < 2500; ++i) {
    std::string s = seeds[rng() % 6];
    int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
      size_t pos = rng() % (s.size() + 1);
      switch (rng() % 4) {
        case 0: s.insert(pos, inserts[rng() % (sizeof inserts / sizeof *inserts)]); break;
        case 1: if (pos < s.size()) s.erase(pos, 1 + rng() % 8); break;
        case 2: if (pos < s.size()) s[pos] = static_cast<char>(32 + rng() % 95); break;
        case 3: {  // duplicate a slice
          size_t from = rng() % s.size();
          s.insert(pos, s.substr(from, rng() % 40));
          break;
        }
      }
    }
    compileBoth(s, &failures);
  }
  driver = nullptr;
  EXPECT_GT(failures, 0);
}

// Swaps tokens for others of the same kind (types, swizzles, operators,
// literals, intrinsics): many of these still compile, in odd combinations,
// and the driver must accept every one that does.
TEST(HlslFuzz, AcceptedVariantsCompileInTheDriver) {
  std::string why;
  driver = hlsltest::GlHarness::get(&why);
  ASSERT_NE(driver, nullptr) << why;
  driverChecked = 0;
  const std::vector<std::vector<std::string>> classes = {
      {"float", "float2", "float3", "float4", "int", "int2", "int4", "bool", "bool3", "half3", "float2x2",
       "float3x3", "float4x3", "float4x4"},
      {"x", "y", "xy", "yx", "xyz", "rgb", "xxxx", "w", "zyx", "xyzw", "ba", "_m00", "_m11_m22", "_11"},
      {"+", "-", "*", "/", "%", "<", ">=", "==", "!=", "&&", "||"},
      {"0", "1", "2.5", "0.5h", "3", "1e2", "true", "false"},
      {"saturate", "frac", "abs", "normalize", "sin", "floor", "exp2", "rsqrt", "sign", "round", "ddx", "ddy",
       "length", "any", "all", "transpose", "determinant", "isfinite"},
      {"+=", "-=", "*=", "/=", "%=", "="},
      {"mul", "dot", "min", "max", "pow", "step", "atan2", "fmod", "distance", "cross", "reflect", "lerp"},
  };
  const char* seeds[] = {hlsltest::kLambertVs, hlsltest::kLambertPs, hlsltest::kBlurPs, hlsltest::kRevealVs,
                         hlsltest::kRevealPs, hlsltest::kLoadingPs, hlsltest::kMixedPs};
  std::mt19937 rng(2024);
  int failures = 0;
  for (int i = 0; i < 2500; ++i) {
    // Split into identifier/number runs and single other characters.
    std::string seed = seeds[rng() % (sizeof seeds / sizeof *seeds)];
    std::vector<std::string> toks;
    for (size_t k = 0; k < seed.size();) {
      size_t e = k;
      auto word = [&](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; };
      if (word(seed[k])) {
        while (e < seed.size() && word(seed[e])) ++e;
      } else if (k + 1 < seed.size() && std::string("+-*/%<>=!&|").find(seed[k]) != std::string::npos &&
                 std::string("=&|").find(seed[k + 1]) != std::string::npos) {
        e = k + 2;
      } else {
        e = k + 1;
      }
      toks.push_back(seed.substr(k, e - k));
      k = e;
    }
    int edits = 1 + static_cast<int>(rng() % 3);
    for (int n = 0; n < edits; ++n) {
      size_t t = rng() % toks.size();
      for (const auto& cls : classes) {
        if (std::find(cls.begin(), cls.end(), toks[t]) != cls.end()) {
          toks[t] = cls[rng() % cls.size()];
          break;
        }
        // a ".xy" style member access: swap the swizzle after the dot
        if (toks[t].find('.') != std::string::npos && &cls == &classes[1] && rng() % 2) {
          toks[t] = toks[t].substr(0, toks[t].rfind('.') + 1) + cls[rng() % cls.size()];
          break;
        }
      }
    }
    std::string s;
    for (const std::string& tk : toks) s += tk;
    compileBoth(s, &failures);
  }
  driver = nullptr;
  EXPECT_GT(driverChecked, 300) << "enough variants compile to exercise the emitter";
  std::printf("[ info ] %d accepted variants compiled by the driver\n", driverChecked);
}

TEST(HlslFuzz, TokenSoup) {
  const char* words[] = {"float", "float2", "float4", "float4x4", "int", "bool", "struct", "S", "{", "}", "(",
                         ")", "[", "]", ";", ",", "=", "+", "*", "-", "/", "%", "<", ">", "&&", "||", "!", "?",
                         ":", ".", "x", "xy", "main", "return", "if", "else", "for", "while", "do", "break",
                         "mul", "tex2D", "sampler2D", "static", "const", "uniform", "in", "out", "inout",
                         "COLOR", "POSITION", "TEXCOORD0", "1", "2.5", "0x7fffffff", "99999999999", "#",
                         "\n#define A A B\n", "\n#if A\n", "\n#endif\n", "true", "discard", "clip"};
  std::mt19937 rng(5);
  int failures = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string s;
    int n = static_cast<int>(rng() % 120);
    for (int k = 0; k < n; ++k) {
      s += words[rng() % (sizeof words / sizeof *words)];
      s += ' ';
    }
    compileBoth(s, &failures);
  }
  EXPECT_GT(failures, 0);
}

TEST(HlslFuzz, LargeInputsAreFine) {
  // A long but valid shader: many statements and many small functions.
  std::string src = "float4 tint;\n";
  for (int i = 0; i < 300; ++i)
    src += "float f" + std::to_string(i) + "(float x) { return x * " + std::to_string(i) + ".5 + 1; }\n";
  src += "float4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat a = uv.x;\n";
  for (int i = 0; i < 3000; ++i) src += "a = f" + std::to_string(i % 300) + "(a) * 0.001;\n";
  src += "return tint * a;\n}\n";
  // Far over ps_2_0's limits: refused in a moment, with what it needs.
  hlsl::CompileResult r = hlsl::compile(src, "main", "ps_2_0");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.messages.find("ps_2_0 allows at most 64 arithmetic instructions; this shader needs"), std::string::npos)
      << r.messages.substr(0, 500);
  // Half a megabyte of comments and white space.
  std::string padded = std::string(500000, ' ') + "// x\n" + hlsltest::kLambertPs;
  EXPECT_TRUE(hlsl::compile(padded, "main", "ps_2_0").ok);
}
