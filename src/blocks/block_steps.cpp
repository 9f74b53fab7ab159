#include "blocks/block_steps.h"

#include <cmath>

#include "effects/noise_overlay.h"
#include "graphics/graphics_device.h"
#include "graphics/render_target.h"
#include "graphics/transforms.h"
#include "scene/scene.h"
#include "scene/transform_stack.h"
#include "shader/shader_program.h"
#include "ui2d/bitmap_font.h"

namespace blocksteps {

namespace {
IDirect3DDevice9* device() { return g_graphicsDevice ? g_graphicsDevice->device : nullptr; }
std::uint8_t lowByte(double value) { return static_cast<std::uint8_t>(static_cast<std::int64_t>(value) & 0xff); }
}  // namespace

float progress(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs) {
  if (endMs == startMs) return 0.0f;
  return static_cast<float>(nowMs - startMs) / static_cast<float>(endMs - startMs);
}

ColorRGBA glowColor(double pulse) {
  return ColorRGBA{lowByte(100.0 * pulse + 155.0), lowByte(100.0 * pulse + 100.0), 0, 255};
}

double pow8(double x) {
  double squared = x * x;
  double fourth = squared * squared;
  return fourth * fourth;
}

void setClearColor(float r, float g, float b, float a) {
  if (g_graphicsDevice) g_graphicsDevice->clearColor = ColorF{r, g, b, a};
}

void setup2D(float width, float height) {
  if (!g_graphicsDevice) return;
  g_graphicsDevice->currentTransform = D3DTS_PROJECTION;
  loadIdentity();
  beginOrtho2D(width, height);
  g_graphicsDevice->currentTransform = D3DTS_VIEW;
  loadIdentity();
  if (device()) device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
}

void setup3D(float aspect, float fovDegrees, float zNear, float zFar, const Scene* cameraScene,
             const char* cameraName) {
  if (!g_graphicsDevice) return;
  setupCamera(aspect, fovDegrees, zNear, zFar);
  if (!cameraScene) return;
  if (const Camera* camera = cameraScene->findCamera(cameraName)) camera->apply();
}

void noTexture() {
  if (device()) device()->SetTexture(0, nullptr);
}

void setBlend(std::uint32_t source, std::uint32_t destination) {
  if (!device()) return;
  device()->SetRenderState(D3DRS_SRCBLEND, source);
  device()->SetRenderState(D3DRS_DESTBLEND, destination);
}

void blendNormal() { setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA); }
void blendAdditive() { setBlend(D3DBLEND_ONE, D3DBLEND_ONE); }

void unshade() {
  if (!device()) return;
  device()->SetVertexShader(nullptr);
  device()->SetPixelShader(nullptr);
}

void bindProgramOrUnshade(ShaderProgram* program) {
  if (program) {
    ShaderProgram::bind(program);
  } else {
    unshade();
  }
}

void beginTarget(TextureResource* target) {
  beginRenderTarget(target);
  if (target && target->renderToSurface && target->surface && g_graphicsDevice) g_graphicsDevice->clear();
}

void endTarget(TextureResource* target) { endRenderTarget(target); }

void drawScene(Scene* scene) {
  if (scene) scene->draw();
}

void drawFlatLayer(Scene* scene, bool flipY) {
  if (!g_graphicsDevice) return;
  pushTransform();
  D3DXMATRIX translation;
  D3DXMatrixTranslation(&translation, 320.0f, 240.0f, 0.0f);
  multiplyTransform(translation);
  applyScaling(Vec3{1000.0f, flipY ? -1000.0f : 1000.0f, 1000.0f});
  drawScene(scene);
  popTransform();
}

void animate(Scene* scene, float time) {
  if (scene) scene->animate(time);
}

void blurPass(ShaderProgram* bloom, TextureResource* source, TextureResource* target, float dx, float dy) {
  if (!g_graphicsDevice) return;
  beginTarget(target);
  setup2D(512.0f, 512.0f);
  bindProgramOrUnshade(bloom);
  ShaderProgram::setVector(bloom, "direction", dx, dy, 1.0f, 0.0f);
  g_graphicsDevice->bindTextureResource(0, source);
  DrawTexturedRect(0, 0, 512, 512, ColorRGBA{255, 255, 255, 255});
  unshade();
  endTarget(target);
}

void drawFullScreen(TextureResource* source, ColorRGBA color) {
  if (!g_graphicsDevice) return;
  g_graphicsDevice->bindTextureResource(0, source);
  DrawTexturedRect(0, 0, 640, 480, color);
}

void drawGrainAndFrame(const Texture* noise, const Texture* frame, std::uint8_t alpha) {
  BindTextureStage(noise, 0);
  drawNoiseOverlay(ColorRGBA{100, 100, 100, alpha});
  BindTextureStage(frame, 0);
  DrawTexturedRect(0, 0, 640, 480, ColorRGBA{255, 255, 255, alpha});
}

}  // namespace blocksteps
