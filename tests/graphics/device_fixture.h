// A real window and graphics device (headless through the platform layer)
// for the tests that need the whole stack.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/win32/win32_vorn.h"

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VornWin32_SetMessageBoxObserver(
        [this](const std::string& text, const std::string& caption) { messages.emplace_back(caption, text); });
    window = new AppWindow;
    ASSERT_TRUE(window->create("device test", width, height, false));
    graphics = GraphicsDevice::tryCreate(window->handle, width, height, 0);
    ASSERT_NE(graphics, nullptr);
    g_graphicsDevice = graphics;
  }

  void TearDown() override {
    if (graphics) {
      graphics->device->Release();
      graphics->direct3d->Release();
      delete graphics;
    }
    g_graphicsDevice = nullptr;
    if (window) window->destroy();
    VornWin32_SetMessageBoxObserver(nullptr);
    VornWin32_Reset();
  }

  // The RGBA of one pixel of the current render target.
  std::vector<std::uint8_t> pixel(int x, int y) {
    std::vector<std::uint8_t> rgba;
    int w = 0, h = 0;
    EXPECT_TRUE(VornD3D_ReadPixels(graphics->device, &rgba, &w, &h));
    if (x >= w || y >= h) return {};
    const std::size_t at = (static_cast<std::size_t>(y) * w + x) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
  }

  int width = 64;
  int height = 48;
  AppWindow* window = nullptr;
  GraphicsDevice* graphics = nullptr;
  std::vector<std::pair<std::string, std::string>> messages;  // caption, text
};
