#include "common/vmath.h"

namespace content {

Q slerp(const Q& a, const Q& bIn, float t) {
  Q b = bIn;
  float d = dot(a, b);
  if (d < 0) {
    b = negate(b);
    d = -d;
  }
  if (d > 0.9995f) {
    return normalize(Q{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t});
  }
  const float theta = std::acos(d);
  const float s = std::sin(theta);
  const float wa = std::sin((1 - t) * theta) / s;
  const float wb = std::sin(t * theta) / s;
  return {a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb, a.w * wa + b.w * wb};
}

Q fromAxes(V3 xa, V3 ya, V3 za) {
  // Rotation matrix with columns xa, ya, za (local axis -> world), to quaternion.
  const float m00 = xa.x, m01 = ya.x, m02 = za.x;
  const float m10 = xa.y, m11 = ya.y, m12 = za.y;
  const float m20 = xa.z, m21 = ya.z, m22 = za.z;
  const float trace = m00 + m11 + m22;
  Q q;
  if (trace > 0) {
    const float s = std::sqrt(trace + 1.0f) * 2;
    q.w = 0.25f * s;
    q.x = (m21 - m12) / s;
    q.y = (m02 - m20) / s;
    q.z = (m10 - m01) / s;
  } else if (m00 > m11 && m00 > m22) {
    const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2;
    q.w = (m21 - m12) / s;
    q.x = 0.25f * s;
    q.y = (m01 + m10) / s;
    q.z = (m02 + m20) / s;
  } else if (m11 > m22) {
    const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2;
    q.w = (m02 - m20) / s;
    q.x = (m01 + m10) / s;
    q.y = 0.25f * s;
    q.z = (m12 + m21) / s;
  } else {
    const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2;
    q.w = (m10 - m01) / s;
    q.x = (m02 + m20) / s;
    q.y = (m12 + m21) / s;
    q.z = 0.25f * s;
  }
  return normalize(q);
}

Q lookRotation(V3 forward, V3 up) {
  const V3 z = normalize(-forward);
  V3 x = cross(up, z);
  if (length(x) < 1e-6f) x = cross(V3{0, 0, 1}, z);
  x = normalize(x);
  const V3 y = cross(z, x);
  return fromAxes(x, y, z);
}

M4 M4::translation(V3 t) {
  M4 r;
  r.m[3][0] = t.x;
  r.m[3][1] = t.y;
  r.m[3][2] = t.z;
  return r;
}

M4 M4::scaling(V3 s) {
  M4 r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  return r;
}

M4 M4::rotation(const Q& q) {
  M4 r;
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  r.m[0][0] = 1 - 2 * (y * y + z * z);
  r.m[0][1] = 2 * (x * y + z * w);
  r.m[0][2] = 2 * (x * z - y * w);
  r.m[1][0] = 2 * (x * y - z * w);
  r.m[1][1] = 1 - 2 * (x * x + z * z);
  r.m[1][2] = 2 * (y * z + x * w);
  r.m[2][0] = 2 * (x * z + y * w);
  r.m[2][1] = 2 * (y * z - x * w);
  r.m[2][2] = 1 - 2 * (x * x + y * y);
  return r;
}

M4 M4::rotationX(float a) { return rotation(axisAngle({1, 0, 0}, a)); }
M4 M4::rotationY(float a) { return rotation(axisAngle({0, 1, 0}, a)); }
M4 M4::rotationZ(float a) { return rotation(axisAngle({0, 0, 1}, a)); }

M4 M4::compose(V3 scale, const Q& rot, V3 position) { return scaling(scale) * rotation(rot) * translation(position); }

M4 M4::operator*(const M4& b) const {
  M4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

V3 M4::point(V3 p) const {
  return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
          p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
          p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

V3 M4::vector(V3 v) const {
  return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
          v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}

V3 M4::normal(V3 n) const {
  // Row vectors: n' = n x (A^-1)^T for the upper 3x3 A; the cofactor matrix
  // is det(A) (A^-1)^T, and its scale does not matter once normalised.
  const float a = m[0][0], b = m[0][1], c = m[0][2];
  const float d = m[1][0], e = m[1][1], f = m[1][2];
  const float g = m[2][0], h = m[2][1], i = m[2][2];
  // Cofactors C[r][c].
  const float c00 = e * i - f * h, c01 = -(d * i - f * g), c02 = d * h - e * g;
  const float c10 = -(b * i - c * h), c11 = a * i - c * g, c12 = -(a * h - b * g);
  const float c20 = b * f - c * e, c21 = -(a * f - c * d), c22 = a * e - b * d;
  const float det = a * c00 + b * c01 + c * c02;
  V3 r{n.x * c00 + n.y * c10 + n.z * c20, n.x * c01 + n.y * c11 + n.z * c21, n.x * c02 + n.y * c12 + n.z * c22};
  if (det < 0) r = -r;
  return normalize(r);
}

}  // namespace content
