// Small value types used throughout the engine.
#pragma once

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

// x, y, z, w with w the scalar part; identity is (0, 0, 0, 1).
struct Quat {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
};

// Red, green, blue, alpha, nominally 0 to 1.
struct ColorF {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};
