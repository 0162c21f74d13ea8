// Codex's config.toml, as the installer edits it: arbitrary text in, and whenever an edit is
// planned, a file that parses, holds the intended values and keeps every other setting.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

#include "base/text.hpp"
#include "fuzz_check.hpp"
#include "integrations/codex_config_edit.hpp"
#include "integrations/toml_edit.hpp"

using namespace glimmet;

namespace {

std::optional<toml::table> parsed(std::string_view text) {
  try {
    return toml::parse(text);
  } catch (const toml::parse_error&) {
    return std::nullopt;
  }
}

// A value as TOML text: compared as text, so that nan equals nan.
std::string printed(const toml::node& node) {
  std::ostringstream out;
  out << toml::node_view<const toml::node>(&node);
  return out.str();
}

// Every key of `before` outside the ones the edit is about keeps its value in `after`.
void checkKept(const toml::table& before, const toml::table& after,
               const std::vector<std::string_view>& edited) {
  for (const auto& [key, value] : before) {
    if (std::find(edited.begin(), edited.end(), key.str()) != edited.end()) continue;
    const toml::node* kept = after.get(key.str());
    FUZZ_CHECK(kept != nullptr);
    FUZZ_CHECK(printed(*kept) == printed(value));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // The line helpers meet every line, whether the file parses or not.
  const std::vector<std::string> lines = split(text, '\n');
  for (const auto& line : lines) {
    (void)tomlKeyPath(line);
    (void)tomlAssignmentKey(line);
  }
  (void)findTomlNotify(lines);
  (void)codexNotifyCommandOf(text);
  (void)codexHooksFeatureEnabled(text);

  const std::vector<std::string> notify = {"/home/dev/.glimmet/bin/glimmet-codex-notify",
                                           "--source", "codex"};
  const auto planned = planCodexConfig("config.toml", text, notify);
  const auto before = parsed(text);
  if (!before) {
    FUZZ_CHECK(!planned.ok());
    return 0;
  }
  if (!planned) return 0;
  const auto after = parsed(planned.value());
  FUZZ_CHECK(after.has_value());
  FUZZ_CHECK(codexNotifyCommandOf(planned.value()) == notify);
  FUZZ_CHECK(codexHooksFeatureEnabled(planned.value()));
  checkKept(*before, *after, {"notify", "features"});
  if (const auto* features = (*before)["features"].as_table()) {
    if (const auto* afterFeatures = (*after)["features"].as_table()) {
      checkKept(*features, *afterFeatures, {"hooks", "codex_hooks"});
    }
  }
  // A second install changes nothing.
  const auto again = planCodexConfig("config.toml", planned.value(), notify);
  FUZZ_CHECK(again.ok());
  FUZZ_CHECK(again.value() == planned.value());
  return 0;
}
