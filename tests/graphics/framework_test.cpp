// The application window and its window procedure, driven through the real
// message queue: posted messages are peeked and dispatched to
// windowProcedure, which keeps the key states and the inactive flag.
#include <gtest/gtest.h>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "platform/win32/win32_vorn.h"

namespace {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = new AppWindow;
    ASSERT_TRUE(window->create("test window", 320, 200, false));
    currentWindow = window;
    drain();
  }
  void TearDown() override {
    if (window) window->destroy();
    EXPECT_EQ(currentWindow, nullptr);
    VornWin32_Reset();
  }

  // Dispatches every queued message; true if WM_QUIT was among them.
  bool drain() {
    bool quit = false;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        continue;
      }
      handled.push_back(std::to_string(msg.message) + ":" + std::to_string(msg.wParam));
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    return quit;
  }

  void post(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    ASSERT_TRUE(PostMessageA(window->handle, message, wParam, lParam));
    drain();
  }

  AppWindow* window = nullptr;
  std::vector<std::string> handled;
};

TEST_F(WindowTest, CreateGivesTheRequestedClientArea) {
  EXPECT_NE(window->handle, nullptr);
  EXPECT_EQ(window->title, "test window");
  EXPECT_EQ(window->clientWidth, 320);
  EXPECT_EQ(window->clientHeight, 200);
  EXPECT_EQ(window->stateFlags, WINDOW_WINDOWED);
  EXPECT_EQ(window->style, WS_OVERLAPPEDWINDOW);
  RECT client{};
  ASSERT_TRUE(GetClientRect(window->handle, &client));
  EXPECT_EQ(client.right - client.left, 320);
  EXPECT_EQ(client.bottom - client.top, 200);
  EXPECT_EQ(window->windowClass.lpfnWndProc, &windowProcedure);
  EXPECT_STREQ(window->windowClass.lpszClassName, "Application");
}

TEST_F(WindowTest, KeyStatesFollowPressRepeatAndRelease) {
  EXPECT_EQ(window->keyStates['A'], KEY_UP);
  post(WM_KEYDOWN, 'A');
  EXPECT_EQ(window->keyStates['A'], KEY_PRESSED);
  post(WM_KEYDOWN, 'A');  // first auto-repeat
  EXPECT_EQ(window->keyStates['A'], KEY_HELD) << ::testing::PrintToString(handled);
  post(WM_KEYDOWN, 'A');
  EXPECT_EQ(window->keyStates['A'], KEY_HELD);
  post(WM_KEYUP, 'A');
  EXPECT_EQ(window->keyStates['A'], KEY_UP);
  // Other keys are independent.
  post(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(window->keyStates[VK_ESCAPE], KEY_PRESSED);
  EXPECT_EQ(window->keyStates['A'], KEY_UP);
}

TEST_F(WindowTest, MouseButtonsUseTheirVirtualKeySlots) {
  post(WM_LBUTTONDOWN, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(window->keyStates[VK_LBUTTON], KEY_HELD);
  post(WM_RBUTTONDOWN, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(window->keyStates[VK_RBUTTON], KEY_HELD);
  post(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(window->keyStates[VK_LBUTTON], KEY_UP);
  EXPECT_EQ(window->keyStates[VK_RBUTTON], KEY_HELD);
  post(WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(window->keyStates[VK_RBUTTON], KEY_UP);
}

TEST_F(WindowTest, InactiveFlagFollowsActivationSizeAndMoveLoops) {
  post(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_TRUE(window->stateFlags & WINDOW_INACTIVE);
  post(WM_ACTIVATE, WA_CLICKACTIVE);
  EXPECT_FALSE(window->stateFlags & WINDOW_INACTIVE);

  post(WM_SIZE, SIZE_MINIMIZED);
  EXPECT_TRUE(window->stateFlags & WINDOW_INACTIVE);
  post(WM_SIZE, 3);  // another kind of size message changes nothing
  EXPECT_TRUE(window->stateFlags & WINDOW_INACTIVE);
  post(WM_SIZE, SIZE_RESTORED);
  EXPECT_FALSE(window->stateFlags & WINDOW_INACTIVE);
  post(WM_SIZE, SIZE_MINIMIZED);
  post(WM_SIZE, SIZE_MAXIMIZED);
  EXPECT_FALSE(window->stateFlags & WINDOW_INACTIVE);

  post(WM_ENTERSIZEMOVE, 0);
  EXPECT_TRUE(window->stateFlags & WINDOW_INACTIVE);
  post(WM_EXITSIZEMOVE, 0);
  EXPECT_FALSE(window->stateFlags & WINDOW_INACTIVE);
  // The window mode bits are untouched throughout.
  EXPECT_TRUE(window->stateFlags & WINDOW_WINDOWED);
}

TEST_F(WindowTest, WithoutACurrentWindowNothingChanges) {
  currentWindow = nullptr;
  post(WM_KEYDOWN, 'A');
  post(WM_LBUTTONDOWN, 0);
  post(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_EQ(window->keyStates['A'], KEY_UP);
  EXPECT_EQ(window->keyStates[VK_LBUTTON], KEY_UP);
  EXPECT_FALSE(window->stateFlags & WINDOW_INACTIVE);
  EXPECT_EQ(windowProcedure(window->handle, WM_KEYDOWN, 'A', 0), 0);
  EXPECT_EQ(windowProcedure(window->handle, WM_RBUTTONDOWN, 0, 0), 0);
  currentWindow = window;
}

TEST_F(WindowTest, OutOfRangeKeyCodesAreIgnored) {
  EXPECT_EQ(windowProcedure(window->handle, WM_KEYDOWN, 0x1234, 0), 0);
  EXPECT_EQ(windowProcedure(window->handle, WM_KEYUP, ~WPARAM{0}, 0), 0);
  for (int k = 0; k < 256; ++k) EXPECT_EQ(window->keyStates[k], KEY_UP);
}

TEST_F(WindowTest, CloseRequestPostsQuit) {
  ASSERT_TRUE(PostMessageA(window->handle, WM_CLOSE, 0, 0));
  EXPECT_TRUE(drain());
}

TEST_F(WindowTest, DestroyClearsTheCurrentWindowOnlyIfItIsThisOne) {
  AppWindow* other = new AppWindow;
  ASSERT_TRUE(other->create("other", 64, 64, false));
  other->destroy();
  EXPECT_EQ(currentWindow, window);
}

TEST(FrameworkTest, StartCreatesWindowDeviceAndTimer) {
  Framework framework;
  ASSERT_NE(framework.timer, nullptr);
  ASSERT_NE(framework.window, nullptr);
  EXPECT_EQ(framework.graphicsDevice, nullptr);
  EXPECT_TRUE(framework.start(false, 256, 192, 0));
  ASSERT_NE(framework.graphicsDevice, nullptr);
  EXPECT_EQ(g_graphicsDevice, framework.graphicsDevice);
  EXPECT_NE(framework.graphicsDevice->device, nullptr);
  EXPECT_EQ(framework.graphicsDevice->backBufferWidth, 256u);
  EXPECT_EQ(framework.window->title, "project");
  EXPECT_EQ(framework.input, nullptr);
  framework.teardown();
  EXPECT_EQ(framework.graphicsDevice, nullptr);
  EXPECT_EQ(framework.window, nullptr);
  EXPECT_EQ(framework.timer, nullptr);
  EXPECT_EQ(g_graphicsDevice, nullptr);
  VornWin32_Reset();
}

}  // namespace
