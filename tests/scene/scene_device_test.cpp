// Scene code against a real headless device: the transform stack, material
// binding read back through the device's states, mesh building and the
// drawing passes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "graphics/transforms.h"
#include "platform/d3dx9/d3dx9.h"
#include "scene/transform_stack.h"
#include "scene_device.h"
#include "scene_test_support.h"

using namespace scenetest;

namespace {

// A mesh that records its draws and, for each, what the device looked like.
struct RecordingMesh final : ID3DXMesh {
  IDirect3DDevice9* device = nullptr;
  std::vector<DWORD> drawn;
  std::vector<DWORD> fogWhileDrawn;
  std::vector<D3DMATRIX> viewWhileDrawn;

  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT DrawSubset(DWORD attribId) override {
    drawn.push_back(attribId);
    DWORD fog = 0;
    device->GetRenderState(D3DRS_FOGENABLE, &fog);
    fogWhileDrawn.push_back(fog);
    D3DMATRIX view;
    device->GetTransform(D3DTS_VIEW, &view);
    viewWhileDrawn.push_back(view);
    return D3D_OK;
  }
  DWORD GetNumFaces() override { return 0; }
  DWORD GetNumVertices() override { return 0; }
  DWORD GetNumBytesPerVertex() override { return 0; }
  DWORD GetOptions() override { return 0; }
  HRESULT GetDeclaration(D3DVERTEXELEMENT9*) override { return E_FAIL; }
  HRESULT LockVertexBuffer(DWORD, void**) override { return E_FAIL; }
  HRESULT UnlockVertexBuffer() override { return E_FAIL; }
  HRESULT LockIndexBuffer(DWORD, void**) override { return E_FAIL; }
  HRESULT UnlockIndexBuffer() override { return E_FAIL; }
  HRESULT LockAttributeBuffer(DWORD, DWORD**) override { return E_FAIL; }
  HRESULT UnlockAttributeBuffer() override { return E_FAIL; }
};

class SceneDevice : public SceneDeviceTest {
 protected:
  void TearDown() override {
    for (Texture* t : textures_) delete t;
    SceneDeviceTest::TearDown();
  }
  // A texture with a real 2 x 2 image, owned by the fixture.
  Texture* makeTexture() {
    auto* t = new Texture;
    t->resource = new TextureResource;
    t->resource->kind = 1;
    IDirect3DTexture9* image = nullptr;
    EXPECT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &image, nullptr), D3D_OK);
    t->resource->texture = image;
    textures_.push_back(t);
    return t;
  }
  std::vector<Texture*> textures_;
};

}  // namespace

TEST_F(SceneDevice, PopRestoresWhatPushSaved) {
  graphics->currentTransform = D3DTS_VIEW;
  setTransform(D3DTS_VIEW, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  const D3DMATRIX saved = transform(D3DTS_VIEW);
  pushTransform();
  pushTransform();
  ASSERT_NE(graphics->transformStack, nullptr);
  EXPECT_EQ(graphics->transformStack->entries.size(), 2u);
  applyScaling({2, 3, 4});
  // Scaling multiplies on the left: row r of the result is row r of the
  // current matrix times the scale of r.
  const D3DMATRIX scaled = transform(D3DTS_VIEW);
  EXPECT_EQ(scaled.m[0][1], 2.0f * 2);
  EXPECT_EQ(scaled.m[1][1], 3.0f * 6);
  EXPECT_EQ(scaled.m[2][3], 4.0f * 12);
  EXPECT_EQ(scaled.m[3][0], 13.0f);
  popTransform();
  EXPECT_TRUE(sameMatrix(transform(D3DTS_VIEW), saved));
  loadIdentity();
  popTransform();
  EXPECT_TRUE(sameMatrix(transform(D3DTS_VIEW), saved));
  EXPECT_TRUE(graphics->transformStack->entries.empty());
  // Popping an empty stack changes nothing.
  loadIdentity();
  popTransform();
  EXPECT_EQ(transform(D3DTS_VIEW).m[0][1], 0.0f);
}

TEST_F(SceneDevice, PopRestoresIntoWhicheverTransformIsCurrent) {
  graphics->currentTransform = D3DTS_VIEW;
  setTransform(D3DTS_VIEW, {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
  setTransform(D3DTS_PROJECTION, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  pushTransform();
  graphics->currentTransform = D3DTS_PROJECTION;
  popTransform();
  EXPECT_EQ(transform(D3DTS_PROJECTION).m[0][0], 2.0f);
  clearTransformStack();
  EXPECT_EQ(graphics->transformStack, nullptr);
  popTransform();  // no stack at all: nothing happens
  pushTransform();
  EXPECT_EQ(graphics->transformStack->entries.size(), 1u);
}

TEST_F(SceneDevice, RenderSwitchKinds) {
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  setRenderSwitch(1, 1);
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
  EXPECT_EQ(renderState(D3DRS_DIFFUSEMATERIALSOURCE), DWORD(D3DMCS_COLOR1));
  EXPECT_EQ(stageState(0, D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
  EXPECT_EQ(stageState(0, D3DTSS_COLORARG1), D3DTA_TEXTURE);
  EXPECT_EQ(stageState(0, D3DTSS_COLORARG2), D3DTA_DIFFUSE);
  EXPECT_EQ(stageState(0, D3DTSS_ALPHAOP), DWORD(D3DTOP_MODULATE));
  EXPECT_EQ(stageState(0, D3DTSS_ALPHAARG1), D3DTA_DIFFUSE);
  EXPECT_EQ(stageState(0, D3DTSS_ALPHAARG2), D3DTA_TEXTURE);
  setRenderSwitch(1, 0);
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
  setRenderSwitch(6, TRUE);
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), DWORD(TRUE));
  setRenderSwitch(7, TRUE);
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(TRUE));
  setRenderSwitch(9, D3DCMP_LESS);
  EXPECT_EQ(renderState(D3DRS_ALPHAFUNC), DWORD(D3DCMP_LESS));
  // The other kinds touch nothing.
  for (int kind : {2, 3, 4, 5, 8, 10}) setRenderSwitch(kind, 0);
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), DWORD(TRUE));
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(TRUE));
  EXPECT_EQ(renderState(D3DRS_ALPHAFUNC), DWORD(D3DCMP_LESS));
}

TEST_F(SceneDevice, AlphaTestedBlendingAndItsUnbinding) {
  Material m;
  m.flags = MAT_BLEND;
  m.blendMode = 2;
  m.diffuse = {0.2f, 0.4f, 0.6f, 0.5f};
  m.specular = {1, 0, 0, 1};
  m.ambient = {0, 0, 1, 1};
  bindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), DWORD(TRUE));
  EXPECT_EQ(renderState(D3DRS_ALPHAFUNC), DWORD(D3DCMP_GREATEREQUAL));
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 127u);
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(FALSE));
  EXPECT_EQ(graphics->materialDiffuse.g, 0.4f);
  EXPECT_EQ(graphics->materialSpecular.r, 1.0f);
  EXPECT_EQ(graphics->materialAmbient.b, 1.0f);
  unbindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), DWORD(FALSE));
  // What the switch set for stage 0 stays.
  EXPECT_EQ(stageState(0, D3DTSS_ALPHAARG1), D3DTA_DIFFUSE);
  EXPECT_EQ(renderState(D3DRS_DIFFUSEMATERIALSOURCE), DWORD(D3DMCS_COLOR1));

  // The alpha reference stays in its byte range whatever the alpha.
  m.diffuse.a = 1.0f;
  bindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 255u);
  m.diffuse.a = 3.0f;
  bindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 255u);
  m.diffuse.a = -1.0f;
  bindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 0u);
  m.diffuse.a = std::nanf("");
  bindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 0u);
}

TEST_F(SceneDevice, AdditiveBlendingLeavesTheStandardFactorsAfterUnbinding) {
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  Material m;
  m.flags = MAT_BLEND;
  m.blendMode = 3;
  bindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
  EXPECT_EQ(renderState(D3DRS_DESTBLEND), DWORD(D3DBLEND_ONE));
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
  unbindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
  EXPECT_EQ(renderState(D3DRS_DESTBLEND), DWORD(D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), DWORD(TRUE));  // mode 3 leaves the alpha test alone
}

TEST_F(SceneDevice, OpaqueAndFoggedMaterials) {
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  Material opaque;
  bindMaterial(&opaque);
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(FALSE));

  Material fogged;
  fogged.flags = MAT_FOG;
  bindMaterial(&fogged);
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(TRUE));
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  unbindMaterial(&fogged);
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(FALSE));
  // Only a blending material resets blending when it is unbound.
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
}

TEST_F(SceneDevice, TextureStagesBoundInListOrderAndCleared) {
  Texture* a = makeTexture();
  Texture* b = makeTexture();
  Texture* c = makeTexture();
  Texture missing;  // no image
  for (DWORD stage = 0; stage < 4; ++stage) device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_ADD);

  Material m;
  m.textures = {b, a, c};
  bindMaterial(&m);
  EXPECT_EQ(texture(0), b->resource->texture);
  EXPECT_EQ(texture(1), a->resource->texture);
  EXPECT_EQ(texture(2), c->resource->texture);
  for (DWORD stage = 0; stage < 3; ++stage) EXPECT_EQ(stageState(stage, D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
  EXPECT_EQ(stageState(3, D3DTSS_COLOROP), DWORD(D3DTOP_ADD));
  device->SetTexture(3, a->resource->texture);
  unbindMaterial(&m);
  EXPECT_EQ(texture(0), nullptr);
  EXPECT_EQ(texture(1), nullptr);
  EXPECT_EQ(texture(2), nullptr);
  EXPECT_EQ(texture(3), a->resource->texture);  // not one of the material's stages

  // Stages 0 and 1 are cleared at bind time even without textures.
  device->SetTexture(0, a->resource->texture);
  device->SetTexture(1, a->resource->texture);
  device->SetTexture(2, a->resource->texture);
  Material bare;
  bindMaterial(&bare);
  EXPECT_EQ(texture(0), nullptr);
  EXPECT_EQ(texture(1), nullptr);
  EXPECT_EQ(texture(2), a->resource->texture);

  // A texture without an image leaves its stage empty.
  device->SetTexture(2, a->resource->texture);
  device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
  Material holes;
  holes.textures = {a, b, &missing};
  bindMaterial(&holes);
  EXPECT_EQ(texture(1), b->resource->texture);
  EXPECT_EQ(texture(2), nullptr);
  EXPECT_EQ(stageState(2, D3DTSS_COLOROP), DWORD(D3DTOP_ADD));
}

TEST_F(SceneDevice, WithoutTexturingOnlyTheFirstClearAndAdditiveFactorsHappen) {
  Texture* a = makeTexture();
  graphics->texturingEnabled = false;
  device->SetTexture(0, a->resource->texture);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  const ColorF before = graphics->materialDiffuse;
  Material m;
  m.flags = MAT_BLEND | MAT_FOG;
  m.blendMode = 3;
  m.diffuse = {0.5f, 0.5f, 0.5f, 0.5f};
  m.textures = {a};
  bindMaterial(&m);
  EXPECT_EQ(texture(0), nullptr);
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(FALSE));
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
  EXPECT_EQ(renderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
  EXPECT_EQ(graphics->materialDiffuse.r, before.r);
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  unbindMaterial(&m);
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(TRUE));
  EXPECT_EQ(renderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
}

TEST_F(SceneDevice, MeshAttributesAreSubsetOrdinals) {
  VertexProfile profile;
  profile.create(1);
  profile.set(0, 0, 3, USAGE_POSITION, 0);
  std::vector<float> vertices;
  for (int i = 0; i < 5; ++i) vertices.insert(vertices.end(), {float(i), float(i * i), 0.5f});
  // Four triangles, then two.
  std::vector<std::vector<std::uint32_t>> subsets = {{0, 1, 2, 1, 2, 3, 2, 3, 4, 0, 2, 4}, {4, 3, 2, 0, 1, 4}};
  ID3DXMesh* mesh = buildMesh(5, profile, reinterpret_cast<const std::uint8_t*>(vertices.data()), subsets);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->GetNumFaces(), 6u);
  EXPECT_EQ(mesh->GetNumVertices(), 5u);
  EXPECT_EQ(mesh->GetOptions(), 0x221u);
  EXPECT_EQ(mesh->GetNumBytesPerVertex(), 12u);

  DWORD* attributes = nullptr;
  ASSERT_EQ(mesh->LockAttributeBuffer(0, &attributes), D3D_OK);
  EXPECT_EQ(std::vector<DWORD>(attributes, attributes + 6), (std::vector<DWORD>{0, 0, 0, 0, 1, 1}));
  mesh->UnlockAttributeBuffer();
  void* data = nullptr;
  ASSERT_EQ(mesh->LockIndexBuffer(0, &data), D3D_OK);
  const auto* indices = static_cast<const std::uint32_t*>(data);
  EXPECT_EQ(indices[11], 4u);
  EXPECT_EQ(indices[12], 4u);
  EXPECT_EQ(indices[17], 4u);
  EXPECT_EQ(indices[13], 3u);
  mesh->UnlockIndexBuffer();
  ASSERT_EQ(mesh->LockVertexBuffer(0, &data), D3D_OK);
  EXPECT_EQ(static_cast<const float*>(data)[13], 16.0f);
  mesh->UnlockVertexBuffer();
  mesh->Release();
}

TEST_F(SceneDevice, VerticesKeepTheirPlaceWhenTheMeshStrideDiffers) {
  // Position and texture coordinates share the first bytes: the layout rule
  // gives 20 bytes per vertex, the declaration only 12.
  VertexProfile profile;
  profile.create(2);
  profile.set(0, 0, 3, USAGE_POSITION, 0);
  profile.set(1, 0, 2, USAGE_TEXCOORD, 0);
  ASSERT_EQ(profile.stride, 20);
  std::vector<float> vertices;
  for (int v = 0; v < 3; ++v) vertices.insert(vertices.end(), {10.0f * v, 10.0f * v + 1, 10.0f * v + 2, -1, -1});
  ID3DXMesh* mesh = buildMesh(3, profile, reinterpret_cast<const std::uint8_t*>(vertices.data()), {{0, 1, 2}});
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->GetNumBytesPerVertex(), 12u);
  void* data = nullptr;
  ASSERT_EQ(mesh->LockVertexBuffer(0, &data), D3D_OK);
  const auto* out = static_cast<const float*>(data);
  EXPECT_EQ(out[3], 10.0f);
  EXPECT_EQ(out[8], 22.0f);
  mesh->UnlockVertexBuffer();
  mesh->Release();
}

TEST_F(SceneDevice, ReadingBuildsMeshesWhoseAttributesIgnoreMaterials) {
  scenefile::SceneRecord r;
  r.materials.push_back({"a", {}, 0, {}});
  r.materials.push_back({"b", {}, 0, {}});
  scenefile::ModelRecord model = quadModel("q", 0, 0, 1, 1, 0, 1);  // first subset uses material 1
  model.subsets.push_back({0, {0, 1, 2}});
  r.models.push_back(model);
  Scene scene;
  ASSERT_TRUE(parse(scene, scenefile::encode(r)));
  ID3DXMesh* mesh = scene.models.front()->mesh;
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->GetNumFaces(), 3u);
  EXPECT_EQ(mesh->GetNumBytesPerVertex(), 20u);
  DWORD* attributes = nullptr;
  ASSERT_EQ(mesh->LockAttributeBuffer(0, &attributes), D3D_OK);
  EXPECT_EQ(std::vector<DWORD>(attributes, attributes + 3), (std::vector<DWORD>{0, 0, 1}));
  mesh->UnlockAttributeBuffer();
  D3DVERTEXELEMENT9 declaration[MAXD3DDECLLENGTH];
  ASSERT_EQ(mesh->GetDeclaration(declaration), D3D_OK);
  EXPECT_EQ(declaration[1].Usage, D3DDECLUSAGE_TEXCOORD);
  EXPECT_EQ(declaration[1].Offset, 12);
  EXPECT_EQ(declaration[1].Type, D3DDECLTYPE_FLOAT2);
  EXPECT_EQ(declaration[2].Stream, 0xFF);
  scene.destroy();
}

TEST_F(SceneDevice, DrawModelBindsAroundEachSubsetInOrder) {
  Material fog, plain;
  fog.flags = MAT_FOG;
  RecordingMesh mesh;
  mesh.device = device;
  Model model;
  model.mesh = &mesh;
  model.subsets = {{&fog, 4}, {nullptr, 2}, {&plain, 1}};
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  drawModel(&model);
  EXPECT_EQ(mesh.drawn, (std::vector<DWORD>{0, 1, 2}));
  // Fog on while the fogged subset draws, off again (unbound) before the next.
  EXPECT_EQ(mesh.fogWhileDrawn, (std::vector<DWORD>{TRUE, FALSE, FALSE}));
  model.mesh = nullptr;  // not owned by this test's model

  // Without a mesh the materials are still bound and unbound.
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  Model empty;
  empty.subsets = {{&fog, 1}};
  drawModel(&empty);
  EXPECT_EQ(renderState(D3DRS_FOGENABLE), DWORD(FALSE));
}

TEST_F(SceneDevice, DrawNodeMultipliesItsWorldIntoTheViewAndRestoresIt) {
  graphics->currentTransform = D3DTS_VIEW;
  setTransform(D3DTS_VIEW, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1});
  const D3DMATRIX view = transform(D3DTS_VIEW);
  RecordingMesh mesh;
  mesh.device = device;
  Model model;
  model.mesh = &mesh;
  model.subsets = {{nullptr, 1}};
  SceneNode node;
  node.flags = NODE_MODEL;
  node.attachment = &model;
  node.position = {1, 2, 3};
  node.scale = {2, 2, 2};
  drawNode(&node);
  ASSERT_EQ(mesh.drawn.size(), 1u);
  // world x view: scaled by 2, moved to (1, 2, 3 - 10).
  const D3DMATRIX& drawnView = mesh.viewWhileDrawn[0];
  EXPECT_EQ(drawnView.m[0][0], 2.0f);
  EXPECT_EQ(drawnView.m[3][0], 1.0f);
  EXPECT_EQ(drawnView.m[3][2], -7.0f);
  EXPECT_EQ(graphics->objectMatrix[12], 1.0f);
  EXPECT_EQ(graphics->objectMatrix[0], 2.0f);
  EXPECT_TRUE(sameMatrix(transform(D3DTS_VIEW), view));
  EXPECT_TRUE(graphics->transformStack->entries.empty());

  // A pose set between frames shows at the next draw...
  node.position = {5, 0, 0};
  drawNode(&node);
  EXPECT_EQ(mesh.viewWhileDrawn[1].m[3][0], 5.0f);
  // ...unless the node keeps the world it was read with.
  node.flags |= NODE_FIXED_WORLD;
  node.position = {9, 0, 0};
  drawNode(&node);
  EXPECT_EQ(mesh.viewWhileDrawn[2].m[3][0], 5.0f);
  EXPECT_EQ(node.world.m[3][0], 5.0f);
  model.mesh = nullptr;
}

TEST_F(SceneDevice, FixedWorldNodesKeepTheWorldTheyWereReadWith) {
  scenefile::SceneRecord r;
  r.models.push_back(quadModel("q", 0, 0, 1, 1, 0, 0));
  r.models[0].subsets.clear();
  scenefile::NodeRecord fixed;
  fixed.name = "fixed";
  fixed.flags = NODE_MODEL | NODE_FIXED_WORLD;
  fixed.position = {3, 0, 0};
  r.nodes = {fixed};
  Scene scene;
  ASSERT_TRUE(parse(scene, scenefile::encode(r)));
  SceneNode* node = scene.findNode("fixed");
  node->position = {100, 0, 0};
  graphics->currentTransform = D3DTS_VIEW;
  loadIdentity();
  scene.draw();
  EXPECT_EQ(node->world.m[3][0], 3.0f);
  EXPECT_EQ(graphics->objectMatrix[12], 3.0f);
  scene.destroy();
}

TEST_F(SceneDevice, DrawingACameraNodePosesItsCamera) {
  Camera camera;
  SceneNode node;
  node.flags = NODE_CAMERA;
  node.attachment = &camera;
  node.position = {4, 5, 6};
  node.rotation = {0, 1, 0, 0};
  graphics->currentTransform = D3DTS_VIEW;
  drawNode(&node);
  EXPECT_EQ(camera.position.y, 5.0f);
  EXPECT_EQ(camera.rotation.y, 1.0f);
}

TEST_F(SceneDevice, CameraApplyMovesTheEyeToTheOrigin) {
  graphics->currentTransform = D3DTS_VIEW;
  Camera camera;
  camera.position = {0, 0, 5};
  camera.apply();
  D3DMATRIX v = transform(D3DTS_VIEW);
  // (0, 0, 5, 1) x V
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(5 * v.m[2][c] + v.m[3][c], 0.0f, 1e-6f) << c;

  // Turned a quarter about y, the camera looks down -x: the world point
  // (-1, 0, 5) lies straight ahead, at view (0, 0, -1).
  const float h = std::sqrt(0.5f);
  camera.rotation = {0, h, 0, h};
  camera.apply();
  v = transform(D3DTS_VIEW);
  const float p[4] = {-1, 0, 5, 1};
  float out[3];
  for (int c = 0; c < 3; ++c) {
    out[c] = 0;
    for (int k = 0; k < 4; ++k) out[c] += p[k] * v.m[k][c];
  }
  EXPECT_NEAR(out[0], 0.0f, 1e-5f);
  EXPECT_NEAR(out[1], 0.0f, 1e-5f);
  EXPECT_NEAR(out[2], -1.0f, 1e-5f);
}
