#include "platform/machine_architecture.hpp"

#include <sys/utsname.h>

namespace glimmet {

std::string machineArchitecture() {
  struct utsname names {};
  if (::uname(&names) != 0 || names.machine[0] == '\0') return "unknown";
  return names.machine;
}

}  // namespace glimmet
