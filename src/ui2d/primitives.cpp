#include "ui2d/primitives.h"

#include <cmath>
#include <cstring>

#include "graphics/graphics_device.h"

namespace {

ImmediateEmitter g_emitter;
PrimitiveObserver g_observer = nullptr;
void* g_observerContext = nullptr;

IDirect3DDevice9* activeDevice() { return g_graphicsDevice ? g_graphicsDevice->device : nullptr; }

void setState(D3DRENDERSTATETYPE state, DWORD value) {
  if (IDirect3DDevice9* device = activeDevice()) device->SetRenderState(state, value);
}

void setStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (IDirect3DDevice9* device = activeDevice()) device->SetTextureStageState(stage, type, value);
}

DWORD floatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct PrimitiveKind {
  D3DPRIMITIVETYPE type;
  UINT primitiveCount;
};

PrimitiveKind kindOf(PrimitiveMode mode) {
  switch (mode) {
    case PRIM_TRIANGLE: return {D3DPT_TRIANGLEFAN, 1};
    case PRIM_QUAD: return {D3DPT_TRIANGLEFAN, 2};
    case PRIM_POINT: return {D3DPT_POINTLIST, 1};
    case PRIM_LINE:
    default: return {D3DPT_LINELIST, 1};
  }
}

// The common start of every shape: the 2D preset and, unless the caller's
// blend factors are kept, plain alpha blending.
void beginShape(bool alphaBlendFactors, ColorRGBA color, PrimitiveMode mode) {
  EnableRenderPreset(PRESET_2D);
  if (alphaBlendFactors) {
    setState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    setState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  }
  SetVertexColor(color);
  BeginPrimitive(mode);
}

void endShape() {
  ClearPrimitiveBatch();
  setState(D3DRS_ALPHABLENDENABLE, FALSE);
}

}  // namespace

ImmediateEmitter& immediateEmitter() { return g_emitter; }

void ResetEmitter() { g_emitter = ImmediateEmitter{}; }

int VerticesPerPrimitive(PrimitiveMode mode) {
  switch (mode) {
    case PRIM_LINE: return 2;
    case PRIM_TRIANGLE: return 3;
    case PRIM_QUAD: return 4;
    case PRIM_POINT: return 1;
  }
  return 0;
}

void BeginPrimitive(PrimitiveMode mode) {
  g_emitter.mode = mode;
  g_emitter.count = 0;
}

void SetVertexColor(ColorRGBA color) { g_emitter.color = color.toD3D(); }

void SetVertexTexCoord(float u, float v) {
  g_emitter.u = u;
  g_emitter.v = v;
}

void EmitVertex(float x, float y, float z) {
  ImmediateEmitter& e = g_emitter;
  e.position[0] = x;
  e.position[1] = y;
  e.position[2] = z;
  // A batch is drawn as soon as it completes its primitive, so it only
  // fills up without drawing when the mode is not one of the four; start
  // over rather than write past the four slots.
  if (e.count >= 4) e.count = 0;
  ImmediateVertex& slot = e.batch[e.count];
  slot.x = x;
  slot.y = y;
  slot.z = z;
  slot.nx = e.normal[0];
  slot.ny = e.normal[1];
  slot.nz = e.normal[2];
  slot.diffuse = e.color;
  slot.u = e.u;
  slot.v = e.v;
  e.count += 1;
  if (e.count == VerticesPerPrimitive(e.mode)) FlushPrimitive();
}

void FlushPrimitive() {
  ImmediateEmitter& e = g_emitter;
  const PrimitiveKind kind = kindOf(e.mode);
  if (IDirect3DDevice9* device = activeDevice()) {
    device->SetFVF(IMMEDIATE_VERTEX_FVF);
    device->DrawPrimitiveUP(kind.type, kind.primitiveCount, e.batch, sizeof(ImmediateVertex));
  }
  if (g_observer) g_observer(kind.type, kind.primitiveCount, e.batch, e.count, g_observerContext);
  e.count = 0;
}

void ClearPrimitiveBatch() {
  for (ImmediateVertex& slot : g_emitter.batch) slot = ImmediateVertex{};
  g_emitter.count = 0;
}

void SetPrimitiveObserver(PrimitiveObserver observer, void* context) {
  g_observer = observer;
  g_observerContext = context;
}

void EnableRenderPreset(int preset) {
  switch (preset) {
    case PRESET_2D:
      setState(D3DRS_ALPHABLENDENABLE, TRUE);
      setState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
      setStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
      setStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
      setStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
      setStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
      setStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
      setStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
      break;
    case PRESET_POINT_SPRITES: {
      const float size = g_graphicsDevice ? g_graphicsDevice->pointSize : 1.0f;
      setState(D3DRS_POINTSPRITEENABLE, TRUE);
      setState(D3DRS_POINTSCALEENABLE, TRUE);
      setState(D3DRS_POINTSIZE, floatBits(size));
      setState(D3DRS_POINTSIZE_MIN, floatBits(1.0f));
      setState(D3DRS_POINTSCALE_A, floatBits(0.0f));
      setState(D3DRS_POINTSCALE_B, floatBits(0.0f));
      setState(D3DRS_POINTSCALE_C, floatBits(1.0f));
      break;
    }
    default:
      break;
  }
}

void DrawScreenRect(int w, int h, ColorRGBA color) {
  beginShape(true, color, PRIM_QUAD);
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  EmitVertex(0.0f, 0.0f, 0.0f);
  EmitVertex(fw, 0.0f, 0.0f);
  EmitVertex(fw, fh, 0.0f);
  EmitVertex(0.0f, fh, 0.0f);
  endShape();
}

void DrawArrowRight(int x, int y, ColorRGBA color) {
  beginShape(true, color, PRIM_TRIANGLE);
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  EmitVertex(fx, fy, 0.0f);
  EmitVertex(fx, fy + 10.0f, 0.0f);
  EmitVertex(fx + 10.0f, fy + 5.0f, 0.0f);
  endShape();
}

void DrawArrowLeft(int x, int y, ColorRGBA color) {
  beginShape(true, color, PRIM_TRIANGLE);
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  EmitVertex(fx + 10.0f, fy, 0.0f);
  EmitVertex(fx + 10.0f, fy + 10.0f, 0.0f);
  EmitVertex(fx, fy + 5.0f, 0.0f);
  endShape();
}

void DrawGradientRect(int x, int y, int w, int h, ColorRGBA top, ColorRGBA bottom) {
  beginShape(true, top, PRIM_QUAD);
  const float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
  const float x1 = static_cast<float>(x + w), y1 = static_cast<float>(y + h);
  EmitVertex(x0, y0, 0.0f);
  EmitVertex(x1, y0, 0.0f);
  SetVertexColor(bottom);
  EmitVertex(x1, y1, 0.0f);
  EmitVertex(x0, y1, 0.0f);
  endShape();
}

void DrawTexturedRect(int x, int y, int w, int h, ColorRGBA color) {
  beginShape(false, color, PRIM_QUAD);
  const float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
  const float x1 = static_cast<float>(x + w), y1 = static_cast<float>(y + h);
  SetVertexTexCoord(0.0f, 0.0f);
  EmitVertex(x0, y0, 0.0f);
  SetVertexTexCoord(1.0f, 0.0f);
  EmitVertex(x1, y0, 0.0f);
  SetVertexTexCoord(1.0f, 1.0f);
  EmitVertex(x1, y1, 0.0f);
  SetVertexTexCoord(0.0f, 1.0f);
  EmitVertex(x0, y1, 0.0f);
  endShape();
}

void DrawLine(int x1, int y1, int x2, int y2, ColorRGBA color) {
  beginShape(true, color, PRIM_LINE);
  EmitVertex(static_cast<float>(x1), static_cast<float>(y1), 0.0f);
  EmitVertex(static_cast<float>(x2), static_cast<float>(y2), 0.0f);
  endShape();
}

namespace {
std::uint8_t scaleChannel(std::uint8_t channel, float factor) {
  const float product = static_cast<float>(channel) * factor;
  if (!(product > 0.0f)) return 0;  // negative factors and NaN give 0
  if (product >= 255.0f) return 255;
  return static_cast<std::uint8_t>(product);  // truncation toward zero
}
}  // namespace

ColorRGBA ScaleColor(ColorRGBA color, float factor) {
  return ColorRGBA{scaleChannel(color.r, factor), scaleChannel(color.g, factor), scaleChannel(color.b, factor),
                   scaleChannel(color.a, factor)};
}
