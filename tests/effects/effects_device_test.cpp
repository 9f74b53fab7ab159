// Effects on the headless device: the state they leave and the shared node
// of the cube tree.
#include <gtest/gtest.h>

#include <cstring>

#include "effects/cube_tree.h"
#include "effects/particle_field.h"
#include "effects/random.h"
#include "scene/scene.h"
#include "ui2d/headless_device.h"

namespace {

TEST(EffectsOnDevice, ParticlesTurnPointSpritesOffAfterDrawing) {
  HeadlessDevice dev;
  OPEN_HEADLESS(dev, 64, 64);
  vornSeedRandom(1);
  ParticleField field;
  field.createUnitGrid();
  dev.graphics()->pointSize = 0.5f;
  setupCamera(1.0f, 60.0f, 0.2f, 100.0f);
  field.drawTimed(true, 1.0f);
  EXPECT_EQ(dev.renderState(D3DRS_POINTSPRITEENABLE), static_cast<DWORD>(FALSE));
  EXPECT_EQ(dev.renderState(D3DRS_POINTSCALEENABLE), static_cast<DWORD>(FALSE));
  const DWORD size = dev.renderState(D3DRS_POINTSIZE);
  float sizeValue = 0.0f;
  std::memcpy(&sizeValue, &size, sizeof sizeValue);
  EXPECT_EQ(sizeValue, 0.5f);  // the preset took the device's point size
  field.freeParticles();
}

TEST(EffectsOnDevice, TheSharedNodeKeepsThePoseOfTheLastInstance) {
  HeadlessDevice dev;
  OPEN_HEADLESS(dev, 64, 64);
  SceneNode shared;
  shared.name = "Cube.024";
  CubeTree tree;
  tree.createLevels();
  const int counts[3] = {6, 12, 6};
  for (int d = 0; d < 3; ++d) {
    tree.levels[d].maxIndex = static_cast<std::uint32_t>(counts[d]);
    tree.levels[d].childCount = counts[d];
    tree.levels[d].node = &shared;
    tree.levels[d].positionStep = Vec3{0.1f * (d + 1), 0.0f, 0.0f};
    tree.levels[d].scaleStep = Vec3{0.0f, 0.01f, 0.0f};
  }
  tree.build();
  setupCamera(1.0f, 60.0f, 0.2f, 100.0f);
  tree.draw(Vec3{0, 0, -10}, Vec3{0, 0, 0});
  // The last drawn leaf: the last child of the last grandchild of the last
  // child; every node with children draws after them, so the root draws
  // last with the pose its descendants left.
  const CubeTreeNode* leaf = tree.root->children.back()->children.back()->children.back();
  EXPECT_FLOAT_EQ(shared.position.x, leaf->position.x);
  EXPECT_FLOAT_EQ(shared.scale.y, leaf->scale.y);
  // The transform stack is balanced after 511 node draws.
  float view[16];
  getTransformOrViewport(2, view);
  EXPECT_EQ(view[12], 0.0f);
  EXPECT_EQ(view[15], 1.0f);
  tree.destroy();
}

}  // namespace
