#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "integrations/hook_config_json.hpp"

namespace glimmet {

// Codex runs a hook from hooks.json only once the user has trusted it: config.toml then holds
//   [hooks.state."<hooks file>:<snake_case event>:<group index>:<handler index>"]
//   trusted_hash = "sha256:<hex>"
// where the hash covers the handler's normalised definition. An untrusted hook, or one whose
// definition no longer matches its stored hash, is skipped without a word, so the installer
// trusts Glimmet's own hooks and the health check verifies that trust.

struct CodexHookTrust {
  std::string key;    // "/home/u/.codex/hooks.json:permission_request:0:0"
  std::string hash;   // "sha256:<hex>"
  std::string event;  // as hooks.json spells it ("PermissionRequest"), for messages
};

// "PermissionRequest" -> "permission_request".
std::string codexSnakeEventName(std::string_view event);

// The hash Codex expects for handler `handler` of a group with `matcher` under `event`.
std::string codexHookHash(std::string_view event, const ConfigJson& group,
                          const ConfigJson& handler);

// Every command handler of a parsed hooks.json, in file order. Indices count every group and
// handler, the user's own included, because that is how Codex addresses them.
std::vector<CodexHookTrust> codexHookTrustOf(const std::string& hooksPath,
                                             const ConfigJson& hooksFile);
// Only the handlers that run one of Glimmet's bridges from `bridgeDirectory`.
std::vector<CodexHookTrust> glimmetCodexHookTrust(const std::string& hooksPath,
                                                  const ConfigJson& hooksFile,
                                                  std::string_view bridgeDirectory);

// Which of `hooks` Codex would skip: never trusted, or trusted with another definition.
struct CodexTrustProblems {
  std::vector<CodexHookTrust> untrusted;
  std::vector<CodexHookTrust> modified;
};
CodexTrustProblems codexTrustProblems(std::string_view configText,
                                      const std::vector<CodexHookTrust>& hooks);

// The record of the keys Glimmet wrote. Only a recorded entry is ever removed again, so a
// trust the user granted to a hook of their own is never touched.
std::vector<std::string> codexTrustRecordKeys(std::string_view recordText);
std::string codexTrustRecordText(const std::vector<CodexHookTrust>& trusted);

// What an install writes for trust: config.toml's new text, the trusted hooks, and the text of
// the record file.
struct CodexTrustPlan {
  std::string config;
  std::vector<CodexHookTrust> trusted;
  std::string record;
};

}  // namespace glimmet
