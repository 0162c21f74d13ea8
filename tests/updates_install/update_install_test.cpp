#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/detached_process.hpp"
#include "platform/file_system.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "updates/update_install.hpp"
#include "updates/update_install_script.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::readText;
using testing::TempDir;
using testing::writeText;

using testing::sortedEntries;

bool waitFor(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// An installed program tree: bin/glimmet (a script that notes its start in `marker`) and a
// version file beside it.
void writeProgramTree(const std::string& root, const std::string& version,
                      const std::string& marker, unsigned programMode = 0755) {
  ASSERT_TRUE(createDirectories(root + "/bin"));
  ASSERT_TRUE(createDirectories(root + "/share"));
  writeText(root + "/bin/glimmet",
            "#!/bin/sh\necho '" + version + " started' >> '" + marker + "'\n");
  ASSERT_TRUE(setFileMode(root + "/bin/glimmet", programMode));
  writeText(root + "/share/VERSION", version);
}

// The messages of the install log, each line checked for its UTC time stamp.
std::vector<std::string> logMessages(const std::string& logFile) {
  static const std::regex line(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ (.*)$)");
  std::vector<std::string> messages;
  for (const auto& text : testing::splitLines(readText(logFile))) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(text, match, line)) << text;
    messages.push_back(match.size() > 1 ? match[1].str() : text);
  }
  return messages;
}

// A temp tree for one run of the install script: the installed program in apps/glimmet, the
// new release packed as release.tar.gz, a private TMPDIR and a copy of the script (which
// deletes itself).
class InstallScriptRun {
 public:
  InstallScriptRun() {
    for (const char* folder : {"apps", "tmp", "pack", "tools"}) {
      EXPECT_TRUE(createDirectories(dir_.file(folder)));
    }
    writeProgramTree(target(), "1.0", marker());
    writeText(script(), std::string(updateInstallScript()));
  }

  std::string target() const { return dir_.file("apps/glimmet"); }
  std::string marker() const { return dir_.file("started"); }
  std::string script() const { return dir_.file("install.sh"); }
  std::string log() const { return dir_.file("logs/install.log"); }
  std::string artifact() const { return dir_.file("release.tar.gz"); }
  std::string path(std::string_view name) const { return dir_.file(name); }

  // Packs pack/<relativeRoot> (a program tree of `version`) into release.tar.gz.
  void packRelease(const std::string& relativeRoot, const std::string& version,
                   unsigned programMode = 0755) {
    writeProgramTree(dir_.file("pack/" + relativeRoot), version, marker(), programMode);
    auto tar =
        testing::runToCompletion({"tar", "-czf", artifact(), "-C", dir_.file("pack"), "."}, {});
    ASSERT_EQ(tar.exitCode(), 0) << tar.output();
  }

  ChildProcess start(const std::string& pid, const std::string& relaunch,
                     const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<std::string> environment = {"PATH=/usr/bin:/bin", "TMPDIR=" + dir_.file("tmp"),
                                            "HOME=" + dir_.path()};
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    return ChildProcess::spawn(
        {"/bin/sh", script(), pid, artifact(), target(), log(), relaunch, ""}, environment);
  }

  int run(const std::string& relaunch, const std::vector<std::string>& extraEnvironment = {}) {
    auto child = start("0", relaunch, extraEnvironment);
    EXPECT_TRUE(child.waitExit(30));
    output_ = child.output();
    return child.exitCode();
  }
  const std::string& output() const { return output_; }

 private:
  TempDir dir_;
  std::string output_;
};

TEST(UpdateInstallScript, ReplacesTheProgramTreeOnceTheRunningProcessHasExited) {
  InstallScriptRun run;
  run.packRelease("release/glimmet-2.0", "2.0");
  auto running = ChildProcess::spawn({"sleep", "0.5"});
  const std::string pid = std::to_string(running.pid());

  const auto started = std::chrono::steady_clock::now();
  auto script = run.start(pid, "1");
  // The sleeper is this test's child: reaping it is what makes its pid disappear.
  ASSERT_TRUE(waitFor(
      [&] {
        running.exited();
        return script.exited();
      },
      30));
  const auto elapsed = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(script.exitCode(), 0) << script.output();
  EXPECT_GE(elapsed, std::chrono::milliseconds(400));

  EXPECT_EQ(readText(run.target() + "/share/VERSION"), "2.0");
  ASSERT_TRUE(waitFor([&] { return fileExists(run.marker()); }, 10));
  EXPECT_EQ(readText(run.marker()), "2.0 started\n");
  // No backup, no work folder, no script left behind.
  EXPECT_EQ(sortedEntries(run.path("apps")), std::vector<std::string>{"glimmet"});
  EXPECT_TRUE(sortedEntries(run.path("tmp")).empty());
  EXPECT_FALSE(fileExists(run.script()));

  const auto messages = logMessages(run.log());
  ASSERT_EQ(messages.size(), 5u) << readText(run.log());
  EXPECT_EQ(messages[0], "waiting for Glimmet pid " + pid);
  EXPECT_EQ(messages[1], "extracting " + run.artifact());
  EXPECT_EQ(messages[2].rfind("staging " + run.path("tmp") + "/glimmet-update.", 0), 0u);
  EXPECT_EQ(messages[2].substr(messages[2].size() - 28), "/extract/release/glimmet-2.0")
      << messages[2];
  EXPECT_EQ(messages[3], "replacing " + run.target());
  EXPECT_EQ(messages[4], "installed update; relaunching " + run.target());
}

TEST(UpdateInstallScript, FindsTheProgramAtMostFourFoldersDeep) {
  {
    InstallScriptRun run;
    run.packRelease("a/b/c/d", "4.0");
    ASSERT_EQ(run.run("0"), 0) << run.output();
    EXPECT_EQ(readText(run.target() + "/share/VERSION"), "4.0");
    EXPECT_EQ(logMessages(run.log()).back(), "installed update; relaunch skipped");
    EXPECT_FALSE(fileExists(run.marker()));
  }
  {
    InstallScriptRun run;
    run.packRelease("a/b/c/d/e", "5.0");
    EXPECT_EQ(run.run("0"), 1);
    EXPECT_EQ(readText(run.target() + "/share/VERSION"), "1.0");
    EXPECT_EQ(logMessages(run.log()),
              (std::vector<std::string>{"extracting " + run.artifact(),
                                        "Glimmet program not found in update artifact"}));
    EXPECT_TRUE(sortedEntries(run.path("tmp")).empty());
  }
}

TEST(UpdateInstallScript, FailedReplacementsKeepThePreviousProgram) {
  // The staged program cannot be moved into place (a mv that refuses it, so that this fails
  // for root too): the previous program is moved back from its backup.
  {
    InstallScriptRun run;
    run.packRelease("glimmet", "2.0");
    writeText(run.path("tools/mv"),
              "#!/bin/sh\ncase \"$1\" in */glimmet-update.*/Glimmet) exit 1 ;; esac\n"
              "exec /bin/mv \"$@\"\n");
    ASSERT_TRUE(setFileMode(run.path("tools/mv"), 0755));
    EXPECT_EQ(run.run("1", {"GLIMMET_UPDATE_MV=" + run.path("tools/mv")}), 1);
    EXPECT_EQ(readText(run.target() + "/share/VERSION"), "1.0");
    EXPECT_EQ(sortedEntries(run.path("apps")), std::vector<std::string>{"glimmet"});
    const auto messages = logMessages(run.log());
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "replacing " + run.target());
    EXPECT_EQ(messages.back(), "replacement failed, restoring previous app");
    EXPECT_FALSE(fileExists(run.marker()));
  }
  // A folder the user cannot write: the program is not even moved aside.
  if (::geteuid() != 0) {
    InstallScriptRun run;
    run.packRelease("glimmet", "2.0");
    ASSERT_TRUE(setFileMode(run.path("apps"), 0555));
    const int exitCode = run.run("1");
    ASSERT_TRUE(setFileMode(run.path("apps"), 0755));
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(readText(run.target() + "/share/VERSION"), "1.0");
    EXPECT_EQ(sortedEntries(run.path("apps")), std::vector<std::string>{"glimmet"});
    EXPECT_EQ(logMessages(run.log()).back(), "replacement failed, restoring previous app");
  }
  // An artifact of another kind, and a program without its executable bit.
  {
    InstallScriptRun run;
    ChildProcess child = ChildProcess::spawn(
        {"/bin/sh", run.script(), "0", run.path("Glimmet.exe"), run.target(), run.log()},
        {"PATH=/usr/bin:/bin", "TMPDIR=" + run.path("tmp")});
    ASSERT_TRUE(child.waitExit(30));
    EXPECT_EQ(child.exitCode(), 1);
    EXPECT_EQ(logMessages(run.log()),
              std::vector<std::string>{"unsupported update artifact: " + run.path("Glimmet.exe")});
  }
  {
    InstallScriptRun run;
    run.packRelease("glimmet", "2.0", 0644);
    EXPECT_EQ(run.run("0"), 1);
    EXPECT_EQ(logMessages(run.log()).back(), "staged app is missing executable");
    EXPECT_EQ(readText(run.target() + "/share/VERSION"), "1.0");
  }
  // Missing arguments stop the script before it touches anything.
  {
    InstallScriptRun run;
    auto child = ChildProcess::spawn({"/bin/sh", run.script(), "0", run.artifact()},
                                     {"PATH=/usr/bin:/bin", "TMPDIR=" + run.path("tmp")});
    ASSERT_TRUE(child.waitExit(30));
    EXPECT_NE(child.exitCode(), 0);
    EXPECT_NE(child.output().find("missing target app path"), std::string::npos) << child.output();
    EXPECT_FALSE(fileExists(run.log()));
  }
}

TEST(UpdateInstall, AdminAppleScriptKeepsEveryArgumentIntact) {
  const std::vector<std::string> arguments = {"/tmp/a b/install.sh", "it's", "say \"hi\"",
                                              "back\\slash"};
  EXPECT_EQ(adminAppleScript(arguments),
            R"(do shell script "'/tmp/a b/install.sh' 'it'\\''s' 'say \"hi\"' 'back\\slash')"
            R"( >/dev/null 2>&1 &" with administrator privileges)");

  // Undo the AppleScript escaping and run the command with sh: each argument arrives whole.
  const std::vector<std::string> printed = {
      "/usr/bin/printf", "[%s]",      "two words",   "it's",
      "\"quoted\"",      "a\\b\\\\c", "line\nbreak", "$HOME `x`"};
  const std::string script = adminAppleScript(printed);
  const std::string prefix = "do shell script \"";
  const std::string suffix = " >/dev/null 2>&1 &\" with administrator privileges";
  ASSERT_EQ(script.rfind(prefix, 0), 0u);
  ASSERT_EQ(script.substr(script.size() - suffix.size()), suffix);
  const std::string literal =
      script.substr(prefix.size(), script.size() - prefix.size() - suffix.size());
  std::string command;
  for (size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\\' && i + 1 < literal.size()) {
      ++i;
      command += literal[i] == 'n' ? '\n' : literal[i];
    } else {
      ASSERT_NE(literal[i], '"') << "an unescaped quote would end the AppleScript string";
      ASSERT_NE(literal[i], '\n');
      command += literal[i];
    }
  }
  auto shell = testing::runToCompletion({"/bin/sh", "-c", command}, {"PATH=/usr/bin:/bin"});
  EXPECT_EQ(shell.output(), "[two words][it's][\"quoted\"][a\\b\\\\c][line\nbreak][$HOME `x`]");
}

#ifndef __APPLE__
class UpdateInstaller : public ::testing::Test {
 protected:
  UpdateInstaller() {
    EXPECT_TRUE(createDirectories(dir_.file("apps")));
    writeProgramTree(dir_.file("apps/glimmet"), "1.0", dir_.file("started"));
    writeText(dir_.file("Glimmet-2.0.tar.gz"), "artifact");
    request_ = {dir_.file("Glimmet-2.0.tar.gz"), dir_.file("apps/glimmet"), "2.0", false};
    context_ = {dir_.file("Updates"), "someone"};
  }

  std::vector<std::string> scriptsIn(const std::string& directory) {
    std::vector<std::string> scripts;
    for (const auto& name : sortedEntries(directory)) {
      if (name.size() > 3 && name.substr(name.size() - 3) == ".sh") scripts.push_back(name);
    }
    return scripts;
  }

  TempDir dir_;
  PendingUpdateInstallRequest request_;
  UpdateInstallContext context_;
};

TEST_F(UpdateInstaller, StartsTheScriptWithItsArgumentsInOrder) {
  std::vector<std::string> launched;
  const auto log = installAndRelaunch(
      request_, 4242,
      [&](const std::vector<std::string>& argv) {
        launched = argv;
        return Status();
      },
      context_);
  ASSERT_TRUE(log) << log.error();
  ASSERT_EQ(launched.size(), 8u);
  EXPECT_EQ(launched[0], "/bin/sh");
  const std::string script = launched[1];
  const std::string stem = context_.updatesDirectory + "/install-";
  ASSERT_EQ(script.rfind(stem, 0), 0u);
  ASSERT_EQ(script.substr(script.size() - 3), ".sh");
  const std::string uuid = script.substr(stem.size(), script.size() - stem.size() - 3);
  EXPECT_TRUE(std::regex_match(
      uuid, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
      << uuid;
  EXPECT_EQ(launched[2], "4242");
  EXPECT_EQ(launched[3], request_.artifactPath);
  EXPECT_EQ(launched[4], request_.targetPath);
  EXPECT_EQ(launched[5], stem + uuid + ".log");
  EXPECT_EQ(log.value(), launched[5]);
  EXPECT_EQ(launched[6], "0");
  EXPECT_EQ(launched[7], "someone");
  EXPECT_EQ(fileMode(script), 0755u);
  EXPECT_EQ(readText(script), readText(std::string(GLIMMET_SOURCE_DIR) +
                                       "/src/updates/scripts/glimmet-update-install.sh"));

  request_.relaunchAfterInstall = true;
  ASSERT_TRUE(installAndRelaunch(
      request_, 1,
      [&](const std::vector<std::string>& argv) {
        launched = argv;
        return Status();
      },
      context_));
  EXPECT_EQ(launched[6], "1");
  EXPECT_NE(launched[1], script);
}

TEST_F(UpdateInstaller, RefusesWhatItCannotInstall) {
  int launches = 0;
  auto launcher = [&](const std::vector<std::string>&) {
    ++launches;
    return Status::failure("No such file or directory");
  };
  auto failureOf = [&](const PendingUpdateInstallRequest& request) {
    const auto result = installAndRelaunch(request, 1, launcher, context_);
    return result ? std::string("succeeded") : result.error();
  };

  auto request = request_;
  request.artifactPath = dir_.file("absent.tar.gz");
  EXPECT_EQ(failureOf(request), "Downloaded update artifact is missing at " + request.artifactPath);

  // A folder without bin/glimmet is not a program installation to be replaced wholesale.
  request = request_;
  request.targetPath = dir_.file("apps");
  EXPECT_EQ(failureOf(request), "Current app bundle is not replaceable: " + dir_.file("apps"));
  EXPECT_EQ(launches, 0);

  if (::geteuid() != 0) {
    ASSERT_TRUE(setFileMode(dir_.file("apps"), 0555));
    EXPECT_EQ(failureOf(request_), "Current app location is not writable: " + dir_.file("apps"));
    ASSERT_TRUE(setFileMode(dir_.file("apps"), 0755));
    EXPECT_EQ(launches, 0);
  }

  // A launch that fails takes its script with it.
  EXPECT_EQ(failureOf(request_), "Could not start updater: No such file or directory");
  EXPECT_EQ(launches, 1);
  EXPECT_TRUE(scriptsIn(context_.updatesDirectory).empty());
}

TEST_F(UpdateInstaller, DetachedScriptInstallsTheArtifact) {
  ASSERT_TRUE(createDirectories(dir_.file("pack/glimmet-2.0")));
  writeProgramTree(dir_.file("pack/glimmet-2.0"), "2.0", dir_.file("started"));
  auto tar = testing::runToCompletion(
      {"tar", "-czf", request_.artifactPath, "-C", dir_.file("pack"), "glimmet-2.0"}, {});
  ASSERT_EQ(tar.exitCode(), 0) << tar.output();

  const auto log = installAndRelaunch(request_, 0, spawnDetached, context_);
  ASSERT_TRUE(log) << log.error();
  ASSERT_TRUE(waitFor(
      [&] {
        return fileExists(log.value()) &&
               readText(log.value()).find("relaunch skipped") != std::string::npos;
      },
      30))
      << (fileExists(log.value()) ? readText(log.value()) : "no log");
  EXPECT_EQ(readText(dir_.file("apps/glimmet/share/VERSION")), "2.0");
  EXPECT_EQ(sortedEntries(dir_.file("apps")), std::vector<std::string>{"glimmet"});
  // The script removes itself on exit, a moment after its last log line.
  EXPECT_TRUE(waitFor([&] { return scriptsIn(context_.updatesDirectory).empty(); }, 10));
}

TEST(UpdateInstallTarget, IsTheFolderAboveBin) {
  EXPECT_EQ(installedProgramTarget("/opt/glimmet/bin/glimmet"), "/opt/glimmet");
  EXPECT_EQ(installedProgramTarget("/home/u/.local/glimmet-2/bin/glimmet"),
            "/home/u/.local/glimmet-2");
  EXPECT_EQ(installedProgramTarget("/home/u/src/glimmet/build/glimmet"), std::nullopt);
  EXPECT_EQ(installedProgramTarget("/bin/glimmet"), std::nullopt);

  const Environment environment({{"HOME", "/home/u"}, {"XDG_DATA_HOME", "/data/u"}});
  EXPECT_EQ(currentUpdateInstallContext(environment).updatesDirectory, "/data/u/Glimmet/Updates");
  EXPECT_FALSE(currentUpdateInstallContext(environment).loginName.empty());
}
#endif

}  // namespace
}  // namespace glimmet
