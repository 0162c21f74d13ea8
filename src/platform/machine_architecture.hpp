#pragma once

#include <string>

namespace glimmet {

// The processor architecture the kernel reports ("x86_64", "aarch64", "arm64"), or "unknown".
std::string machineArchitecture();

}  // namespace glimmet
