#include "base/environment.hpp"

#include "base/text.hpp"

// The C library declares it (in extern "C"), but not on every platform.
extern "C" {
extern char** environ;  // NOLINT(readability-redundant-declaration)
}

namespace glimmet {

Environment Environment::current() {
  std::map<std::string, std::string, std::less<>> variables;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string_view text(*entry);
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    variables.emplace(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
  }
  return Environment(std::move(variables));
}

std::optional<std::string> Environment::get(std::string_view name) const {
  const auto found = variables_.find(name);
  if (found == variables_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> Environment::nonEmptyString(std::string_view name) const {
  auto value = get(name);
  if (!value) return std::nullopt;
  std::string trimmed = trim(*value);
  if (trimmed.empty()) return std::nullopt;
  return trimmed;
}

bool isolationFlagFromEnvironment(const Environment& environment) {
  if (environment.get("GLIMMET_RENDER_LIVE_DATA") == "1") return false;
  return environment.get("GLIMMET_TEST_MODE") == "1" ||
         environment.get("GLIMMET_RUN_SELF_TESTS") == "1" ||
         environment.get("GLIMMET_RENDER_FIXTURES").has_value();
}

}  // namespace glimmet
