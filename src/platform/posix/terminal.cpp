#include "platform/terminal.hpp"

#include <unistd.h>

namespace glimmet {

bool standardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace glimmet
