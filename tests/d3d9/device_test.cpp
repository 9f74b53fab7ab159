// Device creation, presentation parameters, default states, clearing and
// reference counting.
#include <cstring>

#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

using Device = DeviceTest;

TEST_F(Device, BackBufferTakesTheClientSizeAndDesktopFormat) {
  EXPECT_EQ(presentParameters.BackBufferWidth, 64u);
  EXPECT_EQ(presentParameters.BackBufferHeight, 64u);
  EXPECT_EQ(presentParameters.BackBufferFormat, D3DFMT_X8R8G8B8);
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(device->GetRenderTarget(0, &surface), D3D_OK);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Width, 64u);
  EXPECT_EQ(desc.Height, 64u);
  surface->Release();
  read();
  EXPECT_EQ(readWidth, 64);
  EXPECT_EQ(readHeight, 64);
}

TEST_F(Device, CreationRejectsBadArguments) {
  IDirect3DDevice9* other = nullptr;
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  EXPECT_TRUE(FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &pp, &other)))
      << "no window";
  EXPECT_EQ(other, nullptr);
  EXPECT_TRUE(FAILED(d3d->CreateDevice(1, D3DDEVTYPE_HAL, window, 0, &pp, &other))) << "no second adapter";
  pp.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(16);
  EXPECT_TRUE(FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, 0, &pp, &other)))
      << "sixteen samples are more than the software rasteriser offers";
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(Direct3DCreate9(31), nullptr) << "a wrong SDK version gives no object";
}

TEST_F(Device, MultisampledBackBufferResolvesEdges) {
  closeDevice();
  ASSERT_TRUE(openDevice(D3DMULTISAMPLE_4_SAMPLES)) << std::hex << createResult;
  setup2D();
  clear(kBlack);
  // A triangle whose long edge crosses pixels diagonally: multisampling
  // gives partially covered pixels intermediate values.
  Vertex tri[3] = {vertex(0, 0, 0, kWhite), vertex(64, 0, 0, kWhite), vertex(0, 64, 0, kWhite)};
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex));
  read();
  int partial = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (at(x, y).r > 0 && at(x, y).r < 255) ++partial;
  EXPECT_GT(partial, 30);
  EXPECT_EQ(at(2, 2).r, 255);
  EXPECT_EQ(at(60, 60).r, 0);
}

TEST_F(Device, RenderStatesStartAtDirect3DDefaults) {
  auto rs = [&](D3DRENDERSTATETYPE s) {
    DWORD v = 0xBAD;
    EXPECT_EQ(device->GetRenderState(s, &v), D3D_OK);
    return v;
  };
  EXPECT_EQ(rs(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE)) << "automatic depth buffer";
  EXPECT_EQ(rs(D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(rs(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
  EXPECT_EQ(rs(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(rs(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
  EXPECT_EQ(rs(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
  EXPECT_EQ(rs(D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_ALWAYS));
  EXPECT_EQ(rs(D3DRS_LIGHTING), 1u);
  EXPECT_EQ(rs(D3DRS_FOGENABLE), 0u);
  EXPECT_EQ(rs(D3DRS_FOGSTART), floatBits(0.0f));
  EXPECT_EQ(rs(D3DRS_FOGEND), floatBits(1.0f));
  EXPECT_EQ(rs(D3DRS_FOGDENSITY), floatBits(1.0f));
  EXPECT_EQ(rs(D3DRS_TEXTUREFACTOR), 0xFFFFFFFFu);
  EXPECT_EQ(rs(D3DRS_POINTSIZE), floatBits(1.0f));
  EXPECT_EQ(rs(D3DRS_POINTSCALE_A), floatBits(1.0f));
  float maxPointSize = 0.0f;
  const DWORD maxPointSizeBits = rs(D3DRS_POINTSIZE_MAX);
  std::memcpy(&maxPointSize, &maxPointSizeBits, sizeof maxPointSize);
  EXPECT_GT(maxPointSize, 64.0f) << "the device's largest point size, not the documented 64";
  EXPECT_EQ(rs(D3DRS_COLORWRITEENABLE), 0xFu);
  EXPECT_EQ(rs(D3DRS_DIFFUSEMATERIALSOURCE), static_cast<DWORD>(D3DMCS_COLOR1));
  EXPECT_EQ(rs(D3DRS_BLENDOP), static_cast<DWORD>(D3DBLENDOP_ADD));

  DWORD v = 0;
  device->GetTextureStageState(0, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_MODULATE));
  device->GetTextureStageState(0, D3DTSS_ALPHAOP, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_SELECTARG1));
  device->GetTextureStageState(1, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_DISABLE));
  device->GetTextureStageState(0, D3DTSS_COLORARG1, &v);
  EXPECT_EQ(v, D3DTA_TEXTURE);
  device->GetTextureStageState(0, D3DTSS_COLORARG2, &v);
  EXPECT_EQ(v, D3DTA_CURRENT);
  device->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &v);
  EXPECT_EQ(v, 3u);

  device->GetSamplerState(0, D3DSAMP_MINFILTER, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTEXF_POINT));
  device->GetSamplerState(0, D3DSAMP_MIPFILTER, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTEXF_NONE));
  device->GetSamplerState(5, D3DSAMP_ADDRESSU, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_WRAP));
  device->GetSamplerState(0, D3DSAMP_MAXANISOTROPY, &v);
  EXPECT_EQ(v, 1u);

  D3DVIEWPORT9 vp{};
  device->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 64u);
  EXPECT_EQ(vp.Height, 64u);
  EXPECT_EQ(vp.MaxZ, 1.0f);
}

TEST_F(Device, StatesReadBackAsSetAndOutOfRangeIsRefused) {
  EXPECT_EQ(device->SetRenderState(D3DRS_ALPHAREF, 0x7F), D3D_OK);
  DWORD v = 0;
  device->GetRenderState(D3DRS_ALPHAREF, &v);
  EXPECT_EQ(v, 0x7Fu);
  EXPECT_EQ(device->SetSamplerState(3, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
  device->GetSamplerState(3, D3DSAMP_MAGFILTER, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTEXF_LINEAR));
  EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(400), 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_MINFILTER, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->GetRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);

  D3DMATRIX m = screenMatrix(10, 20), back{};
  EXPECT_EQ(device->SetTransform(D3DTS_VIEW, &m), D3D_OK);
  EXPECT_EQ(device->GetTransform(D3DTS_VIEW, &back), D3D_OK);
  EXPECT_EQ(std::memcmp(&m, &back, sizeof m), 0);
  device->GetTransform(D3DTS_WORLD, &back);
  D3DMATRIX id = identityMatrix();
  EXPECT_EQ(std::memcmp(&id, &back, sizeof id), 0) << "world starts as the identity";

  D3DVIEWPORT9 tooBig{0, 0, 65, 64, 0, 1};
  EXPECT_EQ(device->SetViewport(&tooBig), D3DERR_INVALIDCALL);
  D3DVIEWPORT9 ok{8, 4, 16, 32, 0.25f, 0.75f}, got{};
  EXPECT_EQ(device->SetViewport(&ok), D3D_OK);
  device->GetViewport(&got);
  EXPECT_EQ(std::memcmp(&ok, &got, sizeof ok), 0);
}

TEST_F(Device, ClearWritesTheColourWordAsDirect3DReadsIt) {
  clear(D3DCOLOR_ARGB(0x40, 0x10, 0x80, 0xF0));
  read();
  EXPECT_EQ(at(0, 0), (Rgba{0x10, 0x80, 0xF0, 255})) << "the back buffer has no alpha (X8R8G8B8)";
  EXPECT_EQ(at(63, 63), (Rgba{0x10, 0x80, 0xF0, 255}));
  clear(0x01010101);
  read();
  EXPECT_EQ(at(31, 17), (Rgba{1, 1, 1, 255}));
}

TEST_F(Device, ClearFillsOnlyTheViewport) {
  clear(kBlack);
  D3DVIEWPORT9 vp{10, 20, 8, 4, 0, 1};
  ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
  clear(kRed);
  read();
  Box box = redBox();
  EXPECT_EQ(box.x0, 10);
  EXPECT_EQ(box.y0, 20) << "row 20 from the top";
  EXPECT_EQ(box.x1, 17);
  EXPECT_EQ(box.y1, 23);
  EXPECT_EQ(box.count, 32);
}

TEST_F(Device, ClearWithRectanglesStaysInsideTheViewport) {
  clear(kBlack);
  D3DVIEWPORT9 vp{0, 0, 32, 32, 0, 1};
  device->SetViewport(&vp);
  const LONG rects[8] = {2, 3, 6, 5, 30, 30, 40, 40};  // the second one sticks out of the viewport
  ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
  read();
  EXPECT_EQ(redBox().count, 4 * 2 + 2 * 2);
  EXPECT_EQ(at(2, 3).r, 255);
  EXPECT_EQ(at(31, 31).r, 255);
  EXPECT_EQ(at(32, 32).r, 0);
  EXPECT_EQ(device->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(Device, ClearIgnoresTheColourWriteMask) {
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  clear(kGreen);
  read();
  EXPECT_EQ(at(5, 5).g, 255);
}

TEST_F(Device, ScenesPairAndPresentCountsFrames) {
  EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->EndScene(), D3D_OK);
  VornD3D_SetVsync(false);
  const std::uint64_t before = VornWin32_PresentedFrames();
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(VornWin32_PresentedFrames(), before + 1);
  VornD3D_SetVsync(true);
}

TEST_F(Device, ReferencesCountLikeCom) {
  EXPECT_EQ(device->AddRef(), 2u);
  EXPECT_EQ(device->Release(), 1u);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(texture->AddRef(), 3u) << "the device holds a reference to a bound texture";
  texture->Release();
  IDirect3DBaseTexture9* got = nullptr;
  device->GetTexture(0, &got);
  EXPECT_EQ(got, texture);
  got->Release();
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
  EXPECT_EQ(texture->Release(), 2u) << "the surface keeps its texture";
  device->SetTexture(0, nullptr);
  EXPECT_EQ(surface->Release(), 0u) << "the last reference frees the texture";
}

TEST_F(Device, TexturesReportTheirShapeAndLockRoundTrips) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 5u) << "0 levels asks for the whole chain 16x8 .. 1x1";
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(3, &desc);
  EXPECT_EQ(desc.Width, 2u);
  EXPECT_EQ(desc.Height, 1u);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 8 * 4);
  static_cast<DWORD*>(locked.pBits)[5] = 0x11223344;
  EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "already locked";
  ASSERT_EQ(texture->UnlockRect(1), D3D_OK);
  ASSERT_EQ(texture->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<DWORD*>(locked.pBits)[5], 0x11223344u) << "the upload reached the texture";
  texture->UnlockRect(1);
  EXPECT_EQ(texture->UnlockRect(1), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->LockRect(9, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  texture->Release();

  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
            D3D_OK);
  EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "render targets are not lockable";
  target->Release();
  EXPECT_EQ(device->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &target, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(target, nullptr);
}

TEST_F(Device, VertexDeclarationsReturnTheirElements) {
  const D3DVERTEXELEMENT9 elements[] = {
      {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
      D3DDECL_END()};
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), D3D_OK);
  UINT count = 0;
  decl->GetDeclaration(nullptr, &count);
  EXPECT_EQ(count, 3u);
  D3DVERTEXELEMENT9 back[3];
  decl->GetDeclaration(back, &count);
  EXPECT_EQ(back[1].Offset, 12);
  EXPECT_EQ(back[2].Stream, 0xFF);
  ASSERT_EQ(device->SetVertexDeclaration(decl), D3D_OK);
  DWORD fvf = 1;
  device->GetFVF(&fvf);
  EXPECT_EQ(fvf, 0u) << "a declaration replaces the FVF";
  decl->Release();
  const D3DVERTEXELEMENT9 duplicate[] = {
      {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      D3DDECL_END()};
  EXPECT_EQ(device->CreateVertexDeclaration(duplicate, &decl), D3DERR_INVALIDCALL);
}

}  // namespace
}  // namespace d3dtest
