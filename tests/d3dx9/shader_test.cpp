// D3DXCompileShader and the constant table, through to pixels: a vertex
// shader with mul by an uploaded matrix, a full-screen pixel shader, the
// register layout the constant table writes, and compile errors.
#include <string>

#include "d3d9/d3d9_test_support.h"
#include "platform/d3dx9/d3dx9.h"
#include "hlsl/bytecode_check.h"
#include "platform/hlsl/hlsl.h"

namespace d3dtest {
namespace {

const char* kVertexSource = R"(
float4x4 mvp;
float4 offset;
struct VS_OUT {
  float4 pos : POSITION;
  float4 color : COLOR0;
  float2 uv : TEXCOORD0;
};
VS_OUT main(float4 pos : POSITION, float4 color : COLOR0, float2 uv : TEXCOORD0) {
  VS_OUT o;
  o.pos = mul(pos + offset, mvp);
  o.color = color;
  o.uv = uv;
  return o;
}
)";

const char* kPixelSource = R"(
float4 tint;
float weights[3];
sampler2D tex : register(s0);
float4 main(float4 color : COLOR0, float2 uv : TEXCOORD0) : COLOR {
  float4 t = tex2D(tex, uv);
  return float4(t.rgb * tint.rgb * weights[2], 1.0) + color * weights[0];
}
)";

class CompiledShaders : public DeviceTest {
 protected:
  HRESULT compile(const char* source, const char* profile, ID3DXBuffer** code, ID3DXConstantTable** table,
                  std::string* errors = nullptr) {
    ID3DXBuffer* messages = nullptr;
    HRESULT hr = D3DXCompileShader(source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr, "main", profile,
                                   0, code, &messages, table);
    if (messages) {
      if (errors) *errors = static_cast<const char*>(messages->GetBufferPointer());
      messages->Release();
    }
    // What compiles reads back as bytecode.
    if (SUCCEEDED(hr) && code && *code) {
      const auto* words = static_cast<const std::uint32_t*>((*code)->GetBufferPointer());
      EXPECT_EQ(hlsltest::bytecodeErrors({words, words + (*code)->GetBufferSize() / 4}), "");
    }
    return hr;
  }

  void TearDown() override {
    if (device) {
      device->SetVertexShader(nullptr);
      device->SetPixelShader(nullptr);
      device->SetTexture(0, nullptr);
    }
    DeviceTest::TearDown();
  }
};

TEST_F(CompiledShaders, VertexShaderMulByAnUploadedMatrixAndFullScreenPixelShader) {
  ID3DXBuffer* vsCode = nullptr;
  ID3DXBuffer* psCode = nullptr;
  ID3DXConstantTable* vsTable = nullptr;
  ID3DXConstantTable* psTable = nullptr;
  std::string errors;
  ASSERT_EQ(compile(kVertexSource, "vs_2_0", &vsCode, &vsTable, &errors), D3D_OK) << errors;
  ASSERT_EQ(compile(kPixelSource, "ps_2_0", &psCode, &psTable, &errors), D3D_OK) << errors;
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps = nullptr;
  ASSERT_EQ(device->CreateVertexShader(static_cast<const DWORD*>(vsCode->GetBufferPointer()), &vs), D3D_OK);
  ASSERT_EQ(device->CreatePixelShader(static_cast<const DWORD*>(psCode->GetBufferPointer()), &ps), D3D_OK);
  IDirect3DPixelShader9* wrong = nullptr;
  EXPECT_EQ(device->CreatePixelShader(static_cast<const DWORD*>(vsCode->GetBufferPointer()), &wrong),
            D3DERR_INVALIDCALL)
      << "vertex code is no pixel shader";
  EXPECT_EQ(wrong, nullptr);
  vsCode->Release();
  psCode->Release();

  D3DXMATRIX mvp(screenMatrix(64, 64).m[0]);
  ASSERT_NE(vsTable->GetConstantByName(nullptr, "mvp"), nullptr);
  EXPECT_EQ(vsTable->GetConstantByName(nullptr, "missing"), nullptr);
  EXPECT_EQ(vsTable->SetMatrix(device, "mvp", &mvp), D3D_OK);
  D3DXVECTOR4 offset{4, 2, 0, 0};
  EXPECT_EQ(vsTable->SetVector(device, vsTable->GetConstantByName(nullptr, "offset"), &offset), D3D_OK);
  EXPECT_TRUE(FAILED(vsTable->SetVector(device, "missing", &offset))) << "unknown names do nothing";
  D3DXVECTOR4 tint{1, 0.5f, 1, 1};
  const float weights[3] = {0, 0, 1};
  EXPECT_EQ(psTable->SetVector(device, "tint", &tint), D3D_OK);
  EXPECT_EQ(psTable->SetFloatArray(device, "weights", weights, 3), D3D_OK);

  IDirect3DTexture9* texture = makeTexture(2, 1, {kRed, kWhite});
  device->SetTexture(0, texture);
  device->SetFVF(kFvf);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetVertexShader(vs);
  device->SetPixelShader(ps);
  clear(kBlack);
  rect(0, 0, 16, 8, kBlue);  // moved by the offset to (4, 2)
  read();
  EXPECT_EQ(at(3, 4), (Rgba{0, 0, 0, 255})) << VornD3D_LastProgramError(device);
  EXPECT_EQ(at(5, 4), (Rgba{255, 0, 0, 255})) << "left texel, tinted (1, 0.5, 1); diffuse weighted 0";
  EXPECT_EQ(at(15, 4), (Rgba{255, 128, 255, 255}));
  EXPECT_EQ(at(8, 1), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(at(8, 2).r, 255);

  device->SetTexture(0, nullptr);
  texture->Release();
  vsTable->Release();
  psTable->Release();
  device->SetVertexShader(nullptr);
  device->SetPixelShader(nullptr);
  vs->Release();
  ps->Release();
}

TEST_F(CompiledShaders, ConstantTableWritesTheRegistersTheShaderReads) {
  // A pixel shader that shows its constants in four columns.
  const char* source = R"(
float4x4 m;
float3 v3;
float scalars[4];
float4 main(float2 uv : TEXCOORD0) : COLOR {
  if (uv.x < 0.25) return m[1] / 32.0;
  if (uv.x < 0.5) return mul(float4(1, 0, 0, 0), m) / 32.0;
  if (uv.x < 0.75) return float4(scalars[1], scalars[2], scalars[3], 1) / 4.0;
  return float4(v3, 1) / 4.0;
}
)";
  ID3DXBuffer* code = nullptr;
  ID3DXConstantTable* table = nullptr;
  std::string errors;
  ASSERT_EQ(compile(source, "ps_2_0", &code, &table, &errors), D3D_OK) << errors;
  IDirect3DPixelShader9* ps = nullptr;
  ASSERT_EQ(device->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()), &ps), D3D_OK);
  code->Release();
  D3DXCONSTANTTABLE_DESC tableDesc{};
  table->GetDesc(&tableDesc);
  EXPECT_EQ(tableDesc.Constants, 3u);
  D3DXCONSTANT_DESC desc{};
  UINT count = 1;
  ASSERT_EQ(table->GetConstantDesc(table->GetConstantByName(nullptr, "m"), &desc, &count), D3D_OK);
  EXPECT_EQ(desc.Class, D3DXPC_MATRIX_ROWS);
  EXPECT_EQ(desc.RegisterCount, 4u);
  EXPECT_EQ(std::string(desc.Name), "m");
  ASSERT_EQ(table->GetConstantDesc("scalars", &desc, &count), D3D_OK);
  EXPECT_EQ(desc.Elements, 4u);

  D3DXMATRIX matrix(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  EXPECT_EQ(table->SetMatrix(device, "m", &matrix), D3D_OK);
  const float four[4] = {1, 2, 3, 4};
  EXPECT_EQ(table->SetFloatArray(device, "scalars", four, 4), D3D_OK) << "one float per register";
  EXPECT_EQ(table->SetFloat(device, "v3", 2.0f), D3D_OK);
  EXPECT_TRUE(FAILED(table->SetFloat(device, "nothing", 1.0f)));
  EXPECT_TRUE(FAILED(table->SetMatrix(device, nullptr, &matrix)));

  setup2D();
  device->SetPixelShader(ps);
  clear(kBlack);
  rect(0, 0, 32, 8, kWhite);
  read();
  auto near = [](const Rgba& got, float r, float g, float b) {
    return std::abs(got.r - r * 255) <= 1.5f && std::abs(got.g - g * 255) <= 1.5f &&
           std::abs(got.b - b * 255) <= 1.5f;
  };
  EXPECT_TRUE(near(at(4, 4), 5 / 32.0f, 6 / 32.0f, 7 / 32.0f)) << at(4, 4) << " row 1 of the matrix "
                                                               << VornD3D_LastProgramError(device);
  EXPECT_TRUE(near(at(12, 4), 1 / 32.0f, 2 / 32.0f, 3 / 32.0f)) << at(12, 4) << " mul(v, m) reads row 0";
  EXPECT_TRUE(near(at(20, 4), 0.5f, 0.75f, 1.0f)) << at(20, 4);
  EXPECT_TRUE(near(at(28, 4), 0.5f, 0.0f, 0.0f)) << at(28, 4);
  device->SetPixelShader(nullptr);
  ps->Release();
  table->Release();
}

TEST_F(CompiledShaders, CodeIsBytecodeWithItsConstantTableInside) {
  ID3DXBuffer* code = nullptr;
  ID3DXConstantTable* table = nullptr;
  std::string errors;
  ASSERT_EQ(compile(kPixelSource, "ps_2_0", &code, &table, &errors), D3D_OK) << errors;
  const auto* tokens = static_cast<const DWORD*>(code->GetBufferPointer());
  EXPECT_EQ(tokens[0], 0xFFFF0200u) << "ps_2_0 version token";
  EXPECT_EQ(hlsl::bytecodeSize(tokens, code->GetBufferSize()), code->GetBufferSize()) << "ends with its end token";
  // The table read back from the code alone is the one the compiler gave.
  ID3DXConstantTable* again = nullptr;
  ASSERT_EQ(D3DXGetShaderConstantTable(tokens, &again), D3D_OK);
  D3DXCONSTANTTABLE_DESC a{}, b{};
  table->GetDesc(&a);
  again->GetDesc(&b);
  EXPECT_EQ(a.Version, 0xFFFF0200u);
  ASSERT_EQ(a.Constants, b.Constants);
  for (UINT i = 0; i < a.Constants; ++i) {
    D3DXCONSTANT_DESC x{}, y{};
    UINT n = 1;
    table->GetConstantDesc(table->GetConstant(nullptr, i), &x, &n);
    again->GetConstantDesc(again->GetConstant(nullptr, i), &y, &n);
    EXPECT_EQ(std::string(x.Name), std::string(y.Name));
    EXPECT_EQ(x.RegisterSet, y.RegisterSet);
    EXPECT_EQ(x.RegisterIndex, y.RegisterIndex);
    EXPECT_EQ(x.RegisterCount, y.RegisterCount);
  }
  again->Release();
  table->Release();
  code->Release();
}

TEST_F(CompiledShaders, ErrorsComeBackAsTextAndAFailure) {
  ID3DXBuffer* code = reinterpret_cast<ID3DXBuffer*>(1);
  ID3DXConstantTable* table = reinterpret_cast<ID3DXConstantTable*>(1);
  std::string errors;
  const char* broken = "float4 main() : COLOR { return undefined_thing; }";
  EXPECT_TRUE(FAILED(compile(broken, "ps_2_0", &code, &table, &errors)));
  EXPECT_EQ(code, nullptr);
  EXPECT_EQ(table, nullptr);
  EXPECT_NE(errors.find("error"), std::string::npos) << errors;
  EXPECT_NE(errors.find("(1,"), std::string::npos) << "errors carry their line: " << errors;
  EXPECT_EQ(D3DXCompileShader(nullptr, 0, nullptr, nullptr, "main", "ps_2_0", 0, &code, nullptr, nullptr),
            D3DERR_INVALIDCALL);
}

}  // namespace
}  // namespace d3dtest
