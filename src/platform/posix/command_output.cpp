#include "platform/command_output.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/unique_fd.hpp"

extern char** environ;

namespace glimmet {

namespace {

constexpr size_t kMaxOutputBytes = size_t{64} * 1024;

// Kills `pid` and collects it, so that no zombie is left behind.
void killAndReap(pid_t pid) {
  ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::optional<std::string> commandOutput(const std::vector<std::string>& argv,
                                         std::chrono::milliseconds timeout) {
  if (argv.empty()) return std::nullopt;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return std::nullopt;
  UniqueFd readEnd(pipeFds[0]);
  UniqueFd writeEnd(pipeFds[1]);
  ::fcntl(readEnd.get(), F_SETFD, FD_CLOEXEC);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawn(&pid, argv.front().c_str(), &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  writeEnd.reset();
  if (spawned != 0) return std::nullopt;

  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      killAndReap(pid);
      return std::nullopt;
    }
    pollfd readable{readEnd.get(), POLLIN, 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;  // the deadline check above ends it
    const ssize_t count = ::read(readEnd.get(), buffer, sizeof(buffer));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;  // end of output: the program closed standard output
    output.append(buffer, static_cast<size_t>(count));
    if (output.size() > kMaxOutputBytes) {
      killAndReap(pid);
      return std::nullopt;
    }
  }
  // A program that closed its output but goes on running is killed at the deadline too.
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return output;
      return std::nullopt;
    }
    if (done < 0 && errno != EINTR) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) {
      killAndReap(pid);
      return std::nullopt;
    }
    ::usleep(5000);
  }
}

}  // namespace glimmet
