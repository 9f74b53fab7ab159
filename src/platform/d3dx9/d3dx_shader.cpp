// D3DXCompileShader over the HLSL compiler, and ID3DXConstantTable over the
// constant table inside the bytecode it returns (the same table on every
// platform build).
//
// Register layout (the compiler's): a scalar or vector takes one register
// from .x on; a floatRxC matrix takes R registers, register r + i holding
// row i, so SetMatrix writes the rows of the D3DX matrix in order and
// mul(v, M) keeps its meaning.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/d3dx_interfaces.h"
#include "platform/hlsl/hlsl.h"

namespace {

class ConstantTable final : public vorn::d3dx::ConstantTableMethods {
 public:
  explicit ConstantTable(hlsl::ConstantTableInfo table)
      : stage_((table.version & 0xFFFF0000u) == 0xFFFF0000u ? hlsl::Stage::Pixel : hlsl::Stage::Vertex),
        creator_(std::move(table.creator)),
        version_(table.version),
        constants_(std::move(table.constants)) {}

  HRESULT GetDesc(D3DXCONSTANTTABLE_DESC* desc) override {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Creator = creator_.c_str();
    desc->Version = version_;
    desc->Constants = static_cast<UINT>(constants_.size());
    return D3D_OK;
  }

  HRESULT GetConstantDesc(D3DXHANDLE handle, D3DXCONSTANT_DESC* desc, UINT* count) override {
    const hlsl::Constant* c = find(handle);
    if (!c || !desc) return D3DERR_INVALIDCALL;
    *desc = D3DXCONSTANT_DESC{};
    desc->Name = c->name.c_str();
    // Numbers of every type live in float registers.
    switch (c->type) {
      case hlsl::Constant::Type::Float: desc->Type = D3DXPT_FLOAT; desc->RegisterSet = D3DXRS_FLOAT4; break;
      case hlsl::Constant::Type::Int: desc->Type = D3DXPT_INT; desc->RegisterSet = D3DXRS_FLOAT4; break;
      case hlsl::Constant::Type::Bool: desc->Type = D3DXPT_BOOL; desc->RegisterSet = D3DXRS_FLOAT4; break;
      case hlsl::Constant::Type::Sampler2D: desc->Type = D3DXPT_SAMPLER2D; desc->RegisterSet = D3DXRS_SAMPLER; break;
      case hlsl::Constant::Type::SamplerCube:
        desc->Type = D3DXPT_SAMPLERCUBE;
        desc->RegisterSet = D3DXRS_SAMPLER;
        break;
    }
    switch (c->cls) {
      case hlsl::Constant::Class::Scalar: desc->Class = D3DXPC_SCALAR; break;
      case hlsl::Constant::Class::Vector: desc->Class = D3DXPC_VECTOR; break;
      case hlsl::Constant::Class::Matrix: desc->Class = D3DXPC_MATRIX_ROWS; break;
      case hlsl::Constant::Class::Sampler: desc->Class = D3DXPC_OBJECT; break;
    }
    desc->RegisterIndex = static_cast<UINT>(c->registerIndex);
    desc->RegisterCount = static_cast<UINT>(c->registerCount);
    desc->Rows = static_cast<UINT>(c->rows);
    desc->Columns = static_cast<UINT>(c->columns);
    desc->Elements = static_cast<UINT>(std::max(1, c->elements));
    desc->Bytes = 4u * desc->Rows * desc->Columns * desc->Elements;
    if (count) *count = 1;
    return D3D_OK;
  }

  D3DXHANDLE GetConstant(D3DXHANDLE parent, UINT index) override {
    if (parent || index >= constants_.size()) return nullptr;
    return constants_[index].name.c_str();
  }

  D3DXHANDLE GetConstantByName(D3DXHANDLE parent, const char* name) override {
    if (parent || !name) return nullptr;
    for (const hlsl::Constant& c : constants_)
      if (c.name == name) return c.name.c_str();
    return nullptr;
  }

  HRESULT SetFloat(IDirect3DDevice9* device, D3DXHANDLE handle, float value) override {
    return SetFloatArray(device, handle, &value, 1);
  }

  HRESULT SetVector(IDirect3DDevice9* device, D3DXHANDLE handle, const D3DXVECTOR4* vector) override {
    const hlsl::Constant* c = numeric(handle);
    if (!c || !device || !vector) return D3DERR_INVALIDCALL;
    const float reg[4] = {vector->x, vector->y, vector->z, vector->w};
    return write(device, c->registerIndex, reg, 1);
  }

  HRESULT SetMatrix(IDirect3DDevice9* device, D3DXHANDLE handle, const D3DXMATRIX* matrix) override {
    const hlsl::Constant* c = numeric(handle);
    if (!c || !device || !matrix) return D3DERR_INVALIDCALL;
    // Rows of the matrix into consecutive registers, each with the
    // constant's columns (the rest of the register zero).
    const int rows = std::min({c->cls == hlsl::Constant::Class::Matrix ? c->rows : 1, c->registerCount, 4});
    const int columns = std::clamp(c->columns, 1, 4);
    std::vector<float> regs(static_cast<std::size_t>(rows) * 4, 0.0f);
    for (int r = 0; r < rows; ++r)
      for (int col = 0; col < columns; ++col) regs[r * 4 + col] = matrix->m[r][col];
    return write(device, c->registerIndex, regs.data(), rows);
  }

  HRESULT SetFloatArray(IDirect3DDevice9* device, D3DXHANDLE handle, const float* values, UINT count) override {
    const hlsl::Constant* c = numeric(handle);
    if (!c || !device || (!values && count)) return D3DERR_INVALIDCALL;
    // Each register takes `columns` floats (4 for a float4, 1 for each
    // element of a float array), up to the constant's registers.
    const int perRegister = std::clamp(c->columns, 1, 4);
    std::vector<float> regs;
    UINT used = 0;
    for (int r = 0; r < c->registerCount && used < count; ++r) {
      float reg[4] = {0, 0, 0, 0};
      for (int k = 0; k < perRegister && used < count; ++k) reg[k] = values[used++];
      regs.insert(regs.end(), reg, reg + 4);
    }
    if (regs.empty()) return D3D_OK;
    return write(device, c->registerIndex, regs.data(), static_cast<UINT>(regs.size() / 4));
  }

 private:
  ~ConstantTable() override = default;

  // A handle is either one this table gave out or a constant's name.
  const hlsl::Constant* find(D3DXHANDLE handle) const {
    if (!handle) return nullptr;
    for (const hlsl::Constant& c : constants_)
      if (c.name.c_str() == handle) return &c;
    for (const hlsl::Constant& c : constants_)
      if (c.name == handle) return &c;
    return nullptr;
  }

  const hlsl::Constant* numeric(D3DXHANDLE handle) const {
    const hlsl::Constant* c = find(handle);
    if (!c || c->cls == hlsl::Constant::Class::Sampler || c->type != hlsl::Constant::Type::Float) return nullptr;
    return c;
  }

  HRESULT write(IDirect3DDevice9* device, int start, const float* data, UINT registers) const {
    if (stage_ == hlsl::Stage::Vertex)
      return device->SetVertexShaderConstantF(static_cast<UINT>(start), data, registers);
    return device->SetPixelShaderConstantF(static_cast<UINT>(start), data, registers);
  }

  hlsl::Stage stage_;
  std::string creator_;
  DWORD version_;
  std::vector<hlsl::Constant> constants_;
};

HRESULT textBuffer(const std::string& text, ID3DXBuffer** out) {
  HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), out);
  if (SUCCEEDED(hr)) std::memcpy((*out)->GetBufferPointer(), text.c_str(), text.size() + 1);
  return hr;
}

}  // namespace

HRESULT D3DXCompileShader(const char* srcData, UINT srcDataLen, const D3DXMACRO* defines, ID3DXInclude*,
                          const char* functionName, const char* profile, DWORD, ID3DXBuffer** shader,
                          ID3DXBuffer** errorMsgs, ID3DXConstantTable** constantTable) {
  if (shader) *shader = nullptr;
  if (errorMsgs) *errorMsgs = nullptr;
  if (constantTable) *constantTable = nullptr;
  if (!srcData || !functionName || !profile) return D3DERR_INVALIDCALL;
  std::string source;
  for (const D3DXMACRO* m = defines; m && m->Name; ++m)
    source += "#define " + std::string(m->Name) + " " + (m->Definition ? m->Definition : "") + "\n";
  source.append(srcData, srcDataLen);
  hlsl::CompileResult result = hlsl::compile(source, functionName, profile);
  if (!result.ok) {
    if (errorMsgs) textBuffer(result.messages.empty() ? "error: the shader did not compile" : result.messages, errorMsgs);
    return E_FAIL;
  }
  if (errorMsgs && !result.messages.empty()) textBuffer(result.messages, errorMsgs);  // warnings
  const std::vector<std::uint32_t>& code = result.bytecode;
  if (shader) {
    const auto bytes = static_cast<DWORD>(code.size() * sizeof(std::uint32_t));
    if (SUCCEEDED(D3DXCreateBuffer(bytes, shader))) std::memcpy((*shader)->GetBufferPointer(), code.data(), bytes);
  }
  if (constantTable) return D3DXGetShaderConstantTable(reinterpret_cast<const DWORD*>(code.data()), constantTable);
  return D3D_OK;
}

HRESULT D3DXGetShaderConstantTable(const DWORD* function, ID3DXConstantTable** constantTable) {
  if (!constantTable) return D3DERR_INVALIDCALL;
  *constantTable = nullptr;
  hlsl::ConstantTableInfo table;
  if (!function || !hlsl::readConstantTable(function, SIZE_MAX, &table)) return D3DERR_INVALIDCALL;
  *constantTable = new ConstantTable(std::move(table));
  return D3D_OK;
}
