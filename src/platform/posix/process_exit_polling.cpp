#include "platform/posix/process_exit_polling.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/file_system.hpp"
#include "platform/process_exit_watcher.hpp"

namespace glimmet {

bool processHasExited(int pid) {
  if (pid <= 0) return false;
  if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
#ifdef __linux__
  // kill() still succeeds for a zombie; its state letter in /proc tells it has exited.
  const auto stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return false;
  const size_t close = stat->rfind(')');
  if (close == std::string::npos || close + 2 >= stat->size()) return false;
  const char state = (*stat)[close + 2];
  return state == 'Z' || state == 'X';
#else
  return false;
#endif
}

ProcessExitPoller::ProcessExitPoller(MainLoop& loop, int pid, std::function<void()> onExit) {
  timer_ =
      loop.every(Seconds(kIntervalSeconds), Seconds(0.25), [this, pid, onExit = std::move(onExit)] {
        if (!processHasExited(pid)) return;
        timer_.cancel();
        // onExit may destroy this poller: nothing touches it afterwards.
        auto notify = onExit;
        notify();
      });
}

}  // namespace glimmet
