// GraphicsDevice arithmetic and the calls it makes, on a recording device.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_device.h"
#include "scene/texture.h"

namespace {

TEST(ClearColorWordTest, ChannelsTruncateTowardZero) {
  EXPECT_EQ(clearColorWord({1.0f / 255.0f, 1.0f / 255.0f, 1.0f / 255.0f, 1.0f / 255.0f}), 0x01010101u);
  EXPECT_EQ(clearColorWord({0.5f, 0.5f, 0.5f, 0.5f}), 0x7F7F7F7Fu);
  EXPECT_EQ(clearColorWord({0.0f, 0.0f, 0.0f, 1.0f}), 0xFF000000u);
  // The word is A, R, G, B from the top byte down.
  EXPECT_EQ(clearColorWord({1.0f, 0.0f, 0.0f, 0.0f}), 0x00FF0000u);
  EXPECT_EQ(clearColorWord({0.0f, 1.0f, 0.0f, 0.0f}), 0x0000FF00u);
  EXPECT_EQ(clearColorWord({0.0f, 0.0f, 1.0f, 0.0f}), 0x000000FFu);
  EXPECT_EQ(clearColorWord({0.999f, 0.2f, 0.0039f, 0.0f}), 0x00FE3300u);
}

TEST(ClearColorWordTest, OutOfRangeChannelsKeepTheirLowByte) {
  // 2.0 * 255 = 510 = 0x1FE: the low byte is 0xFE; a negative -1/255
  // truncates to -1, whose low byte is 0xFF. NaN and huge values give 0.
  EXPECT_EQ(clearColorWord({2.0f, 0.0f, 0.0f, 0.0f}), 0x00FE0000u);
  EXPECT_EQ(clearColorWord({0.0f, 0.0f, -1.0f / 255.0f, 0.0f}), 0x000000FFu);
  EXPECT_EQ(clearColorWord({std::nanf(""), 1e30f, 0.0f, 0.0f}), 0x00000000u);
}

TEST(ViewportPercentTest, WholeAndQuarters) {
  const D3DVIEWPORT9 whole = viewportPercent(800, 600, 0, 0, 100, 100);
  EXPECT_EQ(whole.X, 0u);
  EXPECT_EQ(whole.Y, 0u);
  EXPECT_EQ(whole.Width, 800u);
  EXPECT_EQ(whole.Height, 600u);
  EXPECT_EQ(whole.MinZ, 0.0f);
  EXPECT_EQ(whole.MaxZ, 1.0f);
  const D3DVIEWPORT9 half = viewportPercent(800, 600, 50, 50, 50, 50);
  EXPECT_EQ(half.X, 400u);
  EXPECT_EQ(half.Y, 300u);
  EXPECT_EQ(half.Width, 400u);
  EXPECT_EQ(half.Height, 300u);
}

TEST(ViewportPercentTest, FractionsTruncate) {
  const D3DVIEWPORT9 v = viewportPercent(1366, 768, 33.3f, 12.5f, 66.7f, 99.9f);
  EXPECT_EQ(v.X, 454u);      // 454.878
  EXPECT_EQ(v.Y, 96u);       // 96.0
  EXPECT_EQ(v.Width, 911u);  // 911.122
  EXPECT_EQ(v.Height, 767u);  // 767.232
  const D3DVIEWPORT9 negative = viewportPercent(800, 600, -10, 0, 100, 100);
  EXPECT_EQ(negative.X, 0u);
}

TEST(PresentParametersTest, WindowedDiscardWithDepth) {
  const D3DPRESENT_PARAMETERS p = devicePresentParameters(D3DFMT_X8R8G8B8, 0);
  EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_EQ(p.Windowed, TRUE);
  EXPECT_EQ(p.EnableAutoDepthStencil, TRUE);
  EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D16);
  EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_NONE);
  EXPECT_EQ(p.BackBufferWidth, 0u);
  EXPECT_EQ(p.BackBufferHeight, 0u);
  EXPECT_EQ(p.BackBufferCount, 0u);
  EXPECT_EQ(p.hDeviceWindow, nullptr);
  EXPECT_EQ(p.Flags, 0u);
  EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
}

TEST(PresentParametersTest, OnlyTwoAndFourSamplesAreRequested) {
  EXPECT_EQ(devicePresentParameters(D3DFMT_X8R8G8B8, 2).MultiSampleType, D3DMULTISAMPLE_2_SAMPLES);
  EXPECT_EQ(devicePresentParameters(D3DFMT_X8R8G8B8, 4).MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
  EXPECT_EQ(devicePresentParameters(D3DFMT_X8R8G8B8, 3).MultiSampleType, D3DMULTISAMPLE_NONE);
  EXPECT_EQ(devicePresentParameters(D3DFMT_X8R8G8B8, 8).MultiSampleType, D3DMULTISAMPLE_NONE);
}

TEST(GraphicsDeviceTest, ClearUsesFlagsColourDepthAndStencil) {
  FakeGraphics fake;
  fake.graphics.clearColor = {1.0f / 255.0f, 1.0f / 255.0f, 1.0f / 255.0f, 1.0f / 255.0f};
  fake.graphics.clear();
  ASSERT_EQ(fake.device.clears.size(), 1u);
  EXPECT_EQ(fake.device.clears[0].flags, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
  EXPECT_EQ(fake.device.clears[0].color, 0x01010101u);
  EXPECT_EQ(fake.device.clears[0].z, 1.0f);
  EXPECT_EQ(fake.device.clears[0].stencil, 0u);
  fake.graphics.clearFlags = D3DCLEAR_TARGET;
  fake.graphics.clear();
  EXPECT_EQ(fake.device.clears[1].flags, D3DCLEAR_TARGET);
}

TEST(GraphicsDeviceTest, EndFrameResetsViewportEndsSceneAndPresents) {
  FakeGraphics fake(1024, 768);
  fake.graphics.setViewportPercent(25, 25, 50, 50);
  EXPECT_EQ(fake.device.viewport.X, 256u);
  EXPECT_EQ(fake.device.viewport.Height, 384u);
  fake.graphics.inScene = 1;
  fake.device.calls.clear();
  fake.graphics.endFrame();
  EXPECT_EQ(fake.device.calls, (std::vector<std::string>{"SetViewport", "EndScene", "Present"}));
  EXPECT_EQ(fake.device.viewport.Width, 1024u);
  EXPECT_EQ(fake.device.viewport.Height, 768u);
  EXPECT_EQ(fake.graphics.inScene, 0);
  // Without an open scene there is nothing to end.
  fake.device.calls.clear();
  fake.graphics.endFrame();
  EXPECT_EQ(fake.device.calls, (std::vector<std::string>{"SetViewport", "Present"}));
}

TEST(GraphicsDeviceTest, BindTextureResourceSetsFiltersThenTexture) {
  FakeGraphics fake;
  auto* dummyTexture = reinterpret_cast<IDirect3DBaseTexture9*>(0x1000);
  TextureResource resource;
  resource.minFilter = D3DTEXF_POINT;
  resource.magFilter = D3DTEXF_LINEAR;
  resource.texture = dummyTexture;
  fake.graphics.bindTextureResource(1, &resource);
  EXPECT_EQ(fake.device.calls,
            (std::vector<std::string>{"SetSamplerState 1 6=1", "SetSamplerState 1 5=2", "SetTexture 1"}));
  EXPECT_EQ(fake.device.textures[1], dummyTexture);

  fake.device.calls.clear();
  resource.maxAnisotropy = 8;
  fake.graphics.bindTextureResource(0, &resource);
  EXPECT_EQ(fake.device.calls, (std::vector<std::string>{"SetSamplerState 0 6=1", "SetSamplerState 0 5=2",
                                                         "SetSamplerState 0 10=8", "SetSamplerState 0 7=3",
                                                         "SetTexture 0"}));
}

TEST(GraphicsDeviceTest, BindingNullClearsTheStageOnly) {
  FakeGraphics fake;
  fake.device.textures[2] = reinterpret_cast<IDirect3DBaseTexture9*>(0x1000);
  fake.device.samplerStates[{2, D3DSAMP_MINFILTER}] = D3DTEXF_POINT;
  fake.graphics.bindTextureResource(2, nullptr);
  EXPECT_EQ(fake.device.calls, (std::vector<std::string>{"SetTexture 2"}));
  EXPECT_EQ(fake.device.textures[2], nullptr);
  EXPECT_EQ((fake.device.samplerStates[{2, D3DSAMP_MINFILTER}]), static_cast<DWORD>(D3DTEXF_POINT));
}

TEST(GraphicsDeviceTest, FilterDefaultsAlwaysSetALinearMipFilter) {
  FakeGraphics fake;
  fake.graphics.setTextureFilterDefaults(D3DTEXF_POINT);
  EXPECT_EQ(fake.graphics.defaultMinFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
  EXPECT_EQ(fake.graphics.defaultMagFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
  EXPECT_EQ(fake.graphics.defaultMaxAnisotropy, 0u);
  EXPECT_EQ(fake.device.calls, (std::vector<std::string>{"SetSamplerState 0 7=2"}));
}

}  // namespace
