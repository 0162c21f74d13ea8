#include "ui/overlay/startup_permission_flow.hpp"

#include <algorithm>
#include <utility>

#include "ui/view/startup_permission_alert.hpp"

namespace glimmet {

namespace {

struct HookInstallResult {
  std::vector<std::string> failures;
  std::vector<ToolHealth> health;
};

}  // namespace

StartupPermissionFlow::StartupPermissionFlow(Core& core, AlertDialogWindow& alert,
                                             HookManager hooks, LogSink log, Actions actions)
    : core_(core),
      alert_(alert),
      hooks_(std::move(hooks)),
      log_(std::move(log)),
      actions_(std::move(actions)),
      queue_(std::make_unique<SerialQueue>("app.glimmet.startup-permissions", core.loop())) {}

StartupPermissionFlow::~StartupPermissionFlow() {
  *alive_ = false;
  queue_.reset();
}

void StartupPermissionFlow::runSoon() {
  core_.loop().post([this, alive = alive_] {
    if (*alive) run();
  });
}

void StartupPermissionFlow::run() {
  const bool hasSurface = actions_.hasSurface && actions_.hasSurface();
  if (!startupPermissionFlowAllowed(core_.isolated(), ran_, hasSurface)) return;
  ran_ = true;
  // The health check reads every tool's configuration files.
  queue_->asyncThen([this] { return hooks_.health(); },
                    [this, alive = alive_](const std::vector<ToolHealth>& health) {
                      if (*alive) ask(health);
                    });
}

void StartupPermissionFlow::ask(const std::vector<ToolHealth>& health) {
  // Linux has no automation permission to ask for ahead of a Jump.
  const StartupPermissionNeeds needs =
      startupPermissionNeeds(core_.userDefaults(), health, /*automationPreflightNeeded=*/false);
  if (!needs.any()) return;
  AlertDialogSpec spec = startupPermissionAlert(needs);
  const int continueButton = spec.defaultButton;
  alert_.show(std::move(spec), [this, alive = alive_, needs, continueButton](int button) {
    if (!*alive) return;
    if (button == continueButton) {
      proceed(needs);
    } else {
      writeLog(log_, "[Glimmet] start-up permissions postponed");
    }
  });
}

void StartupPermissionFlow::proceed(const StartupPermissionNeeds& needs) {
  if (needs.codexPetsDirectory) {
    if (auto status = authorizeCodexPetsDirectory(core_.userDefaults()); !status)
      writeLog(log_, "[Glimmet] cannot record the Codex pets folder access: " + status.error());
    writeLog(log_, std::string("[Glimmet] ") + kCodexPetsAuthorizedBanner);
    if (actions_.showStatusBanner) actions_.showStatusBanner(kCodexPetsAuthorizedBanner);
    if (actions_.refreshPets) actions_.refreshPets();
  }
  if (!needs.aiToolHooks) return;
  queue_->asyncThen(
      [this, ids = needs.hookToolIDs] {
        HookInstallResult result;
        result.failures = installStartupHooks(hooks_, ids);
        result.health = hooks_.health();
        return result;
      },
      [this, alive = alive_, ids = needs.hookToolIDs](const HookInstallResult& result) {
        if (!*alive) return;
        for (const auto& failure : result.failures)
          writeLog(log_, "[Glimmet] start-up hook install failed: " + failure);
        for (const auto& row : result.health) {
          if (std::find(ids.begin(), ids.end(), row.id) == ids.end()) continue;
          writeLog(log_,
                   "[Glimmet] " + row.id + " hooks " + std::string(hookStatusRawValue(row.status)));
        }
      });
}

}  // namespace glimmet
