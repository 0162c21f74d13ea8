// The main loop driven by a host loop of the test's own (poll on the backend descriptor, then
// runOnce), as AppKit's run loop or an X11 connection's loop drives it, with real timers, real
// cross-thread posts and real socket I/O; and every libuv handle released when its owner goes.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/console_input.hpp"
#include "platform/file_watcher.hpp"
#include "platform/main_loop.hpp"
#include "platform/process_exit_watcher.hpp"
#include "platform/signals.hpp"
#include "platform/socket_server.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using Clock = std::chrono::steady_clock;

// The host: sleeps in poll() on the loop's descriptor for as long as the loop allows, then
// lets it run once; never spins. Returns whether `done` became true before `limit`.
bool hostRun(MainLoop& loop, const std::function<bool()>& done, std::chrono::seconds limit,
             int* wakeUps = nullptr) {
  const int fd = loop.backendDescriptor();
  const auto deadline = Clock::now() + limit;
  while (!done() && Clock::now() < deadline) {
    pollfd entry{fd, POLLIN, 0};
    int timeout = loop.timeoutMilliseconds();
    if (timeout < 0 || timeout > 200) timeout = 200;
    ::poll(&entry, 1, timeout);
    loop.runOnce();
    if (wakeUps) ++*wakeUps;
  }
  return done();
}

// A blocking client: connects, sends `text`, reads one line back.
std::string sendLine(const std::string& path, const std::string& text) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return "<connect failed>";
  }
  (void)::write(fd, text.data(), text.size());
  std::string reply;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') reply += c;
  ::close(fd);
  return reply;
}

TEST(HostedLoopTest, TimersPostsAndSocketIOAllRunUnderAHostLoopThatSleepsBetweenThem) {
  MainLoop loop;
  glimmet::testing::TempDir dir;
  const std::string path = dir.file("lines.sock");
  SocketServer server(loop, path, [](std::string line, SocketConnection connection) {
    connection.send("echo:" + line + "\n");
  });
  ASSERT_TRUE(server.start().ok());

  bool timerFired = false;
  const auto start = Clock::now();
  double timerAfterMs = 0;
  WorkItem timer = loop.schedule(Seconds(0.15), [&] {
    timerFired = true;
    timerAfterMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  });
  std::atomic<bool> posted{false};
  bool postedOnLoopThread = false;
  std::string reply;
  std::thread client([&] {
    loop.post([&] {
      postedOnLoopThread = loop.isLoopThread();
      posted = true;
    });
    reply = sendLine(path, "hello\n");
  });
  int wakeUps = 0;
  EXPECT_TRUE(hostRun(
      loop, [&] { return timerFired && posted && !reply.empty(); }, std::chrono::seconds(10),
      &wakeUps));
  client.join();
  EXPECT_EQ(reply, "echo:hello");
  EXPECT_TRUE(postedOnLoopThread);
  // Not before its time, and the host slept instead of spinning until then.
  EXPECT_GE(timerAfterMs, 149.0);
  EXPECT_LT(wakeUps, 50);

  // Nothing scheduled: the host may sleep as long as it likes.
  timer.cancel();
  loop.runOnce();
  WorkItem later = loop.schedule(Seconds(30), [] {});
  const int timeout = loop.timeoutMilliseconds();
  EXPECT_GT(timeout, 25000);
  EXPECT_LE(timeout, 30000);
}

TEST(HostedLoopTest, EveryHandleIsReleasedWhenItsOwnerGoes) {
  MainLoop loop;
  glimmet::testing::TempDir dir;
  const std::string path = dir.file("handles.sock");
  {
    SocketServer server(loop, path, [](std::string, SocketConnection) {});
    ASSERT_TRUE(server.start().ok());
    auto watcher = FileWatcher::watch(loop, dir.path(), [](FileEventKind) {});
    ASSERT_TRUE(watcher.ok());
    SignalWatcher signals(loop, [] {});
    ProcessExitWatcher exitWatcher(loop, static_cast<int>(::getpid()), [] {});
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ConsoleInput input(loop, pipeEnds[0], [](const std::string&) {});
    WorkItem timer = loop.schedule(Seconds(60), [] {});
    // A connected client makes one more poll handle on the server side.
    int clientFD = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::connect(clientFD, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    loop.runUntil([&] { return server.connectionCount() == 1; }, Seconds(5));
    EXPECT_GE(loop.openHandleCount(), 7u);
    ::close(clientFD);
    ::close(pipeEnds[1]);
  }
  // Console input opened the pipe through libuv, which closes the read end with the handle.
  EXPECT_EQ(loop.openHandleCount(), 0u);
  // A watcher that cannot start leaves nothing behind either.
  EXPECT_FALSE(FileWatcher::watch(loop, dir.file("missing/deeper"), [](FileEventKind) {}).ok());
  SocketServer refused(loop, dir.file("no-such-dir-file") + "/x/" + std::string(200, 'x'),
                       [](std::string, SocketConnection) {});
  EXPECT_FALSE(refused.start().ok());
  EXPECT_EQ(loop.openHandleCount(), 0u);
}

}  // namespace
}  // namespace glimmet
