// Our 8 x 8 pixel font for the character codes 32 to 127: the glyph sheet,
// the text meshes and the logo are all drawn from these bitmaps. Ink sits in
// columns 0..4 and rows 0..6 of the cell (row 7 holds descenders).
#pragma once

#include <cstdint>
#include <string_view>

namespace content {

constexpr int kGlyphCells = 8;
constexpr int kFirstGlyph = 32;
constexpr int kLastGlyph = 127;

// Row bits of one glyph: bit (7 - column) of rows[row] is the pixel at
// (column, row), row 0 at the top.
struct Glyph {
  std::uint8_t rows[kGlyphCells] = {};
  bool pixel(int column, int row) const {
    return column >= 0 && column < 8 && row >= 0 && row < 8 && ((rows[row] >> (7 - column)) & 1);
  }
  // Columns up to and including the rightmost lit one (0 for an empty glyph).
  int inkWidth() const;
};

// The glyph of a character code; codes outside 32..127 give the empty glyph.
const Glyph& glyph(int code);

// Pen advance of the text meshes, in font pixels: five ink columns and one
// blank column for every glyph, 4 for a space.
int advance(int code);
int textWidth(std::string_view text);

}  // namespace content
