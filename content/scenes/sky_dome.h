// A sky dome in vertex colours around the origin: a colour for every
// direction, and small discs (stars, a moon, a sun) placed on it.
#pragma once

#include <cmath>
#include <functional>

#include "common/mesh.h"

namespace content {

// Rings of the dome from the nadir to the zenith; `colour(direction)`
// gives the colour of each vertex. Normals point inwards.
inline void addSkyDome(Mesh& mesh, float radius, int rings, int segments, const std::function<Rgba(V3)>& colour) {
  const float lowest = -kPi * 0.5f;  // from the nadir
  const std::uint32_t base = static_cast<std::uint32_t>(mesh.vertices.size());
  for (int r = 0; r <= rings; ++r) {
    const float e = lowest + (kPi * 0.5f - lowest) * static_cast<float>(r) / static_cast<float>(rings);
    for (int s = 0; s <= segments; ++s) {
      const float a = 2 * kPi * static_cast<float>(s) / static_cast<float>(segments);
      const V3 d{std::cos(e) * std::cos(a), std::sin(e), std::cos(e) * std::sin(a)};
      mesh.color = colour(d);
      mesh.add(d * radius, -d, static_cast<float>(s) / static_cast<float>(segments), static_cast<float>(r) / rings);
    }
  }
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      const std::uint32_t a = base + r * (segments + 1) + s;
      mesh.quad(a, a + 1, a + segments + 2, a + segments + 1);
    }
}

// A disc facing the origin at direction `dir` and distance `radius`: centre in
// `inner`, rim in `outer` (a glow when the rim matches the sky).
inline void addSkyDisc(Mesh& mesh, V3 dir, float radius, float size, Rgba inner, Rgba outer, int segments = 16) {
  const V3 d = normalize(dir);
  V3 side = normalize(cross(d, V3{0, 1, 0}));
  if (length(side) < 1e-3f) side = {1, 0, 0};
  const V3 up = cross(side, d);
  mesh.color = inner;
  const std::uint32_t centre = mesh.add(d * radius, -d, 0.5f, 0.5f);
  mesh.color = outer;
  std::uint32_t first = 0, previous = 0;
  for (int i = 0; i <= segments; ++i) {
    const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
    const std::uint32_t v = mesh.add(d * radius + (side * std::cos(a) + up * std::sin(a)) * size, -d, 0, 0);
    if (i == 0) first = v;
    if (i > 0) mesh.triangle(centre, previous, v);
    previous = v;
  }
  (void)first;
}

}  // namespace content
