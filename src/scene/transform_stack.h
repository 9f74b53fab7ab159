// The stack of saved transforms kept in the GraphicsDevice.
#pragma once

#include <vector>

#include "graphics/value_types.h"
#include "scene/matrix4.h"

struct TransformStack {
  std::vector<Matrix4*> entries;  // each entry owns one heap matrix
};

void pushTransform();
void popTransform();
void clearTransformStack();
void applyScaling(const Vec3& scale);
