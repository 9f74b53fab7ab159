// The demo's command line and the search for its data folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "runtime/command_line.h"
#include "runtime/data_folder.h"

namespace fs = std::filesystem;

namespace {

LaunchOptions parse(std::vector<std::string> arguments) { return parseLaunchOptions(arguments); }

TEST(LaunchOptions, NoArgumentsKeepTheConfigurationScreen) {
  const LaunchOptions options = parse({});
  EXPECT_FALSE(options.settings.has_value());
  EXPECT_TRUE(options.error.empty());
  EXPECT_FALSE(options.help || options.version);
}

TEST(LaunchOptions, DisplayOptionsGiveSettingsWithTheScreensDefaultsForTheRest) {
  LaunchOptions options = parse({"--windowed"});
  ASSERT_TRUE(options.settings.has_value());
  EXPECT_EQ(options.settings->width, 640);
  EXPECT_EQ(options.settings->height, 480);
  EXPECT_FLOAT_EQ(options.settings->aspectRatio, 1.3333334f);
  EXPECT_FALSE(options.settings->fullscreen);
  EXPECT_EQ(options.settings->multisample, 0);

  options = parse({"--size", "1368x768", "--aspect=16/9", "--multisample", "4"});
  ASSERT_TRUE(options.settings.has_value()) << options.error;
  EXPECT_EQ(options.settings->width, 1368);
  EXPECT_EQ(options.settings->height, 768);
  EXPECT_FLOAT_EQ(options.settings->aspectRatio, 1.7777778f);
  EXPECT_TRUE(options.settings->fullscreen) << "full screen unless --windowed";
  EXPECT_EQ(options.settings->multisample, 4);

  for (const char* size : {"320x240", "1280x1024", "1920x1200"}) {
    EXPECT_TRUE(parse({"--size", size}).error.empty()) << size;
  }
  EXPECT_FLOAT_EQ(parse({"--aspect", "5/4"}).settings->aspectRatio, 1.25f);
}

TEST(LaunchOptions, BadCommandLinesSayWhatIsWrong) {
  const std::vector<std::vector<std::string>> bad = {
      {"--size", "1366x768"}, {"--size"},           {"--aspect", "16:9"},       {"--multisample", "8"},
      {"--windowed", "--fullscreen"}, {"--speed", "2"}, {"run"},                {"--windowed=yes"},
  };
  for (const auto& arguments : bad) {
    const LaunchOptions options = parse(arguments);
    EXPECT_FALSE(options.error.empty()) << arguments[0];
    EXPECT_FALSE(options.settings.has_value()) << arguments[0];
    EXPECT_NE(options.error.find(arguments[0]), std::string::npos) << options.error;
  }
  EXPECT_TRUE(parse({"--size", "1000x1000", "--help"}).error.size() > 0) << "errors come first";
  EXPECT_TRUE(parse({"--windowed", "--help"}).help);
  EXPECT_TRUE(parse({"--version"}).version);
}

TEST(LaunchOptions, CommandLineSurvivesJoiningAndSplitting) {
  const std::vector<std::string> arguments = {"--size", "", "two words", "quote\"inside", "tail\\", "a\\\\\"b", "\\x"};
  EXPECT_EQ(splitCommandLine(joinCommandLine(arguments).c_str()), arguments);
  EXPECT_EQ(splitCommandLine("  --size\t800x600  "), (std::vector<std::string>{"--size", "800x600"}));
  EXPECT_TRUE(splitCommandLine("").empty());
}

TEST(DataFolder, WorkingDirectoryFirstThenNextToTheProgram) {
  std::random_device seed;
  const fs::path root = fs::temp_directory_path() / ("vorn-data-folder-" + std::to_string(seed()));
  const fs::path work = root / "work", program = root / "build" / "vorn", data = root / "build" / "data";
  fs::create_directories(work);
  fs::create_directories(data / "models");
  fs::create_directories(data / "shaders");

  DataSearch search = findDemoData(work, program);
  EXPECT_TRUE(search.found.empty()) << "no textures folder: not the data";
  EXPECT_EQ(search.lookedIn, (std::vector<fs::path>{work, data, root / "build"}));

  fs::create_directories(data / "textures");
  EXPECT_EQ(findDemoData(work, program).found, data);

  for (const char* part : {"models", "shaders", "textures"}) fs::create_directories(work / part);
  EXPECT_EQ(findDemoData(work, program).found, work);
  fs::remove_all(root);
}

}  // namespace
