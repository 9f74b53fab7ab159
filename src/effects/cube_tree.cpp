#include "effects/cube_tree.h"

#include <cmath>

#include "scene/matrix4.h"
#include "scene/scene.h"

namespace {

constexpr int LEVEL_COUNT = 3;

Quat quaternionFromAngles(const Vec3& angles) {
  const float cx = std::cos(angles.x / 2.0f), sx = std::sin(angles.x / 2.0f);
  const float cy = std::cos(angles.y / 2.0f), sy = std::sin(angles.y / 2.0f);
  const float cz = std::cos(angles.z / 2.0f), sz = std::sin(angles.z / 2.0f);
  Quat q;
  q.x = sx * cy * cz - cx * sy * sz;
  q.y = cx * sy * cz + sx * cy * sz;
  q.z = cx * cy * sz - sx * sy * cz;
  q.w = cx * cy * cz + sx * sy * sz;
  return q;
}

Vec3 stepped(const Vec3& base, float t, const Vec3& step) {
  return Vec3{base.x + t * step.x, base.y + t * step.y, base.z + t * step.z};
}

// The children of a node built at depth d are placed by level d.
void buildNode(CubeTreeNode* node, CubeTreeLevel* levels, int levelCount, int depth) {
  node->level = &levels[depth];
  for (int i = 0; i < levels[depth].childCount; ++i) {
    CubeTreeNode* child = new CubeTreeNode;
    if (depth + 1 < levelCount) buildNode(child, levels, levelCount, depth + 1);
    child->level = node->level;
    node->children.push_back(child);
  }
}

void drawTreeNode(CubeTreeNode* node, std::uint32_t index, const Vec3& basePosition, const Vec3& baseAngles,
                  const Vec3& baseScale) {
  CubeTreeLevel* level = node->level;
  if (!level || index > level->maxIndex) return;
  const float t = static_cast<float>(index);
  node->position = stepped(basePosition, t, level->positionStep);
  node->scale = stepped(baseScale, t, level->scaleStep);
  node->angles = stepped(baseAngles, t, level->angleStep);

  const Quat q = quaternionFromAngles(node->angles);
  Matrix4 translation, rotation, scaling;
  translation.setTranslation(node->position.x, node->position.y, node->position.z);
  rotation.setRotation(q.x, q.y, q.z, q.w);
  scaling.setScaling(node->scale.x, node->scale.y, node->scale.z);
  const Matrix4 m = Matrix4::multiply(Matrix4::multiply(translation, rotation), scaling);
  node->position = Vec3{m.m[3][0], m.m[3][1], m.m[3][2]};

  if (SceneNode* shared = level->node) {
    shared->position = node->position;
    shared->rotation = quaternionFromAngles(node->angles);
    shared->scale = node->scale;
  }
  std::uint32_t childIndex = 0;
  for (CubeTreeNode* child : node->children) {
    drawTreeNode(child, childIndex, node->position, node->angles, node->scale);
    ++childIndex;
  }
  if (level->node) drawNode(level->node);
}

}  // namespace

CubeTreeNode::~CubeTreeNode() {
  for (CubeTreeNode* child : children) delete child;
  children.clear();
}

void CubeTree::createLevels() {
  delete[] levels;
  levels = new CubeTreeLevel[LEVEL_COUNT];
  levelCount = LEVEL_COUNT;
}

void CubeTree::build() {
  delete root;
  root = nullptr;
  if (!levels || levelCount < 1) return;
  root = new CubeTreeNode;
  buildNode(root, levels, levelCount, 0);
}

void CubeTree::draw(const Vec3& basePosition, const Vec3& baseAngles) {
  if (!root) return;
  drawTreeNode(root, 0, basePosition, baseAngles, Vec3{1.0f, 1.0f, 1.0f});
}

void CubeTree::destroy() {
  delete root;
  root = nullptr;
  delete[] levels;
  levels = nullptr;
  levelCount = 0;
}
