// Vorn's extensions of the Win32 stand-in, for tests, tools and the rest of
// the platform layer. Engine code never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32.h"

struct SDL_Window;

// The SDL window behind a window handle (null when the handle is unknown).
SDL_Window* VornWin32_SdlWindow(HWND window);

// The client size of a window in pixels (for a window scaled from an
// emulated full-screen mode, its size in that mode).
void VornWin32_ClientSize(HWND window, int* width, int* height);

// Where Present puts a window's picture on its drawable (pixels, origin at
// the top left): the whole drawable for an ordinary window, which stretches
// the back buffer over the client area; for a window under an emulated
// full-screen mode, its client area scaled to the display with the aspect
// ratio kept, as a display scaler does, with `bars` set when the rest of the
// drawable must be painted black.
struct VornPresentArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool bars = false;
};
VornPresentArea VornWin32_PresentArea(HWND window, int drawableWidth, int drawableHeight);

// Called by the Direct3D stand-in after every Present: counts frames for the
// synthetic input script (events keyed by frame number fire on this count).
void VornWin32_FramePresented();
std::uint64_t VornWin32_PresentedFrames();

// Replaces the performance counter for tests (null restores the real one).
void VornWin32_SetPerformanceCounterSource(std::function<std::int64_t()> counter,
                                           std::int64_t frequency);

// Every MessageBoxA call is also reported here (text, caption), for tests.
void VornWin32_SetMessageBoxObserver(std::function<void(const std::string&, const std::string&)> observer);

// Loads a synthetic input script from a file (the same format as the file
// named by the VORN_INPUT_SCRIPT environment variable); false on a bad file.
bool VornWin32_LoadInputScript(const std::string& path, std::string* error);

// Puts Win32 back to its starting state (queue, cursor counter, classes,
// display mode) so that tests can run several programs in one process.
void VornWin32_Reset();

// Whether the mouse cursor is shown now (the ShowCursor counter is >= 0).
bool VornWin32_CursorVisible();

// Destroys and re-creates the SDL window behind a handle with the same title,
// position, size, icon and fullscreen state, so that OpenGL framebuffer
// attributes set since its creation (SDL_GL_SetAttribute: multisampling,
// depth, stencil) take effect. Returns the new SDL window (null on failure;
// the handle then has no SDL window until the next successful call).
SDL_Window* VornWin32_RecreateSdlWindow(HWND window);

// The RGBA pixels (rows top first) of one image of an icon made by LoadImageA;
// false if the icon has no image of that size.
bool VornWin32_IconPixels(HICON icon, int size, std::vector<std::uint8_t>* rgba);

// Clears the synthetic input script, if any.
void VornWin32_ClearInputScript();
