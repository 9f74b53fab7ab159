// The real program runs the whole show and ends by itself once the music
// clock passes the end of the timeline. Without a music file the clock
// follows the wall clock, here sped up a hundredfold: the 174.5 s show takes
// under two seconds, and a program that did not stop would hit the deadline.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "program/child_process.h"

namespace fs = std::filesystem;

TEST(ShowEndProgram, EndsByItselfPastTheLastBlock) {
  std::random_device seed;
  const fs::path dir = fs::temp_directory_path() / ("vorn-show-end-" + std::to_string(seed()));
  makeEmptyDataFolder(dir);
  const fs::path script = dir / "input.txt";
  std::ofstream(script) << "f30 click 50 215     # Fullscreen off\n"
                           "f45 click 295 275    # Run\n";
  const ChildResult result = runChild(std::string(VORN_BINARY_DIR) + "/vorn", dir.string(),
                                      {{"VORN_INPUT_SCRIPT", script.string()},
                                       {"VORN_WALL_CLOCK_SPEED", "100"},
                                       {"SDL_VIDEODRIVER", "offscreen"},
                                       {"SDL_AUDIODRIVER", "dummy"}},
                                      60);
  fs::remove_all(dir);
  ASSERT_TRUE(result.started);
  ASSERT_FALSE(result.timedOut) << "the show did not end by itself\n" << result.output;
  EXPECT_TRUE(result.exited) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
}
