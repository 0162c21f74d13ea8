#include "approvals/agent_reply_marshaller.hpp"

#include <gtest/gtest.h>

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

TEST(AgentReplyMarshaller, ClaudeCodeDialect) {
  EXPECT_EQ(
      rawAgentPayload("claude_code", Kind::permissionRequest, decision(Verb::allow)),
      R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow"}})");
  EXPECT_EQ(
      rawAgentPayload("claude_code", Kind::permissionRequest, decision(Verb::allow, Mode::always)),
      R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow",)"
      R"("permissionDecisionReason":"always"}})");
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::permissionRequest, decision(Verb::deny)),
            R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"deny"}})");
  EXPECT_EQ(
      rawAgentPayload("claude_code", Kind::waitingChoice, decision(Verb::choice, Mode::once, "b")),
      R"({"hookSpecificOutput":{"hookEventName":"UserPromptSubmit","optionId":"b"}})");
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::waitingChoice,
                            decision(Verb::input, Mode::once, std::nullopt, "other")),
            R"({"hookSpecificOutput":{"hookEventName":"UserPromptSubmit","optionId":"",)"
            R"("userPromptResponse":"other"}})");
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::waitingChoice,
                            decision(Verb::choice, Mode::once, "a", "")),
            R"({"hookSpecificOutput":{"hookEventName":"UserPromptSubmit","optionId":"a"}})");
  EXPECT_EQ(rawAgentPayload("claude_code", Kind::waitingInput,
                            decision(Verb::input, Mode::once, std::nullopt, "ship \"it\"")),
            R"({"hookSpecificOutput":{"hookEventName":"UserPromptSubmit",)"
            R"("userPromptResponse":"ship \"it\""}})");
  EXPECT_EQ(
      rawAgentPayload("claude_code", Kind::waitingInput, decision(Verb::deny)),
      R"({"hookSpecificOutput":{"hookEventName":"UserPromptSubmit","userPromptResponse":""}})");
}

TEST(AgentReplyMarshaller, CodexDialect) {
  EXPECT_EQ(rawAgentPayload("codex", Kind::permissionRequest, decision(Verb::allow)),
            R"({"approval":"allow","scope":"once"})");
  EXPECT_EQ(rawAgentPayload("codex", Kind::permissionRequest, decision(Verb::allow, Mode::always)),
            R"({"approval":"allow","scope":"always"})");
  EXPECT_EQ(rawAgentPayload("codex", Kind::permissionRequest, decision(Verb::deny)),
            R"({"approval":"deny","scope":"once"})");
  EXPECT_EQ(rawAgentPayload("codex", Kind::waitingChoice, decision(Verb::choice, Mode::once, "b")),
            R"({"metadata":{"choice_id":"b"},"prompt":""})");
  EXPECT_EQ(rawAgentPayload("codex", Kind::waitingInput,
                            decision(Verb::input, Mode::once, std::nullopt, "yes")),
            R"({"prompt":"yes"})");
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
