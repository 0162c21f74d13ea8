// Desktop notifications of `glimmet run` on a private session bus: a real dbus-daemon, dunst as
// the notification server on its own Xvfb, dbus-monitor recording the calls, the real socket
// and a hook client waiting for its reply.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "approvals/socket_frame_codec.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "support/xvfb.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::onPath;
using testing::splitLines;
using testing::TempDir;
using testing::writeText;

constexpr double kNotificationDeadlineSeconds = 30;

std::string permissionRequest(const std::string& id, const std::string& command) {
  HookRequest request;
  request.requestID = id;
  request.agent = "claude_code";
  request.sessionID = "s-" + id;
  request.agentPID = ::getpid();
  request.kind = "permission_request";
  request.timeoutSeconds = 120;
  request.payload.tool = "Bash";
  request.payload.command = command;
  request.payload.cwd = "/tmp/project";
  return SocketFrameCodec::encode(request);
}

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// The string arguments of the `nth` (0-based) call of `member` that dbus-monitor printed, in
// order: the lines below its header up to the next message.
std::vector<std::string> stringArguments(const std::string& monitorOutput,
                                         const std::string& member, size_t nth) {
  std::vector<std::string> strings;
  size_t seen = 0;
  bool inside = false;
  for (const auto& line : splitLines(monitorOutput)) {
    if (!line.empty() && line[0] != ' ') {
      inside = line.find("member=" + member) != std::string::npos && seen++ == nth;
      continue;
    }
    const auto start = line.find("string \"");
    if (inside && start != std::string::npos) {
      const auto text = line.substr(start + 8);
      strings.push_back(text.substr(0, text.rfind('"')));
    }
  }
  return strings;
}

class DesktopNotificationsRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"dbus-daemon", "dbus-monitor", "dunst", "dunstctl", "Xvfb"}) {
      if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
    }
    ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  }

  // `withDisplay` false for Glimmet itself: on a display `glimmet run` is the overlay, and
  // these tests answer in its console.
  std::vector<std::string> environment(bool withDisplay = true) const {
    std::vector<std::string> env = {"HOME=" + home, "PATH=" + std::string(std::getenv("PATH"))};
    if (!busAddress.empty()) env.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress);
    if (withDisplay && !display.empty()) env.push_back("DISPLAY=" + display);
    return env;
  }

  // A session bus of our own, as dbus-run-session would start it, with dunst serving
  // notifications on its own X server; its context menu picks the action labelled `pick`.
  void startDesktop(const std::string& pick) {
    // Started only once it answers: dunst gives up at once on a display it cannot open.
    xvfb = std::make_unique<testing::Xvfb>();
    display = xvfb->display();

    // The session bus's own rules without its service directories, so that no notification
    // server of this machine is started behind the test's back.
    writeText(dir.file("bus.conf"),
              "<busconfig><type>session</type><listen>unix:tmpdir=" + dir.path() +
                  "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                  "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
    bus = ChildProcess::spawn(
        {"dbus-daemon", "--config-file=" + dir.file("bus.conf"), "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.waitUntil([&] { return bus.output().find('\n') != std::string::npos; },
                              kNotificationDeadlineSeconds));
    busAddress = bus.output().substr(0, bus.output().find('\n'));

    // dunst hands its context menu to this "dmenu", which chooses one line.
    const std::string picker = dir.file("pick.sh");
    writeText(picker, "#!/bin/sh\ngrep -m1 '^#" + pick + " '\n");
    ::chmod(picker.c_str(), 0700);
    writeText(dir.file("dunstrc"), "[global]\ndmenu = " + picker + "\n");
    startServer();

    monitor = ChildProcess::spawn(
        {"dbus-monitor", "--address", busAddress, "interface='org.freedesktop.Notifications'"});
    // Its own name is lost the moment it turns into a monitor.
    ASSERT_TRUE(monitor.waitForOutput("member=NameLost", kNotificationDeadlineSeconds))
        << monitor.output();
  }

  void startServer() {
    dunst = ChildProcess::spawn({"dunst", "-config", dir.file("dunstrc")}, environment());
    ASSERT_TRUE(waitForServer()) << dunst.output();
  }

  bool waitForServer() {
    return dunst.waitUntil(
        [&] {
          auto answer = testing::runToCompletion(
              {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
               "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
               "string:org.freedesktop.Notifications"},
              environment());
          return answer.output().find("boolean true") != std::string::npos;
        },
        kNotificationDeadlineSeconds);
  }

  ChildProcess startGlimmet() {
    auto child = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment(false), {},
                                     /*keepInputOpen=*/true);
    EXPECT_TRUE(child.waitForOutput("[Glimmet] socket server listening at " + socket(),
                                    kNotificationDeadlineSeconds))
        << child.output();
    return child;
  }

  std::string socket() const { return home + "/.glimmet/glimmet.sock"; }

  ChildProcess client(const std::string& request) {
    return ChildProcess::spawn(
        {"python3", testing::hookClientScript(), socket(), "--timeout", "25"}, {}, request);
  }

  static HookReply onlyReply(ChildProcess& finished) {
    EXPECT_TRUE(finished.waitExit(kNotificationDeadlineSeconds));
    const auto lines = splitLines(finished.output());
    EXPECT_EQ(lines.size(), 2u) << finished.output();
    auto reply = decodeHookReply(lines.empty() ? "" : lines.front());
    EXPECT_TRUE(reply.ok()) << finished.output();
    return reply.ok() ? reply.value() : HookReply{};
  }

  bool waitForCalls(const std::string& member, size_t count) {
    return monitor.waitUntil(
        [&] { return occurrences(monitor.output(), "member=" + member + "\n") >= count; },
        kNotificationDeadlineSeconds);
  }

  TempDir dir;
  std::string home = dir.path() + "/home";
  std::string display;
  std::string busAddress;
  std::unique_ptr<testing::Xvfb> xvfb;
  ChildProcess bus;
  ChildProcess dunst;
  ChildProcess monitor;
};

TEST_F(DesktopNotificationsRunTest, ApproveButtonAnswersTheBridgeAndTheConsoleWithdraws) {
  startDesktop("Approve");
  auto glimmet = startGlimmet();

  auto approved = client(permissionRequest("req-approve", "rm -rf build"));
  ASSERT_TRUE(waitForCalls("Notify", 1)) << monitor.output() << glimmet.output();
  EXPECT_EQ(stringArguments(monitor.output(), "Notify", 0),
            (std::vector<std::string>{"Glimmet", "", "Approval needed", "Run: rm -rf build",
                                      "GMPermissionRequest.approve_once", "Approve",
                                      "GMPermissionRequest.approve_always", "Always",
                                      "GMPermissionRequest.deny", "Deny", "GMAction.jump", "Jump",
                                      "urgency", "category", "GMPermissionRequest", "resident"}))
      << monitor.output();

  // The user picks "Approve" in dunst's menu; dunst sends ActionInvoked to Glimmet.
  auto menu = testing::runToCompletion({"dunstctl", "context"}, environment());
  EXPECT_EQ(menu.exitCode(), 0) << menu.output();
  const auto reply = onlyReply(approved);
  EXPECT_EQ(reply.requestID, "req-approve");
  EXPECT_EQ(reply.decision, "allow");
  EXPECT_EQ(reply.mode, "once");
  ASSERT_TRUE(waitForCalls("CloseNotification", 1)) << monitor.output();

  // Decided in the console instead: the second notification is withdrawn.
  auto denied = client(permissionRequest("req-console", "make test"));
  ASSERT_TRUE(waitForCalls("Notify", 2)) << monitor.output();
  ASSERT_TRUE(
      glimmet.waitForOutput("[#2] Approval needed: Run: make test\n", kNotificationDeadlineSeconds))
      << glimmet.output();
  glimmet.write("deny 2\n");
  EXPECT_EQ(onlyReply(denied).decision, "deny");
  ASSERT_TRUE(waitForCalls("CloseNotification", 2)) << monitor.output();

  // A button of a notification whose request is already answered changes nothing.
  auto late = testing::runToCompletion(
      {"dbus-send", "--session", "--type=signal", "/org/freedesktop/Notifications",
       "org.freedesktop.Notifications.ActionInvoked", "uint32:1",
       "string:GMPermissionRequest.approve_always"},
      environment());
  EXPECT_EQ(late.exitCode(), 0) << late.output();
  EXPECT_TRUE(glimmet.waitForOutput(
      "[Glimmet] notification action GMPermissionRequest.approve_always ignored",
      kNotificationDeadlineSeconds))
      << glimmet.output();

  EXPECT_EQ(occurrences(monitor.output(), "member=Notify\n"), 2u) << monitor.output();
  glimmet.signal(SIGTERM);
  EXPECT_TRUE(glimmet.waitExit(kNotificationDeadlineSeconds)) << glimmet.output();
  EXPECT_EQ(glimmet.exitCode(), 0) << glimmet.output();
}

TEST_F(DesktopNotificationsRunTest,
       AServerOrBusThatVanishesIsLoggedAndTheNextServerGetsTheRequest) {
  startDesktop("Deny");
  auto glimmet = startGlimmet();
  ASSERT_TRUE(monitor.waitForOutput("member=GetCapabilities", kNotificationDeadlineSeconds))
      << monitor.output();

  dunst.signal(SIGKILL);
  ASSERT_TRUE(dunst.waitExit(kNotificationDeadlineSeconds));
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] the notification server went away\n",
                                    kNotificationDeadlineSeconds))
      << glimmet.output();
  auto request = client(permissionRequest("req-gone", "make clean"));
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] banner post failed: ", kNotificationDeadlineSeconds))
      << glimmet.output();

  // A new server appears: the waiting request is posted to it, and its Deny answers.
  startServer();
  ASSERT_TRUE(waitForCalls("Notify", 1)) << monitor.output() << glimmet.output();
  const auto arguments = stringArguments(monitor.output(), "Notify", 0);
  ASSERT_GT(arguments.size(), 3u) << monitor.output();
  EXPECT_EQ(arguments[3], "Run: make clean");
  auto menu = testing::runToCompletion({"dunstctl", "context"}, environment());
  EXPECT_EQ(menu.exitCode(), 0) << menu.output();
  EXPECT_EQ(onlyReply(request).decision, "deny");

  // The whole bus goes: logged, and Glimmet goes on answering in its console.
  bus.signal(SIGKILL);
  ASSERT_TRUE(glimmet.waitForOutput(
      "[Glimmet] desktop notifications unavailable: the session bus connection was lost",
      kNotificationDeadlineSeconds))
      << glimmet.output();
  auto afterBus = client(permissionRequest("req-nobus", "true"));
  ASSERT_TRUE(glimmet.waitForOutput("Approval needed: Run: true\n", kNotificationDeadlineSeconds))
      << glimmet.output();
  glimmet.write("allow 2\n");
  EXPECT_EQ(onlyReply(afterBus).decision, "allow");
  glimmet.signal(SIGTERM);
  EXPECT_TRUE(glimmet.waitExit(kNotificationDeadlineSeconds)) << glimmet.output();
  EXPECT_EQ(glimmet.exitCode(), 0) << glimmet.output();
}

TEST_F(DesktopNotificationsRunTest, WithoutSessionBusRequestsAreStillAnsweredInTheConsole) {
  // No DBUS_SESSION_BUS_ADDRESS and no XDG_RUNTIME_DIR: there is no bus to find.
  auto glimmet = startGlimmet();
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] desktop notifications unavailable: no session bus",
                                    kNotificationDeadlineSeconds))
      << glimmet.output();
  auto request = client(permissionRequest("req-nobus", "ls"));
  ASSERT_TRUE(
      glimmet.waitForOutput("[#1] Approval needed: Run: ls\n", kNotificationDeadlineSeconds))
      << glimmet.output();
  glimmet.write("allow 1\n");
  EXPECT_EQ(onlyReply(request).decision, "allow");
  glimmet.signal(SIGTERM);
  EXPECT_TRUE(glimmet.waitExit(kNotificationDeadlineSeconds)) << glimmet.output();
  EXPECT_EQ(glimmet.exitCode(), 0) << glimmet.output();
}

}  // namespace
}  // namespace glimmet
