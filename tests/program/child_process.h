// Runs a program as a child process with its own working directory and
// environment, collecting its output; a generous deadline guards against a
// hang (it fails the test, it never measures anything).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern char** environ;

struct ChildResult {
  bool started = false;
  bool timedOut = false;
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  std::string output;  // stdout and stderr together
};

inline ChildResult runChild(const std::string& program, const std::string& workingDirectory,
                            const std::map<std::string, std::string>& extraEnvironment, int deadlineSeconds,
                            const std::vector<std::string>& arguments = {}) {
  ChildResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;

  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    if (!extraEnvironment.count(key)) environment.push_back(entry);
  }
  for (const auto& [key, value] : extraEnvironment) environment.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
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
  result.started = true;
  close(pipeFds[1]);
  fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
  int status = 0;
  bool reaped = false;
  for (;;) {
    pollfd fd{pipeFds[0], POLLIN, 0};
    poll(&fd, 1, 50);
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
    if (!reaped && waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    if (reaped && n == 0) break;  // exited and the pipe is drained
    if (reaped && n < 0 && errno != EAGAIN) break;
    if (!reaped && std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      reaped = true;
    }
  }
  close(pipeFds[0]);
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}
