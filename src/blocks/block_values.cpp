#include "blocks/block_values.h"

#include <cmath>

#include "blocks/block_steps.h"

namespace {
std::uint8_t lowByte(double value) { return static_cast<std::uint8_t>(static_cast<std::int64_t>(value) & 0xff); }

// Glow from the single-precision sine of 10 p.
ColorRGBA floatSineGlow(float p) {
  float angle = 10.0f * p;
  float sine = static_cast<float>(std::sin(angle));
  float pulse = std::fabs(sine);
  return ColorRGBA{lowByte(100.0f * pulse + 155.0f), lowByte(100.0f * pulse + 100.0f), 0, 255};
}
}  // namespace

Block1Values block1Values(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs) {
  Block1Values v;
  v.f = blocksteps::progress(nowMs, startMs, endMs);
  v.g = 1.5 * static_cast<double>(v.f);
  if (v.g < 1.0) {
    v.trainAlpha = 255;
  } else {
    double base = 3.0 - 2.0 * v.g;
    double squared = base * base;
    v.trainAlpha = lowByte(255.0 * (squared * squared));
  }
  v.glow = blocksteps::glowColor(std::fabs(std::sin(10.0 * static_cast<double>(v.f))));
  v.animationTime = 191.0f * v.f;
  return v;
}

FitaValues fitaValues(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs) {
  FitaValues v;
  v.f = blocksteps::progress(nowMs, startMs, endMs);
  v.glow = blocksteps::glowColor(std::fabs(std::sin(10.0 * static_cast<double>(v.f))));
  v.animationTime = 130.0f * v.f;
  return v;
}

Block4Values block4Values(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs) {
  Block4Values v;
  v.p = blocksteps::progress(nowMs, startMs, endMs);
  v.auxiliar = v.p + 0.1f;
  v.glow = floatSineGlow(v.p);
  v.animationTime = v.p * 585.0f;
  return v;
}

Block3Values block3Values(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs) {
  Block3Values v;
  v.p = blocksteps::progress(nowMs, startMs, endMs);
  v.glow = floatSineGlow(v.p);
  v.animationTime = 1115.0f * v.p;
  return v;
}

FinalValues finalValues(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs) {
  FinalValues v;
  v.p = blocksteps::progress(nowMs, startMs, endMs);
  float u = 10.0f * v.p;
  v.sv = std::sin(u);
  v.cv = std::cos(u);
  v.glow = floatSineGlow(v.p);
  v.auxiliar = v.p + 0.1f;
  float q = 1.0f - v.p;
  float q2 = q * q;
  float q4 = q2 * q2;
  float k = q4 * q4;
  v.frame2Alpha = lowByte(255.0f * (1.0f - k));
  v.frameAlpha = lowByte(255.0f * k);
  v.guiTime = 500.0f * v.p;
  v.sceneTime = 646.0f * v.p;
  return v;
}

CreditsValues creditsValues(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs) {
  CreditsValues v;
  v.p = endMs == startMs ? 0.0 : static_cast<double>(nowMs - startMs) / static_cast<double>(endMs - startMs);
  v.auxiliar = static_cast<float>(1.0 - 4.0 * v.p);
  v.fadeAlpha = lowByte(blocksteps::pow8(1.0 - v.p) * 255.0);
  v.animationTime = static_cast<float>(v.p * 350.0);
  return v;
}
