#include "platform/detached_process.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

#include "platform/posix/descriptor_io.hpp"
#include "platform/posix/unique_fd.hpp"

namespace glimmet {

namespace {

// Between fork and exec only async-signal-safe calls are allowed: the parent may have other
// threads holding locks the child would never see released.
[[noreturn]] void execDetachedChild(char* const* arguments, int errorPipe) {
  const int nullFd = ::open("/dev/null", O_RDWR);
  if (nullFd >= 0) {
    ::dup2(nullFd, STDIN_FILENO);
    ::dup2(nullFd, STDOUT_FILENO);
    ::dup2(nullFd, STDERR_FILENO);
    if (nullFd > STDERR_FILENO) ::close(nullFd);
  }
  // Descriptors this process left inheritable (sockets, watched files) must not stay open for
  // as long as the child lives; the error pipe closes itself on exec.
  const int highest = static_cast<int>(::sysconf(_SC_OPEN_MAX));
  for (int fd = STDERR_FILENO + 1; fd < highest && fd < 65536; ++fd) {
    if (fd != errorPipe) ::close(fd);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  for (const int number : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGUSR1, SIGUSR2}) {
    ::sigaction(number, &defaultAction, nullptr);
  }
  ::execv(arguments[0], arguments);
  const int error = errno;
  (void)::write(errorPipe, &error, sizeof error);
  ::_exit(127);
}

}  // namespace

Status spawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return Status::failure("No program to start");
  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  // The write end closes itself when exec succeeds, so reading it tells success (end of file)
  // from failure (the errno value). macOS has no pipe2, hence the separate fcntl calls.
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return Status::failure(systemError(errno));
  UniqueFd readEnd(pipeFds[0]);
  UniqueFd writeEnd(pipeFds[1]);
  ::fcntl(readEnd.get(), F_SETFD, FD_CLOEXEC);
  ::fcntl(writeEnd.get(), F_SETFD, FD_CLOEXEC);

  // Two forks: the middle process exits at once and is reaped here, so the program is adopted
  // by init (or the nearest subreaper) and never waits on this process.
  const pid_t middle = ::fork();
  if (middle < 0) return Status::failure(systemError(errno));
  if (middle == 0) {
    ::setsid();
    const pid_t program = ::fork();
    if (program < 0) {
      const int error = errno;
      (void)::write(writeEnd.get(), &error, sizeof error);
      ::_exit(1);
    }
    if (program > 0) ::_exit(0);
    execDetachedChild(arguments.data(), writeEnd.get());
  }
  writeEnd.reset();
  int error = 0;
  size_t got = 0;
  while (got < sizeof error) {
    const ssize_t n =
        ::read(readEnd.get(), reinterpret_cast<char*>(&error) + got, sizeof error - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  if (got == sizeof error) return Status::failure(systemError(error));
  return {};
}

int64_t currentProcessId() {
  return static_cast<int64_t>(::getpid());
}

std::optional<std::string> currentExecutablePath() {
#ifdef __APPLE__
  uint32_t size = PATH_MAX;
  std::string raw(size, '\0');
  if (_NSGetExecutablePath(raw.data(), &size) != 0) return std::nullopt;
  char resolved[PATH_MAX];
  if (!::realpath(raw.c_str(), resolved)) return std::nullopt;
  return std::string(resolved);
#else
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(length));
#endif
}

std::string currentLoginName() {
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name) return entry->pw_name;
  if (const char* name = ::getlogin()) return name;
  return {};
}

}  // namespace glimmet
