#include "graphics/framework.h"

#include "scene/transform_stack.h"

#include <cstring>

#include "graphics/graphics_device.h"
#include "runtime/fps_timer.h"

AppWindow* currentWindow = nullptr;
Framework* g_framework = nullptr;

namespace {

constexpr const char* kWindowClassName = "Application";
constexpr int kIconResource = 109;

void setInactive(bool inactive) {
  if (!currentWindow) return;
  if (inactive) {
    currentWindow->stateFlags |= WINDOW_INACTIVE;
  } else {
    currentWindow->stateFlags &= ~WINDOW_INACTIVE;
  }
}

}  // namespace

// ---- AppWindow ---------------------------------------------------------------

bool AppWindow::create(const char* newTitle, int width, int height, bool fullscreen) {
  setTitle(newTitle);
  clientWidth = width;
  clientHeight = height;
  instance = GetModuleHandleA(nullptr);
  stateFlags = fullscreen ? WINDOW_FULLSCREEN : WINDOW_WINDOWED;

  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.cbSize = sizeof(WNDCLASSEXA);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kWindowClassName;
  RegisterClassExA(&windowClass);

  if (fullscreen) {
    style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof(DEVMODEA);
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return false;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = 32;
    mode.dmDisplayFrequency = 60;
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return false;
  } else {
    style = WS_OVERLAPPEDWINDOW;
  }

  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, style, FALSE, WS_EX_APPWINDOW);

  // Centred on the client size; the divisions truncate toward zero.
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  handle = CreateWindowExA(WS_EX_APPWINDOW, kWindowClassName, title.c_str(), style, x, y, outer.right - outer.left,
                           outer.bottom - outer.top, GetDesktopWindow(), nullptr, instance, nullptr);
  if (!handle) return false;
  ShowWindow(handle, SW_SHOW);
  UpdateWindow(handle);
  return true;
}

void AppWindow::setTitle(const char* newTitle) {
  title = newTitle ? newTitle : "";
  if (handle) SetWindowTextA(handle, title.c_str());
}

void AppWindow::destroy() {
  DestroyCursor(windowClass.hCursor);
  DestroyIcon(windowClass.hIcon);
  DestroyIcon(windowClass.hIconSm);
  if (handle) {
    DestroyWindow(handle);
    handle = nullptr;
  }
  UnregisterClassA(kWindowClassName, instance);
  if (currentWindow == this) currentWindow = nullptr;
  delete this;
}

// ---- window procedure --------------------------------------------------------

LRESULT windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      // First press reads KEY_PRESSED; the first auto-repeat turns it into
      // KEY_HELD, which further repeats keep.
      if (currentWindow && wParam < 256) {
        std::uint8_t& state = currentWindow->keyStates[wParam];
        if (state == KEY_UP) {
          state = KEY_PRESSED;
        } else if (state == KEY_PRESSED) {
          state = KEY_HELD;
        }
      }
      return 0;
    case WM_KEYUP:
      if (currentWindow && wParam < 256) currentWindow->keyStates[wParam] = KEY_UP;
      return 0;
    case WM_LBUTTONDOWN:
      if (currentWindow) currentWindow->keyStates[VK_LBUTTON] = KEY_HELD;
      return 0;
    case WM_LBUTTONUP:
      if (currentWindow) currentWindow->keyStates[VK_LBUTTON] = KEY_UP;
      return 0;
    case WM_RBUTTONDOWN:
      if (currentWindow) currentWindow->keyStates[VK_RBUTTON] = KEY_HELD;
      return 0;
    case WM_RBUTTONUP:
      if (currentWindow) currentWindow->keyStates[VK_RBUTTON] = KEY_UP;
      return 0;
    default:
      break;
  }
  if (currentWindow) {
    switch (message) {
      case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
          setInactive(true);
        } else if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
          setInactive(false);
        }
        break;
      case WM_ACTIVATE:
        setInactive(LOWORD(wParam) == WA_INACTIVE);
        break;
      case WM_ENTERSIZEMOVE:
        setInactive(true);
        break;
      case WM_EXITSIZEMOVE:
        setInactive(false);
        break;
      case WM_CLOSE:
      case WM_QUIT:
        PostQuitMessage(0);
        break;
      default:
        break;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// ---- Framework ---------------------------------------------------------------

Framework::Framework() : timer(new FPSTimer_HighResolution), window(new AppWindow) {}

bool Framework::start(bool fullscreen, int width, int height, int multisample) {
  window->create("project", width, height, fullscreen);
  graphicsDevice = GraphicsDevice::create(window->handle, static_cast<std::uint32_t>(width),
                                          static_cast<std::uint32_t>(height), multisample);
  g_graphicsDevice = graphicsDevice;
  timer->reset();
  input = nullptr;
  ShowCursor(fullscreen ? FALSE : TRUE);
  return true;
}

void Framework::teardown() {
  if (graphicsDevice) {
    // The saved-transform stack belongs to the device record; free it with it.
    GraphicsDevice* published = g_graphicsDevice;
    g_graphicsDevice = graphicsDevice;
    clearTransformStack();
    g_graphicsDevice = published;
    if (graphicsDevice->device) graphicsDevice->device->Release();
    if (graphicsDevice->direct3d) graphicsDevice->direct3d->Release();
    if (g_graphicsDevice == graphicsDevice) g_graphicsDevice = nullptr;
    delete graphicsDevice;
    graphicsDevice = nullptr;
  }
  if (window) {
    window->destroy();
    window = nullptr;
  }
  delete timer;
  timer = nullptr;
  input = nullptr;
  ShowCursor(TRUE);
}
