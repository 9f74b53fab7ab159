#include "ui2d/widgets.h"

#include <cstring>

#include "graphics/framework.h"
#include "ui2d/bitmap_font.h"

namespace {

constexpr int BUTTON_Y = 268;
constexpr int BUTTON_WIDTH = 90;
constexpr int TOGGLE_X = 10;
constexpr int TOGGLE_Y = 208;
constexpr int TOGGLE_WIDTH = 100;

struct Palette {
  ColorRGBA base, highlight, transparent, dark, edge, shade, light;
};

Palette paletteOf(const WidgetContext& context) {
  Palette p;
  p.base = context.baseColor;
  p.highlight = context.highlightColor;
  p.transparent = ColorRGBA{p.highlight.r, p.highlight.g, p.highlight.b, 0};
  p.dark = ScaleColor(p.base, 0.89f);
  p.edge = ScaleColor(p.base, 0.61f);
  p.shade = ScaleColor(p.base, 0.41f);
  p.light = ScaleColor(p.base, 1.2f);
  return p;
}

// The bevelled frame drawn last around every widget box.
void drawFrame(const Palette& p, int x, int y, int w) {
  DrawLine(x, y, x + w + 1, y, p.base);
  DrawLine(x, y, x, y + 15, p.base);
  DrawLine(x, y + 15, x + w, y + 15, p.edge);
  DrawLine(x + w, y, x + w, y + 15, p.edge);
  DrawLine(x - 1, y - 1, x + w + 2, y - 1, p.shade);
  DrawLine(x - 1, y - 1, x - 1, y + 16, p.shade);
  DrawLine(x - 1, y + 16, x + w + 1, y + 16, p.light);
  DrawLine(x + w + 1, y - 1, x + w + 1, y + 16, p.light);
}

void drawLabel(const WidgetContext& context, float x, float y, ColorRGBA color, const char* text) {
  if (context.font) context.font->DrawText(x, y, color, "%s", text);
}

// What every widget does with the pointer, around its drawing.
struct Interaction {
  WidgetPointer pointer;
  bool inside = false;
};

Interaction beginWidget(WidgetContext& context, int x, int y, int w) {
  Interaction it;
  it.pointer = ReadWidgetPointer(context);
  if (context.font) context.font->flags = TEXT_CENTER | TEXT_OFFSET_Y;
  it.inside = PointerInside(it.pointer, x, y, w);
  return it;
}

bool hovering(WidgetContext& context, const Interaction& it) {
  if (context.enabled && it.inside) {
    context.hovered = 1;
    return true;
  }
  return false;
}

bool pressing(WidgetContext& context, const Interaction& it) {
  if (context.enabled && it.pointer.leftButton == 1 && !context.locked && it.inside) {
    context.armed = 1;
    return true;
  }
  return false;
}

// True when a click completes on this widget.
bool releasing(WidgetContext& context, const Interaction& it) {
  if (!context.enabled || it.pointer.leftButton != 0) return false;
  bool clicked = false;
  if (it.inside && context.armed) {
    context.armed = 0;
    context.hovered = 0;
    clicked = true;
  }
  context.locked = 0;
  return clicked;
}

}  // namespace

WidgetPointer ReadWidgetPointer(const WidgetContext& context) {
  if (context.pointerSource) return context.pointerSource(context, context.pointerUser);
  WidgetPointer pointer;
  POINT cursor{0, 0};
  GetCursorPos(&cursor);
  if (context.window) {
    ScreenToClient(context.window->handle, &cursor);
    pointer.leftButton = context.window->keyStates[VK_LBUTTON];
  }
  pointer.x = cursor.x;
  pointer.y = cursor.y;
  return pointer;
}

bool PointerInside(const WidgetPointer& pointer, int x, int y, int w) {
  return pointer.x >= x && pointer.x <= x + w && pointer.y >= y && pointer.y <= y + WIDGET_HEIGHT;
}

int PushButton(WidgetContext& context, const char* label, int x) {
  const int y = BUTTON_Y, w = BUTTON_WIDTH;
  const Palette p = paletteOf(context);
  const Interaction it = beginWidget(context, x, y, w);

  if (hovering(context, it)) {
    DrawGradientRect(x, y, w, 14, p.base, p.dark);
    DrawGradientRect(x, y, w, 6, p.highlight, p.transparent);
  } else {
    DrawGradientRect(x, y, w, 15, p.base, p.dark);
  }
  drawLabel(context, static_cast<float>(x + 45), 275.0f, ColorRGBA{1, 1, 1, 255}, label);

  if (pressing(context, it)) {
    DrawGradientRect(x, y, w, 15, p.dark, p.base);
    DrawGradientRect(x, 275, w, 7, p.transparent, p.highlight);
    drawLabel(context, static_cast<float>(x + 45), 276.0f, ColorRGBA{255, 255, 255, 255}, label);
  }
  const int result = releasing(context, it) ? 1 : 0;
  drawFrame(p, x, y, w);
  return result;
}

int ToggleButton(WidgetContext& context, std::int32_t& value) {
  const int x = TOGGLE_X, y = TOGGLE_Y, w = TOGGLE_WIDTH;
  const Palette p = paletteOf(context);
  const Interaction it = beginWidget(context, x, y, w);
  int result = 0;

  const bool on = (value & 1) != 0;
  if (on)
    DrawGradientRect(x, y, w, 15, p.dark, p.base);
  else
    DrawGradientRect(x, y, w, 15, p.base, p.dark);

  if (hovering(context, it)) {
    if (on) {
      DrawGradientRect(x, 215, w, 6, p.transparent, p.highlight);
    } else {
      DrawGradientRect(x, y, w, 14, p.base, p.dark);
      DrawGradientRect(x, y, w, 6, p.highlight, p.transparent);
    }
  }
  if (pressing(context, it)) {
    DrawGradientRect(x, y, w, 15, p.dark, p.base);
    DrawGradientRect(x, 215, w, 7, p.transparent, p.highlight);
    result = 1;
  }
  if (releasing(context, it)) {
    value = (value & 1) ? value - 1 : value + 1;
    result = 2;
  }
  if (value & 1)
    drawLabel(context, 61.0f, 216.0f, ColorRGBA{255, 255, 255, 190}, "Fullscreen");
  else
    drawLabel(context, 60.0f, 215.0f, ColorRGBA{1, 1, 1, 255}, "Fullscreen");
  drawFrame(p, x, y, w);
  return result;
}

int OptionCycler(WidgetContext& context, std::int32_t& index, const char* list, int x, int y, int w) {
  const Palette p = paletteOf(context);
  const Interaction it = beginWidget(context, x, y, w);

  char entry[LIST_ENTRY_SIZE] = {};
  ListItem(list, index, entry);
  const float textX = static_cast<float>(x + w / 2);

  if (hovering(context, it)) {
    DrawGradientRect(x, y, w, 14, p.base, p.dark);
    DrawGradientRect(x, y, w, 6, p.highlight, p.transparent);
    DrawArrowLeft(x + 2, y + 1, ColorRGBA{80, 80, 80, 100});
    DrawArrowRight(x + w - 12, y + 1, ColorRGBA{80, 80, 80, 100});
    drawLabel(context, textX, static_cast<float>(y + 7), ColorRGBA{1, 1, 1, 255}, entry);
  } else {
    DrawGradientRect(x, y, w, 15, p.base, p.dark);
    drawLabel(context, textX, static_cast<float>(y + 7), ColorRGBA{1, 1, 1, 255}, entry);
    DrawArrowLeft(x + 2, y + 1, ColorRGBA{50, 50, 50, 100});
    DrawArrowRight(x + w - 12, y + 1, ColorRGBA{50, 50, 50, 100});
  }
  if (pressing(context, it)) {
    DrawGradientRect(x, y, w, 15, p.dark, p.base);
    DrawGradientRect(x, y + 7, w, 7, p.transparent, p.highlight);
    DrawArrowLeft(x + 2, y + 2, ColorRGBA{50, 50, 50, 155});
    DrawArrowRight(x + w - 12, y + 2, ColorRGBA{50, 50, 50, 155});
    drawLabel(context, textX, static_cast<float>(y + 8), ColorRGBA{255, 255, 255, 255}, entry);
  }
  int result = 0;
  if (releasing(context, it)) {
    char next[LIST_ENTRY_SIZE];
    index = ListItem(list, index + 1, next) ? index + 1 : 0;
    result = 1;
  }
  drawFrame(p, x, y, w);
  return result;
}

bool ListItem(const char* list, int n, char* destination) {
  if (!list || !list[0] || n < 0) return false;
  const char* previous = list;  // the leading "|"
  int count = 0;
  for (const char* p = list + 1; *p; ++p) {
    if (*p != '|') continue;
    if (count == n) {
      std::size_t length = static_cast<std::size_t>(p - previous - 1);
      if (length > LIST_ENTRY_SIZE - 1) length = LIST_ENTRY_SIZE - 1;
      std::memset(destination, 0, LIST_ENTRY_SIZE);
      std::memcpy(destination, previous + 1, length);
      return true;
    }
    ++count;
    previous = p;
  }
  return false;
}

void EndWidgetFrame(WidgetContext& context) {
  if (!context.hovered) {
    context.armed = 0;
    context.locked = 1;
  }
  context.hovered = 0;
}
