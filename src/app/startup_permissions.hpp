#pragma once

#include <string>
#include <vector>

#include "base/result.hpp"
#include "integrations/tool_health.hpp"
#include "platform/user_defaults.hpp"

namespace glimmet {

class HookManager;

// What the first launch asks the user for, once, in one alert.
struct StartupPermissionNeeds {
  // Reading ~/.codex/pets was neither allowed nor decided yet.
  bool codexPetsDirectory = false;
  // Jump would drive another application and the system has not been asked yet. The desktop
  // shell decides; Linux has no such permission.
  bool automationPreflight = false;
  // Claude Code or Codex CLI is on this machine without Glimmet's hooks in place.
  bool aiToolHooks = false;
  // The tools whose hooks Continue installs, in install order.
  std::vector<std::string> hookToolIDs;

  bool any() const { return codexPetsDirectory || automationPreflight || aiToolHooks; }
  bool operator==(const StartupPermissionNeeds&) const = default;
};

// The tools the start-up flow installs hooks for, in install order.
const std::vector<std::string>& startupHookToolIDs();

// From the stored decisions, the hook health of every tool and what the desktop shell says
// about automation.
StartupPermissionNeeds startupPermissionNeeds(const UserDefaults& defaults,
                                              const std::vector<ToolHealth>& health,
                                              bool automationPreflightNeeded);

// Whether the flow may run at all: never in an isolated run, once per process, and only over
// a surface the user can see.
bool startupPermissionFlowAllowed(bool isolated, bool alreadyRan, bool hasSurface);

inline constexpr const char* kStartupPermissionMessage = "Allow Glimmet startup permissions?";
inline constexpr const char* kStartupPermissionContinue = "Continue";
inline constexpr const char* kStartupPermissionLater = "Later";
inline constexpr const char* kCodexPetsAuthorizedBanner = "Authorized ~/.codex/pets";

// The alert's explanation: folder access and automation, and the hook paragraph after a blank
// line when hooks are to be installed.
std::string startupPermissionInformativeText(const StartupPermissionNeeds& needs);

// The alert as the interface shows it; Continue is the default button, Later the cancel one.
struct StartupPermissionPrompt {
  std::string message;
  std::string informativeText;
  std::vector<std::string> buttons;
  int continueButton = 0;
  int laterButton = 1;
};
StartupPermissionPrompt startupPermissionPrompt(const StartupPermissionNeeds& needs);

// Continue for the pets folder: allowed and decided, in one write.
Status authorizeCodexPetsDirectory(UserDefaults& defaults);

// Continue for the hooks: installs each tool in turn; one line per tool that failed, the
// installer's reason after the tool's id. Blocking file work: off the loop.
std::vector<std::string> installStartupHooks(const HookManager& hooks,
                                             const std::vector<std::string>& toolIDs);

}  // namespace glimmet
