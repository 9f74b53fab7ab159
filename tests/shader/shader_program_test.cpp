// Shader programs on the real device: which halves are made, the compile
// failure messages, and the constants bind and setVector deliver.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "graphics/device_fixture.h"
#include "hlsl/bytecode_check.h"
#include "graphics/transforms.h"
#include "shader/shader_program.h"

namespace {

namespace fs = std::filesystem;

const char* const kProfile =
    "#preprocessor commands\n"
    "#define POSITION 1\n"
    "VertexProfileCreate(1)\n"
    "VertexProfileSet(0,0,3,POSITION,0)\n";

const char* const kVertexShader =
    "#preprocessor HLSL_VS\n"
    "float4x4 mvp;\n"
    "float4 offset;\n"
    "float4 main(float4 p : POSITION) : POSITION { return mul(p, mvp) + offset; }\n";

const char* const kPixelShader =
    "#preprocessor HLSL_PS\n"
    "float4 tint;\n"
    "float4 main() : COLOR { return tint; }\n";

class ShaderProgramTest : public DeviceTest {
 protected:
  void TearDown() override {
    for (const fs::path& p : files) fs::remove(p);
    DeviceTest::TearDown();
  }

  std::string write(const std::string& content) {
    const fs::path p = fs::temp_directory_path() /
                       ("vorn_program_" + std::to_string(::getpid()) + "_" + std::to_string(files.size()) + ".nsl");
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fputs(content.c_str(), f);
    std::fclose(f);
    files.push_back(p);
    return p.string();
  }

  // Loads the program; what compiles must also read back as bytecode.
  ShaderProgram* load(const std::string& content) {
    const std::string path = write(content);
    EXPECT_EQ(hlsltest::shaderFileErrors(path), "");
    return ShaderProgram::load(path.c_str());
  }

  static void destroy(ShaderProgram* program) {
    ShaderProgram::release(program);
    delete program;
  }

  // Draws a quad over the whole clip space with the bound program.
  void drawQuad() {
    const float quad[4][3] = {{-1, -1, 0.5f}, {1, -1, 0.5f}, {-1, 1, 0.5f}, {1, 1, 0.5f}};
    graphics->device->BeginScene();
    graphics->device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
    graphics->device->EndScene();
  }

  void identityTransforms() {
    graphics->currentTransform = D3DTS_PROJECTION;
    loadIdentity();
    graphics->currentTransform = D3DTS_VIEW;
    loadIdentity();
  }

  std::vector<fs::path> files;
};

TEST_F(ShaderProgramTest, MissingFileGivesNullWithoutMessage) {
  EXPECT_EQ(ShaderProgram::load("no\\such\\shader.nsl"), nullptr);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ShaderProgramTest, BothHalvesCompile) {
  ShaderProgram* program = load(std::string(kProfile) + kVertexShader + kPixelShader + "#end\n");
  ASSERT_NE(program, nullptr);
  EXPECT_TRUE(messages.empty());
  EXPECT_NE(program->vertexDeclaration, nullptr);
  EXPECT_NE(program->vertexShader, nullptr);
  EXPECT_NE(program->vertexConstants, nullptr);
  EXPECT_NE(program->pixelShader, nullptr);
  EXPECT_NE(program->pixelConstants, nullptr);
  destroy(program);
}

TEST_F(ShaderProgramTest, PixelOnlyProgram) {
  ShaderProgram* program = load(std::string(kProfile) + kPixelShader + "#end\n");
  ASSERT_NE(program, nullptr);
  EXPECT_NE(program->vertexDeclaration, nullptr);
  EXPECT_NE(program->pixelShader, nullptr);
  EXPECT_NE(program->pixelConstants, nullptr);
  EXPECT_EQ(program->vertexShader, nullptr);
  EXPECT_EQ(program->vertexConstants, nullptr);
  // Binding and setting constants on it do no harm.
  ShaderProgram::bind(program);
  ShaderProgram::setVector(program, "tint", 1, 0, 0, 1);
  destroy(program);
}

TEST_F(ShaderProgramTest, AnEmptyLineIsNoVertexShader) {
  ShaderProgram* program = load("#preprocessor HLSL_VS\n\n" + std::string(kPixelShader) + "#end\n");
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(program->vertexShader, nullptr);
  EXPECT_NE(program->pixelShader, nullptr);
  destroy(program);
}

TEST_F(ShaderProgramTest, VertexCompileFailureStopsBeforeThePixelShader) {
  const std::string brokenPixel = "#preprocessor HLSL_PS\nfloat4 main() : COLOR { return undefined_thing; }\n";
  ShaderProgram* program =
      load("#preprocessor HLSL_VS\nfloat4 main( : POSITION { syntax error\n" + brokenPixel + "#end\n");
  EXPECT_EQ(program, nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "HLSL VertexShader Compile Failure");
  EXPECT_FALSE(messages[0].second.empty());
}

TEST_F(ShaderProgramTest, PixelCompileFailure) {
  ShaderProgram* program =
      load(std::string(kVertexShader) + "#preprocessor HLSL_PS\nfloat4 main() : COLOR { return nope; }\n#end\n");
  EXPECT_EQ(program, nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "HLSL PixelShader Compile Failure");
  EXPECT_FALSE(messages[0].second.empty());
}

TEST_F(ShaderProgramTest, APixelShaderOverItsProfilesLimitsShowsTheBox) {
  // Forty texture reads: more than ps_2_0 holds.
  std::string reads;
  for (int i = 0; i < 40; ++i) reads += "c += tex2D(s, uv * " + std::to_string(i + 1) + ");\n";
  ShaderProgram* program = load(std::string(kVertexShader) +
                                "#preprocessor HLSL_PS\nsampler2D s;\nfloat4 main(float2 uv : TEXCOORD0) : COLOR\n{\n"
                                "float4 c = 0;\n" + reads + "return c;\n}\n#end\n");
  EXPECT_EQ(program, nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "HLSL PixelShader Compile Failure");
  EXPECT_NE(messages[0].second.find("error: ps_2_0 allows at most 32 texture instructions; this shader needs 40"),
            std::string::npos)
      << messages[0].second;
}

TEST_F(ShaderProgramTest, NullProgramsAreHarmless) {
  ShaderProgram::bind(nullptr);
  ShaderProgram::setVector(nullptr, "tint", 1, 1, 1, 1);
  ShaderProgram::release(nullptr);
  ShaderProgram empty;
  ShaderProgram::bind(&empty);
  ShaderProgram::setVector(&empty, "tint", 1, 1, 1, 1);
  ShaderProgram::release(&empty);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ShaderProgramTest, ConstantsReachTheirShaders) {
  ShaderProgram* program = load(std::string(kProfile) + kVertexShader + kPixelShader + "#end\n");
  ASSERT_NE(program, nullptr);
  graphics->clearColor = {0, 0, 0, 1};
  graphics->clear();
  identityTransforms();
  ShaderProgram::bind(program);
  // "tint" only the pixel shader declares; "offset" only the vertex shader.
  ShaderProgram::setVector(program, "tint", 1, 0, 0, 1);
  ShaderProgram::setVector(program, "offset", 0, 0, 0, 0);
  ShaderProgram::setVector(program, "not_declared", 0, 1, 0, 1);
  drawQuad();
  std::vector<std::uint8_t> p = pixel(32, 24);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 0);

  // Moving the quad through the vertex shader's own constant.
  graphics->clear();
  ShaderProgram::setVector(program, "offset", 3, 0, 0, 0);
  drawQuad();
  EXPECT_EQ(pixel(32, 24)[0], 0);
  destroy(program);
}

TEST_F(ShaderProgramTest, EveryBindReadsTheTransformsAfresh) {
  ShaderProgram* program = load(std::string(kProfile) + kVertexShader + kPixelShader + "#end\n");
  ASSERT_NE(program, nullptr);
  identityTransforms();
  ShaderProgram::bind(program);
  ShaderProgram::setVector(program, "tint", 0, 1, 0, 1);
  ShaderProgram::setVector(program, "offset", 0, 0, 0, 0);
  graphics->clearColor = {0, 0, 0, 1};
  graphics->clear();
  drawQuad();
  EXPECT_EQ(pixel(32, 24)[1], 255);

  // The view moves the quad out of sight: mvp = view x projection.
  D3DXMATRIX away;
  D3DXMatrixTranslation(&away, 5.0f, 0.0f, 0.0f);
  multiplyTransform(away);
  ShaderProgram::bind(program);
  graphics->clear();
  drawQuad();
  EXPECT_EQ(pixel(32, 24)[1], 0);

  // Back to the identity: visible again.
  loadIdentity();
  ShaderProgram::bind(program);
  graphics->clear();
  drawQuad();
  EXPECT_EQ(pixel(32, 24)[1], 255);
  destroy(program);
}

}  // namespace
