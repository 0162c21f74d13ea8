#pragma once

// Snapshots made the way the core makes them: event lines through the real parser and the real
// message builder, requests as the socket service stores them.

#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "app/app_snapshot.hpp"
#include "base/time.hpp"
#include "model/island_message.hpp"

namespace glimmet::viewtest {

inline Timestamp at(double seconds) {
  return Timestamp{} +
         std::chrono::duration_cast<Timestamp::duration>(Seconds(1'800'000'000 + seconds));
}

inline IslandMessage messageFromLine(const std::string& line) {
  const auto event = parseGlimmetEventLine(line, {"/home/dev"});
  EXPECT_TRUE(event) << line;
  return makeIslandMessage({*event}, {}, {}, at(0));
}

inline IslandMessage permissionMessage(const std::string& id, const std::string& session,
                                       const std::string& risk = "medium") {
  return messageFromLine(R"({"event_id":")" + id +
                         R"(","source":"claude-code","event_type":"permission_request",)"
                         R"("session_id":")" +
                         session +
                         R"(","title":"Run Bash","message":"rm -rf build","tool_name":"Bash",)"
                         R"("action":{"kind":"bash","risk":")" +
                         risk + R"(","decision_file":"/tmp/d/)" + id + R"(.json"}})");
}

inline IslandMessage choiceMessage(const std::string& id) {
  return messageFromLine(R"({"event_id":")" + id +
                         R"(","source":"codex-cli","event_type":"waiting_input","session_id":"s-)" +
                         id + R"(","title":"Pick a plan","response_file":"/tmp/r/)" + id +
                         R"(.json","note_enabled":true,)"
                         R"("options":[{"id":"a","label":"Plan A"},{"id":"b","label":"Plan B"}]})");
}

inline IslandMessage completionMessage(const std::string& id, const std::string& extra) {
  return messageFromLine(
      R"({"event_id":")" + id +
      R"(","source":"codex-cli","event_type":"task_completed","title":"Done here")" + extra + "}");
}

inline IslandMessage statusMessage(const std::string& id, const std::string& title) {
  return messageFromLine(R"({"event_id":")" + id +
                         R"(","source":"claude-code","event_type":"task_updated","title":")" +
                         title + R"("})");
}

inline PendingAction waitingRequest(const std::string& id, PendingActionKind kind,
                                    const std::string& agent = "claude_code",
                                    const std::string& session = "sess-1") {
  PendingAction action;
  action.requestID = id;
  action.agent = agent;
  action.sessionID = session;
  action.kind = kind;
  action.createdAt = at(0);
  action.payload.tool = "Bash";
  action.payload.command = "cargo test";
  action.payload.cwd = "/home/dev/project";
  if (kind == PendingActionKind::waitingChoice) {
    action.payload.options =
        std::vector<HookRequestOption>{{"yes", "Yes", std::nullopt}, {"no", "No", std::nullopt}};
  }
  return action;
}

}  // namespace glimmet::viewtest
