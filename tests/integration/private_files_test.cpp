// What Glimmet writes names the user's prompts and commands: the real program and the real
// bridges, run under the umasks users actually have, leave nothing readable by other accounts.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "approvals/socket_frame_codec.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

constexpr double kPrivateFilesDeadlineSeconds = 30;

std::optional<unsigned> modeOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return info.st_mode & 07777;
}

size_t overlappingOccurrences(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
    ++count;
  }
  return count;
}

const passwd* nobodyForRoot() {
  return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
}

class PrivateFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(home()); }

  std::string home() const { return dir_.file("home"); }
  std::string glimmetHome() const { return home() + "/.glimmet"; }
  std::string appSupport() const { return home() + "/.local/share/Glimmet"; }
  std::string eventFile() const { return appSupport() + "/events.jsonl"; }
  std::string errorLog() const { return appSupport() + "/hook-errors.log"; }

  // A user's session: only HOME, so every folder is the default one under it.
  std::vector<std::string> environment() const {
    return {"HOME=" + home(), "PATH=" + std::string(std::getenv("PATH"))};
  }

  // `argv` started under `umask`, the way a login shell would.
  ChildProcess start(const std::string& umask, std::vector<std::string> argv,
                     std::string_view input = {}, bool keepInputOpen = false) const {
    argv.insert(argv.begin(), {"/bin/sh", "-c", "umask \"$0\" && exec \"$@\"", umask});
    return ChildProcess::spawn(argv, environment(), input, keepInputOpen);
  }
  ChildProcess run(const std::string& umask, std::vector<std::string> argv,
                   std::string_view input = {}) const {
    auto child = start(umask, std::move(argv), input);
    EXPECT_TRUE(child.waitExit(kPrivateFilesDeadlineSeconds)) << child.output();
    return child;
  }

  // The command Claude Code runs for a prompt, as the install wrote it.
  std::string promptHookCommand() const {
    const auto settings = nlohmann::json::parse(readText(home() + "/.claude/settings.json"));
    return settings["hooks"]["UserPromptSubmit"][0]["hooks"][0]["command"].get<std::string>();
  }

  // One prompt through the installed bridge, as Claude Code sends it.
  void sendPromptEvent(const std::string& umask) const {
    auto bridge = run(umask, {"/bin/sh", "-c", promptHookCommand()},
                      readText(fixturePath("agents/claude-code-2.1.328-interactive/"
                                           "UserPromptSubmit.json")));
    EXPECT_EQ(bridge.exitCode(), 0) << bridge.output();
  }

  TempDir dir_;
};

TEST_F(PrivateFilesTest, FreshHomeIsPrivateUnderEitherUmask) {
  for (const std::string umask : {"0022", "0002"}) {
    SCOPED_TRACE("umask " + umask);
    std::filesystem::remove_all(home());
    std::filesystem::create_directories(home());

    auto install = run(umask, {GLIMMET_BINARY, "install", "claude-code"});
    ASSERT_EQ(install.exitCode(), 0) << install.output();
    sendPromptEvent(umask);
    ASSERT_NE(readText(eventFile()).find("UserPromptSubmit"), std::string::npos);
    // A bridge given a number that is not one records that in the error log.
    auto mistaken =
        run(umask, {glimmetHome() + "/bin/glimmet-event", "--input-tokens", "not-a-number"});
    EXPECT_EQ(mistaken.exitCode(), 0) << mistaken.output();

    // One approval that times out writes the audit log.
    auto glimmet = start(umask, {GLIMMET_BINARY, "run"}, {}, true);
    ASSERT_TRUE(glimmet.waitForOutput("socket server listening", kPrivateFilesDeadlineSeconds))
        << glimmet.output();
    HookRequest request;
    request.requestID = "r1";
    request.agent = "claude_code";
    request.sessionID = "s1";
    request.agentPID = ::getpid();
    request.kind = "permission_request";
    request.timeoutSeconds = 1;
    request.payload.tool = "Bash";
    request.payload.command = "ls";
    auto client =
        ChildProcess::spawn({"python3", hookClientScript(), glimmetHome() + "/glimmet.sock"}, {},
                            SocketFrameCodec::encode(request));
    EXPECT_TRUE(client.waitExit(kPrivateFilesDeadlineSeconds)) << client.output();
    EXPECT_NE(client.output().find("timed_out"), std::string::npos) << client.output();
    glimmet.signal(SIGTERM);
    ASSERT_TRUE(glimmet.waitExit(kPrivateFilesDeadlineSeconds)) << glimmet.output();
    ASSERT_NE(readText(glimmetHome() + "/audit.jsonl").find("\"r1\""), std::string::npos);

    EXPECT_EQ(modeOf(glimmetHome()), 0700u);
    EXPECT_EQ(modeOf(glimmetHome() + "/bin"), 0700u);
    EXPECT_EQ(modeOf(glimmetHome() + "/config"), 0700u);
    EXPECT_EQ(modeOf(glimmetHome() + "/audit.jsonl"), 0600u);
    EXPECT_EQ(modeOf(appSupport()), 0700u);
    EXPECT_EQ(modeOf(eventFile()), 0600u);
    EXPECT_EQ(modeOf(errorLog()), 0600u);
    EXPECT_NE(readText(errorLog()), "");
    // The bridges themselves stay runnable.
    EXPECT_EQ(modeOf(glimmetHome() + "/bin/glimmet-event"), 0755u);
    // Nothing needed tightening in a home this version made.
    EXPECT_EQ(glimmet.output().find("made private"), std::string::npos) << glimmet.output();
  }
}

TEST_F(PrivateFilesTest, StartUpTightensWideModesOnceWithOneLine) {
  std::filesystem::create_directories(glimmetHome());
  std::filesystem::create_directories(appSupport());
  writeText(glimmetHome() + "/audit.jsonl", "");
  writeText(eventFile(), "");
  writeText(errorLog(), "old\n");
  // A link in the folder points at a file Glimmet does not own: it is never changed through it.
  const std::string elsewhere = dir_.file("elsewhere.txt");
  writeText(elsewhere, "shared on purpose");
  std::filesystem::create_symlink(elsewhere, appSupport() + "/audit.jsonl");
  for (const auto& [path, mode] :
       std::vector<std::pair<std::string, unsigned>>{{glimmetHome(), 0755},
                                                     {glimmetHome() + "/audit.jsonl", 0644},
                                                     {appSupport(), 0750},
                                                     {eventFile(), 0664},
                                                     {errorLog(), 0644},
                                                     {elsewhere, 0644}}) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
  }

  auto first = start("0022", {GLIMMET_BINARY, "run"}, {}, true);
  ASSERT_TRUE(first.waitForOutput("socket server listening", kPrivateFilesDeadlineSeconds))
      << first.output();
  ASSERT_TRUE(first.waitForOutput("made private", kPrivateFilesDeadlineSeconds)) << first.output();
  first.signal(SIGTERM);
  ASSERT_TRUE(first.waitExit(kPrivateFilesDeadlineSeconds));
  EXPECT_EQ(overlappingOccurrences(first.output(), "made private"), 1u) << first.output();
  for (const auto& path :
       {glimmetHome(), glimmetHome() + "/audit.jsonl", appSupport(), eventFile(), errorLog()}) {
    EXPECT_NE(first.output().find(path), std::string::npos) << path << "\n" << first.output();
  }
  EXPECT_EQ(modeOf(glimmetHome()), 0700u);
  EXPECT_EQ(modeOf(glimmetHome() + "/audit.jsonl"), 0600u);
  EXPECT_EQ(modeOf(appSupport()), 0700u);
  EXPECT_EQ(modeOf(eventFile()), 0600u);
  EXPECT_EQ(modeOf(errorLog()), 0600u);
  EXPECT_EQ(modeOf(elsewhere), 0644u);
  EXPECT_EQ(readText(errorLog()), "old\n");

  auto second = start("0022", {GLIMMET_BINARY, "run"}, {}, true);
  ASSERT_TRUE(second.waitForOutput("socket server listening", kPrivateFilesDeadlineSeconds))
      << second.output();
  second.signal(SIGTERM);
  ASSERT_TRUE(second.waitExit(kPrivateFilesDeadlineSeconds));
  EXPECT_EQ(second.output().find("made private"), std::string::npos) << second.output();
}

TEST_F(PrivateFilesTest, EventFileLinkedToAnotherFileIsNotWritten) {
  ASSERT_EQ(run("0022", {GLIMMET_BINARY, "install", "claude-code"}).exitCode(), 0);
  std::filesystem::create_directories(appSupport());
  const std::string theirs = dir_.file("theirs.jsonl");
  writeText(theirs, "their own line\n");
  ASSERT_EQ(::chmod(theirs.c_str(), 0666), 0);
  if (const passwd* nobody = nobodyForRoot()) {
    ASSERT_EQ(::chown(theirs.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  std::filesystem::create_symlink(theirs, eventFile());

  sendPromptEvent("0022");
  EXPECT_EQ(readText(theirs), "their own line\n");
  const auto errors = splitLines(readText(errorLog()));
  ASSERT_EQ(errors.size(), 1u) << readText(errorLog());
  EXPECT_NE(errors[0].find(eventFile() + " is a symbolic link; nothing written"), std::string::npos)
      << errors[0];

  // A plain file that belongs to someone else is left alone too (only root can make one here).
  const passwd* nobody = nobodyForRoot();
  if (!nobody) GTEST_SKIP() << "needs root to give the event file to nobody";
  std::filesystem::remove(eventFile());
  std::filesystem::remove(errorLog());
  writeText(eventFile(), "");
  ASSERT_EQ(::chown(eventFile().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  sendPromptEvent("0022");
  EXPECT_EQ(readText(eventFile()), "");
  const auto ownerErrors = splitLines(readText(errorLog()));
  ASSERT_EQ(ownerErrors.size(), 1u) << readText(errorLog());
  EXPECT_NE(ownerErrors[0].find(eventFile() + " belongs to another user; nothing written"),
            std::string::npos)
      << ownerErrors[0];
}

TEST_F(PrivateFilesTest, InstallRefusesAGlimmetHomeOfAnotherUser) {
  const passwd* nobody = nobodyForRoot();
  if (!nobody) GTEST_SKIP() << "needs root to give the folder to nobody";
  std::filesystem::create_directories(glimmetHome());
  ASSERT_EQ(::chmod(glimmetHome().c_str(), 0700), 0);
  ASSERT_EQ(::chown(glimmetHome().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  auto install = run("0022", {GLIMMET_BINARY, "install", "claude-code"});
  EXPECT_NE(install.exitCode(), 0);
  EXPECT_NE(install.output().find("Refusing to install: the Glimmet home " + glimmetHome() +
                                  " belongs to another user"),
            std::string::npos)
      << install.output();
  EXPECT_EQ(overlappingOccurrences(install.output(), "\n"), 1u) << install.output();
  EXPECT_TRUE(std::filesystem::is_empty(glimmetHome()));
  EXPECT_FALSE(std::filesystem::exists(home() + "/.claude/settings.json"));
}

}  // namespace
}  // namespace glimmet::testing
