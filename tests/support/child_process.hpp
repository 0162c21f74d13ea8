#pragma once

// Real child processes: clients of the socket, agents to kill and the glimmet program itself,
// driven from outside the way a user's shell does. Header-only: only *_test.cpp files and
// test_support.cpp join a test binary.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace glimmet::testing {

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }
  ChildProcess& operator=(ChildProcess&& other) noexcept {
    std::swap(pid_, other.pid_);
    std::swap(input_, other.input_);
    std::swap(output_, other.output_);
    std::swap(text_, other.text_);
    std::swap(status_, other.status_);
    return *this;
  }
  ~ChildProcess() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    closeInput();
    if (output_ >= 0) ::close(output_);
  }

  // `environment` empty: the test's own environment. Standard error joins standard output.
  static ChildProcess spawn(const std::vector<std::string>& argv,
                            const std::vector<std::string>& environment = {},
                            std::string_view input = {}, bool keepInputOpen = false) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const auto& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);
    ChildProcess child;
    const int rc = posix_spawnp(&child.pid_, argv[0].c_str(), &actions, nullptr, args.data(),
                                environment.empty() ? environ : env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    child.input_ = in[1];
    child.output_ = out[0];
    if (rc != 0) throw std::runtime_error("posix_spawnp failed for " + argv[0]);
    ::fcntl(child.output_, F_SETFL, ::fcntl(child.output_, F_GETFL) | O_NONBLOCK);
    child.write(input);
    if (!keepInputOpen) child.closeInput();
    return child;
  }

  pid_t pid() const { return pid_; }
  // The raw wait status once exited() holds, otherwise -1.
  int status() const { return status_; }
  int exitCode() const { return status_ >= 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }

  void write(std::string_view bytes) {
    while (!bytes.empty() && input_ >= 0) {
      const ssize_t n = ::write(input_, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return;
      }
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }
  void closeInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }

  // Everything the child printed so far.
  const std::string& output() {
    pump();
    return text_;
  }

  // True once the child has exited (its output is then complete).
  bool exited() {
    pump();
    if (status_ >= 0) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
      drain();
    }
    return status_ >= 0;
  }

  bool waitUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      pump();
    }
    return true;
  }
  bool waitForOutput(std::string_view text, double seconds) {
    return waitUntil([&] { return output().find(text) != std::string::npos; }, seconds);
  }
  bool waitExit(double seconds) {
    return waitUntil([&] { return exited(); }, seconds);
  }

  void signal(int number) {
    if (pid_ > 0 && status_ < 0) ::kill(pid_, number);
  }

 private:
  void pump() {
    if (output_ < 0) return;
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(output_, buffer, sizeof(buffer));
      if (n > 0) {
        text_.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      return;
    }
  }
  void drain() {
    // After exit the pipe holds everything; a grandchild may still hold it open, so stop at
    // the first empty read.
    pump();
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string text_;
  int status_ = -1;
};

// Only what is given here, so that the developer's own HOME, data directories and event file
// never leak into a child.
inline std::vector<std::string> isolatedEnvironment(const std::string& root,
                                                    const std::string& eventFile) {
  return {"HOME=" + root + "/home", "XDG_DATA_HOME=" + root + "/data",
          "XDG_CONFIG_HOME=" + root + "/config", "GLIMMET_EVENT_FILE=" + eventFile,
          "PATH=/usr/bin:/bin"};
}

// Runs a short-lived command to completion; its exit code is then child.exitCode().
inline ChildProcess runToCompletion(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& environment) {
  auto child = ChildProcess::spawn(argv, environment);
  child.waitExit(30);
  return child;
}

inline std::string hookClientScript() {
  return std::string(GLIMMET_SOURCE_DIR) + "/tests/bridge/hook_client.py";
}

inline std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace glimmet::testing
