// Display modes of the Win32 stand-in.
//
// A full-screen mode change never touches the physical display. As a display
// scaler does, the requested mode is emulated: the program sees it through
// EnumDisplaySettingsA and GetSystemMetrics, the windows created under it
// cover the whole display (SDL's desktop full screen, no mode switch), and
// Present scales their picture to the display with the aspect ratio kept,
// black bars filling the rest. So every mode works on any display, and the
// desktop can never be left in a changed mode, whatever ends the program.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

namespace {

// The largest mode side accepted; beyond it no back buffer could be made.
constexpr int kLargestModeSide = 16384;

// The display's modes; a driver without a list (the offscreen one) has the
// desktop mode alone.
std::vector<SDL_DisplayMode> displayModes() {
  std::vector<SDL_DisplayMode> modes;
  int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w > 0 && mode.h > 0) modes.push_back(mode);
  }
  SDL_DisplayMode desktop{};
  if (modes.empty() && SDL_GetDesktopDisplayMode(0, &desktop) == 0) modes.push_back(desktop);
  return modes;
}

EmulatedMode modeOfDisplay(const SDL_DisplayMode& mode) {
  unsigned bytes = SDL_BYTESPERPIXEL(mode.format);
  // SDL says 0 when the driver does not know the rate (the offscreen
  // driver); report the usual rate rather than an impossible one.
  return EmulatedMode{mode.w, mode.h, bytes >= 3 ? 32u : bytes * 8, mode.refresh_rate > 0 ? mode.refresh_rate : 60};
}

bool desktopMode(EmulatedMode* mode) {
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
  *mode = modeOfDisplay(desktop);
  return true;
}

// The mode a DEVMODEA asks for: the fields it sets, the current mode's
// values for the others. False for what no display scaler shows.
bool requestedMode(const DEVMODEA& devMode, EmulatedMode* mode) {
  if (!desktopMode(mode)) return false;
  if (devMode.dmFields & DM_PELSWIDTH) mode->width = static_cast<int>(devMode.dmPelsWidth);
  if (devMode.dmFields & DM_PELSHEIGHT) mode->height = static_cast<int>(devMode.dmPelsHeight);
  if (mode->width < 1 || mode->height < 1 || mode->width > kLargestModeSide || mode->height > kLargestModeSide) {
    return false;
  }
  if (devMode.dmFields & DM_BITSPERPEL) {
    DWORD bits = devMode.dmBitsPerPel;
    if (bits != 32 && bits != 24 && bits != 16) return false;
    mode->bitsPerPel = bits;
  }
  if (devMode.dmFields & DM_DISPLAYFREQUENCY) {
    // 0 and 1 mean "the hardware default"; the scaler runs at the panel's rate.
    int rate = static_cast<int>(devMode.dmDisplayFrequency);
    if (rate > 1) mode->refreshRate = rate;
  }
  return true;
}

void fillDevMode(const EmulatedMode& mode, DEVMODEA* devMode) {
  std::memset(devMode->dmDeviceName, 0, sizeof(devMode->dmDeviceName));
  std::strncpy(reinterpret_cast<char*>(devMode->dmDeviceName), "\\\\.\\DISPLAY1", 31);
  devMode->dmSpecVersion = 0x0401;
  devMode->dmDriverVersion = 0x0401;
  devMode->dmSize = sizeof(DEVMODEA);
  devMode->dmDriverExtra = 0;
  devMode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
  devMode->dmBitsPerPel = mode.bitsPerPel;
  devMode->dmPelsWidth = static_cast<DWORD>(mode.width);
  devMode->dmPelsHeight = static_cast<DWORD>(mode.height);
  devMode->dmDisplayFlags = 0;
  devMode->dmDisplayFrequency = static_cast<DWORD>(mode.refreshRate);
}

}  // namespace

VornPresentArea scaleToDisplay(int screenWidth, int screenHeight, int displayWidth, int displayHeight) {
  VornPresentArea area{0, 0, displayWidth, displayHeight, false};
  if (screenWidth <= 0 || screenHeight <= 0 || displayWidth <= 0 || displayHeight <= 0) return area;
  const double scale = std::min(static_cast<double>(displayWidth) / screenWidth,
                                static_cast<double>(displayHeight) / screenHeight);
  area.width = std::clamp(static_cast<int>(std::lround(screenWidth * scale)), 1, displayWidth);
  area.height = std::clamp(static_cast<int>(std::lround(screenHeight * scale)), 1, displayHeight);
  area.x = (displayWidth - area.width) / 2;
  area.y = (displayHeight - area.height) / 2;
  area.bars = area.width != displayWidth || area.height != displayHeight;
  return area;
}

VornPresentArea clientArea(const Window& window, int surfaceWidth, int surfaceHeight) {
  const DisplayChange& change = state().displayChange;
  if (!window.fullscreen || !change.active) return VornPresentArea{0, 0, surfaceWidth, surfaceHeight, false};
  // The client area fills the emulated screen, whatever the window's frame.
  return scaleToDisplay(change.mode.width, change.mode.height, surfaceWidth, surfaceHeight);
}

void windowToClient(const Window& window, int* x, int* y) {
  if (!window.fullscreen || !window.sdl) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(window.sdl, &width, &height);
  const VornPresentArea area = clientArea(window, width, height);
  if (area.width <= 0 || area.height <= 0) return;
  *x = static_cast<int>(std::floor((*x - area.x) * static_cast<double>(window.clientWidth) / area.width));
  *y = static_cast<int>(std::floor((*y - area.y) * static_cast<double>(window.clientHeight) / area.height));
}

void clientToWindow(const Window& window, int* x, int* y) {
  if (!window.fullscreen || !window.sdl || window.clientWidth <= 0 || window.clientHeight <= 0) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(window.sdl, &width, &height);
  const VornPresentArea area = clientArea(window, width, height);
  *x = area.x + static_cast<int>(std::floor((*x + 0.5) * area.width / window.clientWidth));
  *y = area.y + static_cast<int>(std::floor((*y + 0.5) * area.height / window.clientHeight));
}

void clientOrigin(const Window& window, int* x, int* y) {
  *x = *y = 0;
  if (!window.fullscreen && window.sdl) SDL_GetWindowPosition(window.sdl, x, y);
}

}  // namespace vorn::win32

using namespace vorn::win32;

int GetSystemMetrics(int index) {
  if (index != SM_CXSCREEN && index != SM_CYSCREEN) return 0;
  if (!ensureVideo()) return 0;
  EmulatedMode mode{};
  if (state().displayChange.active) {
    mode = state().displayChange.mode;
  } else if (!desktopMode(&mode)) {
    return 0;
  }
  return index == SM_CXSCREEN ? mode.width : mode.height;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNum, DEVMODEA* devMode) {
  if (!devMode) return FALSE;
  if (deviceName && std::strcmp(deviceName, "\\\\.\\DISPLAY1") != 0) return FALSE;
  if (!ensureVideo()) return FALSE;
  EmulatedMode mode{};
  if (modeNum == ENUM_CURRENT_SETTINGS && state().displayChange.active) {
    mode = state().displayChange.mode;
  } else if (modeNum == ENUM_CURRENT_SETTINGS || modeNum == ENUM_REGISTRY_SETTINGS) {
    if (!desktopMode(&mode)) return FALSE;
  } else {
    std::vector<SDL_DisplayMode> modes = displayModes();
    if (modeNum >= modes.size()) return FALSE;
    mode = modeOfDisplay(modes[modeNum]);
  }
  fillDevMode(mode, devMode);
  return TRUE;
}

LONG ChangeDisplaySettingsA(DEVMODEA* devMode, DWORD flags) {
  State& s = state();
  if (!devMode) {
    // Back to the desktop mode.
    for (auto& entry : s.windows) leaveFullscreen(*entry.second);
    s.displayChange.active = false;
    return DISP_CHANGE_SUCCESSFUL;
  }
  if (!ensureVideo()) return DISP_CHANGE_FAILED;
  EmulatedMode mode{};
  if (!requestedMode(*devMode, &mode)) return DISP_CHANGE_BADMODE;
  if (flags & CDS_TEST) return DISP_CHANGE_SUCCESSFUL;
  // Windows already shown under an emulated mode are scaled by the new one.
  s.displayChange.active = true;
  s.displayChange.mode = mode;
  return DISP_CHANGE_SUCCESSFUL;
}

VornPresentArea VornWin32_PresentArea(HWND handle, int drawableWidth, int drawableHeight) {
  Window* window = findWindow(handle);
  if (!window) return VornPresentArea{0, 0, drawableWidth, drawableHeight, false};
  return clientArea(*window, drawableWidth, drawableHeight);
}
