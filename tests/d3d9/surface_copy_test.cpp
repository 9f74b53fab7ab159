// Reading frames back through Direct3D 9's own calls, as the capture tool
// does on every build: GetBackBuffer, GetRenderTargetData into a system-memory
// surface, LockRect; StretchRect first for a multisampled back buffer.
#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

using SurfaceCopy = DeviceTest;

// B, G, R, A of the pixel at (x, y) of a locked A8R8G8B8 or X8R8G8B8 surface.
Rgba lockedPixel(const D3DLOCKED_RECT& locked, int x, int y) {
  const auto* p = static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4;
  return Rgba{p[2], p[1], p[0], p[3]};
}

TEST_F(SurfaceCopy, RenderTargetDataIsTheFrameAtTheCopyTopRowFirst) {
  setup2D();
  clear(kBlue);
  rect(0, 0, 32, 16, kRed);
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
  IDirect3DSurface9* copy = nullptr;
  ASSERT_EQ(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                                nullptr),
            D3D_OK);
  IDirect3DSurface9* small = nullptr;
  ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, desc.Format, D3DPOOL_SYSTEMMEM, &small, nullptr), D3D_OK);
  EXPECT_EQ(device->GetRenderTargetData(back, small), D3DERR_INVALIDCALL) << "sizes must match";

  ASSERT_EQ(device->GetRenderTargetData(back, copy), D3D_OK);
  clear(kGreen);  // drawn after the copy was queued: not in it
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(lockedPixel(locked, 2, 2), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(lockedPixel(locked, 2, 40), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(device->GetRenderTargetData(back, copy), D3DERR_INVALIDCALL) << "a locked surface takes no copy";
  EXPECT_EQ(copy->UnlockRect(), D3D_OK);
  EXPECT_EQ(back->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL) << "the back buffer does not lock";
  small->Release();
  copy->Release();
  back->Release();
}

TEST_F(SurfaceCopy, MultisampledBackBufferIsResolvedByStretchRect) {
  closeDevice();
  ASSERT_TRUE(openDevice(D3DMULTISAMPLE_4_SAMPLES));
  setup2D();
  clear(kBlack);
  rect(16, 16, 48, 48, kGreen);
  IDirect3DSurface9 *back = nullptr, *resolved = nullptr, *copy = nullptr;
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  D3DSURFACE_DESC desc{};
  back->GetDesc(&desc);
  EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
  ASSERT_EQ(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                                nullptr),
            D3D_OK);
  EXPECT_EQ(device->GetRenderTargetData(back, copy), D3DERR_INVALIDCALL) << "multisampled targets are not read";
  ASSERT_EQ(device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE, &resolved,
                                       nullptr),
            D3D_OK);
  ASSERT_EQ(device->StretchRect(back, nullptr, resolved, nullptr, D3DTEXF_NONE), D3D_OK);
  ASSERT_EQ(device->GetRenderTargetData(resolved, copy), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(lockedPixel(locked, 32, 32), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(lockedPixel(locked, 4, 4), (Rgba{0, 0, 0, 255}));
  copy->UnlockRect();
  copy->Release();
  resolved->Release();
  back->Release();
}

}  // namespace
}  // namespace d3dtest
