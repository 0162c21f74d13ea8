#include "support/xvfb.hpp"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/child_process.hpp"

namespace glimmet::testing {

namespace {

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream directories(path ? path : "/usr/bin:/bin");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// Forks `program` with `keepFd` left open across exec and the child's output discarded; the
// child dies with the test process, so a crashed test leaves no server behind.
pid_t startChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 int keepFd) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> environment;
  for (const auto& entry : env) environment.push_back(const_cast<char*>(entry.c_str()));
  environment.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int devNull = ::open("/dev/null", O_RDWR);
    ::dup2(devNull, 0);
    ::dup2(devNull, 1);
    ::dup2(devNull, 2);
    if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
    ::execve(args[0], args.data(), environment.data());
    ::_exit(127);
  }
  return pid;
}

void endChild(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid = -1;
}

std::vector<std::string> environmentWith(const std::string& display) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    if (std::string(*entry).rfind("DISPLAY=", 0) != 0) env.emplace_back(*entry);
  }
  env.push_back("DISPLAY=" + display);
  return env;
}

}  // namespace

bool Xvfb::available() {
  return !findProgram("Xvfb").empty();
}

Xvfb::Xvfb() {
  const std::string program = findProgram("Xvfb");
  if (program.empty()) throw std::runtime_error("no Xvfb on PATH");
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  // -displayfd: the server takes the first free display and writes its number when it is ready
  // for clients. -noreset keeps monitors made with xrandr when the last client leaves.
  server_ = startChild({program, "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset",
                        "-displayfd", std::to_string(pipeFds[1])},
                       environmentWith(":0"), pipeFds[1]);
  ::close(pipeFds[1]);
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (number.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd readable{pipeFds[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[32];
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof(buffer));
    if (n <= 0) break;
    number.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipeFds[0]);
  if (number.find('\n') == std::string::npos) {
    endChild(server_);
    throw std::runtime_error("Xvfb did not start");
  }
  display_ = ":" + number.substr(0, number.find('\n'));
}

Xvfb::~Xvfb() {
  stopCompositor();
  endChild(server_);
}

void Xvfb::startCompositor() {
  if (compositor_ > 0) return;
  const std::string program = findProgram("xcompmgr");
  if (program.empty()) throw std::runtime_error("no xcompmgr on PATH");
  compositor_ = startChild({program}, environmentWith(display_), -1);
  Display* probe = XOpenDisplay(display_.c_str());
  if (!probe) throw std::runtime_error("cannot reach " + display_);
  const Atom selection = XInternAtom(probe, "_NET_WM_CM_S0", False);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool owned = false;
  while (!(owned = XGetSelectionOwner(probe, selection) != None) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  XCloseDisplay(probe);
  if (!owned) throw std::runtime_error("xcompmgr did not take the compositor selection");
}

void Xvfb::stopCompositor() {
  endChild(compositor_);
}

void Xvfb::kill() {
  if (server_ <= 0) return;
  ::kill(server_, SIGKILL);
  int status = 0;
  ::waitpid(server_, &status, 0);
  server_ = -1;
}

int Xvfb::run(const std::vector<std::string>& argv, std::string* output) const {
  auto child = ChildProcess::spawn(argv, environmentWith(display_));
  if (!child.waitExit(20)) return -1;
  if (output) *output = child.output();
  return child.exitCode();
}

}  // namespace glimmet::testing
