// Scenes: named look-ups and the release of everything a scene owns.
#include "scene/scene.h"

Model::~Model() {
  subsets.clear();
  if (mesh) {
    mesh->Release();
    mesh = nullptr;
  }
}

Scene* Scene::load(const std::string& name) {
  Scene* scene = new Scene;
  readScene(scene, name);
  return scene;
}

void Scene::destroy() {
  for (Model* model : models) delete model;
  for (Texture* texture : textures) delete texture;
  for (Camera* camera : cameras) delete camera;
  for (Material* material : materials) delete material;  // its texture list is not owned
  for (SceneNode* node : nodes) delete node;
  models.clear();
  textures.clear();
  cameras.clear();
  materials.clear();
  nodes.clear();
}

Material* Scene::findMaterial(const std::string& name) const {
  for (Material* material : materials)
    if (material->name == name) return material;
  return nullptr;
}

SceneNode* Scene::findNode(const std::string& name) const {
  for (SceneNode* node : nodes)
    if (node->name == name) return node;
  return nullptr;
}

Camera* Scene::findCamera(const std::string& name) const {
  for (Camera* camera : cameras)
    if (camera->getName() == name) return camera;
  return nullptr;
}
