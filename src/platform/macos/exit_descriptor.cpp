#include "platform/posix/exit_descriptor.hpp"

#include <sys/event.h>

#include <cerrno>
#include <utility>

namespace glimmet {

const char* const kExitDescriptorName = "kqueue";

// A kqueue holding one EVFILT_PROC/NOTE_EXIT filter turns readable when the process exits.
ExitDescriptor openExitDescriptor(int pid) {
  ExitDescriptor result;
  UniqueFd queue(::kqueue());
  if (!queue.valid()) {
    result.failure = POSIXError{errno, "kqueue"};
    return result;
  }
  struct kevent change {};
  EV_SET(&change, pid, EVFILT_PROC, EV_ADD | EV_ONESHOT, NOTE_EXIT, 0, nullptr);
  if (::kevent(queue.get(), &change, 1, nullptr, 0, nullptr) != 0) {
    const int error = errno;
    if (error == ESRCH) {
      result.alreadyExited = true;
    } else {
      result.failure = POSIXError{error, "kevent EVFILT_PROC"};
    }
    return result;
  }
  result.fd = std::move(queue);
  return result;
}

}  // namespace glimmet
