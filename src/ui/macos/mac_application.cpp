#include "ui/macos/mac_application.hpp"

#include <cstdio>

#include "app/settings_preferences.hpp"
#include "model/notification_categories.hpp"
#include "platform/app_shell.hpp"
#include "platform/mac_shell_rules.hpp"
#include "ui/overlay_application.hpp"

namespace glimmet {

namespace {

std::vector<DesktopNotificationCategorySpec> categorySpecs() {
  std::vector<DesktopNotificationCategorySpec> specs;
  for (const NotificationCategory& category : notificationCategories()) {
    DesktopNotificationCategorySpec spec{category.id, {}, category.reportsDismiss};
    for (const NotificationActionSpec& action : category.actions) {
      spec.actions.push_back({action.id, action.title,
                              action.option == NotificationActionOption::destructive,
                              action.option == NotificationActionOption::foreground});
    }
    specs.push_back(std::move(spec));
  }
  return specs;
}

LogSink consoleLog() {
  return [](const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
  };
}

}  // namespace

int runMacApplication(const Environment& environment) {
  OverlayApplication application(environment, stdout, false);
  Core& core = application.core();
  std::optional<int> exitStatus;
  application.setLoopStopper([] { quitAppShell(); });

  AppShellHooks hooks;
  hooks.launched = [&] {
    std::string error;
    if (!application.connect(&error)) {
      std::fprintf(stderr, "[Glimmet] %s\n", error.c_str());
      exitStatus = 1;
      quitAppShell();
      return;
    }
    bool applicationLaunched = false;
    for (LaunchStep step : macLaunchSequence(core.isolated())) {
      switch (step) {
        case LaunchStep::notificationCategories:
          registerDesktopNotificationCategories(categorySpecs(), consoleLog());
          break;
        case LaunchStep::auditReconciliation:
        case LaunchStep::socketServer:
        case LaunchStep::eventMonitoring:
        case LaunchStep::surfaces:
        case LaunchStep::hotKeys:
        case LaunchStep::refreshLoop:
        case LaunchStep::automaticUpdateCheck:
          // The core starts these in this same order, and the overlay its surfaces and hot
          // keys after it: one launch covers them all.
          if (applicationLaunched) break;
          applicationLaunched = true;
          exitStatus = application.launch();
          if (exitStatus) {
            quitAppShell();
            return;
          }
          break;
        case LaunchStep::firstRunFlow:
          break;  // the overlay queues it behind its surfaces when it starts
      }
    }
  };
  hooks.quitRequested = [&] { application.stop(); };

  const bool debugRegular = environment.nonEmptyString("GLIMMET_DEBUG_REGULAR") == "1";
  const SettingsPreferences preferences = loadUserSettings(core.userDefaults());
  const bool startsInSettings = startMode(environment) == OverlayMode::settings;
  runAppShell(core.loop(),
              macLaunchActivationPolicy(preferences.showInDockMode, debugRegular, startsInSettings),
              std::move(hooks));
  if (exitStatus) return *exitStatus;
  return application.finish();
}

}  // namespace glimmet
