#include "ui/bundle_arguments.hpp"

#include <algorithm>

namespace glimmet {

std::vector<std::string> bundleCommandLine(const std::vector<std::string>& arguments) {
  std::vector<std::string> kept;
  std::copy_if(arguments.begin(), arguments.end(), std::back_inserter(kept),
               [](const std::string& argument) { return argument.rfind("-psn_", 0) != 0; });
  if (kept.empty()) return {"run"};
  return kept;
}

}  // namespace glimmet
