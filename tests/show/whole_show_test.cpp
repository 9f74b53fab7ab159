// The whole show on the virtual music clock, stepped through every block's
// window: each of the eleven blocks draws, the loop ends right after the
// last millisecond, and shutting down leaves nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/fmod/fmod_vorn.h"
#include "platform/win32/win32_vorn.h"
#include "runtime/demo.h"
#include "runtime/demo_blocks.h"
#include "runtime/demo_resources.h"
#include "show/show_support.h"
#include "ui2d/display_settings.h"

namespace {

// Stands in a block's place in the timeline: renders the real block and
// counts its frames and the draw calls it made.
struct CountingBlock final : DemoScene_Block {
  DemoScene_Block* inner;
  std::string name;
  int frames = 0;
  int framesWithDrawing = 0;

  CountingBlock(DemoScene_Block* block, std::string className)
      : DemoScene_Block(block->startMs, block->endMs, block->resources), inner(block), name(std::move(className)) {}
  void render() override {
    inner->nowMs = nowMs;
    const std::uint64_t before = VornD3D_DrawCallCount();
    inner->render();
    ++frames;
    if (VornD3D_DrawCallCount() > before) ++framesWithDrawing;
  }
};

// The music time of the next frame, set as the capture tool sets it.
void setMusicTime(DemoSession& session, std::int32_t ms) {
  VornFmod_SetVirtualPosition(static_cast<unsigned int>(ms));
  session.timeline.musicTimeMs = ms;
}

TEST(WholeShow, EveryBlockDrawsItsStretchAndTheShowEnds) {
  SKIP_WITHOUT_DATA();
  showtest::WorkingDirectory inside(showtest::dataDir());
  VornFmod_EnableVirtualClock(true);
  VornFmod_SetVirtualPosition(0);
  VornD3D_SetVsync(false);
  // Every draw reaches OpenGL at once, so each block's own draws are counted.
  VornD3D_SetBatching(false);

  DisplaySettings settings;
  settings.width = 160;
  settings.height = 120;
  settings.aspectRatio = 4.0f / 3.0f;
  settings.fullscreen = false;
  DemoSession session;
  ASSERT_TRUE(session.start(settings));
  ASSERT_NE(g_graphicsDevice, nullptr);
  ASSERT_EQ(session.timeline.blocks.size(), 11u);

  // The timeline draws from the front; the table lists insertion order, so
  // the timeline holds the table reversed.
  const auto& table = demoBlockTable();
  std::vector<CountingBlock*> counters;
  std::size_t index = table.size();
  for (DemoScene_Block*& slot : session.timeline.blocks) {
    const BlockEntry& entry = table[--index];
    ASSERT_EQ(slot->startMs, entry.startMs);
    ASSERT_EQ(slot->endMs, entry.endMs);
    counters.push_back(new CountingBlock(slot, entry.className));
    slot = counters.back();
  }

  // A picture from the middle of each main block.
  std::map<std::int32_t, std::vector<std::uint8_t>> pictures;
  const std::vector<std::int32_t> middles = {9000, 35000, 56000, 69000, 95000, 130000, 160000};
  std::int32_t frameTime = 0;
  session.beforePresent = [&] {
    for (std::int32_t m : middles) {
      if (frameTime == m) {
        int w = 0, h = 0;
        VornD3D_ReadPixels(g_graphicsDevice->device, &pictures[m], &w, &h);
      }
    }
  };

  std::vector<std::int32_t> times;
  for (std::int32_t ms = 0; ms <= 174500; ms += 500) times.push_back(ms);
  for (std::int32_t m : middles) {
    times.push_back(m - 40);  // the block's own frame before: scenes animate after drawing
    times.push_back(m);
  }
  std::sort(times.begin(), times.end());
  bool goOn = true;
  for (std::int32_t ms : times) {
    frameTime = ms;
    setMusicTime(session, ms);
    goOn = session.runFrame();
    if (!goOn) {
      ADD_FAILURE() << "the show ended early at " << ms;
      break;
    }
  }

  for (const CountingBlock* c : counters) {
    SCOPED_TRACE(c->name + " [" + std::to_string(c->startMs) + ", " + std::to_string(c->endMs) + ")");
    EXPECT_GT(c->frames, 0) << "never ran";
    EXPECT_EQ(c->framesWithDrawing, c->frames) << "frames without a draw call";
  }
  for (std::int32_t m : middles) {
    SCOPED_TRACE("frame at " + std::to_string(m));
    ASSERT_FALSE(pictures[m].empty());
    const showtest::PictureStats stats = showtest::pictureStats(pictures[m]);
    EXPECT_FALSE(stats.uniform) << "only the clear colour";
    EXPECT_GT(stats.maxChannel, 40);
  }
  EXPECT_EQ(VornD3D_TakeGLErrors(g_graphicsDevice->device), 0u);

  // The last millisecond of the show is still drawn; the next one ends it.
  setMusicTime(session, 174500);
  EXPECT_TRUE(session.runFrame());
  setMusicTime(session, 174501);
  EXPECT_FALSE(session.runFrame());
  EXPECT_EQ(session.timeline.musicTimeMs, 174501);

  // Put the real blocks back before the session lets go of them.
  auto counter = counters.begin();
  for (DemoScene_Block*& slot : session.timeline.blocks) slot = (*counter++)->inner;
  for (CountingBlock* c : counters) delete c;

  session.shutdown();
  EXPECT_EQ(session.resources, nullptr);
  EXPECT_EQ(session.overlayTexture, nullptr);
  EXPECT_TRUE(session.timeline.blocks.empty());
  EXPECT_EQ(session.blocks.size(), 0u);
  EXPECT_EQ(session.soundSystem, nullptr);
  destroyGlobalFramework();
  EXPECT_EQ(g_framework, nullptr);
  EXPECT_EQ(g_graphicsDevice, nullptr);
  VornFmod_EnableVirtualClock(false);
  VornD3D_SetVsync(true);
  VornD3D_SetBatching(true);
  VornWin32_Reset();
}

}  // namespace
