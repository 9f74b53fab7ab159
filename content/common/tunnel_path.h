// The tunnel of the metro section, shared by the tunnel scene, its trains and
// the metro map: the centre line, the camera's ride along it and the trains'
// schedule, all in the block's key time (0..1115).
#pragma once

#include <cmath>

#include "common/mesh.h"

namespace content::tunnel {

constexpr float kLength = 430.0f;    // path parameter range of the tunnel
constexpr float kRadius = 3.6f;      // tube radius
constexpr float kFloor = -1.6f;      // track level below the centre line
constexpr float kTrackOffset = 1.2f; // the two tracks, left and right of the centre
constexpr float kKeyTimeEnd = 1115.0f;

// Centre line at path parameter s (roughly metres); runs towards -z with
// S-bends and a gentle rise and fall.
inline V3 centre(float s) {
  return {28.0f * std::sin(s / 45.0f) + 6.0f * std::sin(s / 17.0f), 2.5f * std::sin(s / 60.0f), -s};
}

inline Frame frame(float s) {
  const float e = 0.25f;
  Frame f;
  f.p = centre(s);
  f.t = normalize(centre(s + e) - centre(s - e));
  f.right = normalize(cross(f.t, V3{0, 1, 0}));
  f.up = cross(f.right, f.t);
  return f;
}

// A point on the track plane: lateral offset from the centre (negative to the
// left of the direction of increasing s) and height above the rails.
inline V3 trackPoint(float s, float lateral, float height) {
  const Frame f = frame(s);
  return f.p + f.right * lateral + V3{0, kFloor + height, 0};
}

// The camera rides the left track at constant speed.
inline float cameraS(float t) { return 14.0f + 390.0f * t / kKeyTimeEnd; }

// Trains on the right track, coming the other way; each passes the camera at
// its key time.
constexpr float kTrainPasses[] = {150.0f, 410.0f, 690.0f, 950.0f};
constexpr float kTrainSpeed = 0.45f;  // path units per key time unit
constexpr int kCarsPerTrain = 4;
constexpr float kCarLength = 20.0f;
constexpr float kCarGap = 0.6f;
// Path parameter of the centre of car `car` of train `train` at time t.
inline float carS(int train, int car, float t) {
  const float pass = kTrainPasses[train];
  const float head = cameraS(pass) - kTrainSpeed * (t - pass);
  return head + kCarLength * 0.5f + static_cast<float>(car) * (kCarLength + kCarGap);
}

}  // namespace content::tunnel
