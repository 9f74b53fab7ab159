// Immediate-mode widgets of the configuration screen: a push button, an
// on/off toggle and an option cycler over a "|"-separated list. Each is a
// function called once per frame with its box and the value it edits; it
// draws itself, reads the mouse and reports what happened. The widgets of a
// screen share one WidgetContext, through which they agree on the press in
// progress. Coordinates are client pixels of the screen's window (its 2D
// space is 350 x 290 units, one unit per pixel); every box is 15 units high.
#pragma once

#include <cstdint>

#include "ui2d/primitives.h"

struct AppWindow;
struct BitmapFont;
struct WidgetContext;

// The pointer as the widgets see it: client coordinates and the left
// button's state (1 while held, 0 when up).
struct WidgetPointer {
  int x = 0;
  int y = 0;
  std::uint8_t leftButton = 0;
};

// Supplies the pointer instead of the window's cursor and button state.
using WidgetPointerSource = WidgetPointer (*)(const WidgetContext& context, void* user);

struct WidgetContext {
  AppWindow* window = nullptr;  // cursor conversion and the left button (key state 1)
  BitmapFont* font = nullptr;   // labels
  std::uint8_t hovered = 0;     // a widget had the pointer over it this frame
  std::uint8_t armed = 0;       // the button went down over a widget, not yet released
  std::uint8_t locked = 0;      // presses are ignored
  std::uint8_t enabled = 1;     // 0: widgets only draw their normal look
  ColorRGBA baseColor{130, 130, 130, 255};
  ColorRGBA highlightColor{150, 150, 150, 255};
  // Null reads the cursor (GetCursorPos, ScreenToClient) and the window's
  // key state; tests and tools drive the widgets through their own source.
  WidgetPointerSource pointerSource = nullptr;
  void* pointerUser = nullptr;

  WidgetContext() = default;
  WidgetContext(AppWindow* w, BitmapFont* f) : window(w), font(f) {}
};

constexpr int WIDGET_HEIGHT = 15;
constexpr int LIST_ENTRY_SIZE = 128;  // entries of at most 127 characters

WidgetPointer ReadWidgetPointer(const WidgetContext& context);

// x0 <= x <= x0 + w and y0 <= y <= y0 + 15, edges included.
bool PointerInside(const WidgetPointer& pointer, int x, int y, int w);

// Push button at (x, 268), 90 wide: 1 in the frame a click on it completes.
int PushButton(WidgetContext& context, const char* label, int x);

// "Fullscreen" toggle at (10, 208), 100 wide, on while bit 0 of the value is
// set: 2 when a click completes (the value has flipped), 1 while pressed.
int ToggleButton(WidgetContext& context, std::int32_t& value);

// Shows entry `index` of the list; a completed click steps to the next entry,
// wrapping to entry 0 after the last. 1 when the index changed.
int OptionCycler(WidgetContext& context, std::int32_t& index, const char* list, int x, int y, int w);

// Copies entry n of a "|A|B|" list into the 128-byte destination and returns
// true; false (destination untouched) when there is no entry n.
bool ListItem(const char* list, int n, char* destination);

// End of a frame, after every widget: a frame without a hovered widget
// cancels the press in progress and ignores presses until the button is
// seen up over a widget.
void EndWidgetFrame(WidgetContext& context);
