#include "platform/posix/exit_descriptor.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#ifndef SYS_pidfd_open
#define SYS_pidfd_open 434  // the same number on every Linux architecture
#endif

namespace glimmet {

const char* const kExitDescriptorName = "pidfd";

// A pidfd turns readable when its process exits; libuv watches it like a socket.
ExitDescriptor openExitDescriptor(int pid) {
  ExitDescriptor result;
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    result.fd.reset(static_cast<int>(fd));
    return result;
  }
  const int error = errno;
  if (error == ESRCH) {
    result.alreadyExited = true;
  } else if (error != ENOSYS) {
    // ENOSYS on kernels before 5.3 goes unsaid; EPERM under some sandboxes is reported. Polling
    // works in either case.
    result.failure = POSIXError{error, "pidfd_open"};
  }
  return result;
}

}  // namespace glimmet
