// Small numeric helpers shared by every synth building block.
#pragma once

#include <cmath>
#include <cstdint>

namespace synth {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;

// Recursive filters and delay lines decay towards zero forever; once their state drops into
// subnormal floats every operation on it becomes very slow. Anything this small is far below
// audibility (-400 dB), so feedback paths snap it to exact zero.
inline float flushDenormal(float x) { return std::fabs(x) < 1e-20f ? 0.0f : x; }

inline float noteToHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }
inline float dbToGain(float db) { return std::pow(10.0f, db / 20.0f); }
inline float semitonesToRatio(float st) { return std::exp2(st / 12.0f); }

// Rational tanh approximation: odd, monotonic, exactly +-1 from |x| = 3 on.
inline float softClip(float x) {
  if (x > 3.0f) return 1.0f;
  if (x < -3.0f) return -1.0f;
  const float x2 = x * x;
  return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

// sin(2*pi*phase) for phase in [0, 1): a refined parabola, accurate to about 1e-3.
inline float sinTurn(float phase) {
  const float x = 1.0f - 2.0f * phase;  // sin(pi * x) == sin(2 * pi * phase)
  const float y = 4.0f * (x - x * std::fabs(x));
  return 0.225f * (y * std::fabs(y) - y) + y;
}

// Deterministic xorshift generator: every voice and effect owns one with a fixed seed, so a
// render never depends on the clock or on the order of unrelated events.
struct Rng {
  uint32_t state;
  explicit Rng(uint32_t seed = 0x9e3779b9u) : state(seed ? seed : 0x9e3779b9u) {}
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  // Uniform in [-1, 1).
  float bipolar() { return static_cast<float>(static_cast<int32_t>(next())) * (1.0f / 2147483648.0f); }
  // Uniform in [0, 1).
  float unipolar() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
};

}  // namespace synth
