// Window classes, windows, display modes, cursor, message boxes and the
// performance counter of the Win32 stand-in, run on SDL's offscreen driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_vorn.h"

namespace {

std::vector<UINT> gMessages;

LRESULT CALLBACK_recording(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  gMessages.push_back(message);
  return DefWindowProcA(window, message, wParam, lParam);
}

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    VornWin32_Reset();
    gMessages.clear();
  }
  void TearDown() override { VornWin32_Reset(); }

  static WNDCLASSEXA windowClass(const char* name) {
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = CALLBACK_recording;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = static_cast<HICON>(LoadImageA(wc.hInstance, MAKEINTRESOURCEA(109), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = name;
    return wc;
  }

  // The window the framework opens: client size from AdjustWindowRectEx and
  // the screen centre computed from the client size.
  static HWND createCentred(DWORD style, int width, int height) {
    RECT rect{0, 0, width, height};
    EXPECT_TRUE(AdjustWindowRectEx(&rect, style, FALSE, WS_EX_APPWINDOW));
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return CreateWindowExA(WS_EX_APPWINDOW, "Application", "project", style, x, y, rect.right - rect.left,
                           rect.bottom - rect.top, GetDesktopWindow(), nullptr, GetModuleHandleA(nullptr), nullptr);
  }
};

TEST_F(Win32Window, ClassRegistrationFollowsWin32Rules) {
  WNDCLASSEXA wc = windowClass("Application");
  EXPECT_NE(RegisterClassExA(&wc), 0);
  EXPECT_EQ(RegisterClassExA(&wc), 0) << "a class name can be registered once";
  WNDCLASSEXA noProcedure = wc;
  noProcedure.lpszClassName = "Other";
  noProcedure.lpfnWndProc = nullptr;
  EXPECT_EQ(RegisterClassExA(&noProcedure), 0);

  EXPECT_EQ(CreateWindowExA(0, "Unknown", "x", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  HWND window = createCentred(WS_OVERLAPPEDWINDOW, 64, 48);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(UnregisterClassA("Application", GetModuleHandleA(nullptr))) << "the class still has a window";
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_TRUE(UnregisterClassA("Application", GetModuleHandleA(nullptr)));
  EXPECT_FALSE(UnregisterClassA("Application", GetModuleHandleA(nullptr)));
  EXPECT_NE(RegisterClassExA(&wc), 0) << "registrable again after unregistering";
}

TEST_F(Win32Window, AdjustWindowRectAddsTheFrameOfTheStyle) {
  RECT overlapped{0, 0, 640, 480};
  AdjustWindowRectEx(&overlapped, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
  EXPECT_LT(overlapped.left, 0);
  EXPECT_LT(overlapped.top, overlapped.left) << "the caption sits above the client area";
  EXPECT_EQ(overlapped.right - 640, -overlapped.left) << "equal side borders";

  RECT popup{0, 0, 1024, 768};
  AdjustWindowRectEx(&popup, WS_POPUP | WS_BORDER | WS_SYSMENU, FALSE, WS_EX_APPWINDOW);
  EXPECT_EQ(popup.left, -1);
  EXPECT_EQ(popup.top, -1);
  EXPECT_EQ(popup.right, 1025);
  EXPECT_EQ(popup.bottom, 769);

  RECT bare{10, 20, 30, 40};
  AdjustWindowRectEx(&bare, WS_POPUP, FALSE, 0);
  EXPECT_EQ(bare.left, 10);
  EXPECT_EQ(bare.bottom, 40);
  EXPECT_FALSE(AdjustWindowRectEx(nullptr, WS_POPUP, FALSE, 0));
}

TEST_F(Win32Window, WindowGetsTheRequestedClientSizeAtTheCentre) {
  WNDCLASSEXA wc = windowClass("Application");
  ASSERT_NE(RegisterClassExA(&wc), 0);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_GT(screenWidth, 0);
  ASSERT_GT(screenHeight, 0);

  HWND window = createCentred(WS_OVERLAPPEDWINDOW, 640, 480);
  ASSERT_NE(window, nullptr);
  ASSERT_NE(VornWin32_SdlWindow(window), nullptr);
  int width = 0, height = 0;
  VornWin32_ClientSize(window, &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  RECT client{};
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);

  // The window's corner is the centring point: the client origin in screen
  // coordinates maps to client (0, 0).
  POINT corner{(screenWidth - 640) / 2, (screenHeight - 480) / 2};
  ASSERT_TRUE(ScreenToClient(window, &corner));
  EXPECT_EQ(corner.x, 0);
  EXPECT_EQ(corner.y, 0);

  EXPECT_TRUE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_TRUE(SetWindowTextA(window, "Vorn"));
  EXPECT_EQ(gMessages.front(), WM_CREATE);

  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(gMessages.back(), WM_DESTROY);
  EXPECT_EQ(VornWin32_SdlWindow(window), nullptr);
  EXPECT_FALSE(DestroyWindow(window)) << "a destroyed handle is invalid";
  EXPECT_FALSE(SetWindowTextA(window, "x"));
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
}

TEST_F(Win32Window, CentringTruncatesTowardZeroForOversizedWindows) {
  WNDCLASSEXA wc = windowClass("Application");
  ASSERT_NE(RegisterClassExA(&wc), 0);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int width = screenWidth + 3;  // odd overshoot: (-3) / 2 is -1, not -2
  HWND window = createCentred(WS_POPUP, width, 100);
  ASSERT_NE(window, nullptr);
  POINT corner{-1, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2};
  ASSERT_TRUE(ScreenToClient(window, &corner));
  EXPECT_EQ(corner.x, 0);
  EXPECT_EQ(corner.y, 0);
}

TEST_F(Win32Window, CurrentDisplayModeIsTheDesktopAt32Bits) {
  DEVMODEA mode{};
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  EXPECT_EQ(mode.dmBitsPerPel, 32u);
  EXPECT_EQ(static_cast<int>(mode.dmPelsWidth), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(static_cast<int>(mode.dmPelsHeight), GetSystemMetrics(SM_CYSCREEN));
  EXPECT_GT(mode.dmDisplayFrequency, 1u);
  EXPECT_TRUE(mode.dmFields & DM_PELSWIDTH);
  EXPECT_TRUE(mode.dmFields & DM_DISPLAYFREQUENCY);
  EXPECT_FALSE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, nullptr));
  EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 100000, &mode)) << "past the last mode";
}

TEST_F(Win32Window, FullscreenModeChangeIsEmulatedOnAnyDisplay) {
  DEVMODEA mode{};
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  const DEVMODEA desktop = mode;

  DEVMODEA eightBit = mode;
  eightBit.dmBitsPerPel = 8;
  EXPECT_EQ(ChangeDisplaySettingsA(&eightBit, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);

  // The framework's request: 640 x 480 at 32 bits and 60 Hz, which this
  // display does not offer. It succeeds, and the program sees that mode.
  DEVMODEA wanted = mode;
  wanted.dmPelsWidth = 640;
  wanted.dmPelsHeight = 480;
  wanted.dmBitsPerPel = 32;
  wanted.dmDisplayFrequency = 60;
  ASSERT_EQ(ChangeDisplaySettingsA(&wanted, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
  DEVMODEA current{};
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current));
  EXPECT_EQ(current.dmPelsWidth, 640u);
  EXPECT_EQ(current.dmPelsHeight, 480u);
  EXPECT_EQ(current.dmBitsPerPel, 32u);

  WNDCLASSEXA wc = windowClass("Application");
  ASSERT_NE(RegisterClassExA(&wc), 0);
  HWND window = createCentred(WS_POPUP | WS_BORDER | WS_SYSMENU, 640, 480);
  ASSERT_NE(window, nullptr);
  int width = 0, height = 0;
  VornWin32_ClientSize(window, &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  // On a 16:9 panel the picture is scaled with its aspect kept, bars beside.
  VornPresentArea area = VornWin32_PresentArea(window, 1920, 1080);
  EXPECT_EQ(area.x, 240);
  EXPECT_EQ(area.y, 0);
  EXPECT_EQ(area.width, 1440);
  EXPECT_EQ(area.height, 1080);
  EXPECT_TRUE(area.bars);
  area = VornWin32_PresentArea(window, 1280, 960);
  EXPECT_EQ(area.width, 1280);
  EXPECT_FALSE(area.bars) << "same aspect: the whole display";
  EXPECT_TRUE(DestroyWindow(window));

  // The change ends with its window: the next window is an ordinary one,
  // and the desktop is reported again.
  HWND windowed = createCentred(WS_OVERLAPPEDWINDOW, 200, 100);
  ASSERT_NE(windowed, nullptr);
  VornWin32_ClientSize(windowed, &width, &height);
  EXPECT_EQ(width, 200);
  EXPECT_EQ(height, 100);
  area = VornWin32_PresentArea(windowed, 400, 300);
  EXPECT_EQ(area.width, 400) << "a window stretches over its client area";
  EXPECT_FALSE(area.bars);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), static_cast<int>(desktop.dmPelsWidth));
  EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
}

TEST_F(Win32Window, IconResourceIsASteelTileWithAnOrangeV) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  EXPECT_EQ(LoadImageA(instance, MAKEINTRESOURCEA(108), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE), nullptr);
  HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(109), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  ASSERT_NE(icon, nullptr);
  for (int size : {64, 48, 32}) {
    std::vector<std::uint8_t> rgba;
    ASSERT_TRUE(VornWin32_IconPixels(icon, size, &rgba)) << size;
    ASSERT_EQ(rgba.size(), static_cast<std::size_t>(size * size * 4));
    auto pixel = [&](double u, double v) {
      return &rgba[(static_cast<int>(v * size) * size + static_cast<int>(u * size)) * 4];
    };
    const std::uint8_t* steel = pixel(0.15, 0.5);
    EXPECT_EQ(steel[3], 255);
    EXPECT_LT(steel[0], 110);
    EXPECT_LE(steel[0], steel[2] + 10) << "steel is grey-blue, not warm";
    const std::uint8_t* vertex = pixel(0.5, 0.74);  // bottom point of the V
    EXPECT_GT(vertex[0], 200);
    EXPECT_GT(vertex[0], vertex[2] + 150) << "orange";
    const std::uint8_t* arm = pixel(0.27, 0.30);  // on the left arm
    EXPECT_GT(arm[0], 200);
    const std::uint8_t* between = pixel(0.5, 0.35);  // inside the V's opening
    EXPECT_LT(between[0], 110);
    EXPECT_LT(pixel(0.0, 0.0)[3], 128) << "rounded corner";
  }
  std::vector<std::uint8_t> none;
  EXPECT_FALSE(VornWin32_IconPixels(icon, 16, &none));
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_FALSE(VornWin32_IconPixels(icon, 64, &none));
}

TEST_F(Win32Window, StockHandlesAreHarmless) {
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  EXPECT_NE(arrow, nullptr);
  EXPECT_TRUE(DestroyCursor(arrow));
  EXPECT_NE(GetStockObject(WHITE_BRUSH), nullptr);
  EXPECT_NE(GetStockObject(WHITE_BRUSH), GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_NE(GetDesktopWindow(), nullptr);
}

TEST_F(Win32Window, ShowCursorKeepsADisplayCounter) {
  EXPECT_TRUE(VornWin32_CursorVisible());
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_FALSE(VornWin32_CursorVisible());
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
  EXPECT_FALSE(VornWin32_CursorVisible()) << "one TRUE does not undo two FALSE";
  EXPECT_EQ(ShowCursor(TRUE), 0);
  EXPECT_TRUE(VornWin32_CursorVisible());
  EXPECT_EQ(ShowCursor(TRUE), 1);
  EXPECT_TRUE(VornWin32_CursorVisible());
  VornWin32_Reset();
  EXPECT_EQ(ShowCursor(FALSE), -1) << "reset puts the counter back to 0";
}

TEST_F(Win32Window, MessageBoxReportsAndPrintsWithoutADisplay) {
  std::vector<std::pair<std::string, std::string>> seen;
  VornWin32_SetMessageBoxObserver(
      [&](const std::string& text, const std::string& caption) { seen.emplace_back(text, caption); });
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Configuration not supported!", "Bang!", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, "Empty", MB_ICONEXCLAMATION), IDOK);
  std::string printed = testing::internal::GetCapturedStderr();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, "Configuration not supported!");
  EXPECT_EQ(seen[0].second, "Bang!");
  EXPECT_EQ(seen[1].first, "");
  EXPECT_NE(printed.find("Bang!: Configuration not supported!\n"), std::string::npos) << printed;
}

TEST_F(Win32Window, PerformanceCounterRisesAndCanBeReplaced) {
  LARGE_INTEGER frequency{}, first{}, second{};
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_GT(frequency.QuadPart, 0);
  ASSERT_TRUE(QueryPerformanceCounter(&first));
  Sleep(2);
  ASSERT_TRUE(QueryPerformanceCounter(&second));
  EXPECT_GT(second.QuadPart, first.QuadPart);

  std::int64_t fake = 1000;
  VornWin32_SetPerformanceCounterSource([&] { return fake; }, 60);
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 60);
  fake = 1234;
  ASSERT_TRUE(QueryPerformanceCounter(&first));
  EXPECT_EQ(first.QuadPart, 1234);
  VornWin32_SetPerformanceCounterSource(nullptr, 0);
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_NE(frequency.QuadPart, 60);
}

}  // namespace
