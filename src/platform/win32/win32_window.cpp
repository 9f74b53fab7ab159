// Window classes, windows and display modes of the Win32 stand-in.
//
// A window is an SDL window created for OpenGL (the Direct3D stand-in makes
// its context on it). Handles are counters that are never reused, so a stale
// handle is simply unknown, as in Win32.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

namespace {

bool gVideoReady = false;
bool gVideoFailed = false;

// With VORN_DEBUG_FRAMES set, the frame count is reported at exit, so that
// tests can tell in which frame a scripted event took effect.
void reportPresentedFrames() {
  std::fprintf(stderr, "frames presented: %llu\n", static_cast<unsigned long long>(VornWin32_PresentedFrames()));
}

constexpr std::uintptr_t kDesktopHandle = 0x10000;

// Win32 sizes of the standard frame parts at 96 dots per inch.
constexpr LONG kSizingFrame = 8;  // sizing border plus padding
constexpr LONG kFixedFrame = 3;
constexpr LONG kThinBorder = 1;
constexpr LONG kCaption = 23;
constexpr LONG kMenuBar = 20;
constexpr LONG kClientEdge = 2;

// The window's framebuffer asks for what the demo's back buffer is (8-bit
// colour without alpha, a 16-bit depth buffer, no stencil): where the
// display gives exactly that, the Direct3D stand-in draws straight into it.
void setDefaultGlAttributes() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

// True when there is no display to open: nothing names an X or Wayland
// display and no SDL video driver was chosen. SDL would otherwise try the
// console's graphics devices and run with a window nobody can see.
bool noDisplayNamed() {
#if defined(_WIN32) || defined(__APPLE__)
  return false;
#else
  auto named = [](const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
  };
  return !named("SDL_VIDEODRIVER") && !named("DISPLAY") && !named("WAYLAND_DISPLAY");
#endif
}

bool createSdlWindow(Window& window, const char* title, int x, int y) {
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
  // A sizing frame makes the window resizable (and maximisable).
  if (window.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  int sdlX = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x;
  int sdlY = y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y;
  int width = std::max(1, window.clientWidth), height = std::max(1, window.clientHeight);
  if (window.fullscreen) {
    // Under an emulated mode the window covers the display as it is (the
    // physical mode never changes): borderless over the display's bounds,
    // which holds without a window manager too, and full screen for the
    // window manager, which then keeps panels off it.
    flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(0, &bounds) == 0) {
      sdlX = bounds.x;
      sdlY = bounds.y;
      width = bounds.w;
      height = bounds.h;
    }
  }
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", sdlX, sdlY, width, height, flags);
  if (!sdl) {
    std::fprintf(stderr, "CreateWindowExA: %s\n", SDL_GetError());
    return false;
  }
  window.sdl = sdl;
  window.sdlId = SDL_GetWindowID(sdl);
  return true;
}

void setWindowIcon(Window& window) {
  auto found = state().classes.find(window.className);
  if (found == state().classes.end() || !window.sdl) return;
  HICON icon = found->second.icon ? found->second.icon : found->second.smallIcon;
  if (SDL_Surface* surface = iconSurface(icon)) SDL_SetWindowIcon(window.sdl, surface);
}

// Destroys a window as Win32 does (WM_DESTROY, queue purge, handle gone).
// With park set the SDL window is only hidden, for DefWindowProcA(WM_CLOSE):
// the Direct3D device still holds it until the program releases the device.
BOOL destroyWindowImpl(HWND handle, bool park) {
  Window* window = findWindow(handle);
  if (!window) return FALSE;
  if (window->destroying) return TRUE;
  window->destroying = true;
  sendToWindow(handle, WM_DESTROY, 0, 0);
  window = findWindow(handle);
  if (!window) return TRUE;
  leaveFullscreen(*window);
  if (window->sdl) {
    if (park) {
      SDL_HideWindow(window->sdl);
      state().parkedWindows.push_back(window->sdl);
    } else {
      SDL_DestroyWindow(window->sdl);
    }
  }
  purgeWindowMessages(handle);
  State& s = state();
  if (s.lastCreated == handle) s.lastCreated = nullptr;
  if (s.mouseWindow == handle) s.mouseWindow = nullptr;
  s.windows.erase(reinterpret_cast<std::uintptr_t>(handle));
  // A full-screen mode ends with the window that showed it.
  bool anyFullscreen = false;
  for (auto& entry : s.windows) anyFullscreen = anyFullscreen || entry.second->fullscreen;
  if (!anyFullscreen) s.displayChange.active = false;
  return TRUE;
}

}  // namespace

State& state() {
  static State instance;
  return instance;
}

bool videoReady() { return gVideoReady; }

bool ensureVideo() {
  if (gVideoReady) return true;
  if (gVideoFailed) return false;
  if (noDisplayNamed()) {
    std::fprintf(stderr,
                 "no display found: neither DISPLAY nor WAYLAND_DISPLAY is set "
                 "(SDL_VIDEODRIVER=offscreen runs without a display)\n");
    gVideoFailed = true;
    return false;
  }
  // Window close becomes WM_CLOSE. Quit signals are ours to handle: they end
  // the program through WM_QUIT (win32_signals.cpp), not through SDL.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "cannot open the display: %s\n", SDL_GetError());
    gVideoFailed = true;
    return false;
  }
  gVideoReady = true;
  installQuitSignals();
  static bool reportingFrames = false;
  if (!reportingFrames && std::getenv("VORN_DEBUG_FRAMES")) {
    reportingFrames = true;
    std::atexit(reportPresentedFrames);
  }
  applyCursorVisibility();
  return true;
}

Window* findWindow(HWND handle) {
  auto found = state().windows.find(reinterpret_cast<std::uintptr_t>(handle));
  return found == state().windows.end() ? nullptr : found->second.get();
}

Window* findWindowBySdlId(std::uint32_t id) {
  if (id == 0) return nullptr;
  for (auto& entry : state().windows) {
    if (entry.second->sdlId == id) return entry.second.get();
  }
  return nullptr;
}

Window* defaultTargetWindow() {
  if (gVideoReady) {
    if (SDL_Window* focus = SDL_GetKeyboardFocus()) {
      if (Window* window = findWindowBySdlId(SDL_GetWindowID(focus))) return window;
    }
  }
  if (Window* window = findWindow(state().lastCreated)) return window;
  // The most recent window still alive.
  Window* newest = nullptr;
  for (auto& entry : state().windows) newest = entry.second.get();
  return newest;
}

FrameInsets frameInsets(DWORD style, BOOL menu, DWORD exStyle) {
  FrameInsets insets{0, 0, 0, 0};
  LONG side = 0;
  if (style & WS_THICKFRAME) {
    side = kSizingFrame;
  } else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) {
    side = kFixedFrame;
  } else if (style & WS_BORDER) {
    side = kThinBorder;
  }
  if (exStyle & WS_EX_CLIENTEDGE) side += kClientEdge;
  insets.left = insets.right = insets.top = insets.bottom = side;
  if ((style & WS_CAPTION) == WS_CAPTION) insets.top += kCaption;
  if (menu) insets.top += kMenuBar;
  return insets;
}

void leaveFullscreen(Window& window) {
  if (window.fullscreen && window.sdl) SDL_SetWindowFullscreen(window.sdl, 0);
  window.fullscreen = false;
}

}  // namespace vorn::win32

using namespace vorn::win32;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
  // Integer atoms as class names are not supported by this stand-in.
  if (reinterpret_cast<std::uintptr_t>(windowClass->lpszClassName) <= 0xFFFF) return 0;
  if (windowClass->cbSize != 0 && windowClass->cbSize < sizeof(UINT)) return 0;
  State& s = state();
  std::string name = windowClass->lpszClassName;
  if (s.classes.count(name)) return 0;  // ERROR_CLASS_ALREADY_EXISTS
  WindowClass entry;
  entry.name = name;
  entry.procedure = windowClass->lpfnWndProc;
  entry.instance = windowClass->hInstance;
  entry.icon = windowClass->hIcon;
  entry.smallIcon = windowClass->hIconSm;
  entry.cursor = windowClass->hCursor;
  entry.atom = s.nextAtom++;
  ATOM atom = entry.atom;
  s.classes.emplace(name, std::move(entry));
  return atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (!className || reinterpret_cast<std::uintptr_t>(className) <= 0xFFFF) return FALSE;
  State& s = state();
  auto found = s.classes.find(className);
  if (found == s.classes.end()) return FALSE;
  for (auto& entry : s.windows) {
    if (entry.second->className == found->first) return FALSE;  // ERROR_CLASS_HAS_WINDOWS
  }
  s.classes.erase(found);
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (!rect) return FALSE;
  FrameInsets insets = frameInsets(style, menu, exStyle);
  rect->left -= insets.left;
  rect->top -= insets.top;
  rect->right += insets.right;
  rect->bottom += insets.bottom;
  return TRUE;
}

HWND GetDesktopWindow() { return reinterpret_cast<HWND>(kDesktopHandle); }

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (!className) return nullptr;
  State& s = state();
  auto found = s.classes.find(className);
  if (found == s.classes.end()) return nullptr;  // ERROR_CANNOT_FIND_WND_CLASS
  if (!ensureVideo()) return nullptr;
  loadEnvironmentScriptOnce();  // script time starts with the first window

  auto window = std::make_unique<Window>();
  window->className = found->first;
  window->procedure = found->second.procedure;
  window->style = style;
  window->exStyle = exStyle;
  bool hasMenu = menu != nullptr && !(style & WS_CHILD);
  FrameInsets insets = frameInsets(style, hasMenu, exStyle);
  int outerWidth = width == CW_USEDEFAULT ? 640 + insets.left + insets.right : width;
  int outerHeight = height == CW_USEDEFAULT ? 480 + insets.top + insets.bottom : height;
  window->clientWidth = std::max(0, outerWidth - static_cast<int>(insets.left + insets.right));
  window->clientHeight = std::max(0, outerHeight - static_cast<int>(insets.top + insets.bottom));
  window->reportedWidth = window->clientWidth;
  window->reportedHeight = window->clientHeight;
  window->fullscreen = s.displayChange.active;

  setDefaultGlAttributes();
  if (!createSdlWindow(*window, windowName, x, y)) return nullptr;

  HWND handle = reinterpret_cast<HWND>(s.nextHandle);
  s.nextHandle += 0x10;
  window->handle = handle;
  Window* raw = window.get();
  s.windows.emplace(reinterpret_cast<std::uintptr_t>(handle), std::move(window));
  s.lastCreated = handle;
  setWindowIcon(*raw);

  CREATESTRUCTA create{param,
                      instance,
                      menu,
                      parent,
                      outerHeight,
                      outerWidth,
                      y,
                      x,
                      static_cast<LONG>(style),
                      windowName,
                      className,
                      exStyle};
  if (sendToWindow(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    destroyWindowImpl(handle, false);
    return nullptr;
  }
  return findWindow(handle) ? handle : nullptr;
}

BOOL ShowWindow(HWND handle, int command) {
  Window* window = findWindow(handle);
  if (!window || !window->sdl) return FALSE;
  BOOL wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      SDL_HideWindow(window->sdl);
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
      SDL_MinimizeWindow(window->sdl);
      break;
    case SW_SHOWMAXIMIZED:
      SDL_ShowWindow(window->sdl);
      SDL_MaximizeWindow(window->sdl);
      break;
    case SW_RESTORE:
      SDL_RestoreWindow(window->sdl);
      SDL_ShowWindow(window->sdl);
      break;
    default:
      SDL_ShowWindow(window->sdl);
      break;
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND handle) { return findWindow(handle) ? TRUE : FALSE; }

BOOL SetWindowTextA(HWND handle, LPCSTR text) {
  Window* window = findWindow(handle);
  if (!window) return FALSE;
  if (window->sdl) SDL_SetWindowTitle(window->sdl, text ? text : "");
  return TRUE;
}

BOOL DestroyWindow(HWND handle) { return destroyWindowImpl(handle, false); }

BOOL GetClientRect(HWND handle, RECT* rect) {
  Window* window = findWindow(handle);
  if (!window || !rect) return FALSE;
  int width = 0, height = 0;
  VornWin32_ClientSize(handle, &width, &height);
  *rect = RECT{0, 0, width, height};
  return TRUE;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      // As in Win32, the default answer to a close request destroys the window.
      destroyWindowImpl(handle, true);
      return 0;
    default:
      return 0;
  }
}

SDL_Window* VornWin32_SdlWindow(HWND handle) {
  Window* window = findWindow(handle);
  return window ? window->sdl : nullptr;
}

void VornWin32_ClientSize(HWND handle, int* width, int* height) {
  Window* window = findWindow(handle);
  int w = 0, h = 0;
  if (window) {
    w = window->clientWidth;
    h = window->clientHeight;
    // An ordinary window's client area is what the user made of it; a
    // window under an emulated mode keeps its size in that mode.
    if (window->sdl && !window->fullscreen) SDL_GetWindowSize(window->sdl, &w, &h);
  }
  if (width) *width = w;
  if (height) *height = h;
}

SDL_Window* VornWin32_RecreateSdlWindow(HWND handle) {
  Window* window = findWindow(handle);
  if (!window) return nullptr;
  std::string title = "";
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  bool visible = true;
  if (window->sdl) {
    title = SDL_GetWindowTitle(window->sdl);
    if (!window->fullscreen) SDL_GetWindowSize(window->sdl, &window->clientWidth, &window->clientHeight);
    SDL_GetWindowPosition(window->sdl, &x, &y);
    visible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    bool fullscreen = window->fullscreen;
    leaveFullscreen(*window);
    window->fullscreen = fullscreen;
    SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
    window->sdlId = 0;
  }
  if (!createSdlWindow(*window, title.c_str(), x, y)) return nullptr;
  if (!visible) SDL_HideWindow(window->sdl);
  setWindowIcon(*window);
  return window->sdl;
}

void VornWin32_Reset() {
  State& s = state();
  std::vector<HWND> handles;
  for (auto& entry : s.windows) handles.push_back(entry.second->handle);
  for (HWND handle : handles) {
    if (Window* window = findWindow(handle)) {
      leaveFullscreen(*window);
      if (window->sdl) SDL_DestroyWindow(window->sdl);
      window->sdl = nullptr;
    }
  }
  s.windows.clear();
  for (SDL_Window* parked : s.parkedWindows) SDL_DestroyWindow(parked);
  s.parkedWindows.clear();
  s.classes.clear();
  s.lastCreated = nullptr;
  s.displayChange = DisplayChange{};
  s.cursorCounter = 0;
  s.mouseWindow = nullptr;
  s.mouseX = s.mouseY = 0;
  s.haveMouse = false;
  if (gVideoReady) {
    // Drop what SDL still holds for the windows just destroyed.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    applyCursorVisibility();
  }
  resetQueue();
  resetInputScript();
  resetIcons();
  VornWin32_SetPerformanceCounterSource(nullptr, 0);
  VornWin32_SetMessageBoxObserver(nullptr);
}
