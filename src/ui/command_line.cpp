#include "ui/command_line.hpp"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "ui/act_command.hpp"
#include "ui/console_application.hpp"
#include "ui/console_inbox.hpp"
#include "ui/jump_command.hpp"
#include "ui/message_json.hpp"
#include "ui/overlay_application.hpp"
#include "ui/render_command.hpp"
#include "ui/tool_commands.hpp"
#include "ui/update_command.hpp"
#include "ui/usage_command.hpp"

namespace glimmet {

namespace {

constexpr const char* kUsage =
    "Usage: glimmet <command> [options]\n"
    "\n"
    "Glimmet watches your AI coding agents and shows what they do.\n"
    "\n"
    "Commands:\n"
    "  run             Start Glimmet: watch the event file, print the inbox on every change and\n"
    "                  answer approval requests from standard input (see run --help)\n"
    "  inbox [--json]  Print the current messages of the event file once and exit\n"
    "  act <event-id> <role> [--option ID] [--note TEXT]\n"
    "                  Run one action on an inbox message (see act --help)\n"
    "  tools [--json]  Show every supported AI tool with its integration health\n"
    "  usage [--json]  Show which tools' usage the capsule may show, and why\n"
    "  install <tool-id> [--preview]\n"
    "                  Install or repair a tool's bridge (--preview: show the changes only)\n"
    "  jump <event-id> --dry-run [--json]\n"
    "                  Show where an event's Jump button would take you\n"
    "  render --list | --out DIR [NAME...] [--scale N]\n"
    "                  Draw the overlay in known states to PNG files (see render --help)\n"
    "  update check|download|install\n"
    "                  Ask the update feed for a newer Glimmet, fetch it, or install it\n"
    "  help            Show this text\n"
    "\n"
    "Environment:\n"
    "  GLIMMET_EVENT_FILE  the event file (default: <data dir>/Glimmet/events.jsonl)\n"
    "  GLIMMET_HOME        Glimmet's home directory (default: ~/.glimmet)\n"
    "  GLIMMET_BIN         where the bridge scripts are installed (default: ~/.glimmet/bin)\n"
    "  GLIMMET_TEST_MODE   \"1\" keeps Glimmet off your real tool directories\n";

constexpr const char* kRunUsage =
    "Usage: glimmet run [--console]\n"
    "\n"
    "Starts Glimmet. With a desktop (DISPLAY set and reachable) it shows the capsule at the\n"
    "top of the screen: hover it to open the panel, where waiting requests are answered with\n"
    "one click; Ctrl+Alt+Space opens and closes the panel. --console also keeps the console\n"
    "front end below. Without a desktop it runs on the console: the event store loads the\n"
    "event file, watches it for appended lines and prints the inbox again whenever it changes:\n"
    "one block per change, newest message first, with the number of requests waiting for\n"
    "approval in the header.\n"
    "\n"
    "Approvals on the console: hook bridges connect to <GLIMMET_HOME>/glimmet.sock (default\n"
    "~/.glimmet/glimmet.sock, mode 0600) and wait for a decision. Each new request is printed\n"
    "as \"[#N] <title>: <body>\" with its kind, agent and session, numbered from 1 in arrival\n"
    "order. Answer it by typing one command per line on standard input (a terminal, a pipe or\n"
    "a file):\n"
    "  allow N               approve once (permission requests)\n"
    "  always N              approve always (permission requests)\n"
    "  deny N                deny (permission and text requests)\n"
    "  choose N OPTION-ID    pick an option (choice requests)\n"
    "  reply N TEXT...       send text, at most 8,192 bytes (text and choice requests)\n"
    "  list                  show the requests still waiting\n"
    "N is the number shown in [#N] or the full request id. A request nobody answers times out;\n"
    "its agent's exit or a newer request of the same agent, session and kind also ends it.\n"
    "Every request and outcome is appended to ~/.glimmet/audit.jsonl. The user default\n"
    "useSocketApprovalEnabled = false turns the socket off.\n"
    "\n"
    "Messages of the inbox are numbered apart from requests: [m1], [m2], ..., afresh in every\n"
    "printed inbox. Act on them with:\n"
    "  jump mN               open the window of the message's agent\n"
    "  act mN ROLE           authorize, reject, ignore, mark_read, jump or configure\n"
    "  act mN send_input TEXT...\n"
    "                        answer an input request\n"
    "  choose mN OPTION-ID [NOTE...]\n"
    "                        pick an option of a choice, with an optional note\n"
    "Answers go through the message's response channel; help lists every command.\n"
    "\n"
    "Only one glimmet run serves a socket: while another one answers on it, this one exits\n"
    "with status 1 and \"Glimmet is already running (pid N)\". A socket file left by a run\n"
    "that crashed is replaced; anything at the path that is not a socket is never removed.\n"
    "\n"
    "Stop with Ctrl-C.\n";

int runInbox(const std::vector<std::string_view>& args) {
  bool json = false;
  for (const auto arg : args) {
    if (arg == "--json") {
      json = true;
    } else {
      std::fprintf(stderr, "glimmet inbox: unknown option %.*s\n", static_cast<int>(arg.size()),
                   arg.data());
      return 2;
    }
  }
  Environment environment = Environment::current();
  const bool isolated = isolationFlagFromEnvironment(environment);
  Core core(std::move(environment), isolated,
            [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  auto& store = core.store();
  store.reload(true);
  const auto& messages = store.allMessages();
  if (json) {
    Json array = Json::array();
    for (const auto& message : messages) array.push_back(messageToJson(message));
    std::puts(array.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
  } else {
    std::fputs(formatInboxBlock(messages, store.approvalCount()).c_str(), stdout);
  }
  return 0;
}

int runApplication(const std::vector<std::string_view>& args) {
  bool withConsole = false;
  for (const auto arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kRunUsage, stdout);
      return 0;
    }
    if (arg == "--console") {
      withConsole = true;
      continue;
    }
    std::fprintf(stderr, "glimmet run: unknown option %.*s\n", static_cast<int>(arg.size()),
                 arg.data());
    return 2;
  }
  const Environment environment = Environment::current();
  if (environment.nonEmptyString("DISPLAY")) {
    OverlayApplication overlay(environment, stdout, withConsole);
    std::string error;
    if (overlay.connect(&error)) return overlay.run();
    std::fprintf(stderr, "[Glimmet] no overlay (%s); running on the console\n", error.c_str());
  }
  ConsoleApplication application(environment, stdout);
  return application.run();
}

}  // namespace

int runCommandLine(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string_view command = args[0];
  const std::vector<std::string_view> rest(args.begin() + 1, args.end());
  if (command == "inbox") return runInbox(rest);
  if (command == "act") return runActCommand(rest);
  if (command == "run") return runApplication(rest);
  if (command == "tools") return runToolsCommand(rest);
  if (command == "install") return runInstallCommand(rest);
  if (command == "usage") return runUsageCommand(rest);
  if (command == "render") return runRenderCommand(rest);
  if (command == "jump") return runJumpCommand(rest);
  if (command == "update") return runUpdateCommand(rest);
  std::fprintf(stderr, "glimmet: unknown command %.*s\n\n%s", static_cast<int>(command.size()),
               command.data(), kUsage);
  return 2;
}

}  // namespace glimmet
