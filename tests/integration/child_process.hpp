#pragma once

// A real child process with its standard output on a pipe, for tests that drive the built
// programs from outside, the way a user's shell does.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace glimmet::testing {

using SteadyClock = std::chrono::steady_clock;

// The environment of a child: only what is given here, so that the developer's own HOME, data
// directories and event file never leak into a test.
using ChildEnvironment = std::map<std::string, std::string>;

class ChildProcess {
 public:
  // With `mergeStderr` the child's standard error goes to the same pipe; otherwise it is the
  // test's own, so that diagnostics show up in the test log.
  ChildProcess(const std::vector<std::string>& argv, const ChildEnvironment& environment,
               bool mergeStderr = false) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    if (mergeStderr) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : environment) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
      ::close(pipeFds[0]);
      throw std::runtime_error("posix_spawn failed for " + argv[0]);
    }
    outFd_ = pipeFds[0];
    ::fcntl(outFd_, F_SETFL, ::fcntl(outFd_, F_GETFL) | O_NONBLOCK);
  }

  ~ChildProcess() {
    if (!exitStatus_) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    if (outFd_ >= 0) ::close(outFd_);
  }

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Everything the child printed so far.
  const std::string& output() const { return output_; }

  // Reads whatever is available, waiting at most `wait`. Returns false at end of output.
  bool pump(std::chrono::milliseconds wait) {
    if (outFd_ < 0) return false;
    pollfd entry{outFd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0) return true;
    char buffer[65536];
    while (true) {
      const ssize_t got = ::read(outFd_, buffer, sizeof buffer);
      if (got > 0) {
        output_.append(buffer, static_cast<size_t>(got));
        continue;
      }
      if (got == 0) {
        ::close(outFd_);
        outFd_ = -1;
        return false;
      }
      return true;  // EAGAIN: drained for now
    }
  }

  // Reads output until `done(output)` holds or the deadline passes. The time at which the
  // condition was first seen true is returned, so callers can measure latency.
  std::optional<SteadyClock::time_point> waitForOutput(
      const std::function<bool(const std::string&)>& done, std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (true) {
      if (done(output_)) return SteadyClock::now();
      const auto now = SteadyClock::now();
      if (now >= deadline) return std::nullopt;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
      if (!pump(std::min(left, std::chrono::milliseconds(20))) && !done(output_)) {
        return std::nullopt;
      }
    }
  }

  // Waits for the child to exit, reading its output meanwhile; the raw wait status or absent.
  std::optional<int> waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (!exitStatus_) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = status;
        break;
      }
      if (SteadyClock::now() >= deadline) return std::nullopt;
      // At end of output the exit follows shortly; poll() then returns at once, so pause.
      if (!pump(std::chrono::milliseconds(10))) ::usleep(2000);
    }
    // The last bytes written before exiting are still in the pipe.
    while (outFd_ >= 0 && SteadyClock::now() < deadline && pump(std::chrono::milliseconds(50))) {
    }
    return exitStatus_;
  }

 private:
  pid_t pid_ = -1;
  int outFd_ = -1;
  std::string output_;
  std::optional<int> exitStatus_;
};

struct ChildResult {
  int exitCode = -1;
  std::string output;
};

// Runs a short-lived command to completion and returns its exit code and standard output.
inline ChildResult runToCompletion(const std::vector<std::string>& argv,
                                   const ChildEnvironment& environment, bool mergeStderr = false,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  ChildProcess child(argv, environment, mergeStderr);
  const auto status = child.waitForExit(timeout);
  ChildResult result;
  result.output = child.output();
  if (status && WIFEXITED(*status)) result.exitCode = WEXITSTATUS(*status);
  return result;
}

}  // namespace glimmet::testing
