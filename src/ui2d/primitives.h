// The immediate-mode 2D emitter and the fixed 2D shapes drawn with it.
//
// The emitter keeps a current colour and texture coordinate; every emitted
// vertex takes them, and as soon as the batch holds enough vertices for the
// current primitive it is drawn with one DrawPrimitiveUP call. Coordinates
// are untransformed positions that go through the current view and
// projection, so 2D users first call beginOrtho2D with their virtual screen
// size (origin top-left, y down).
#pragma once

#include <cstdint>

#include "platform/d3d9/d3d9.h"

// A 2D colour: bytes red, green, blue, alpha in memory order, so the 32-bit
// word is a << 24 | b << 16 | g << 8 | r (red in the low byte).
struct ColorRGBA {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 0;

  constexpr std::uint32_t word() const {
    return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b) << 16 | static_cast<std::uint32_t>(a) << 24;
  }
  static constexpr ColorRGBA fromWord(std::uint32_t w) {
    return ColorRGBA{static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8),
                     static_cast<std::uint8_t>(w >> 16), static_cast<std::uint8_t>(w >> 24)};
  }
  // The Direct3D diffuse form: alpha in the top byte, then red, green, blue.
  constexpr D3DCOLOR toD3D() const {
    return static_cast<D3DCOLOR>(a) << 24 | static_cast<D3DCOLOR>(r) << 16 | static_cast<D3DCOLOR>(g) << 8 |
           static_cast<D3DCOLOR>(b);
  }
  friend constexpr bool operator==(const ColorRGBA&, const ColorRGBA&) = default;
};
static_assert(sizeof(ColorRGBA) == 4);

// The vertex handed to Direct3D: FVF position, normal, diffuse, one 2D
// texture coordinate (0x152), 36 bytes.
struct ImmediateVertex {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  float nx = 0.0f, ny = 0.0f, nz = 0.0f;
  D3DCOLOR diffuse = 0;
  float u = 0.0f, v = 0.0f;
};
static_assert(sizeof(ImmediateVertex) == 36);

constexpr DWORD IMMEDIATE_VERTEX_FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

enum PrimitiveMode : std::int32_t {
  PRIM_LINE = 0,      // 2 vertices, one line
  PRIM_TRIANGLE = 1,  // 3 vertices, one triangle (fan)
  PRIM_QUAD = 2,      // 4 vertices, two triangles (fan)
  PRIM_POINT = 3,     // 1 vertex, one point
};

// The one emitter of the program (render thread only).
struct ImmediateEmitter {
  float position[3] = {0.0f, 0.0f, 0.0f};
  float normal[3] = {0.0f, 0.0f, 0.0f};
  D3DCOLOR color = 0xffffffffu;  // Direct3D form
  float u = 0.0f, v = 0.0f;
  ImmediateVertex batch[4];
  PrimitiveMode mode = PRIM_LINE;
  std::int32_t count = 0;
};

ImmediateEmitter& immediateEmitter();
// Puts the emitter back to its starting state (tests run several screens in
// one process).
void ResetEmitter();

// Number of vertices that completes a primitive of the mode (0 for a value
// outside the four modes, which never draws).
int VerticesPerPrimitive(PrimitiveMode mode);

void BeginPrimitive(PrimitiveMode mode);
void SetVertexColor(ColorRGBA color);
void SetVertexTexCoord(float u, float v);
void EmitVertex(float x, float y, float z);
void FlushPrimitive();
// Zero-fills the four batch slots and empties the batch.
void ClearPrimitiveBatch();

// Sees every primitive the emitter draws (type, primitive count, vertices),
// after it has been handed to the device; for tests and tools. Null removes.
using PrimitiveObserver = void (*)(D3DPRIMITIVETYPE type, UINT primitiveCount, const ImmediateVertex* vertices,
                                   int vertexCount, void* context);
void SetPrimitiveObserver(PrimitiveObserver observer, void* context);

// Render-state presets.
constexpr int PRESET_2D = 1;
constexpr int PRESET_POINT_SPRITES = 3;
void EnableRenderPreset(int preset);

// Shapes, in integer 2D units, z = 0.
void DrawScreenRect(int w, int h, ColorRGBA color);
void DrawArrowRight(int x, int y, ColorRGBA color);
void DrawArrowLeft(int x, int y, ColorRGBA color);
void DrawGradientRect(int x, int y, int w, int h, ColorRGBA top, ColorRGBA bottom);
// Leaves the blend factors as the caller set them (alpha or additive).
void DrawTexturedRect(int x, int y, int w, int h, ColorRGBA color);
void DrawLine(int x1, int y1, int x2, int y2, ColorRGBA color);

// Each channel times the factor, truncated toward zero; products above 255
// saturate at 255 (a brightened opaque colour stays opaque).
ColorRGBA ScaleColor(ColorRGBA color, float factor);
