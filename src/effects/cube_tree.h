// The procedural tree of 511 instances of one scene node.
#pragma once

#include <cstdint>
#include <list>

#include "graphics/value_types.h"

struct SceneNode;

struct CubeTreeLevel {
  std::uint32_t maxIndex = 4;
  std::int32_t childCount = 4;
  SceneNode* node = nullptr;
  Vec3 positionStep;
  Vec3 angleStep;
  Vec3 scaleStep;
};

struct CubeTreeNode {
  Vec3 position;
  Vec3 angles;
  Vec3 scale;
  CubeTreeLevel* level = nullptr;
  std::list<CubeTreeNode*> children;  // owned
  ~CubeTreeNode();
};

struct CubeTree {
  CubeTreeNode* root = nullptr;
  CubeTreeLevel* levels = nullptr;  // owned array
  std::int32_t levelCount = 0;

  void createLevels();
  void build();
  void draw(const Vec3& basePosition, const Vec3& baseAngles);
  void destroy();  // root, then the level records
};
