#include "ui/update_command.hpp"

#include <cstdio>
#include <string>

#include "base/environment.hpp"
#include "base/text.hpp"
#include "updates/release_info.hpp"
#include "updates/update_about.hpp"
#include "updates/update_client.hpp"

namespace glimmet {

namespace {

constexpr const char* kUpdateUsage =
    "Usage: glimmet update check\n"
    "\n"
    "Asks the update feed whether a newer Glimmet exists and prints what the About tab shows:\n"
    "the status line and its rows (the newer version, its artifact, release date and notes, or\n"
    "the installed version when it is current). Exits with status 1 when the check failed.\n"
    "\n"
    "Environment:\n"
    "  GLIMMET_UPDATE_MANIFEST_URL   a static manifest (\"…/version.json\", also file://) to ask\n"
    "  GLIMMET_UPDATE_ENDPOINT       a dynamic feed, asked with platform, arch, version, build\n"
    "                                and channel\n"
    "  GLIMMET_UPDATE_CHANNEL        the channel sent to a dynamic feed (default: stable)\n"
    "  GLIMMET_UPDATE_RESPONSE_FILE  a local feed document read instead of the network\n"
    "  GLIMMET_DISABLE_DEFAULT_UPDATE_FEED=1  never ask the built-in feed\n";

void printController(const AboutUpdateController& controller) {
  if (const auto& banner = controller.banner()) {
    std::printf("%s\n", terminalSafe(banner->text).c_str());
  }
  for (const auto& row : controller.rows()) {
    std::printf("  %s: %s\n", row.label.c_str(), terminalSafe(row.detail).c_str());
  }
  if (const auto* available = std::get_if<UpdateAvailable>(&controller.state())) {
    const auto& policy = available->response.policy;
    if (policy && policy->forceUpdate) {
      std::printf("  Required: v%s must be updated\n", controller.currentVersion().c_str());
    }
  }
}

int runCheck() {
  const Environment environment = Environment::current();
  const bool isolated = isolationFlagFromEnvironment(environment);
  AboutUpdateController controller{std::string(glimmetVersion())};
  controller.runManualCheck(manualUpdateClient(environment, isolated));
  printController(controller);
  return std::holds_alternative<UpdateError>(controller.state()) ? 1 : 0;
}

}  // namespace

int runUpdateCommand(const std::vector<std::string_view>& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUpdateUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string_view subcommand = args[0];
  if (args.size() > 1) {
    std::fprintf(stderr, "glimmet update %.*s: unexpected argument %.*s\n",
                 static_cast<int>(subcommand.size()), subcommand.data(),
                 static_cast<int>(args[1].size()), args[1].data());
    return 2;
  }
  if (subcommand == "check") return runCheck();
  if (subcommand == "download" || subcommand == "install") {
    std::fprintf(stderr, "glimmet update %.*s: not available yet\n",
                 static_cast<int>(subcommand.size()), subcommand.data());
    return 1;
  }
  std::fprintf(stderr, "glimmet update: unknown subcommand %.*s\n\n%s",
               static_cast<int>(subcommand.size()), subcommand.data(), kUpdateUsage);
  return 2;
}

}  // namespace glimmet
