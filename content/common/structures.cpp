#include "common/structures.h"

#include <algorithm>
#include <cmath>

namespace content {

void addTruss(Mesh& mesh, V3 a, V3 b, float depth, float panel, float bar, V3 up) {
  const V3 d = b - a;
  const float len = length(d);
  if (len <= 0) return;
  const int panels = std::max(1, static_cast<int>(std::round(len / panel)));
  const V3 lift = normalize(up) * depth;
  addBeam(mesh, a, b, bar * 1.3f, up);
  addBeam(mesh, a + lift, b + lift, bar * 1.3f, up);
  for (int i = 0; i <= panels; ++i) {
    const V3 p = a + d * (static_cast<float>(i) / static_cast<float>(panels));
    addBeam(mesh, p, p + lift, bar, d);
    if (i < panels) {
      const V3 q = a + d * (static_cast<float>(i + 1) / static_cast<float>(panels));
      if (i % 2 == 0) addBeam(mesh, p, q + lift, bar * 0.8f, up);
      else addBeam(mesh, p + lift, q, bar * 0.8f, up);
    }
  }
}

void addLatticeColumn(Mesh& mesh, V3 base, float height, float width, float bar) {
  const float h = width * 0.5f;
  const V3 corners[4] = {{-h, 0, -h}, {h, 0, -h}, {h, 0, h}, {-h, 0, h}};
  for (const V3& c : corners) addBeam(mesh, base + c, base + c + V3{0, height, 0}, bar * 1.2f, {1, 0, 0});
  const int panels = std::max(1, static_cast<int>(height / (width * 1.6f)));
  for (int i = 0; i < panels; ++i) {
    const float y0 = height * static_cast<float>(i) / static_cast<float>(panels);
    const float y1 = height * static_cast<float>(i + 1) / static_cast<float>(panels);
    for (int s = 0; s < 4; ++s) {
      const V3 c0 = corners[s], c1 = corners[(s + 1) % 4];
      const bool flip = (i + s) % 2 == 0;
      addBeam(mesh, base + c0 + V3{0, flip ? y0 : y1, 0}, base + c1 + V3{0, flip ? y1 : y0, 0}, bar * 0.7f,
              {0, 1, 0});
      addBeam(mesh, base + c0 + V3{0, y1, 0}, base + c1 + V3{0, y1, 0}, bar * 0.8f, {0, 1, 0});
    }
  }
}

void addGantry(Mesh& mesh, float x0, float x1, float z, float height, float bar) {
  const float w = 0.9f;
  addLatticeColumn(mesh, {x0, 0, z}, height + w, w, bar);
  addLatticeColumn(mesh, {x1, 0, z}, height + w, w, bar);
  addTruss(mesh, {x0, height, z - w * 0.5f}, {x1, height, z - w * 0.5f}, w, 1.2f, bar);
  addTruss(mesh, {x0, height, z + w * 0.5f}, {x1, height, z + w * 0.5f}, w, 1.2f, bar);
  // Cross ties between the two faces of the girder.
  const int ties = std::max(2, static_cast<int>((x1 - x0) / 2.4f));
  for (int i = 0; i <= ties; ++i) {
    const float x = x0 + (x1 - x0) * static_cast<float>(i) / static_cast<float>(ties);
    addBeam(mesh, {x, height + w, z - w * 0.5f}, {x, height + w, z + w * 0.5f}, bar * 0.7f);
  }
  // Signal heads hanging from the girder.
  for (float x = x0 + 2.25f; x < x1 - 1.0f; x += 4.5f) {
    addBoxBetween(mesh, {x - 0.22f, height - 1.0f, z - 0.15f}, {x + 0.22f, height, z + 0.15f});
  }
}

void addMast(Mesh& mesh, V3 base, float height, float reach) {
  // H-section pole: two flanges and a web.
  addBoxBetween(mesh, base + V3{-0.18f, 0, -0.12f}, base + V3{0.18f, height, -0.09f});
  addBoxBetween(mesh, base + V3{-0.18f, 0, 0.09f}, base + V3{0.18f, height, 0.12f});
  addBoxBetween(mesh, base + V3{-0.03f, 0, -0.09f}, base + V3{0.03f, height, 0.09f});
  // Cantilever: a horizontal tube and a stay.
  const V3 top = base + V3{0, height - 0.6f, 0};
  const V3 tip = top + V3{reach, 0, 0};
  addBeam(mesh, top, tip, 0.1f);
  addBeam(mesh, base + V3{0, height - 1.8f, 0}, tip + V3{-reach * 0.15f, 0, 0}, 0.08f);
  // Insulator and dropper.
  addBoxBetween(mesh, tip + V3{-0.06f, -0.9f, -0.06f}, tip + V3{0.06f, 0, 0.06f});
}

void addLampTower(Mesh& mesh, V3 base, float height, int lampGroup) {
  addLatticeColumn(mesh, base, height, 1.0f, 0.08f);
  addBoxBetween(mesh, base + V3{-1.4f, height, -0.8f}, base + V3{1.4f, height + 0.15f, 0.8f});
  const int group = mesh.group;
  mesh.group = lampGroup;
  for (int i = 0; i < 4; ++i) {
    const float x = -1.05f + 0.7f * static_cast<float>(i);
    addBoxBetween(mesh, base + V3{x - 0.28f, height + 0.15f, -0.35f}, base + V3{x + 0.28f, height + 0.7f, 0.35f});
  }
  mesh.group = group;
}

void addWagon(Mesh& mesh, V3 c, float len, bool tank) {
  const float half = len * 0.5f;
  // Underframe and bogies.
  addBoxBetween(mesh, c + V3{-1.3f, 0.9f, -half}, c + V3{1.3f, 1.2f, half});
  for (int s = -1; s <= 1; s += 2) {
    const float z = static_cast<float>(s) * (half - 2.2f);
    addBoxBetween(mesh, c + V3{-1.1f, 0.35f, z - 1.3f}, c + V3{1.1f, 0.85f, z + 1.3f});
    for (int w = -1; w <= 1; w += 2) {
      const M4 m = M4::rotationZ(kPi * 0.5f) * M4::translation(c + V3{0.8f, 0.45f, z + static_cast<float>(w) * 0.85f});
      addCylinder(mesh, 0.45f, 1.6f, 12, true, m);
    }
  }
  if (tank) {
    const M4 m = M4::rotationX(kPi * 0.5f) * M4::translation(c + V3{0, 2.55f, -half + 0.4f});
    addCylinder(mesh, 1.35f, len - 0.8f, 20, true, m);
  } else {
    addBevelBox(mesh, {1.4f, 1.35f, half - 0.2f}, 0.12f, M4::translation(c + V3{0, 2.6f, 0}));
    // Ribs along the sides.
    for (float z = -half + 1.2f; z < half - 0.8f; z += 1.6f) {
      addBoxBetween(mesh, c + V3{-1.46f, 1.35f, z - 0.07f}, c + V3{1.46f, 3.85f, z + 0.07f});
    }
  }
}

namespace {

// The body section of a train: a rounded roof over straight sides.
void addBody(Mesh& mesh, float z0, float z1) {
  std::vector<std::pair<float, float>> profile;
  profile.emplace_back(1.45f, 1.0f);
  profile.emplace_back(1.5f, 2.9f);
  for (int i = 0; i <= 6; ++i) {
    const float a = static_cast<float>(i) / 6.0f * kPi;
    profile.emplace_back(std::cos(a) * 1.5f, 2.9f + std::sin(a) * 0.75f);
  }
  profile.emplace_back(-1.5f, 2.9f);
  profile.emplace_back(-1.45f, 1.0f);
  const std::vector<Frame> frames = {{{0, 0, z0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},
                                     {{0, 0, z1}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}};
  addSweep(mesh, frames, profile, true, true, 1.0f);
}

// A point inside the body: faces of the trains turn their normals away from it.
constexpr V3 kInside{0, 2.2f, 0};

void addRunningGear(Mesh& mesh, float z0, float z1) {
  addBoxBetween(mesh, {-1.3f, 0.75f, z0 + 0.3f}, {1.3f, 1.0f, z1 - 0.3f});
  for (float z : {z0 + 3.0f, z1 - 3.0f}) {
    addBoxBetween(mesh, {-1.15f, 0.3f, z - 1.4f}, {1.15f, 0.8f, z + 1.4f});
    for (int w = -1; w <= 1; w += 2) {
      const M4 m = M4::rotationZ(kPi * 0.5f) * M4::translation({0.8f, 0.45f, z + static_cast<float>(w) * 0.9f});
      addCylinder(mesh, 0.45f, 1.6f, 12, true, m);
    }
  }
}

}  // namespace

Mesh locomotive() {
  Mesh mesh;
  const float front = -10.0f, back = 10.0f;
  mesh.group = 0;
  addBody(mesh, front + 2.2f, back);
  // The nose: a sloped front from the body section down to the buffer beam.
  mesh.faceOutward(kInside, {-1.45f, 1.0f, front + 0.3f}, {1.45f, 1.0f, front + 0.3f}, {1.5f, 2.2f, front + 0.6f},
            {-1.5f, 2.2f, front + 0.6f});
  mesh.faceOutward(kInside, {-1.5f, 2.2f, front + 0.6f}, {1.5f, 2.2f, front + 0.6f}, {1.5f, 2.9f, front + 2.2f},
            {-1.5f, 2.9f, front + 2.2f});
  mesh.faceOutward(kInside, {-1.5f, 2.9f, front + 2.2f}, {1.5f, 2.9f, front + 2.2f}, {1.0f, 3.55f, front + 2.2f},
            {-1.0f, 3.55f, front + 2.2f});
  for (int s = -1; s <= 1; s += 2) {
    const float x = 1.47f * static_cast<float>(s);
    mesh.faceOutward(kInside, {x, 1.0f, front + 0.3f}, {x, 1.0f, front + 2.2f}, {x, 2.9f, front + 2.2f}, {x, 2.2f, front + 0.6f});
  }
  // Buffer beam, buffers and a horn housing on the roof.
  addBoxBetween(mesh, {-1.5f, 0.8f, front}, {1.5f, 1.25f, front + 0.4f});
  for (int s = -1; s <= 1; s += 2) {
    const M4 m = M4::rotationX(-kPi * 0.5f) * M4::translation({0.95f * static_cast<float>(s), 1.05f, front + 0.05f});
    addCylinder(mesh, 0.17f, 0.4f, 10, true, m);
  }
  addBevelBox(mesh, {0.9f, 0.2f, 2.5f}, 0.08f, M4::translation({0, 3.75f, 2.5f}));
  addBevelBox(mesh, {0.6f, 0.25f, 1.2f}, 0.08f, M4::translation({0, 3.8f, -4.0f}));
  // Glazing: the windscreen on the sloped face and side windows.
  mesh.group = 1;
  mesh.faceOutward(kInside, {-1.3f, 2.3f, front + 0.77f}, {1.3f, 2.3f, front + 0.77f}, {1.3f, 2.8f, front + 1.97f},
            {-1.3f, 2.8f, front + 1.97f});
  for (int s = -1; s <= 1; s += 2) {
    const float x = 1.52f * static_cast<float>(s);
    mesh.faceOutward(kInside, {x, 2.0f, front + 2.6f}, {x, 2.0f, front + 4.2f}, {x, 2.75f, front + 4.2f}, {x, 2.75f, front + 2.6f});
    for (float z = front + 6.0f; z < back - 1.5f; z += 2.6f)
      mesh.faceOutward(kInside, {x, 2.1f, z}, {x, 2.1f, z + 1.3f}, {x, 2.6f, z + 1.3f}, {x, 2.6f, z});
  }
  // Lamps: two headlights and a top light.
  mesh.group = 2;
  for (int s = -1; s <= 1; s += 2) {
    const float x = 0.95f * static_cast<float>(s);
    addBoxBetween(mesh, {x - 0.22f, 1.45f, front + 0.33f}, {x + 0.22f, 1.75f, front + 0.5f});
  }
  addBoxBetween(mesh, {-0.2f, 3.25f, front + 2.1f}, {0.2f, 3.45f, front + 2.25f});
  mesh.group = 3;
  addRunningGear(mesh, front, back);
  return mesh;
}

Mesh coach(float len) {
  Mesh mesh;
  const float z0 = -len * 0.5f, z1 = len * 0.5f;
  mesh.group = 0;
  addBody(mesh, z0, z1);
  mesh.faceOutward(kInside, {-1.45f, 1.0f, z0}, {1.45f, 1.0f, z0}, {1.5f, 2.9f, z0}, {-1.5f, 2.9f, z0});
  mesh.faceOutward(kInside, {-1.45f, 1.0f, z1}, {1.45f, 1.0f, z1}, {1.5f, 2.9f, z1}, {-1.5f, 2.9f, z1});
  mesh.group = 2;
  for (int s = -1; s <= 1; s += 2) {
    const float x = 1.52f * static_cast<float>(s);
    for (float z = z0 + 1.5f; z < z1 - 2.0f; z += 2.2f)
      mesh.faceOutward(kInside, {x, 1.9f, z}, {x, 1.9f, z + 1.6f}, {x, 2.65f, z + 1.6f}, {x, 2.65f, z});
  }
  mesh.group = 3;
  addRunningGear(mesh, z0, z1);
  return mesh;
}

}  // namespace content
