// The approval audit log stays bounded: it rotates at a size limit without losing a line of a
// waiting request, and a launch reads only its tail however long it grew.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "approvals/audit_writer.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::readText;
using testing::splitLines;
using testing::TempDir;

PendingAction request(std::string id) {
  PendingAction action;
  action.requestID = std::move(id);
  action.agent = "claude_code";
  action.sessionID = "s1";
  action.agentPID = static_cast<int32_t>(::getpid());
  action.createdAt = Timestamp(std::chrono::seconds(1772366400));
  action.payload.command = "make";
  return action;
}

std::vector<std::string> idsIn(const std::string& path) {
  std::vector<std::string> ids;
  for (const auto& line : splitLines(readText(path))) {
    ids.push_back(Json::parse(line)["request_id"].get<std::string>() + ":" +
                  Json::parse(line)["role"].get<std::string>());
  }
  return ids;
}

TEST(AuditRotation, RotatesAtTheLimitKeepingTheWaitingRequestsLines) {
  TempDir dir;
  const std::string file = dir.file("audit.jsonl");
  AuditLimits limits;
  limits.rotateBytes = 1000;
  const auto clock = [] { return Timestamp(std::chrono::seconds(1772366405)); };
  AuditWriter writer(file, clock, limits);
  auto waiting = request("waiting");
  writer.recordRequest(waiting);
  size_t written = 1;
  // Replies of finished requests (about 135 bytes each) until a request line (about 185
  // bytes) no longer fits.
  for (int i = 0; std::filesystem::file_size(file) + 150 <= limits.rotateBytes; ++i) {
    auto done = request("done-" + std::to_string(i));
    done.status = PendingActionStatus::answered;
    writer.recordReply(done, storeReply(done.requestID, "allow"));
    ++written;
  }
  EXPECT_FALSE(std::filesystem::exists(file + ".1"));
  const auto before = idsIn(file);
  ASSERT_EQ(before.size(), written);

  auto last = request("last");
  writer.recordRequest(last);
  writer.recordRequest(request("after"));
  ASSERT_TRUE(std::filesystem::exists(file + ".1"));
  // Every line before the rotation is in the previous file, unchanged.
  EXPECT_EQ(idsIn(file + ".1"), before);
  // The new file starts with the line of the request still waiting, then goes on.
  EXPECT_EQ(idsIn(file),
            (std::vector<std::string>{"waiting:pending_request", "last:pending_request",
                                      "after:pending_request"}));
  EXPECT_LE(std::filesystem::file_size(file + ".1"), limits.rotateBytes);
  const auto mode = std::filesystem::status(file).permissions();
  EXPECT_EQ(mode, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  // The waiting request's reply lands with its request line; a launch finds nothing cut off.
  waiting.status = PendingActionStatus::answered;
  writer.recordReply(waiting, storeReply("waiting", "deny"));
  last.status = PendingActionStatus::timedOut;
  writer.recordReply(last, storeReply("last", "timed_out"));
  const auto reconciliation = AuditWriter(file, clock, limits).reconcileOnLaunch();
  EXPECT_EQ(reconciliation.dropped, 1u);  // "after" never got a reply
  EXPECT_EQ(idsIn(file).back(), "after:pending_reconcile");
}

TEST(AuditRotation, LaunchReadsOnlyTheTailOfAHugeLog) {
  TempDir dir;
  const std::string file = dir.file("audit.jsonl");
  {
    // 200,000 lines of earlier runs, every request answered, then one the stop cut off.
    std::string bytes;
    const std::string request =
        R"({"agent":"codex","command":"ls","cwd":"/w","kind":"permission_request","request_id":"r)";
    for (int i = 0; i < 100000; ++i) {
      bytes +=
          request + std::to_string(i) +
          R"(","role":"pending_request","session_id":"s","timestamp":"2026-03-01T12:00:00Z","tool":""})"
          "\n";
      bytes += R"({"decision":"allow","latency_ms":5,"mode":"once","request_id":"r)" +
               std::to_string(i) +
               R"(","role":"pending_reply","status":"answered","timestamp":"2026-03-01T12:00:00Z"})"
               "\n";
    }
    bytes += request +
             R"(cut","role":"pending_request","session_id":"s","timestamp":"x","tool":""})"
             "\n";
    testing::writeText(file, bytes);
  }
  AuditLimits limits;
  limits.rotateBytes = 1ull << 40;  // this test is about reading, not rotating
  const auto result = AuditWriter(file, systemNow, limits).reconcileOnLaunch();
  EXPECT_EQ(result.dropped, 1u);
  EXPECT_GT(result.linesRead, 100u);
  EXPECT_LE(result.linesRead, AuditLimits{}.reconcileTailBytes / 100);
  const auto lines = splitLines(readText(file));
  ASSERT_EQ(lines.size(), 200002u);
  EXPECT_NE(lines.back().find(R"("request_id":"rcut","role":"pending_reconcile")"),
            std::string::npos);
  EXPECT_NE(lines.back().find(R"("status":"dropped_on_restart")"), std::string::npos);
}

}  // namespace
}  // namespace glimmet
