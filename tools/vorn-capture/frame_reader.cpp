#include "frame_reader.h"

#include <cstring>

FrameReader::FrameReader(IDirect3DDevice9* device, std::size_t depth) : device_(device), depthWanted_(depth) {}

FrameReader::~FrameReader() { release(); }

void FrameReader::release() {
  for (IDirect3DSurface9* surface : surfaces_) surface->Release();
  surfaces_.clear();
  if (resolved_) resolved_->Release();
  resolved_ = nullptr;
  next_ = queued_ = 0;
}

bool FrameReader::begin(std::string* error) {
  release();
  IDirect3DSurface9* back = nullptr;
  if (FAILED(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back))) {
    *error = "the device has no back buffer to read";
    return false;
  }
  HRESULT hr = back->GetDesc(&desc_);
  back->Release();
  if (FAILED(hr)) {
    *error = "the back buffer does not describe itself";
    return false;
  }
  if (desc_.MultiSampleType != D3DMULTISAMPLE_NONE &&
      FAILED(device_->CreateRenderTarget(desc_.Width, desc_.Height, desc_.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                         &resolved_, nullptr))) {
    *error = "cannot make a render target to resolve the multisampled back buffer into";
    return false;
  }
  for (std::size_t i = 0; i < depthWanted_; ++i) {
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(device_->CreateOffscreenPlainSurface(desc_.Width, desc_.Height, desc_.Format, D3DPOOL_SYSTEMMEM,
                                                    &surface, nullptr))) {
      *error = "cannot make a system-memory surface for the frames";
      release();
      return false;
    }
    surfaces_.push_back(surface);
  }
  return true;
}

bool FrameReader::queue() {
  if (surfaces_.empty() || queued_ == surfaces_.size()) return false;
  IDirect3DSurface9* back = nullptr;
  if (FAILED(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back))) return false;
  IDirect3DSurface9* source = back;
  HRESULT hr = D3D_OK;
  if (resolved_) {
    hr = device_->StretchRect(back, nullptr, resolved_, nullptr, D3DTEXF_NONE);
    source = resolved_;
  }
  if (SUCCEEDED(hr)) hr = device_->GetRenderTargetData(source, surfaces_[next_]);
  back->Release();
  if (FAILED(hr)) return false;
  next_ = (next_ + 1) % surfaces_.size();
  ++queued_;
  return true;
}

bool FrameReader::take(std::vector<std::uint8_t>* rgba, int* width, int* height) {
  if (queued_ == 0) return false;
  IDirect3DSurface9* surface = surfaces_[(next_ + surfaces_.size() - queued_) % surfaces_.size()];
  --queued_;
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return false;
  const int w = static_cast<int>(desc_.Width), h = static_cast<int>(desc_.Height);
  // X8R8G8B8 leaves the fourth byte undefined: the frame is opaque.
  const bool opaque = desc_.Format != D3DFMT_A8R8G8B8;
  rgba->resize(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch;
    std::uint8_t* out = rgba->data() + static_cast<std::size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x) {
      out[4 * x] = row[4 * x + 2];  // B, G, R, A in memory
      out[4 * x + 1] = row[4 * x + 1];
      out[4 * x + 2] = row[4 * x];
      out[4 * x + 3] = opaque ? 255 : row[4 * x + 3];
    }
  }
  surface->UnlockRect();
  *width = w;
  *height = h;
  return true;
}
