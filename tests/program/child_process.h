// Runs a program as a child process with its own working directory and
// environment, collecting its output; a generous deadline guards against a
// hang (it fails the test, it never measures anything).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

// Makes a folder the demo takes for its data folder, with every data file
// missing (which the configuration screen and the loading phase tolerate):
// the demo then runs there instead of looking for the data elsewhere.
inline void makeEmptyDataFolder(const std::filesystem::path& folder) {
  for (const char* part : {"models", "shaders", "textures"}) std::filesystem::create_directories(folder / part);
}

struct ChildResult {
  bool started = false;
  bool timedOut = false;
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  std::string output;  // stdout and stderr together
};

// A child process whose output is collected while it runs; it can be sent
// signals before it is waited for.
class ChildProcess {
 public:
  // Starts the program in its working directory with the environment plus
  // the extra variables, less the removed ones.
  bool start(const std::string& program, const std::string& workingDirectory,
             const std::map<std::string, std::string>& extraEnvironment, const std::vector<std::string>& arguments = {},
             const std::vector<std::string>& removedEnvironment = {}) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string key = entry.substr(0, entry.find('='));
      if (extraEnvironment.count(key)) continue;
      bool removed = false;
      for (const std::string& name : removedEnvironment) removed = removed || name == key;
      if (!removed) environment.push_back(entry);
    }
    for (const auto& [key, value] : extraEnvironment) environment.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      dup2(pipeFds[1], STDOUT_FILENO);
      dup2(pipeFds[1], STDERR_FILENO);
      close(pipeFds[0]);
      close(pipeFds[1]);
      if (chdir(workingDirectory.c_str()) != 0) _exit(126);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execve(program.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    result_.started = true;
    close(pipeFds[1]);
    fd_ = pipeFds[0];
    fcntl(fd_, F_SETFL, O_NONBLOCK);
    return true;
  }

  void signal(int number) {
    if (pid_ > 0 && !reaped_) kill(pid_, number);
  }

  // True while the program runs; collects what it printed so far.
  bool running() {
    pump(0);
    return result_.started && !reaped_;
  }
  const std::string& output() const { return result_.output; }

  // Waits for the program to end; past the deadline it is killed and the
  // result says it timed out.
  ChildResult wait(int deadlineSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
    while (!pump(50)) {
      if (!reaped_ && std::chrono::steady_clock::now() > deadline) {
        result_.timedOut = true;
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        reaped_ = true;
      }
    }
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (WIFEXITED(status_)) {
      result_.exited = true;
      result_.exitCode = WEXITSTATUS(status_);
    } else if (WIFSIGNALED(status_)) {
      result_.signal = WTERMSIG(status_);
    }
    return result_;
  }

  ~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status_, 0);
    }
    if (fd_ >= 0) close(fd_);
  }

 private:
  // Reads what is there; true once the program has ended and all is read.
  bool pump(int timeoutMs) {
    if (fd_ < 0) return true;
    pollfd fd{fd_, POLLIN, 0};
    poll(&fd, 1, timeoutMs);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd_, buffer, sizeof buffer)) > 0) result_.output.append(buffer, static_cast<size_t>(n));
    if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    return reaped_ && (n == 0 || (n < 0 && errno != EAGAIN));
  }

  ChildResult result_;
  pid_t pid_ = -1;
  int fd_ = -1;
  int status_ = 0;
  bool reaped_ = false;
};

inline ChildResult runChild(const std::string& program, const std::string& workingDirectory,
                            const std::map<std::string, std::string>& extraEnvironment, int deadlineSeconds,
                            const std::vector<std::string>& arguments = {},
                            const std::vector<std::string>& removedEnvironment = {}) {
  ChildProcess child;
  if (!child.start(program, workingDirectory, extraEnvironment, arguments, removedEnvironment)) return ChildResult{};
  return child.wait(deadlineSeconds);
}
