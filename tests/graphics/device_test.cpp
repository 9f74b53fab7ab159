// The graphics device on the real platform layer: creation, initial render
// states, clearing, and the failure path.
#include <cstdio>
#include <cstdlib>

#include "device_fixture.h"

namespace {

TEST_F(DeviceTest, CreationSetsSizeAndInitialRenderStates) {
  EXPECT_EQ(graphics->backBufferWidth, 64u);
  EXPECT_EQ(graphics->backBufferHeight, 48u);
  DWORD value = 12345;
  graphics->device->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, static_cast<DWORD>(FALSE));
  graphics->device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));
  graphics->device->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DZB_TRUE));
  graphics->device->GetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DMCS_MATERIAL));
  EXPECT_EQ(graphics->inScene, 0);
  EXPECT_TRUE(messages.empty());
}

TEST_F(DeviceTest, ClearFillsTheBackBufferWithTheClearColour) {
  graphics->clearColor = {1.0f, 0.5f, 1.0f / 255.0f, 1.0f};
  graphics->clear();
  const std::vector<std::uint8_t> p = pixel(10, 10);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 127);
  EXPECT_EQ(p[2], 1);
  graphics->clearColor = {0.0f, 0.0f, 0.0f, 1.0f};
  graphics->clear();
  EXPECT_EQ(pixel(63, 47)[0], 0);
}

TEST_F(DeviceTest, ViewportCoversTheBackBuffer) {
  graphics->setViewportPercent(50, 50, 50, 50);
  D3DVIEWPORT9 v{};
  graphics->device->GetViewport(&v);
  EXPECT_EQ(v.X, 32u);
  EXPECT_EQ(v.Y, 24u);
  EXPECT_EQ(v.Width, 32u);
  EXPECT_EQ(v.Height, 24u);
  graphics->endFrame();
  graphics->device->GetViewport(&v);
  EXPECT_EQ(v.X, 0u);
  EXPECT_EQ(v.Width, 64u);
  EXPECT_EQ(v.Height, 48u);
}

TEST_F(DeviceTest, FilterDefaultsSetTheMipFilterOfStageZero) {
  graphics->device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  graphics->setTextureFilterDefaults(D3DTEXF_POINT);
  DWORD value = 0;
  graphics->device->GetSamplerState(0, D3DSAMP_MIPFILTER, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_LINEAR));
}

TEST(DeviceCreationTest, TryCreateWithoutAWindowFailsQuietly) {
  std::vector<std::string> captions;
  VornWin32_SetMessageBoxObserver([&](const std::string&, const std::string& caption) { captions.push_back(caption); });
  EXPECT_EQ(GraphicsDevice::tryCreate(nullptr, 64, 64, 0), nullptr);
  EXPECT_TRUE(captions.empty());
  VornWin32_SetMessageBoxObserver(nullptr);
  VornWin32_Reset();
}

TEST(DeviceCreationDeathTest, FailureShowsTheMessageAndExitsWithFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        VornWin32_SetMessageBoxObserver([](const std::string& text, const std::string& caption) {
          std::fprintf(stderr, "observed [%s] [%s]\n", caption.c_str(), text.c_str());
        });
        GraphicsDevice::create(nullptr, 64, 64, 0);
        std::exit(0);  // not reached when creation fails as it should
      },
      ::testing::ExitedWithCode(EXIT_FAILURE), "observed \\[Bang!\\] \\[Configuration not supported!\\]");
}

}  // namespace
