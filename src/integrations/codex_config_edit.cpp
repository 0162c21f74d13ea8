#include "integrations/codex_config_edit.hpp"

#include <fmt/format.h>

#include <toml++/toml.h>

#include "base/text.hpp"
#include "integrations/toml_edit.hpp"

namespace glimmet {

namespace {

struct ParsedConfig {
  std::optional<toml::table> table;
  size_t errorLine = 0;
};

ParsedConfig parseConfigToml(std::string_view text) {
  try {
    return {toml::parse(text), 0};
  } catch (const toml::parse_error& error) {
    return {std::nullopt, static_cast<size_t>(error.source().begin.line)};
  }
}

std::optional<std::vector<std::string>> notifyOf(const toml::table& config) {
  const auto* array = config["notify"].as_array();
  if (!array) return std::nullopt;
  std::vector<std::string> command;
  for (const auto& element : *array) {
    const auto* text = element.as_string();
    if (!text) return std::nullopt;
    command.push_back(text->get());
  }
  return command;
}

bool hooksFeatureIsOn(const toml::table& config) {
  return config["features"]["hooks"].value<bool>() == true && !config["features"]["codex_hooks"];
}

std::string notifyLine(const std::vector<std::string>& command) {
  std::vector<std::string> quoted;
  quoted.reserve(command.size());
  for (const auto& part : command) quoted.push_back(tomlQuoted(part));
  return "notify = [" + join(quoted, ", ") + "]";
}

bool isTopLevelHeader(std::string_view line) {
  return startsWith(trim(line), "[");
}

// Lines before the first table header, where top-level keys live.
size_t topLevelEnd(const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (isTopLevelHeader(lines[i])) return i;
  }
  return lines.size();
}

bool hasFeaturesHeader(const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    if (!isTopLevelHeader(line)) continue;
    const std::string header = trim(stripTomlLineComment(line));
    if (header.starts_with("[[") || header.size() < 2) continue;
    const auto path = tomlKeyPath(header.substr(1, header.size() - 2) + " =");
    if (path && path->size() == 1 && path->front() == "features") return true;
  }
  return false;
}

// `features = { x = true }` gains `hooks = true` inside its braces. Inline tables are single
// lines in TOML, so the closing brace is the last one on the line.
Result<std::string> enableInInlineTable(const std::string& path, std::string_view text) {
  std::vector<std::string> lines = split(text, '\n');
  const size_t end = topLevelEnd(lines);
  for (size_t i = 0; i < end; ++i) {
    const auto key = tomlKeyPath(lines[i]);
    if (!key || *key != std::vector<std::string>{"features"}) continue;
    std::string& line = lines[i];
    const size_t open = line.find('{', line.find('='));
    // A brace in a trailing comment is not the table's end.
    const size_t close = stripTomlLineComment(line).rfind('}');
    if (open == std::string::npos || close == std::string::npos || close < open) break;
    const std::string inside = trim(std::string_view(line).substr(open + 1, close - open - 1));
    const std::string entries = inside.empty() ? "hooks = true" : inside + ", hooks = true";
    line = fmt::format("{}{{ {} }}{}", line.substr(0, open), entries, line.substr(close + 1));
    return join(lines, "\n");
  }
  return Result<std::string>::failure(
      fmt::format("{}: cannot add features.hooks safely (features is an inline table)", path));
}

// `features.x = true` at the top level: the flag joins its siblings as another dotted key,
// since a [features] table may not follow keys that already defined it.
std::string enableInDottedKeys(std::string_view text) {
  std::vector<std::string> lines = split(text, '\n');
  const size_t end = topLevelEnd(lines);
  std::vector<std::string> result;
  size_t lastFeature = std::string::npos;
  bool hooksSet = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto key = i < end ? tomlKeyPath(lines[i]) : std::nullopt;
    const bool isFeature = key && key->size() == 2 && key->front() == "features";
    if (isFeature && (*key)[1] == "codex_hooks") continue;  // the deprecated name of the flag
    if (isFeature && (*key)[1] == "hooks") {
      result.emplace_back("features.hooks = true");
      hooksSet = true;
    } else {
      result.push_back(lines[i]);
    }
    if (key && key->size() >= 2 && key->front() == "features") lastFeature = result.size() - 1;
  }
  if (!hooksSet && lastFeature != std::string::npos) {
    result.insert(result.begin() + static_cast<long>(lastFeature) + 1, "features.hooks = true");
  }
  return join(result, "\n");
}

Result<std::string> enableHooksFeature(const std::string& path, std::string_view text,
                                       const toml::table& config) {
  const toml::node* features = config.get("features");
  if (!features) return ensureCodexHooksFeature(text);
  const toml::table* table = features->as_table();
  if (!table) {
    return Result<std::string>::failure(
        fmt::format("{}: cannot add features.hooks safely (features is not a table)", path));
  }
  const std::vector<std::string> lines = split(text, '\n');
  if (hasFeaturesHeader(lines)) return ensureCodexHooksFeature(text);
  if (table->is_inline()) {
    if (table->contains("hooks") || table->contains("codex_hooks")) {
      return Result<std::string>::failure(
          fmt::format("{}: cannot set features.hooks safely (features is an inline table)", path));
    }
    return enableInInlineTable(path, text);
  }
  for (size_t i = 0; i < topLevelEnd(lines); ++i) {
    const auto key = tomlKeyPath(lines[i]);
    if (key && key->size() >= 2 && key->front() == "features") return enableInDottedKeys(text);
  }
  // Only sub-tables ([features.x]) define it so far: a [features] table may still follow.
  return ensureCodexHooksFeature(text);
}

}  // namespace

std::optional<std::vector<std::string>> codexNotifyCommandOf(std::string_view text) {
  const ParsedConfig parsed = parseConfigToml(text);
  if (!parsed.table) return std::nullopt;
  return notifyOf(*parsed.table);
}

bool codexHooksFeatureEnabled(std::string_view text) {
  const ParsedConfig parsed = parseConfigToml(text);
  if (!parsed.table) return false;
  const auto& features = (*parsed.table)["features"];
  return features["hooks"].value<bool>() == true || features["codex_hooks"].value<bool>() == true;
}

Result<std::string> planCodexConfig(const std::string& path, std::string_view text,
                                    const std::vector<std::string>& notify) {
  const ParsedConfig before = parseConfigToml(text);
  if (!before.table) {
    return Result<std::string>::failure(
        fmt::format("{} is not valid TOML (line {})", path, before.errorLine));
  }
  std::string planned(text);
  if (notifyOf(*before.table) != notify) planned = setTomlNotify(planned, notifyLine(notify));

  const ParsedConfig withNotify = parseConfigToml(planned);
  if (!withNotify.table || notifyOf(*withNotify.table) != notify) {
    return Result<std::string>::failure(fmt::format("{}: cannot set notify safely", path));
  }
  if (!hooksFeatureIsOn(*withNotify.table)) {
    auto enabled = enableHooksFeature(path, planned, *withNotify.table);
    if (!enabled) return enabled;
    planned = std::move(enabled.value());
  }

  // The edits are textual; only a result that reads back as intended is ever written.
  const ParsedConfig after = parseConfigToml(planned);
  if (!after.table || notifyOf(*after.table) != notify) {
    return Result<std::string>::failure(fmt::format("{}: cannot set notify safely", path));
  }
  if (!hooksFeatureIsOn(*after.table)) {
    return Result<std::string>::failure(fmt::format("{}: cannot add features.hooks safely", path));
  }
  return planned;
}

}  // namespace glimmet
