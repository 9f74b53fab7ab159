// Texture creation: D3DXCreateTexture and loading image files (PNG, JPEG,
// BMP, TGA; see image_decode.h) into A8R8G8B8 textures with a full mip chain.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/d3dx_internal.h"
#include "platform/d3dx9/image_decode.h"
#include "platform/files/files.h"

namespace vorn::d3dx {

void boxDownsample(const std::uint8_t* source, int width, int height, std::vector<std::uint8_t>* out, int* outWidth,
                   int* outHeight) {
  const int w = width > 1 ? width / 2 : 1, h = height > 1 ? height / 2 : 1;
  out->assign(static_cast<std::size_t>(w) * h * 4, 0);
  for (int y = 0; y < h; ++y) {
    const int y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
    for (int x = 0; x < w; ++x) {
      const int x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
      for (int c = 0; c < 4; ++c) {
        const int sum = source[(static_cast<std::size_t>(y0) * width + x0) * 4 + c] +
                        source[(static_cast<std::size_t>(y0) * width + x1) * 4 + c] +
                        source[(static_cast<std::size_t>(y1) * width + x0) * 4 + c] +
                        source[(static_cast<std::size_t>(y1) * width + x1) * 4 + c];
        (*out)[(static_cast<std::size_t>(y) * w + x) * 4 + c] = static_cast<std::uint8_t>((sum + 2) / 4);
      }
    }
  }
  *outWidth = w;
  *outHeight = h;
}

}  // namespace vorn::d3dx

namespace {

UINT adjustSize(UINT size) {
  if (size == D3DX_DEFAULT) return 256;
  return size == 0 ? 1 : size;
}

}  // namespace

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
  if (!device || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  width = adjustSize(width);
  height = adjustSize(height);
  if (mipLevels == D3DX_DEFAULT) mipLevels = 0;  // the whole chain
  // The closest format the device renders to and samples: 24-bit colour
  // becomes X8R8G8B8, as D3DX chooses on hardware without packed 24-bit.
  if (format == D3DFMT_UNKNOWN) format = D3DFMT_A8R8G8B8;
  if (format == D3DFMT_R8G8B8) format = D3DFMT_X8R8G8B8;
  return device->CreateTexture(width, height, mipLevels, usage, format, pool, texture, nullptr);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* srcFile, IDirect3DTexture9** texture) {
  if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  // A file that cannot be opened is D3DERR_NOTAVAILABLE; one that opens but
  // is no image the decoders take, D3DXERR_INVALIDDATA.
  vorn::d3dx::DecodedImage image;
  bool opened = false;
  if (!vorn::d3dx::decodeImageFile(srcFile, &image, nullptr, &opened)) {
    return opened ? D3DXERR_INVALIDDATA : D3DERR_NOTAVAILABLE;
  }
  const int width = image.width, height = image.height;
  // Direct3D's A8R8G8B8 bytes are B, G, R, A.
  std::vector<std::uint8_t> level = std::move(image.rgba);
  IDirect3DTexture9* created = nullptr;
  HRESULT hr = device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 0, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, &created, nullptr);
  if (FAILED(hr)) return hr;
  int w = width, h = height;
  std::vector<std::uint8_t> next, bgra;
  for (UINT index = 0; index < created->GetLevelCount(); ++index) {
    if (index > 0) {
      int nw = 0, nh = 0;
      vorn::d3dx::boxDownsample(level.data(), w, h, &next, &nw, &nh);
      level.swap(next);
      w = nw;
      h = nh;
    }
    bgra.resize(level.size());
    for (std::size_t i = 0; i < level.size(); i += 4) {
      bgra[i] = level[i + 2];
      bgra[i + 1] = level[i + 1];
      bgra[i + 2] = level[i];
      bgra[i + 3] = level[i + 3];
    }
    D3DLOCKED_RECT locked{};
    if (FAILED(created->LockRect(index, &locked, nullptr, D3DLOCK_DISCARD))) {
      created->Release();
      return E_FAIL;
    }
    for (int y = 0; y < h; ++y)
      std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch,
                  &bgra[static_cast<std::size_t>(y) * w * 4], static_cast<std::size_t>(w) * 4);
    created->UnlockRect(index);
  }
  *texture = created;
  return D3D_OK;
}
