// vorn-tool hlsl: JSON on success, the compiler's messages and exit 1 on failure.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "sources.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome runTool(const std::string& args) {
  std::string errFile = testing::TempDir() + "hlsl_tool_stderr.txt";
  std::string cmd = std::string(VORN_BINARY_DIR) + "/vorn-tool hlsl " + args + " 2>" + errFile;
  Outcome o;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return o;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
  int status = pclose(p);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream e(errFile);
  o.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
  return o;
}

std::string writeTemp(const std::string& name, const std::string& text) {
  std::string path = testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

}  // namespace

TEST(HlslTool, PrintsGlslAndConstantsAsJson) {
  std::string path = writeTemp("tool_lambert.hlsl", hlsltest::kLambertVs);
  Outcome o = runTool(path + " --profile vs_2_0");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("{\"glsl\": \"#version 330 core\\n", 0), 0u) << o.out.substr(0, 200);
  EXPECT_NE(o.out.find("{\"name\": \"mvp\", \"register\": 0, \"class\": \"matrix\", \"rows\": 4, \"columns\": 4}"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("{\"name\": \"mat_diffuse\", \"register\": 8, \"class\": \"vector\", \"rows\": 1, \"columns\": 4}"),
            std::string::npos);
  // The text is one JSON string: no raw line breaks or tabs inside it.
  EXPECT_EQ(o.out.find('\n'), o.out.size() - 1);
  std::string ps = writeTemp("tool_lambert_ps.hlsl", hlsltest::kLambertPs);
  o = runTool(ps + " --profile ps_2_0 --entry main");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("\"class\": \"sampler\""), std::string::npos);
}

TEST(HlslTool, CompileErrorsGoToStderrWithExitOne) {
  std::string path = writeTemp("tool_bad.hlsl", "float4 main() : COLOR\n{\nreturn missing;\n}\n");
  Outcome o = runTool(path + " --profile ps_2_0");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.out.empty());
  EXPECT_NE(o.err.find("(3,8): error: undeclared identifier 'missing'"), std::string::npos) << o.err;
  o = runTool(path + " --profile ps_2_0 --entry other");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("entry point 'other' not found"), std::string::npos) << o.err;
}

TEST(HlslTool, AssemblyAndBytecode) {
  std::string ps = writeTemp("tool_asm_ps.hlsl", hlsltest::kLambertPs);
  Outcome o = runTool(ps + " --profile ps_2_0 --asm");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("    ps_2_0\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("    texld r0, t0, s0\n"), std::string::npos) << o.out;
  std::string out = testing::TempDir() + "tool_lambert.ps";
  o = runTool(ps + " --profile ps_2_0 --bytecode " + out);
  ASSERT_EQ(o.status, 0) << o.err;
  std::ifstream written(out, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x00\x02\xff\xff", 4)) << "the ps_2_0 version token";
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\xff\xff\x00\x00", 4)) << "the end token";
  // A shader over its profile's limits: the errors, exit 1, nothing written.
  std::string reads;
  for (int i = 0; i < 40; ++i) reads += "c += tex2D(s, uv + " + std::to_string(i) + ");\n";
  std::string over = writeTemp("tool_over.hlsl", "sampler2D s;\nfloat4 main(float2 uv : TEXCOORD0) : COLOR\n{\nfloat4 c = 0;\n" +
                                                     reads + "return c;\n}\n");
  std::remove(out.c_str());
  o = runTool(over + " --profile ps_2_0 --asm --bytecode " + out);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.out.empty());
  EXPECT_NE(o.err.find("error: ps_2_0 allows at most 32 texture instructions; this shader needs 40"), std::string::npos)
      << o.err;
  EXPECT_FALSE(std::ifstream(out).good());
}

TEST(HlslTool, MissingFileAndBadArguments) {
  Outcome o = runTool(testing::TempDir() + "no_such_shader.hlsl --profile ps_2_0");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("cannot open"), std::string::npos) << o.err;
  EXPECT_TRUE(o.out.empty());
  o = runTool(testing::TempDir() + " --profile ps_2_0");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("is a directory"), std::string::npos) << o.err;
  o = runTool("only_a_file.hlsl");
  EXPECT_NE(o.status, 0);
  EXPECT_NE(o.err.find("usage"), std::string::npos) << o.err;
}
