// The stack of saved transforms. Entries save and restore whichever
// transform the device names as current at the moment of each push and pop.
#include "scene/transform_stack.h"

#include <cstring>

#include "graphics/graphics_device.h"
#include "graphics/transforms.h"
#include "platform/d3dx9/d3dx9.h"

void pushTransform() {
  GraphicsDevice* gd = g_graphicsDevice;
  if (!gd || !gd->device) return;
  if (!gd->transformStack) gd->transformStack = new TransformStack;
  D3DMATRIX current;
  gd->device->GetTransform(gd->currentTransform, &current);
  Matrix4* saved = new Matrix4;
  std::memcpy(saved->m, current.m, sizeof saved->m);
  gd->transformStack->entries.push_back(saved);
}

void popTransform() {
  GraphicsDevice* gd = g_graphicsDevice;
  if (!gd || !gd->transformStack || gd->transformStack->entries.empty()) return;
  Matrix4* saved = gd->transformStack->entries.back();
  gd->transformStack->entries.pop_back();
  if (gd->device) {
    D3DMATRIX restored;
    std::memcpy(restored.m, saved->m, sizeof restored.m);
    gd->device->SetTransform(gd->currentTransform, &restored);
  }
  delete saved;
}

void clearTransformStack() {
  GraphicsDevice* gd = g_graphicsDevice;
  if (!gd || !gd->transformStack) return;
  for (Matrix4* saved : gd->transformStack->entries) delete saved;
  delete gd->transformStack;
  gd->transformStack = nullptr;
}

void applyScaling(const Vec3& scale) {
  D3DXMATRIX s;
  D3DXMatrixScaling(&s, scale.x, scale.y, scale.z);
  multiplyTransform(s);
}
