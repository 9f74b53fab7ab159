// Batching of DrawPrimitiveUP: fewer OpenGL draws, the same pixels.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <string>

#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

using Batching = DeviceTest;

// A busy frame: every primitive type, blending and texture changes in
// between, overlapping additive draws whose order matters, depth tests.
void drawFrame(IDirect3DDevice9* device, IDirect3DTexture9* texture) {
  std::mt19937 random(1234);
  auto coord = [&](float range) { return std::uniform_real_distribution<float>(0, range)(random); };
  auto color = [&]() { return static_cast<DWORD>(random()) | 0x40000000u; };
  D3DMATRIX m = screenMatrix(64, 64);
  device->SetTransform(D3DTS_PROJECTION, &m);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetFVF(kFvf);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030u, 1.0f, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  for (int round = 0; round < 6; ++round) {
    // Points, with and without sprites and size.
    device->SetRenderState(D3DRS_POINTSIZE, floatBits(round % 2 ? 3.0f : 1.0f));
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, round % 3 == 0);
    device->SetTexture(0, round % 2 ? texture : nullptr);
    for (int i = 0; i < 200; ++i) {
      Vertex p = vertex(coord(64), coord(64), coord(1), color(), coord(1), coord(1));
      device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof p);
    }
    // Fans (the emitter's quads), overlapping, additive.
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    for (int i = 0; i < 60; ++i) {
      const float x = coord(56), y = coord(56), w = coord(16), h = coord(16);
      Vertex q[4] = {vertex(x, y, 0.5f, color(), 0, 0), vertex(x + w, y, 0.5f, color(), 1, 0),
                     vertex(x + w, y + h, 0.5f, color(), 1, 1), vertex(x, y + h, 0.5f, color(), 0, 1)};
      device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(Vertex));
    }
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // Strips and lists with depth.
    device->SetRenderState(D3DRS_ZENABLE, round % 2 ? D3DZB_TRUE : D3DZB_FALSE);
    for (int i = 0; i < 30; ++i) {
      Vertex s[6];
      for (Vertex& v : s) v = vertex(coord(64), coord(64), coord(1), color(), coord(2), coord(2));
      device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 4, s, sizeof(Vertex));
      device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, s, sizeof(Vertex));
    }
    // Lines and line strips.
    device->SetTexture(0, nullptr);
    for (int i = 0; i < 40; ++i) {
      Vertex l[4];
      for (Vertex& v : l) v = vertex(coord(64), coord(64), 0, color());
      device->DrawPrimitiveUP(D3DPT_LINELIST, 2, l, sizeof(Vertex));
      device->DrawPrimitiveUP(D3DPT_LINESTRIP, 3, l, sizeof(Vertex));
    }
    // A state set to its own value changes nothing and must not split batches.
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  }
}

TEST_F(Batching, ABusyFrameComesOutTheSameWithAndWithout) {
  std::vector<DWORD> texels(16);
  for (int i = 0; i < 16; ++i) texels[i] = 0x80FFFFFFu ^ (i * 0x00112233u);
  IDirect3DTexture9* texture = makeTexture(4, 4, texels);

  VornD3D_SetBatching(false);
  VornD3D_ResetDrawCallCount();
  drawFrame(device, texture);
  read();
  const std::uint64_t unbatchedDraws = VornD3D_DrawCallCount();
  const std::vector<std::uint8_t> unbatched = pixels;

  VornD3D_SetBatching(true);
  VornD3D_ResetDrawCallCount();
  drawFrame(device, texture);
  read();
  const std::uint64_t batchedDraws = VornD3D_DrawCallCount();

  EXPECT_EQ(unbatchedDraws, 6u * (200 + 60 + 60 + 80));
  EXPECT_LT(batchedDraws, unbatchedDraws / 20);
  ASSERT_EQ(pixels.size(), unbatched.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < pixels.size(); ++i) differing += pixels[i] != unbatched[i];
  EXPECT_EQ(differing, 0u) << "batching must not change a single pixel";
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(Batching, StateChangesAndOtherWorkFlushFirst) {
  setup2D();
  clear(kBlack);
  VornD3D_ResetDrawCallCount();
  for (int i = 0; i < 10; ++i) point(static_cast<float>(i), 0, kRed);
  EXPECT_EQ(VornD3D_DrawCallCount(), 0u) << "still pending";
  device->SetRenderState(D3DRS_POINTSIZE, floatBits(2.0f));  // a change: draw what came before
  EXPECT_EQ(VornD3D_DrawCallCount(), 1u);
  point(20, 20, kGreen);
  device->SetRenderState(D3DRS_POINTSIZE, floatBits(2.0f));  // the same value: no flush
  EXPECT_EQ(VornD3D_DrawCallCount(), 1u);
  // A clear after pending draws must not wipe them out of order.
  clear(kBlue);
  EXPECT_EQ(VornD3D_DrawCallCount(), 2u);
  point(30, 30, kRed);
  read();  // read-back flushes too
  EXPECT_EQ(VornD3D_DrawCallCount(), 3u);
  EXPECT_EQ(at(30, 30).r, 255);
  EXPECT_EQ(at(0, 0), (Rgba{0, 0, 255, 255}));
  point(40, 40, kRed);
  device->BeginScene();
  device->EndScene();
  EXPECT_EQ(VornD3D_DrawCallCount(), 4u) << "EndScene flushes";
  point(41, 40, kRed);
  VornD3D_SetVsync(false);
  device->Present(nullptr, nullptr, nullptr, nullptr);
  VornD3D_SetVsync(true);
  EXPECT_EQ(VornD3D_DrawCallCount(), 5u) << "Present flushes";
}

TEST_F(Batching, TextureContentsChangedBetweenDrawsAreSeenInOrder) {
  setup2D();
  clear(kBlack);
  IDirect3DTexture9* texture = makeTexture(1, 1, {kRed});
  device->SetTexture(0, texture);
  rect(0, 0, 8, 8, kWhite);
  // Rewriting the texture while the first draw is still batched.
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, 0);
  *static_cast<DWORD*>(locked.pBits) = kGreen;
  texture->UnlockRect(0);
  rect(8, 0, 16, 8, kWhite);
  read();
  EXPECT_EQ(at(4, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(at(12, 4), (Rgba{0, 255, 0, 255}));
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(Batching, DrawingFromUserMemoryUnsetsStreamZero) {
  setup2D();
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(36 * 3, 0, kFvf, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
  device->SetStreamSource(0, buffer, 0, 36);
  EXPECT_EQ(buffer->AddRef(), 3u);
  buffer->Release();
  point(1, 1, kRed);
  EXPECT_EQ(buffer->AddRef(), 2u) << "the device let go of the stream";
  buffer->Release();
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
  buffer->Release();
}

TEST(BatchingSwitch, EnvironmentVariableTurnsItOff) {
  if (std::getenv("VORN_D3D_TEST_CHILD")) {
    EXPECT_FALSE(VornD3D_Batching()) << "VORN_NO_BATCHING=1 is read at start-up";
    return;
  }
  EXPECT_TRUE(VornD3D_Batching() || std::getenv("VORN_NO_BATCHING"));
  char self[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const std::string command = std::string("VORN_NO_BATCHING=1 VORN_D3D_TEST_CHILD=1 '") + self +
                              "' --gtest_filter=BatchingSwitch.EnvironmentVariableTurnsItOff > /dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
}  // namespace d3dtest
