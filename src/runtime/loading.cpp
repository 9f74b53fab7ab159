// The loading phase: every scene, shader, render target, texture and effect
// of the show is built into DemoResources in a fixed order, with a frame of
// the progress screen between groups of loads.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "effects/cube_tree.h"
#include "graphics/graphics_device.h"
#include "graphics/render_target.h"
#include "graphics/transforms.h"
#include "platform/files/files.h"
#include "runtime/demo_resources.h"
#include "scene/scene.h"
#include "shader/shader_program.h"

namespace {

// The progress screen's own scene and program, alive while loading runs.
struct LoadingScreen {
  Scene* scene = nullptr;
  ShaderProgram* shader = nullptr;
  float aspectRatio = 1.3333334f;
};
LoadingScreen g_loadingScreen;
std::function<void(float)> g_progressObserver;

// The file each loaded scene came from, for the report of the names it
// lacks.
struct NamedScene {
  Scene* scene;
  const char* file;
};

// Scene files that could not be read (they have had their line already),
// and the names the phase looked up in the others and did not find: one
// line per file when loading ends.
std::set<std::string> g_unreadableScenes;
std::map<std::string, std::vector<std::string>> g_missingNames;

Scene* loadScene(const char* file) {
  Scene* scene = new Scene;
  if (!readScene(scene, file)) g_unreadableScenes.insert(file);
  return scene;
}

void reportMissing(const char* kind, const char* name, const char* file) {
  if (g_unreadableScenes.count(file)) return;
  std::vector<std::string>& names = g_missingNames[file];
  const std::string entry = std::string(kind) + " \"" + name + "\"";
  if (std::find(names.begin(), names.end(), entry) == names.end()) names.push_back(entry);
}

void reportMissingNames() {
  for (const auto& [file, names] : g_missingNames) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    reportDataFileProblem(("models\\" + file).c_str(), "lacks " + list + "; their settings are skipped");
  }
  g_missingNames.clear();
  g_unreadableScenes.clear();
}

Material* lookUpMaterial(const NamedScene& source, const char* name) {
  Material* material = source.scene ? source.scene->findMaterial(name) : nullptr;
  if (!material) reportMissing("material", name, source.file);
  return material;
}

// One row of the material table: program, flags and blend mode, with the
// blend mode left as the file gave it when the row has none.
void configure(const NamedScene& source, const char* name, ShaderProgram* program, std::uint32_t flags,
               int blendMode) {
  Material* material = lookUpMaterial(source, name);
  if (!material) return;
  material->program = program;
  material->flags = flags;
  if (blendMode >= 0) material->blendMode = static_cast<std::uint32_t>(blendMode);
}

template <typename T>
void destroyAndDelete(T*& object) {
  if (!object) return;
  object->destroy();
  delete object;
  object = nullptr;
}

void releaseProgram(ShaderProgram*& program) {
  if (!program) return;
  ShaderProgram::release(program);
  delete program;
  program = nullptr;
}

void deleteTexture(Texture*& texture) {
  delete texture;
  texture = nullptr;
}

void renderYardIntoStripTarget(DemoResources* r) {
  IDirect3DDevice9* device = g_graphicsDevice->device;
  TextureResource* target = r->fitaRenderTarget;
  bool drawable = target && target->renderToSurface && target->surface;
  if (drawable) {
    beginRenderTarget(target);
    g_graphicsDevice->clear();
  }
  if (r->scene1) r->scene1->animate(190.0f);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTexture(0, nullptr);
  setupCamera(r->aspectRatio, 35.0f, 0.2f, 487.0f);
  if (Camera* camera = r->scene1 ? r->scene1->findCamera("Camera") : nullptr) {
    camera->apply();
  } else {
    reportMissing("camera", "Camera", "scene_1.nc");
  }
  ShaderProgram::setVector(r->fillerShader, "auxiliar", 1.5f, 0.0f, 0.0f, 0.0f);
  if (r->scene1) r->scene1->draw();
  if (drawable) endRenderTarget(target);
}

}  // namespace

void setLoadingProgressObserver(std::function<void(float)> observer) { g_progressObserver = std::move(observer); }

void drawLoadingFrame(float progress) {
  if (g_progressObserver) g_progressObserver(progress);
  if (!g_graphicsDevice) return;
  g_graphicsDevice->clearColor = ColorF{1.0f / 255.0f, 1.0f / 255.0f, 1.0f / 255.0f, 1.0f / 255.0f};
  g_graphicsDevice->clear();
  setupCamera(g_loadingScreen.aspectRatio, 35.0f, 0.2f, 487.0f);
  setEulerView(0.0f, 0.0f, 9.0f, 0.0f, 0.0f, 0.0f);
  ShaderProgram::setVector(g_loadingScreen.shader, "auxiliar", progress, 0.0f, 0.0f, 0.0f);
  if (g_loadingScreen.scene) g_loadingScreen.scene->draw();
  g_graphicsDevice->endFrame();
}

void loadDemoResources(DemoResources* r) {
  if (!r || !g_graphicsDevice) return;
  g_loadingScreen.aspectRatio = r->aspectRatio;
  g_loadingScreen.scene = loadScene("loading_zel.compound");
  g_loadingScreen.shader = ShaderProgram::load("shaders\\filler_loading.nsl");
  const NamedScene loading{g_loadingScreen.scene, "loading_zel.compound"};
  if (lookUpMaterial(loading, "ProgressBar")) {
    // Each assignment looks the material up again, as the table rows do.
    loading.scene->findMaterial("ProgressBar")->program = g_loadingScreen.shader;
    loading.scene->findMaterial("ProgressBar")->flags = MAT_PROGRAM | MAT_BLEND;
    loading.scene->findMaterial("ProgressBar")->blendMode = 2;
  }
  drawLoadingFrame(0.1f);

  r->scene1 = loadScene("scene_1.nc");
  r->scene2 = loadScene("scene_2.nc");
  r->scene3 = loadScene("scene_3.nc");
  r->sceneFita = loadScene("scene_fita.nc");
  r->sceneFinal = loadScene("scene_final.nc");
  r->sceneSkyFinal = loadScene("scene_sky_final.nc");
  r->sceneGuiFinal = loadScene("scene_gui_final.nc");
  r->sceneComboiosTunel = loadScene("scene_comboios_tunel.nc");
  r->sceneGuiTunel = loadScene("scene_gui_tunel.nc");
  r->scene3Sky = loadScene("scene_3_sky.nc");
  r->scene3Greets = loadScene("scene_3_greets.nc");
  r->sceneInicio = loadScene("scene_inicio.nc");
  r->sceneCredits = loadScene("scene_credits.nc");
  r->sceneGuiFinal->animate(0.0f);
  drawLoadingFrame(0.2f);

  r->filler2Shader = ShaderProgram::load("shaders\\filler2.nsl");
  r->fillerShader = ShaderProgram::load("shaders\\filler.nsl");
  r->simpleShadingShader = ShaderProgram::load("shaders\\simple_shading.nsl");
  r->bloomShader = ShaderProgram::load("shaders\\bloom_pass.nsl");

  const NamedScene credits{r->sceneCredits, "scene_credits.nc"};
  const NamedScene scene1{r->scene1, "scene_1.nc"};
  const NamedScene scene2{r->scene2, "scene_2.nc"};
  const NamedScene scene3{r->scene3, "scene_3.nc"};
  const NamedScene final{r->sceneFinal, "scene_final.nc"};
  const NamedScene guiFinal{r->sceneGuiFinal, "scene_gui_final.nc"};
  const NamedScene guiTunel{r->sceneGuiTunel, "scene_gui_tunel.nc"};
  const NamedScene trains{r->sceneComboiosTunel, "scene_comboios_tunel.nc"};
  const NamedScene greets{r->scene3Greets, "scene_3_greets.nc"};
  const NamedScene inicio{r->sceneInicio, "scene_inicio.nc"};
  const std::uint32_t programBlend = MAT_PROGRAM | MAT_BLEND;

  if (Material* material = lookUpMaterial(credits, "Material.001")) {
    material->flags = MAT_BLEND;
    material->blendMode = 1;
  }
  configure(scene1, "Metal", r->simpleShadingShader, programBlend, 2);
  configure(scene3, "Metal", r->simpleShadingShader, programBlend, 2);
  configure(scene1, "Filler", r->fillerShader, programBlend, 2);
  configure(scene3, "Filler", r->fillerShader, programBlend, 2);
  configure(scene2, "Material", r->simpleShadingShader, programBlend, 2);
  if (Material* material = r->scene2->findMaterial("Material")) {
    material->ambient = ColorF{0.4f, 0.4f, 0.4f, 1.0f};
    material->diffuse = ColorF{1.0f, 1.0f, 1.0f, 1.0f};
  }
  for (const char* name : {"Material", "Material.001", "Material.002", "Material.003", "Material.004"}) {
    configure(final, name, r->simpleShadingShader, MAT_PROGRAM, -1);
    if (Material* material = r->sceneFinal->findMaterial(name)) material->ambient = ColorF{0.7f, 0.7f, 0.7f, 1.0f};
  }
  configure(guiFinal, "Filler", r->filler2Shader, programBlend, 2);
  configure(guiFinal, "Rotater", r->simpleShadingShader, programBlend, 2);
  for (const char* name : {"Dark", "Blue", "Yellow", "Rain"}) {
    configure(guiTunel, name, r->simpleShadingShader, programBlend, 2);
  }
  configure(guiTunel, "Blue", r->simpleShadingShader, programBlend, 2);
  configure(trains, "Metal", r->simpleShadingShader, programBlend, 2);
  configure(greets, "Metal", r->simpleShadingShader, programBlend, 2);
  configure(inicio, "Metal", r->simpleShadingShader, programBlend, 3);
  drawLoadingFrame(0.3f);

  const std::uint32_t kind = RT_TEXTURE | RT_OWNS_SURFACE;
  r->fitaRenderTarget = createRenderTarget(kind, 512, 512, 4);
  r->renderTargetA = createRenderTarget(kind, 512, 512, 4);
  r->renderTargetB = createRenderTarget(kind, 512, 512, 4);
  r->renderTargetC = createRenderTarget(kind, 512, 512, 4);
  drawLoadingFrame(0.35f);

  g_graphicsDevice->setTextureFilterDefaults(D3DTEXF_POINT);
  r->noiseTexture = new Texture("tex2d_noise.png");
  g_graphicsDevice->setTextureFilterDefaults(D3DTEXF_LINEAR);
  r->frameTexture = new Texture("tex2d_moldura.png");
  r->frameTexture2 = new Texture("tex2d_moldura2.png");
  r->trainTexture = new Texture("tex2d_train.png");
  r->particleTexture1 = new Texture("tex_particle_1.png");
  r->particleTexture2 = new Texture("tex_particle_2.png");
  drawLoadingFrame(0.4f);

  r->particles1.createUnitGrid();
  r->particles1.drift = Vec3{0.001f, 0.002f, 0.005f};
  r->particles2.createScaledGrid(40.0f);
  r->particles2.drift = Vec3{0.5f, 0.5f, -1.35f};

  renderYardIntoStripTarget(r);

  r->fitaTexture = new Texture();
  r->fitaTexture->resource = r->fitaRenderTarget;
  if (Material* fita = lookUpMaterial(NamedScene{r->sceneFita, "scene_fita.nc"}, "Fita")) {
    fita->textures.push_back(r->fitaTexture);
  }

  r->cubeTree.createLevels();
  const std::uint32_t treeCounts[3] = {6, 12, 6};
  for (int depth = 0; depth < 3 && depth < r->cubeTree.levelCount; ++depth) {
    CubeTreeLevel& level = r->cubeTree.levels[depth];
    level.maxIndex = treeCounts[depth];
    level.childCount = static_cast<std::int32_t>(treeCounts[depth]);
    level.node = r->scene1->findNode("Cube.024");
  }
  if (!r->scene1->findNode("Cube.024")) reportMissing("node", "Cube.024", "scene_1.nc");
  r->cubeTree.build();

  float p = 0.5f;
  do {
    drawLoadingFrame(p);
    p = static_cast<float>(static_cast<double>(p) + 1.0 / 120.0);
  } while (p < 1.0f);

  reportMissingNames();

  // The progress screen is not used after loading.
  if (g_loadingScreen.scene) destroyAndDelete(g_loadingScreen.scene);
  releaseProgram(g_loadingScreen.shader);
}

void releaseDemoResources(DemoResources* r) {
  if (!r) return;
  for (Scene** scene : {&r->scene1, &r->scene2, &r->scene3, &r->sceneFinal, &r->sceneFita, &r->sceneGuiTunel,
                        &r->scene3Sky, &r->scene3Greets, &r->sceneInicio, &r->sceneCredits}) {
    destroyAndDelete(*scene);
  }
  for (ShaderProgram** program : {&r->filler2Shader, &r->fillerShader, &r->simpleShadingShader, &r->bloomShader}) {
    releaseProgram(*program);
  }
  for (TextureResource** target : {&r->renderTargetA, &r->renderTargetB, &r->renderTargetC}) {
    if (*target) destroyRenderTarget(*target);
    *target = nullptr;
  }
  // The strip's texture owns its render target.
  if (r->fitaTexture) r->fitaRenderTarget = nullptr;
  for (Texture** texture : {&r->fitaTexture, &r->noiseTexture, &r->frameTexture, &r->trainTexture,
                            &r->particleTexture1}) {
    deleteTexture(*texture);
  }
  for (Scene** scene : {&r->sceneComboiosTunel, &r->sceneSkyFinal, &r->sceneGuiFinal}) destroyAndDelete(*scene);
  for (Texture** texture : {&r->frameTexture2, &r->particleTexture2}) deleteTexture(*texture);
  r->particles2.freeParticles();
  r->particles1.freeParticles();
  r->cubeTree.destroy();
}
