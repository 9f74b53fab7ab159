// The bytecode as a format: the rule checker the other tests rely on
// catches broken shaders, the readers survive damaged bytecode, and the
// assembly printer reads like the reference disassembler.
#include <gtest/gtest.h>

#include <mojoshader.h>

#include <cstring>
#include <random>

#include "bytecode_check.h"
#include "platform/hlsl/hlsl.h"
#include "sources.h"

namespace {

std::vector<std::uint32_t> assemble(const std::string& text) {
  const MOJOSHADER_parseData* data = MOJOSHADER_assemble("test", text.c_str(), static_cast<unsigned>(text.size()),
                                                         nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr,
                                                         nullptr, nullptr, nullptr);
  std::vector<std::uint32_t> out;
  if (data->error_count == 0 && data->output) {
    out.resize(static_cast<size_t>(data->output_len) / 4);
    std::memcpy(out.data(), data->output, out.size() * 4);
  }
  MOJOSHADER_freeParseData(data);
  return out;
}

}  // namespace

TEST(Bytecode, RuleCheckerCatchesBrokenShaders) {
  EXPECT_EQ(hlsltest::ruleViolations(assemble("ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmov oC0, r0\n")), "");
  const char* broken[] = {
      "ps_2_0\ndcl t0\nmov r0, t0.yxzw\nmov oC0, r0\n",                                  // a swizzle ps_2_0 lacks
      "ps_2_0\ndef c1, 1, 1, 1, 1\nadd r0, c0, c1\nmov oC0, r0\n",                       // two constants at once
      "ps_2_0\nmov r0.x, c0\nmov oC0, r0\n",                                             // r0.yzw never written
      "ps_2_0\ndcl t0\nmov oC0.xyz, t0\n",                                               // oC0 written in part
      "ps_2_0\ndcl t0\ndcl_2d s0\ntexld r1.xy, t0, s0\nmov oC0, r1\n",                 // texld into part of r1
      "ps_2_0\ndcl v0\ndcl_2d s0\ntexld r1, v0, s0\nmov oC0, r1\n",                    // texld of a colour input
      "ps_2_0\ndcl t0.xy\nmov r0, t0\nmov oC0, r0\n",                                    // t0.zw not declared
      "ps_2_0\ndef c0, 0.5, 0, 0, 0\ndcl t0\nmov r0, t0\nlrp r0, c0.x, r0, t0\nmov oC0, r0\n",  // lrp over a source
      "vs_2_0\ndcl_position v0\nmov_sat oPos, v0\n",                                     // no _sat before vs_3_0
  };
  for (const char* text : broken) {
    std::vector<std::uint32_t> code = assemble(text);
    ASSERT_FALSE(code.empty()) << text;
    EXPECT_NE(hlsltest::ruleViolations(code), "") << text;
  }
}

TEST(Bytecode, ReadersSurviveDamagedBytecode) {
  hlsl::CompileResult r = hlsl::compile(hlsltest::kLambertPs, "main", "ps_2_0");
  ASSERT_TRUE(r.ok) << r.messages;
  const std::size_t bytes = r.bytecode.size() * 4;
  EXPECT_EQ(hlsl::bytecodeSize(r.bytecode.data(), bytes), bytes);
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint32_t> code = r.bytecode;
    for (int e = 0; e < 1 + static_cast<int>(rng() % 4); ++e) {
      std::uint32_t& word = code[rng() % code.size()];
      word = rng() % 3 == 0 ? static_cast<std::uint32_t>(rng()) : word ^ (1u << (rng() % 32));
    }
    // Each reader stays inside the buffer it is given, whatever the tokens say.
    hlsl::Program program;
    hlsl::ConstantTableInfo table;
    hlsl::bytecodeSize(code.data(), code.size() * 4);
    hlsl::readConstantTable(code.data(), code.size() * 4, &table);
    hlsl::programFromBytecode(code.data(), code.size() * 4, &program);
    hlsl::disassemble(code.data(), code.size());
  }
}

TEST(Bytecode, AssemblyListsTheCodeAndTheConstantTable) {
  hlsl::CompileResult r = hlsl::compile(hlsltest::kLambertPs, "main", "ps_2_0");
  ASSERT_TRUE(r.ok) << r.messages;
  std::string text = hlsl::disassemble(r.bytecode.data(), r.bytecode.size());
  // libmojoshader's own listing of the same tokens, instruction by instruction.
  const MOJOSHADER_parseData* reference =
      MOJOSHADER_parse(MOJOSHADER_PROFILE_D3D, "main", reinterpret_cast<const unsigned char*>(r.bytecode.data()),
                       static_cast<unsigned>(r.bytecode.size() * 4), nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr);
  ASSERT_EQ(reference->error_count, 0);
  std::string expected(reference->output, static_cast<size_t>(reference->output_len));
  MOJOSHADER_freeParseData(reference);
  for (const char* line : {"texld r0, t0, s0", "mul r0, r0, v0", "mov oC0, r0", "dcl_2d s0"}) {
    EXPECT_NE(expected.find(line), std::string::npos) << expected;
    EXPECT_NE(text.find(line), std::string::npos) << text;
  }
  EXPECT_NE(text.find("//   tex0         s0       1"), std::string::npos) << text;
  EXPECT_NE(text.find("approximately 3 instruction slots used (1 texture, 2 arithmetic)"), std::string::npos) << text;
}
