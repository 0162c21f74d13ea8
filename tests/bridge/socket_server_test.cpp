#include "approvals/hook_socket_service.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "approvals/hook_request_handler.hpp"
#include "approvals/socket_frame_codec.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::splitLines;
using testing::TempDir;

HookRequest sampleRequest(std::string id, std::string kind = "permission_request") {
  HookRequest request;
  request.requestID = std::move(id);
  request.agent = "claude_code";
  request.sessionID = "session-1";
  request.agentPID = static_cast<int32_t>(::getpid());
  request.kind = std::move(kind);
  request.timeoutSeconds = 120;
  request.payload.command = "rm -rf build";
  return request;
}

std::string line(const HookRequest& request) {
  return SocketFrameCodec::encode(request);
}

HookReply replyTo(const HookRequest& request) {
  HookReply reply = storeReply(request.requestID, "allow");
  reply.rawAgentPayload = R"({"id":")" + request.requestID + R"("})";
  return reply;
}

std::string replyLine(const HookRequest& request) {
  return encodeHookReply(replyTo(request));
}

// A request line (without its line feed) of exactly `bytes` bytes, padded in the prompt.
std::string requestOfSize(const std::string& id, size_t bytes) {
  HookRequest request = sampleRequest(id);
  request.payload.prompt = "";
  const size_t base = encodeHookRequest(request).size();
  request.payload.prompt = std::string(bytes - base, 'x');
  std::string text = encodeHookRequest(request);
  EXPECT_EQ(text.size(), bytes);
  return text;
}

class SocketServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<HookSocketService>(
        loop, socketPath,
        [this](HookRequest request, SocketReplyHandle handle) {
          requests.push_back(request);
          handles.push_back(handle);
          if (autoReply) handle.send(replyTo(request));
        },
        [this](const std::string& text) { logs.push_back(text); });
    auto started = server->start();
    ASSERT_TRUE(started.ok()) << started.error();
  }

  ChildProcess startClient(const std::string& input, std::vector<std::string> options = {},
                           std::vector<std::string> prefix = {}) {
    std::vector<std::string> argv = prefix;
    argv.insert(argv.end(), {"python3", testing::hookClientScript(), socketPath});
    argv.insert(argv.end(), options.begin(), options.end());
    return ChildProcess::spawn(argv, {}, input);
  }

  // Runs the main loop until `done` (woken every 10 ms) or the deadline.
  bool runUntil(const std::function<bool()>& done, double seconds = 30) {
    WorkItem waker = loop.every(Seconds(0.01), Seconds(0), [] {});
    return loop.runUntil(done, Seconds(seconds));
  }

  std::vector<std::string> runClient(const std::string& input,
                                     std::vector<std::string> options = {}) {
    auto child = startClient(input, std::move(options));
    EXPECT_TRUE(runUntil([&] { return child.exited(); }));
    return splitLines(child.output());
  }

  bool logged(std::string_view part) const {
    for (const auto& text : logs) {
      if (text.find(part) != std::string::npos) return true;
    }
    return false;
  }

  TempDir dir;
  std::string socketPath = dir.path() + "/gh/glimmet.sock";
  MainLoop loop;
  std::vector<HookRequest> requests;
  std::vector<SocketReplyHandle> handles;
  std::vector<std::string> logs;
  bool autoReply = true;
  std::unique_ptr<HookSocketService> server;
};

TEST_F(SocketServerTest, TwoRequestsInOneWriteAreHandledInOrderEachWithItsOwnReply) {
  const auto first = sampleRequest("req-a");
  const auto second = sampleRequest("req-b", "waiting_input");
  const auto output = runClient(line(first) + line(second), {"--replies", "2"});
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], first);
  EXPECT_EQ(requests[1], second);
  EXPECT_EQ(output, (std::vector<std::string>{replyLine(first), replyLine(second), "<DONE>"}));
}

TEST_F(SocketServerTest, RequestSplitOverManyWritesIsDecodedOnceItsLineFeedArrives) {
  const auto request = sampleRequest("req-split");
  const auto output = runClient(line(request), {"--chunk", "5", "--pause", "0.002"});
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], request);
  EXPECT_EQ(output, (std::vector<std::string>{replyLine(request), "<DONE>"}));
}

TEST_F(SocketServerTest, LineOf262144BytesIsAcceptedAndOneByteMoreClosesTheConnection) {
  const std::string atLimit = requestOfSize("req-limit", SocketFrameCodec::kMaxLineBytes);
  auto output = runClient(atLimit + "\n", {"--chunk", "65536"});
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(output, (std::vector<std::string>{replyLine(requests[0]), "<DONE>"}));

  const std::string over = requestOfSize("req-over", SocketFrameCodec::kMaxLineBytes + 1);
  output = runClient(over + "\n", {"--chunk", "65536"});
  EXPECT_EQ(requests.size(), 1u);
  EXPECT_EQ(output, std::vector<std::string>{"<EOF>"});
  EXPECT_TRUE(logged("oversized frame"));

  // Too much without any line feed at all.
  output = runClient(std::string(SocketFrameCodec::kMaxLineBytes + 1, 'x'), {"--chunk", "65536"});
  EXPECT_EQ(requests.size(), 1u);
  EXPECT_EQ(output, std::vector<std::string>{"<EOF>"});
}

TEST_F(SocketServerTest, PeerThatConnectsAndClosesIsTornDownWithoutAHandlerCall) {
  const auto output = runClient("", {"--replies", "0"});
  EXPECT_EQ(output, std::vector<std::string>{"<DONE>"});
  EXPECT_TRUE(runUntil([&] { return server->connectionCount() == 0; }, 10));
  EXPECT_TRUE(requests.empty());
}

TEST_F(SocketServerTest, UndecodableLinesCloseTheConnectionWithoutAReply) {
  std::string pidTooLarge = line(sampleRequest("req-pid"));
  pidTooLarge.replace(pidTooLarge.find(std::to_string(::getpid())),
                      std::to_string(::getpid()).size(), "2147483648");
  std::string pidTooSmall = line(sampleRequest("req-pid"));
  pidTooSmall.replace(pidTooSmall.find(std::to_string(::getpid())),
                      std::to_string(::getpid()).size(), "-2147483649");
  std::string noSession = line(sampleRequest("req-session"));
  noSession.replace(noSession.find("\"session_id\""), std::strlen("\"session_id\""),
                    "\"sessionless\"");
  const std::vector<std::string> frames = {
      "this is not json\n",
      "{}\n",
      "[1,2,3]\n",
      pidTooLarge,
      pidTooSmall,
      noSession,
      R"({"agent":"codex","agent_pid":1,"kind":"waiting_choice","payload":{"options":[{"id":"a"}]},"request_id":"r","session_id":"","timeout_seconds":5,"type":"hook.request","v":1})"
      "\n",
      R"({"agent":"codex","agent_pid":1,"kind":"waiting_choice","payload":"none","request_id":"r","session_id":"","timeout_seconds":5,"type":"hook.request","v":1})"
      "\n",
  };
  for (const auto& frame : frames) {
    SCOPED_TRACE(frame.substr(0, 80));
    EXPECT_EQ(runClient(frame), std::vector<std::string>{"<EOF>"});
  }
  EXPECT_TRUE(requests.empty());
  EXPECT_TRUE(logged("malformed frame: HookRequest: "));
  // Lines are handled in order: a request before a malformed line on the same connection still
  // reaches the handler and gets its reply before the connection is closed.
  const auto before = sampleRequest("req-before");
  EXPECT_EQ(runClient(line(before) + "garbage\n"),
            (std::vector<std::string>{replyLine(before), "<DONE>"}));
  ASSERT_TRUE(runUntil([&] { return requests.size() == 1; }, 10));
  EXPECT_EQ(requests[0], before);
  // The server still serves everyone else.
  const auto request = sampleRequest("req-after");
  EXPECT_EQ(runClient(line(request)), (std::vector<std::string>{replyLine(request), "<DONE>"}));
}

TEST_F(SocketServerTest, ReplyAfterTearDownIsDroppedAndNeverReachesANewerPeer) {
  autoReply = false;
  const auto gone = sampleRequest("req-gone");
  EXPECT_EQ(runClient(line(gone), {"--replies", "0"}), std::vector<std::string>{"<DONE>"});
  ASSERT_TRUE(runUntil([&] { return requests.size() == 1 && server->connectionCount() == 0; }));

  const auto waiting = sampleRequest("req-waiting");
  auto client = startClient(line(waiting), {"--replies", "1"});
  ASSERT_TRUE(runUntil([&] { return requests.size() == 2; }));
  // The old handle's descriptor number may now belong to the new peer.
  handles[0].send(replyTo(gone));
  handles[0].close();
  handles[1].send(replyTo(waiting));
  ASSERT_TRUE(runUntil([&] { return client.exited(); }));
  EXPECT_EQ(splitLines(client.output()), (std::vector<std::string>{replyLine(waiting), "<DONE>"}));
}

TEST_F(SocketServerTest, CloseFromTheHandlerEndsTheConnectionWithoutAReply) {
  autoReply = false;
  auto client = startClient(line(sampleRequest("req-close")));
  ASSERT_TRUE(runUntil([&] { return requests.size() == 1; }));
  handles[0].close();
  handles[0].close();
  ASSERT_TRUE(runUntil([&] { return client.exited(); }));
  EXPECT_EQ(splitLines(client.output()), std::vector<std::string>{"<EOF>"});
}

TEST_F(SocketServerTest, PeerHangUpIsReportedOnceAndClosingFromThisSideIsNot) {
  autoReply = false;
  int hangUps = 0;
  auto countHangUp = [&] { ++hangUps; };

  // The peer gives up waiting and hangs up while its request is open.
  auto impatient = startClient(line(sampleRequest("req-impatient")), {"--timeout", "0.3"});
  ASSERT_TRUE(runUntil([&] { return requests.size() == 1; }));
  handles[0].onPeerClosed(countHangUp);
  ASSERT_TRUE(runUntil([&] { return impatient.exited() && hangUps == 1; }));
  EXPECT_EQ(splitLines(impatient.output()), std::vector<std::string>{"<TIMEOUT>"});

  // This side closes: the peer sees the end of file, and nobody is told of a hang-up, not even
  // one registered afterwards.
  auto closed = startClient(line(sampleRequest("req-closed")));
  ASSERT_TRUE(runUntil([&] { return requests.size() == 2; }));
  handles[1].onPeerClosed(countHangUp);
  handles[1].close();
  handles[1].onPeerClosed(countHangUp);
  ASSERT_TRUE(runUntil([&] { return closed.exited(); }));
  EXPECT_EQ(splitLines(closed.output()), std::vector<std::string>{"<EOF>"});
  runUntil([] { return false; }, 0.2);
  EXPECT_EQ(hangUps, 1);

  // The peer hung up right after sending, before anyone registered: the end of file was read
  // before the line was handled, and a registration now is still told, once and not at once.
  auto hasty = startClient(line(sampleRequest("req-hasty")), {"--replies", "0"});
  ASSERT_TRUE(runUntil([&] { return hasty.exited() && requests.size() == 3; }));
  ASSERT_TRUE(runUntil([&] { return server->connectionCount() == 0; }));
  handles[2].onPeerClosed([&] { hangUps += 10; });
  EXPECT_EQ(hangUps, 1) << "posted, not called from inside the registration";
  ASSERT_TRUE(runUntil([&] { return hangUps == 11; }));

  // Nothing more arrives later: each callback ran at most once.
  runUntil([] { return false; }, 0.3);
  EXPECT_EQ(hangUps, 11);
}

TEST_F(SocketServerTest, NoHangUpIsReportedOnceTheServerIsGone) {
  autoReply = false;
  int hangUps = 0;
  // One peer still connected, one already gone with its callback posted but not yet run.
  auto waiting = startClient(line(sampleRequest("req-waiting")));
  auto hasty = startClient(line(sampleRequest("req-hasty")), {"--replies", "0"});
  ASSERT_TRUE(runUntil([&] { return requests.size() == 2 && server->connectionCount() == 1; }));
  for (auto& handle : handles) handle.onPeerClosed([&] { ++hangUps; });
  server.reset();
  ASSERT_TRUE(runUntil([&] { return waiting.exited(); }));
  EXPECT_EQ(splitLines(waiting.output()), std::vector<std::string>{"<EOF>"});
  runUntil([] { return false; }, 0.3);
  EXPECT_EQ(hangUps, 0);
  // Handles outliving the server neither crash nor call back.
  handles[0].onPeerClosed([&] { ++hangUps; });
  handles[0].send(replyTo(requests[0]));
  runUntil([] { return false; }, 0.1);
  EXPECT_EQ(hangUps, 0);
}

// A client running as user nobody has to reach the socket through every directory above it.
// The system temp directory can be private to the user running the tests ($TMPDIR inside a
// 0700 home, or the per-user folder on macOS), so this socket lives under /tmp, which everyone
// can search.
class ForeignPeerTest : public SocketServerTest {
 protected:
  ForeignPeerTest() { socketPath = publicDir.path() + "/gh/glimmet.sock"; }
  // The server unlinks its socket on shutdown, so it goes before the directory does.
  void TearDown() override { server.reset(); }

  TempDir publicDir{"/tmp"};
};

TEST_F(ForeignPeerTest, PeerOfAnotherUserIsClosedWithoutReplyWhileTheOwnerKeepsWorking) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a client as user nobody";
  const passwd* nobody = ::getpwnam("nobody");
  if (!nobody) GTEST_SKIP() << "no user named nobody on this machine";
  // Loosen everything the way a careless chmod would, so that only the peer check stands
  // between nobody and the server.
  ASSERT_EQ(::chmod(publicDir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((publicDir.path() + "/gh").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(socketPath.c_str(), 0666), 0);

  const auto foreign = sampleRequest("req-foreign");
  const auto output = runClient(line(foreign), {"--as-user", "nobody"});
  EXPECT_EQ(output, std::vector<std::string>{"<EOF>"});
  EXPECT_TRUE(requests.empty());
  EXPECT_TRUE(
      logged("[Glimmet] socket peer with uid " + std::to_string(nobody->pw_uid) + " refused"));

  const auto own = sampleRequest("req-own");
  EXPECT_EQ(runClient(line(own)), (std::vector<std::string>{replyLine(own), "<DONE>"}));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].requestID, "req-own");
}

// A socket file as a crashed instance leaves it: bound, then closed, so nobody accepts on it.
void leaveStaleSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);
}

mode_t fullModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

TEST(SocketServerStart, ReplacesAStaleSocketCreatesMissingDirectories0700AndSetsMode0600) {
  TempDir dir;
  const std::string path = dir.path() + "/a/b/glimmet.sock";
  ASSERT_EQ(::mkdir((dir.path() + "/a").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((dir.path() + "/a/b").c_str(), 0755), 0);
  leaveStaleSocket(path);
  MainLoop loop;
  HookSocketService server(loop, path, [](HookRequest, SocketReplyHandle) {});
  auto started = server.start();
  ASSERT_TRUE(started.ok()) << started.error();
  EXPECT_TRUE(server.isRunning());
  EXPECT_TRUE(S_ISSOCK(fullModeOf(path)));
  EXPECT_EQ(fullModeOf(path) & 0777, 0600u);
  EXPECT_EQ(fullModeOf(dir.path() + "/a/b") & 0777, 0755u)
      << "an existing directory keeps its mode";

  TempDir fresh;
  const std::string nested = fresh.path() + "/x/y/glimmet.sock";
  HookSocketService second(loop, nested, [](HookRequest, SocketReplyHandle) {});
  ASSERT_TRUE(second.start().ok());
  EXPECT_EQ(fullModeOf(nested) & 0777, 0600u);
  EXPECT_EQ(fullModeOf(fresh.path() + "/x") & 0777, 0700u);
  EXPECT_EQ(fullModeOf(fresh.path() + "/x/y") & 0777, 0700u);
}

// Another instance that is starting holds the lock beside the socket between finding the path
// free and listening on it: a second start in that moment must not take the path from it.
TEST(SocketServerStart, AnInstanceThatIsStartingKeepsThePath) {
  TempDir dir;
  const std::string path = dir.file("glimmet.sock");
  leaveStaleSocket(path);
  const int starting = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(starting, 0);
  ASSERT_EQ(::flock(starting, LOCK_EX | LOCK_NB), 0);

  MainLoop loop;
  HookSocketService second(loop, path, [](HookRequest, SocketReplyHandle) {});
  auto refused = second.start();
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), "Glimmet is already running");
  EXPECT_EQ(second.startFailure(), SocketStartFailure::alreadyRunning);
  EXPECT_TRUE(S_ISSOCK(fullModeOf(path))) << "the starting instance's path is left alone";

  ::close(starting);  // the other one gave up: the stale socket is replaced
  auto started = second.start();
  ASSERT_TRUE(started.ok()) << started.error();
  EXPECT_TRUE(second.isRunning());
  // While this one runs, the lock is held.
  const int third = ::open((path + ".lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(third, 0);
  EXPECT_NE(::flock(third, LOCK_EX | LOCK_NB), 0);
  ::close(third);
}

TEST(SocketServerStart, NeverDeletesWhatIsNotASocket) {
  TempDir dir;
  MainLoop loop;
  const std::string file = dir.file("glimmet.sock");
  testing::writeText(file, "my notes");
  HookSocketService server(loop, file, [](HookRequest, SocketReplyHandle) {});
  auto started = server.start();
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(server.startFailure(), SocketStartFailure::pathUnusable);
  EXPECT_NE(started.error().find(file + " exists and is not a socket"), std::string::npos)
      << started.error();
  EXPECT_FALSE(server.isRunning());
  EXPECT_EQ(testing::readText(file), "my notes");

  const std::string directory = dir.file("sock-dir");
  ASSERT_EQ(::mkdir(directory.c_str(), 0700), 0);
  HookSocketService onDirectory(loop, directory, [](HookRequest, SocketReplyHandle) {});
  started = onDirectory.start();
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(onDirectory.startFailure(), SocketStartFailure::pathUnusable);
  EXPECT_TRUE(S_ISDIR(fullModeOf(directory)));
}

TEST(SocketServerStart, LiveInstanceKeepsItsSocketAndExitRemovesOnlyOurOwnFile) {
  TempDir dir;
  const std::string path = dir.path() + "/gh/glimmet.sock";
  MainLoop loop;
  WorkItem waker = loop.every(Seconds(0.01), Seconds(0), [] {});
  std::vector<std::string> seen;
  auto first = std::make_unique<HookSocketService>(
      loop, path, [&](HookRequest request, SocketReplyHandle handle) {
        seen.push_back(request.requestID);
        handle.send(replyTo(request));
      });
  ASSERT_TRUE(first->start().ok());
  auto ask = [&](const std::string& id) {
    auto client = ChildProcess::spawn({"python3", testing::hookClientScript(), path}, {},
                                      line(sampleRequest(id)));
    EXPECT_TRUE(loop.runUntil([&] { return client.exited(); }, Seconds(30)));
    return splitLines(client.output());
  };

  {
    HookSocketService second(loop, path, [](HookRequest, SocketReplyHandle) {});
    auto started = second.start();
    ASSERT_FALSE(started.ok());
    EXPECT_EQ(second.startFailure(), SocketStartFailure::alreadyRunning);
    EXPECT_EQ(started.error(),
              "Glimmet is already running (pid " + std::to_string(::getpid()) + ")");
    EXPECT_FALSE(second.isRunning());
  }
  // The refused server went away without touching the first one's socket.
  EXPECT_EQ(ask("req-still-served"),
            (std::vector<std::string>{replyLine(sampleRequest("req-still-served")), "<DONE>"}));

  // Someone removed the socket by hand: the first one still runs, and says so.
  ASSERT_EQ(::unlink(path.c_str()), 0);
  {
    HookSocketService second(loop, path, [](HookRequest, SocketReplyHandle) {});
    EXPECT_FALSE(second.start().ok());
    EXPECT_EQ(second.startFailure(), SocketStartFailure::alreadyRunning);
  }
  // The whole directory was cleared and another instance took the path: exiting must not
  // delete the newcomer's socket.
  ASSERT_EQ(::unlink((path + ".lock").c_str()), 0);
  HookSocketService newcomer(loop, path, [&](HookRequest request, SocketReplyHandle handle) {
    seen.push_back("newcomer:" + request.requestID);
    handle.send(replyTo(request));
  });
  ASSERT_TRUE(newcomer.start().ok());
  first.reset();
  EXPECT_TRUE(S_ISSOCK(fullModeOf(path)));
  EXPECT_EQ(ask("req-newcomer"),
            (std::vector<std::string>{replyLine(sampleRequest("req-newcomer")), "<DONE>"}));
  EXPECT_EQ(seen, (std::vector<std::string>{"req-still-served", "newcomer:req-newcomer"}));
}

TEST(SocketServerStart, FailuresAreReportedAndLeaveTheServerStopped) {
  TempDir dir;
  MainLoop loop;
  const std::string tooLong = dir.path() + "/" + std::string(120, 'n') + ".sock";
  HookSocketService longServer(loop, tooLong, [](HookRequest, SocketReplyHandle) {});
  auto started = longServer.start();
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.error(),
            "POSIX sun_path overflow failed: errno=" + std::to_string(ENAMETOOLONG) + " (" +
                std::strerror(ENAMETOOLONG) + ")");
  EXPECT_FALSE(longServer.isRunning());

  testing::writeText(dir.file("plain"), "not a directory");
  HookSocketService blocked(loop, dir.file("plain") + "/glimmet.sock",
                            [](HookRequest, SocketReplyHandle) {});
  started = blocked.start();
  EXPECT_FALSE(started.ok());
  EXPECT_FALSE(started.error().empty());
  EXPECT_FALSE(blocked.isRunning());
}

TEST(SocketServerHandler, UnknownKindClosesWithoutReplyAndKnownKindsWait) {
  TempDir dir;
  const std::string path = dir.path() + "/glimmet.sock";
  MainLoop loop;
  PendingActionStore store(loop);
  std::vector<std::string> announced;
  HookSocketService server(loop, path, [&](HookRequest request, SocketReplyHandle handle) {
    handleHookRequest(store, request, std::move(handle),
                      [&](const PendingAction& action) { announced.push_back(action.requestID); });
  });
  ASSERT_TRUE(server.start().ok());
  WorkItem waker = loop.every(Seconds(0.01), Seconds(0), [] {});

  auto unknown = ChildProcess::spawn({"python3", testing::hookClientScript(), path}, {},
                                     line(sampleRequest("req-unknown", "waiting_forever")));
  ASSERT_TRUE(loop.runUntil([&] { return unknown.exited(); }, Seconds(30)));
  EXPECT_EQ(splitLines(unknown.output()), std::vector<std::string>{"<EOF>"});
  EXPECT_FALSE(store.action("req-unknown"));

  auto known =
      ChildProcess::spawn({"python3", testing::hookClientScript(), path, "--timeout", "0.5"}, {},
                          line(sampleRequest("req-known", "waiting_choice")));
  ASSERT_TRUE(loop.runUntil([&] { return known.exited(); }, Seconds(30)));
  EXPECT_EQ(splitLines(known.output()), std::vector<std::string>{"<TIMEOUT>"});
  ASSERT_TRUE(store.action("req-known"));
  EXPECT_EQ(store.action("req-known")->kind, PendingActionKind::waitingChoice);
  EXPECT_EQ(announced, std::vector<std::string>{"req-known"});
  // The client gave up and hung up: its request stops waiting, without a reply.
  ASSERT_TRUE(loop.runUntil(
      [&] { return store.action("req-known")->status == PendingActionStatus::hookDropped; },
      Seconds(10)));
  EXPECT_EQ(store.reply("req-known")->decision, "hookDropped");
  EXPECT_TRUE(store.waitingActions().empty());
}

}  // namespace
}  // namespace glimmet
