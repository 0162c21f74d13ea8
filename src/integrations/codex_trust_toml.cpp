#include "integrations/codex_trust_toml.hpp"

#include <algorithm>
#include <optional>
#include <set>

#include <fmt/format.h>

#include <toml++/toml.h>

#include "base/text.hpp"
#include "integrations/toml_edit.hpp"

namespace glimmet {

namespace {

std::optional<toml::table> parseToml(std::string_view text) {
  try {
    return toml::parse(text);
  } catch (const toml::parse_error&) {
    return std::nullopt;
  }
}

size_t errorLineOf(std::string_view text) {
  try {
    (void)toml::parse(text);
  } catch (const toml::parse_error& error) {
    return static_cast<size_t>(error.source().begin.line);
  }
  return 0;
}

// A TOML basic string. Unlike the simpler quoting used for notify, control characters are
// escaped too: a path may hold any byte but "/" and NUL.
std::string tomlBasicString(std::string_view value) {
  std::string out = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          out += fmt::format("\\u{:04X}", static_cast<unsigned>(byte));
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string trustHeader(std::string_view key) {
  return "[hooks.state." + tomlBasicString(key) + "]";
}

std::string trustLine(std::string_view hash) {
  return "trusted_hash = " + tomlBasicString(hash);
}

const toml::table* stateTable(const toml::table& config) {
  const toml::table* hooks = config["hooks"].as_table();
  return hooks ? (*hooks)["state"].as_table() : nullptr;
}

// The key of a `[hooks.state."<key>"]` header line, however it is quoted or escaped; absent
// for any other line. The full parser reads the header, so escapes need no code of their own.
std::optional<std::string> trustHeaderKey(std::string_view line) {
  const std::string text = trim(line);
  if (!startsWith(text, "[") || startsWith(text, "[[")) return std::nullopt;
  const auto parsed = parseToml(text);
  if (!parsed) return std::nullopt;
  const toml::table* state = stateTable(*parsed);
  if (!state || parsed->size() != 1 || (*parsed)["hooks"].as_table()->size() != 1 ||
      state->size() != 1) {
    return std::nullopt;
  }
  for (const auto& [key, entry] : *state) {
    const toml::table* table = entry.as_table();
    if (table && table->empty()) return std::string(key.str());
  }
  return std::nullopt;
}

// A line that opens a table: a following line of a multi-line array ("  [1, 2],") does not
// parse on its own and so is not taken for one.
bool opensTable(std::string_view line) {
  const std::string text = trim(line);
  return startsWith(text, "[") && parseToml(text).has_value();
}

// The lines of one `[hooks.state."<key>"]` table: its header and every line up to the next
// table (or the end of the text, not counting the empty piece after a final line feed).
struct TrustBlock {
  size_t header = 0;
  size_t end = 0;
};

std::map<std::string, TrustBlock> trustBlocksOf(const std::vector<std::string>& lines) {
  std::map<std::string, TrustBlock> blocks;
  const size_t last = !lines.empty() && lines.back().empty() ? lines.size() - 1 : lines.size();
  for (size_t i = 0; i < last; ++i) {
    const auto key = trustHeaderKey(lines[i]);
    if (!key) continue;
    size_t end = i + 1;
    while (end < last && !opensTable(lines[end])) ++end;
    blocks[*key] = {i, end};
  }
  return blocks;
}

bool isBlank(std::string_view line) {
  return trim(line).empty();
}

void setTrustedHash(std::vector<std::string>& lines, const TrustBlock& block,
                    std::string_view hash) {
  bool replaced = false;
  for (size_t i = block.header + 1; i < block.end; ++i) {
    if (tomlAssignmentKey(lines[i]) == "trusted_hash") {
      lines[i] = trustLine(hash);
      replaced = true;
    }
  }
  if (!replaced) lines.insert(lines.begin() + static_cast<long>(block.header) + 1, trustLine(hash));
}

// Removes the header and the entry's values. A comment after them may introduce the next
// table, so it stays; of the blank lines around the entry one is kept as the separator.
void removeTrustBlock(std::vector<std::string>& lines, const TrustBlock& block) {
  size_t end = block.header + 1;
  for (size_t i = block.header + 1; i < block.end; ++i) {
    if (!trim(stripTomlLineComment(lines[i])).empty()) end = i + 1;
  }
  const bool blankBefore = block.header == 0 || isBlank(lines[block.header - 1]);
  if (blankBefore && end < lines.size() && isBlank(lines[end])) ++end;
  lines.erase(lines.begin() + static_cast<long>(block.header),
              lines.begin() + static_cast<long>(end));
}

// The expected document after the edit, for comparison with what the edited text parses to.
void setExpectedTrust(toml::table& config, const CodexHookTrust& hook) {
  if (!config["hooks"].as_table()) config.insert_or_assign("hooks", toml::table{});
  toml::table& hooks = *config["hooks"].as_table();
  if (!hooks["state"].as_table()) hooks.insert_or_assign("state", toml::table{});
  toml::table& state = *hooks["state"].as_table();
  if (!state[hook.key].as_table()) state.insert_or_assign(hook.key, toml::table{});
  state[hook.key].as_table()->insert_or_assign("trusted_hash", hook.hash);
}

// Removing the last entry may or may not leave an empty hooks.state (or hooks) behind,
// depending on whether a header of its own names it; either reads the same to Codex.
void withoutEmptyTrustTables(toml::table& config) {
  toml::table* hooks = config["hooks"].as_table();
  if (!hooks) return;
  if (const toml::table* state = (*hooks)["state"].as_table(); state && state->empty()) {
    hooks->erase("state");
  }
  if (hooks->empty()) config.erase("hooks");
}

Result<std::string> refuse(const std::string& configPath, std::string_view why) {
  return Result<std::string>::failure(
      fmt::format("{}: cannot set Codex hook trust safely ({})", configPath, why));
}

}  // namespace

std::map<std::string, std::string> codexTrustedHashes(std::string_view configText) {
  std::map<std::string, std::string> hashes;
  const auto config = parseToml(configText);
  if (!config) return hashes;
  const toml::table* state = stateTable(*config);
  if (!state) return hashes;
  for (const auto& [key, entry] : *state) {
    const toml::table* table = entry.as_table();
    if (!table) continue;
    if (const auto hash = (*table)["trusted_hash"].value<std::string>()) {
      hashes[std::string(key.str())] = *hash;
    }
  }
  return hashes;
}

Result<std::string> planCodexHookTrust(const std::string& configPath, std::string_view configText,
                                       const std::vector<CodexHookTrust>& wanted,
                                       const std::vector<CodexHookTrust>& present,
                                       const std::vector<std::string>& recordedKeys) {
  const auto before = parseToml(configText);
  if (!before) {
    return Result<std::string>::failure(
        fmt::format("{} is not valid TOML (line {})", configPath, errorLineOf(configText)));
  }
  if (const toml::node* hooks = before->get("hooks")) {
    if (!hooks->is_table()) return refuse(configPath, "hooks is not a table");
    if (hooks->as_table()->is_inline()) return refuse(configPath, "hooks is an inline table");
    if (const toml::node* state = hooks->as_table()->get("state")) {
      if (!state->is_table()) return refuse(configPath, "hooks.state is not a table");
      if (state->as_table()->is_inline()) {
        return refuse(configPath, "hooks.state is an inline table");
      }
    }
  }

  // Existing entries by key: the stored hash, empty when there is none.
  std::map<std::string, std::string> existing;
  if (const toml::table* state = stateTable(*before)) {
    for (const auto& [key, entry] : *state) {
      const toml::table* table = entry.as_table();
      existing[std::string(key.str())] =
          table ? (*table)["trusted_hash"].value<std::string>().value_or("") : "";
    }
  }
  std::map<std::string, std::string> presentHashes;
  for (const auto& hook : present) presentHashes[hook.key] = hook.hash;
  std::set<std::string> wantedKeys;
  for (const auto& hook : wanted) wantedKeys.insert(hook.key);

  std::vector<const CodexHookTrust*> toSet;
  std::vector<const CodexHookTrust*> toAdd;
  for (const auto& hook : wanted) {
    const auto found = existing.find(hook.key);
    if (found == existing.end()) {
      toAdd.push_back(&hook);
    } else if (found->second != hook.hash) {
      toSet.push_back(&hook);
    }
  }
  std::vector<std::string> toRemove;
  for (const auto& key : recordedKeys) {
    if (wantedKeys.contains(key) || !existing.contains(key)) continue;
    // The hook now at this key may be one the user trusted themselves after Glimmet's moved.
    const auto hook = presentHashes.find(key);
    if (hook != presentHashes.end() && hook->second == existing[key]) continue;
    toRemove.push_back(key);
  }
  if (toSet.empty() && toAdd.empty() && toRemove.empty()) return std::string(configText);

  std::vector<std::string> lines = split(configText, '\n');
  const auto blocks = trustBlocksOf(lines);
  // Edits run from the bottom up, so that each one leaves the line numbers above it valid.
  struct Edit {
    TrustBlock block;
    const CodexHookTrust* hook;  // null removes the entry
  };
  std::vector<Edit> edits;
  toml::table expected = *before;
  for (const auto* hook : toSet) {
    const auto block = blocks.find(hook->key);
    if (block == blocks.end()) {
      return refuse(configPath, "the entry for " + hook->key + " is not a table of its own");
    }
    edits.push_back({block->second, hook});
    setExpectedTrust(expected, *hook);
  }
  for (const auto& key : toRemove) {
    const auto block = blocks.find(key);
    // An entry the user rewrote in another form stays: leaving it harms nothing.
    if (block == blocks.end()) continue;
    edits.push_back({block->second, nullptr});
    expected["hooks"]["state"].as_table()->erase(key);
  }
  std::sort(edits.begin(), edits.end(),
            [](const Edit& a, const Edit& b) { return a.block.header > b.block.header; });
  for (const auto& edit : edits) {
    if (edit.hook) {
      setTrustedHash(lines, edit.block, edit.hook->hash);
    } else {
      removeTrustBlock(lines, edit.block);
    }
  }
  std::string planned = join(lines, "\n");
  for (const auto* hook : toAdd) {
    if (!planned.empty() && !planned.ends_with('\n')) planned += '\n';
    if (!planned.empty() && !planned.ends_with("\n\n")) planned += '\n';
    planned += trustHeader(hook->key) + "\n" + trustLine(hook->hash) + "\n";
    setExpectedTrust(expected, *hook);
  }

  // The edit is textual; only a result that reads back as exactly the intended document, every
  // other value unchanged, is ever written.
  auto after = parseToml(planned);
  if (!after) return refuse(configPath, "the edited file does not parse");
  withoutEmptyTrustTables(*after);
  withoutEmptyTrustTables(expected);
  if (*after != expected) return refuse(configPath, "the edited file reads back wrong");
  return planned;
}

}  // namespace glimmet
