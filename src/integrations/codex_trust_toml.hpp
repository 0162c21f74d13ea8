#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "integrations/codex_hook_trust.hpp"

namespace glimmet {

// The trust entries in Codex's config.toml. Edits stay textual, so the user's comments and
// order survive; the result must parse back to exactly the intended values or it is refused.

// The trusted hashes config.toml holds, by key; none when the text is not valid TOML.
std::map<std::string, std::string> codexTrustedHashes(std::string_view configText);

// config.toml with a trust entry for every hook of `wanted` (a stale hash replaced), recorded
// entries that no longer address a hook of `wanted` removed unless their hash still trusts the
// hook now at their key (one of `present`), and everything else kept byte for byte. The text
// comes back unchanged when nothing needs to change. Text that is not valid TOML, or that
// spells the hooks tables in a form this edit cannot change safely, is an error naming
// `configPath`.
Result<std::string> planCodexHookTrust(const std::string& configPath, std::string_view configText,
                                       const std::vector<CodexHookTrust>& wanted,
                                       const std::vector<CodexHookTrust>& present,
                                       const std::vector<std::string>& recordedKeys);

}  // namespace glimmet
