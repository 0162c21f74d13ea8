// `glimmet update download` and `glimmet update install` end to end: the real program against
// a real HTTP server on 127.0.0.1, a real release archive, and the detached install script
// replacing a program tree.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "updates/feed_server.hpp"
#include "updates/update_verify.hpp"

namespace glimmet::testing {
namespace {

const std::string kVersion = "99.0.0";

bool waitFor(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

using testing::sortedEntries;

// A program tree as a release ships it: bin/glimmet and share/VERSION.
void writeProgramTree(const std::string& root, const std::string& version) {
  ASSERT_TRUE(createDirectories(root + "/bin"));
  ASSERT_TRUE(createDirectories(root + "/share"));
  writeText(root + "/bin/glimmet", "#!/bin/sh\necho " + version + "\n");
  ASSERT_TRUE(setFileMode(root + "/bin/glimmet", 0755));
  writeText(root + "/share/VERSION", version);
}

class UpdateCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeProgramTree(dir_.file("pack/glimmet-" + kVersion), kVersion);
    auto tar = runToCompletion(
        {"tar", "-czf", server_.root() + "/release.tar.gz", "-C", dir_.file("pack"), "."}, {});
    ASSERT_EQ(tar.exitCode(), 0) << tar.output();
    release_ = readText(server_.root() + "/release.tar.gz");
    sha256_ = sha256HexOfFile(server_.root() + "/release.tar.gz").value();
    writeProgramTree(target(), "1.0");
  }

  // A manifest offering kVersion as the Linux artifact at `path` with `sha256`; `policy` is
  // the manifest's policy object.
  void publish(const std::string& path, const std::string& sha256,
               const std::string& policy = R"({"allowTestInstall": true})") const {
    server_.put("version.json", R"({"schemaVersion": 1, "latestVersion": ")" + kVersion +
                                    R"(", "linux": {"kind": "tar.gz", "url": ")" +
                                    server_.url(path) + R"(", "sha256": ")" + sha256 +
                                    R"(", "sizeBytes": )" + std::to_string(release_.size()) +
                                    R"(}, "policy": )" + policy + "}");
  }

  struct Run {
    int exitCode;
    std::string output;
  };
  Run run(const std::string& subcommand, const std::vector<std::string>& extra = {}) const {
    auto environment = isolatedEnvironment(dir_.path(), dir_.file("events.jsonl"));
    environment.push_back("GLIMMET_DISABLE_DEFAULT_UPDATE_FEED=1");
    environment.push_back("GLIMMET_UPDATE_MANIFEST_URL=" + server_.url("/version.json"));
    environment.push_back("TMPDIR=" + dir_.path());
    environment.insert(environment.end(), extra.begin(), extra.end());
    auto child = runToCompletion({GLIMMET_BINARY, "update", subcommand}, environment);
    return {child.exitCode(), child.output()};
  }
  Run install() const {
    return run("install", {"GLIMMET_UPDATE_TARGET=" + target(), "GLIMMET_UPDATE_RELAUNCH=0"});
  }

  std::string updates() const { return dir_.file("data/Glimmet/Updates"); }
  std::string cached() const { return updates() + "/Glimmet-" + kVersion + ".tar.gz"; }
  std::string target() const { return dir_.file("apps/glimmet"); }

  // The install log the command names, once the detached script has finished with it.
  std::string finishedLog(const std::string& output) const {
    std::smatch match;
    static const std::regex logLine("\n  Log: ([^\n]+)\n");
    EXPECT_TRUE(std::regex_search(output, match, logLine)) << output;
    if (match.size() < 2) return {};
    const std::string log = match[1].str();
    EXPECT_TRUE(waitFor(
        [&] {
          return fileExists(log) &&
                 readText(log).find("installed update; relaunch skipped") != std::string::npos;
        },
        30))
        << (fileExists(log) ? readText(log) : "no log at " + log);
    return fileExists(log) ? readText(log) : std::string();
  }

  TempDir dir_;
  FeedServer server_;
  std::string release_;
  std::string sha256_;
};

TEST_F(UpdateCommandTest, DownloadLeavesOnlyAVerifiedArtifactInTheUpdatesFolder) {
  publish("/release.tar.gz", sha256_);
  const auto downloaded = run("download");
  ASSERT_EQ(downloaded.exitCode, 0) << downloaded.output;
  EXPECT_EQ(readText(cached()), release_);
  EXPECT_EQ(sortedEntries(updates()), std::vector<std::string>{"Glimmet-" + kVersion + ".tar.gz"})
      << "no download or staging file is left behind";
  // The folders name what the user downloads: theirs alone, whatever the umask.
  struct stat info {};
  for (const auto& folder : {updates(), dir_.file("data/Glimmet")}) {
    ASSERT_EQ(::stat(folder.c_str(), &info), 0) << folder;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
  }
  EXPECT_NE(downloaded.output.find("Update v" + kVersion +
                                   " available\n"
                                   "Downloading update v" +
                                   kVersion + "...\n"),
            std::string::npos)
      << downloaded.output;
  EXPECT_NE(downloaded.output.find("  Downloaded 100%"), std::string::npos)
      << "without a terminal progress comes as plain lines\n"
      << downloaded.output;
  EXPECT_EQ(downloaded.output.find('\r'), std::string::npos) << "no bar redrawn in place";
  EXPECT_NE(downloaded.output.find("Update v" + kVersion +
                                   " is ready to install. Restart to update.\n"
                                   "  Ready: Restart to install v" +
                                   kVersion +
                                   "\n"
                                   "  File: " +
                                   cached() + "\n"),
            std::string::npos)
      << downloaded.output;

  // A different artifact under a wrong checksum never replaces the good one.
  server_.put("tampered.tar.gz", release_ + "tampered");
  publish("/tampered.tar.gz", sha256_);
  const auto mismatch = run("download");
  EXPECT_EQ(mismatch.exitCode, 1) << mismatch.output;
  EXPECT_NE(mismatch.output.find("Downloaded update failed checksum verification.\n"
                                 "  Error: Downloaded update failed checksum verification.\n"),
            std::string::npos)
      << mismatch.output;
  EXPECT_EQ(readText(cached()), release_) << "the earlier cached artifact is byte-identical";
  EXPECT_EQ(sortedEntries(updates()).size(), 1u);

  publish("/missing.tar.gz", sha256_);
  const auto missing = run("download");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(
      missing.output.find("Could not download update artifact: Update server returned HTTP 404\n"),
      std::string::npos)
      << missing.output;
  EXPECT_EQ(readText(cached()), release_);

  // Verified, then refused: a stable release must be signed to install.
  publish("/release.tar.gz", sha256_, R"({"channel": "stable"})");
  const auto unsigned_ = run("download");
  EXPECT_EQ(unsigned_.exitCode, 1);
  EXPECT_NE(unsigned_.output.find("This update is not signed for production install.\n"),
            std::string::npos)
      << unsigned_.output;

  // Nothing newer: nothing to download, and that is no failure.
  server_.put("version.json", R"({"latestVersion": "0.0.1"})");
  const auto current = run("download");
  EXPECT_EQ(current.exitCode, 0) << current.output;
  EXPECT_NE(current.output.find("Glimmet is already up to date\n"), std::string::npos);
}

TEST_F(UpdateCommandTest, InstallReplacesTheTargetTreeAfterTheCommandExits) {
  publish("/release.tar.gz", sha256_);
  const auto installed = install();
  ASSERT_EQ(installed.exitCode, 0) << installed.output;
  EXPECT_NE(installed.output.find("Restarting to install v" + kVersion + "...\n"),
            std::string::npos)
      << installed.output;
  const std::string log = finishedLog(installed.output);
  EXPECT_NE(log.find("replacing " + target()), std::string::npos) << log;
  EXPECT_EQ(readText(target() + "/share/VERSION"), kVersion);
  EXPECT_EQ(readText(target() + "/bin/glimmet"), "#!/bin/sh\necho " + kVersion + "\n");
  EXPECT_EQ(sortedEntries(dir_.file("apps")), std::vector<std::string>{"glimmet"})
      << "no backup left beside the program";
}

TEST_F(UpdateCommandTest, InstallUsesAVerifiedCachedArtifactAndRefetchesABadOne) {
  publish("/release.tar.gz", sha256_);
  ASSERT_EQ(run("download").exitCode, 0);

  // The server no longer has the release: the cached copy is what gets installed.
  ASSERT_TRUE(removeFile(server_.root() + "/release.tar.gz"));
  const auto fromCache = install();
  ASSERT_EQ(fromCache.exitCode, 0) << fromCache.output;
  EXPECT_EQ(fromCache.output.find("Downloaded 100%"), std::string::npos)
      << "nothing was transferred\n"
      << fromCache.output;
  finishedLog(fromCache.output);
  EXPECT_EQ(readText(target() + "/share/VERSION"), kVersion);

  // A cached file that no longer matches is fetched again, and without the server that fails
  // before anything is replaced.
  writeProgramTree(target(), "1.0");
  writeText(cached(), "corrupted");
  const auto corrupted = install();
  EXPECT_EQ(corrupted.exitCode, 1) << corrupted.output;
  EXPECT_NE(corrupted.output.find("Update server returned HTTP 404"), std::string::npos)
      << corrupted.output;
  EXPECT_EQ(corrupted.output.find("Restarting"), std::string::npos);
  EXPECT_EQ(readText(target() + "/share/VERSION"), "1.0");

  writeText(server_.root() + "/release.tar.gz", release_);
  const auto refetched = install();
  ASSERT_EQ(refetched.exitCode, 0) << refetched.output;
  EXPECT_NE(refetched.output.find("Downloaded 100%"), std::string::npos) << refetched.output;
  finishedLog(refetched.output);
  EXPECT_EQ(readText(cached()), release_);
  EXPECT_EQ(readText(target() + "/share/VERSION"), kVersion);
}

TEST_F(UpdateCommandTest, InstallRefusesAProgramOutsideAnInstalledTree) {
  publish("/release.tar.gz", sha256_);
  // The test program runs from the build tree, which is no installed program folder.
  const auto fromBuild = run("install", {"GLIMMET_UPDATE_RELAUNCH=0"});
  EXPECT_EQ(fromBuild.exitCode, 1) << fromBuild.output;
  const std::string buildFolder =
      std::string(GLIMMET_BINARY).substr(0, std::string(GLIMMET_BINARY).rfind('/'));
  EXPECT_NE(fromBuild.output.find("Update install failed: Current app bundle is not replaceable: " +
                                  buildFolder + "\n"),
            std::string::npos)
      << fromBuild.output;

  const auto notATree = run("install", {"GLIMMET_UPDATE_TARGET=" + dir_.file("pack")});
  EXPECT_EQ(notATree.exitCode, 1);
  EXPECT_NE(notATree.output.find("Current app bundle is not replaceable: " + dir_.file("pack")),
            std::string::npos)
      << notATree.output;
  EXPECT_EQ(readText(target() + "/share/VERSION"), "1.0");
  // No script was left waiting to run.
  for (const auto& name : sortedEntries(updates())) {
    EXPECT_EQ(name.find("install-"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace glimmet::testing
