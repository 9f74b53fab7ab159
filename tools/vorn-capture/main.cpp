// vorn-capture: renders the real show offline on the virtual music clock,
// with a fixed time step, into PNG frames or an MP4 with the music.
//
// Every frame runs one iteration of the demo's own frame loop (dispatch,
// overlay state, present) after the music clock was set to the frame's time.
// As in the show, a block animates its scenes after drawing, so a frame at
// time t shows the scene poses that the previous frame left: frames depend
// only on the times asked for and the frames before them in the same run.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "capture_options.h"
#include "frame_writer.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/fmod/fmod_vorn.h"
#include "graphics/graphics_device.h"
#include "runtime/demo.h"
#include "runtime/version.h"
#include "ui2d/display_settings.h"

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_interrupted{false};
void onInterrupt(int) { g_interrupted = true; }

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string defaultDataDir() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) return "data";
  return (exe.parent_path() / "data").string();
}

std::string absolute(const std::string& path) { return path.empty() ? path : fs::absolute(path).string(); }

void progressLine(std::int64_t done, std::int64_t total, std::int32_t timeMs, double elapsed) {
  double rate = elapsed > 0 ? done / elapsed : 0.0;
  double left = rate > 0 ? (total - done) / rate : 0.0;
  const int width = 30;
  int filled = total > 0 ? static_cast<int>(width * done / total) : width;
  std::fprintf(stderr, "\r[%.*s%*s] frame %lld/%lld  music %7.2f s  %5.1f fps  %4.0f s left ", filled,
               "##############################", width - filled, "", static_cast<long long>(done),
               static_cast<long long>(total), timeMs / 1000.0, rate, left);
}

// Music time goes into the clock the frame loop reads, and into the
// timeline, so the frame about to be drawn shows that time.
void setMusicTime(DemoSession& session, std::int32_t timeMs) {
  VornFmod_SetVirtualPosition(static_cast<unsigned int>(timeMs));
  session.timeline.musicTimeMs = timeMs;
}

int captureSingleFrames(DemoSession& session, const CaptureOptions& options) {
  IDirect3DDevice9* device = g_graphicsDevice->device;
  std::error_code error;
  fs::create_directories(options.outDir, error);
  auto sink = makePngSink(options.outDir, true);
  CapturedFrame frame;
  session.beforePresent = [&] { VornD3D_ReadPixels(device, &frame.rgba, &frame.width, &frame.height); };
  for (std::int32_t timeMs : options.times) {
    setMusicTime(session, timeMs);
    frame.rgba.clear();
    frame.timeMs = timeMs;
    session.runFrame();
    if (frame.rgba.empty() || !sink->write(frame)) {
      std::fprintf(stderr, "vorn-capture: could not capture the frame at %d ms\n", timeMs);
      return 1;
    }
    if (!options.quiet) std::fprintf(stderr, "vorn-capture: frame_%06d.png\n", timeMs);
  }
  return 0;
}

int captureSequence(DemoSession& session, const CaptureOptions& options, std::unique_ptr<FrameSink> sink) {
  IDirect3DDevice9* device = g_graphicsDevice->device;
  FrameWriter writer(std::move(sink), 4);
  const std::int64_t total = frameCount(options);
  const std::size_t maxInFlight = 3;
  std::size_t inFlight = 0;
  std::int64_t collected = 0;
  double renderSeconds = 0.0, readSeconds = 0.0;
  auto start = Clock::now();

  auto collect = [&](bool wait) {
    CapturedFrame frame;
    auto begin = Clock::now();
    bool got = VornD3D_TakeBackBufferRead(device, &frame.rgba, &frame.width, &frame.height, wait);
    readSeconds += secondsSince(begin);
    if (!got) return false;
    frame.index = collected;
    frame.timeMs = frameTimeMs(options, collected);
    ++collected;
    --inFlight;
    writer.push(std::move(frame));
    return true;
  };

  session.beforePresent = [&] {
    if (VornD3D_QueueBackBufferRead(device)) ++inFlight;
  };
  std::int64_t rendered = 0;
  for (; rendered < total && !g_interrupted; ++rendered) {
    std::int32_t timeMs = frameTimeMs(options, rendered);
    setMusicTime(session, timeMs);
    auto begin = Clock::now();
    bool goOn = session.runFrame();
    renderSeconds += secondsSince(begin);
    while (inFlight >= maxInFlight && collect(true)) {
    }
    while (inFlight > 0 && collect(false)) {
    }
    if (!options.quiet && (rendered % 10 == 0 || rendered + 1 == total))
      progressLine(rendered + 1, total, timeMs, secondsSince(start));
    if (!goOn && rendered + 1 < total) {
      std::fprintf(stderr, "\nvorn-capture: the show ended early at %d ms\n", timeMs);
      ++rendered;
      break;
    }
  }
  while (inFlight > 0 && collect(true)) {
  }
  bool ok = writer.close();
  double elapsed = secondsSince(start);
  if (!options.quiet) {
    std::fprintf(stderr, "\n%s%lld frames in %.1f s (%.1f fps): render %.0f%%, read-back %.0f%%, encode %.0f%% (own thread)\n",
                 g_interrupted ? "interrupted: " : "", static_cast<long long>(collected), elapsed,
                 elapsed > 0 ? collected / elapsed : 0.0, 100.0 * renderSeconds / elapsed,
                 100.0 * readSeconds / elapsed, 100.0 * writer.busySeconds() / elapsed);
  }
  if (collected != rendered) {
    std::fprintf(stderr, "vorn-capture: %lld frames were rendered but %lld read back\n",
                 static_cast<long long>(rendered), static_cast<long long>(collected));
    return 1;
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  if (!parseCaptureOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "vorn-capture: %s\n%s", error.c_str(), kCaptureUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(kCaptureUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vorn-capture %s\n", kVornVersion);
    return 0;
  }
  options.outDir = absolute(options.outDir);
  options.videoPath = absolute(options.videoPath);
  options.framesDir = absolute(options.framesDir);
  std::string dataDir = options.dataDir.empty() ? defaultDataDir() : options.dataDir;
  if (chdir(dataDir.c_str()) != 0) {
    std::fprintf(stderr, "vorn-capture: cannot enter the data folder %s\n", dataDir.c_str());
    return 1;
  }

  std::unique_ptr<FrameSink> sequenceSink;
  if (!options.videoPath.empty()) {
    sequenceSink = makeFfmpegSink(options.videoPath, options.width, options.height, options.fps,
                                  absolute("milk.ogg"), options.fromMs, options.toMs, &error);
    if (!sequenceSink) {
      std::fprintf(stderr, "vorn-capture: %s\n", error.c_str());
      return 1;
    }
  } else if (!options.framesDir.empty()) {
    std::error_code dirError;
    fs::create_directories(options.framesDir, dirError);
    sequenceSink = makePngSink(options.framesDir, false);
  }

  // Offline: no display, no audio device, no vertical sync.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  VornFmod_EnableVirtualClock(true);
  VornD3D_SetVsync(false);
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  DisplaySettings settings;
  settings.width = options.width;
  settings.height = options.height;
  settings.aspectRatio = options.aspectRatio;
  settings.fullscreen = false;
  settings.multisample = options.multisample;

  DemoSession session;
  if (!session.start(settings) || !g_graphicsDevice || !g_graphicsDevice->device) {
    std::fprintf(stderr, "vorn-capture: the show could not start\n");
    return 1;
  }
  int result = options.times.empty() ? captureSequence(session, options, std::move(sequenceSink))
                                     : captureSingleFrames(session, options);
  session.beforePresent = nullptr;
  session.shutdown();
  destroyGlobalFramework();
  return result;
}
