// vorn-tool scene: the JSON it prints for a scene file and its exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "scene_test_support.h"

using namespace scenetest;

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun runTool(const std::string& arguments) {
  const std::string command = std::string(VORN_BINARY_DIR) + "/vorn-tool scene " + arguments + " 2>/dev/null";
  ToolRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string writeTemp(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

}  // namespace

TEST(ToolScene, PrintsTheSceneAsJson) {
  scenefile::SceneRecord r;
  r.textures = {"a.png", "b\"q.png"};
  r.materials.push_back({"m", {0.5f, 0.25f, 1, 0.1f}, MAT_BLEND, {1, 0}});
  scenefile::ModelRecord model = quadModel("quad", 0, 0, 1, 1, 0, 0);
  model.subsets.push_back({0, {0, 1, 2}});
  r.models.push_back(model);
  r.cameras.push_back({"cam", 0});
  scenefile::NodeRecord cameraNode;
  cameraNode.name = "eye";
  cameraNode.flags = NODE_CAMERA | NODE_ANIMATED;
  cameraNode.keys = {key(0, {0, 0, 0}), key(1, {0, 0, 4}), key(2, {8, 0, 4})};
  scenefile::NodeRecord modelNode;
  modelNode.name = "box";
  modelNode.flags = NODE_MODEL | NODE_PARENT;
  modelNode.parentIndex = 0;
  modelNode.scale = {2, 2, 2};
  r.nodes = {cameraNode, modelNode};
  const std::string path = writeTemp("tool_scene.nc", scenefile::encode(r));

  const ToolRun run = runTool(path + " --animate 0.5 --animate 1.5");
  ASSERT_EQ(run.status, 0);
  const std::string expected =
      "{\"textures\": [\"a.png\", \"b\\\"q.png\"], "
      "\"materials\": [{\"name\": \"m\", \"diffuse\": [0.5, 0.25, 1.0, 0.1], \"flags\": 4, \"blendMode\": 1, "
      "\"textures\": [1, 0]}], "
      "\"models\": [{\"name\": \"quad\", \"vertexCount\": 4, \"triangleCount\": 3, \"stride\": 20, \"elements\": "
      "[{\"offset\": 0, \"components\": 3, \"usage\": 1, \"usageIndex\": 0}, "
      "{\"offset\": 12, \"components\": 2, \"usage\": 4, \"usageIndex\": 0}], "
      "\"subsets\": [{\"material\": 0, \"triangleCount\": 2}, {\"material\": 0, \"triangleCount\": 1}]}], "
      "\"cameras\": [{\"name\": \"cam\", \"position\": [4.0, 0.0, 4.0], \"rotation\": [0.0, 0.0, 0.0, 1.0]}], "
      "\"nodes\": [{\"name\": \"eye\", \"flags\": 80, \"parent\": null, \"model\": null, \"camera\": 0, "
      "\"position\": [4.0, 0.0, 4.0], \"rotation\": [0.0, 0.0, 0.0, 1.0], \"scale\": [1.0, 1.0, 1.0], "
      "\"keyCount\": 3, \"segment\": 1}, "
      "{\"name\": \"box\", \"flags\": 3, \"parent\": 0, \"model\": 0, \"camera\": null, "
      "\"position\": [0.0, 0.0, 0.0], \"rotation\": [0.0, 0.0, 0.0, 1.0], \"scale\": [2.0, 2.0, 2.0], "
      "\"keyCount\": 0, \"segment\": null}]}\n";
  EXPECT_EQ(run.out, expected);
}

TEST(ToolScene, RejectedMissingAndMisusedFilesFail) {
  Bytes bad;
  bad.header(0, 0, 0, 0, 1).nodeStart("n", NODE_MODEL | NODE_CAMERA).u32(0).u32(0);
  const std::string path = writeTemp("tool_scene_bad.nc", bad.data);
  ToolRun run = runTool(path);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(runTool(path + ".missing").status, 1);
  EXPECT_EQ(runTool(path + " --animate").status, 2);
  EXPECT_EQ(runTool(path + " --animate soon").status, 2);
  EXPECT_EQ(runTool("").status, 2);
}
