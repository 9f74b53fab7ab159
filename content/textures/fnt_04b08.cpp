// The glyph sheet of the bitmap font: white glyphs on transparent black.
#include <cstdio>

#include "common/image.h"
#include "font/pixel_font.h"
#include "glyph_sheet.h"

int main(int argc, char** argv) {
  using namespace content;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  Image sheet(kSheetSize, kSheetSize, {1, 1, 1, 0});
  for (int code = kFirstGlyph; code <= kLastGlyph; ++code) {
    const Glyph& g = glyph(code);
    for (int row = 0; row < 8; ++row)
      for (int column = 0; column < 8; ++column)
        if (g.pixel(column, row))
          sheet.at(sheetCellX(code) + kSheetGlyphX + column, sheetCellY(code) + kSheetGlyphY + row) = {1, 1, 1, 1};
  }
  return sheet.writePng(argv[1]) ? 0 : 1;
}
