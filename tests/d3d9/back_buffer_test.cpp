// The back buffer is the window's own framebuffer where that fits (bottom-up,
// drawn without the row flip) and framebuffer objects otherwise. Both must
// draw the same pixels, and read back the same way through every path.
#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

class BackBuffer : public DeviceTest {
 protected:
  void TearDown() override {
    VornD3D_SetWindowBackBuffer(true);
    DeviceTest::TearDown();
  }

  // A frame that leans on orientation: a viewport and a clear rectangle off
  // the centre, culling by winding, a texture read top row first, a point
  // sprite, a picture drawn into a texture and back; read with ReadPixels,
  // and with GetRenderTargetData after Present.
  void drawFrame(std::vector<std::uint8_t>* drawn, std::vector<std::uint8_t>* copied) {
    setup2D();
    clear(kBlue);
    const LONG corner[4] = {40, 4, 60, 12};  // a D3DRECT: x1, y1, x2, y2
    device->Clear(1, corner, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
    IDirect3DTexture9* picture = makeTexture(2, 2, {kRed, kGreen, kWhite, kBlack});
    device->SetTexture(0, picture);
    rect(4, 4, 20, 20, kWhite);
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_POINTSIZE, floatBits(8.0f));
    point(30, 10, kWhite);
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    const Vertex clockwise[3] = {vertex(4, 24, 0, kRed), vertex(20, 24, 0, kRed), vertex(4, 40, 0, kRed)};
    const Vertex counter[3] = {vertex(24, 24, 0, kGreen), vertex(24, 40, 0, kGreen), vertex(40, 24, 0, kGreen)};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(Vertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(Vertex));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9 *level = nullptr, *backBuffer = nullptr;
    device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr);
    target->GetSurfaceLevel(0, &level);
    device->GetRenderTarget(0, &backBuffer);
    device->SetRenderTarget(0, level);
    clear(kBlack);
    D3DMATRIX small = screenMatrix(16, 16);
    device->SetTransform(D3DTS_PROJECTION, &small);
    rect(0, 0, 16, 6, kRed);
    device->SetRenderTarget(0, backBuffer);
    setup2D();
    D3DVIEWPORT9 viewport = {44, 44, 16, 16, 0.0f, 1.0f};
    device->SetViewport(&viewport);
    device->SetTexture(0, target);
    rect(0, 0, 64, 64, kWhite);
    device->SetTexture(0, nullptr);
    viewport = {0, 0, 64, 64, 0.0f, 1.0f};
    device->SetViewport(&viewport);
    int w = 0, h = 0;
    ASSERT_TRUE(VornD3D_ReadPixels(device, drawn, &w, &h));

    IDirect3DSurface9* memory = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(64, 64, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &memory, nullptr),
              D3D_OK);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(device->GetRenderTargetData(backBuffer, memory), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(memory->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* bytes = static_cast<const std::uint8_t*>(locked.pBits);
    copied->assign(bytes, bytes + 64 * 64 * 4);
    memory->UnlockRect();
    memory->Release();
    backBuffer->Release();
    level->Release();
    target->Release();
    picture->Release();
  }
};

TEST_F(BackBuffer, WindowAndObjectBackBuffersDrawAndReadTheSame) {
  // Where the window fits, Present copies nothing.
  clear(kBlack);
  VornD3D_ResetGLCallCount();
  device->Present(nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(VornD3D_GLCallCount(), 0u) << "the back buffer should be the window's framebuffer";
  std::vector<std::uint8_t> windowDrawn, windowCopied, objectDrawn, objectCopied;
  drawFrame(&windowDrawn, &windowCopied);
  closeDevice();
  VornD3D_SetWindowBackBuffer(false);
  ASSERT_TRUE(openDevice(D3DMULTISAMPLE_NONE));
  drawFrame(&objectDrawn, &objectCopied);
  ASSERT_EQ(windowDrawn.size(), objectDrawn.size());
  EXPECT_TRUE(windowDrawn == objectDrawn) << "ReadPixels differs";
  EXPECT_TRUE(windowCopied == objectCopied) << "GetRenderTargetData differs";
  // The picture itself, top row first: the clear rectangle at the top right.
  pixels = objectDrawn;
  readWidth = readHeight = 64;
  EXPECT_EQ(at(50, 8), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(at(6, 6), (Rgba{255, 0, 0, 255})) << "texture row 0 at the top";
  EXPECT_EQ(at(8, 26), (Rgba{255, 0, 0, 255})) << "D3DCULL_CCW keeps the clockwise triangle";
  EXPECT_EQ(at(26, 26), (Rgba{0, 0, 255, 255})) << "and culls the counter-clockwise one";
  EXPECT_EQ(at(50, 46), (Rgba{255, 0, 0, 255})) << "the texture target's top rows";
  EXPECT_EQ(at(50, 58), (Rgba{0, 0, 0, 255}));
}

}  // namespace
}  // namespace d3dtest
