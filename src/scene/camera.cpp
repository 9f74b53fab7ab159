// Camera placement: the view becomes T(-position) x R(conjugate rotation).
#include "graphics/transforms.h"
#include "platform/d3dx9/d3dx9.h"
#include "scene/scene.h"

void Camera::apply() const {
  loadIdentity();
  D3DXQUATERNION conjugate{-rotation.x, -rotation.y, -rotation.z, rotation.w};
  D3DXMATRIX turn;
  D3DXMatrixRotationQuaternion(&turn, &conjugate);
  multiplyTransform(turn);
  D3DXMATRIX move;
  D3DXMatrixTranslation(&move, -position.x, -position.y, -position.z);
  multiplyTransform(move);
}
