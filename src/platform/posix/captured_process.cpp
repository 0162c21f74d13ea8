#include "platform/captured_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/unique_fd.hpp"

extern char** environ;

namespace glimmet {

namespace {

constexpr size_t kMaxCapturedBytes = size_t{64} * 1024;
constexpr auto kGraceAfterTerminate = std::chrono::milliseconds(200);
constexpr auto kDrainAfterExit = std::chrono::milliseconds(100);

struct Pipe {
  UniqueFd readEnd;
  UniqueFd writeEnd;
};

std::optional<Pipe> makePipe() {
  int fds[2];
  if (::pipe(fds) != 0) return std::nullopt;
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

std::vector<char*> cStrings(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (const auto& text : strings) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

int32_t exitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reads what is ready on the open ends of `pipes` into `outputs`, closing an end at its end of
// file; waits at most `waitMs`.
void drainReady(UniqueFd* pipes[2], std::string* outputs[2], int waitMs) {
  pollfd polled[2];
  int count = 0;
  int owner[2];
  for (int index = 0; index < 2; ++index) {
    if (!pipes[index]->valid()) continue;
    polled[count] = pollfd{pipes[index]->get(), POLLIN, 0};
    owner[count++] = index;
  }
  if (count == 0) {
    if (waitMs > 0) ::usleep(static_cast<useconds_t>(std::min(waitMs, 5) * 1000));
    return;
  }
  if (::poll(polled, static_cast<nfds_t>(count), waitMs) <= 0) return;
  char buffer[4096];
  for (int slot = 0; slot < count; ++slot) {
    if (polled[slot].revents == 0) continue;
    const int index = owner[slot];
    const ssize_t got = ::read(pipes[index]->get(), buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      pipes[index]->reset();
      continue;
    }
    // Past the limit the output is read and dropped, so a chatty program never stalls.
    const size_t room = kMaxCapturedBytes - std::min(kMaxCapturedBytes, outputs[index]->size());
    outputs[index]->append(buffer, std::min(room, static_cast<size_t>(got)));
  }
}

}  // namespace

CapturedProcessResult runCapturedProcess(const ProcessRequest& request) {
  CapturedProcessResult result;
  if (request.argv.empty()) {
    result.launchError = "no program to run";
    return result;
  }
  auto out = makePipe();
  auto err = makePipe();
  if (!out || !err) {
    result.launchError = std::string("pipe: ") + std::strerror(errno);
    return result;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out->writeEnd.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err->writeEnd.get(), STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  posix_spawnattr_setsigdefault(&attributes, &signals);

  auto arguments = cStrings(request.argv);
  std::vector<char*> environment;
  if (request.environment) environment = cStrings(*request.environment);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, request.argv.front().c_str(), &actions, &attributes, arguments.data(),
                     request.environment ? environment.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  out->writeEnd.reset();
  err->writeEnd.reset();
  if (spawned != 0) {
    result.launchError = request.argv.front() + ": " + std::strerror(spawned);
    return result;
  }

  UniqueFd* pipes[2] = {&out->readEnd, &err->readEnd};
  std::string* outputs[2] = {&result.stdoutText, &result.stderrText};
  const auto deadline =
      std::chrono::steady_clock::now() + std::max(request.timeout, std::chrono::milliseconds(1));
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      result.launchError = std::string("waitpid: ") + std::strerror(errno);
      return result;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const bool cancelled = request.cancel && request.cancel->load();
    if (left.count() <= 0 || cancelled) {
      result.timedOut = !cancelled;
      ::kill(-pid, SIGTERM);
      const auto grace = std::chrono::steady_clock::now() + kGraceAfterTerminate;
      while (::waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < grace) {
        ::usleep(5000);
      }
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      result.exitCode = exitCodeOf(status);
      return result;
    }
    drainReady(pipes, outputs, static_cast<int>(std::min<int64_t>(left.count(), 10)));
  }
  // The program ended; what it wrote last may still be in the pipes. A program it started and
  // left running (a browser behind xdg-open) may hold them open for good, so the reading ends
  // shortly after.
  const auto drainEnd = std::chrono::steady_clock::now() + kDrainAfterExit;
  while ((pipes[0]->valid() || pipes[1]->valid()) && std::chrono::steady_clock::now() < drainEnd) {
    drainReady(pipes, outputs, 10);
  }
  result.exitCode = exitCodeOf(status);
  result.success = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

}  // namespace glimmet
