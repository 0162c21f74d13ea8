#include "approvals/audit_writer.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "approvals/pending_action_store.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::readText;
using testing::splitLines;
using testing::TempDir;

Timestamp at(int64_t secondsSinceEpoch, int64_t extraMicroseconds = 0) {
  return Timestamp(std::chrono::seconds(secondsSinceEpoch)) +
         std::chrono::microseconds(extraMicroseconds);
}

PendingAction sampleAction(std::string id) {
  PendingAction action;
  action.requestID = std::move(id);
  action.agent = "codex";
  action.sessionID = "s9";
  action.agentPID = static_cast<int32_t>(::getpid());
  action.kind = PendingActionKind::waitingChoice;
  action.createdAt = at(1772366400);  // 2026-03-01T12:00:00Z
  action.timeoutSeconds = 1;
  action.payload.command = "ls";
  return action;
}

TEST(AuditWriter, WritesSortedKeyLinesWithLatency) {
  TempDir dir;
  const std::string file = dir.path() + "/nested/.glimmet/audit.jsonl";
  Timestamp now = at(1772366405, 678900);
  AuditWriter writer(file, [&] { return now; });
  auto action = sampleAction("r1");
  writer.recordRequest(action);
  action.status = PendingActionStatus::answered;
  HookReply reply = storeReply("r1", "choice");
  writer.recordReply(action, reply);
  action.status = PendingActionStatus::timedOut;
  writer.recordReply(action, std::nullopt);
  EXPECT_EQ(
      readText(file),
      R"({"agent":"codex","command":"ls","cwd":"","kind":"waiting_choice","request_id":"r1",)"
      R"("role":"pending_request","session_id":"s9","timestamp":"2026-03-01T12:00:00Z","tool":""})"
      "\n"
      R"({"decision":"choice","latency_ms":5678,"mode":"once","request_id":"r1",)"
      R"("role":"pending_reply","status":"answered","timestamp":"2026-03-01T12:00:05Z"})"
      "\n"
      R"({"latency_ms":5678,"request_id":"r1","role":"pending_reply","status":"timedOut",)"
      R"("timestamp":"2026-03-01T12:00:05Z"})"
      "\n");
}

// Restores the process umask when a test ends.
class Umask {
 public:
  explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
  ~Umask() { ::umask(previous_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t previous_;
};

unsigned modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return static_cast<unsigned>(info.st_mode & 07777);
}

TEST(AuditWriter, LogIsPrivateToItsOwner) {
  Umask groupWritable(002);
  TempDir dir;
  const std::string created = dir.path() + "/fresh/audit.jsonl";
  AuditWriter writer(created, [] { return at(1772370000); });
  writer.recordRequest(sampleAction("r1"));
  EXPECT_EQ(modeOf(created), 0600u);
  EXPECT_EQ(modeOf(dir.path() + "/fresh"), 0700u);
  writer.recordReply(sampleAction("r1"), std::nullopt);
  EXPECT_EQ(modeOf(created), 0600u);
  EXPECT_EQ(splitLines(readText(created)).size(), 2u);

  // A log an earlier version left readable by everyone is closed at the next launch; a
  // directory that already existed keeps its mode.
  const std::string old = dir.file("audit.jsonl");
  testing::writeText(old, "");
  ASSERT_EQ(::chmod(old.c_str(), 0664), 0);
  AuditWriter(old, [] { return at(1772370000); }).reconcileOnLaunch();
  EXPECT_EQ(modeOf(old), 0600u);
  EXPECT_EQ(modeOf(dir.path()), 0700u);
}

// Two launches of the real store with the real observer: the first answers one request and
// leaves another open when it stops, the second reconciles.
TEST(AuditWriter, ReconcileTellsAnsweredRequestsFromOnesCutOffByAStop) {
  TempDir dir;
  const std::string file = dir.file("audit.jsonl");
  {
    AuditWriter writer(file, [] { return at(1772370000); });
    writer.reconcileOnLaunch();  // no file yet: nothing, and no file is made
    EXPECT_FALSE(std::filesystem::exists(file));
    MainLoop loop;
    PendingActionStore store(loop);
    attachAuditObserver(store, writer);
    std::vector<HookReply> sent;
    auto answered = sampleAction("answered");
    store.insert(answered, [&](const HookReply& reply) { sent.push_back(reply); });
    HookReply allowAlways = storeReply("answered", "allow");
    allowAlways.mode = "always";
    ASSERT_TRUE(store.complete("answered", allowAlways, PendingActionStatus::answered));
    auto timedOut = sampleAction("timed-out");
    timedOut.timeoutSeconds = 0;
    store.insert(timedOut, [&](const HookReply& reply) { sent.push_back(reply); });
    WorkItem waker = loop.every(Seconds(0.01), Seconds(0), [] {});
    ASSERT_TRUE(loop.runUntil([&] { return sent.size() == 2; }, Seconds(10)));
    auto cutOff = sampleAction("cut-off");
    cutOff.agent = "claude_code";
    cutOff.kind = PendingActionKind::permissionRequest;
    store.insert(cutOff, [&](const HookReply& reply) { sent.push_back(reply); });
  }
  testing::appendText(file, "this line is not json\n{\"role\":7,\"request_id\":\"x\"}\n\n");
  auto lines = splitLines(readText(file));
  ASSERT_EQ(lines.size(), 8u);
  // The replies say how each request ended.
  EXPECT_EQ(Json::parse(lines[1])["decision"], "allow");
  EXPECT_EQ(Json::parse(lines[1])["mode"], "always");
  EXPECT_EQ(Json::parse(lines[1])["status"], "answered");
  EXPECT_EQ(Json::parse(lines[3])["decision"], "timed_out");
  EXPECT_EQ(Json::parse(lines[3])["mode"], "once");

  AuditWriter(file, [] { return at(1772370000); }).reconcileOnLaunch();
  lines = splitLines(readText(file));
  ASSERT_EQ(lines.size(), 9u) << readText(file);
  EXPECT_EQ(lines[8],
            R"({"original_agent":"claude_code","original_kind":"permission_request",)"
            R"("request_id":"cut-off","role":"pending_reconcile","status":"dropped_on_restart",)"
            R"("timestamp":"2026-03-01T13:00:00Z"})");
  EXPECT_EQ(readText(file).find("applied_after_crash"), std::string::npos);

  // Each request is reconciled once: a second launch adds nothing.
  AuditWriter(file, [] { return at(1772370000); }).reconcileOnLaunch();
  EXPECT_EQ(splitLines(readText(file)).size(), 9u);

  // A request seen after the last launch is reconciled at the next one, alone.
  AuditWriter writer(file, [] { return at(1772370000); });
  writer.recordRequest(sampleAction("later"));
  writer.reconcileOnLaunch();
  lines = splitLines(readText(file));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_NE(lines[10].find(R"("request_id":"later")"), std::string::npos);
  EXPECT_NE(lines[10].find(R"("status":"dropped_on_restart")"), std::string::npos);
}

}  // namespace
}  // namespace glimmet
