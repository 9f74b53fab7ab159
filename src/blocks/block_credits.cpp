// The credits: dark pixel text on white, with the closing interface over it
// while the grain and the frame of the previous block fade out.
#include "blocks/block_steps.h"
#include "blocks/block_values.h"
#include "blocks/blocks.h"
#include "graphics/graphics_device.h"
#include "runtime/demo_resources.h"
#include "shader/shader_program.h"

void block_credits::render() {
  using namespace blocksteps;
  if (!g_graphicsDevice || !resources) return;
  DemoResources* r = resources;
  IDirect3DDevice9* device = g_graphicsDevice->device;
  CreditsValues v = creditsValues(nowMs, startMs, endMs);

  setClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  setup2D(640.0f, 480.0f);
  noTexture();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  drawFlatLayer(r->sceneCredits, true);
  blendNormal();

  ShaderProgram::setVector(r->filler2Shader, "auxiliar", v.auxiliar, 0.0f, 0.0f, 0.0f);
  drawFlatLayer(r->sceneGuiFinal, true);

  drawGrainAndFrame(r->noiseTexture, r->frameTexture2, v.fadeAlpha);

  animate(r->sceneCredits, v.animationTime);
}
