// The whole program on a real X server whose display offers a single mode:
// Xvfb with one 1920 x 1080 screen, no window manager, and a white root
// window, so that any part of the screen the demo leaves uncovered shows.
// Where Xvfb cannot run, the tests are skipped with the reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "program/child_process.h"
#include "runtime/data_folder.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;

namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

// An Xvfb server for the whole suite; -displayfd lets it pick a free display.
struct XServer {
  pid_t pid = -1;
  std::string display;
  std::string failure;

  void start() {
    int fds[2];
    if (pipe(fds) != 0) {
      failure = "no pipe";
      return;
    }
    pid = fork();
    if (pid == 0) {
      close(fds[0]);
      const int devNull = open("/dev/null", O_WRONLY);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-wr",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&readable, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      failure = "Xvfb did not start (is the xvfb package installed?)";
      stop();
      return;
    }
    display = ":" + number;
  }

  void stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    pid = -1;
  }
};

XServer gServer;

struct Box {
  int x, y, width, height;
  ::Window id;
};

// The top-level windows that are shown, with their places on the screen.
std::vector<Box> shownWindows(Display* display) {
  std::vector<Box> boxes;
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return boxes;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable) {
      boxes.push_back({attributes.x, attributes.y, attributes.width, attributes.height, children[i]});
    }
  }
  if (children) XFree(children);
  return boxes;
}

::Window shownWindow(Display* display, int width, int height) {
  for (const Box& box : shownWindows(display)) {
    if (box.width == width && box.height == height) return box.id;
  }
  return 0;
}

class XvfbDesktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gServer.start(); }
  static void TearDownTestSuite() { gServer.stop(); }

  void SetUp() override {
    if (!gServer.failure.empty()) GTEST_SKIP() << gServer.failure;
    display_ = XOpenDisplay(gServer.display.c_str());
    if (!display_) GTEST_SKIP() << "cannot connect to Xvfb on " << gServer.display;
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("vorn-desktop-" + std::to_string(seed()));
    makeEmptyDataFolder(dir_);
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
    fs::remove_all(dir_);
  }

  // Starts the demo on the X server as a user would (no video driver chosen,
  // no audio device), in its data folder, with an input script.
  void start(ChildProcess& demo, const fs::path& dataFolder, const std::string& script) {
    std::ofstream(dir_ / "input.txt") << script;
    ASSERT_TRUE(demo.start(std::string(VORN_BINARY_DIR) + "/vorn", dataFolder.string(),
                           {{"DISPLAY", gServer.display},
                            {"SDL_AUDIODRIVER", "dummy"},
                            {"VORN_INPUT_SCRIPT", (dir_ / "input.txt").string()},
                            {"VORN_DEBUG_SETTINGS", "1"},
                            {"VORN_DEBUG_FRAMES", "1"}},
                           {}, {"SDL_VIDEODRIVER", "WAYLAND_DISPLAY"}));
  }

  // Waits until a window of that size is shown; none if the demo ended or
  // took longer than the deadline.
  ::Window waitForWindow(ChildProcess& demo, int width, int height, int deadlineSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
    while (std::chrono::steady_clock::now() < deadline && demo.running()) {
      if (::Window window = shownWindow(display_, width, height)) return window;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
  }

  Display* display_ = nullptr;
  fs::path dir_;
};

TEST_F(XvfbDesktop, DefaultSettingsShowTheShowOverTheWholeScreen) {
  const fs::path data = VORN_DATA_DIR;
  if (!holdsDemoData(data)) GTEST_SKIP() << "no generated data in " << data;
  ChildProcess demo;
  // "Run" at once: full screen 640 x 480, a mode this display does not have.
  start(demo, data, "f30 click 295 275\n");
  ASSERT_NE(waitForWindow(demo, kScreenWidth, kScreenHeight, 90), 0u) << demo.output();

  // For 5 s: the window covers the screen; the 4:3 picture is scaled to the
  // full height, with black bars left and right where the white root would
  // show through an uncovered screen.
  const int barWidth = (kScreenWidth - kScreenHeight * 4 / 3) / 2;
  int framesWithPicture = 0, samples = 0;
  for (; samples < 10; ++samples) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(demo.running()) << demo.output();
    const std::vector<Box> windows = shownWindows(display_);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].x, 0);
    EXPECT_EQ(windows[0].y, 0);
    EXPECT_EQ(windows[0].width, kScreenWidth);
    EXPECT_EQ(windows[0].height, kScreenHeight);
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), 0, 0, kScreenWidth, kScreenHeight, AllPlanes,
                              ZPixmap);
    ASSERT_NE(image, nullptr);
    long barPixels = 0, centreLit = 0;
    for (int y = 0; y < kScreenHeight; y += 4) {
      for (int x = 0; x < kScreenWidth; x += 4) {
        const bool lit = (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
        if (x < barWidth - 2 || x >= kScreenWidth - barWidth + 2) {
          barPixels += lit;
        } else {
          centreLit += lit;
        }
      }
    }
    XDestroyImage(image);
    EXPECT_EQ(barPixels, 0) << "sample " << samples;
    framesWithPicture += centreLit > 0;
  }
  EXPECT_GT(framesWithPicture, 0) << "the scaled picture lies between the bars";

  // A quit signal during the show ends it through the teardown.
  demo.signal(SIGTERM);
  const ChildResult result = demo.wait(60);
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.output;
  EXPECT_EQ(result.output.find("Configuration not supported!"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("settings: 640x480 aspect 1.3333334 fullscreen 1 multisample 0"), std::string::npos)
      << result.output;
}

TEST_F(XvfbDesktop, EscapeAfterHoldingAEndsTheShowWithinTwoFrames) {
  // A at frame 200, and 300 auto-repeats that pile up during one slow frame;
  // three frames later A is released and Escape pressed.
  std::string script = "f30 click 295 275\nf200 keydown A\n";
  for (int i = 0; i < 300; ++i) script += "f200 keydown A\n";
  script += "f203 keyup A\nf203 keydown ESCAPE\n";
  ChildProcess demo;
  start(demo, dir_, script);
  const ChildResult result = demo.wait(120);
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const auto at = result.output.find("frames presented: ");
  ASSERT_NE(at, std::string::npos) << result.output;
  const int frames = std::stoi(result.output.substr(at + 18));
  EXPECT_GE(frames, 204) << result.output;
  EXPECT_LE(frames, 205) << "Escape took effect " << frames - 203 << " frames after it was pressed";
}

TEST_F(XvfbDesktop, QuitSignalOnTheConfigurationScreenEndsWithoutTheShow) {
  ChildProcess demo;
  start(demo, dir_, "");
  ASSERT_NE(waitForWindow(demo, 350, 290, 60), 0u) << demo.output();
  demo.signal(SIGTERM);
  const ChildResult result = demo.wait(60);
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.output;
  EXPECT_EQ(result.output.find("settings:"), std::string::npos) << "the show started\n" << result.output;
}

TEST_F(XvfbDesktop, AWindowCanBeResizedAndItsPictureStretches) {
  ChildProcess demo;
  start(demo, dir_, "");
  const ::Window window = waitForWindow(demo, 350, 290, 60);
  ASSERT_NE(window, 0u) << demo.output();
  // A fixed-size window would tell the window manager its largest size.
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(display_, window, &hints, &supplied));
  EXPECT_FALSE((hints.flags & PMaxSize) && hints.max_width <= 350) << "the window is not resizable";

  XResizeWindow(display_, window, 700, 580);
  XSync(display_, False);
  // The grey below the widgets reaches the new bottom-right corner once a
  // frame has been presented at the new size.
  unsigned long corner = 0;
  for (int tries = 0; tries < 50 && corner != 0x737373; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (XImage* image = XGetImage(display_, window, 690, 570, 1, 1, AllPlanes, ZPixmap)) {
      corner = XGetPixel(image, 0, 0) & 0xFFFFFF;
      XDestroyImage(image);
    }
  }
  EXPECT_EQ(corner, 0x737373u);
  demo.signal(SIGTERM);
  EXPECT_EQ(demo.wait(60).exitCode, 128 + SIGTERM);
}

}  // namespace
