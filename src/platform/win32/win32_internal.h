// Shared state of the Win32 stand-in (windows, classes, the message queue).
// Only the win32 sources include this; everything runs on the thread that
// creates the windows, except PostMessageA, which may come from any thread.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/win32/win32.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

struct WindowClass {
  std::string name;
  WNDPROC procedure = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HCURSOR cursor = nullptr;
  ATOM atom = 0;
};

struct Window {
  HWND handle = nullptr;
  SDL_Window* sdl = nullptr;
  std::uint32_t sdlId = 0;
  std::string className;
  WNDPROC procedure = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  // Shown under an emulated full-screen mode: the SDL window covers the
  // display, and the client area (clientWidth x clientHeight) fills the
  // emulated screen, scaled onto the display.
  bool fullscreen = false;
  bool destroying = false;
  // Last size and state reported through WM_SIZE, so that duplicate SDL
  // size events do not repeat the message.
  int reportedWidth = 0;
  int reportedHeight = 0;
  WPARAM reportedSizeKind = SIZE_RESTORED;
  // Mouse buttons held over this window (MK_* bits for wParam).
  WPARAM buttons = 0;
};

struct EmulatedMode {
  int width = 0;
  int height = 0;
  DWORD bitsPerPel = 32;
  int refreshRate = 60;
};

// The mode set by ChangeDisplaySettingsA(CDS_FULLSCREEN), emulated on the
// unchanged physical display; windows created while it is in force cover
// the display and are scaled from it.
struct DisplayChange {
  bool active = false;
  EmulatedMode mode{};
};

struct State {
  std::map<std::string, WindowClass> classes;
  std::map<std::uintptr_t, std::unique_ptr<Window>> windows;  // by handle value
  std::uintptr_t nextHandle = 0x10010;
  ATOM nextAtom = 0xC001;
  // Windows destroyed by DefWindowProcA(WM_CLOSE): their SDL windows are
  // hidden but kept, because a Direct3D device may still draw on them until
  // the program releases it; they are freed by VornWin32_Reset.
  std::deque<SDL_Window*> parkedWindows;
  HWND lastCreated = nullptr;
  DisplayChange displayChange;
  int cursorCounter = 0;
  // Last mouse position seen in an event, in client pixels of mouseWindow.
  HWND mouseWindow = nullptr;
  int mouseX = 0;
  int mouseY = 0;
  bool haveMouse = false;
};

State& state();

// SDL_Init(SDL_INIT_VIDEO) on first need; false if SDL has no video.
bool ensureVideo();
bool videoReady();

Window* findWindow(HWND handle);
Window* findWindowBySdlId(std::uint32_t id);
// The window that synthetic events and events without a window go to: the
// focused one, or else the most recently created one (null if none).
Window* defaultTargetWindow();

// Frame insets that AdjustWindowRectEx adds around a client rectangle.
struct FrameInsets {
  LONG left, top, right, bottom;
};
FrameInsets frameInsets(DWORD style, BOOL menu, DWORD exStyle);

// Queue operations (win32_messages.cpp).
void postToQueue(const MSG& msg, bool front = false);
void purgeWindowMessages(HWND window);
void resetQueue();
// Runs the window's procedure directly (a sent message).
LRESULT sendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Turns one SDL event into Win32 messages (queued or sent).
void translateSdlEvent(const SDL_Event& event);

// Synthetic input script (win32_input_script.cpp).
void loadEnvironmentScriptOnce();
// Injects the script events that are due; returns the milliseconds until the
// next time-keyed event (-1 when none is waiting on time).
int pumpInputScript();
void resetInputScript();

// Quit signals (win32_signals.cpp): installs the handlers once; takes the
// signal received since the last call (0 when none).
void installQuitSignals();
int takeQuitSignal();

// Cursor visibility follows the ShowCursor counter (win32_misc.cpp).
void applyCursorVisibility();

// Icons (win32_icon.cpp).
SDL_Surface* iconSurface(HICON icon);
void resetIcons();

// Makes a window an ordinary one again (it no longer covers the display).
void leaveFullscreen(Window& window);

// Display-mode emulation (win32_display.cpp).
// Where an emulated screen lands on a display of another size: scaled with
// the aspect ratio kept and centred (bars when some of the display is left).
VornPresentArea scaleToDisplay(int screenWidth, int screenHeight, int displayWidth, int displayHeight);
// The part of a window's surface (drawable pixels or window points) that
// shows its client area: all of it, unless the window is full screen under
// an emulated mode.
VornPresentArea clientArea(const Window& window, int surfaceWidth, int surfaceHeight);
// SDL window coordinates to client coordinates and back (they differ only
// for windows scaled from an emulated mode).
void windowToClient(const Window& window, int* x, int* y);
void clientToWindow(const Window& window, int* x, int* y);
// The screen position of a window's client origin (the emulated screen's
// origin for a window under an emulated mode).
void clientOrigin(const Window& window, int* x, int* y);

}  // namespace vorn::win32
