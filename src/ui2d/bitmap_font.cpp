#include "ui2d/bitmap_font.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "graphics/graphics_device.h"
#include "scene/texture.h"

namespace {

constexpr float CELL = 1.0f / 16.0f;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A two-character hexadecimal number that stops at the first character that
// is not a hex digit (so "f" followed by anything else reads 15, "zz" 0).
std::uint8_t hexPair(const char* p) {
  int value = 0;
  for (int j = 0; j < 2; ++j) {
    const int d = hexDigit(p[j]);
    if (d < 0) break;
    value = value * 16 + d;
  }
  return static_cast<std::uint8_t>(value);
}

// Codes 33..127 have a cell in the six used rows of the sheet; the space is
// never drawn, and other bytes have no glyph.
bool hasGlyph(unsigned char code) { return code > 32 && code <= 127; }

struct DrawContext {
  float glyphSize;
};

void drawGlyph(const GlyphQuad& glyph, void* context) {
  const float size = static_cast<const DrawContext*>(context)->glyphSize;
  BeginPrimitive(PRIM_QUAD);
  SetVertexColor(glyph.color);
  SetVertexTexCoord(glyph.s, glyph.t);
  EmitVertex(glyph.x, glyph.y, 0.0f);
  SetVertexTexCoord(glyph.s + CELL, glyph.t);
  EmitVertex(glyph.x + size, glyph.y, 0.0f);
  SetVertexTexCoord(glyph.s + CELL, glyph.t + CELL);
  EmitVertex(glyph.x + size, glyph.y + size, 0.0f);
  SetVertexTexCoord(glyph.s, glyph.t + CELL);
  EmitVertex(glyph.x, glyph.y + size, 0.0f);
  ClearPrimitiveBatch();
}

IDirect3DDevice9* activeDevice() { return g_graphicsDevice ? g_graphicsDevice->device : nullptr; }

}  // namespace

float BitmapFont::MeasureLine(const char* text) const {
  float width = 0.0f;
  if (!text) return width;
  const float advance = glyphSize / advanceDivisor;
  for (const char* p = text; *p && *p != '\n'; ++p) width += (*p == ' ') ? spaceAdvance : advance;
  return width;
}

bool BitmapFont::LayoutText(float x0, float y0, ColorRGBA color, const char* text, GlyphSink sink,
                            void* context) const {
  if (!text) return true;
  const float advance = glyphSize / advanceDivisor;

  float x = x0;
  if (flags & TEXT_OFFSET_X) x -= glyphSize * 0.25f;
  if (flags & TEXT_CENTER) x -= MeasureLine(text) * 0.5f + glyphSize * 0.125f;
  if (flags & TEXT_RIGHT) x -= MeasureLine(text) - glyphSize * 0.125f;
  float y = y0;
  if (flags & TEXT_OFFSET_Y) y = y0 - glyphSize * 0.5f;

  ColorRGBA current = color;
  const std::size_t length = std::strlen(text);
  std::size_t i = 0;
  while (i < length) {
    // Tags: colour tags set r, g, b; a stop tag ends the text. Consecutive
    // tags are all read; the character after the last one is handled below.
    while (i < length && text[i] == '<') {
      const char* close = std::strchr(text + i + 1, '>');
      if (!close) return true;  // an unclosed tag swallows the rest of the text
      char tag[TAG_BUFFER_SIZE] = {};
      const std::size_t tagLength = static_cast<std::size_t>(close - (text + i + 1));
      std::memcpy(tag, text + i + 1, tagLength < sizeof tag - 1 ? tagLength : sizeof tag - 1);
      if (tag[0] == '#') {
        current.r = hexPair(tag + 1);
        current.g = hexPair(tag + 3);
        current.b = hexPair(tag + 5);
      } else if (tag[0] == 'S') {
        return false;
      }
      i = static_cast<std::size_t>(close - text) + 1;
    }
    if (i >= length) break;  // a tag was the last thing in the text

    const char c = text[i];
    if (i > 0) {
      if (c == ' ')
        x += spaceAdvance;
      else if (text[i - 1] != '\n')
        x += advance;
    }
    if (c == '\n') {
      y += lineHeight;
      const char* rest = text + i + 1;
      if (flags & TEXT_OFFSET_X)
        x = x0 - glyphSize * 0.25f;
      else if (flags & TEXT_CENTER)
        x = x0 - (MeasureLine(rest) * 0.5f + glyphSize * 0.125f);
      else if (flags & TEXT_RIGHT)
        x = x0 - (MeasureLine(rest) - glyphSize * 0.125f);
      else
        x = x0;
    }
    const unsigned char code = static_cast<unsigned char>(c);
    if (hasGlyph(code) && sink) {
      GlyphQuad glyph;
      glyph.x = x;
      glyph.y = y;
      glyph.s = static_cast<float>((code - 32) % 16) * CELL;
      glyph.t = static_cast<float>((code - 32) / 16) * CELL;
      glyph.color = current;
      glyph.code = code;
      glyph.index = static_cast<std::int32_t>(i);
      sink(glyph, context);
    }
    i += 1;
  }
  return true;
}

void BitmapFont::DrawText(float x, float y, ColorRGBA color, const char* format, ...) const {
  if (!format) return;
  char text[TEXT_BUFFER_SIZE];
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (written < 0) text[0] = '\0';

  IDirect3DDevice9* device = activeDevice();
  EnableRenderPreset(PRESET_2D);
  if (device) {
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  }
  if (texture) BindTextureStage(texture, 0);

  DrawContext context{glyphSize};
  if (!LayoutText(x, y, color, text, drawGlyph, &context)) return;  // stop tag: states stay as set

  if (device) {
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  }
}

void BindTextureStage(const Texture* texture, std::uint32_t stage) {
  GraphicsDevice* graphics = g_graphicsDevice;
  if (!graphics || !graphics->texturingEnabled) return;
  if (!texture || !texture->resource) {
    if (graphics->device) graphics->device->SetTexture(stage, nullptr);
    return;
  }
  graphics->bindTextureResource(stage, texture->resource);
  if (graphics->device) graphics->device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_MODULATE);
}
