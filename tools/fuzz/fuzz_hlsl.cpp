// Fuzz entry for the HLSL compiler through D3DXCompileShader: the first byte
// picks the profile ('v' vs_2_0, anything else ps_2_0), the rest is the
// source. Every input compiles or fails with a message, never crashes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/d3dx9/d3dx9.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char* profile = data[0] == 'v' ? "vs_2_0" : "ps_2_0";
  const char* source = reinterpret_cast<const char*>(data + 1);
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  ID3DXConstantTable* constants = nullptr;
  const HRESULT result = D3DXCompileShader(source, static_cast<UINT>(size - 1), nullptr, nullptr, "main", profile, 0,
                                           &code, &errors, &constants);
  if (FAILED(result) && (!errors || errors->GetBufferSize() == 0)) __builtin_trap();  // a failure says why
  if (constants) {
    D3DXCONSTANTTABLE_DESC desc{};
    constants->GetDesc(&desc);
    for (UINT i = 0; i < desc.Constants; ++i) {
      D3DXCONSTANT_DESC constant{};
      UINT count = 1;
      constants->GetConstantDesc(constants->GetConstant(nullptr, i), &constant, &count);
    }
    constants->GetConstantByName(nullptr, "mvp");
    constants->Release();
  }
  if (code) code->Release();
  if (errors) errors->Release();
  return 0;
}
