#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace glimmet {

// What a finished (or stopped) child process left: its exit, what it printed, or why it never
// started.
struct CapturedProcessResult {
  bool success = false;   // started, exited by itself with status 0
  int32_t exitCode = -1;  // the exit status; 128 + the signal when a signal ended it
  std::string stdoutText;
  std::string stderrText;
  std::optional<std::string> launchError;  // set when the program could not be started
  bool timedOut = false;                   // still running at the deadline, so stopped
};

struct ProcessRequest {
  // argv[0] is a path, or a name looked up on this process's PATH.
  std::vector<std::string> argv;
  std::chrono::milliseconds timeout{10000};
  // NAME=value entries for the child; none inherits this process's environment.
  std::optional<std::vector<std::string>> environment;
  // Set from another thread, it stops the program as the time-out would.
  std::shared_ptr<const std::atomic<bool>> cancel;
};

// Runs a short program to its end, standard input from /dev/null, capturing up to 64 KiB of
// each output stream. It runs in its own process group, and at the deadline the whole group is
// terminated (then killed), so a shell's own children cannot outlive a time-out. Blocks the
// calling thread for at most the time-out.
CapturedProcessResult runCapturedProcess(const ProcessRequest& request);

}  // namespace glimmet
