// The framework bundles one window, one graphics device and one frame timer.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/win32.h"

struct GraphicsDevice;
struct FPSTimer_HighResolution;

constexpr std::uint32_t WINDOW_WINDOWED = 0x1;
constexpr std::uint32_t WINDOW_FULLSCREEN = 0x2;
constexpr std::uint32_t WINDOW_INACTIVE = 0x4;

constexpr std::uint8_t KEY_UP = 0;
constexpr std::uint8_t KEY_HELD = 1;
constexpr std::uint8_t KEY_PRESSED = 2;

struct AppWindow {
  std::uint32_t style = 0;
  WNDCLASSEXA windowClass{};
  HINSTANCE instance = nullptr;
  HWND handle = nullptr;
  MSG message{};
  std::int32_t clientWidth = 0;
  std::int32_t clientHeight = 0;
  std::string title;
  std::uint32_t stateFlags = 0;
  std::uint8_t keyStates[256] = {};

  bool create(const char* title, int width, int height, bool fullscreen);
  void setTitle(const char* title);
  // Destroys the window and frees this object.
  void destroy();
};

// The window whose state the window procedure updates.
extern AppWindow* currentWindow;

LRESULT windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct Framework {
  GraphicsDevice* graphicsDevice = nullptr;
  FPSTimer_HighResolution* timer = nullptr;
  AppWindow* window = nullptr;
  void* input = nullptr;

  Framework();
  bool start(bool fullscreen, int width, int height, int multisample);
  void teardown();
};

// The demo's framework, published by the main driver.
extern Framework* g_framework;
