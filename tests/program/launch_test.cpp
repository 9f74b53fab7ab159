// Starting the programs: --help and --version, the demo's own options, its
// data folder and a missing display, each checked on the real binaries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "program/child_process.h"
#include "runtime/version.h"

namespace fs = std::filesystem;

namespace {

const std::string kBinaries = VORN_BINARY_DIR;

class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("vorn-launch-" + std::to_string(seed()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

TEST_F(Launch, EveryProgramAnswersHelpAndVersion) {
  for (const char* program : {"vorn", "vorn-capture", "vorn-tool", "vorn-bench"}) {
    // No display and no data: help must not need either.
    const ChildResult help = runChild(kBinaries + "/" + program, dir_.string(), {}, 30, {"--help"},
                                      {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
    EXPECT_EQ(help.exitCode, 0) << program << "\n" << help.output;
    EXPECT_EQ(help.output.rfind("usage:", 0), 0u) << program << "\n" << help.output;
    const ChildResult version = runChild(kBinaries + "/" + program, dir_.string(), {}, 30, {"--version"});
    EXPECT_EQ(version.exitCode, 0) << program;
    EXPECT_EQ(version.output, std::string(program) + " " + kVornVersion + "\n");
  }
  const ChildResult bad = runChild(kBinaries + "/vorn", dir_.string(), {}, 30, {"--size", "1000x1000"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.output.find("--size"), std::string::npos) << bad.output;
}

TEST_F(Launch, OptionsSkipTheConfigurationScreen) {
  makeEmptyDataFolder(dir_);
  std::ofstream(dir_ / "input.txt") << "f5 key ESCAPE\n";
  // On the configuration screen this Escape would start the show with the
  // screen's defaults, which then would not end.
  const ChildResult result = runChild(kBinaries + "/vorn", dir_.string(),
                                      {{"VORN_INPUT_SCRIPT", (dir_ / "input.txt").string()},
                                       {"VORN_DEBUG_SETTINGS", "1"},
                                       {"SDL_VIDEODRIVER", "offscreen"},
                                       {"SDL_AUDIODRIVER", "dummy"}},
                                      120, {"--windowed", "--size=800x600", "--aspect", "16/10", "--multisample", "2"});
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("settings: 800x600 aspect 1.6 fullscreen 0 multisample 2\n"), std::string::npos)
      << result.output;
}

TEST_F(Launch, WithoutDataItSaysWhereItLookedBeforeAnyWindow) {
  // A copy of the program, so that no data lies next to it either.
  fs::copy_file(kBinaries + "/vorn", dir_ / "vorn");
  fs::create_directories(dir_ / "elsewhere");
  const ChildResult result = runChild((dir_ / "vorn").string(), (dir_ / "elsewhere").string(), {}, 30, {},
                                      {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
  EXPECT_EQ(result.exitCode, 2) << "the data is looked for before the display\n" << result.output;
  EXPECT_NE(result.output.find((dir_ / "elsewhere").string() + "\n"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find((dir_ / "data").string() + "\n"), std::string::npos) << result.output;
}

TEST_F(Launch, WithoutADisplayItSaysSoAndFails) {
  makeEmptyDataFolder(dir_);
  const ChildResult result = runChild(kBinaries + "/vorn", dir_.string(), {}, 60, {},
                                      {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("no display found"), std::string::npos) << result.output;
}

}  // namespace
