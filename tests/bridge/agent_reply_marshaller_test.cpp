#include "approvals/agent_reply_marshaller.hpp"

#include <gtest/gtest.h>

#include "base/json_values.hpp"
#include "model/agent_dialect.hpp"
#include "model/text_input_panel.hpp"

namespace glimmet {
namespace {

using AgentReplyMarshaller::rawAgentPayload;
using Kind = PendingActionKind;
using Verb = UserDecision::Verb;
using Mode = UserDecision::Mode;

UserDecision decision(Verb verb, Mode mode = Mode::once, std::optional<std::string> option = {},
                      std::optional<std::string> text = {}) {
  return {verb, mode, std::move(option), std::move(text)};
}

// The request as the bridges build it from the real PermissionRequest payloads.
HookRequestPayload bashCommand(std::string command) {
  HookRequestPayload payload;
  payload.tool = "Bash";
  payload.command = std::move(command);
  payload.cwd = "/home/dev/project";
  return payload;
}

TEST(AgentReplyMarshaller, ClaudeCodePermissionRequestTakesADecisionObject) {
  const auto bash = bashCommand("npm test");
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::permissionRequest, decision(Verb::allow), bash),
            R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},)"
            R"("hookEventName":"PermissionRequest"}})");
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::permissionRequest, decision(Verb::deny), bash),
            R"({"hookSpecificOutput":{"decision":{"behavior":"deny",)"
            R"("message":"The user denied this in Glimmet."},)"
            R"("hookEventName":"PermissionRequest"}})");
  // Always: a rule for the exact shell command, kept in the project's local settings.
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::permissionRequest,
                            decision(Verb::allow, Mode::always), bash),
            R"({"hookSpecificOutput":{"decision":{"behavior":"allow","updatedPermissions":[)"
            R"({"behavior":"allow","destination":"localSettings","rules":[)"
            R"({"ruleContent":"npm test","toolName":"Bash"}],"type":"addRules"}]},)"
            R"("hookEventName":"PermissionRequest"}})");
  // A tool without a command gets a rule for the whole tool.
  HookRequestPayload edit;
  edit.tool = "Edit";
  const Json rule = Json::parse(rawAgentPayload("claude_code", Kind::permissionRequest,
                                                decision(Verb::allow, Mode::always), edit));
  EXPECT_EQ(rule["hookSpecificOutput"]["decision"]["updatedPermissions"][0]["rules"],
            Json::parse(R"([{"toolName":"Edit"}])"));
  // Without a tool name there is nothing to make a rule for: a plain allow, never a rule that
  // would allow everything.
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::permissionRequest,
                            decision(Verb::allow, Mode::always), HookRequestPayload{}),
            R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},)"
            R"("hookEventName":"PermissionRequest"}})");
}

TEST(AgentReplyMarshaller, CodexPermissionRequestHasNoAlways) {
  const auto bash = bashCommand("echo hello > out.txt");
  const std::string allow = R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},)"
                            R"("hookEventName":"PermissionRequest"}})";
  EXPECT_EQ(rawAgentPayload("codex", Kind::permissionRequest, decision(Verb::allow), bash), allow);
  // Codex refuses an answer that carries rules; "always" can only ever be a plain allow.
  EXPECT_EQ(
      rawAgentPayload("codex", Kind::permissionRequest, decision(Verb::allow, Mode::always), bash),
      allow);
  EXPECT_EQ(rawAgentPayload("codex", Kind::permissionRequest, decision(Verb::deny), bash),
            R"({"hookSpecificOutput":{"decision":{"behavior":"deny",)"
            R"("message":"The user denied this in Glimmet."},)"
            R"("hookEventName":"PermissionRequest"}})");
  EXPECT_TRUE(offersAlwaysAllow("claude_code"));
  EXPECT_FALSE(offersAlwaysAllow("codex"));
  EXPECT_FALSE(offersAlwaysAllow("gemini"));
}

TEST(AgentReplyMarshaller, AnswersToAStoppedAgentBlockTheStopWithTheText) {
  for (const char* agent : {"claude_code", "codex"}) {
    SCOPED_TRACE(agent);
    EXPECT_EQ(rawAgentPayload(agent, Kind::waitingInput,
                              decision(Verb::input, Mode::once, std::nullopt, "ship \"it\"")),
              R"({"decision":"block","reason":"ship \"it\""})");
    EXPECT_EQ(rawAgentPayload(agent, Kind::waitingChoice, decision(Verb::choice, Mode::once, "b")),
              R"({"decision":"block","reason":"b"})");
    EXPECT_EQ(rawAgentPayload(agent, Kind::waitingChoice,
                              decision(Verb::choice, Mode::once, "b", "other")),
              R"({"decision":"block","reason":"other"})");
    // Declining, or an empty answer, leaves the agent stopped.
    EXPECT_EQ(rawAgentPayload(agent, Kind::waitingInput, decision(Verb::deny)), "{}");
    EXPECT_EQ(rawAgentPayload(agent, Kind::waitingInput,
                              decision(Verb::input, Mode::once, std::nullopt, "")),
              "{}");
  }
}

TEST(AgentReplyMarshaller, OtherAgentsAndUnwritableTextGiveNoDecision) {
  EXPECT_EQ(rawAgentPayload("gemini", Kind::permissionRequest, decision(Verb::allow)), "{}");
  EXPECT_EQ(rawAgentPayload("", Kind::waitingInput, decision(Verb::input)), "{}");
  EXPECT_EQ(rawAgentPayload("Claude_Code", Kind::permissionRequest, decision(Verb::allow)), "{}");
  EXPECT_EQ(rawAgentPayload("codex", Kind::waitingInput,
                            decision(Verb::input, Mode::once, std::nullopt, "bad \xff byte")),
            "{}");
}

TEST(Truncate, KeepsShortTextAndCutsLongTextBeforeACharacter) {
  const std::string exact(8192, 'a');
  EXPECT_EQ(TextInputPanel::truncate(exact).text, exact);
  EXPECT_FALSE(TextInputPanel::truncate(exact).truncated);

  const auto ascii = TextInputPanel::truncate(std::string(8193, 'a'));
  EXPECT_TRUE(ascii.truncated);
  EXPECT_EQ(ascii.text.size(), 8192u);

  // 3-byte characters: 8,192 = 3 * 2730 + 2, so the cut lands inside character 2731.
  std::string threeByte;
  while (threeByte.size() < 10000) threeByte += "\xe2\x82\xac";  // €
  const auto euro = TextInputPanel::truncate(threeByte);
  EXPECT_TRUE(euro.truncated);
  EXPECT_EQ(euro.text.size(), 8190u);
  EXPECT_EQ(euro.text, threeByte.substr(0, 8190));

  // 4-byte characters: 8,192 is a boundary, so nothing is given up.
  std::string fourByte;
  while (fourByte.size() < 9000) fourByte += "\xf0\x9f\x98\x80";
  EXPECT_EQ(TextInputPanel::truncate(fourByte).text.size(), 8192u);
  // Shifted by one ASCII byte, the cut steps back three bytes.
  EXPECT_EQ(TextInputPanel::truncate("a" + fourByte).text.size(), 8189u);

  // A 2-byte character straddling the limit is dropped whole.
  const std::string straddle = std::string(8191, 'a') + "\xc3\xa9" + "tail";
  EXPECT_EQ(TextInputPanel::truncate(straddle).text, std::string(8191, 'a'));
}

TEST(Truncate, InvalidTextBeforeTheCutGivesEmptyText) {
  const auto cut = TextInputPanel::truncate("\xff" + std::string(9000, 'a'));
  EXPECT_TRUE(cut.truncated);
  EXPECT_EQ(cut.text, "");
}

}  // namespace
}  // namespace glimmet
