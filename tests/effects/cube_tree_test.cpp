// The cube tree: the hierarchy the build makes and where the draw places
// each instance.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

#include "effects/cube_tree.h"

namespace {

int countNodes(const CubeTreeNode* node) {
  int n = 1;
  for (const CubeTreeNode* child : node->children) n += countNodes(child);
  return n;
}

const CubeTreeNode* childAt(const CubeTreeNode* node, int index) {
  auto it = node->children.begin();
  std::advance(it, index);
  return *it;
}

void markUnplaced(CubeTreeNode* node) {
  node->position.x = std::numeric_limits<float>::quiet_NaN();
  for (CubeTreeNode* child : node->children) markUnplaced(child);
}

int countPlaced(const CubeTreeNode* node) {
  int n = std::isnan(node->position.x) ? 0 : 1;
  for (const CubeTreeNode* child : node->children) n += countPlaced(child);
  return n;
}

// Independent pose model: p x R(q) component-wise times s, with R built from
// the half-angle quaternion.
struct Pose {
  Vec3 position, angles, scale;
};

Pose place(const Pose& base, float t, const CubeTreeLevel& level) {
  Pose p;
  p.position = {base.position.x + t * level.positionStep.x, base.position.y + t * level.positionStep.y,
                base.position.z + t * level.positionStep.z};
  p.angles = {base.angles.x + t * level.angleStep.x, base.angles.y + t * level.angleStep.y,
              base.angles.z + t * level.angleStep.z};
  p.scale = {base.scale.x + t * level.scaleStep.x, base.scale.y + t * level.scaleStep.y,
             base.scale.z + t * level.scaleStep.z};
  const double cx = std::cos(p.angles.x / 2.0), sx = std::sin(p.angles.x / 2.0);
  const double cy = std::cos(p.angles.y / 2.0), sy = std::sin(p.angles.y / 2.0);
  const double cz = std::cos(p.angles.z / 2.0), sz = std::sin(p.angles.z / 2.0);
  const double x = sx * cy * cz - cx * sy * sz, y = cx * sy * cz + sx * cy * sz;
  const double z = cx * cy * sz - sx * sy * cz, w = cx * cy * cz + sx * sy * sz;
  const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
                          {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
                          {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}};
  const double v[3] = {p.position.x, p.position.y, p.position.z};
  const double s[3] = {p.scale.x, p.scale.y, p.scale.z};
  double out[3];
  for (int c = 0; c < 3; ++c) out[c] = (v[0] * r[0][c] + v[1] * r[1][c] + v[2] * r[2][c]) * s[c];
  p.position = {static_cast<float>(out[0]), static_cast<float>(out[1]), static_cast<float>(out[2])};
  return p;
}

class CubeTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.createLevels();
    const int counts[3] = {6, 12, 6};
    for (int d = 0; d < 3; ++d) {
      tree.levels[d].maxIndex = static_cast<std::uint32_t>(counts[d]);
      tree.levels[d].childCount = counts[d];
    }
  }
  void TearDown() override { tree.destroy(); }
  CubeTree tree;
};

TEST(CubeTreeLevelTest, NewLevelsHaveTheDefaults) {
  CubeTree tree;
  tree.createLevels();
  EXPECT_EQ(tree.levelCount, 3);
  for (int d = 0; d < 3; ++d) {
    EXPECT_EQ(tree.levels[d].maxIndex, 4u);
    EXPECT_EQ(tree.levels[d].childCount, 4);
    EXPECT_EQ(tree.levels[d].node, nullptr);
    EXPECT_EQ(tree.levels[d].positionStep.x, 0.0f);
  }
  tree.destroy();
  EXPECT_EQ(tree.levels, nullptr);
  EXPECT_EQ(tree.levelCount, 0);
}

TEST_F(CubeTreeTest, BuildMakes511NodesPlacedByTheirParentsLevel) {
  tree.build();
  ASSERT_NE(tree.root, nullptr);
  EXPECT_EQ(countNodes(tree.root), 511);
  EXPECT_EQ(tree.root->children.size(), 6u);
  EXPECT_EQ(tree.root->level, &tree.levels[0]);
  const CubeTreeNode* child = childAt(tree.root, 5);
  EXPECT_EQ(child->level, &tree.levels[0]);
  EXPECT_EQ(child->children.size(), 12u);
  const CubeTreeNode* grandchild = childAt(child, 11);
  EXPECT_EQ(grandchild->level, &tree.levels[1]);
  EXPECT_EQ(grandchild->children.size(), 6u);
  const CubeTreeNode* leaf = childAt(grandchild, 0);
  EXPECT_EQ(leaf->level, &tree.levels[2]);
  EXPECT_TRUE(leaf->children.empty());
}

TEST_F(CubeTreeTest, RebuildingReplacesTheHierarchy) {
  tree.build();
  tree.levels[0].childCount = 2;
  tree.build();
  EXPECT_EQ(countNodes(tree.root), 1 + 2 + 24 + 144);
}

TEST_F(CubeTreeTest, WithZeroStepsAndAnglesEveryInstanceSitsAtTheBase) {
  tree.build();
  markUnplaced(tree.root);
  tree.draw(Vec3{1.5f, -2.0f, 3.0f}, Vec3{0, 0, 0});
  EXPECT_EQ(countPlaced(tree.root), 511);
  const CubeTreeNode* leaf = childAt(childAt(childAt(tree.root, 3), 7), 5);
  EXPECT_FLOAT_EQ(leaf->position.x, 1.5f);
  EXPECT_FLOAT_EQ(leaf->position.y, -2.0f);
  EXPECT_FLOAT_EQ(leaf->position.z, 3.0f);
  EXPECT_FLOAT_EQ(leaf->scale.x, 1.0f);
}

TEST_F(CubeTreeTest, TheRootIsItsBaseTurnedByItsOwnRotation) {
  tree.build();
  const float quarter = static_cast<float>(M_PI / 2);
  tree.draw(Vec3{1.0f, 0.0f, 0.0f}, Vec3{0.0f, 0.0f, quarter});
  // A quarter turn about z carries x onto y in the row-vector convention.
  EXPECT_NEAR(tree.root->position.x, 0.0f, 1e-6f);
  EXPECT_NEAR(tree.root->position.y, 1.0f, 1e-6f);
  EXPECT_NEAR(tree.root->position.z, 0.0f, 1e-6f);
  EXPECT_FLOAT_EQ(tree.root->angles.z, quarter);
}

TEST_F(CubeTreeTest, StepsFanTheSiblingsOutLevelByLevel) {
  tree.levels[0].positionStep = Vec3{0.5f, 0.0f, 0.25f};
  tree.levels[0].angleStep = Vec3{0.0f, 0.3f, 0.0f};
  tree.levels[1].positionStep = Vec3{0.0f, 1.0f, 0.0f};
  tree.levels[1].angleStep = Vec3{0.1f, 0.0f, 0.05f};
  tree.levels[1].scaleStep = Vec3{-0.02f, 0.01f, 0.0f};
  tree.levels[2].positionStep = Vec3{0.2f, 0.2f, -0.1f};
  tree.levels[2].angleStep = Vec3{0.0f, 0.0f, 0.7f};
  tree.build();
  const Vec3 basePosition{2.0f, 1.0f, -3.0f}, baseAngles{0.1f, 0.2f, 0.3f};
  tree.draw(basePosition, baseAngles);

  const Pose root = place(Pose{basePosition, baseAngles, Vec3{1, 1, 1}}, 0.0f, tree.levels[0]);
  const Pose child = place(root, 3.0f, tree.levels[0]);
  const Pose grandchild = place(child, 7.0f, tree.levels[1]);
  const Pose leaf = place(grandchild, 5.0f, tree.levels[2]);

  const CubeTreeNode* c = childAt(tree.root, 3);
  const CubeTreeNode* g = childAt(c, 7);
  const CubeTreeNode* l = childAt(g, 5);
  const struct {
    const CubeTreeNode* node;
    const Pose* pose;
  } checks[] = {{tree.root, &root}, {c, &child}, {g, &grandchild}, {l, &leaf}};
  for (const auto& check : checks) {
    EXPECT_NEAR(check.node->position.x, check.pose->position.x, 1e-4f);
    EXPECT_NEAR(check.node->position.y, check.pose->position.y, 1e-4f);
    EXPECT_NEAR(check.node->position.z, check.pose->position.z, 1e-4f);
    EXPECT_NEAR(check.node->angles.z, check.pose->angles.z, 1e-5f);
    EXPECT_NEAR(check.node->scale.x, check.pose->scale.x, 1e-6f);
  }
}

TEST_F(CubeTreeTest, MaxIndexPrunesSiblingsAndTheirSubtrees) {
  tree.levels[1].maxIndex = 0;  // only the first grandchild of each child
  tree.build();
  markUnplaced(tree.root);
  tree.draw(Vec3{}, Vec3{});
  EXPECT_EQ(countPlaced(tree.root), 1 + 6 + 6 * (1 + 6));
  tree.levels[0].maxIndex = 2;  // children 0..2
  markUnplaced(tree.root);
  tree.draw(Vec3{}, Vec3{});
  EXPECT_EQ(countPlaced(tree.root), 1 + 3 + 3 * 7);
}

TEST_F(CubeTreeTest, DrawingWithoutABuildDoesNothing) {
  tree.draw(Vec3{}, Vec3{});
  EXPECT_EQ(tree.root, nullptr);
}

}  // namespace
