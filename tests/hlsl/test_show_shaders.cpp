// The show's five shaders: their bytecode reads without error, and drawn
// through libmojoshader's GLSL of it they give the pixels of the compiler's
// own GLSL path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "bytecode_check.h"
#include "oracle_harness.h"
#include "platform/hlsl/hlsl.h"
#include "shader/shader_source.h"

namespace {

using oracle::Float4;

// Row-vector matrices, one register per row as the constant table lays
// them out.
std::vector<Float4> rotationZ(float degrees, float scale) {
  float a = degrees * 3.14159265f / 180.0f, c = std::cos(a) * scale, s = std::sin(a) * scale;
  return {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
}
std::vector<Float4> rotationX(float degrees) {
  float a = degrees * 3.14159265f / 180.0f, c = std::cos(a), s = std::sin(a);
  return {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}};
}

// The register file a program's constants want, filled by name.
std::vector<Float4> registerFile(const hlsl::Program& p) {
  std::vector<Float4> file(static_cast<size_t>(p.floatRegisterCount), Float4{0, 0, 0, 0});
  for (const hlsl::Constant& c : p.constants) {
    if (c.cls == hlsl::Constant::Class::Sampler) continue;
    std::vector<Float4> value;
    if (c.name == "mvp") value = rotationZ(10, 0.9f);
    else if (c.name == "mvit" || c.name == "mv" || c.name == "m_object") value = rotationX(20);
    else if (c.name == "mat_diffuse") value = {{0.8f, 0.6f, 0.4f, 0.9f}};
    else if (c.name == "mat_ambient") value = {{0.1f, 0.15f, 0.2f, 1}};
    else if (c.name == "mat_specular") value = {{0.5f, 0.5f, 0.5f, 1}};
    else if (c.name == "auxiliar") value = {{0.55f, 0.25f, 0, 0}};
    else if (c.name == "direction") value = {{1, 0, 0, 0}};
    for (size_t r = 0; r < value.size() && r < static_cast<size_t>(c.registerCount); ++r)
      file[static_cast<size_t>(c.registerIndex) + r] = value[r];
  }
  return file;
}

std::vector<std::string> showShaders() {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(std::string(VORN_DATA_DIR) + "/shaders"))
    if (e.path().extension() == ".nsl") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(ShowShaders, BytecodeReadsAndDrawsLikeTheCompilersOwnGlsl) {
  std::vector<std::string> files = showShaders();
  ASSERT_EQ(files.size(), 5u) << "the show has five shader files";
  oracle::Scene scene = oracle::standardScene();
  // Wide enough to cover the target when turned and scaled by mvp.
  for (Float4& corner : scene.vertices["POSITION0"]) corner[0] *= 1.5f, corner[1] *= 1.5f;
  scene.textureSize = 16;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      scene.texture.push_back({x / 15.0f, y / 15.0f, ((x ^ y) & 1) ? 1.0f : 0.2f, 1});
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    VertexProfile profile;
    std::vector<char> vsText(SHADER_TEXT_SIZE, '\0'), psText(SHADER_TEXT_SIZE, '\0');
    ASSERT_TRUE(readShaderSource(file.c_str(), &profile, vsText.data(), psText.data()));
    hlsl::CompileResult vs = hlsl::compile(vsText.data(), "main", "vs_2_0");
    hlsl::CompileResult ps = hlsl::compile(psText.data(), "main", "ps_2_0");
    ASSERT_TRUE(vs.ok) << vs.messages;
    ASSERT_TRUE(ps.ok) << ps.messages;
    EXPECT_EQ(hlsltest::bytecodeErrors(vs.bytecode), "");
    EXPECT_EQ(hlsltest::bytecodeErrors(ps.bytecode), "");
    scene.vsConstants = registerFile(vs.program);
    scene.psConstants = registerFile(ps.program);
    oracle::Picture own, foreign;
    std::string log;
    ASSERT_TRUE(oracle::drawOwn(vs, ps, scene, &own, &log)) << log;
    ASSERT_TRUE(oracle::drawForeign(vs, ps, scene, &foreign, &log)) << log;
    // Not a blank: the quad covers the target and the picture varies.
    float low = 1e9f, high = -1e9f;
    int uncovered = 0;
    for (const Float4& p : own.pixels) {
      uncovered += p[3] == -1.0f;
      low = std::min(low, p[0] + p[1] + p[2]);
      high = std::max(high, p[0] + p[1] + p[2]);
    }
    EXPECT_EQ(uncovered, 0);
    EXPECT_GT(high - low, 0.1f);
    // Both paths run the same operations in float32 on the same rasterizer;
    // they may round differently (a mad for a mul and an add, a literal
    // folded at compile time, rsq for normalize), some ulps on values near
    // 1. A wrong instruction, swizzle or constant moves a pixel by far more
    // than 1e-4, and a step of an 8-bit target is 4e-3.
    EXPECT_LE(oracle::largestDifference(own, foreign), 1e-4f);
  }
}
