// Where a glyph of the pixel font sits in the 256 x 256 glyph sheet: code k
// in the 16-pixel cell of column (k - 32) mod 16, row (k - 32) div 16, its
// 8 x 8 bitmap at this offset inside the cell. The offset centres the ink
// under the centring rule of the text drawing (an advance of half a cell).
#pragma once

namespace content {

constexpr int kSheetSize = 256;
constexpr int kSheetCell = 16;
constexpr int kSheetGlyphX = 3;
constexpr int kSheetGlyphY = 4;

inline int sheetCellX(int code) { return ((code - 32) % 16) * kSheetCell; }
inline int sheetCellY(int code) { return ((code - 32) / 16) * kSheetCell; }

}  // namespace content
