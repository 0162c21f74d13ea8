#include "approvals/socket_frame_codec.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

const char* kRequest =
    R"({"v":1,"type":"hook.request","request_id":"r1","agent":"claude_code","session_id":"s",)"
    R"("agent_pid":4242,"kind":"permission_request","timeout_seconds":120,"payload":{}})";

TEST(DecodeRequest, EmptyPayloadHasEveryFieldAbsent) {
  auto decoded = decodeHookRequest(kRequest);
  ASSERT_TRUE(decoded.ok()) << decoded.error();
  const auto& request = decoded.value();
  EXPECT_EQ(request.requestID, "r1");
  EXPECT_EQ(request.agentPID, 4242);
  EXPECT_EQ(request.timeoutSeconds, 120);
  EXPECT_EQ(request.payload, HookRequestPayload{});
}

TEST(DecodeRequest, ReadsLenientlyAndCarriesUnknownKindsAndVersions) {
  const char* line =
      R"({"v":"7","type":"other","requestId":"r2","agent":"gemini","sessionId":12,)"
      R"("agentPid":"-5","kind":"something_new","timeoutSeconds":3.0,"extra":true,)"
      R"("payload":{"tool":"Bash","command":null,"transcriptPath":"/t","multiline":"yes",)"
      R"("options":[{"id":"a","label":"Alpha","detail":"first"},{"id":2,"label":"Two"}],)"
      R"("extras":{"k":"v","n":3,"nested":{"x":1}}}})";
  auto request = decodeHookRequest(line);
  ASSERT_TRUE(request.ok()) << request.error();
  const auto& value = request.value();
  EXPECT_EQ(value.v, 7);
  EXPECT_EQ(value.type, "other");
  EXPECT_EQ(value.requestID, "r2");
  EXPECT_EQ(value.sessionID, "12");
  EXPECT_EQ(value.agentPID, -5);
  EXPECT_EQ(value.kind, "something_new");
  EXPECT_EQ(value.timeoutSeconds, 3);
  EXPECT_EQ(value.payload.tool, "Bash");
  EXPECT_FALSE(value.payload.command);
  EXPECT_EQ(value.payload.transcriptPath, "/t");
  EXPECT_EQ(value.payload.multiline, true);
  ASSERT_TRUE(value.payload.options);
  EXPECT_EQ(*value.payload.options,
            (std::vector<HookRequestOption>{{"a", "Alpha", "first"}, {"2", "Two", std::nullopt}}));
  EXPECT_EQ(*value.payload.extras, (std::map<std::string, std::string>{{"k", "v"}, {"n", "3"}}));
}

TEST(DecodeRequest, RejectsMissingKeysWrongTypesAndPidsOutside32Bits) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"("request_id":"r1",)", "missing key request_id"},
      {R"("agent_pid":4242,)", "missing key agent_pid"},
      {R"("payload":{})", "missing key payload"},
  };
  for (const auto& [removed, message] : cases) {
    std::string text = kRequest;
    text.erase(text.find(removed), removed.size());
    if (text[text.size() - 2] == ',') text.erase(text.size() - 2, 1);
    auto decoded = decodeHookRequest(text);
    ASSERT_FALSE(decoded.ok()) << text;
    EXPECT_EQ(decoded.error(), message);
  }
  for (const char* pid : {"1.5", "\"12x\"", "true"}) {
    std::string text = kRequest;
    text.replace(text.find("4242"), 4, pid);
    EXPECT_FALSE(decodeHookRequest(text).ok()) << pid;
  }
  for (const char* pid : {"2147483647", "-2147483648"}) {
    std::string text = kRequest;
    text.replace(text.find("4242"), 4, pid);
    EXPECT_TRUE(decodeHookRequest(text).ok()) << pid;
  }
  EXPECT_EQ(decodeHookRequest("{not json").error(), "not valid JSON");
  EXPECT_EQ(decodeHookRequest("[]").error(), "not a JSON object");
}

TEST(Encode, RequestAndReplyRoundTrip) {
  HookRequest request;
  request.requestID = "r";
  request.agent = "codex";
  request.agentPID = -1;
  request.kind = "waiting_choice";
  request.timeoutSeconds = 9;
  request.payload.options = std::vector<HookRequestOption>{{"a", "A", std::nullopt}};
  request.payload.extras = std::map<std::string, std::string>{{"k", "v"}};
  auto decoded = decodeHookRequest(encodeHookRequest(request));
  ASSERT_TRUE(decoded.ok()) << decoded.error();
  EXPECT_EQ(decoded.value(), request);

  HookReply reply = storeReply("r-9", "allow");
  reply.rawAgentPayload = R"({"a":"x/y"})";
  auto decodedReply = decodeHookReply(encodeHookReply(reply));
  ASSERT_TRUE(decodedReply.ok());
  EXPECT_EQ(decodedReply.value(), reply);
}

}  // namespace
}  // namespace glimmet
