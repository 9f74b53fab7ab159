// 4x4 float matrices for row vectors (p' = p x M), row 3 holding the
// translation. Set operations overwrite the matrix and return a copy.
#pragma once

#include "graphics/value_types.h"

struct Matrix4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

  Matrix4 set(const float values[16]);
  Matrix4 setTranslation(float x, float y, float z);
  Matrix4 setScaling(float x, float y, float z);
  Matrix4 setRotation(float x, float y, float z, float w);  // not normalised first
  static Matrix4 multiply(const Matrix4& a, const Matrix4& b);
  const float* data() const { return &m[0][0]; }
};

// world = S x R x T from scale, rotation and position.
Matrix4 composeWorld(const Vec3& scale, const Quat& rotation, const Vec3& position);
