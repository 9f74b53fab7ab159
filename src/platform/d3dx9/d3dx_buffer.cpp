// ID3DXBuffer: a reference-counted block of bytes.
#include <vector>

#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/d3dx_interfaces.h"

namespace {

class Buffer final : public vorn::d3dx::BufferMethods {
 public:
  explicit Buffer(DWORD size) : bytes_(size, 0) {}
  void* GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
  DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

 private:
  ~Buffer() override = default;
  std::vector<unsigned char> bytes_;
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = new Buffer(numBytes);
  return D3D_OK;
}
