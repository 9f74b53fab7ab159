// Small vector, quaternion and matrix helpers for the content builders.
// Matrices follow the engine's row-vector convention: p' = p x M, with the
// translation in row 3.
#pragma once

#include <cmath>

#include "graphics/value_types.h"

namespace content {

constexpr float kPi = 3.14159265358979f;

struct V3 {
  float x = 0, y = 0, z = 0;
  constexpr V3() = default;
  constexpr V3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  V3 operator+(V3 o) const { return {x + o.x, y + o.y, z + o.z}; }
  V3 operator-(V3 o) const { return {x - o.x, y - o.y, z - o.z}; }
  V3 operator-() const { return {-x, -y, -z}; }
  V3 operator*(float s) const { return {x * s, y * s, z * s}; }
  V3 operator/(float s) const { return {x / s, y / s, z / s}; }
  V3& operator+=(V3 o) { return *this = *this + o; }
  V3& operator-=(V3 o) { return *this = *this - o; }
  V3& operator*=(float s) { return *this = *this * s; }
  Vec3 vec() const { return Vec3{x, y, z}; }
};
inline V3 operator*(float s, V3 v) { return v * s; }
inline float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float length(V3 a) { return std::sqrt(dot(a, a)); }
inline V3 normalize(V3 a) {
  const float l = length(a);
  return l > 0 ? a / l : V3{0, 0, 0};
}
inline V3 lerp(V3 a, V3 b, float t) { return a + (b - a) * t; }
inline V3 mulComp(V3 a, V3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

// x, y, z, w with w the scalar part.
struct Q {
  float x = 0, y = 0, z = 0, w = 1;
  Q operator*(const Q& b) const {
    // Hamilton product: applying b first, then this (for vectors: q v q*).
    return {w * b.x + x * b.w + y * b.z - z * b.y, w * b.y - x * b.z + y * b.w + z * b.x,
            w * b.z + x * b.y - y * b.x + z * b.w, w * b.w - x * b.x - y * b.y - z * b.z};
  }
  Quat quat() const { return Quat{x, y, z, w}; }
};
inline float dot(const Q& a, const Q& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
inline Q conj(const Q& q) { return {-q.x, -q.y, -q.z, q.w}; }
inline Q normalize(const Q& q) {
  const float l = std::sqrt(dot(q, q));
  return l > 0 ? Q{q.x / l, q.y / l, q.z / l, q.w / l} : Q{};
}
inline Q negate(const Q& q) { return {-q.x, -q.y, -q.z, -q.w}; }
inline Q axisAngle(V3 axis, float angle) {
  const V3 a = normalize(axis);
  const float s = std::sin(angle * 0.5f);
  return {a.x * s, a.y * s, a.z * s, std::cos(angle * 0.5f)};
}
// Rotates v by q (the rotation the engine's quaternion matrix applies to row vectors).
inline V3 rotate(const Q& q, V3 v) {
  const V3 u{q.x, q.y, q.z};
  const V3 t = cross(u, v) * 2.0f;
  return v + t * q.w + cross(u, t);
}
Q slerp(const Q& a, const Q& b, float t);
// Orientation whose local -z points along `forward` and local +y leans to `up`
// (the engine's cameras look down their local -z).
Q lookRotation(V3 forward, V3 up = {0, 1, 0});
// Orientation taking local +x, +y, +z onto the given orthonormal axes.
Q fromAxes(V3 xAxis, V3 yAxis, V3 zAxis);

struct M4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  static M4 translation(V3 t);
  static M4 scaling(V3 s);
  static M4 rotation(const Q& q);
  static M4 rotationX(float a);
  static M4 rotationY(float a);
  static M4 rotationZ(float a);
  // S x R x T: scale, then rotate, then move.
  static M4 compose(V3 scale, const Q& rotation, V3 position);
  M4 operator*(const M4& b) const;
  V3 point(V3 p) const;
  V3 vector(V3 v) const;
  // Normal transform: the inverse transpose of the upper 3x3.
  V3 normal(V3 n) const;
};

}  // namespace content
