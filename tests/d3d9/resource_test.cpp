// Cube textures, texture formats, vertex and index buffers, and the
// asynchronous back-buffer read-back used by the capture tool.
#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

using Resources = DeviceTest;

TEST_F(Resources, CubeFacesAreSampledByDirection) {
  IDirect3DCubeTexture9* cube = nullptr;
  ASSERT_EQ(device->CreateCubeTexture(2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
  const DWORD colors[6] = {kRed, kGreen, kBlue, kWhite, 0xFFFF00FFu, 0xFF00FFFFu};
  for (int face = 0; face < 6; ++face) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0), D3D_OK);
    for (int i = 0; i < 4; ++i)
      reinterpret_cast<DWORD*>(static_cast<std::uint8_t*>(locked.pBits) + (i / 2) * locked.Pitch)[i % 2] =
          colors[face];
    cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
  }
  setup2D();
  device->SetTexture(0, cube);
  struct V {
    float x, y, z;
    float s, t, r;
  };
  device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1 | (1u << 16));  // one set of three coordinates
  const float dirs[6][3] = {{1, 0.1f, 0.1f}, {-1, 0.1f, 0.1f}, {0.1f, 1, 0.1f},
                            {0.1f, -1, 0.1f}, {0.1f, 0.1f, 1}, {0.1f, 0.1f, -1}};
  clear(kBlack);
  for (int face = 0; face < 6; ++face) {
    const float x = face * 8.0f;
    const float* d = dirs[face];
    V q[4] = {{x, 0, 0, d[0], d[1], d[2]}, {x + 8, 0, 0, d[0], d[1], d[2]}, {x + 8, 8, 0, d[0], d[1], d[2]},
              {x, 8, 0, d[0], d[1], d[2]}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(V)), D3D_OK);
  }
  read();
  for (int face = 0; face < 6; ++face) {
    const DWORD c = colors[face];
    EXPECT_EQ(at(face * 8 + 4, 4), (Rgba{int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255), 255}))
        << "face " << face << " " << VornD3D_LastProgramError(device);
  }
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, &surface), D3D_OK);
  D3DSURFACE_DESC desc{};
  surface->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 2u);
  surface->Release();
  device->SetTexture(0, nullptr);
  EXPECT_EQ(cube->Release(), 0u);
}

TEST_F(Resources, AlphaOnlyAndSixteenBitFormatsSample) {
  setup2D();
  IDirect3DTexture9* alpha = nullptr;
  ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED, &alpha, nullptr), D3D_OK);
  D3DLOCKED_RECT locked{};
  alpha->LockRect(0, &locked, nullptr, 0);
  *static_cast<std::uint8_t*>(locked.pBits) = 0x40;
  alpha->UnlockRect(0);
  device->SetTexture(0, alpha);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);  // diffuse colour, texture alpha
  clear(kBlack);
  rect(0, 0, 4, 4, kWhite);
  read();
  EXPECT_NEAR(at(1, 1).r, 0x40, 1) << "A8 reads as alpha";
  std::vector<std::uint8_t> texels;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(alpha, &texels, &w, &h));
  EXPECT_EQ(texels[3], 0x40);
  EXPECT_EQ(texels[0], 0);
  device->SetTexture(0, nullptr);
  alpha->Release();

  IDirect3DTexture9* rgb565 = nullptr;
  ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &rgb565, nullptr), D3D_OK);
  rgb565->LockRect(0, &locked, nullptr, 0);
  *static_cast<std::uint16_t*>(locked.pBits) = 0xF800;  // red in the top five bits
  rgb565->UnlockRect(0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTexture(0, rgb565);
  rect(0, 0, 4, 4, kWhite);
  read();
  EXPECT_EQ(at(1, 1), (Rgba{255, 0, 0, 255}));
  device->SetTexture(0, nullptr);
  rgb565->Release();
}

TEST_F(Resources, IndexedDrawingFromBuffers) {
  setup2D();
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(8 * sizeof(Vertex), 0, kFvf, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
  ASSERT_EQ(device->CreateIndexBuffer(12 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  Vertex* v = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, reinterpret_cast<void**>(&v), 0), D3D_OK);
  for (int q = 0; q < 2; ++q) {
    const float x = q * 16.0f;
    const DWORD c = q ? kGreen : kRed;
    v[q * 4 + 0] = vertex(x, 0, 0, c);
    v[q * 4 + 1] = vertex(x + 8, 0, 0, c);
    v[q * 4 + 2] = vertex(x + 8, 8, 0, c);
    v[q * 4 + 3] = vertex(x, 8, 0, c);
  }
  vb->Unlock();
  std::uint16_t* idx = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0), D3D_OK);
  const std::uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
  for (int i = 0; i < 12; ++i) idx[i] = quad[i % 6];
  ib->Unlock();
  device->SetStreamSource(0, vb, 0, sizeof(Vertex));
  device->SetIndices(ib);
  clear(kBlack);
  // The second quad through the base vertex index.
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 6, 2), D3D_OK);
  read();
  EXPECT_EQ(at(20, 4), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(at(4, 4), (Rgba{0, 0, 0, 255}));
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
  read();
  EXPECT_EQ(at(4, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 6, 4), D3DERR_INVALIDCALL)
      << "indices past the index buffer";
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 6, 0, 4, 0, 2), D3DERR_INVALIDCALL)
      << "vertices past the vertex buffer";
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb->Lock(0, 1000, reinterpret_cast<void**>(&v), 0), D3DERR_INVALIDCALL);
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetIndices(nullptr);
  vb->Release();
  ib->Release();
}

TEST_F(Resources, BackBufferReadsQueueUpAndComeBackInOrder) {
  setup2D();
  VornD3D_SetVsync(false);
  const DWORD colors[3] = {kRed, kGreen, kBlue};
  for (DWORD c : colors) {
    clear(c);
    ASSERT_TRUE(VornD3D_QueueBackBufferRead(device));
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
  for (DWORD c : colors) {
    std::vector<std::uint8_t> frame;
    int w = 0, h = 0;
    ASSERT_TRUE(VornD3D_TakeBackBufferRead(device, &frame, &w, &h, true));
    ASSERT_EQ(w, 64);
    EXPECT_EQ(frame[0], (c >> 16) & 255);
    EXPECT_EQ(frame[1], (c >> 8) & 255);
    EXPECT_EQ(frame[2], c & 255);
  }
  std::vector<std::uint8_t> none;
  EXPECT_FALSE(VornD3D_TakeBackBufferRead(device, &none, nullptr, nullptr, true)) << "nothing left";
  VornD3D_SetVsync(true);
}

TEST_F(Resources, ReadTextureIsTopRowFirst) {
  IDirect3DTexture9* texture = makeTexture(1, 2, {kRed, kBlue});
  std::vector<std::uint8_t> texels;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(texture, &texels, &w, &h));
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(texels[0], 255);
  EXPECT_EQ(texels[6], 255);
  texture->Release();
  EXPECT_FALSE(VornD3D_ReadTexture(nullptr, &texels, &w, &h));
}

TEST_F(Resources, SetRenderTargetDrawsIntoATextureUpright) {
  setup2D();
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
            D3D_OK);
  IDirect3DSurface9* level = nullptr;
  IDirect3DSurface9* backBuffer = nullptr;
  ASSERT_EQ(target->GetSurfaceLevel(0, &level), D3D_OK);
  ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
  EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
  IDirect3DTexture9* plain = makeTexture(1, 1, {kWhite});
  IDirect3DSurface9* plainLevel = nullptr;
  plain->GetSurfaceLevel(0, &plainLevel);
  EXPECT_EQ(device->SetRenderTarget(0, plainLevel), D3DERR_INVALIDCALL) << "not a render target";

  // Red over the target's top half; the viewport follows the target.
  ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
  D3DVIEWPORT9 viewport{};
  device->GetViewport(&viewport);
  EXPECT_EQ(viewport.Width, 32u);
  clear(kBlack);
  D3DMATRIX m = screenMatrix(32, 32);
  device->SetTransform(D3DTS_PROJECTION, &m);
  rect(0, 0, 32, 16, kRed);
  // Back on the back buffer, the target drawn over the whole of it.
  ASSERT_EQ(device->SetRenderTarget(0, backBuffer), D3D_OK);
  setup2D();
  clear(kBlack);
  device->SetTexture(0, target);
  rect(0, 0, static_cast<float>(width), static_cast<float>(height), kWhite);
  read();
  EXPECT_EQ(at(width / 2, height / 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(at(width / 2, 3 * height / 4), (Rgba{0, 0, 0, 255}));
  device->SetTexture(0, nullptr);
  plainLevel->Release();
  plain->Release();
  backBuffer->Release();
  level->Release();
  target->Release();
}

}  // namespace
}  // namespace d3dtest
