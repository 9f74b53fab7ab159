// The common entry point of the scene generators. Each defines buildScene()
// and previewScene(); the program writes the scene file to the path it is
// given, and with "--preview DIR" also writes preview pictures into DIR.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "common/scene_builder.h"

content::SceneBuilder buildScene();
void previewScene(const content::SceneBuilder& scene, const std::string& directory);

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT [--preview DIR]\n", argv[0]);
    return 2;
  }
  const content::SceneBuilder scene = buildScene();
  if (!scene.write(argv[1])) return 1;
  if (argc >= 4 && std::strcmp(argv[2], "--preview") == 0) previewScene(scene, argv[3]);
  if (argc >= 3 && std::strcmp(argv[2], "--stats") == 0) {
    for (const auto& model : scene.record().models) {
      std::size_t indices = 0;
      for (const auto& subset : model.subsets) indices += subset.indices.size();
      std::printf("%-24s %8u vertices %8zu triangles\n", model.name.c_str(), model.vertexCount, indices / 3);
    }
  }
  return 0;
}
