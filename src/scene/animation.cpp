// Keyframe animation: Bezier tracks evaluated with a cached segment, and the
// per-node and per-scene animation passes.
#include <cmath>

#include "scene/scene.h"

namespace {

// Cubic Bezier B(P0, P1, P2, P3; s), one component.
inline float bezier(float p0, float p1, float p2, float p3, float s) {
  const float u = 1.0f - s;
  return u * u * u * p0 + 3.0f * s * u * u * p1 + 3.0f * s * s * u * p2 + s * s * s * p3;
}

}  // namespace

AnimationTrack::~AnimationTrack() { delete[] keys; }

void AnimationTrack::evaluate(float time) {
  const std::int32_t n = keyCount;
  if (n <= 0 || !keys) return;  // nothing to evaluate: the pose stays as it was
  if (n == 1) {
    position = keys[0].position;
    rotation = keys[0].rotation;
    return;
  }

  const AnimationKey& last = keys[n - 1];
  if (time > last.time) {
    position = last.position;
    rotation = last.rotation;
    return;
  }

  auto contains = [&](std::int32_t j) { return keys[j].time <= time && time <= keys[j + 1].time; };
  // The cache is only trusted while it names a real segment.
  std::int32_t k = segment;
  if (k < 0 || k > n - 2) k = 0;
  if (contains(k)) {
    // keep k
  } else if (k + 2 < n && contains(k + 1)) {
    k = k + 1;
  } else if (k - 1 >= 0 && contains(k - 1)) {
    k = k - 1;
  } else {
    for (std::int32_t j = 0; j <= n - 2; ++j) {
      if (contains(j)) {
        k = j;
        break;
      }
    }
    // No segment holds the time (it lies before the first key): k stays.
  }
  segment = k;

  const AnimationKey& a = keys[k];
  const AnimationKey& b = keys[k + 1];
  const float span = b.time - a.time;
  // Two keys at the same time leave no span to divide by: the later key wins.
  const float s = span != 0.0f ? (time - a.time) / span : 1.0f;

  position.x = bezier(a.position.x, a.positionOut.x, b.positionIn.x, b.position.x, s);
  position.y = bezier(a.position.y, a.positionOut.y, b.positionIn.y, b.position.y, s);
  position.z = bezier(a.position.z, a.positionOut.z, b.positionIn.z, b.position.z, s);

  Quat q;
  q.x = bezier(a.rotation.x, a.rotationOut.x, b.rotationIn.x, b.rotation.x, s);
  q.y = bezier(a.rotation.y, a.rotationOut.y, b.rotationIn.y, b.rotation.y, s);
  q.z = bezier(a.rotation.z, a.rotationOut.z, b.rotationIn.z, b.rotation.z, s);
  q.w = bezier(a.rotation.w, a.rotationOut.w, b.rotationIn.w, b.rotation.w, s);
  const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (length != 0.0f) {
    q.x /= length;
    q.y /= length;
    q.z /= length;
    q.w /= length;
  }
  rotation = q;
}

SceneNode::~SceneNode() { delete track; }

void SceneNode::animate(float time) {
  if (!(flags & NODE_ANIMATED) || !track || track->keyCount <= 0) return;
  track->evaluate(time);
  position = track->position;
  rotation = track->rotation;
  if (flags & NODE_CAMERA) {
    if (auto* camera = dynamic_cast<Camera*>(attachment)) {
      camera->position = position;
      camera->rotation = rotation;
    }
  }
}

void Scene::animate(float time) {
  for (SceneNode* node : nodes) {
    if (node->flags & NODE_ANIMATED) node->animate(time);
  }
}
