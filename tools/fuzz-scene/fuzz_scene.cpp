// Fuzz entry for the scene reader: any bytes either load or are rejected,
// without crashing, reading out of bounds or leaking. Accepted scenes are
// animated and released as the demo would.
#include <cstddef>
#include <cstdint>
#include <string>

#include "scene/scene.h"

// Inputs the reader accepted, for the mutation driver's summary.
std::size_t g_fuzzSceneAccepted = 0;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Scene scene;
  std::string error;
  if (parseScene(&scene, data, size, &error)) {
    ++g_fuzzSceneAccepted;
    for (float time : {-1.0f, 0.0f, 0.5f, 1.0f, 3.0f, 1e9f}) scene.animate(time);
    for (SceneNode* node : scene.nodes) (void)scene.findNode(node->name);
    scene.destroy();
  } else if (error.empty()) {
    __builtin_trap();  // a rejection always says why
  }
  return 0;
}
