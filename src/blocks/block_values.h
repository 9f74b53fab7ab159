// The values the blocks derive from the music time each frame: positions in
// their windows, fades, glow colours, shader parameters and animation times.
#pragma once

#include <cstdint>

#include "ui2d/primitives.h"

struct Block1Values {
  float f = 0.0f;         // position in the window
  double g = 0.0;         // 1.5 f: the reveal front and the train fade
  std::uint8_t trainAlpha = 255;
  ColorRGBA glow;
  float animationTime = 0.0f;  // 191 f
};
Block1Values block1Values(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs);

struct FitaValues {
  float f = 0.0f;
  ColorRGBA glow;
  float animationTime = 0.0f;  // 130 f
};
FitaValues fitaValues(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs);

struct Block4Values {
  float p = 0.0f;
  float auxiliar = 0.0f;  // p + 0.1
  ColorRGBA glow;
  float animationTime = 0.0f;  // 585 p
};
Block4Values block4Values(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs);

struct Block3Values {
  float p = 0.0f;
  ColorRGBA glow;
  float animationTime = 0.0f;  // 1115 p
};
Block3Values block3Values(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs);

struct FinalValues {
  float p = 0.0f;
  float sv = 0.0f;  // sin(10 p)
  float cv = 1.0f;  // cos(10 p)
  ColorRGBA glow;
  float auxiliar = 0.1f;  // p + 0.1
  std::uint8_t frame2Alpha = 0;  // the second frame fades in ...
  std::uint8_t frameAlpha = 255;  // ... as the first fades out
  float guiTime = 0.0f;    // 500 p
  float sceneTime = 0.0f;  // 646 p
};
FinalValues finalValues(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs);

struct CreditsValues {
  double p = 0.0;
  float auxiliar = 1.0f;  // 1 - 4p
  std::uint8_t fadeAlpha = 255;  // (1 - p)^8 x 255
  float animationTime = 0.0f;  // 350 p
};
CreditsValues creditsValues(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs);
