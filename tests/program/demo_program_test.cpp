// The demo binary as a whole, headless: it gets past the configuration
// screen, loads, runs its frame loop and ends on Escape or on closing the
// window. Events of the input script are keyed to presented frames; the
// configuration screen and the loading phase present fewer than 150, so an
// event at frame 200 or later can only be seen by the frame loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "program/child_process.h"

namespace fs = std::filesystem;

namespace {

// The configuration screen: full screen off, then Escape, which starts the
// demo with the screen's choices (640 x 480, windowed).
const char* const kPastConfiguration =
    "f30 click 50 215\n"
    "f45 key ESCAPE\n";

class DemoProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("vorn-demo-program-" + std::to_string(seed()));
    makeEmptyDataFolder(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  ChildResult run(const std::string& script, const std::string& workingDirectory) {
    const fs::path scriptPath = dir_ / "input.txt";
    std::ofstream(scriptPath) << kPastConfiguration << script;
    return runChild(std::string(VORN_BINARY_DIR) + "/vorn", workingDirectory,
                    {{"VORN_INPUT_SCRIPT", scriptPath.string()},
                     {"VORN_DEBUG_SETTINGS", "1"},
                     {"SDL_VIDEODRIVER", "offscreen"},
                     {"SDL_AUDIODRIVER", "dummy"}},
                    150);
  }
  ChildResult run(const std::string& script) { return run(script, dir_.string()); }

  static void expectCleanExit(const ChildResult& result) {
    ASSERT_TRUE(result.started);
    ASSERT_FALSE(result.timedOut) << result.output;
    EXPECT_TRUE(result.exited) << "signal " << result.signal << "\n" << result.output;
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("settings: 640x480 aspect 1.3333334 fullscreen 0 multisample 0\n"),
              std::string::npos)
        << result.output;
  }

  fs::path dir_;
};

TEST_F(DemoProgram, WithoutDataRunsTheFrameLoopAndEndsOnEscape) {
  // Every data file is missing: the show still starts, presents frames
  // and answers the keyboard.
  expectCleanExit(run("f220 key ESCAPE\n"));
}

TEST_F(DemoProgram, EndsWhenTheWindowIsClosed) { expectCleanExit(run("f220 close\n")); }

TEST_F(DemoProgram, OverlayWhileAIsHeld) {
  expectCleanExit(run(
      "f200 keydown A\n"
      "f240 keyup A\n"
      "f250 key ESCAPE\n"));
}

TEST_F(DemoProgram, WithTheDemoDataRunsTheShow) {
  const fs::path data = VORN_DATA_DIR;
  if (!fs::exists(data / "milk.ogg") || !fs::exists(data / "shaders")) {
    GTEST_SKIP() << "no generated data in " << data;
  }
  expectCleanExit(run(
      "f220 keydown A\n"
      "f260 key ESCAPE\n",
      data.string()));
}

TEST_F(DemoProgram, ShaderToolPrintsWhatTheReaderDelivers) {
  std::ofstream(dir_ / "sample.nsl") << R"(#preprocessor commands
#define POSITION 1
#define TEXCOORD 4
VertexProfileCreate(2)
VertexProfileSet(0,0,3,POSITION,0)
VertexProfileSet(1,12,2,TEXCOORD,0)
#preprocessor HLSL_PS
float4 main() : COLOR	{ return "q\\"; } /* gone */
#end
)";
  const std::string tool = std::string(VORN_BINARY_DIR) + "/vorn-tool";
  const ChildResult result = runChild(tool, dir_.string(), {}, 60, {"shader", "sample.nsl"});
  ASSERT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output,
            R"({"vs": "", "ps": "float4 main() : COLOR { return \"q\\\\\"; } \n", "profile": )"
            R"({"count": 2, "stride": 20, "elements": [{"offset": 0, "components": 3, "usage": 1, )"
            R"("usageIndex": 0}, {"offset": 12, "components": 2, "usage": 4, "usageIndex": 0}]}})"
            "\n");

  const ChildResult missing = runChild(tool, dir_.string(), {}, 60, {"shader", "missing.nsl"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("cannot open 'missing.nsl'"), std::string::npos) << missing.output;
}

}  // namespace
