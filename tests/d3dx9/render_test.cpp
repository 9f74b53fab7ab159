// Render-to-surface, textures loaded from image files and meshes, on pixels
// read back from the headless device.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "d3d9/d3d9_test_support.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/d3dx_internal.h"
#include "stb_image_write.h"

namespace d3dtest {
namespace {

using RenderToSurface = DeviceTest;

class TargetTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_EQ(D3DXCreateTexture(device, 32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target),
              D3D_OK);
    ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    ASSERT_EQ(D3DXCreateRenderToSurface(device, desc.Width, desc.Height, desc.Format, TRUE, D3DFMT_D16, &rts), D3D_OK);
  }
  void TearDown() override {
    device->SetTexture(0, nullptr);
    if (rts) rts->Release();
    if (surface) surface->Release();
    if (target) target->Release();
    DeviceTest::TearDown();
  }
  IDirect3DTexture9* target = nullptr;
  IDirect3DSurface9* surface = nullptr;
  ID3DXRenderToSurface* rts = nullptr;
};

TEST_F(TargetTest, PictureDrawnIntoATargetSamplesUpright) {
  setup2D();
  clear(kBlack);
  ASSERT_EQ(rts->BeginScene(surface, nullptr), D3D_OK);
  D3DVIEWPORT9 vp{};
  device->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 32u) << "the whole surface is the viewport";
  IDirect3DSurface9* current = nullptr;
  device->GetRenderTarget(0, &current);
  EXPECT_EQ(current, surface);
  current->Release();
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlue, 1.0f, 0);
  D3DMATRIX m = screenMatrix(32, 32);
  device->SetTransform(D3DTS_PROJECTION, &m);
  rect(0, 0, 8, 8, kRed);  // top-left corner of the picture
  ASSERT_EQ(rts->EndScene(0), D3D_OK);
  device->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 64u) << "the back buffer's viewport is back";

  // Texture row 0 is the picture's top row.
  std::vector<std::uint8_t> texels;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(target, &texels, &w, &h));
  EXPECT_EQ(texels[0], 255);
  EXPECT_EQ(texels[2], 0);
  EXPECT_EQ(texels[(31 * 32 + 31) * 4 + 2], 255) << "bottom-right is the clear colour";

  // Drawn with texture coordinates (0,0)-(1,1) the picture comes out upright.
  m = screenMatrix(64, 64);
  device->SetTransform(D3DTS_PROJECTION, &m);
  device->SetTexture(0, target);
  rect(0, 0, 32, 32, kWhite);
  read();
  EXPECT_EQ(at(2, 2), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(at(29, 29), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(at(50, 50), (Rgba{0, 0, 0, 255})) << "the back buffer kept its own contents";
}

TEST_F(TargetTest, TheTargetHasItsOwnDepthBuffer) {
  setup2D();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  // The back buffer's depth at 0: nothing farther passes there.
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 0.0f, 0);
  ASSERT_EQ(rts->BeginScene(surface, nullptr), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
  D3DMATRIX m = screenMatrix(32, 32);
  device->SetTransform(D3DTS_PROJECTION, &m);
  rect(0, 0, 32, 32, kGreen, 0.5f);
  rect(0, 0, 16, 32, kRed, 0.7f);  // behind the green: hidden by the target's depth
  rts->EndScene(0);
  std::vector<std::uint8_t> texels;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(target, &texels, &w, &h));
  EXPECT_EQ(texels[(16 * 32 + 4) * 4 + 1], 255);
  EXPECT_EQ(texels[(16 * 32 + 4) * 4 + 0], 0);
  // The back buffer's depth is untouched: a quad at 0.5 still fails there.
  m = screenMatrix(64, 64);
  device->SetTransform(D3DTS_PROJECTION, &m);
  rect(0, 0, 64, 64, kRed, 0.5f);
  read();
  EXPECT_EQ(at(10, 10).r, 0);
}

TEST_F(TargetTest, BeginSceneWorksWithADeviceSceneOpenAndRefusesMisuse) {
  ASSERT_EQ(device->BeginScene(), D3D_OK);  // callers keep a scene open across targets
  ASSERT_EQ(rts->BeginScene(surface, nullptr), D3D_OK);
  EXPECT_EQ(rts->BeginScene(surface, nullptr), D3DERR_INVALIDCALL) << "already drawing into it";
  device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0);
  EXPECT_EQ(rts->EndScene(0), D3D_OK);
  EXPECT_EQ(rts->EndScene(0), D3DERR_INVALIDCALL);
  std::vector<std::uint8_t> texels;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(target, &texels, &w, &h));
  EXPECT_EQ(texels[1], 255);

  IDirect3DTexture9* small = nullptr;
  ASSERT_EQ(D3DXCreateTexture(device, 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &small),
            D3D_OK);
  IDirect3DSurface9* smallSurface = nullptr;
  small->GetSurfaceLevel(0, &smallSurface);
  EXPECT_EQ(rts->BeginScene(smallSurface, nullptr), D3DERR_INVALIDCALL) << "the surface must have the object's size";
  EXPECT_EQ(rts->BeginScene(nullptr, nullptr), D3DERR_INVALIDCALL);
  smallSurface->Release();
  small->Release();
  D3DXRTS_DESC desc{};
  rts->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 32u);
  EXPECT_EQ(desc.DepthStencilFormat, D3DFMT_D16);
}

TEST_F(RenderToSurface, TwentyFourBitTargetsBecomeX8R8G8B8) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(D3DXCreateTexture(device, 8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R8G8B8, D3DPOOL_DEFAULT, &texture),
            D3D_OK);
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  texture->Release();
  ASSERT_EQ(D3DXCreateTexture(device, 8, 8, D3DX_DEFAULT, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 4u);
  texture->Release();
}

// ---- image files -------------------------------------------------------------------

class TextureFiles : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    dir = std::filesystem::temp_directory_path() / ("vorn_d3dx_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "textures");
  }
  void TearDown() override {
    std::filesystem::remove_all(dir);
    DeviceTest::TearDown();
  }
  std::filesystem::path dir;
};

TEST_F(TextureFiles, PngLoadsWithAFullMipChainOfBoxAverages) {
  // 4x2 RGBA: a left half of red/green, a right half of blue/half-white.
  const std::uint8_t rgba[4 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128,
                                        255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
  const std::string file = (dir / "textures" / "image.png").string();
  ASSERT_NE(stbi_write_png(file.c_str(), 4, 2, 4, rgba, 16), 0);
  // A Windows-style relative path works as on Windows.
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = D3DXCreateTextureFromFileA(device, "textures\\image.png", &texture);
  std::filesystem::current_path(old);
  ASSERT_EQ(hr, D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 3u) << "4x2, 2x1, 1x1";
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(desc.Width, 4u);
  std::vector<std::uint8_t> back;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(texture, &back, &w, &h));
  ASSERT_EQ(back.size(), sizeof rgba);
  EXPECT_EQ(std::memcmp(back.data(), rgba, sizeof rgba), 0) << "row 0 of the file is row 0 of the texture";
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  const std::uint8_t* level1 = static_cast<const std::uint8_t*>(locked.pBits);  // B, G, R, A
  EXPECT_EQ(level1[0], 0);    // blue of (red + green) / 2
  EXPECT_EQ(level1[1], 128);  // green
  EXPECT_EQ(level1[2], 128);  // red
  EXPECT_EQ(level1[3], 255);
  EXPECT_EQ(level1[4 + 3], 192) << "alpha averaged: (255 + 128) / 2";
  texture->UnlockRect(1);
  texture->Release();
}

TEST_F(TextureFiles, OtherFormatsLoadAndBadFilesFail) {
  const std::uint8_t rgb[2 * 2 * 3] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  const std::string bmp = (dir / "a.bmp").string(), tga = (dir / "a.tga").string(), jpg = (dir / "a.jpg").string();
  ASSERT_NE(stbi_write_bmp(bmp.c_str(), 2, 2, 3, rgb), 0);
  ASSERT_NE(stbi_write_tga(tga.c_str(), 2, 2, 3, rgb), 0);
  ASSERT_NE(stbi_write_jpg(jpg.c_str(), 2, 2, 3, rgb, 95), 0);
  for (const std::string& file : {bmp, tga, jpg}) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, file.c_str(), &texture), D3D_OK) << file;
    std::vector<std::uint8_t> back;
    int w = 0, h = 0;
    VornD3D_ReadTexture(texture, &back, &w, &h);
    EXPECT_NEAR(back[4], 40, file == jpg ? 12 : 0) << file;
    EXPECT_EQ(back[3], 255) << "opaque without an alpha channel";
    texture->Release();
  }
  const std::string junk = (dir / "junk.png").string();
  std::ofstream(junk) << "not an image at all";
  IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
  EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(device, junk.c_str(), &texture)));
  EXPECT_EQ(texture, nullptr);
  EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(device, (dir / "missing.png").string().c_str(), &texture)));
  EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(device, nullptr, &texture)));
}

TEST(BoxFilter, OddSizesRepeatTheEdge) {
  const std::uint8_t image[3 * 1 * 4] = {0, 0, 0, 0, 100, 100, 100, 100, 200, 200, 200, 200};
  std::vector<std::uint8_t> out;
  int w = 0, h = 0;
  vorn::d3dx::boxDownsample(image, 3, 1, &out, &w, &h);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(out[0], 50);
}

// ---- meshes ------------------------------------------------------------------------------

class Meshes : public DeviceTest {
 protected:
  // A mesh of quads side by side, quad i with triangles of attribute attr[i].
  ID3DXMesh* makeMesh(const std::vector<DWORD>& quadAttributes, DWORD options = D3DXMESH_32BIT | D3DXMESH_MANAGED) {
    const D3DVERTEXELEMENT9 decl[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    const DWORD quads = static_cast<DWORD>(quadAttributes.size());
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXCreateMesh(quads * 2, quads * 4, options, decl, device, &mesh), D3D_OK);
    if (!mesh) return nullptr;
    EXPECT_EQ(mesh->GetNumBytesPerVertex(), 16u);
    struct V {
      float x, y, z;
      DWORD c;
    };
    V* v = nullptr;
    mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
    for (DWORD q = 0; q < quads; ++q) {
      const float x = q * 8.0f;
      const DWORD c = q % 2 ? kGreen : kRed;
      v[q * 4 + 0] = {x, 0, 0, c};
      v[q * 4 + 1] = {x + 8, 0, 0, c};
      v[q * 4 + 2] = {x + 8, 8, 0, c};
      v[q * 4 + 3] = {x, 8, 0, c};
    }
    mesh->UnlockVertexBuffer();
    void* indices = nullptr;
    mesh->LockIndexBuffer(0, &indices);
    for (DWORD q = 0; q < quads; ++q) {
      const DWORD tri[6] = {q * 4, q * 4 + 1, q * 4 + 2, q * 4, q * 4 + 2, q * 4 + 3};
      for (int k = 0; k < 6; ++k) {
        if (options & D3DXMESH_32BIT) static_cast<std::uint32_t*>(indices)[q * 6 + k] = tri[k];
        else static_cast<std::uint16_t*>(indices)[q * 6 + k] = static_cast<std::uint16_t>(tri[k]);
      }
    }
    mesh->UnlockIndexBuffer();
    DWORD* attributes = nullptr;
    mesh->LockAttributeBuffer(0, &attributes);
    for (DWORD q = 0; q < quads; ++q) attributes[q * 2] = attributes[q * 2 + 1] = quadAttributes[q];
    mesh->UnlockAttributeBuffer();
    return mesh;
  }

  std::vector<int> drawnQuads() {
    read();
    std::vector<int> drawn;
    for (int q = 0; q < 8; ++q)
      if (at(q * 8 + 4, 4).r > 0 || at(q * 8 + 4, 4).g > 0) drawn.push_back(q);
    return drawn;
  }
};

TEST_F(Meshes, DrawSubsetDrawsOnlyTheTrianglesOfThatAttribute) {
  setup2D();
  ID3DXMesh* mesh = makeMesh({1, 0, 1, 2, 0, 1});
  clear(kBlack);
  ASSERT_EQ(mesh->DrawSubset(1), D3D_OK);
  EXPECT_EQ(drawnQuads(), (std::vector<int>{0, 2, 5}));
  clear(kBlack);
  mesh->DrawSubset(0);
  EXPECT_EQ(drawnQuads(), (std::vector<int>{1, 4}));
  clear(kBlack);
  EXPECT_EQ(mesh->DrawSubset(7), D3D_OK) << "an id without triangles draws nothing";
  EXPECT_EQ(drawnQuads(), (std::vector<int>{}));
  // The colours come through the mesh's declaration.
  mesh->DrawSubset(2);
  read();
  EXPECT_EQ(at(3 * 8 + 4, 4), (Rgba{0, 255, 0, 255}));

  // The index buffer reads back in the caller's order, not the draw order.
  std::uint32_t* indices = nullptr;
  mesh->LockIndexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&indices));
  EXPECT_EQ(indices[6], 4u);
  mesh->UnlockIndexBuffer();
  // Changing attributes regroups the triangles.
  DWORD* attributes = nullptr;
  mesh->LockAttributeBuffer(0, &attributes);
  attributes[0] = attributes[1] = 0;
  mesh->UnlockAttributeBuffer();
  clear(kBlack);
  mesh->DrawSubset(0);
  EXPECT_EQ(drawnQuads(), (std::vector<int>{0, 1, 4}));
  EXPECT_EQ(mesh->GetNumFaces(), 12u);
  EXPECT_EQ(mesh->Release(), 0u);
}

TEST_F(Meshes, SixteenBitIndicesAndBadIndicesAreHandled) {
  setup2D();
  ID3DXMesh* mesh = makeMesh({0, 0, 0}, D3DXMESH_MANAGED);
  std::uint16_t* indices = nullptr;
  mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&indices));
  indices[6] = 5000;  // quad 1's first triangle points past the vertices
  mesh->UnlockIndexBuffer();
  clear(kBlack);
  ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
  read();
  EXPECT_EQ(at(4, 4).r, 255);
  EXPECT_EQ(at(8 + 6, 1).g, 0) << "the bad triangle is left out";
  EXPECT_EQ(at(8 + 1, 6).g, 255) << "its neighbour is drawn";
  mesh->Release();
  const D3DVERTEXELEMENT9 decl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  ID3DXMesh* none = nullptr;
  EXPECT_TRUE(FAILED(D3DXCreateMesh(0, 3, D3DXMESH_32BIT, decl, device, &none)));
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(FAILED(D3DXCreateMesh(1, 70000, D3DXMESH_MANAGED, decl, device, &none))) << "16-bit indices";
}

}  // namespace
}  // namespace d3dtest
