// A small software rasteriser: renders triangles with a depth buffer into an
// Image. The train picture is rendered with it, and the scene builders use it
// for preview pictures of their scenes through the transforms the show uses.
#pragma once

#include <functional>
#include <vector>

#include "common/image.h"
#include "common/vmath.h"

namespace content {

// Row-vector 4 x 4 transforms to clip space, as Direct3D builds them.
struct M4x {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  static M4x from(const M4& a);
  static M4x perspectiveFovRH(float fovRadians, float aspect, float zn, float zf);
  M4x operator*(const M4x& b) const;
  void apply(V3 p, float out[4]) const;
};

// View transform of a camera posed at `position` with orientation `rotation`
// (it looks down its local -z): T(-position) x R(conjugate rotation).
M4 cameraView(V3 position, const Q& rotation);

enum class BlendMode { Opaque, Alpha, Additive };

struct RasterVertex {
  V3 position;  // model space
  Rgba color;   // already shaded
};

class Rasterizer {
 public:
  explicit Rasterizer(Image& target);
  void clearDepth();
  // Draws triangles (three vertices each) transformed by toClip.
  void draw(const std::vector<RasterVertex>& triangles, const M4x& toClip, BlendMode blend, bool depthTest = true,
            bool depthWrite = true);

 private:
  void drawClipped(const float (*v)[4], const Rgba* c, BlendMode blend, bool depthTest, bool depthWrite);
  Image& target_;
  std::vector<float> depth_;
};

}  // namespace content
