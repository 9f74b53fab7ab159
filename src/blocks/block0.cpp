// The title: the intro scene flat on the screen, its metal flickering grey.
#include "blocks/block_steps.h"
#include "blocks/blocks.h"
#include "effects/random.h"
#include "graphics/graphics_device.h"
#include "runtime/demo_resources.h"
#include "scene/scene.h"

void block0::render() {
  using namespace blocksteps;
  if (!g_graphicsDevice) return;
  IDirect3DDevice9* device = g_graphicsDevice->device;
  Scene* scene = resources ? resources->sceneInicio : nullptr;

  setClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  setup2D(640.0f, 480.0f);

  float grey = static_cast<float>(vornRand()) / 32767.0f * 0.8f + 0.2f;
  if (Material* metal = scene ? scene->findMaterial("Metal") : nullptr) metal->diffuse = ColorF{grey, grey, grey, 1.0f};

  noTexture();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  drawFlatLayer(scene, true);
  blendNormal();
}
