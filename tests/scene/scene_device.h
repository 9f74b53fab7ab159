// A headless window and graphics device published as the global device, for
// the scene tests that read states and pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/win32/win32_vorn.h"
#include "scene/transform_stack.h"

class SceneDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = new AppWindow;
    ASSERT_TRUE(window->create("scene test", width, height, false));
    graphics = GraphicsDevice::tryCreate(window->handle, width, height, 0);
    ASSERT_NE(graphics, nullptr) << "no headless device";
    g_graphicsDevice = graphics;
    device = graphics->device;
  }

  void TearDown() override {
    if (graphics) {
      clearTransformStack();
      graphics->device->Release();
      graphics->direct3d->Release();
      delete graphics;
    }
    g_graphicsDevice = nullptr;
    if (window) window->destroy();
    VornWin32_Reset();
  }

  DWORD renderState(D3DRENDERSTATETYPE state) {
    DWORD value = 0xBAD;
    device->GetRenderState(state, &value);
    return value;
  }
  DWORD stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
    DWORD value = 0xBAD;
    device->GetTextureStageState(stage, type, &value);
    return value;
  }
  IDirect3DBaseTexture9* texture(DWORD stage) {
    IDirect3DBaseTexture9* t = nullptr;
    device->GetTexture(stage, &t);
    if (t) t->Release();  // GetTexture adds a reference
    return t;
  }
  D3DMATRIX transform(D3DTRANSFORMSTATETYPE which) {
    D3DMATRIX m;
    device->GetTransform(which, &m);
    return m;
  }
  void setTransform(D3DTRANSFORMSTATETYPE which, std::initializer_list<float> values) {
    D3DMATRIX m{};
    std::copy(values.begin(), values.end(), &m.m[0][0]);
    device->SetTransform(which, &m);
  }

  int width = 128;
  int height = 96;
  AppWindow* window = nullptr;
  GraphicsDevice* graphics = nullptr;
  IDirect3DDevice9* device = nullptr;
};

inline bool sameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
