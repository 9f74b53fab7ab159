// vorn-bench show: the cost of every block of the show, headless. Loads the
// real show once, then renders each block's window of music time at a fixed
// step through the demo's own frame loop (virtual music clock, no vertical
// sync) and reports per frame: wall time, process CPU time (the software
// renderer's threads included), OpenGL draws and every OpenGL call the
// Direct3D 9 stand-in made. A block with several windows (block2's
// transitions) gets one row over all of them.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "command_registry.h"
#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/fmod/fmod_vorn.h"
#include "runtime/demo.h"
#include "ui2d/display_settings.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "show [--size WxH] [--json] [--step MS] [--block NAME] [--frames N] [--data DIR]";

struct ShowOptions {
  int width = 640, height = 480;
  bool json = false;
  int stepMs = 100;
  std::string block;  // only this block's windows when set
  int maxFrames = 0;  // per window; 0: the whole window
  std::string dataDir;
};

struct BlockResult {
  std::string block;
  std::vector<std::pair<std::int32_t, std::int32_t>> windows;  // start and end, ms
  int frames = 0;
  double wallMs = 0, cpuMs = 0;
  std::uint64_t draws = 0, glCalls = 0;
  std::uint64_t maxGlCalls = 0;  // the most in one frame
};

bool parseOptions(const std::vector<std::string>& args, ShowOptions* options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--json") {
      options->json = true;
    } else if (arg == "--size" && hasValue) {
      if (std::sscanf(args[++i].c_str(), "%dx%d", &options->width, &options->height) != 2) return false;
    } else if (arg == "--step" && hasValue) {
      options->stepMs = std::atoi(args[++i].c_str());
    } else if (arg == "--block" && hasValue) {
      options->block = args[++i];
    } else if (arg == "--frames" && hasValue) {
      options->maxFrames = std::atoi(args[++i].c_str());
    } else if (arg == "--data" && hasValue) {
      options->dataDir = args[++i];
    } else {
      return false;
    }
  }
  return options->width > 0 && options->height > 0 && options->width <= 16384 && options->height <= 16384 &&
         options->stepMs > 0 && options->maxFrames >= 0;
}

double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

double wallMsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string defaultDataDir() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string("data") : (exe.parent_path() / "data").string();
}

// The windows to render, in the order the music reaches them.
std::vector<BlockEntry> windowsToRun(const std::string& only) {
  std::vector<BlockEntry> windows;
  for (const BlockEntry& window : demoBlockTable())
    if (only.empty() || only == window.className) windows.push_back(window);
  std::sort(windows.begin(), windows.end(),
            [](const BlockEntry& a, const BlockEntry& b) { return a.startMs < b.startMs; });
  return windows;
}

// Renders one window of a block, adding to its result.
void runWindow(DemoSession& session, const BlockEntry& window, const ShowOptions& options, BlockResult& result) {
  IDirect3DDevice9* device = g_graphicsDevice->device;
  result.windows.emplace_back(window.startMs, window.endMs);
  const int framesBefore = result.frames;
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = processCpuMs();
  // The music never runs before 0 ms.
  for (std::int32_t t = std::max(window.startMs, 0); t < window.endMs; t += options.stepMs) {
    if (options.maxFrames && result.frames - framesBefore == options.maxFrames) break;
    VornFmod_SetVirtualPosition(static_cast<unsigned int>(t));
    session.timeline.musicTimeMs = t;
    VornD3D_ResetGLCallCount();
    VornD3D_ResetDrawCallCount();
    session.runFrame();
    const std::uint64_t calls = VornD3D_GLCallCount();
    result.glCalls += calls;
    result.maxGlCalls = std::max(result.maxGlCalls, calls);
    result.draws += VornD3D_DrawCallCount();
    ++result.frames;
  }
  // Wait for the renderer to finish the window's frames (uncounted calls).
  std::vector<std::uint8_t> pixels;
  int w = 0, h = 0;
  VornD3D_ReadPixels(device, &pixels, &w, &h);
  result.wallMs += wallMsSince(wallStart);
  result.cpuMs += processCpuMs() - cpuStart;
}

std::string windowList(const BlockResult& r, const char* separator) {
  std::string text;
  for (const auto& [start, end] : r.windows) {
    if (!text.empty()) text += separator;
    text += std::to_string(start) + ".." + std::to_string(end);
  }
  return text;
}

double perFrame(double total, int frames) { return frames ? total / frames : 0.0; }

void printJson(const ShowOptions& options, const std::vector<BlockResult>& results) {
  std::printf("{\n  \"size\": \"%dx%d\",\n  \"stepMs\": %d,\n  \"blocks\": [\n", options.width, options.height,
              options.stepMs);
  for (std::size_t i = 0; i < results.size(); ++i) {
    const BlockResult& r = results[i];
    std::string windows;
    for (const auto& [start, end] : r.windows)
      windows += (windows.empty() ? "[" : ", [") + std::to_string(start) + ", " + std::to_string(end) + "]";
    std::printf(
        "    {\"block\": \"%s\", \"windows\": [%s], \"frames\": %d, \"wallMsPerFrame\": %.3f, "
        "\"cpuMsPerFrame\": %.3f, \"drawsPerFrame\": %.1f, \"glCallsPerFrame\": %.1f, \"glCallsPerDraw\": %.2f, "
        "\"maxGlCallsPerFrame\": %llu, \"glCalls\": %llu, \"draws\": %llu}%s\n",
        r.block.c_str(), windows.c_str(), r.frames, perFrame(r.wallMs, r.frames), perFrame(r.cpuMs, r.frames),
        perFrame(static_cast<double>(r.draws), r.frames), perFrame(static_cast<double>(r.glCalls), r.frames),
        r.draws ? static_cast<double>(r.glCalls) / static_cast<double>(r.draws) : 0.0,
        static_cast<unsigned long long>(r.maxGlCalls), static_cast<unsigned long long>(r.glCalls),
        static_cast<unsigned long long>(r.draws), i + 1 < results.size() ? "," : "");
  }
  std::printf("  ]\n}\n");
}

void printTable(const ShowOptions& options, const std::vector<BlockResult>& results) {
  std::printf("show: %dx%d, one frame every %d ms of music\n", options.width, options.height, options.stepMs);
  std::printf("  %-14s %6s %9s %9s %8s %9s %9s  %s\n", "block", "frames", "wall ms", "CPU ms", "draws", "GL calls",
              "per draw", "windows (ms of music)");
  for (const BlockResult& r : results) {
    std::printf("  %-14s %6d %9.2f %9.2f %8.1f %9.1f %9.2f  %s\n", r.block.c_str(), r.frames,
                perFrame(r.wallMs, r.frames), perFrame(r.cpuMs, r.frames),
                perFrame(static_cast<double>(r.draws), r.frames), perFrame(static_cast<double>(r.glCalls), r.frames),
                r.draws ? static_cast<double>(r.glCalls) / static_cast<double>(r.draws) : 0.0,
                windowList(r, ", ").c_str());
  }
  std::printf("  (per frame; \"per draw\" is OpenGL calls per OpenGL draw)\n");
}

int runShow(const std::vector<std::string>& args) {
  ShowOptions options;
  if (!parseOptions(args, &options)) {
    std::fprintf(stderr, "usage: vorn-bench %s\n", kUsage);
    return 2;
  }
  const std::vector<BlockEntry> windows = windowsToRun(options.block);
  if (windows.empty()) {
    std::fprintf(stderr, "show: no block is called '%s'\n", options.block.c_str());
    return 2;
  }
  const std::string dataDir = options.dataDir.empty() ? defaultDataDir() : options.dataDir;
  if (chdir(dataDir.c_str()) != 0) {
    std::fprintf(stderr, "show: cannot enter the data folder %s\n", dataDir.c_str());
    return 1;
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  VornFmod_EnableVirtualClock(true);
  VornD3D_SetVsync(false);

  DisplaySettings settings;
  settings.width = options.width;
  settings.height = options.height;
  settings.aspectRatio = static_cast<float>(options.width) / static_cast<float>(options.height);
  settings.fullscreen = false;
  settings.multisample = 0;
  std::fprintf(stderr, "show: loading %s\n", dataDir.c_str());
  DemoSession session;
  if (!session.start(settings) || !g_graphicsDevice || !g_graphicsDevice->device) {
    std::fprintf(stderr, "show: the show could not start\n");
    return 1;
  }
  // One row per block, in the order the music first reaches it.
  std::vector<BlockResult> results;
  for (const BlockEntry& window : windows) {
    auto row = std::find_if(results.begin(), results.end(),
                            [&](const BlockResult& r) { return r.block == window.className; });
    if (row == results.end()) {
      results.push_back(BlockResult{});
      results.back().block = window.className;
      row = results.end() - 1;
    }
    const int framesBefore = row->frames;
    const double cpuBefore = row->cpuMs;
    runWindow(session, window, options, *row);
    std::fprintf(stderr, "show: %-14s %6d..%-6d %4d frames, %.1f ms CPU per frame\n", window.className, window.startMs,
                 window.endMs, row->frames - framesBefore, perFrame(row->cpuMs - cpuBefore, row->frames - framesBefore));
  }
  session.shutdown();
  destroyGlobalFramework();
  if (options.json) printJson(options, results);
  else printTable(options, results);
  return 0;
}

tools::Command showCommand("show", kUsage, runShow);

}  // namespace
