// The real program runs the whole show and ends by itself once the music
// clock passes the end of the timeline. Without a music file the clock
// follows the wall clock, here sped up a hundredfold: the 174.5 s show takes
// under two seconds, and a program that did not stop would hit the deadline.
// With a music file shorter than the show the position runs on past its end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "platform/fmod/fmod_vorn.h"
#include "program/child_process.h"

namespace fs = std::filesystem;

namespace {

// Runs the show in an empty folder (with a tone of musicSeconds as milk.ogg
// when above 0) on the wall clock sped up a hundredfold.
ChildResult runShow(double musicSeconds) {
  std::random_device seed;
  const fs::path dir = fs::temp_directory_path() / ("vorn-show-end-" + std::to_string(seed()));
  makeEmptyDataFolder(dir);
  const fs::path script = dir / "input.txt";
  std::ofstream(script) << "f30 click 50 215     # Fullscreen off\n"
                           "f45 click 295 275    # Run\n";
  std::map<std::string, std::string> environment = {{"VORN_INPUT_SCRIPT", script.string()},
                                                    {"VORN_WALL_CLOCK_SPEED", "100"},
                                                    {"SDL_VIDEODRIVER", "offscreen"},
                                                    {"SDL_AUDIODRIVER", "dummy"}};
  if (musicSeconds > 0) {
    EXPECT_TRUE(VornFmod_WriteTone((dir / "milk.ogg").c_str(), musicSeconds, 22050, 1, 440.0));
    environment["SDL_AUDIODRIVER"] = "no-such-driver";  // the wall clock, with the file's length known
  }
  const ChildResult result = runChild(std::string(VORN_BINARY_DIR) + "/vorn", dir.string(), environment, 60);
  fs::remove_all(dir);
  return result;
}

}  // namespace

TEST(ShowEndProgram, EndsByItselfPastTheLastBlock) {
  const ChildResult result = runShow(0);
  ASSERT_TRUE(result.started);
  ASSERT_FALSE(result.timedOut) << "the show did not end by itself\n" << result.output;
  EXPECT_TRUE(result.exited) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
}

// Music shorter than the show: the clock runs on past its end.
TEST(ShowEndProgram, EndsByItselfWithMusicShorterThanTheShow) {
  const ChildResult result = runShow(2.0);
  ASSERT_TRUE(result.started);
  ASSERT_FALSE(result.timedOut) << "the show waited for music that had ended\n" << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
}
