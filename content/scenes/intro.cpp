// The configuration screen's background: six gears and rings, additive orange
// on black, seen by the camera "Camera" from (0, 0, 30) down -z. The screen
// turns each node "P1".."P6" about its own z axis (P2 at 8t, P3 at -4t,
// P6 at 12t: P2 and P6 mesh with P3, their pitch radii in the ratio of those
// speeds; P1, P4 and P5 are rings that swing back and forth) and the whole
// picture slowly about the origin.
#include <cmath>

#include "common/preview.h"
#include "scene_main.h"

using namespace content;

namespace {

constexpr float kModule = 0.3f;  // pitch radius = teeth x module / 2

Rgba dim(float k) { return {0.55f * k, 0.24f * k, 0.05f * k, 1}; }

// A gear drawn as a faint disc with a bright tooth outline, hub and spokes.
Mesh gearMesh(int teeth, float phase, int spokes) {
  Mesh mesh;
  const float pitch = teeth * kModule * 0.5f;
  const float tip = pitch + kModule, root = pitch - 1.25f * kModule;
  const float rim = root - 0.35f, hub = std::max(0.5f, pitch * 0.18f);
  mesh.color = dim(0.25f);
  addRingXY(mesh, rim, root, teeth * 2);
  mesh.color = dim(1.0f);
  addPolygonBand(mesh, gearOutline(teeth, root, tip, phase), 0.07f);
  mesh.color = dim(0.7f);
  addRingXY(mesh, rim - 0.08f, rim, teeth * 2);
  addRingXY(mesh, hub - 0.12f, hub, 32);
  mesh.color = dim(0.45f);
  for (int i = 0; i < spokes; ++i) {
    Mesh spoke;
    spoke.color = mesh.color;
    addRect(spoke, hub, -0.09f, rim - 0.08f, 0.09f);
    mesh.append(spoke, M4::rotationZ(phase + 2 * kPi * (static_cast<float>(i) + 0.5f) / static_cast<float>(spokes)));
  }
  return mesh;
}

// A ring with notches and a few broken arcs.
Mesh ringMesh(float radius, float width, int notches, int arcs) {
  Mesh mesh;
  mesh.color = dim(0.8f);
  addRingXY(mesh, radius - width, radius, 96);
  mesh.color = dim(0.45f);
  for (int i = 0; i < notches; ++i) {
    const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(notches);
    Mesh notch;
    notch.color = mesh.color;
    addRect(notch, radius, -0.05f, radius + (i % 4 == 0 ? 0.5f : 0.25f), 0.05f);
    mesh.append(notch, M4::rotationZ(a));
  }
  mesh.color = dim(0.6f);
  for (int i = 0; i < arcs; ++i) {
    const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(arcs);
    addRingXY(mesh, radius - width - 0.45f, radius - width - 0.3f, 24, a, a + 2 * kPi / static_cast<float>(arcs) * 0.6f);
  }
  return mesh;
}

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  // Blended materials draw with the factors the screen sets (one, one).
  const std::uint32_t glow = scene.material("Glow", {1, 1, 1, 1}, MAT_BLEND);
  const int t3 = 36, t2 = 18, t6 = 12;
  const float r3 = t3 * kModule * 0.5f, r2 = t2 * kModule * 0.5f, r6 = t6 * kModule * 0.5f;
  const V3 c3{-2.5f, 0.8f, 0};
  // P2 meets P3 at angle phi, P6 at psi (a whole number of P3's teeth apart).
  const float phi = 0.35f;
  const float psi = phi + 2 * kPi * 14.0f / t3;
  const V3 c2 = c3 + V3{std::cos(phi), std::sin(phi), 0} * (r3 + r2);
  const V3 c6 = c3 + V3{std::cos(psi), std::sin(psi), 0} * (r3 + r6);
  // Phases: P3 has a tooth at phi (and so at psi); the others a gap facing it.
  const float p3 = phi, p2 = phi + kPi + kPi / t2, p6 = psi + kPi + kPi / t6;

  const std::uint32_t camera = scene.camera("Camera");
  scene.cameraNode("Camera", camera, {0, 0, 30}, {});
  scene.object("P1", ringMesh(9.0f, 0.12f, 48, 5), Layout::Colored, {glow}, {0.5f, -0.3f, 0});
  scene.object("P2", gearMesh(t2, p2, 5), Layout::Colored, {glow}, c2);
  scene.object("P3", gearMesh(t3, p3, 6), Layout::Colored, {glow}, c3);
  scene.object("P4", ringMesh(3.2f, 0.1f, 24, 3), Layout::Colored, {glow}, {7.0f, -3.5f, 0});
  scene.object("P5", ringMesh(2.2f, 0.1f, 16, 2), Layout::Colored, {glow}, {-9.5f, -4.0f, 0});
  scene.object("P6", gearMesh(t6, p6, 4), Layout::Colored, {glow}, c6);
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.camera = "Camera";
  view.fovDegrees = 36;
  view.aspect = 1.75f;
  view.zn = 6;
  view.zf = 1000;
  PreviewOptions options;
  options.styles["Glow"] = {MaterialLook::Vertex, BlendMode::Additive, {}, false, {}};
  writePreview(dir + "/intro.png", scene.record(), view, options, {0, 0, 0, 1}, 350, 200);
}
