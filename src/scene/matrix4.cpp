// Matrix4: row-vector 4x4 matrices and the node world rule.
#include "scene/matrix4.h"

Matrix4 Matrix4::set(const float values[16]) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[r][c] = values[r * 4 + c];
  return *this;
}

Matrix4 Matrix4::setTranslation(float x, float y, float z) {
  *this = Matrix4{};
  m[3][0] = x;
  m[3][1] = y;
  m[3][2] = z;
  return *this;
}

Matrix4 Matrix4::setScaling(float x, float y, float z) {
  *this = Matrix4{};
  m[0][0] = x;
  m[1][1] = y;
  m[2][2] = z;
  return *this;
}

Matrix4 Matrix4::setRotation(float x, float y, float z, float w) {
  m[0][0] = 1.0f - 2.0f * (y * y + z * z);
  m[0][1] = 2.0f * (x * y + z * w);
  m[0][2] = 2.0f * (x * z - y * w);
  m[0][3] = 0.0f;
  m[1][0] = 2.0f * (x * y - z * w);
  m[1][1] = 1.0f - 2.0f * (x * x + z * z);
  m[1][2] = 2.0f * (y * z + x * w);
  m[1][3] = 0.0f;
  m[2][0] = 2.0f * (x * z + y * w);
  m[2][1] = 2.0f * (y * z - x * w);
  m[2][2] = 1.0f - 2.0f * (x * x + y * y);
  m[2][3] = 0.0f;
  m[3][0] = 0.0f;
  m[3][1] = 0.0f;
  m[3][2] = 0.0f;
  m[3][3] = 1.0f;
  return *this;
}

Matrix4 Matrix4::multiply(const Matrix4& a, const Matrix4& b) {
  Matrix4 out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[r][k] * b.m[k][c];
      out.m[r][c] = sum;
    }
  return out;
}

Matrix4 composeWorld(const Vec3& scale, const Quat& rotation, const Vec3& position) {
  // The set operations overwrite their target, so each factor gets its own
  // matrix; world = T, then R x world, then S x world.
  Matrix4 t, r, s;
  t.setTranslation(position.x, position.y, position.z);
  r.setRotation(rotation.x, rotation.y, rotation.z, rotation.w);
  s.setScaling(scale.x, scale.y, scale.z);
  Matrix4 world = t;
  world = Matrix4::multiply(r, world);
  world = Matrix4::multiply(s, world);
  return world;
}
