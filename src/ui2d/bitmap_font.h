// Texture-font text: a glyph sheet of 16 x 16 square cells, one textured
// quad per character, drawn through the 2D emitter with printf formatting,
// colour tags ("<#rrggbb>") and a stop tag ("<S...>").
#pragma once

#include <cstdint>

#include "ui2d/primitives.h"

struct Texture;

// Placement flags of a font.
constexpr std::int32_t TEXT_CENTER = 0x01;    // centre each line on the anchor
constexpr std::int32_t TEXT_RIGHT = 0x02;     // end each line at the anchor
constexpr std::int32_t TEXT_OFFSET_X = 0x04;  // move left by a quarter glyph
constexpr std::int32_t TEXT_OFFSET_Y = 0x10;  // move up by half a glyph (once)

// Working limits of one DrawText call.
constexpr int TEXT_BUFFER_SIZE = 1024;  // formatted text of at most 1023 characters
constexpr int TAG_BUFFER_SIZE = 128;    // tag text of at most 127 characters

// One glyph quad of a laid-out text.
struct GlyphQuad {
  float x = 0.0f, y = 0.0f;  // top-left corner, 2D units
  float s = 0.0f, t = 0.0f;  // top-left corner of the cell in the sheet
  ColorRGBA color;
  std::uint8_t code = 0;     // the character
  std::int32_t index = 0;    // its position in the text
};

using GlyphSink = void (*)(const GlyphQuad& glyph, void* context);

struct BitmapFont {
  float spaceAdvance = 8.0f;
  float lineHeight = 8.0f;
  float glyphSize = 16.0f;
  float advanceDivisor = 1.5f;
  std::int32_t flags = TEXT_OFFSET_X | TEXT_OFFSET_Y;
  Texture* texture = nullptr;  // the glyph sheet, not owned

  BitmapFont() = default;
  explicit BitmapFont(Texture* sheet) : texture(sheet) {}

  // Width of the text up to its first newline or its end: spaceAdvance per
  // space, glyphSize / advanceDivisor per other character (tag characters
  // included).
  float MeasureLine(const char* text) const;

  // Places the glyphs of an already formatted text from the anchor (x0, y0)
  // and hands each to the sink in drawing order; draws nothing itself.
  // Returns false when a stop tag ended the text.
  bool LayoutText(float x0, float y0, ColorRGBA color, const char* text, GlyphSink sink, void* context) const;

  // Formats the text (printf) and draws it. A null format draws nothing and
  // touches no state.
  void DrawText(float x, float y, ColorRGBA color, const char* format, ...) const
      __attribute__((format(printf, 5, 6)));
};

// Binds a texture on a texture stage with its sampler settings; a texture
// without a resource clears the stage.
void BindTextureStage(const Texture* texture, std::uint32_t stage);
