// A headless window and Direct3D device for the rendering tests, with small
// helpers to draw FVF 0x152 shapes and read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_vorn.h"

namespace d3dtest {

// The demo's immediate vertex: position, normal, diffuse, one texture coordinate.
struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  DWORD color;
  float u, v;
};
static_assert(sizeof(Vertex) == 36, "FVF 0x152 is 36 bytes");
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

inline Vertex vertex(float x, float y, float z, DWORD color, float u = 0, float v = 0) {
  return Vertex{x, y, z, 0, 0, 0, color, u, v};
}

inline DWORD floatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

inline D3DMATRIX identityMatrix() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1;
  return m;
}

// A D3D-style 2D mapping: (0, 0) top-left to (w, h) bottom-right, z kept.
inline D3DMATRIX screenMatrix(float w, float h) {
  D3DMATRIX m{};
  m._11 = 2.0f / w;
  m._22 = -2.0f / h;
  m._33 = 1.0f;
  m._41 = -1.0f;
  m._42 = 1.0f;
  m._44 = 1.0f;
  return m;
}

inline LRESULT testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VornWin32_Reset();
    VornD3D_SetBatching(true);
    ASSERT_TRUE(openWindow(width, height));
    ASSERT_TRUE(openDevice(D3DMULTISAMPLE_NONE));
  }

  void TearDown() override {
    closeDevice();
    if (window) DestroyWindow(window);
    window = nullptr;
    UnregisterClassA("d3dtest", GetModuleHandleA(nullptr));
    VornD3D_SetBatching(true);
    VornWin32_Reset();
  }

  bool openWindow(int w, int h) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = testWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "d3dtest";
    RegisterClassExA(&wc);
    window = CreateWindowExA(0, "d3dtest", "d3d test", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    return window != nullptr;
  }

  bool openDevice(D3DMULTISAMPLE_TYPE samples, UINT presentInterval = D3DPRESENT_INTERVAL_DEFAULT) {
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return false;
    D3DDISPLAYMODE mode{};
    d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferFormat = mode.Format;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.MultiSampleType = samples;
    pp.PresentationInterval = presentInterval;
    createResult = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                     &pp, &device);
    presentParameters = pp;
    return SUCCEEDED(createResult) && device;
  }

  void closeDevice() {
    if (device) {
      EXPECT_EQ(VornD3D_TakeGLErrors(device), 0u) << "OpenGL errors during the test";
      EXPECT_EQ(device->Release(), 0u);
    }
    if (d3d) d3d->Release();
    device = nullptr;
    d3d = nullptr;
  }

  // The usual 2D set-up: screen-pixel coordinates, no depth test, no culling, no lighting.
  void setup2D() {
    D3DMATRIX m = screenMatrix(static_cast<float>(width), static_cast<float>(height));
    device->SetTransform(D3DTS_PROJECTION, &m);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetFVF(kFvf);
  }

  void clear(D3DCOLOR color) { device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0); }

  // An axis-aligned rectangle as a two-triangle fan (the demo's quads).
  void rect(float x0, float y0, float x1, float y1, DWORD color, float z = 0, float u0 = 0, float v0 = 0,
            float u1 = 1, float v1 = 1) {
    Vertex q[4] = {vertex(x0, y0, z, color, u0, v0), vertex(x1, y0, z, color, u1, v0),
                   vertex(x1, y1, z, color, u1, v1), vertex(x0, y1, z, color, u0, v1)};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(Vertex)), D3D_OK);
  }

  void point(float x, float y, DWORD color, float z = 0) {
    Vertex p = vertex(x, y, z, color);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof(Vertex)), D3D_OK);
  }

  void read() {
    int w = 0, h = 0;
    ASSERT_TRUE(VornD3D_ReadPixels(device, &pixels, &w, &h));
    readWidth = w;
    readHeight = h;
  }

  Rgba at(int x, int y) const {
    const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * readWidth + x) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
  }

  // The pixels of the last read whose red channel exceeds a threshold, as a bounding box.
  struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    int count = 0;
  };
  Box redBox(int threshold = 128) const {
    Box box;
    for (int y = 0; y < readHeight; ++y)
      for (int x = 0; x < readWidth; ++x)
        if (at(x, y).r > threshold) {
          box.x0 = std::min(box.x0, x);
          box.y0 = std::min(box.y0, y);
          box.x1 = std::max(box.x1, x);
          box.y1 = std::max(box.y1, y);
          ++box.count;
        }
    return box;
  }

  // A managed A8R8G8B8 texture from rows of D3DCOLOR words, top row first.
  IDirect3DTexture9* makeTexture(int w, int h, const std::vector<DWORD>& texels, UINT levels = 1) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(w, h, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    if (!texture) return nullptr;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < h; ++y)
      std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * w], w * 4);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
  }

  int width = 64;
  int height = 64;
  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  HRESULT createResult = 0;
  D3DPRESENT_PARAMETERS presentParameters{};
  std::vector<std::uint8_t> pixels;
  int readWidth = 0, readHeight = 0;
};

constexpr DWORD kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu,
                kBlack = 0xFF000000u;

}  // namespace d3dtest
