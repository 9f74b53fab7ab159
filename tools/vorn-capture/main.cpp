// vorn-capture: renders the real show offline on the virtual music clock,
// with a fixed time step, into PNG frames or an MP4 with the music.
//
// Every frame runs one iteration of the demo's own frame loop (dispatch,
// overlay state, present) after the music clock was set to the frame's time.
// As in the show, a block animates its scenes after drawing, so a frame at
// time t shows the scene poses that the previous frame left: frames depend
// only on the times asked for and the frames before them in the same run.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "capture_options.h"
#include "frame_reader.h"
#include "frame_writer.h"
#include "platform/fmod/fmod_vorn.h"
#include "graphics/graphics_device.h"
#include "runtime/demo.h"
#include "runtime/version.h"
#include "ui2d/display_settings.h"
#if !defined(_WIN32)
#include "platform/d3d9/d3d9_vorn.h"
#endif

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_interrupted{false};
void onInterrupt(int) { g_interrupted = true; }

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The data folder that comes with the program: data/ beside it in a build
// folder; on Windows the program's own folder, where the zip puts the data.
std::string defaultDataDir() {
#if defined(_WIN32)
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return ".";
  return fs::path(path).parent_path().string();
#else
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) return "data";
  return (exe.parent_path() / "data").string();
#endif
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
  std::error_code error;
  fs::create_directories(options.outDir, error);
  auto sink = makePngSink(options.outDir, true);
  FrameReader reader(g_graphicsDevice->device, 1);
  std::string why;
  if (!reader.begin(&why)) {
    std::fprintf(stderr, "vorn-capture: %s\n", why.c_str());
    return 1;
  }
  session.beforePresent = [&] { reader.queue(); };
  for (std::int32_t timeMs : options.times) {
    setMusicTime(session, timeMs);
    session.runFrame();
    CapturedFrame frame;
    frame.timeMs = timeMs;
    if (!reader.take(&frame.rgba, &frame.width, &frame.height) || !sink->write(frame)) {
      std::fprintf(stderr, "vorn-capture: could not capture the frame at %d ms\n", timeMs);
      return 1;
    }
    if (!options.quiet) std::fprintf(stderr, "vorn-capture: frame_%06d.png\n", timeMs);
  }
  return 0;
}

int captureSequence(DemoSession& session, const CaptureOptions& options, std::unique_ptr<FrameSink> sink) {
  FrameWriter writer(std::move(sink), 4);
  // Three frames in flight: a frame's copy has two more frames' drawing to
  // finish in before it is taken.
  FrameReader reader(g_graphicsDevice->device, 3);
  std::string why;
  if (!reader.begin(&why)) {
    std::fprintf(stderr, "vorn-capture: %s\n", why.c_str());
    return 1;
  }
  const std::int64_t total = frameCount(options);
  std::int64_t collected = 0;
  double renderSeconds = 0.0, readSeconds = 0.0;
  auto start = Clock::now();

  auto collect = [&] {
    CapturedFrame frame;
    auto begin = Clock::now();
    bool got = reader.take(&frame.rgba, &frame.width, &frame.height);
    readSeconds += secondsSince(begin);
    if (!got) return false;
    frame.index = collected;
    frame.timeMs = frameTimeMs(options, collected);
    ++collected;
    writer.push(std::move(frame));
    return true;
  };

  session.beforePresent = [&] {
    auto begin = Clock::now();
    reader.queue();
    readSeconds += secondsSince(begin);
  };
  std::int64_t rendered = 0;
  for (; rendered < total && !g_interrupted; ++rendered) {
    std::int32_t timeMs = frameTimeMs(options, rendered);
    setMusicTime(session, timeMs);
    auto begin = Clock::now();
    bool goOn = session.runFrame();
    renderSeconds += secondsSince(begin);
    while (reader.queued() >= reader.depth() && collect()) {
    }
    if (!options.quiet && (rendered % 10 == 0 || rendered + 1 == total))
      progressLine(rendered + 1, total, timeMs, secondsSince(start));
    if (!goOn && rendered + 1 < total) {
      std::fprintf(stderr, "\nvorn-capture: the show ended early at %d ms\n", timeMs);
      ++rendered;
      break;
    }
  }
  while (reader.queued() > 0 && collect()) {
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
  std::error_code dataError;
  fs::current_path(dataDir, dataError);
  if (dataError) {
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

  // Offline: no audio device; on the OpenGL build no display and no
  // vertical sync either (on Windows the real device presents as it will).
#if !defined(_WIN32)
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  VornD3D_SetVsync(false);
#endif
  VornFmod_EnableVirtualClock(true);
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);

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
