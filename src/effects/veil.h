// The near-black transition veil: opaque at the middle of its window,
// fading in over the first half and out over the second.
#pragma once

#include <cstdint>

enum class VeilShape {
  None,          // nothing drawn
  ScreenRect,    // first half: DrawScreenRect over the 640 x 480 screen
  TexturedRect,  // second half: DrawTexturedRect with no texture bound
};

struct VeilFrame {
  VeilShape shape = VeilShape::None;
  std::uint8_t alpha = 0;
};

// What the veil of the window [startMs, endMs] draws at nowMs.
VeilFrame veilAt(std::int32_t startMs, std::int32_t endMs, std::int32_t nowMs);

// Draws the veil for that moment over the 640 x 480 virtual screen.
void drawVeil(std::int32_t startMs, std::int32_t endMs, std::int32_t nowMs);
