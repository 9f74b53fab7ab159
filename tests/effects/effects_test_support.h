// An independent model of the classic C library generator, so that tests can
// predict what the effects draw.
#pragma once

#include <cstdint>

class ReferenceRand {
 public:
  explicit ReferenceRand(std::uint32_t state = 1) : state_(state) {}
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fff);
  }
  float unit() { return static_cast<float>(next() / 32767.0); }
  // The state whose next value is the given one (with zero low bits).
  static std::uint32_t stateBefore(int value) {
    const std::uint32_t after = static_cast<std::uint32_t>(value) << 16;
    return (after - 2531011u) * inverse(214013u);
  }

 private:
  static std::uint32_t inverse(std::uint32_t a) {
    std::uint32_t x = 1;  // Newton's iteration for the inverse modulo 2^32
    for (int i = 0; i < 6; ++i) x *= 2u - a * x;
    return x;
  }
  std::uint32_t state_;
};
