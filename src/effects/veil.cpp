#include "effects/veil.h"

#include "graphics/graphics_device.h"
#include "graphics/transforms.h"
#include "ui2d/primitives.h"

namespace {
// 255 x^4 (by repeated squaring), truncated; only the low byte counts.
std::uint8_t fourthPowerAlpha(double x) {
  const double x2 = x * x;
  const double x4 = x2 * x2;
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(255.0 * x4) & 0xff);
}
}  // namespace

VeilFrame veilAt(std::int32_t startMs, std::int32_t endMs, std::int32_t nowMs) {
  const double s = startMs, e = endMs, t = nowMs;
  const double mid = (static_cast<std::int64_t>(startMs) + endMs) * 0.5;
  const double halfLength = (e - s) * 0.5;
  VeilFrame frame;
  if (t > s && mid >= t) {
    frame.shape = VeilShape::ScreenRect;
    frame.alpha = fourthPowerAlpha((t - s) / halfLength);
  } else if (mid < t && t <= e) {
    frame.shape = VeilShape::TexturedRect;
    frame.alpha = fourthPowerAlpha((e - t) / halfLength);
  }
  return frame;
}

void drawVeil(std::int32_t startMs, std::int32_t endMs, std::int32_t nowMs) {
  GraphicsDevice* graphics = g_graphicsDevice;
  if (!graphics || !graphics->device) return;
  IDirect3DDevice9* device = graphics->device;

  graphics->currentTransform = D3DTS_PROJECTION;
  loadIdentity();
  beginOrtho2D(640.0f, 480.0f);
  graphics->currentTransform = D3DTS_VIEW;
  loadIdentity();

  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  device->SetTexture(0, nullptr);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

  const VeilFrame frame = veilAt(startMs, endMs, nowMs);
  const ColorRGBA veil{1, 1, 1, frame.alpha};
  switch (frame.shape) {
    case VeilShape::ScreenRect: DrawScreenRect(640, 480, veil); break;
    case VeilShape::TexturedRect: DrawTexturedRect(0, 0, 640, 480, veil); break;
    case VeilShape::None: break;
  }
}
