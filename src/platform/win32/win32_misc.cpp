// Module handle, stock objects, cursor, message boxes and timing of the Win32
// stand-in.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "platform/win32/win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

namespace {

// Handle values of the objects that have no state of their own here. The
// module handle is the usual image base of a Win32 executable.
constexpr std::uintptr_t kModuleHandle = 0x00400000;
constexpr std::uintptr_t kArrowCursor = 0x00010003;
constexpr std::uintptr_t kStockObjectBase = 0x01900010;
constexpr int kStockObjectCount = 20;

struct CounterSource {
  std::mutex mutex;
  std::function<std::int64_t()> counter;
  std::int64_t frequency = 0;
};

CounterSource& counterSource() {
  static CounterSource source;
  return source;
}

std::mutex& observerMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void(const std::string&, const std::string&)>& messageBoxObserver() {
  static std::function<void(const std::string&, const std::string&)> observer;
  return observer;
}

std::uint64_t gPresentedFrames = 0;

// True when no message box can be shown: SDL drives no real display.
bool headless() {
  const char* driver = videoReady() ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) return true;
  return !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
}

}  // namespace

void applyCursorVisibility() {
  if (videoReady()) SDL_ShowCursor(state().cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace vorn::win32

using namespace vorn::win32;

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  // Only the executable itself is a module here.
  if (moduleName) return nullptr;
  return reinterpret_cast<HMODULE>(kModuleHandle);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if (module && module != reinterpret_cast<HMODULE>(kModuleHandle)) return 0;
  if (!fileName || size == 0) return 0;
  std::error_code error;
  const std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
  if (error) return 0;
  // As in Win32: a name that does not fit is cut, still terminated, and the
  // result is the buffer size.
  const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
  std::memcpy(fileName, path.data(), copied);
  fileName[copied] = '\0';
  return copied < path.size() ? size : static_cast<DWORD>(copied);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
  // The system arrow is the one cursor there is; the window keeps SDL's.
  if (instance == nullptr && cursorName == IDC_ARROW) return reinterpret_cast<HCURSOR>(kArrowCursor);
  return nullptr;
}

BOOL DestroyCursor(HCURSOR cursor) { return cursor == reinterpret_cast<HCURSOR>(kArrowCursor) ? TRUE : FALSE; }

HGDIOBJ GetStockObject(int object) {
  if (object < 0 || object >= kStockObjectCount) return nullptr;
  return reinterpret_cast<HGDIOBJ>(kStockObjectBase + static_cast<std::uintptr_t>(object));
}

int ShowCursor(BOOL show) {
  State& s = state();
  s.cursorCounter += show ? 1 : -1;
  applyCursorVisibility();
  return s.cursorCounter;
}

bool VornWin32_CursorVisible() { return state().cursorCounter >= 0; }

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  State& s = state();
  Window* window = findWindow(s.mouseWindow);
  if (s.haveMouse && window && window->sdl) {
    int x = 0, y = 0;
    clientOrigin(*window, &x, &y);
    point->x = x + s.mouseX;
    point->y = y + s.mouseY;
    return TRUE;
  }
  if (videoReady()) {
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    point->x = x;
    point->y = y;
    return TRUE;
  }
  point->x = point->y = 0;
  return TRUE;
}

BOOL ScreenToClient(HWND handle, POINT* point) {
  Window* window = findWindow(handle);
  if (!window || !point) return FALSE;
  int x = 0, y = 0;
  clientOrigin(*window, &x, &y);
  point->x -= x;
  point->y -= y;
  return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::string message = text ? text : "";
  std::string title = caption ? caption : "Error";
  {
    std::function<void(const std::string&, const std::string&)> observer;
    {
      std::lock_guard<std::mutex> lock(observerMutex());
      observer = messageBoxObserver();
    }
    if (observer) observer(message, title);
  }
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  UINT icon = type & 0xF0;
  if (icon == MB_ICONERROR) {
    flags = SDL_MESSAGEBOX_ERROR;
  } else if (icon == MB_ICONEXCLAMATION) {
    flags = SDL_MESSAGEBOX_WARNING;
  }
  bool shown = false;
  if (!headless()) {
    Window* window = findWindow(owner);
    // The box is modal: SDL returns once the user has closed it.
    shown = SDL_ShowSimpleMessageBox(flags, title.c_str(), message.c_str(), window ? window->sdl : nullptr) == 0;
  }
  if (!shown) std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
  return IDOK;
}

void VornWin32_SetMessageBoxObserver(std::function<void(const std::string&, const std::string&)> observer) {
  std::lock_guard<std::mutex> lock(observerMutex());
  messageBoxObserver() = std::move(observer);
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  CounterSource& source = counterSource();
  {
    std::lock_guard<std::mutex> lock(source.mutex);
    if (source.counter) {
      frequency->QuadPart = source.frequency;
      return TRUE;
    }
  }
  frequency->QuadPart = static_cast<LONGLONG>(SDL_GetPerformanceFrequency());
  return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  CounterSource& source = counterSource();
  {
    std::lock_guard<std::mutex> lock(source.mutex);
    if (source.counter) {
      count->QuadPart = source.counter();
      return TRUE;
    }
  }
  count->QuadPart = static_cast<LONGLONG>(SDL_GetPerformanceCounter());
  return TRUE;
}

void VornWin32_SetPerformanceCounterSource(std::function<std::int64_t()> counter, std::int64_t frequency) {
  CounterSource& source = counterSource();
  std::lock_guard<std::mutex> lock(source.mutex);
  if (counter && frequency > 0) {
    source.counter = std::move(counter);
    source.frequency = frequency;
  } else {
    source.counter = nullptr;
    source.frequency = 0;
  }
}

DWORD GetTickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void VornWin32_FramePresented() { ++gPresentedFrames; }

std::uint64_t VornWin32_PresentedFrames() { return gPresentedFrames; }
