// `glimmet run` as a whole: a real glimmet child process, real clients over the real socket,
// decisions typed into its standard input.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>

#include "approvals/socket_frame_codec.hpp"
#include "base/json_values.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::readText;
using testing::splitLines;
using testing::TempDir;

constexpr double kDeadline = 30;

std::string requestLine(const std::string& id, const std::string& kind, const std::string& session,
                        int pid, int timeoutSeconds = 120,
                        const std::string& agent = "claude_code") {
  HookRequest request;
  request.requestID = id;
  request.agent = agent;
  request.sessionID = session;
  request.agentPID = pid;
  request.kind = kind;
  request.timeoutSeconds = timeoutSeconds;
  request.payload.tool = "Bash";
  request.payload.command = "rm -rf build";
  request.payload.cwd = "/tmp/project";
  return SocketFrameCodec::encode(request);
}

class GlimmetRunTest : public ::testing::Test {
 protected:
  std::vector<std::string> environment(bool withGlimmetHome) const {
    std::vector<std::string> env = {"HOME=" + home, "PATH=" + std::string(std::getenv("PATH"))};
    if (withGlimmetHome) env.push_back("GLIMMET_HOME=" + glimmetHome);
    return env;
  }

  ChildProcess startGlimmet(bool withGlimmetHome = false) {
    auto child = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment(withGlimmetHome), {},
                                     /*keepInputOpen=*/true);
    const std::string socket =
        withGlimmetHome ? glimmetHome + "/glimmet.sock" : home + "/.glimmet/glimmet.sock";
    EXPECT_TRUE(
        child.waitForOutput("[Glimmet] socket server listening at " + socket + "\n", kDeadline))
        << child.output();
    return child;
  }

  void stopGlimmet(ChildProcess& glimmet) {
    glimmet.signal(SIGTERM);
    EXPECT_TRUE(glimmet.waitExit(kDeadline)) << glimmet.output();
  }

  ChildProcess client(const std::string& socket, const std::string& request,
                      std::vector<std::string> options = {}) {
    std::vector<std::string> argv = {"python3", testing::hookClientScript(), socket};
    argv.insert(argv.end(), options.begin(), options.end());
    return ChildProcess::spawn(argv, {}, request);
  }

  // The one reply a finished client printed, decoded.
  static HookReply onlyReply(ChildProcess& finished) {
    EXPECT_TRUE(finished.waitExit(kDeadline));
    const auto lines = splitLines(finished.output());
    EXPECT_EQ(lines.size(), 2u) << finished.output();
    EXPECT_EQ(lines.back(), "<DONE>");
    auto reply = decodeHookReply(lines.front());
    EXPECT_TRUE(reply.ok()) << finished.output();
    return reply.ok() ? reply.value() : HookReply{};
  }

  std::vector<Json> auditLines() const {
    std::vector<Json> lines;
    for (const auto& text : splitLines(readText(home + "/.glimmet/audit.jsonl"))) {
      Json line = Json::parse(text);
      EXPECT_EQ(line.dump(), text) << "keys must be sorted and compact";
      lines.push_back(std::move(line));
    }
    return lines;
  }

  std::vector<Json> auditLinesWithRole(const std::string& role) const {
    std::vector<Json> matching;
    for (auto& line : auditLines()) {
      if (line["role"] == role) matching.push_back(line);
    }
    return matching;
  }

  TempDir dir;
  std::string home = dir.path() + "/home";
  std::string glimmetHome = dir.path() + "/gh";
};

TEST_F(GlimmetRunTest, AlwaysFromTheConsoleSendsExactlyOneSortedClaudeReply) {
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  auto glimmet = startGlimmet();
  const std::string socket = home + "/.glimmet/glimmet.sock";
  struct stat info {};
  ASSERT_EQ(::stat(socket.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  auto raw = client(socket, requestLine("req-always", "permission_request", "s1", ::getpid()));
  ASSERT_TRUE(glimmet.waitForOutput("[#1] Approval needed: Run: rm -rf build\n", kDeadline))
      << glimmet.output();
  glimmet.write("always 1\n");
  ASSERT_TRUE(raw.waitExit(kDeadline));
  EXPECT_EQ(
      splitLines(raw.output()),
      (std::vector<std::string>{
          R"({"decision":"allow","mode":"always","raw_agent_payload":"{\"hookSpecificOutput\":)"
          R"({\"decision\":{\"behavior\":\"allow\",\"updatedPermissions\":[{\"behavior\":)"
          R"(\"allow\",\"destination\":\"localSettings\",\"rules\":[{\"ruleContent\":)"
          R"(\"rm -rf build\",\"toolName\":\"Bash\"}],\"type\":\"addRules\"}]},)"
          R"(\"hookEventName\":\"PermissionRequest\"}}","request_id":"req-always",)"
          R"("type":"hook.reply","v":1})",
          "<DONE>"}));
  glimmet.write("allow 1\n");
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] request #1 is already answered\n", kDeadline));

  // The real Claude Code bridge, exactly as Claude runs it.
  auto bridge = ChildProcess::spawn(
      {"python3",
       std::string(GLIMMET_SOURCE_DIR) + "/src/integrations/scripts/glimmet-hook-claude"},
      environment(false),
      R"({"session_id":"s2","hook_event_name":"PermissionRequest","tool_name":"Bash",)"
      R"("tool_input":{"command":"make test"},"cwd":"/tmp/project"})");
  ASSERT_TRUE(glimmet.waitForOutput("[#2] Approval needed: Run: make test\n", kDeadline))
      << glimmet.output();
  glimmet.write("deny 2\n");
  ASSERT_TRUE(bridge.waitExit(kDeadline));
  EXPECT_EQ(bridge.output(),
            R"({"hookSpecificOutput":{"decision":{"behavior":"deny",)"
            R"("message":"The user denied this in Glimmet."},"hookEventName":"PermissionRequest"}})"
            "\n");

  const auto replies = auditLinesWithRole("pending_reply");
  ASSERT_EQ(replies.size(), 2u);
  for (const auto& reply : replies) {
    EXPECT_EQ(reply["status"], "answered");
    EXPECT_TRUE(reply["latency_ms"].is_number_integer());
  }
  stopGlimmet(glimmet);
  EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST_F(GlimmetRunTest, TimeOutAgentExitSupersessionAuditAndReconcileAcrossRestarts) {
  auto glimmet = startGlimmet(/*withGlimmetHome=*/true);
  const std::string socket = glimmetHome + "/glimmet.sock";

  auto timing = client(socket, requestLine("r-timeout", "permission_request", "s1", ::getpid(), 2));
  ASSERT_TRUE(glimmet.waitForOutput("[#1] ", kDeadline));

  auto agent = ChildProcess::spawn({"sleep", "60"});
  auto dying = client(socket, requestLine("r-dies", "permission_request", "s2", agent.pid()));
  ASSERT_TRUE(glimmet.waitForOutput("[#2] ", kDeadline));
  agent.signal(SIGKILL);

  auto older = client(socket, requestLine("r-old", "waiting_input", "s3", ::getpid()));
  ASSERT_TRUE(glimmet.waitForOutput("[#3] Input needed", kDeadline));
  auto newer = client(socket, requestLine("r-new", "waiting_input", "s3", ::getpid()));
  ASSERT_TRUE(glimmet.waitForOutput("[#4] Input needed", kDeadline));

  EXPECT_EQ(onlyReply(older), storeReply("r-old", "superseded"));
  EXPECT_EQ(onlyReply(dying), storeReply("r-dies", "agentDied"));
  EXPECT_EQ(onlyReply(timing), storeReply("r-timeout", "timed_out"));

  glimmet.write("reply 3 too late\n");
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] request #3 is already superseded\n", kDeadline));
  glimmet.write("allow 1\n");  // a decision after the time-out changes nothing
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] request #1 is already timedOut\n", kDeadline));
  glimmet.write("reply 4 ship it\n");
  const HookReply answered = onlyReply(newer);
  EXPECT_EQ(answered.decision, "input");
  EXPECT_EQ(answered.rawAgentPayload, R"({"decision":"block","reason":"ship it"})");

  auto open = client(socket, requestLine("r-open", "waiting_choice", "s4", ::getpid()),
                     {"--timeout", "60"});
  ASSERT_TRUE(glimmet.waitForOutput("[#5] Choice needed", kDeadline));
  stopGlimmet(glimmet);
  ASSERT_TRUE(open.waitExit(kDeadline));
  EXPECT_EQ(splitLines(open.output()), std::vector<std::string>{"<EOF>"});

  // The audit log stays in ~/.glimmet even when GLIMMET_HOME moves the socket.
  std::map<std::string, Json> replies;
  for (const auto& reply : auditLinesWithRole("pending_reply")) {
    replies[reply["request_id"]] = reply;
  }
  ASSERT_EQ(replies.size(), 4u);
  EXPECT_EQ(replies["r-timeout"]["status"], "timedOut");
  EXPECT_GE(replies["r-timeout"]["latency_ms"].get<int64_t>(), 1990);
  EXPECT_LT(replies["r-timeout"]["latency_ms"].get<int64_t>(), 8000);
  EXPECT_EQ(replies["r-dies"]["status"], "agentDied");
  EXPECT_EQ(replies["r-old"]["status"], "superseded");
  EXPECT_EQ(replies["r-new"]["status"], "answered");
  EXPECT_EQ(auditLinesWithRole("pending_request").size(), 5u);
  EXPECT_TRUE(auditLinesWithRole("pending_reconcile").empty());

  auto second = startGlimmet(true);
  stopGlimmet(second);
  std::map<std::string, std::string> reconciled;
  for (const auto& line : auditLinesWithRole("pending_reconcile")) {
    EXPECT_EQ(reconciled.count(line["request_id"]), 0u);
    reconciled[line["request_id"]] = line["status"];
  }
  // Only the request the stop cut off; the others' reply lines say how they ended.
  EXPECT_EQ(reconciled, (std::map<std::string, std::string>{{"r-open", "dropped_on_restart"}}));
  const size_t linesAfterFirstRestart = auditLines().size();

  auto third = startGlimmet(true);
  stopGlimmet(third);
  EXPECT_EQ(auditLines().size(), linesAfterFirstRestart);
}

// Claude Code kills its hook once the user answers in the terminal: the request must not
// linger in the list, nor take a decision that goes nowhere.
TEST_F(GlimmetRunTest, KilledBridgeWithdrawsItsRequestWithinASecond) {
  auto glimmet = startGlimmet(/*withGlimmetHome=*/true);
  auto bridge = ChildProcess::spawn(
      {"python3",
       std::string(GLIMMET_SOURCE_DIR) + "/src/integrations/scripts/glimmet-hook-claude"},
      environment(true),
      readText(
          testing::fixturePath("agents/claude-code-2.1.328-interactive/PermissionRequest.json")));
  ASSERT_TRUE(glimmet.waitForOutput("[#1] Approval needed: Run: echo hello > out.txt\n", kDeadline))
      << glimmet.output() << bridge.output();
  glimmet.write("list\n");
  ASSERT_TRUE(
      glimmet.waitForOutput("[#1] Approval needed: Run: echo hello > out.txt (tool Bash · "
                            "in /home/dev/project · permission_request, claude_code)\n",
                            kDeadline))
      << glimmet.output();
  EXPECT_FALSE(bridge.exited()) << "the bridge waits for the decision";

  bridge.signal(SIGKILL);
  const auto killedAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(glimmet.waitForOutput(
      "[#1] hookDropped: withdrawn, the agent closed its hook (answered in the terminal?)\n",
      kDeadline))
      << glimmet.output();
  EXPECT_LT(std::chrono::steady_clock::now() - killedAt, std::chrono::seconds(1));
  glimmet.write("list\n");
  ASSERT_TRUE(glimmet.waitForOutput("No requests waiting.\n", kDeadline)) << glimmet.output();

  const auto requests = auditLinesWithRole("pending_request");
  ASSERT_EQ(requests.size(), 1u);
  const std::string requestID = requests[0]["request_id"];
  auto replies = auditLinesWithRole("pending_reply");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0]["request_id"], requestID);
  EXPECT_EQ(replies[0]["status"], "hookDropped");
  EXPECT_EQ(replies[0]["decision"], "hookDropped");

  // A decision that comes too late is refused; nothing is sent or logged for it.
  glimmet.write("allow 1\n");
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] request #1 is already hookDropped\n", kDeadline))
      << glimmet.output();
  EXPECT_EQ(auditLinesWithRole("pending_reply").size(), 1u);

  // Still serving.
  auto next = client(glimmetHome + "/glimmet.sock",
                     requestLine("r-next", "permission_request", "s1", ::getpid()));
  ASSERT_TRUE(glimmet.waitForOutput("[#2] Approval needed", kDeadline)) << glimmet.output();
  glimmet.write("deny 2\n");
  EXPECT_EQ(onlyReply(next).decision, "deny");
  stopGlimmet(glimmet);
  EXPECT_EQ(glimmet.exitCode(), 0) << glimmet.output();
}

TEST_F(GlimmetRunTest, KeepsServingWhenStandardInputIsDevNull) {
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  const std::string command = "exec '" + std::string(GLIMMET_BINARY) + "' run </dev/null";
  auto glimmet = ChildProcess::spawn({"/bin/sh", "-c", command}, environment(false));
  const std::string socket = home + "/.glimmet/glimmet.sock";
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] socket server listening at " + socket, kDeadline));
  auto waiting = client(socket, requestLine("r1", "permission_request", "s1", ::getpid(), 1));
  EXPECT_EQ(onlyReply(waiting), storeReply("r1", "timed_out"));
  EXPECT_TRUE(glimmet.output().find("[#1] Approval needed") != std::string::npos);
  EXPECT_FALSE(glimmet.exited());
  stopGlimmet(glimmet);
}

size_t occurrences(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

TEST_F(GlimmetRunTest, SecondRunRefusesWhileTheFirstKeepsItsSocketAndRequests) {
  auto first = startGlimmet(/*withGlimmetHome=*/true);
  const std::string socket = glimmetHome + "/glimmet.sock";
  auto waiting = client(socket, requestLine("r-open", "permission_request", "s1", ::getpid()),
                        {"--timeout", "60"});
  ASSERT_TRUE(first.waitForOutput("[#1] Approval needed", kDeadline)) << first.output();

  auto second = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment(true), {}, true);
  ASSERT_TRUE(second.waitExit(kDeadline)) << second.output();
  EXPECT_NE(second.exitCode(), 0);
  EXPECT_NE(second.output().find("[Glimmet] Glimmet is already running (pid " +
                                 std::to_string(first.pid()) + ")\n"),
            std::string::npos)
      << second.output();
  EXPECT_EQ(second.output().find("socket server listening"), std::string::npos);
  // The refused run neither took the socket nor reconciled the first one's open request.
  EXPECT_TRUE(auditLinesWithRole("pending_reconcile").empty());

  // The open request is still the first one's to answer, and new requests still reach it.
  first.write("allow 1\n");
  EXPECT_EQ(onlyReply(waiting).decision, "allow");
  auto later = client(socket, requestLine("r-later", "permission_request", "s2", ::getpid()));
  ASSERT_TRUE(first.waitForOutput("[#2] Approval needed", kDeadline)) << first.output();
  first.write("deny 2\n");
  EXPECT_EQ(onlyReply(later).decision, "deny");
  stopGlimmet(first);
  EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST_F(GlimmetRunTest, SocketPathHoldingAFileIsLeftAloneAndAStaleSocketIsReplaced) {
  // Private, as Glimmet makes it: whatever the umask, a folder others can write is refused.
  std::filesystem::create_directories(glimmetHome);
  std::filesystem::permissions(glimmetHome, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  const std::string socket = glimmetHome + "/glimmet.sock";
  testing::writeText(socket, "not a socket");
  auto refused = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment(true), {}, true);
  ASSERT_TRUE(refused.waitExit(kDeadline)) << refused.output();
  EXPECT_NE(refused.exitCode(), 0);
  EXPECT_NE(refused.output().find(socket + " exists and is not a socket"), std::string::npos)
      << refused.output();
  EXPECT_EQ(readText(socket), "not a socket");

  // A socket file left by a run that was killed is taken over.
  ASSERT_TRUE(std::filesystem::remove(socket));
  auto killed = startGlimmet(true);
  killed.signal(SIGKILL);
  ASSERT_TRUE(killed.waitExit(kDeadline));
  ASSERT_TRUE(std::filesystem::is_socket(socket));
  auto next = startGlimmet(true);
  auto asking = client(socket, requestLine("r-next", "permission_request", "s1", ::getpid(), 1));
  EXPECT_EQ(onlyReply(asking), storeReply("r-next", "timed_out"));
  stopGlimmet(next);
}

// A directory the user cannot write. Root can write anywhere, so as root glimmet runs as user
// nobody for this test, inside a tree under /tmp that nobody can enter.
TEST_F(GlimmetRunTest, UnwritableSocketDirectoryIsAClearErrorAndNothingIsDeleted) {
  TempDir shared("/tmp");
  ASSERT_EQ(::chmod(shared.path().c_str(), 0755), 0);
  const std::string userHome = shared.path() + "/home";
  const std::string lockedHome = shared.path() + "/gh";
  std::filesystem::create_directories(userHome);
  std::filesystem::create_directories(lockedHome);
  testing::writeText(lockedHome + "/notes", "keep me");
  std::vector<std::string> prefix;
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) GTEST_SKIP() << "no user named nobody on this machine";
    // A build under a private home (/root is 0700) cannot be run by anyone else.
    for (auto path = std::filesystem::path(GLIMMET_BINARY); path != path.root_path();
         path = path.parent_path()) {
      struct stat info {};
      if (::stat(path.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
        GTEST_SKIP() << "the user nobody cannot reach " << path << " to run glimmet";
      }
    }
    ASSERT_EQ(::chown(userHome.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    // The user's own folder, only not writable: one that belongs to someone else is refused
    // before any write is tried.
    ASSERT_EQ(::chown(lockedHome.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    prefix = {"python3", "-c",
              "import os, sys; os.setgroups([]); os.setgid(int(sys.argv[1])); "
              "os.setuid(int(sys.argv[2])); os.execv(sys.argv[3], sys.argv[3:])",
              std::to_string(nobody->pw_gid), std::to_string(nobody->pw_uid)};
  }
  ASSERT_EQ(::chmod(lockedHome.c_str(), 0555), 0);
  std::vector<std::string> argv = prefix;
  argv.insert(argv.end(), {GLIMMET_BINARY, "run"});
  const std::vector<std::string> env = {"HOME=" + userHome, "GLIMMET_HOME=" + lockedHome,
                                        "XDG_DATA_HOME=" + userHome + "/data",
                                        "PATH=" + std::string(std::getenv("PATH"))};
  auto refused = ChildProcess::spawn(argv, env, {}, true);
  ASSERT_TRUE(refused.waitExit(kDeadline)) << refused.output();
  EXPECT_NE(refused.exitCode(), 0) << refused.output();
  EXPECT_NE(refused.output().find("[Glimmet] Cannot create the socket " + lockedHome +
                                  "/glimmet.sock: Permission denied\n"),
            std::string::npos)
      << refused.output();
  EXPECT_EQ(readText(lockedHome + "/notes"), "keep me");
  EXPECT_EQ(std::filesystem::directory_iterator(lockedHome)->path().filename(), "notes");
}

// glimmet run with a limit of 40 descriptors and 100 clients knocking: it pauses accepting
// with one log line instead of one every few milliseconds, and serves again once they leave.
TEST_F(GlimmetRunTest, OutOfDescriptorsLogsOncePerEpisodeAndServesAgainAfterwards) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizer runtime probes memory through a pipe of its own when it checks a virtual
  // call; out of descriptors that probe fails and the check reports a valid object as
  // corrupt ("object has invalid vptr"), so a sanitized glimmet cannot be run out of them.
  GTEST_SKIP() << "the sanitizer runtime itself needs free descriptors";
#endif
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  auto glimmet = ChildProcess::spawn(
      {"python3", "-c",
       "import os, resource, sys; resource.setrlimit(resource.RLIMIT_NOFILE, (40, 40)); "
       "os.execv(sys.argv[1], sys.argv[1:])",
       GLIMMET_BINARY, "run"},
      environment(false), {}, true);
  const std::string socket = home + "/.glimmet/glimmet.sock";
  ASSERT_TRUE(
      glimmet.waitForOutput("[Glimmet] socket server listening at " + socket + "\n", kDeadline))
      << glimmet.output();

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
  const std::string outOfDescriptors = "accept failed: errno=" + std::to_string(EMFILE);
  // 100 clients connect. While glimmet keeps accepting, a full backlog only means "try again
  // in a moment"; once glimmet is out of descriptors the backlog stays full, and the clients
  // still to come give up at once.
  auto outOfDescriptorLines = [&] { return occurrences(glimmet.output(), outOfDescriptors); };
  auto knock = [&](std::vector<int>& clients, size_t episode) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; i < 100 && std::chrono::steady_clock::now() < giveUp; ++i) {
      for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        const bool connected =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        if (connected) {
          clients.push_back(fd);
          break;
        }
        ::close(fd);
        if (outOfDescriptorLines() >= episode || std::chrono::steady_clock::now() > giveUp) break;
        glimmet.waitUntil([] { return false; }, 0.005);
      }
    }
  };
  for (size_t episode = 1; episode <= 2; ++episode) {
    SCOPED_TRACE(episode);
    std::vector<int> clients;
    knock(clients, episode);
    ASSERT_TRUE(glimmet.waitUntil([&] { return outOfDescriptorLines() >= episode; }, kDeadline))
        << glimmet.output();
    // Several retry periods pass while the clients stay; each retry fails again, silently.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1600);
    glimmet.waitUntil([&] { return std::chrono::steady_clock::now() > until; }, 5);
    EXPECT_EQ(outOfDescriptorLines(), episode) << glimmet.output();
    EXPECT_EQ(occurrences(glimmet.output(), "[Glimmet] socket accept paused: POSIX " +
                                                outOfDescriptors + " (Too many open files)"),
              episode);
    EXPECT_FALSE(glimmet.exited()) << glimmet.output();
    for (const int fd : clients) ::close(fd);

    // The descriptors are free again: a real request is answered.
    const std::string id = "r-after-" + std::to_string(episode);
    auto asking = client(socket, requestLine(id, "permission_request", "s1", ::getpid(), 1));
    EXPECT_EQ(onlyReply(asking), storeReply(id, "timed_out"));
  }
  stopGlimmet(glimmet);
}

#ifdef __linux__
TEST_F(GlimmetRunTest, SocketApprovalTurnedOffStartsNoServer) {
  std::filesystem::create_directories(home + "/.config/Glimmet");
  testing::writeText(home + "/.config/Glimmet/defaults.json",
                     R"({"useSocketApprovalEnabled": false})");
  auto glimmet = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment(false), {}, true);
  ASSERT_TRUE(glimmet.waitForOutput(
      "[Glimmet] socket-based approval disabled by user; skipping server start\n", kDeadline))
      << glimmet.output();
  EXPECT_FALSE(std::filesystem::exists(home + "/.glimmet/glimmet.sock"));
  stopGlimmet(glimmet);
}
#endif

}  // namespace
}  // namespace glimmet

namespace glimmet {
namespace {

// A socket folder others can change would let them put their own socket where the bridges
// connect. Such a folder is refused with one line, and nothing is created in it.
class UntrustedSocketFolderTest : public ::testing::Test {
 protected:
  void expectRefusal(const std::string& socketFolder, const std::string& reason) {
    const std::vector<std::string> env = {
        "HOME=" + dir.file("home"), "GLIMMET_HOME=" + socketFolder,
        "XDG_DATA_HOME=" + dir.file("data"), "XDG_CONFIG_HOME=" + dir.file("config"),
        "PATH=" + std::string(std::getenv("PATH"))};
    auto refused = ChildProcess::spawn({GLIMMET_BINARY, "run"}, env, {}, true);
    ASSERT_TRUE(refused.waitExit(kDeadline)) << refused.output();
    EXPECT_NE(refused.exitCode(), 0) << refused.output();
    const std::string line =
        "[Glimmet] Refusing to listen: the socket directory " + socketFolder + " " + reason + "\n";
    const std::string output = refused.output();
    EXPECT_NE(output.find(line), std::string::npos) << output;
    EXPECT_EQ(output.find("Refusing"), output.rfind("Refusing")) << output;
    EXPECT_EQ(output.find("listening"), std::string::npos) << output;
  }

  static std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
};

TEST_F(UntrustedSocketFolderTest, GroupOrOtherWritableFolderIsRefused) {
  const std::string folder = dir.file("gh");
  std::filesystem::create_directories(folder);
  testing::writeText(folder + "/notes", "keep me");
  ASSERT_EQ(::chmod(folder.c_str(), 0770), 0);
  expectRefusal(folder, "can be written by its group (mode 0770; chmod go-w fixes it)");
  EXPECT_EQ(entries(folder), std::vector<std::string>{"notes"});
  ASSERT_EQ(::chmod(folder.c_str(), 0703), 0);
  expectRefusal(folder, "can be written by other users (mode 0703; chmod go-w fixes it)");
  EXPECT_EQ(entries(folder), std::vector<std::string>{"notes"});
  // Not quietly made private either: the user decides who else may write there.
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0703u);
}

TEST_F(UntrustedSocketFolderTest, SymlinkedFolderIsRefused) {
  const std::string real = dir.file("real");
  std::filesystem::create_directories(real);
  ASSERT_EQ(::chmod(real.c_str(), 0700), 0);
  const std::string link = dir.file("gh");
  std::filesystem::create_directory_symlink(real, link);
  expectRefusal(link, "is a symbolic link");
  // Also when named with a trailing slash, which would otherwise look through the link.
  expectRefusal(link + "/", "is a symbolic link");
  EXPECT_TRUE(entries(real).empty());
}

TEST_F(UntrustedSocketFolderTest, FolderOfAnotherUserIsRefused) {
  const passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || !nobody) GTEST_SKIP() << "needs root to give a folder to nobody";
  const std::string folder = dir.file("gh");
  std::filesystem::create_directories(folder);
  ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chown(folder.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  expectRefusal(folder, "belongs to another user (uid " + std::to_string(nobody->pw_uid) + ")");
  EXPECT_TRUE(entries(folder).empty());
}

}  // namespace
}  // namespace glimmet
