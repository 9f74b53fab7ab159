// Meshes and the drawing passes: scene, node, model.
#include <cstring>

#include "graphics/graphics_device.h"
#include "graphics/transforms.h"
#include "platform/d3dx9/d3dx9.h"
#include "scene/scene.h"
#include "scene/transform_stack.h"

ID3DXMesh* buildMesh(std::uint32_t vertexCount, const VertexProfile& profile, const std::uint8_t* vertexData,
                     const std::vector<std::vector<std::uint32_t>>& subsetIndices) {
  GraphicsDevice* gd = g_graphicsDevice;
  if (!gd || !gd->device) return nullptr;

  const std::vector<D3DVERTEXELEMENT9> declaration = profile.toDeclaration();
  std::size_t triangles = 0;
  for (const auto& indices : subsetIndices) triangles += indices.size() / 3;

  // Indices concatenated in subset order; the attribute id of a triangle is
  // the ordinal of its subset, not its material.
  std::vector<std::uint32_t> indices;
  std::vector<DWORD> attributes;
  indices.reserve(triangles * 3);
  attributes.reserve(triangles);
  for (std::size_t s = 0; s < subsetIndices.size(); ++s) {
    const std::size_t count = subsetIndices[s].size() / 3;
    indices.insert(indices.end(), subsetIndices[s].begin(), subsetIndices[s].begin() + count * 3);
    attributes.insert(attributes.end(), count, static_cast<DWORD>(s));
  }

  ID3DXMesh* mesh = nullptr;
  const HRESULT created = D3DXCreateMesh(static_cast<DWORD>(triangles), vertexCount,
                                         D3DXMESH_32BIT | D3DXMESH_MANAGED, declaration.data(), gd->device, &mesh);
  if (FAILED(created) || !mesh) {
    if (mesh) mesh->Release();
    return nullptr;
  }

  // The mesh sizes its vertices from the declaration (the end of the last
  // element), which can differ from the layout's stride: then each vertex is
  // copied on its own, as much of it as both sizes hold, so neither buffer is
  // overrun.
  const std::size_t fileStride = static_cast<std::size_t>(profile.stride > 0 ? profile.stride : 0);
  const std::size_t meshStride = mesh->GetNumBytesPerVertex();
  void* target = nullptr;
  if (vertexCount && fileStride && meshStride && SUCCEEDED(mesh->LockVertexBuffer(0, &target))) {
    if (!target) {
      // nothing to copy into
    } else if (meshStride == fileStride) {
      std::memcpy(target, vertexData, static_cast<std::size_t>(vertexCount) * fileStride);
    } else {
      auto* out = static_cast<std::uint8_t*>(target);
      const std::size_t bytes = meshStride < fileStride ? meshStride : fileStride;
      for (std::uint32_t v = 0; v < vertexCount; ++v) std::memcpy(out + v * meshStride, vertexData + v * fileStride, bytes);
    }
    mesh->UnlockVertexBuffer();
  }
  target = nullptr;
  if (!indices.empty() && SUCCEEDED(mesh->LockIndexBuffer(0, &target))) {
    if (target) std::memcpy(target, indices.data(), indices.size() * sizeof(std::uint32_t));
    mesh->UnlockIndexBuffer();
  }
  DWORD* attributeTarget = nullptr;
  if (!attributes.empty() && SUCCEEDED(mesh->LockAttributeBuffer(0, &attributeTarget))) {
    if (attributeTarget) std::memcpy(attributeTarget, attributes.data(), attributes.size() * sizeof(DWORD));
    mesh->UnlockAttributeBuffer();
  }
  return mesh;
}

void Scene::draw() {
  for (SceneNode* node : nodes) drawNode(node);
}

void drawNode(SceneNode* node) {
  if (!node) return;
  pushTransform();
  if (!(node->flags & NODE_FIXED_WORLD)) node->world = composeWorld(node->scale, node->rotation, node->position);
  D3DXMATRIX world;
  std::memcpy(world.m, node->world.m, sizeof world.m);
  multiplyTransform(world);
  if (node->flags & NODE_MODEL) {
    if (auto* model = dynamic_cast<Model*>(node->attachment)) drawModel(model);
  }
  if (node->flags & NODE_CAMERA) {
    if (auto* camera = dynamic_cast<Camera*>(node->attachment)) {
      camera->position = node->position;
      camera->rotation = node->rotation;
    }
  }
  popTransform();
}

void drawModel(Model* model) {
  if (!model) return;
  DWORD ordinal = 0;
  for (const MeshSubset& subset : model->subsets) {
    if (subset.material) bindMaterial(subset.material);
    if (model->mesh) model->mesh->DrawSubset(ordinal);
    if (subset.material) unbindMaterial(subset.material);
    ++ordinal;
  }
}
