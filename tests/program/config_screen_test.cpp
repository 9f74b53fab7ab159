// The configuration screen as the program starts with it: the demo is run
// headless with a synthetic input script that operates the widgets, and the
// settings it starts with are read from its debug line on stderr.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "program/child_process.h"

namespace fs = std::filesystem;

namespace {

class ConfigScreenProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("vorn-config-program-" + std::to_string(seed()));
    makeEmptyDataFolder(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the demo in a data folder with every data file missing (which
  // the screen and the loading phase tolerate) with the script.
  ChildResult run(const std::string& script) {
    const fs::path scriptPath = dir_ / "input.txt";
    std::ofstream(scriptPath) << script;
    return runChild(std::string(VORN_BINARY_DIR) + "/vorn", dir_.string(),
                    {{"VORN_INPUT_SCRIPT", scriptPath.string()},
                     {"VORN_DEBUG_SETTINGS", "1"},
                     {"SDL_VIDEODRIVER", "offscreen"},
                     {"SDL_AUDIODRIVER", "dummy"}},
                    240);
  }

 private:
  fs::path dir_;
};

TEST_F(ConfigScreenProgram, RunStartsTheDemoWithTheChosenSettings) {
  const ChildResult result = run(
      "f30 click 50 215     # Fullscreen off\n"
      "f45 click 200 215    # Resolution: 800x600\n"
      "f60 click 100 235    # Aspect Ratio : 5/4\n"
      "f75 click 295 275    # Run\n"
      "f200 key ESCAPE      # leave the demo\n");
  ASSERT_TRUE(result.started);
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_TRUE(result.exited) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("settings: 800x600 aspect 1.25 fullscreen 0 multisample 0\n"), std::string::npos)
      << result.output;
}

TEST_F(ConfigScreenProgram, ClosingTheWindowKeepsTheChoicesMadeSoFar) {
  const ChildResult result = run(
      "f30 click 50 215     # Fullscreen off\n"
      "f45 close\n"
      "f200 key ESCAPE\n");
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("settings: 640x480 aspect 1.3333334 fullscreen 0 multisample 0\n"), std::string::npos)
      << result.output;
}

TEST_F(ConfigScreenProgram, EscapeEndsTheScreenLikeRun) {
  const ChildResult result = run(
      "f30 click 50 215     # Fullscreen off\n"
      "f45 click 100 255    # AntiAliasing  : 2x\n"
      "f60 click 100 255    # AntiAliasing  : 4x\n"
      "f75 click 100 255    # back to None\n"
      "f90 key ESCAPE\n"
      "f250 key ESCAPE      # leave the demo\n");
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("settings: 640x480 aspect 1.3333334 fullscreen 0 multisample 0\n"), std::string::npos)
      << result.output;
}

TEST_F(ConfigScreenProgram, ExitEndsTheProcessBeforeTheDemo) {
  const ChildResult result = run(
      "f30 click 200 215    # a choice that Exit discards\n"
      "f45 click 55 275     # Exit\n");
  ASSERT_TRUE(result.started);
  ASSERT_FALSE(result.timedOut) << result.output;
  EXPECT_TRUE(result.exited) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
  // The screen never returned its settings, so no demo was started.
  EXPECT_EQ(result.output.find("settings:"), std::string::npos) << result.output;
}

}  // namespace
