#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core.hpp"
#include "app/startup_permissions.hpp"
#include "base/log.hpp"
#include "integrations/hook_manager.hpp"
#include "platform/serial_queue.hpp"
#include "ui/overlay/alert_dialog_window.hpp"

namespace glimmet {

// The first-run question, asked at most once per process once the surfaces are up: may Glimmet
// read the Codex pets folder and put its hooks into Claude Code and Codex CLI. Continue does
// what was asked; Later records nothing, so the question comes back at the next launch. The
// hook files are read and written on a queue of their own, never on the loop. Loop thread only.
class StartupPermissionFlow {
 public:
  struct Actions {
    // Whether a surface is showing the overlay now.
    std::function<bool()> hasSurface;
    // The pets folder may now be read: gather the pets again.
    std::function<void()> refreshPets;
    std::function<void(const std::string& text)> showStatusBanner;
  };

  StartupPermissionFlow(Core& core, AlertDialogWindow& alert, HookManager hooks, LogSink log,
                        Actions actions);
  ~StartupPermissionFlow();
  StartupPermissionFlow(const StartupPermissionFlow&) = delete;
  StartupPermissionFlow& operator=(const StartupPermissionFlow&) = delete;

  // Queues the flow behind the work already posted, so the surfaces are on screen before any
  // alert opens.
  void runSoon();

 private:
  void run();
  void ask(const std::vector<ToolHealth>& health);
  void proceed(const StartupPermissionNeeds& needs);

  Core& core_;
  AlertDialogWindow& alert_;
  const HookManager hooks_;  // used on queue_ only
  LogSink log_;
  Actions actions_;
  bool ran_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // Last: joined first on destruction, while what its jobs use still exists.
  std::unique_ptr<SerialQueue> queue_;
};

}  // namespace glimmet
