// The OpenGL call count of `vorn-bench show` against an outside tracer:
// apitrace records every call the process makes, and the calls between its
// frame markers (buffer swaps) must add up to what the stand-in counted for
// those frames. The tracer needs GLX, so the bench runs on a virtual X
// server (xvfb-run); without the tools the test is skipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "program/child_process.h"

namespace fs = std::filesystem;

namespace {

std::string findInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const fs::path candidate = fs::path(folder) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

// The total OpenGL calls the bench reports for its one block.
long long reportedCalls(const std::string& output) {
  std::smatch match;
  if (!std::regex_search(output, match, std::regex("\"glCalls\": ([0-9]+)"))) return -1;
  return std::stoll(match[1].str());
}

// OpenGL calls per frame in a trace dump (one call per line, no call
// numbers): the calls before each glXSwapBuffers, frame by frame.
std::vector<long long> tracedCallsPerFrame(const std::string& dump) {
  std::vector<long long> frames;
  long long calls = 0;
  std::stringstream lines(dump);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("glXSwapBuffers", 0) == 0) {
      frames.push_back(calls);
      calls = 0;
    } else if (line.size() > 2 && line.compare(0, 2, "gl") == 0 && line[2] >= 'A' && line[2] <= 'Z' &&
               line.rfind("glX", 0) != 0) {
      ++calls;
    }
  }
  return frames;
}

}  // namespace

TEST(BenchTrace, CountedOpenGLCallsMatchAnApitraceRecording) {
  const std::string xvfbRun = findInPath("xvfb-run"), apitrace = findInPath("apitrace");
  if (xvfbRun.empty() || apitrace.empty()) GTEST_SKIP() << "needs xvfb-run and apitrace";
  std::random_device seed;
  const fs::path dir = fs::temp_directory_path() / ("vorn-bench-trace-" + std::to_string(seed()));
  fs::create_directories(dir);
  const std::string bench = std::string(VORN_BINARY_DIR) + "/vorn-bench";
  const std::map<std::string, std::string> environment{{"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "dummy"}};
  // The first frame also carries what loading left for it, so frames two
  // and three are compared: the counts of a one-frame run, taken from a
  // three-frame run, leave exactly those.
  auto benchArguments = [&](const char* frames) {
    return std::vector<std::string>{"show", "--block", "bloco_final", "--frames", frames, "--json", "--data",
                                    VORN_DATA_DIR};
  };
  // Both runs on the same display, so that they draw the same way.
  std::vector<std::string> plain{"-a", bench};
  for (const std::string& argument : benchArguments("1")) plain.push_back(argument);
  const ChildResult one = runChild(xvfbRun, dir.string(), environment, 300, plain);
  const fs::path trace = dir / "show.trace";
  std::vector<std::string> traced{"-a", apitrace, "trace", "-o", trace.string(), bench};
  for (const std::string& argument : benchArguments("3")) traced.push_back(argument);
  const ChildResult three = runChild(xvfbRun, dir.string(), environment, 300, traced);
  const ChildResult dump = runChild(apitrace, dir.string(), {}, 300,
                                    {"dump", "--call-nos=no", "--multiline=no", "--arg-names=no", trace.string()});
  fs::remove_all(dir);

  ASSERT_EQ(one.exitCode, 0) << one.output;
  ASSERT_EQ(three.exitCode, 0) << three.output;
  ASSERT_EQ(dump.exitCode, 0) << dump.output.substr(0, 2000);
  const long long counted = reportedCalls(three.output) - reportedCalls(one.output);
  const std::vector<long long> frames = tracedCallsPerFrame(dump.output);
  ASSERT_GE(frames.size(), 3u) << "no frame markers in the trace";
  const long long recorded = frames[frames.size() - 2] + frames[frames.size() - 1];
  EXPECT_GT(counted, 0);
  EXPECT_EQ(counted, recorded) << "per frame in the trace: " << frames[frames.size() - 2] << ", "
                               << frames[frames.size() - 1];
}
