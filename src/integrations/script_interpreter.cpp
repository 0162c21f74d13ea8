#include "integrations/script_interpreter.hpp"

#include <chrono>

#include "base/text.hpp"
#include "integrations/app_locations.hpp"
#include "integrations/hook_config_json.hpp"
#include "platform/command_output.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr std::chrono::milliseconds kProbeTimeout{5000};
constexpr const char* kSearchPathFallback = "/usr/bin/env python3";

// A script starts with "#!"; an interpreter is a compiled program.
bool isScript(const std::string& path) {
  const auto text = readFileFrom(path, 0, 2);
  return text && startsWith(*text, "#!");
}

}  // namespace

std::optional<std::string> askShimForInterpreter(const std::string& shim) {
  auto output = commandOutput({shim, "-c", "import sys; print(sys.executable)"}, kProbeTimeout);
  if (!output) return std::nullopt;
  return trim(*output);
}

std::string resolvePythonInterpreter(const Environment& environment,
                                     const InterpreterProbe& probe) {
  const auto found = executableInPath("python3", environment);
  if (!found) return kSearchPathFallback;
  if (!isScript(*found)) return shellWord(*found);
  const auto answer = probe ? probe(*found) : std::nullopt;
  const std::string resolved = answer ? trim(*answer) : "";
  if (startsWith(resolved, "/") && isExecutableFile(resolved) && !isScript(resolved)) {
    return shellWord(resolved);
  }
  return kSearchPathFallback;
}

}  // namespace glimmet
