#include "common/raster.h"

#include <algorithm>
#include <cmath>

namespace content {

M4x M4x::from(const M4& a) {
  M4x r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[i][j];
  return r;
}

M4x M4x::perspectiveFovRH(float fov, float aspect, float zn, float zf) {
  M4x r;
  const float ys = 1.0f / std::tan(fov * 0.5f);
  const float xs = ys / aspect;
  r.m[0][0] = xs;
  r.m[1][1] = ys;
  r.m[2][2] = zf / (zn - zf);
  r.m[2][3] = -1;
  r.m[3][2] = zn * zf / (zn - zf);
  r.m[3][3] = 0;
  return r;
}

M4x M4x::operator*(const M4x& b) const {
  M4x r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

void M4x::apply(V3 p, float out[4]) const {
  for (int j = 0; j < 4; ++j) out[j] = p.x * m[0][j] + p.y * m[1][j] + p.z * m[2][j] + m[3][j];
}

M4 cameraView(V3 position, const Q& rotation) {
  return M4::translation(-position) * M4::rotation(conj(rotation));
}

Rasterizer::Rasterizer(Image& target)
    : target_(target), depth_(static_cast<std::size_t>(target.width()) * target.height(), 1.0f) {}

void Rasterizer::clearDepth() { std::fill(depth_.begin(), depth_.end(), 1.0f); }

void Rasterizer::draw(const std::vector<RasterVertex>& tris, const M4x& toClip, BlendMode blend, bool depthTest,
                      bool depthWrite) {
  for (std::size_t i = 0; i + 2 < tris.size(); i += 3) {
    float clip[3][4];
    Rgba colors[3];
    for (int k = 0; k < 3; ++k) {
      toClip.apply(tris[i + k].position, clip[k]);
      colors[k] = tris[i + k].color;
    }
    // Clip against w > epsilon (the near side), then rasterise the fan.
    const float eps = 1e-4f;
    float poly[6][4];
    Rgba pc[6];
    int count = 0;
    for (int k = 0; k < 3; ++k) {
      const float* a = clip[k];
      const float* b = clip[(k + 1) % 3];
      const bool ina = a[3] > eps, inb = b[3] > eps;
      if (ina) {
        std::copy(a, a + 4, poly[count]);
        pc[count++] = colors[k];
      }
      if (ina != inb) {
        const float t = (eps - a[3]) / (b[3] - a[3]);
        for (int j = 0; j < 4; ++j) poly[count][j] = a[j] + (b[j] - a[j]) * t;
        pc[count++] = mix(colors[k], colors[(k + 1) % 3], t);
      }
    }
    for (int k = 1; k + 1 < count; ++k) {
      const float tri[3][4] = {{poly[0][0], poly[0][1], poly[0][2], poly[0][3]},
                               {poly[k][0], poly[k][1], poly[k][2], poly[k][3]},
                               {poly[k + 1][0], poly[k + 1][1], poly[k + 1][2], poly[k + 1][3]}};
      const Rgba tc[3] = {pc[0], pc[k], pc[k + 1]};
      drawClipped(tri, tc, blend, depthTest, depthWrite);
    }
  }
}

void Rasterizer::drawClipped(const float (*v)[4], const Rgba* c, BlendMode blend, bool depthTest, bool depthWrite) {
  const float w = static_cast<float>(target_.width()), h = static_cast<float>(target_.height());
  float sx[3], sy[3], sz[3], iw[3];
  for (int k = 0; k < 3; ++k) {
    iw[k] = 1.0f / v[k][3];
    sx[k] = (v[k][0] * iw[k] + 1) * 0.5f * w;
    sy[k] = (1 - v[k][1] * iw[k]) * 0.5f * h;
    sz[k] = v[k][2] * iw[k];
  }
  const float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
  if (std::fabs(area) < 1e-9f) return;
  const int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
  const int x1 = std::min(target_.width() - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
  const int y1 = std::min(target_.height() - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
      float b[3];
      b[0] = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
      b[1] = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
      b[2] = 1 - b[0] - b[1];
      if (b[0] < 0 || b[1] < 0 || b[2] < 0) continue;
      const float z = b[0] * sz[0] + b[1] * sz[1] + b[2] * sz[2];
      if (z < 0 || z > 1) continue;
      float& d = depth_[static_cast<std::size_t>(y) * target_.width() + x];
      if (depthTest && z > d) continue;
      // Perspective-correct colour.
      const float q0 = b[0] * iw[0], q1 = b[1] * iw[1], q2 = b[2] * iw[2];
      const float qs = q0 + q1 + q2;
      Rgba col{(c[0].r * q0 + c[1].r * q1 + c[2].r * q2) / qs, (c[0].g * q0 + c[1].g * q1 + c[2].g * q2) / qs,
               (c[0].b * q0 + c[1].b * q1 + c[2].b * q2) / qs, (c[0].a * q0 + c[1].a * q1 + c[2].a * q2) / qs};
      if (blend == BlendMode::Opaque) {
        col.a = 1;
        target_.at(x, y) = col;
      } else if (blend == BlendMode::Alpha) {
        target_.blend(x, y, col);
      } else {
        target_.add(x, y, {col.r * col.a, col.g * col.a, col.b * col.a, 0});
      }
      if (depthWrite) d = z;
    }
}

}  // namespace content
