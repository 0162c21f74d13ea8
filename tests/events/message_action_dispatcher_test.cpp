// Answers sent back to agents through files and commands: the payload they read, what a
// command sees after shell quoting, time-outs, and the receipt every attempt leaves.

#include "store/message_action_dispatcher.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "base/json_values.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::readText;
using glimmet::testing::TempDir;

const Timestamp kNow = *parseTimestamp("2026-05-11T12:01:00Z");
const ResponseCommandShell kShell{"/bin/sh", {"-c"}};

std::vector<std::string> entriesOf(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(MessageActionDispatcher, AFileChannelGetsTheWholePayloadAtomicallyAndASubmittedReceipt) {
  TempDir dir;
  ResponseReceiptStore receipts;
  MessageActionDispatcher dispatcher(receipts, false, 10.0, kShell);
  // The parent folders do not exist yet; an earlier answer is replaced.
  const std::string path = dir.file("a/b/decision.json");
  std::filesystem::create_directories(dir.file("a/b"));
  glimmet::testing::writeText(path, "an earlier answer that is longer than the new one........");

  const auto approved =
      dispatcher.submit("p1", ResponseReceiptAction::approve, ResponseChannel::decisionFile(path),
                        std::nullopt, std::nullopt, kNow);
  EXPECT_TRUE(approved.succeeded);
  EXPECT_FALSE(approved.message) << "only a chosen option says \"Response sent\"";
  EXPECT_EQ(
      readText(path),
      R"({"action":"approve","decision":"allow","event_id":"p1","timestamp":"2026-05-11T12:01:00Z"})");
  EXPECT_EQ(entriesOf(dir.file("a/b")), std::vector<std::string>{"decision.json"})
      << "no temporary file is left beside the answer";
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "a note is the user's own text";
  EXPECT_EQ(receipts.latestReceipt("p1"),
            (ResponseReceipt{"p1", ResponseReceiptAction::approve, ResponseReceiptStatus::submitted,
                             "2026-05-11T12:01:00Z", std::nullopt, std::nullopt}));

  const std::string fresh = dir.file("new/folders/reject.json");
  ASSERT_TRUE(dispatcher
                  .submit("p2", ResponseReceiptAction::reject, ResponseChannel::decisionFile(fresh),
                          std::nullopt, std::nullopt, kNow)
                  .succeeded);
  EXPECT_EQ(Json::parse(readText(fresh)).at("decision"), "deny");

  // A choice: option id and label, a note of only white space left out, "Response sent".
  const std::string response = dir.file("response.json");
  const MessageOption option{"b", "Use B", std::nullopt, std::nullopt, std::nullopt};
  const auto chosen =
      dispatcher.submit("c1", ResponseReceiptAction::chooseOption,
                        ResponseChannel::responseFile(response), option, " \t\n ", kNow);
  EXPECT_TRUE(chosen.succeeded);
  EXPECT_EQ(chosen.message, "Response sent");
  EXPECT_EQ(
      readText(response),
      R"({"action":"choose_option","event_id":"c1","option_id":"b","option_label":"Use B","timestamp":"2026-05-11T12:01:00Z"})");
  ASSERT_TRUE(dispatcher
                  .submit("c1", ResponseReceiptAction::chooseOption,
                          ResponseChannel::responseFile(response), option, "  keep spacing ", kNow)
                  .succeeded);
  EXPECT_EQ(Json::parse(readText(response)).at("note"), "  keep spacing ");
}

TEST(MessageActionDispatcher, EveryFailureIsAResultAndAFailedReceipt) {
  TempDir dir;
  ResponseReceiptStore receipts;
  MessageActionDispatcher dispatcher(receipts, false, 10.0, kShell);
  auto failure = [&](const ResponseChannel& channel) {
    const auto result = dispatcher.submit("e1", ResponseReceiptAction::approve, channel,
                                          std::nullopt, std::nullopt, kNow);
    EXPECT_FALSE(result.succeeded);
    EXPECT_FALSE(result.message);
    const auto receipt = receipts.latestReceipt("e1");
    EXPECT_TRUE(receipt && receipt->status == ResponseReceiptStatus::failed &&
                receipt->error == result.error && receipt->receivedAt == "2026-05-11T12:01:00Z");
    return result.error.value_or("(none)");
  };

  // A directory where the file should be: the system's reason comes back.
  std::filesystem::create_directories(dir.file("taken"));
  const std::string written = failure(ResponseChannel::decisionFile(dir.file("taken")));
  EXPECT_NE(written.find("Is a directory"), std::string::npos) << written;
  EXPECT_NE(written.find(dir.file("taken")), std::string::npos) << written;

  const std::string marker = dir.file("ran");
  EXPECT_EQ(failure(ResponseChannel::decisionCommand("touch " + marker)),
            "Command response channels require a trusted adapter.");
  EXPECT_EQ(failure(ResponseChannel::responseCommand("touch " + marker)),
            "Command response channels require a trusted adapter.");
  EXPECT_FALSE(std::filesystem::exists(marker)) << "an untrusted command never runs";
  EXPECT_EQ(failure(ResponseChannel::localSocket(dir.file("s.sock"), "line_json")),
            "This response channel is declared but not implemented in this build.");
  EXPECT_EQ(failure(ResponseChannel::appServer("http://127.0.0.1:9", "/reply")),
            "This response channel is declared but not implemented in this build.");
  EXPECT_EQ(failure(ResponseChannel()), "No response channel is available.");
}

TEST(MessageActionDispatcher, TrustedCommandsGetThePayloadAsOneWordAndAreStoppedAtTheirTimeOut) {
  TempDir dir;
  ResponseReceiptStore receipts;
  MessageActionDispatcher trusted(receipts, true, 10.0, kShell);

  // The command line ends in the payload; printf writes its argument unchanged.
  const std::string out = dir.file("payload.json");
  const std::string note = "it's 'quoted' \\'' $(touch " + dir.file("injected") + ") `x` \"q\"";
  const auto sent = trusted.submit("c'1", ResponseReceiptAction::sendInput,
                                   ResponseChannel::responseCommand("printf '%s' > " + out),
                                   std::nullopt, note, kNow);
  ASSERT_TRUE(sent.succeeded) << sent.error.value_or("");
  EXPECT_EQ(readText(out),
            responsePayload("c'1", ResponseReceiptAction::sendInput, std::nullopt, note, kNow));
  EXPECT_EQ(Json::parse(readText(out)).at("note"), note);
  EXPECT_FALSE(std::filesystem::exists(dir.file("injected")));
  EXPECT_EQ(receipts.latestReceipt("c'1")->status, ResponseReceiptStatus::submitted);

  const auto exited = trusted.submit("e2", ResponseReceiptAction::approve,
                                     ResponseChannel::decisionCommand("exit 3; true"), std::nullopt,
                                     std::nullopt, kNow);
  EXPECT_EQ(exited.error, "Response command exited with status 3");

  // A command that outlives its time-out is stopped, its own children with it.
  MessageActionDispatcher hasty(receipts, true, 0.3, kShell);
  const auto started = std::chrono::steady_clock::now();
  const auto slow =
      hasty.submit("e3", ResponseReceiptAction::approve,
                   ResponseChannel::decisionCommand("sleep 5; touch " + dir.file("late") + " #"),
                   std::nullopt, std::nullopt, kNow);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_EQ(slow.error, "Response command timed out after 0.3 seconds");
  EXPECT_EQ(receipts.latestReceipt("e3")->error, slow.error);

  MessageActionDispatcher never(receipts, true, 0, kShell);
  EXPECT_EQ(never
                .submit("e4", ResponseReceiptAction::approve,
                        ResponseChannel::decisionCommand("touch " + dir.file("zero")), std::nullopt,
                        std::nullopt, kNow)
                .error,
            "Response command timed out before execution");
  EXPECT_FALSE(std::filesystem::exists(dir.file("zero")));

  MessageActionDispatcher missingShell(receipts, true, 10.0, {dir.file("no-such-shell"), {"-c"}});
  const auto unlaunched = missingShell.submit("e5", ResponseReceiptAction::approve,
                                              ResponseChannel::decisionCommand("true"),
                                              std::nullopt, std::nullopt, kNow);
  EXPECT_FALSE(unlaunched.succeeded);
  EXPECT_FALSE(unlaunched.error.value_or("").empty());
  EXPECT_EQ(unlaunched.error->find("Response command"), std::string::npos)
      << "a launch failure names the launch error: " << *unlaunched.error;
}

TEST(MessageActionDispatcher, TimeOutsReadAsDecimalsAndTheShellFollowsThePlatform) {
  EXPECT_EQ(secondsText(10), "10.0");
  EXPECT_EQ(secondsText(2.5), "2.5");
  EXPECT_EQ(secondsText(0.3), "0.3");
  EXPECT_EQ(secondsText(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(singleQuotedShellWord("a'b"), R"('a'\''b')");

  TempDir dir;
  Environment withZsh;
  withZsh.set("PATH", dir.file("empty") + ":" + dir.path());
  Environment withoutZsh;
  withoutZsh.set("PATH", dir.file("empty"));
  glimmet::testing::writeText(dir.file("zsh"), "#!/bin/sh\n");
  ASSERT_EQ(::chmod(dir.file("zsh").c_str(), 0755), 0);
#if defined(__APPLE__)
  EXPECT_EQ(ResponseCommandShell::forThisSystem(withoutZsh).program, "/bin/zsh");
#else
  const auto zsh = ResponseCommandShell::forThisSystem(withZsh);
  EXPECT_EQ(zsh.program, dir.file("zsh"));
  EXPECT_EQ(zsh.options, std::vector<std::string>{"-lc"});
  const auto sh = ResponseCommandShell::forThisSystem(withoutZsh);
  EXPECT_EQ(sh.program, "/bin/sh");
  EXPECT_EQ(sh.options, std::vector<std::string>{"-c"});
#endif
}

}  // namespace
}  // namespace glimmet
