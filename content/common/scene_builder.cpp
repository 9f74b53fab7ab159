#include "common/scene_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

namespace content {

std::vector<scenefile::Element> layoutElements(Layout layout) {
  if (layout == Layout::Shaded) {
    return {{3, 1, 0, 0}, {3, 2, 12, 0}, {2, 4, 24, 0}, {2, 4, 32, 1}};
  }
  return {{3, 1, 0, 0}, {3, 2, 12, 0}, {4, 8, 24, 0}, {2, 4, 28, 0}};
}

std::uint32_t colorWord(const Rgba& c) {
  auto byte = [](float v) {
    const float clamped = std::min(1.0f, std::max(0.0f, v));
    return static_cast<std::uint32_t>(std::lround(clamped * 255.0f));
  };
  return byte(c.a) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

namespace {

void putFloat(std::vector<std::uint8_t>& out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

void putWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> encodeVertices(const Mesh& mesh, Layout layout) {
  std::vector<std::uint8_t> out;
  out.reserve(mesh.vertices.size() * 40);
  for (const Vertex& v : mesh.vertices) {
    putFloat(out, v.p.x);
    putFloat(out, v.p.y);
    putFloat(out, v.p.z);
    putFloat(out, v.n.x);
    putFloat(out, v.n.y);
    putFloat(out, v.n.z);
    if (layout == Layout::Colored) putWord(out, colorWord(v.color));
    putFloat(out, v.u);
    putFloat(out, v.v);
    if (layout == Layout::Shaded) {
      putFloat(out, v.build);
      putFloat(out, v.shade);
    }
  }
  return out;
}

namespace {

float qc(const Q& q, int i) { return i == 0 ? q.x : i == 1 ? q.y : i == 2 ? q.z : q.w; }
Q qadd(const Q& a, const Q& b, float s) { return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s, a.w + b.w * s}; }
Q qsub(const Q& a, const Q& b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}; }
Q qscale(const Q& a, float s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }

float bezier(float p0, float p1, float p2, float p3, float s) {
  const float u = 1.0f - s;
  return u * u * u * p0 + 3.0f * s * u * u * p1 + 3.0f * s * s * u * p2 + s * s * s * p3;
}

}  // namespace

std::vector<AnimationKey> makeTrack(std::vector<Pose> poses, Interpolation mode) {
  const std::size_t n = poses.size();
  std::vector<AnimationKey> keys(n);
  for (std::size_t i = 1; i < n; ++i) {
    if (dot(poses[i].rotation, poses[i - 1].rotation) < 0) poses[i].rotation = negate(poses[i].rotation);
  }
  // Velocities (per unit of time) at every key.
  std::vector<V3> vp(n);
  std::vector<Q> vr(n, Q{0, 0, 0, 0});
  if (mode == Interpolation::Smooth) {
    for (std::size_t i = 0; i < n; ++i) {
      if (n < 2 || poses[i].hold) continue;
      std::size_t a = i == 0 ? 0 : i - 1, b = i + 1 < n ? i + 1 : n - 1;
      if (poses[i].cut) a = i;
      if (b > i && poses[b].cut) b = i;
      const float dt = poses[b].time - poses[a].time;
      if (dt <= 0) continue;
      vp[i] = (poses[b].position - poses[a].position) / dt;
      vr[i] = qscale(qsub(poses[b].rotation, poses[a].rotation), 1.0f / dt);
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    AnimationKey& k = keys[i];
    const Pose& p = poses[i];
    k.time = p.time;
    k.position = p.position.vec();
    k.rotation = p.rotation.quat();
    V3 in = p.position, out = p.position;
    Q rin = p.rotation, rout = p.rotation;
    if (mode == Interpolation::Smooth) {
      if (i > 0) {
        const float dt = p.time - poses[i - 1].time;
        in = p.position - vp[i] * (dt / 3);
        rin = qadd(p.rotation, vr[i], -dt / 3);
      }
      if (i + 1 < n) {
        const float dt = poses[i + 1].time - p.time;
        out = p.position + vp[i] * (dt / 3);
        rout = qadd(p.rotation, vr[i], dt / 3);
      }
    } else {
      if (i > 0) {
        in = p.position - (p.position - poses[i - 1].position) / 3.0f;
        rin = qadd(p.rotation, qsub(p.rotation, poses[i - 1].rotation), -1.0f / 3);
      }
      if (i + 1 < n) {
        out = p.position + (poses[i + 1].position - p.position) / 3.0f;
        rout = qadd(p.rotation, qsub(poses[i + 1].rotation, p.rotation), 1.0f / 3);
      }
    }
    k.positionIn = in.vec();
    k.positionOut = out.vec();
    k.rotationIn = rin.quat();
    k.rotationOut = rout.quat();
  }
  return keys;
}

Pose evaluateTrack(const std::vector<AnimationKey>& keys, float t) {
  Pose pose;
  pose.time = t;
  if (keys.empty()) return pose;
  auto toV = [](const Vec3& v) { return V3{v.x, v.y, v.z}; };
  auto toQ = [](const Quat& q) { return Q{q.x, q.y, q.z, q.w}; };
  if (keys.size() == 1 || t > keys.back().time) {
    const AnimationKey& k = keys.size() == 1 ? keys[0] : keys.back();
    pose.position = toV(k.position);
    pose.rotation = toQ(k.rotation);
    return pose;
  }
  std::size_t k = 0;
  for (std::size_t j = 0; j + 1 < keys.size(); ++j) {
    if (keys[j].time <= t && t <= keys[j + 1].time) {
      k = j;
      break;
    }
  }
  const AnimationKey& a = keys[k];
  const AnimationKey& b = keys[k + 1];
  const float span = b.time - a.time;
  const float s = span != 0 ? (t - a.time) / span : 1.0f;
  pose.position = {bezier(a.position.x, a.positionOut.x, b.positionIn.x, b.position.x, s),
                   bezier(a.position.y, a.positionOut.y, b.positionIn.y, b.position.y, s),
                   bezier(a.position.z, a.positionOut.z, b.positionIn.z, b.position.z, s)};
  const Q r0 = toQ(a.rotation), r1 = toQ(a.rotationOut), r2 = toQ(b.rotationIn), r3 = toQ(b.rotation);
  Q q;
  float* out[4] = {&q.x, &q.y, &q.z, &q.w};
  for (int i = 0; i < 4; ++i) *out[i] = bezier(qc(r0, i), qc(r1, i), qc(r2, i), qc(r3, i), s);
  pose.rotation = normalize(q);
  return pose;
}

std::uint32_t SceneBuilder::texture(const std::string& fileName) {
  record_.textures.push_back(fileName);
  return static_cast<std::uint32_t>(record_.textures.size() - 1);
}

std::uint32_t SceneBuilder::material(const std::string& name, const ColorF& diffuse, std::uint32_t flags,
                                     std::vector<std::uint32_t> textures) {
  scenefile::MaterialRecord m;
  m.name = name;
  m.diffuse = diffuse;
  m.flags = flags;
  m.textureIndices = std::move(textures);
  record_.materials.push_back(std::move(m));
  return static_cast<std::uint32_t>(record_.materials.size() - 1);
}

std::uint32_t SceneBuilder::model(const std::string& name, const Mesh& mesh, Layout layout,
                                  const std::vector<std::uint32_t>& materials) {
  scenefile::ModelRecord m;
  m.name = name;
  m.elements = layoutElements(layout);
  m.vertexCount = static_cast<std::uint32_t>(mesh.vertices.size());
  m.vertexData = encodeVertices(mesh, layout);
  V3 lo, hi;
  mesh.bounds(&lo, &hi);
  if (mesh.vertices.empty()) lo = hi = V3{};
  m.vectorA = lo.vec();
  m.vectorB = hi.vec();
  for (std::size_t g = 0; g < mesh.groups.size(); ++g) {
    if (mesh.groups[g].empty()) continue;
    scenefile::Subset subset;
    subset.materialIndex = g < materials.size() ? materials[g] : materials.back();
    subset.indices = mesh.groups[g];
    m.subsets.push_back(std::move(subset));
  }
  record_.models.push_back(std::move(m));
  return static_cast<std::uint32_t>(record_.models.size() - 1);
}

std::uint32_t SceneBuilder::camera(const std::string& name) {
  record_.cameras.push_back({name, 0});
  return static_cast<std::uint32_t>(record_.cameras.size() - 1);
}

std::uint32_t SceneBuilder::modelNode(const std::string& name, std::uint32_t modelIndex, V3 position, Q rotation,
                                      V3 scale) {
  scenefile::NodeRecord n;
  n.name = name;
  n.position = position.vec();
  n.rotation = rotation.quat();
  n.scale = scale.vec();
  n.flags = NODE_MODEL;
  n.modelIndex = modelIndex;
  record_.nodes.push_back(std::move(n));
  return static_cast<std::uint32_t>(record_.nodes.size() - 1);
}

std::uint32_t SceneBuilder::cameraNode(const std::string& name, std::uint32_t cameraIndex, V3 position, Q rotation) {
  scenefile::NodeRecord n;
  n.name = name;
  n.position = position.vec();
  n.rotation = rotation.quat();
  n.flags = NODE_CAMERA;
  n.cameraIndex = cameraIndex;
  record_.nodes.push_back(std::move(n));
  return static_cast<std::uint32_t>(record_.nodes.size() - 1);
}

void SceneBuilder::animate(std::uint32_t nodeIndex, std::vector<AnimationKey> keys) {
  scenefile::NodeRecord& n = record_.nodes.at(nodeIndex);
  if (!keys.empty()) {
    // The file pose is the pose of the first key, so a scene drawn before it
    // is first animated already shows its opening frame.
    n.position = keys.front().position;
    n.rotation = keys.front().rotation;
  }
  n.flags |= NODE_ANIMATED;
  n.keys = std::move(keys);
}

std::uint32_t SceneBuilder::object(const std::string& name, const Mesh& mesh, Layout layout,
                                   const std::vector<std::uint32_t>& materials, V3 position, Q rotation) {
  const std::uint32_t m = model(name, mesh, layout, materials);
  return modelNode(name, m, position, rotation);
}

bool SceneBuilder::write(const std::string& path) const {
  try {
    if (scenefile::writeSceneFile(path, record_)) return true;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
  }
  return false;
}

}  // namespace content
