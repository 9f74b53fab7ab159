// Reads finished frames back through Direct3D 9's own calls, the same on the
// OpenGL build and on Windows: the back buffer (GetBackBuffer), resolved into
// a render target first when it is multisampled (StretchRect), copied into a
// system-memory surface (GetRenderTargetData) and locked there (LockRect).
// A ring of surfaces lets the copy of one frame finish while the next ones
// are drawn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"

class FrameReader {
 public:
  FrameReader(IDirect3DDevice9* device, std::size_t depth);
  ~FrameReader();
  FrameReader(const FrameReader&) = delete;
  FrameReader& operator=(const FrameReader&) = delete;

  // Makes the surfaces for the back buffer as it is now.
  bool begin(std::string* error);
  // Queues a copy of the back buffer (call after drawing, before Present);
  // false when the ring is full or the copy failed.
  bool queue();
  // The oldest queued frame as RGBA rows, top row first (waits for its copy);
  // false when none is queued.
  bool take(std::vector<std::uint8_t>* rgba, int* width, int* height);
  std::size_t queued() const { return queued_; }
  std::size_t depth() const { return surfaces_.size(); }

 private:
  void release();

  IDirect3DDevice9* device_;
  std::size_t depthWanted_;
  D3DSURFACE_DESC desc_{};
  IDirect3DSurface9* resolved_ = nullptr;  // single-sampled copy of a multisampled back buffer
  std::vector<IDirect3DSurface9*> surfaces_;
  std::size_t next_ = 0;    // slot the next queue() fills
  std::size_t queued_ = 0;  // slots holding frames not yet taken
};
