// The main driver's frame loop, run in-process on the platform layer with
// the sound library's virtual clock: the music time, the three ways out,
// the overlay and the inactive wait.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <chrono>
#include <thread>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/fmod/fmod_vorn.h"
#include "platform/win32/win32_vorn.h"
#include "runtime/demo.h"
#include "runtime/demo_resources.h"
#include "ui2d/display_settings.h"

namespace {

class DemoSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VornFmod_EnableVirtualClock(true);
    VornFmod_SetVirtualPosition(0);
    DisplaySettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.aspectRatio = 1.3333334f;
    settings.fullscreen = false;
    ASSERT_TRUE(session.start(settings));
    ASSERT_NE(g_framework, nullptr);
    window = g_framework->window;
    // Handle what window creation queued, so tests start from an empty queue.
    MSG msg{};
    for (int i = 0; i < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); ++i) {
      ASSERT_TRUE(session.runFrame());
    }
  }

  void TearDown() override {
    session.shutdown();
    destroyGlobalFramework();
    EXPECT_EQ(g_framework, nullptr);
    EXPECT_EQ(g_graphicsDevice, nullptr);
    VornFmod_EnableVirtualClock(false);
    VornWin32_Reset();
  }

  // Runs frames until every queued message (WM_CHAR from TranslateMessage
  // included) has been handled, one per frame.
  void settleQueue(std::uint32_t ms) {
    MSG msg{};
    for (int i = 0; i < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); ++i) ASSERT_TRUE(frameAt(ms));
  }

  bool frameAt(std::uint32_t ms) {
    VornFmod_SetVirtualPosition(ms);
    return session.runFrame();
  }

  DemoSession session;
  AppWindow* window = nullptr;
};

TEST_F(DemoSessionTest, StartBuildsTheShow) {
  EXPECT_EQ(g_framework->window->title, "Vorn");
  EXPECT_EQ(session.timeline.blocks.size(), 11u);
  ASSERT_NE(session.resources, nullptr);
  EXPECT_EQ(session.resources->framework, g_framework);
  EXPECT_FLOAT_EQ(session.resources->aspectRatio, 1.3333334f);
  ASSERT_NE(session.overlayTexture, nullptr);
  EXPECT_EQ(session.overlayFont.texture, session.overlayTexture);
  EXPECT_EQ(session.overlayFont.glyphSize, 32.0f);
  EXPECT_EQ(session.overlayFont.flags, 20);
  // Textures loaded from here on are point-filtered.
  EXPECT_EQ(g_graphicsDevice->defaultMinFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
}

TEST_F(DemoSessionTest, MusicTimeIsReadAfterEachFrame) {
  VornFmod_SetVirtualPosition(1234);
  const std::uint64_t before = VornWin32_PresentedFrames();
  ASSERT_TRUE(session.runFrame());
  EXPECT_EQ(VornWin32_PresentedFrames(), before + 1);
  EXPECT_EQ(session.timeline.musicTimeMs, 1234);
  // The blocks of the next frame see the time read at the end of this one.
  VornFmod_SetVirtualPosition(30000);
  ASSERT_TRUE(session.runFrame());
  for (DemoScene_Block* b : session.timeline.blocks) EXPECT_EQ(b->nowMs, 1234);
  EXPECT_EQ(session.timeline.musicTimeMs, 30000);
}

TEST_F(DemoSessionTest, ShowEndsOnlyPastItsLastMillisecond) {
  EXPECT_TRUE(frameAt(174499));
  EXPECT_TRUE(frameAt(174500));
  EXPECT_EQ(session.timeline.musicTimeMs, 174500);
  EXPECT_FALSE(frameAt(174501));
}

TEST_F(DemoSessionTest, EscapeEndsAfterTheFrameIsShown) {
  ASSERT_TRUE(PostMessageA(window->handle, WM_KEYDOWN, VK_ESCAPE, 0));
  const std::uint64_t before = VornWin32_PresentedFrames();
  EXPECT_FALSE(frameAt(5000));
  EXPECT_EQ(VornWin32_PresentedFrames(), before + 1);
}

TEST_F(DemoSessionTest, CloseEndsAtTheNextFrameWithoutDrawing) {
  ASSERT_TRUE(PostMessageA(window->handle, WM_CLOSE, 0, 0));
  EXPECT_TRUE(frameAt(5000));  // handles WM_CLOSE, which posts WM_QUIT
  const std::uint64_t before = VornWin32_PresentedFrames();
  EXPECT_FALSE(frameAt(5100));
  EXPECT_EQ(VornWin32_PresentedFrames(), before);
  EXPECT_EQ(session.timeline.musicTimeMs, 5000);
}

TEST_F(DemoSessionTest, HoldingAShowsTheOverlay) {
  // At 174500 no block draws: the frame is the clear and the overlay alone.
  ASSERT_TRUE(frameAt(174500));
  VornD3D_ResetDrawCallCount();
  ASSERT_TRUE(frameAt(174500));
  const std::uint64_t without = VornD3D_DrawCallCount();
  ASSERT_TRUE(PostMessageA(window->handle, WM_KEYDOWN, 'A', 0));
  VornD3D_ResetDrawCallCount();
  ASSERT_TRUE(frameAt(174500));
  EXPECT_EQ(window->keyStates['A'], KEY_PRESSED);
  EXPECT_GT(VornD3D_DrawCallCount(), without);
  // Still shown while held (the first auto-repeat makes it "held").
  settleQueue(174500);
  ASSERT_TRUE(PostMessageA(window->handle, WM_KEYDOWN, 'A', 0));
  settleQueue(174500);
  EXPECT_EQ(window->keyStates['A'], KEY_HELD);
  VornD3D_ResetDrawCallCount();
  ASSERT_TRUE(frameAt(174500));
  EXPECT_GT(VornD3D_DrawCallCount(), without);
}

TEST_F(DemoSessionTest, InactiveWindowWaitsForTheNextMessage) {
  ASSERT_TRUE(PostMessageA(window->handle, WM_ACTIVATE, WA_INACTIVE, 0));
  std::atomic<bool> posted{false};
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    posted = true;
    PostMessageA(window->handle, WM_NULL, 0, 0);
  });
  const bool goOn = frameAt(5000);
  const bool wokenByThePost = posted;
  waker.join();
  EXPECT_TRUE(goOn);
  EXPECT_TRUE(window->stateFlags & WINDOW_INACTIVE);
  // The frame could only finish once the message arrived.
  EXPECT_TRUE(wokenByThePost);
  // Activation is sent, as Windows does, not queued: WaitMessage waits for
  // new messages only, so a queued one would wait behind the WM_NULL.
  SendMessageA(window->handle, WM_ACTIVATE, WA_ACTIVE, 0);
  settleQueue(5000);
  EXPECT_FALSE(window->stateFlags & WINDOW_INACTIVE);
}

}  // namespace

namespace {

// The whole show with the generated data, stepped through on the virtual
// clock: every block draws its stretch, and the loop ends right after the
// last millisecond.
TEST(WholeShowTest, RunsFromStartToPastTheEnd) {
  const char* fromEnvironment = std::getenv("VORN_DATA_DIR");
  const std::filesystem::path data = fromEnvironment && *fromEnvironment ? fromEnvironment : VORN_DATA_DIR;
  if (!std::filesystem::exists(data / "shaders") || !std::filesystem::exists(data / "models")) {
    GTEST_SKIP() << "no generated data in " << data;
  }
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(data);
  VornFmod_EnableVirtualClock(true);
  VornFmod_SetVirtualPosition(0);
  DisplaySettings settings;
  settings.width = 160;
  settings.height = 120;
  DemoSession session;
  ASSERT_TRUE(session.start(settings));
  int frames = 0;
  bool goOn = true;
  for (std::uint32_t ms = 0; ms <= 174500 && goOn; ms += 700) {
    VornFmod_SetVirtualPosition(ms);
    goOn = session.runFrame();
    ++frames;
  }
  EXPECT_TRUE(goOn) << "ended early after " << frames << " frames";
  VornFmod_SetVirtualPosition(174500);
  EXPECT_TRUE(session.runFrame());
  VornFmod_SetVirtualPosition(174501);
  EXPECT_FALSE(session.runFrame());
  session.shutdown();
  destroyGlobalFramework();
  VornFmod_EnableVirtualClock(false);
  VornWin32_Reset();
  std::filesystem::current_path(previous);
}

}  // namespace
