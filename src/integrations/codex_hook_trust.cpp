#include "integrations/codex_hook_trust.hpp"

#include <cctype>
#include <functional>
#include <optional>

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "base/sha256.hpp"
#include "base/text.hpp"
#include "integrations/codex_trust_toml.hpp"
#include "integrations/hook_manager.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

// What Codex assumes for a handler that sets no timeout.
constexpr int kDefaultTimeoutSeconds = 600;
constexpr std::string_view kHashPrefix = "sha256:";

// Only these events filter by tool or source; for the others Codex ignores the matcher, and so
// does the hash.
bool takesMatcher(std::string_view event) {
  return event == "PreToolUse" || event == "PermissionRequest" || event == "PostToolUse" ||
         event == "SessionStart";
}

std::optional<std::string> nonEmptyString(const ConfigJson& object, const char* key) {
  if (!object.is_object()) return std::nullopt;
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return std::nullopt;
  std::string text = found->get<std::string>();
  if (text.empty()) return std::nullopt;
  return text;
}

// The trust of every command handler `accepts`, in file order. Indices count every group and
// handler, skipped ones included, because that is how Codex addresses them.
std::vector<CodexHookTrust> trustOfHandlers(
    const std::string& hooksPath, const ConfigJson& hooksFile,
    const std::function<bool(const ConfigJson& handler)>& accepts) {
  std::vector<CodexHookTrust> hooks;
  const auto table = hooksFile.find("hooks");
  if (table == hooksFile.end() || !table->is_object()) return hooks;
  for (const auto& [event, groups] : table->items()) {
    if (!groups.is_array()) continue;
    for (size_t g = 0; g < groups.size(); ++g) {
      const ConfigJson& group = groups[g];
      if (!group.is_object() || !group.contains("hooks") || !group["hooks"].is_array()) continue;
      const ConfigJson& handlers = group["hooks"];
      for (size_t h = 0; h < handlers.size(); ++h) {
        const ConfigJson& handler = handlers[h];
        if (nonEmptyString(handler, "type") != "command") continue;
        if (!accepts(handler)) continue;
        hooks.push_back({fmt::format("{}:{}:{}:{}", hooksPath, codexSnakeEventName(event), g, h),
                         codexHookHash(event, group, handler), event});
      }
    }
  }
  return hooks;
}

}  // namespace

std::string codexSnakeEventName(std::string_view event) {
  std::string snake;
  for (size_t i = 0; i < event.size(); ++i) {
    const auto c = static_cast<unsigned char>(event[i]);
    if (std::isupper(c)) {
      if (i > 0) snake += '_';
      snake += static_cast<char>(std::tolower(c));
    } else {
      snake += static_cast<char>(c);
    }
  }
  return snake;
}

std::string codexHookHash(std::string_view event, const ConfigJson& group,
                          const ConfigJson& handler) {
  // Codex hashes a compact JSON text with its keys sorted at every level and raw UTF-8, which
  // is what nlohmann::json (a sorted map) prints by default.
  nlohmann::json definition = {{"type", "command"}};
  if (const auto command = nonEmptyString(handler, "command")) definition["command"] = *command;
  const auto timeout = handler.find("timeout");
  if (timeout != handler.end() && timeout->is_number_integer()) {
    definition["timeout"] = timeout->get<int64_t>();
  } else {
    definition["timeout"] = kDefaultTimeoutSeconds;
  }
  const auto async = handler.find("async");
  definition["async"] = async != handler.end() && async->is_boolean() && async->get<bool>();
  if (const auto status = nonEmptyString(handler, "statusMessage")) {
    definition["statusMessage"] = *status;
  }

  nlohmann::json identity = {{"event_name", codexSnakeEventName(event)},
                             {"hooks", nlohmann::json::array({definition})}};
  if (takesMatcher(event)) {
    if (const auto matcher = nonEmptyString(group, "matcher")) identity["matcher"] = *matcher;
  }
  return std::string(kHashPrefix) +
         sha256Hex(identity.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::vector<CodexHookTrust> codexHookTrustOf(const std::string& hooksPath,
                                             const ConfigJson& hooksFile) {
  return trustOfHandlers(hooksPath, hooksFile, [](const ConfigJson&) { return true; });
}

std::vector<CodexHookTrust> glimmetCodexHookTrust(const std::string& hooksPath,
                                                  const ConfigJson& hooksFile,
                                                  std::string_view bridgeDirectory) {
  // Every bridge is named "glimmet-…", so this also finds the commands older versions wrote.
  const std::string bridgePrefix = std::string(bridgeDirectory) + "/glimmet-";
  return trustOfHandlers(hooksPath, hooksFile, [&](const ConfigJson& handler) {
    return contains(nonEmptyString(handler, "command").value_or(""), bridgePrefix);
  });
}

CodexTrustProblems codexTrustProblems(std::string_view configText,
                                      const std::vector<CodexHookTrust>& hooks) {
  CodexTrustProblems problems;
  const auto trusted = codexTrustedHashes(configText);
  for (const auto& hook : hooks) {
    const auto found = trusted.find(hook.key);
    if (found == trusted.end()) {
      problems.untrusted.push_back(hook);
    } else if (found->second != hook.hash) {
      problems.modified.push_back(hook);
    }
  }
  return problems;
}

std::vector<std::string> codexTrustRecordKeys(std::string_view recordText) {
  std::vector<std::string> keys;
  const auto record = nlohmann::json::parse(recordText, nullptr, false);
  if (!record.is_object() || !record.contains("keys") || !record["keys"].is_array()) return keys;
  for (const auto& key : record["keys"]) {
    if (key.is_string()) keys.push_back(key.get<std::string>());
  }
  return keys;
}

std::string codexTrustRecordText(const std::vector<CodexHookTrust>& trusted) {
  ConfigJson keys = ConfigJson::array();
  for (const auto& hook : trusted) keys.push_back(hook.key);
  return serializeConfig(ConfigJson{{"keys", keys}});
}

Result<CodexTrustPlan> HookManager::plannedCodexTrust(std::string_view config,
                                                      std::string_view hooks) const {
  auto parsed = parseConfigObject(codexHooks(), hooks);
  if (!parsed) return Result<CodexTrustPlan>::failure(parsed.error());
  const std::string hooksPath = codexHooks();
  CodexTrustPlan plan;
  plan.trusted = glimmetCodexHookTrust(hooksPath, parsed.value(), locations_.bridgeDirectory);
  const auto recorded = codexTrustRecordKeys(readFile(codexTrustRecord()).value_or(""));
  auto edited = planCodexHookTrust(codexConfig(), config, plan.trusted,
                                   codexHookTrustOf(hooksPath, parsed.value()), recorded);
  if (!edited) return Result<CodexTrustPlan>::failure(edited.error());
  plan.config = std::move(edited.value());
  plan.record = codexTrustRecordText(plan.trusted);
  return plan;
}

}  // namespace glimmet
