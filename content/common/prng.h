// Deterministic pseudo-random numbers for the builders: a fixed seed per use
// gives the same content on every build and every machine (no floating-point
// state, no library generator whose sequence could differ between systems).
#pragma once

#include <cstdint>

namespace content {

class Prng {
 public:
  explicit Prng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

  // splitmix64
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1): 24 random bits, exact in a float.
  float uniform() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }
  float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
  // Uniform integer in [0, n).
  std::uint32_t below(std::uint32_t n) { return n ? static_cast<std::uint32_t>(next() % n) : 0; }

 private:
  std::uint64_t state_;
};

// Stateless hash noise, for per-pixel values that must not depend on order.
inline std::uint32_t hash32(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}
inline float hashUnit(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
  return static_cast<float>(hash32(a * 0x9E3779B1u ^ hash32(b * 0x85EBCA77u ^ hash32(c + 0x27d4eb2fu))) >> 8) *
         (1.0f / 16777216.0f);
}

}  // namespace content
