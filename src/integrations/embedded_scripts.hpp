#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace glimmet {

// A bridge script compiled into the program, byte for byte as it is installed.
struct EmbeddedScript {
  std::string_view name;
  std::string_view text;
};

const std::vector<EmbeddedScript>& embeddedScripts();

inline std::optional<std::string_view> embeddedScript(std::string_view name) {
  for (const auto& script : embeddedScripts()) {
    if (script.name == name) return script.text;
  }
  return std::nullopt;
}

}  // namespace glimmet
