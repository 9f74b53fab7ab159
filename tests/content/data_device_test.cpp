// The demo data on a headless device: every scene builds its meshes, and the
// vertex layout of every model matches what draws it: the shader programs'
// profile for the materials the loading phase gives a program, vertex colours
// for those drawn by the fixed-function stages.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "platform/win32/win32_vorn.h"
#include "scene/scene.h"
#include "scene/transform_stack.h"
#include "shader/shader_source.h"

namespace {

std::string dataPath(const std::string& relative) { return std::string(VORN_DATA_DIR) + "/" + relative; }

// The materials the loading phase binds to a shader program, by scene file;
// the programs all draw scene models with one profile.
const std::map<std::string, std::set<std::string>>& programMaterials() {
  static const std::map<std::string, std::set<std::string>> table = {
      {"scene_1.nc", {"Metal", "Filler"}},
      {"scene_3.nc", {"Metal", "Filler"}},
      {"scene_2.nc", {"Material"}},
      {"scene_final.nc", {"Material", "Material.001", "Material.002", "Material.003", "Material.004"}},
      {"scene_gui_final.nc", {"Filler", "Rotater"}},
      {"scene_gui_tunel.nc", {"Dark", "Blue", "Yellow", "Rain"}},
      {"scene_comboios_tunel.nc", {"Metal"}},
      {"scene_3_greets.nc", {"Metal"}},
      {"scene_inicio.nc", {"Metal"}},
      {"loading_zel.compound", {"ProgressBar"}},
      {"scene_fita.nc", {}},
      {"scene_sky_final.nc", {}},
      {"scene_3_sky.nc", {}},
      {"scene_credits.nc", {}},
      {"intro.nc", {}},
  };
  return table;
}

class DemoDataOnDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    window = new AppWindow;
    ASSERT_TRUE(window->create("content test", 64, 48, false));
    graphics = GraphicsDevice::tryCreate(window->handle, 64, 48, 0);
    if (!graphics) GTEST_SKIP() << "no headless device";
    g_graphicsDevice = graphics;
  }
  void TearDown() override {
    if (graphics) {
      clearTransformStack();
      graphics->device->Release();
      graphics->direct3d->Release();
      delete graphics;
    }
    g_graphicsDevice = nullptr;
    if (window) window->destroy();  // destroy deletes the window too
    VornWin32_Reset();
  }
  AppWindow* window = nullptr;
  GraphicsDevice* graphics = nullptr;
};

std::vector<D3DVERTEXELEMENT9> declarationOf(ID3DXMesh* mesh) {
  D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH];
  std::vector<D3DVERTEXELEMENT9> out;
  if (mesh->GetDeclaration(elements) < 0) return out;
  for (int i = 0; i < MAXD3DDECLLENGTH && elements[i].Stream != 0xFF; ++i) out.push_back(elements[i]);
  return out;
}

bool sameLayout(const std::vector<D3DVERTEXELEMENT9>& a, const std::vector<D3DVERTEXELEMENT9>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].Offset != b[i].Offset || a[i].Type != b[i].Type || a[i].Usage != b[i].Usage ||
        a[i].UsageIndex != b[i].UsageIndex)
      return false;
  }
  return true;
}

}  // namespace

TEST_F(DemoDataOnDevice, EveryModelsLayoutMatchesWhatDrawsIt) {
  VertexProfile profile;
  std::vector<char> vs(SHADER_TEXT_SIZE, 0), ps(SHADER_TEXT_SIZE, 0);
  ASSERT_TRUE(readShaderSource(dataPath("shaders/simple_shading.nsl").c_str(), &profile, vs.data(), ps.data()));
  std::vector<D3DVERTEXELEMENT9> shaded = profile.toDeclaration();
  shaded.pop_back();  // the end marker
  for (const auto& [file, programs] : programMaterials()) {
    Scene scene;
    std::string error;
    ASSERT_TRUE(readScene(&scene, dataPath("models/" + file), &error)) << file << ": " << error;
    for (const Model* model : scene.models) {
      ASSERT_NE(model->mesh, nullptr) << file << " " << model->name;
      EXPECT_EQ(model->mesh->GetNumVertices(), model->vertexCount);
      EXPECT_EQ(model->mesh->GetNumFaces(), model->triangleCount);
      bool usesProgram = false, usesFixed = false;
      for (const MeshSubset& subset : model->subsets) {
        (programs.count(subset.material->name) ? usesProgram : usesFixed) = true;
      }
      EXPECT_FALSE(usesProgram && usesFixed) << file << " " << model->name << " mixes programs and fixed function";
      const std::vector<D3DVERTEXELEMENT9> layout = declarationOf(model->mesh);
      if (usesProgram) {
        EXPECT_TRUE(sameLayout(layout, shaded)) << file << " " << model->name;
        EXPECT_EQ(model->mesh->GetNumBytesPerVertex(), 40u);
      } else {
        bool colour = false;
        for (const D3DVERTEXELEMENT9& e : layout) colour |= e.Usage == D3DDECLUSAGE_COLOR && e.Type == D3DDECLTYPE_D3DCOLOR;
        EXPECT_TRUE(colour) << file << " " << model->name << " is drawn by the fixed stages without vertex colours";
      }
    }
    scene.destroy();
  }
}
