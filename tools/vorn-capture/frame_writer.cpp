#include "frame_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

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

class FfmpegSink final : public FrameSink {
 public:
  FfmpegSink(pid_t pid, int input) : pid_(pid), input_(input) {}
  ~FfmpegSink() override { finish(); }
  bool write(const CapturedFrame& frame) override {
    const std::uint8_t* data = frame.rgba.data();
    std::size_t left = frame.rgba.size();
    while (left > 0) {
      ssize_t written = ::write(input_, data, left);
      if (written < 0) {
        if (errno == EINTR) continue;
        std::fprintf(stderr, "vorn-capture: ffmpeg stopped taking frames\n");
        return false;
      }
      data += written;
      left -= static_cast<std::size_t>(written);
    }
    return true;
  }
  bool finish() override {
    if (pid_ <= 0) return finished_;
    ::close(input_);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    finished_ = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!finished_) std::fprintf(stderr, "vorn-capture: ffmpeg failed (status %d)\n", status);
    return finished_;
  }

 private:
  pid_t pid_;
  int input_;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<FrameSink> makePngSink(const std::string& directory, bool nameByTime) {
  return std::make_unique<PngSink>(directory, nameByTime);
}

std::string findOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
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
  bool withMusic = !musicPath.empty() && access(musicPath.c_str(), R_OK) == 0;
  if (withMusic) {
    args.insert(args.end(), {"-ss", start, "-t", span, "-i", musicPath, "-map", "0:v", "-map", "1:a", "-c:a", "aac",
                             "-b:a", "192k", "-shortest"});
  }
  args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p",
                           "-movflags", "+faststart", outPath});

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
  return std::make_unique<FfmpegSink>(pid, pipeFds[1]);
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
