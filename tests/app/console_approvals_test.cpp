// What `glimmet run` prints about waiting requests: enough to decide, one line per fact, and
// nothing an agent could use to drive the terminal.

#include "ui/console_approvals.hpp"

#include <gtest/gtest.h>

#include "base/text.hpp"

namespace glimmet {
namespace {

PendingAction waiting(std::string id, std::string tool) {
  PendingAction action;
  action.requestID = std::move(id);
  action.agent = "claude_code";
  action.sessionID = "905ba1cd";
  action.kind = PendingActionKind::permissionRequest;
  action.payload.tool = std::move(tool);
  action.payload.cwd = "/home/dev/project";
  return action;
}

std::string shown(ConsoleApprovals& console, std::vector<PendingAction> requests) {
  auto snapshot = std::make_shared<AppSnapshot>();
  snapshot->waitingRequests = std::move(requests);
  return console.update(snapshot);
}

// No byte below 0x20 but the line feed, no DEL, no C1 control, and valid UTF-8.
void expectTerminalSafe(const std::string& text) {
  EXPECT_TRUE(isValidUtf8(text)) << text;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte != 0x7F)) << "byte " << i << " of " << text;
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      EXPECT_FALSE(next >= 0x80 && next <= 0x9F) << "C1 control at " << i << " of " << text;
    }
  }
}

TEST(ConsoleApprovals, EveryWaitingRequestShowsToolTargetAndDirectory) {
  ConsoleApprovals console([](AppCommand, CommandDone) {}, "/home/dev");
  auto write = waiting("req-w", "Write");
  write.payload.extras = std::map<std::string, std::string>{
      {"file_path", "/home/dev/.ssh/authorized_keys"}, {"tool_use_id", "toolu_1"}};
  auto bash = waiting("req-b", "Bash");
  bash.payload.command = "echo hello > out.txt";
  bash.payload.cwd = "/srv/elsewhere";
  auto longCommand = waiting("req-l", "Bash");
  longCommand.payload.command = "printf '" + std::string(400, 'x') + "'\nrm -rf /";
  const std::string out = shown(console, {write, bash, longCommand});

  EXPECT_NE(out.find("[#1] Approval needed: Write ~/.ssh/authorized_keys\n"
                     "     tool Write · in ~/project\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Agent requested permission"), std::string::npos) << out;
  EXPECT_NE(out.find("[#2] Approval needed: Run: echo hello > out.txt\n"
                     "     tool Bash · in /srv/elsewhere\n"),
            std::string::npos)
      << out;
  // A long command stays on one line, cut with an ellipsis; its newline became a space.
  const size_t third = out.find("[#3] Approval needed: Run: printf 'xxx");
  ASSERT_NE(third, std::string::npos) << out;
  const std::string line = out.substr(third, out.find('\n', third) - third);
  EXPECT_TRUE(endsWith(line, "…")) << line;
  EXPECT_LE(utf8Length(line), 200u) << line;

  EXPECT_NE(console.execute("list").find("[#1] Approval needed: Write ~/.ssh/authorized_keys "
                                         "(tool Write · in ~/project · permission_request, "
                                         "claude_code)\n"),
            std::string::npos)
      << console.execute("list");
}

// Codex refuses an answer carrying a permission rule, so its requests never offer Always.
TEST(ConsoleApprovals, CodexRequestsOfferNoAlways) {
  int sent = 0;
  ConsoleApprovals console([&](AppCommand, CommandDone) { ++sent; }, "/home/dev");
  auto codex = waiting("req-x", "Bash");
  codex.agent = "codex";
  auto claude = waiting("req-c", "Bash");
  const std::string out = shown(console, {codex, claude});
  EXPECT_NE(out.find("allow 1 | deny 1"), std::string::npos) << out;
  EXPECT_EQ(out.find("always 1"), std::string::npos) << out;
  EXPECT_NE(out.find("allow 2 | always 2 | deny 2"), std::string::npos) << out;
  EXPECT_EQ(console.execute("always 1"),
            "[Glimmet] #1 cannot be allowed always: its agent keeps no such rule; answer with "
            "allow 1 | deny 1\n");
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(console.execute("always 2"), "");
  EXPECT_EQ(sent, 1);
}

TEST(ConsoleApprovals, TextFromAgentsCannotDriveTheTerminal) {
  ConsoleApprovals console([](AppCommand, CommandDone) {});
  auto hostile = waiting("req-\x1b]0;pwned\x07x", "Ba\x1b[2Jsh");
  hostile.payload.command =
      "ls\x1b[31m red\r\x08\x7f \xc2\x9b"
      "6n \xff\xfe end";
  hostile.payload.cwd = "/tmp/\x1b[1A";
  hostile.sessionID = "s\x07";
  hostile.agent =
      "claude\x1b"
      "c";
  auto choice = waiting("req-c", "");
  choice.kind = PendingActionKind::waitingChoice;
  choice.payload.prompt = "Pick\none";
  choice.payload.options =
      std::vector<HookRequestOption>{{"a\x1b[0m", "Alpha\x9b", std::string("\x1b]8;;x\x1b\\d")}};
  const std::string out = shown(console, {hostile, choice});
  expectTerminalSafe(out);
  EXPECT_NE(out.find("Run: ls red"), std::string::npos) << out;
  EXPECT_NE(out.find("end"), std::string::npos) << out;
  EXPECT_NE(out.find("[#2] Choice needed: Pick one\n"), std::string::npos) << out;
  expectTerminalSafe(console.execute("list"));
  expectTerminalSafe(console.execute("choose 2 zzz"));

  auto finished = std::make_shared<AppSnapshot>();
  hostile.status = PendingActionStatus::superseded;
  finished->finishedRequests = {hostile};
  expectTerminalSafe(console.update(finished));
}

}  // namespace
}  // namespace glimmet
