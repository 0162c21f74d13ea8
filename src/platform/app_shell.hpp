#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/log.hpp"
#include "platform/mac_shell_rules.hpp"

namespace glimmet {

class MainLoop;

// The desktop's application object (NSApplication on macOS) owning the main thread, with the
// main loop driven from its run loop. Implemented by the macOS shell only.
struct AppShellHooks {
  // The application finished launching: the window system is usable from here on.
  std::function<void()> launched;
  // The user asked the application to quit (its Quit command, logging out). The application
  // does not end by itself: the owner shuts down and calls quitAppShell().
  std::function<void()> quitRequested;
};

// Runs until quitAppShell(); returns once the run loop has ended.
void runAppShell(MainLoop& loop, MacActivationPolicy policy, AppShellHooks hooks);
// Main thread only.
void quitAppShell();

// One button of a desktop notification category, as the system registers it.
struct DesktopNotificationActionSpec {
  std::string id;
  std::string title;
  bool destructive = false;
  bool foreground = false;
};

struct DesktopNotificationCategorySpec {
  std::string id;
  std::vector<DesktopNotificationActionSpec> actions;
  bool reportsDismiss = false;
};

// Registers the categories a posted notification names, replacing earlier ones, and asks the
// user once for permission to show notifications. Main thread only.
void registerDesktopNotificationCategories(
    const std::vector<DesktopNotificationCategorySpec>& categories, LogSink log);

}  // namespace glimmet
