#pragma once

#include <optional>

#include "platform/posix/unique_fd.hpp"
#include "platform/posix_error.hpp"

namespace glimmet {

// What the kernel offers for waiting on one process's exit; the POSIX ProcessExitWatcher polls
// the descriptor on the main loop and falls back to polling the process where there is none.
struct ExitDescriptor {
  // Turns readable once the process has exited; invalid when the kernel cannot notify.
  UniqueFd fd;
  // The process was gone before it could be watched.
  bool alreadyExited = false;
  // Why there is no descriptor, when that is worth a diagnostic line.
  std::optional<POSIXError> failure;
};

// Defined per OS: a pidfd on Linux, a kqueue with an EVFILT_PROC filter on macOS.
ExitDescriptor openExitDescriptor(int pid);
// Names that mechanism in diagnostics ("pidfd", "kqueue").
extern const char* const kExitDescriptorName;

}  // namespace glimmet
