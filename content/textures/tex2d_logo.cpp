// The word VORN in the pixel font with an orange glow, for the 256 x 256 quad
// the configuration screen draws at (90, 80) in its 350 x 200 picture: only
// the top 120 rows show, so the word is centred on the visible part of the
// screen (texture column 85, row 56).
#include <cmath>

#include "font/pixel_font.h"
#include "texture_main.h"

content::Image buildTexture() {
  using namespace content;
  constexpr int kSize = 256;
  constexpr int kScale = 5;
  const char* word = "VORN";
  const int w = textWidth(word) * kScale, h = 7 * kScale;
  const int x0 = 85 - w / 2, y0 = 50 - h / 2;
  // Glow: the letters blurred, in orange.
  Image glow(kSize, kSize, {1.0f, 0.45f, 0.08f, 0});
  glow.drawText(word, x0, y0, kScale, {1.0f, 0.45f, 0.08f, 1});
  glow.fillRect(x0 - 6, y0 + h + 8, x0 + w + 6, y0 + h + 10, {1.0f, 0.45f, 0.08f, 1});
  glow.premultiply();
  glow.blur(6.0f);
  glow.unpremultiply();
  Image image(kSize, kSize, {1, 0.5f, 0.1f, 0});
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      Rgba g = glow.at(x, y);
      g.a = clamp01(g.a * 1.6f) * 0.85f;
      image.at(x, y) = g;
    }
  // The letters: each font pixel a block with a hot core and darker rim.
  const Rgba rim{1.0f, 0.62f, 0.2f, 1}, core{1.0f, 0.94f, 0.78f, 1};
  int pen = 0;
  for (const char* c = word; *c; ++c) {
    const Glyph& g = glyph(*c);
    for (int row = 0; row < 8; ++row)
      for (int column = 0; column < 8; ++column) {
        if (!g.pixel(column, row)) continue;
        const int bx = x0 + (pen + column) * kScale, by = y0 + row * kScale;
        image.fillRect(bx, by, bx + kScale, by + kScale, rim);
        image.fillRect(bx + 1, by + 1, bx + kScale - 1, by + kScale - 1, core);
      }
    pen += advance(*c);
  }
  // A thin underline with the small caption beneath it.
  image.fillRect(x0 - 6, y0 + h + 8, x0 + w + 6, y0 + h + 10, {1.0f, 0.7f, 0.3f, 0.9f});
  const char* caption = "night rail";
  const int cw = textWidth(caption);
  image.drawText(caption, 85 - cw / 2, y0 + h + 14, 1, {1.0f, 0.8f, 0.55f, 0.95f});
  return image;
}
