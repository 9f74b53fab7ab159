#include "effects/noise_overlay.h"

#include "effects/random.h"
#include "ui2d/primitives.h"

void drawNoiseOverlay(const ColorRGBA& color) {
  // Two draws, in this order: the x offset, then the y offset, each in
  // [-10, 10].
  const int first = vornRand();
  const int second = vornRand();
  const float ox = static_cast<float>((first / 32767.0) * 20.0 - 10.0);
  const float oy = static_cast<float>((second / 32767.0) * 20.0 - 10.0);
  for (int x = -128; x < 896; x += 128) {
    for (int y = 0; y < 512; y += 128) {
      // Truncation toward zero: an offset of -9.7 moves a tile by 9 units.
      DrawTexturedRect(static_cast<int>(static_cast<float>(x) + ox), static_cast<int>(static_cast<float>(y) + oy),
                       128, 128, color);
    }
  }
}
