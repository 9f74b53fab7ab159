// Render targets: creation, drawing into them, the failure messages.
#include "device_fixture.h"
#include "graphics/render_target.h"

namespace {

using RenderTargetTest = DeviceTest;

TEST_F(RenderTargetTest, KindNineMakesATextureSurfaceAndRenderer) {
  TextureResource* target = createRenderTarget(RT_TEXTURE | RT_OWNS_SURFACE, 512, 512, 4);
  ASSERT_NE(target, nullptr);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(target->kind, 9u);
  EXPECT_EQ(target->minFilter, static_cast<std::uint32_t>(D3DTEXF_LINEAR));
  EXPECT_EQ(target->magFilter, static_cast<std::uint32_t>(D3DTEXF_LINEAR));
  EXPECT_EQ(target->maxAnisotropy, 0u);
  ASSERT_NE(target->texture, nullptr);
  ASSERT_NE(target->surface, nullptr);
  ASSERT_NE(target->renderToSurface, nullptr);
  D3DXRTS_DESC desc{};
  target->renderToSurface->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 512u);
  EXPECT_EQ(desc.Height, 512u);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(desc.DepthStencil, TRUE);
  EXPECT_EQ(desc.DepthStencilFormat, D3DFMT_D16);
  destroyRenderTarget(target);
}

TEST_F(RenderTargetTest, DrawingLandsInTheTargetNotTheBackBuffer) {
  TextureResource* target = createRenderTarget(9, 32, 32, 4);
  ASSERT_NE(target, nullptr);
  graphics->clearColor = {0.0f, 0.0f, 1.0f, 1.0f};
  graphics->clear();
  beginRenderTarget(target);
  graphics->clearColor = {0.0f, 1.0f, 0.0f, 1.0f};
  graphics->clear();
  endRenderTarget(target);

  std::vector<std::uint8_t> rgba;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(static_cast<IDirect3DTexture9*>(target->texture), &rgba, &w, &h));
  ASSERT_EQ(w, 32);
  EXPECT_EQ(rgba[1], 255);
  EXPECT_EQ(rgba[2], 0);
  const std::vector<std::uint8_t> back = pixel(5, 5);
  EXPECT_EQ(back[2], 255);
  EXPECT_EQ(back[1], 0);
  destroyRenderTarget(target);
}

TEST_F(RenderTargetTest, UnsupportedDepthShowsItsMessage) {
  EXPECT_EQ(createRenderTarget(9, 512, 512, 2), nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "bwCreateTexture Error");
  EXPECT_EQ(messages[0].second, "Incorrect depth components !");
}

TEST_F(RenderTargetTest, FailedTextureCreationShowsItsMessage) {
  EXPECT_EQ(createRenderTarget(9, 100000, 100000, 4), nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "D3DXCreateTexture Error");
  EXPECT_EQ(messages[0].second, "Failed to create a texture with the D3DUSAGE_RENDERTARGET usage flag set!");
}

TEST_F(RenderTargetTest, MissingTargetsDrawToTheBackBuffer) {
  beginRenderTarget(nullptr);
  TextureResource incomplete;
  beginRenderTarget(&incomplete);
  graphics->clearColor = {1.0f, 0.0f, 0.0f, 1.0f};
  graphics->clear();
  endRenderTarget(&incomplete);
  endRenderTarget(nullptr);
  EXPECT_EQ(pixel(1, 1)[0], 255);
  destroyRenderTarget(nullptr);
}

}  // namespace
