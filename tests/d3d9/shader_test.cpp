// Shader programs: register files, linking of vertex and pixel parts (compiled
// shaders and fixed-function code in any pairing), samplers and alpha test.
// The programs here are GLSL written by hand in the compiler's conventions.
#include "d3d9_test_support.h"

namespace vorn::d3d {
// The pixel-source preparation of the program linker (platform/d3d9/programs.h).
std::string preparePixelSource(const std::string& glsl, const hlsl::Program& pixel,
                               const std::vector<std::string>& vertexOutputs);
}  // namespace vorn::d3d

namespace d3dtest {
namespace {

using Shaders = DeviceTest;

// A vertex shader computing mul(position, M) with M in c0..c3, passing colour
// and the first texture coordinate on, as the compiler emits it.
hlsl::Program matrixVertexShader() {
  hlsl::Program p;
  p.stage = hlsl::Stage::Vertex;
  p.floatRegisterCount = 4;
  p.constants.push_back({"m", hlsl::Constant::Class::Matrix, hlsl::Constant::Type::Float, 0, 4, 4, 4, 0});
  p.inputs = {{"POSITION0", 4}, {"COLOR0", 4}, {"TEXCOORD0", 2}};
  p.outputs = {{"COLOR0", 4}, {"TEXCOORD0", 2}};
  p.glsl = R"(#version 330 core
uniform vec4 vorn_c[4];
uniform vec4 vorn_ClipAdjust;
layout(location = 0) in vec4 a_POSITION0;
layout(location = 2) in vec4 a_COLOR0;
layout(location = 4) in vec4 a_TEXCOORD0;
out vec4 v_COLOR0;
out vec4 v_TEXCOORD0;
void main() {
  mat4 m = mat4(vorn_c[0], vorn_c[1], vorn_c[2], vorn_c[3]);
  vec4 p = (m * a_POSITION0);
  v_COLOR0 = clamp(a_COLOR0, 0.0, 1.0);
  v_TEXCOORD0 = vec4(a_TEXCOORD0.xy, 0.0, 1.0);
  gl_Position = vec4(p.x + vorn_ClipAdjust.x * p.w, (p.y + vorn_ClipAdjust.y * p.w) * vorn_ClipAdjust.z,
                     2.0 * p.z - p.w, p.w);
}
)";
  return p;
}

// A pixel shader: colour * c0 + tex2D(s0, uv) * c1 + TEXCOORD3 (which the
// vertex parts here never write), with the alpha test of the conventions.
hlsl::Program tintPixelShader() {
  hlsl::Program p;
  p.stage = hlsl::Stage::Pixel;
  p.floatRegisterCount = 2;
  p.constants.push_back({"tint", hlsl::Constant::Class::Vector, hlsl::Constant::Type::Float, 0, 1, 1, 4, 0});
  p.constants.push_back({"texWeight", hlsl::Constant::Class::Vector, hlsl::Constant::Type::Float, 1, 1, 1, 4, 0});
  p.constants.push_back({"s", hlsl::Constant::Class::Sampler, hlsl::Constant::Type::Sampler2D, 0, 1, 1, 1, 0});
  p.inputs = {{"COLOR0", 4}, {"TEXCOORD0", 2}, {"TEXCOORD3", 4}};
  p.outputs = {{"COLOR0", 4}};
  p.glsl = R"(#version 330 core
uniform vec4 vorn_c[2];
uniform vec4 vorn_PixelAdjust;
uniform vec4 vorn_AlphaTest;
uniform sampler2D vorn_s0;
in vec4 v_COLOR0;
in vec4 v_TEXCOORD0;
in vec4 v_TEXCOORD3;
layout(location = 0) out vec4 vorn_Color0;
void main() {
  vec4 c = ((v_COLOR0 * vorn_c[0]) + (texture(vorn_s0, v_TEXCOORD0.xy) * vorn_c[1])) + v_TEXCOORD3;
  float a8 = floor(clamp(c.a, 0.0, 1.0) * 255.0 + 0.5);
  int f = int(vorn_AlphaTest.x);
  bool pass = f == 0 || f == 8 || (f == 7 && a8 >= vorn_AlphaTest.y) || (f == 5 && a8 > vorn_AlphaTest.y);
  if (!pass) discard;
  vorn_Color0 = c;
}
)";
  return p;
}

class ShaderTest : public Shaders {
 protected:
  void SetUp() override {
    Shaders::SetUp();
    setup2D();
    ASSERT_EQ(VornD3D_CreateVertexShaderFromProgram(device, matrixVertexShader(), &vs), D3D_OK);
    ASSERT_EQ(VornD3D_CreatePixelShaderFromProgram(device, tintPixelShader(), &ps), D3D_OK);
  }
  void TearDown() override {
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    if (vs) vs->Release();
    if (ps) ps->Release();
    Shaders::TearDown();
  }
  // The screen mapping as the register file holds it: row i in c[i].
  void uploadScreenMatrix() {
    D3DMATRIX m = screenMatrix(64, 64);
    ASSERT_EQ(device->SetVertexShaderConstantF(0, &m._11, 4), D3D_OK);
  }
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps = nullptr;
};

TEST_F(ShaderTest, VertexShaderMultipliesByTheUploadedMatrix) {
  uploadScreenMatrix();
  const float white[4] = {1, 1, 1, 1}, zero[4] = {0, 0, 0, 0};
  device->SetPixelShaderConstantF(0, white, 1);
  device->SetPixelShaderConstantF(1, zero, 1);
  device->SetVertexShader(vs);
  device->SetPixelShader(ps);
  clear(kBlack);
  rect(10, 20, 14, 23, kRed);
  read();
  Box box = redBox();
  EXPECT_EQ(box.x0, 10) << VornD3D_LastProgramError(device);
  EXPECT_EQ(box.y0, 20);
  EXPECT_EQ(box.x1, 13);
  EXPECT_EQ(box.y1, 22);
  EXPECT_EQ(box.count, 12) << "shaders get the same pixel centres and row order as fixed function";
}

TEST_F(ShaderTest, RegisterFilesAreSeparateAndSurviveShaderSwitches) {
  uploadScreenMatrix();
  const float green[4] = {0, 1, 0, 1}, zero[4] = {0, 0, 0, 0};
  device->SetPixelShaderConstantF(0, green, 1);  // pixel c0 must not overwrite vertex c0
  device->SetPixelShaderConstantF(1, zero, 1);
  device->SetVertexShader(vs);
  device->SetPixelShader(ps);
  clear(kBlack);
  rect(0, 0, 8, 8, kWhite);
  // Fixed function in between, then the shaders again: constants stay.
  device->SetVertexShader(nullptr);
  device->SetPixelShader(nullptr);
  rect(8, 0, 16, 8, kRed);
  device->SetVertexShader(vs);
  device->SetPixelShader(ps);
  rect(16, 0, 24, 8, kWhite);
  read();
  EXPECT_EQ(at(4, 4), (Rgba{0, 255, 0, 255})) << VornD3D_LastProgramError(device);
  EXPECT_EQ(at(12, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(at(20, 4), (Rgba{0, 255, 0, 255}));
}

TEST_F(ShaderTest, SamplerRegisterReadsItsTextureUnit) {
  uploadScreenMatrix();
  const float zero[4] = {0, 0, 0, 0}, one[4] = {1, 1, 1, 1};
  device->SetPixelShaderConstantF(0, zero, 1);
  device->SetPixelShaderConstantF(1, one, 1);
  IDirect3DTexture9* texture = makeTexture(2, 2, {kRed, kGreen, kBlue, kWhite});
  device->SetTexture(0, texture);
  device->SetVertexShader(vs);
  device->SetPixelShader(ps);
  clear(kBlack);
  rect(0, 0, 2, 2, kWhite);
  read();
  EXPECT_EQ(at(0, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(at(1, 0), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(at(0, 1), (Rgba{0, 0, 255, 255})) << "texture row 1 is the lower row";
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(ShaderTest, FixedFunctionVertexPartFeedsAPixelShader) {
  const float blue[4] = {0, 0, 1, 1}, zero[4] = {0, 0, 0, 0};
  device->SetPixelShaderConstantF(0, blue, 1);
  device->SetPixelShaderConstantF(1, zero, 1);
  device->SetPixelShader(ps);  // no vertex shader: transforms come from SetTransform
  clear(kBlack);
  rect(4, 4, 12, 12, kWhite);
  read();
  EXPECT_EQ(at(8, 8), (Rgba{0, 0, 255, 255})) << VornD3D_LastProgramError(device);
  EXPECT_EQ(at(2, 2), (Rgba{0, 0, 0, 255}));
}

TEST_F(ShaderTest, VertexShaderFeedsTheFixedFunctionPixelPart) {
  uploadScreenMatrix();
  device->SetVertexShader(vs);
  IDirect3DTexture9* texture = makeTexture(1, 1, {0xFF808080u});
  device->SetTexture(0, texture);
  clear(kBlack);
  rect(0, 0, 8, 8, kRed);  // MODULATE(texture, diffuse)
  read();
  EXPECT_NEAR(at(4, 4).r, 128, 1) << VornD3D_LastProgramError(device);
  EXPECT_EQ(at(4, 4).g, 0);
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(ShaderTest, AlphaTestReachesThePixelShader) {
  uploadScreenMatrix();
  const float half[4] = {1, 1, 1, 0.5f}, zero[4] = {0, 0, 0, 0};
  device->SetPixelShaderConstantF(0, half, 1);
  device->SetPixelShaderConstantF(1, zero, 1);
  device->SetVertexShader(vs);
  device->SetPixelShader(ps);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  device->SetRenderState(D3DRS_ALPHAREF, 129);
  clear(kBlack);
  rect(0, 0, 8, 8, kWhite);  // alpha 128 < 129: discarded
  device->SetRenderState(D3DRS_ALPHAREF, 128);
  rect(8, 0, 16, 8, kWhite);
  read();
  EXPECT_EQ(at(4, 4).r, 0);
  EXPECT_EQ(at(12, 4).r, 255);
}

TEST_F(ShaderTest, ProgramsAreLinkedOncePerPairing) {
  uploadScreenMatrix();
  device->SetVertexShader(vs);
  device->SetPixelShader(ps);
  rect(0, 0, 4, 4, kWhite);
  read();  // draws (and links) what is batched
  const std::size_t programs = VornD3D_ProgramCount(device);
  EXPECT_GE(programs, 1u);
  for (int i = 0; i < 5; ++i) {
    device->SetPixelShader(nullptr);
    rect(0, 0, 4, 4, kWhite);
    device->SetPixelShader(ps);
    rect(0, 0, 4, 4, kWhite);
  }
  read();
  EXPECT_EQ(VornD3D_ProgramCount(device), programs + 1) << "one more pairing (shader + fixed function)";
}

TEST_F(ShaderTest, ABrokenShaderDrawsNothingAndReportsWhy) {
  hlsl::Program broken = tintPixelShader();
  broken.glsl = "#version 330 core\nvoid main() { this is not glsl }\n";
  IDirect3DPixelShader9* bad = nullptr;
  ASSERT_EQ(VornD3D_CreatePixelShaderFromProgram(device, broken, &bad), D3D_OK);
  device->SetPixelShader(bad);
  clear(kBlack);
  rect(0, 0, 8, 8, kWhite);
  read();
  EXPECT_EQ(at(4, 4).r, 0);
  EXPECT_NE(VornD3D_LastProgramError(device).find("pixel"), std::string::npos);
  device->SetPixelShader(nullptr);
  bad->Release();
  rect(0, 0, 8, 8, kWhite);
  read();
  EXPECT_EQ(at(4, 4).r, 255) << "fixed function works again";
}

TEST(PixelSource, MissingInputsBecomeZeroAndRegistersAreRenamed) {
  const hlsl::Program ps = tintPixelShader();
  const std::string prepared = vorn::d3d::preparePixelSource(ps.glsl, ps, {"COLOR0", "TEXCOORD0"});
  EXPECT_NE(prepared.find("const vec4 v_TEXCOORD3 = vec4(0.0);"), std::string::npos);
  EXPECT_EQ(prepared.find("in vec4 v_TEXCOORD3;"), std::string::npos);
  EXPECT_NE(prepared.find("in vec4 v_TEXCOORD0;"), std::string::npos);
  EXPECT_NE(prepared.find("uniform vec4 vorn_pc[2];"), std::string::npos);
  EXPECT_NE(prepared.find("vorn_pc[1]"), std::string::npos);
  EXPECT_EQ(prepared.find("vorn_c["), std::string::npos);
  EXPECT_NE(prepared.find("uniform vec4 vorn_PixelAdjust;"), std::string::npos) << "other names untouched";
}

}  // namespace
}  // namespace d3dtest
