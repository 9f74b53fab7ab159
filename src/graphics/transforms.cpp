#include "graphics/transforms.h"

#include <cstring>

#include "graphics/graphics_device.h"

namespace {

// Degrees to radians as a 32-bit float, and 2 pi as the Euler view uses it.
constexpr float kDegreesToRadians = 0.017453292f;
constexpr double kTwoPi = 6.2831854820251465;

IDirect3DDevice9* device() { return g_graphicsDevice ? g_graphicsDevice->device : nullptr; }

void beginDeviceScene() {
  GraphicsDevice* graphics = g_graphicsDevice;
  if (graphics->inScene) {
    graphics->device->EndScene();
    graphics->inScene = 0;
  }
  graphics->device->BeginScene();
  graphics->inScene = 1;
}

// -angle degrees in radians, computed in double and rounded to a float.
float negatedRadians(float degrees) { return static_cast<float>(-static_cast<double>(degrees) * kTwoPi / 360.0); }

}  // namespace

void loadIdentity() {
  if (!device()) return;
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  device()->SetTransform(g_graphicsDevice->currentTransform, &identity);
}

void multiplyTransform(const D3DXMATRIX& m) {
  if (!device()) return;
  const D3DTRANSFORMSTATETYPE current = g_graphicsDevice->currentTransform;
  D3DXMATRIX k;
  device()->GetTransform(current, &k);
  std::memcpy(g_graphicsDevice->objectMatrix, &m._11, sizeof g_graphicsDevice->objectMatrix);
  D3DXMATRIX r;
  D3DXMatrixMultiply(&r, &m, &k);
  device()->SetTransform(current, &r);
}

void getTransformOrViewport(int kind, float out[16]) {
  if (!device()) return;
  if (kind == 0) {
    D3DVIEWPORT9 viewport{};
    device()->GetViewport(&viewport);
    out[0] = static_cast<float>(viewport.X);
    out[1] = static_cast<float>(viewport.Y);
    out[2] = static_cast<float>(viewport.Width);
    out[3] = static_cast<float>(viewport.Height);
  } else if (kind == 1 || kind == 2) {
    D3DMATRIX matrix;
    device()->GetTransform(kind == 1 ? D3DTS_PROJECTION : D3DTS_VIEW, &matrix);
    std::memcpy(out, &matrix._11, 16 * sizeof(float));
  }
}

void beginPerspective(float aspect, float fovDegrees, float zNear, float zFar) {
  if (!device()) return;
  beginDeviceScene();
  D3DXMATRIX perspective;
  D3DXMatrixPerspectiveFovRH(&perspective, fovDegrees * kDegreesToRadians, aspect, zNear, zFar);
  device()->SetTransform(g_graphicsDevice->currentTransform, &perspective);
  device()->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

void beginOrtho2D(float width, float height) {
  if (!device()) return;
  beginDeviceScene();
  // A negative view height turns y downwards: (0, 0) is the top-left corner.
  D3DXMATRIX ortho;
  D3DXMatrixOrthoRH(&ortho, width, -height, -1.0f, 1.0f);
  device()->SetTransform(g_graphicsDevice->currentTransform, &ortho);
  D3DXMATRIX centre;
  D3DXMatrixTranslation(&centre, -width / 2.0f, -height / 2.0f, 0.0f);
  multiplyTransform(centre);
}

void setupCamera(float aspect, float fovDegrees, float zNear, float zFar) {
  if (!device()) return;
  g_graphicsDevice->currentTransform = D3DTS_PROJECTION;
  loadIdentity();
  beginPerspective(aspect, fovDegrees, zNear, zFar);
  g_graphicsDevice->currentTransform = D3DTS_VIEW;
  loadIdentity();
  device()->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

void setEulerView(float px, float py, float pz, float ax, float ay, float az) {
  if (!device()) return;
  loadIdentity();
  D3DXMATRIX m;
  D3DXMatrixRotationX(&m, negatedRadians(ax));
  multiplyTransform(m);
  D3DXMatrixRotationY(&m, negatedRadians(ay));
  multiplyTransform(m);
  D3DXMatrixRotationZ(&m, negatedRadians(az));
  multiplyTransform(m);
  D3DXMatrixTranslation(&m, -px, -py, -pz);
  multiplyTransform(m);
}
