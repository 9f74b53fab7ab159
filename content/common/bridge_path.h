// The flight of the bridge section, shared by the bridge scene (its camera)
// and the greetings (which fly past that camera): key times 0..585.
#pragma once

#include <vector>

#include "common/scene_builder.h"

namespace content::bridge {

constexpr float kKeyTimeEnd = 585.0f;
constexpr float kDeckHalfLength = 340.0f;

// The reveal front along the deck (x) for key time t: the block's parameter
// is p + 0.1 with p = t / 585, and the truss is ordered by x.
inline float buildOrder(float x) { return 0.05f + 0.9f * (x + kDeckHalfLength) / (2 * kDeckHalfLength); }

// From low in the valley up beside the deck, then along it just behind the
// front that builds the truss.
inline std::vector<AnimationKey> cameraTrack() {
  struct Shot {
    float time;
    V3 eye, target;
  };
  const Shot shots[] = {{0, {-40, -128, 230}, {-170, -30, 0}},   {120, {-150, -60, 135}, {-110, 0, 0}},
                        {240, {-150, 14, 60}, {-20, 4, 0}},     {360, {-20, 22, 42}, {100, 6, 0}},
                        {480, {110, 30, 48}, {230, 6, 0}},     {585, {240, 45, 70}, {380, 0, -20}}};
  std::vector<Pose> poses;
  for (const Shot& s : shots) poses.push_back({s.time, s.eye, lookRotation(s.target - s.eye)});
  return makeTrack(poses);
}

}  // namespace content::bridge
