#include "frame_writer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#if defined(_WIN32)
#include <io.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <stb_image_write.h>

namespace {

class PngSink final : public FrameSink {
 public:
  PngSink(std::string directory, bool nameByTime) : directory_(std::move(directory)), nameByTime_(nameByTime) {}
  bool write(const CapturedFrame& frame) override {
    char name[64];
    if (nameByTime_) {
      std::snprintf(name, sizeof name, "frame_%06d.png", frame.timeMs);
    } else {
      std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(frame.index));
    }
    std::string path = (std::filesystem::path(directory_) / name).string();
    if (!stbi_write_png(path.c_str(), frame.width, frame.height, 4, frame.rgba.data(), frame.width * 4)) {
      std::fprintf(stderr, "vorn-capture: cannot write %s\n", path.c_str());
      return false;
    }
    return true;
  }
  bool finish() override { return true; }

 private:
  std::string directory_;
  bool nameByTime_;
};

// Raw frames into ffmpeg's standard input. On POSIX ffmpeg is a child of
// its own (see makeFfmpegSink); on Windows it runs through _popen.
class FfmpegSink final : public FrameSink {
 public:
#if defined(_WIN32)
  explicit FfmpegSink(std::FILE* input) : input_(input) {}
#else
  FfmpegSink(pid_t pid, std::FILE* input) : pid_(pid), input_(input) {}
#endif
  ~FfmpegSink() override { finish(); }
  bool write(const CapturedFrame& frame) override {
    if (!input_ || std::fwrite(frame.rgba.data(), 1, frame.rgba.size(), input_) != frame.rgba.size()) {
      std::fprintf(stderr, "vorn-capture: ffmpeg stopped taking frames\n");
      return false;
    }
    return true;
  }
  bool finish() override {
    if (!input_) return finished_;
#if defined(_WIN32)
    int status = _pclose(input_);
    input_ = nullptr;
    finished_ = status == 0;
#else
    std::fclose(input_);
    input_ = nullptr;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    finished_ = WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
    if (!finished_) std::fprintf(stderr, "vorn-capture: ffmpeg failed (status %d)\n", status);
    return finished_;
  }

 private:
#if !defined(_WIN32)
  pid_t pid_;
#endif
  std::FILE* input_;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<FrameSink> makePngSink(const std::string& directory, bool nameByTime) {
  return std::make_unique<PngSink>(directory, nameByTime);
}

std::string findOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
#if defined(_WIN32)
  const char separator = ';';
  const std::string suffix = ".exe";
#else
  const char separator = ':';
  const std::string suffix;
#endif
  std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(separator, start);
    if (end == std::string::npos) end = dirs.size();
    if (end > start) {
      std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / (name + suffix);
      std::error_code error;
      if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
    }
    start = end + 1;
  }
  return {};
}

std::unique_ptr<FrameSink> makeFfmpegSink(const std::string& outPath, int width, int height, double fps,
                                          const std::string& musicPath, std::int32_t fromMs, std::int32_t toMs,
                                          std::string* error) {
  std::string ffmpeg = findOnPath("ffmpeg");
  if (ffmpeg.empty()) {
    *error = "ffmpeg is not on the PATH; install it (apt-get install ffmpeg) or use --frames DIR for a PNG sequence";
    return nullptr;
  }
  char size[32], rate[32], start[32], span[32];
  std::snprintf(size, sizeof size, "%dx%d", width, height);
  std::snprintf(rate, sizeof rate, "%.6f", fps);
  std::snprintf(start, sizeof start, "%.3f", fromMs / 1000.0);
  std::snprintf(span, sizeof span, "%.3f", (toMs - fromMs) / 1000.0);
  std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                   "-pix_fmt", "rgba", "-s", size, "-r", rate, "-i", "-"};
  std::error_code musicError;
  bool withMusic = !musicPath.empty() && std::filesystem::is_regular_file(musicPath, musicError);
  if (withMusic) {
    args.insert(args.end(), {"-ss", start, "-t", span, "-i", musicPath, "-map", "0:v", "-map", "1:a", "-c:a", "aac",
                             "-b:a", "192k", "-shortest"});
  }
  args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p",
                           "-movflags", "+faststart", outPath});

#if defined(_WIN32)
  // One command line, each argument quoted; binary mode so no byte of a
  // frame is changed on the way.
  std::string command = "\"";
  for (const std::string& arg : args) command += "\"" + arg + "\" ";
  command += "\"";
  std::FILE* input = _popen(command.c_str(), "wb");
  if (!input) {
    *error = "cannot start ffmpeg";
    return nullptr;
  }
  if (!withMusic) std::fprintf(stderr, "vorn-capture: %s not found; the video has no sound\n", musicPath.c_str());
  return std::make_unique<FfmpegSink>(input);
#else
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    *error = "cannot create a pipe to ffmpeg";
    return nullptr;
  }
  pid_t pid = fork();
  if (pid < 0) {
    *error = "cannot start ffmpeg";
    return nullptr;
  }
  if (pid == 0) {
    // Its own process group: Ctrl-C reaches only the capture, which then
    // closes the pipe so ffmpeg finishes a playable file.
    setpgid(0, 0);
    dup2(pipeFds[0], STDIN_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  ::close(pipeFds[0]);
  signal(SIGPIPE, SIG_IGN);
  if (!withMusic) std::fprintf(stderr, "vorn-capture: %s not found; the video has no sound\n", musicPath.c_str());
  return std::make_unique<FfmpegSink>(pid, fdopen(pipeFds[1], "wb"));
#endif
}

FrameWriter::FrameWriter(std::unique_ptr<FrameSink> sink, std::size_t maxQueued)
    : sink_(std::move(sink)), maxQueued_(maxQueued), thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() { close(); }

void FrameWriter::push(CapturedFrame frame) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < maxQueued_ || failed_; });
  if (failed_) return;
  queue_.push_back(std::move(frame));
  changed_.notify_all();
}

void FrameWriter::run() {
  for (;;) {
    CapturedFrame frame;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !queue_.empty() || closing_; });
      if (queue_.empty()) return;
      frame = std::move(queue_.front());
      queue_.pop_front();
      changed_.notify_all();
    }
    auto begin = std::chrono::steady_clock::now();
    bool ok = sink_->write(frame);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::lock_guard lock(mutex_);
    busy_ += seconds;
    if (!ok) {
      failed_ = true;
      queue_.clear();
      changed_.notify_all();
      return;
    }
  }
}

bool FrameWriter::close() {
  {
    std::lock_guard lock(mutex_);
    if (closing_ && !thread_.joinable()) return !failed_;
    closing_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  bool finished = sink_ ? sink_->finish() : true;
  return finished && !failed_;
}

double FrameWriter::busySeconds() const {
  std::lock_guard lock(mutex_);
  return busy_;
}
