// A window and graphics device on the headless driver, published as the
// global device, for rendering tests that read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "graphics/transforms.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/win32/win32_vorn.h"
#include "ui2d/primitives.h"

struct Pixel {
  int r = 0, g = 0, b = 0, a = 0;
};

class HeadlessDevice {
 public:
  bool open(int width, int height) {
    framework_ = new Framework;
    framework_->window->create("test", width, height, false);
    if (!framework_->window->handle) return false;
    GraphicsDevice* device = GraphicsDevice::tryCreate(framework_->window->handle, static_cast<std::uint32_t>(width),
                                                       static_cast<std::uint32_t>(height), 0);
    framework_->graphicsDevice = device;
    g_graphicsDevice = device;
    width_ = width;
    height_ = height;
    ResetEmitter();
    return device != nullptr;
  }

  void close() {
    if (!framework_) return;
    framework_->teardown();
    delete framework_;
    framework_ = nullptr;
    g_graphicsDevice = nullptr;
    VornWin32_Reset();
  }

  ~HeadlessDevice() { close(); }

  GraphicsDevice* graphics() const { return framework_ ? framework_->graphicsDevice : nullptr; }
  IDirect3DDevice9* device() const { return graphics() ? graphics()->device : nullptr; }
  Framework* framework() const { return framework_; }

  // Clears to a colour and sets up the 2D space of a virtual screen.
  void begin2D(D3DCOLOR clear, float width, float height) {
    device()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
    graphics()->setViewportPercent(0, 0, 100, 100);
    graphics()->currentTransform = D3DTS_PROJECTION;
    loadIdentity();
    beginOrtho2D(width, height);
    graphics()->currentTransform = D3DTS_VIEW;
    loadIdentity();
    device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  }

  bool read() { return VornD3D_ReadPixels(device(), &rgba_, &readWidth_, &readHeight_); }

  Pixel at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * readWidth_ + x) * 4;
    return Pixel{rgba_[i], rgba_[i + 1], rgba_[i + 2], rgba_[i + 3]};
  }
  int width() const { return readWidth_; }
  int height() const { return readHeight_; }
  const std::vector<std::uint8_t>& rgba() const { return rgba_; }

  DWORD renderState(D3DRENDERSTATETYPE state) const {
    DWORD value = 0;
    device()->GetRenderState(state, &value);
    return value;
  }
  IDirect3DBaseTexture9* texture(DWORD stage) const {
    IDirect3DBaseTexture9* t = nullptr;
    device()->GetTexture(stage, &t);
    if (t) t->Release();  // GetTexture adds a reference
    return t;
  }

 private:
  Framework* framework_ = nullptr;
  int width_ = 0, height_ = 0;
  std::vector<std::uint8_t> rgba_;
  int readWidth_ = 0, readHeight_ = 0;
};

#define OPEN_HEADLESS(dev, w, h) ASSERT_TRUE((dev).open((w), (h))) << "no headless device"

inline ::testing::AssertionResult PixelNear(const Pixel& p, int r, int g, int b, int tolerance = 2) {
  if (std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << p.r << ", " << p.g << ", " << p.b << ") expected (" << r << ", "
                                       << g << ", " << b << ")";
}
