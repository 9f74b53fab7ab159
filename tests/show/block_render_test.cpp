// The blocks drawn one by one on a headless device: with the real data they
// draw into the targets and onto the screen, with nothing loaded they run
// without touching a missing object.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "blocks/blocks.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "runtime/demo_resources.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "scene/texture.h"
#include "show/show_support.h"
#include "ui2d/headless_device.h"

namespace {

// Every block class with a time inside its window.
struct BlockCase {
  const char* name;
  std::int32_t startMs, endMs, atMs;
  std::shared_ptr<DemoScene_Block> (*make)(std::int32_t, std::int32_t, DemoResources*);
};

// The base destructor is protected: the shared pointer deletes through the
// block's own class.
template <typename B>
std::shared_ptr<DemoScene_Block> makeBlock(std::int32_t start, std::int32_t end, DemoResources* r) {
  return std::shared_ptr<DemoScene_Block>(new B(start, end, r));
}

const std::vector<BlockCase>& blockCases() {
  static const std::vector<BlockCase> cases = {
      {"block0", 0, 17500, 9000, makeBlock<block0>},
      {"block1", 17500, 52500, 35000, makeBlock<block1>},
      {"block1_fita", 52500, 60000, 56000, makeBlock<block1_fita>},
      {"block4", 60000, 78000, 69000, makeBlock<block4>},
      {"block3", 78000, 113500, 95000, makeBlock<block3>},
      {"bloco_final", 113500, 148500, 130000, makeBlock<bloco_final>},
      {"block_credits", 148500, 174500, 160000, makeBlock<block_credits>},
      {"block2", 15450, 19550, 17000, makeBlock<block2>},
  };
  return cases;
}


// One frame as the driver draws it: clear, the block, the picture read back
// before it is presented.
std::vector<std::uint8_t> drawFrame(HeadlessDevice& device, DemoScene_Block& block, std::int32_t atMs) {
  g_graphicsDevice->clearColor = ColorF{0.0f, 0.0f, 0.0f, 1.0f};
  g_graphicsDevice->clear();
  block.nowMs = atMs;
  block.render();
  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  EXPECT_TRUE(device.read());
  g_graphicsDevice->endFrame();
  return device.rgba();
}

std::vector<std::uint8_t> readTarget(TextureResource* target) {
  std::vector<std::uint8_t> rgba;
  int w = 0, h = 0;
  if (!target || !target->texture) return rgba;
  if (!VornD3D_ReadTexture(static_cast<IDirect3DTexture9*>(target->texture), &rgba, &w, &h)) rgba.clear();
  return rgba;
}

// ---- Nothing loaded -------------------------------------------------------

class EmptyResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override { OPEN_HEADLESS(device, 160, 120); }
  void TearDown() override { device.close(); }
  HeadlessDevice device;
};

TEST_F(EmptyResourcesTest, EveryBlockRunsWithEveryResourceMissing) {
  DemoResources empty;
  empty.aspectRatio = 4.0f / 3.0f;
  for (const BlockCase& c : blockCases()) {
    SCOPED_TRACE(c.name);
    auto block = c.make(c.startMs, c.endMs, &empty);
    for (std::int32_t t : {c.startMs, c.atMs, c.endMs - 1}) drawFrame(device, *block, t);
    // No record at all.
    auto orphan = c.make(c.startMs, c.endMs, nullptr);
    drawFrame(device, *orphan, c.atMs);
  }
  EXPECT_EQ(empty.scene1, nullptr);
}

TEST_F(EmptyResourcesTest, EveryBlockRunsWithEmptyScenesAndNoPrograms) {
  // What loading leaves without data files: empty scenes, textures without
  // pictures, no programs, but real render targets.
  showtest::EmptyFolder folder;
  ASSERT_FALSE(folder.path().empty());
  showtest::WorkingDirectory inside(folder.path());
  DemoResources r;
  r.aspectRatio = 4.0f / 3.0f;
  r.framework = device.framework();
  ::testing::internal::CaptureStderr();
  loadDemoResources(&r);
  ::testing::internal::GetCapturedStderr();
  for (const BlockCase& c : blockCases()) {
    SCOPED_TRACE(c.name);
    auto block = c.make(c.startMs, c.endMs, &r);
    drawFrame(device, *block, c.atMs);
    drawFrame(device, *block, c.endMs - 1);
  }
  releaseDemoResources(&r);
}

TEST_F(EmptyResourcesTest, TitleMetalFlickersBetweenGreys) {
  Scene* title = new Scene;
  Material* metal = new Material;
  metal->name = "Metal";
  title->materials.push_back(metal);
  DemoResources r;
  r.sceneInicio = title;
  block0 block(0, 17500, &r);
  std::set<float> greys;
  for (int frame = 0; frame < 8; ++frame) {
    drawFrame(device, block, 1000 + frame * 16);
    EXPECT_GE(metal->diffuse.r, 0.2f);
    EXPECT_LE(metal->diffuse.r, 1.0f);
    EXPECT_EQ(metal->diffuse.g, metal->diffuse.r);
    EXPECT_EQ(metal->diffuse.b, metal->diffuse.r);
    EXPECT_EQ(metal->diffuse.a, 1.0f);
    greys.insert(metal->diffuse.r);
  }
  EXPECT_GE(greys.size(), 4u) << "the grey should change from frame to frame";
  title->destroy();
  delete title;
}

// ---- The real data --------------------------------------------------------

class RealDataBlocksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!showtest::haveData()) return;
    device = new HeadlessDevice;
    if (!device->open(160, 120)) return;
    showtest::WorkingDirectory inside(showtest::dataDir());
    resources = new DemoResources;
    resources->aspectRatio = 4.0f / 3.0f;
    resources->framework = device->framework();
    loadDemoResources(resources);
  }
  static void TearDownTestSuite() {
    if (resources) releaseDemoResources(resources);
    delete resources;
    resources = nullptr;
    delete device;
    device = nullptr;
  }
  void SetUp() override {
    SKIP_WITHOUT_DATA();
    ASSERT_NE(resources, nullptr) << "no headless device";
  }

  static HeadlessDevice* device;
  static DemoResources* resources;
};
HeadlessDevice* RealDataBlocksTest::device = nullptr;
DemoResources* RealDataBlocksTest::resources = nullptr;

TEST_F(RealDataBlocksTest, YardGlowIsBlurredIntoTargetA) {
  block1 block(17500, 52500, resources);
  drawFrame(*device, block, 35000);
  const std::vector<std::uint8_t> glow = readTarget(resources->renderTargetA);
  ASSERT_EQ(glow.size(), 512u * 512u * 4u);
  const showtest::PictureStats stats = showtest::pictureStats(glow);
  EXPECT_GT(stats.maxChannel, 16) << "the glow source is black";
  EXPECT_FALSE(stats.uniform);
  // Blurred: neighbouring pixels differ little on average.
  double step = 0.0;
  for (int y = 0; y < 512; ++y)
    for (int x = 1; x < 512; ++x)
      step += std::abs(glow[(y * 512 + x) * 4] - glow[(y * 512 + x - 1) * 4]);
  step /= 512.0 * 511.0;
  EXPECT_LT(step, 6.0) << "the glow does not look blurred";
}

TEST_F(RealDataBlocksTest, EveryMainBlockDrawsAPicture) {
  for (const BlockCase& c : blockCases()) {
    if (std::string(c.name) == "block2") continue;  // a veil over the others
    SCOPED_TRACE(c.name);
    auto block = c.make(c.startMs, c.endMs, resources);
    // Two frames: blocks animate after drawing, the second shows the pose.
    drawFrame(*device, *block, c.atMs - 16);
    const showtest::PictureStats stats = showtest::pictureStats(drawFrame(*device, *block, c.atMs));
    EXPECT_FALSE(stats.uniform) << "only the clear colour on screen";
    EXPECT_GT(stats.maxChannel, 40);
    EXPECT_GE(stats.distinctRgb, 8);
  }
}

TEST_F(RealDataBlocksTest, VeilCoversWhatIsUnderIt) {
  block4 greets(60000, 78000, resources);
  block2 veil(15450, 19550, resources);
  drawFrame(*device, greets, 69000);
  const double bare = showtest::pictureStats(drawFrame(*device, greets, 69000)).meanLuma;
  g_graphicsDevice->clearColor = ColorF{0.0f, 0.0f, 0.0f, 1.0f};
  g_graphicsDevice->clear();
  greets.nowMs = 69000;
  greets.render();
  veil.nowMs = 17500;  // the middle of the transition: fully veiled
  veil.render();
  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  ASSERT_TRUE(device->read());
  g_graphicsDevice->endFrame();
  const double veiled = showtest::pictureStats(device->rgba()).meanLuma;
  ASSERT_GT(bare, 2.0);
  EXPECT_LT(veiled, 1.5);
  EXPECT_TRUE(showtest::pictureStats(device->rgba()).uniform);
}

}  // namespace

namespace {

TEST_F(RealDataBlocksTest, StripShowsThePictureMadeAtLoadingWithoutRedrawingIt) {
  const std::vector<std::uint8_t> loaded = readTarget(resources->fitaRenderTarget);
  ASSERT_FALSE(loaded.empty());
  block1_fita strip(52500, 60000, resources);
  drawFrame(*device, strip, 53000);
  const std::vector<std::uint8_t> screen = drawFrame(*device, strip, 56000);
  EXPECT_EQ(readTarget(resources->fitaRenderTarget), loaded) << "the strip's picture was drawn over";
  // The strip is the glow source of the block.
  const showtest::PictureStats glow = showtest::pictureStats(readTarget(resources->renderTargetA));
  EXPECT_FALSE(glow.uniform);
  EXPECT_GT(glow.maxChannel, 16);
  EXPECT_FALSE(showtest::pictureStats(screen).uniform);
}

}  // namespace
