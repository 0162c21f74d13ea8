#include "ui/jump_command.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include "app/core.hpp"
#include "jump/jump_derivation.hpp"
#include "jump/jump_opener.hpp"
#include "ui/message_json.hpp"

namespace glimmet {

namespace {

constexpr const char* kJumpUsage = "Usage: glimmet jump <event-id> [--dry-run] [--json]\n";

Json resolvedJumpToJson(const ResolvedJumpTarget& jump) {
  Json object = jumpSummaryToJson(jump);
  object["target"] = jumpTargetToJson(jump.target);
  if (jump.fallback) object["fallback"] = resolvedJumpToJson(*jump.fallback);
  return object;
}

void printJumpText(const ResolvedJumpTarget& jump, const char* indent) {
  std::printf("%starget: %s\n", indent, jumpTargetToJson(jump.target).dump().c_str());
  std::printf("%slabel: %s\n", indent, jump.label.c_str());
  std::printf("%squality: %s\n", indent, rawValue(jump.quality));
  std::printf("%saction: %s\n", indent, rawValue(jump.action));
  if (!jump.available && jump.reason) std::printf("%sreason: %s\n", indent, jump.reason->c_str());
  if (jump.fallback) {
    std::printf("%sfallback:\n", indent);
    printJumpText(*jump.fallback, "  ");
  }
}

}  // namespace

int runJumpCommand(const std::vector<std::string_view>& args) {
  bool dryRun = false;
  bool json = false;
  std::optional<std::string> eventID;
  for (const auto arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kJumpUsage, stdout);
      return 0;
    }
    if (arg == "--dry-run") {
      dryRun = true;
    } else if (arg == "--json") {
      json = true;
    } else if (!arg.starts_with("--") && !eventID) {
      eventID = std::string(arg);
    } else {
      std::fprintf(stderr, "glimmet jump: unknown option %.*s\n%s", static_cast<int>(arg.size()),
                   arg.data(), kJumpUsage);
      return 2;
    }
  }
  if (!eventID) {
    std::fputs(kJumpUsage, stderr);
    return 2;
  }
  const Environment environment = Environment::current();
  Core core(environment, isolationFlagFromEnvironment(environment),
            [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  const JumpDerivation derivation =
      JumpDerivation::makeDefault(environment, core.paths().homeDirectory);
  auto& store = core.store();
  store.reload(true);
  const GlimmetEvent* event = nullptr;
  for (const auto& candidate : store.events()) {
    if (candidate.id == *eventID) event = &candidate;
  }
  if (!event) {
    std::fprintf(stderr, "glimmet jump: no event %s\n", eventID->c_str());
    return 1;
  }
  const auto jump = derivation.jumpTarget(*event, store.bridgeEvents());
  if (!jump) {
    if (json) {
      std::puts("null");
    } else {
      std::puts("No jump target is available");
    }
    return 1;
  }
  if (json) {
    std::puts(
        resolvedJumpToJson(*jump).dump(2, ' ', false, Json::error_handler_t::replace).c_str());
  } else {
    printJumpText(*jump, "");
  }
  if (dryRun) return 0;
  JumpOpener opener = JumpOpener::standard(core.paths(), environment);
  const auto result = opener.openMessageJump(jump);
  std::fprintf(result.ok ? stdout : stderr, "%s\n", result.message.c_str());
  return result.ok ? 0 : 1;
}

}  // namespace glimmet
