// The message queue of the Win32 stand-in: key, mouse, close and activation
// messages through the synthetic input script (which feeds the same
// translation as real SDL events), WM_QUIT, WaitMessage and the script's
// timing and error handling.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_vorn.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Seen> gSeen;
unsigned char gKeys[256];
bool gInactive = false;

// A procedure that keeps key states and the inactive flag the way the
// framework's window does, and records everything it is given.
LRESULT recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  gSeen.push_back({message, wParam, lParam});
  switch (message) {
    case WM_KEYDOWN:
      gKeys[wParam & 0xFF] = gKeys[wParam & 0xFF] == 0 ? 2 : 1;
      return 0;
    case WM_KEYUP:
      gKeys[wParam & 0xFF] = 0;
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      gKeys[VK_LBUTTON] = message == WM_LBUTTONDOWN;
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      gKeys[VK_RBUTTON] = message == WM_RBUTTONDOWN;
      return 0;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) gInactive = true;
      if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) gInactive = false;
      break;
    case WM_ACTIVATE:
      gInactive = LOWORD(wParam) == WA_INACTIVE;
      break;
    case WM_CLOSE:
      PostQuitMessage(0);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Win32Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    VornWin32_Reset();
    gSeen.clear();
    std::fill(std::begin(gKeys), std::end(gKeys), 0);
    gInactive = false;
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.lpfnWndProc = recordingProcedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Application";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    window = CreateWindowExA(WS_EX_APPWINDOW, "Application", "test", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                             wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    gSeen.clear();
  }
  void TearDown() override { VornWin32_Reset(); }

  std::string writeScript(const std::string& name, const std::string& text) {
    std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
  }

  void loadScript(const std::string& text) {
    std::string error;
    ASSERT_TRUE(VornWin32_LoadInputScript(writeScript("script.txt", text), &error)) << error;
  }

  // The frame loop's message step: one message, translated and dispatched.
  // Returns false on WM_QUIT or an empty queue.
  bool handleOne(MSG* msg) {
    if (!PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg->message == WM_QUIT) return false;
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return true;
  }

  void drain() {
    MSG msg;
    while (handleOne(&msg)) {
    }
  }

  std::vector<Seen> seenOnly(std::initializer_list<UINT> kinds) {
    std::vector<Seen> out;
    for (const Seen& seen : gSeen) {
      for (UINT kind : kinds) {
        if (seen.message == kind) out.push_back(seen);
      }
    }
    return out;
  }

  HWND window = nullptr;
};

TEST_F(Win32Messages, HeldKeyGoesPressedHeldReleasedWithRepeatsFolded) {
  // Three auto-repeats arrive while the loop draws one frame.
  loadScript("f0 keydown A\nf1 keydown A\nf1 keydown A\nf1 keydown A\nf2 keyup A\n");
  MSG msg;
  std::vector<int> states;
  for (int frame = 0; frame < 3; ++frame) {
    while (handleOne(&msg)) {
      if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) states.push_back(gKeys['A']);
    }
    VornWin32_FramePresented();
  }
  EXPECT_EQ(states, (std::vector<int>{2, 1, 0}));

  auto keys = seenOnly({WM_KEYDOWN, WM_KEYUP});
  ASSERT_EQ(keys.size(), 3u);
  for (const Seen& key : keys) EXPECT_EQ(key.wParam, static_cast<WPARAM>('A'));
  auto previous = [](LPARAM l) { return (l >> 30) & 1; };
  auto transition = [](LPARAM l) { return (l >> 31) & 1; };
  EXPECT_EQ(previous(keys[0].lParam), 0) << "first press";
  EXPECT_EQ(keys[0].lParam & 0xFFFF, 1) << "repeat count";
  EXPECT_EQ(previous(keys[1].lParam), 1) << "auto-repeat";
  EXPECT_EQ(keys[1].lParam & 0xFFFF, 3) << "three repeats in one message";
  EXPECT_EQ(transition(keys[1].lParam), 0);
  EXPECT_EQ(keys[2].message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(transition(keys[2].lParam), 1);

  // TranslateMessage typed one character per WM_KEYDOWN, just after it.
  auto chars = seenOnly({WM_CHAR});
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>('a'));
  std::vector<UINT> order;
  for (const Seen& seen : seenOnly({WM_KEYDOWN, WM_CHAR, WM_KEYUP})) order.push_back(seen.message);
  EXPECT_EQ(order, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
}

TEST_F(Win32Messages, EscapeAfterAHeldKeyIsNotStuckBehindItsRepeats) {
  // A slow frame: hundreds of auto-repeats, the release, Escape, a new press.
  std::string script = "f0 keydown A\n";
  for (int i = 0; i < 300; ++i) script += "f0 keydown A\n";
  script += "f0 keyup A\nf0 keydown ESCAPE\nf0 keydown A\n";
  loadScript(script);
  MSG msg;
  int handled = 0;
  while (gKeys[VK_ESCAPE] == 0 && handleOne(&msg)) ++handled;
  EXPECT_EQ(gKeys[VK_ESCAPE], 2);
  EXPECT_LE(handled, 4) << "key-down A with its character, key-up A, Escape";
  drain();
  auto downs = seenOnly({WM_KEYDOWN});
  ASSERT_EQ(downs.size(), 3u);
  EXPECT_EQ(downs[0].lParam & 0xFFFF, 301);
  EXPECT_EQ(downs[2].wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ((downs[2].lParam >> 30) & 1, 0) << "a press after the release is a new key-down";
  EXPECT_EQ(downs[2].lParam & 0xFFFF, 1);
}

TEST_F(Win32Messages, NamedAndNumberedKeysGiveVirtualKeyCodes) {
  loadScript(
      "f0 key ESCAPE\nf0 key return\nf0 key Space\nf0 key F1\nf0 key F12\nf0 key LEFT\nf0 key DOWN\n"
      "f0 key 7\nf0 key 0x41\nf0 key 27\nf0 key SHIFT\nf0 key TAB\n");
  // `key` releases on the next frame: present frames while handling.
  for (int i = 0; i < 40; ++i) {
    drain();
    VornWin32_FramePresented();
  }
  std::vector<WPARAM> downs;
  for (const Seen& seen : seenOnly({WM_KEYDOWN})) downs.push_back(seen.wParam);
  EXPECT_EQ(downs, (std::vector<WPARAM>{VK_ESCAPE, VK_RETURN, VK_SPACE, VK_F1, VK_F1 + 11, VK_LEFT, VK_DOWN, '7',
                                        'A', VK_ESCAPE, VK_SHIFT, VK_TAB}));
  auto keys = seenOnly({WM_KEYDOWN, WM_KEYUP});
  ASSERT_EQ(keys.size(), 24u);
  for (std::size_t i = 0; i < keys.size(); i += 2) {
    EXPECT_EQ(keys[i].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(keys[i + 1].message, static_cast<UINT>(WM_KEYUP)) << "each key is released before the next";
    EXPECT_EQ(keys[i + 1].wParam, keys[i].wParam);
  }
}

TEST_F(Win32Messages, ScriptKeyIsReleasedOnlyAfterTheNextFrame) {
  loadScript("f0 key A\n");
  drain();
  EXPECT_EQ(gKeys['A'], 2) << "still down within the frame";
  drain();
  EXPECT_EQ(gKeys['A'], 2);
  VornWin32_FramePresented();
  drain();
  EXPECT_EQ(gKeys['A'], 0);
}

TEST_F(Win32Messages, FrameKeyedEventsWaitForPresentedFrames) {
  loadScript("f2 keydown B\nf3 keyup B\nf3 keydown C\n");
  drain();
  EXPECT_TRUE(seenOnly({WM_KEYDOWN}).empty());
  VornWin32_FramePresented();
  drain();
  EXPECT_TRUE(seenOnly({WM_KEYDOWN}).empty()) << "one frame is not two";
  VornWin32_FramePresented();
  drain();
  EXPECT_EQ(gKeys['B'], 2);
  EXPECT_EQ(gKeys['C'], 0);
  VornWin32_FramePresented();
  drain();
  EXPECT_EQ(gKeys['B'], 0);
  EXPECT_EQ(gKeys['C'], 2);
}

TEST_F(Win32Messages, TimeKeyedEventWakesWaitMessage) {
  auto before = std::chrono::steady_clock::now();
  loadScript("t0 keydown A\nt150 keyup A\nf1 keydown Z\n");
  MSG msg;
  ASSERT_TRUE(handleOne(&msg));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  drain();  // the WM_CHAR

  // Nothing queued: WaitMessage sleeps until the time-keyed key-up is due.
  ASSERT_TRUE(WaitMessage());
  auto waited = std::chrono::steady_clock::now() - before;
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 150);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(msg.hwnd, window);

  // The frame-keyed line after it waits for a frame, counted from the load.
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  VornWin32_FramePresented();
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('Z'));
}

TEST_F(Win32Messages, CloseReachesTheProcedureAndQuitFollows) {
  loadScript("f0 close   # the window's close button\n");
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(msg.hwnd, window);
  DispatchMessageA(&msg);
  auto closes = seenOnly({WM_CLOSE, WM_DESTROY});
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_EQ(closes[0].message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(closes[1].message, static_cast<UINT>(WM_DESTROY)) << "the default close destroys the window";

  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT is taken once";

  // The handle is gone; using it is harmless, as in Win32.
  EXPECT_EQ(VornWin32_SdlWindow(window), nullptr);
  EXPECT_FALSE(DestroyWindow(window));
  MSG stale{};
  stale.hwnd = window;
  stale.message = WM_KEYDOWN;
  EXPECT_EQ(DispatchMessageA(&stale), 0);
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
}

TEST_F(Win32Messages, QuitComesAfterQueuedMessagesAndNoRemoveKeepsIt) {
  ASSERT_TRUE(PostMessageA(window, WM_USER, 1, 2));
  PostQuitMessage(3);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_EQ(msg.lParam, 2);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Win32Messages, QuitSignalBecomesWMQuitAheadOfInputWithItsExitCode) {
  struct sigaction current {};
  sigaction(SIGTERM, nullptr, &current);
  if (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN) {
    GTEST_SKIP() << "SIGTERM was not left to the window layer in this process";
  }
  loadScript("f0 keydown A\nf0 move 5 5\n");
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  raise(SIGTERM);
  PostQuitMessage(0);  // a window closing on the way out
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(128 + SIGTERM));
}

TEST_F(Win32Messages, PeekFiltersByWindowAndRange) {
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 5, 0, 0));  // a thread message
  ASSERT_TRUE(PostMessageA(window, WM_USER + 6, 0, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 6) << "the window filter skips thread messages";
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 5);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(DispatchMessageA(&msg), 0) << "thread messages have no procedure";
}

TEST_F(Win32Messages, WaitMessageReturnsAtOnceWhenSomethingIsQueued) {
  ASSERT_TRUE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_TRUE(WaitMessage());
  PostQuitMessage(0);
  EXPECT_TRUE(WaitMessage());
}

TEST_F(Win32Messages, WaitMessageWaitsForANewMessageNotAnUnreadOne) {
  ASSERT_TRUE(PostMessageA(window, WM_USER, 0, 0));
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  // WM_USER + 1 is still queued but was there when the queue was read.
  std::atomic<bool> posted{false};
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    posted = true;
    PostMessageA(window, WM_USER + 2, 0, 0);
  });
  EXPECT_TRUE(WaitMessage());
  EXPECT_TRUE(posted) << "WaitMessage returned before anything new arrived";
  poster.join();
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1u) << "older messages keep their place";
}

TEST_F(Win32Messages, MouseMovesAreOneMessageMadeWhenRead) {
  loadScript("f0 click 120 45\nf0 move 7 9\nf0 rdown\nf0 move 30 31\nf0 rup\n");
  drain();
  auto mouse = seenOnly({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP});
  std::vector<UINT> kinds;
  for (const Seen& m : mouse) kinds.push_back(m.message);
  EXPECT_EQ(kinds, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP}))
      << "three moves, one WM_MOUSEMOVE";
  ASSERT_EQ(mouse.size(), 5u);
  EXPECT_EQ(LOWORD(mouse[0].lParam), 30) << "the move reports where the cursor is when it is read";
  EXPECT_EQ(HIWORD(mouse[0].lParam), 31);
  EXPECT_EQ(LOWORD(mouse[1].lParam), 120) << "the button goes down where the cursor was";
  EXPECT_EQ(HIWORD(mouse[1].lParam), 45);
  EXPECT_EQ(mouse[1].wParam & MK_LBUTTON, MK_LBUTTON);
  EXPECT_EQ(mouse[2].wParam & MK_LBUTTON, 0u);
  EXPECT_EQ(LOWORD(mouse[3].lParam), 7);
  EXPECT_EQ(mouse[3].wParam & MK_RBUTTON, MK_RBUTTON);
  EXPECT_EQ(gKeys[VK_LBUTTON], 0);
  EXPECT_EQ(gKeys[VK_RBUTTON], 0);

  // The cursor, read back the way the widgets do.
  POINT cursor{};
  ASSERT_TRUE(GetCursorPos(&cursor));
  ASSERT_TRUE(ScreenToClient(window, &cursor));
  EXPECT_EQ(cursor.x, 30);
  EXPECT_EQ(cursor.y, 31);

  // A move after the message was read makes a new one.
  VornWin32_FramePresented();
  loadScript("f0 move 5 6\n");
  gSeen.clear();
  drain();
  ASSERT_EQ(seenOnly({WM_MOUSEMOVE}).size(), 1u);
  EXPECT_EQ(LOWORD(seenOnly({WM_MOUSEMOVE})[0].lParam), 5);
}

TEST_F(Win32Messages, MouseOverAnEmulatedModeIsInThatModesPixels) {
  DEVMODEA mode{};
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  mode.dmPelsWidth = 640;
  mode.dmPelsHeight = 480;
  ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
  HWND fullscreen = CreateWindowExA(WS_EX_APPWINDOW, "Application", "full", WS_POPUP, 0, 0, 640, 480, nullptr,
                                    nullptr, nullptr, nullptr);
  ASSERT_NE(fullscreen, nullptr);
  // A click in the middle of the display, as the display reports it, is in
  // the middle of the scaled 640 x 480 picture.
  SDL_Window* sdl = VornWin32_SdlWindow(fullscreen);
  int width = 0, height = 0;
  SDL_GetWindowSize(sdl, &width, &height);
  ASSERT_GT(width, 640);
  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.windowID = SDL_GetWindowID(sdl);
  click.button.button = SDL_BUTTON_LEFT;
  click.button.state = SDL_PRESSED;
  click.button.x = width / 2;
  click.button.y = height / 2;
  SDL_PushEvent(&click);
  drain();
  auto downs = seenOnly({WM_LBUTTONDOWN});
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_NEAR(LOWORD(downs[0].lParam), 320, 1);
  EXPECT_NEAR(HIWORD(downs[0].lParam), 240, 1);
  POINT cursor{};
  ASSERT_TRUE(GetCursorPos(&cursor));
  ASSERT_TRUE(ScreenToClient(fullscreen, &cursor));
  EXPECT_NEAR(cursor.x, 320, 1);
  ChangeDisplaySettingsA(nullptr, 0);
}

TEST_F(Win32Messages, ActivationAndMinimisingAreSentToTheProcedure) {
  loadScript("f0 blur\nf1 focus\nf2 minimize\nf3 restore\n");
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "sent, not queued";
  EXPECT_TRUE(gInactive);
  auto activations = seenOnly({WM_ACTIVATE});
  ASSERT_EQ(activations.size(), 1u);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
  VornWin32_FramePresented();
  ASSERT_TRUE(WaitMessage()) << "the activation wakes a waiting loop";
  EXPECT_FALSE(gInactive);
  VornWin32_FramePresented();
  PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  EXPECT_TRUE(gInactive);
  auto sizes = seenOnly({WM_SIZE});
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].wParam, SIZE_MINIMIZED);
  VornWin32_FramePresented();
  PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  EXPECT_FALSE(gInactive);
  sizes = seenOnly({WM_SIZE});
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[1].wParam, SIZE_RESTORED);
  EXPECT_EQ(LOWORD(sizes[1].lParam), 320);
  EXPECT_EQ(HIWORD(sizes[1].lParam), 240);
}

TEST_F(Win32Messages, MalformedScriptsAreRejectedWithFileAndLine) {
  struct Case {
    std::string text;
    int line;
  };
  const Case cases[] = {
      {"f0 keydown A\nf1 jump\n", 2},        {"x5 keydown A\n", 1},   {"f0 keydown NOPE\n", 1},
      {"\n# comment\nf0 move 10\n", 3},      {"f0 close now\n", 1},   {"f0 keydown 0x1FF\n", 1},
      {"t-5 keyup A\n", 1},                  {"f0\n", 1},             {"f0 click 10 abc\n", 1},
  };
  int index = 0;
  for (const Case& c : cases) {
    std::string path = writeScript("bad" + std::to_string(index++) + ".txt", c.text);
    std::string error;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(VornWin32_LoadInputScript(path, &error)) << c.text;
    std::string printed = testing::internal::GetCapturedStderr();
    std::string where = path + ":" + std::to_string(c.line) + ":";
    EXPECT_NE(error.find(where), std::string::npos) << error;
    EXPECT_NE(printed.find(where), std::string::npos) << printed;
  }
  std::string error;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(VornWin32_LoadInputScript(testing::TempDir() + "does-not-exist.txt", &error));
  testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("does-not-exist.txt"), std::string::npos);

  // Nothing of a rejected script is played.
  drain();
  EXPECT_TRUE(seenOnly({WM_KEYDOWN, WM_MOUSEMOVE, WM_CLOSE}).empty());
}

TEST_F(Win32Messages, EnvironmentScriptIsLoadedWithTheFirstWindow) {
  std::string path = writeScript("env.txt", "f0 keydown ESCAPE\n");
  setenv("VORN_INPUT_SCRIPT", path.c_str(), 1);
  VornWin32_Reset();
  WNDCLASSEXA wc{};
  wc.cbSize = 48;
  wc.lpfnWndProc = recordingProcedure;
  wc.lpszClassName = "Application";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  HWND second =
      CreateWindowExA(0, "Application", "env", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  unsetenv("VORN_INPUT_SCRIPT");
  ASSERT_NE(second, nullptr);
  gSeen.clear();
  drain();
  EXPECT_EQ(gKeys[VK_ESCAPE], 2);
}

}  // namespace
