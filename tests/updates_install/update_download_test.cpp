#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/sha256.hpp"
#include "platform/file_system.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "updates/update_download.hpp"
#include "updates/update_verify.hpp"

namespace glimmet {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;

// Every entry of `directory`, hidden ones included, sorted.
using testing::sortedEntries;

// A body whose bytes differ from position to position, so that a lost or repeated chunk shows.
std::string patternedBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7919) & 0xFF);
  return bytes;
}

TEST(UpdateDownloadNames, HostileVersionsAndExtensionsGiveSafeFileNames) {
  EXPECT_EQ(sanitizedNameComponent("0.1/bad;evil", "update"), "0.1-bad-evil");
  EXPECT_EQ(sanitizedNameComponent("../../0.2 beta!!", "update"), "0.2-beta");
  EXPECT_EQ(sanitizedNameComponent("-._/._-", "update"), "update");
  EXPECT_EQ(sanitizedNameComponent("", "update"), "update");
  EXPECT_EQ(sanitizedNameComponent("1.2.3-rc_1", "update"), "1.2.3-rc_1");
  // Letters of other scripts stay; a Unicode slash look-alike does not.
  EXPECT_EQ(sanitizedNameComponent("版本2\u2215x", "update"), "版本2-x");
  EXPECT_EQ(sanitizedNameComponent("a\xff\xfe"
                                   "b",
                                   "update"),
            "a-b");

  EXPECT_EQ(safeArtifactExtension(" DMG "), "dmg");
  EXPECT_EQ(safeArtifactExtension("Zip"), "zip");
  EXPECT_EQ(safeArtifactExtension("sh"), "artifact");
  EXPECT_EQ(safeArtifactExtension("dmg/../x"), "artifact");
#ifndef __APPLE__
  EXPECT_EQ(safeArtifactExtension("tar.gz"), "tar.gz");
#endif

  EXPECT_EQ(artifactFileName("0.1/bad evil", "https://example.com/x/evil.SH?dmg"),
            "Glimmet-0.1-bad-evil.artifact");
  EXPECT_EQ(artifactFileName("0.1.1", "https://example.com/a.b/Glimmet.DMG#zip"),
            "Glimmet-0.1.1.dmg");
  EXPECT_EQ(artifactFileName("", "file:///tmp/no-extension"), "Glimmet-update.artifact");
#ifndef __APPLE__
  EXPECT_EQ(artifactFileName("2.0", "https://example.com/glimmet-linux.TAR.GZ?sig=1"),
            "Glimmet-2.0.tar.gz");
#endif
}

TEST(UpdateVerify, DigestsFilesAcrossChunkBoundaries) {
  TempDir dir;
  // Three whole 1 MiB chunks and a few bytes more: a dropped or repeated chunk changes the sum.
  const std::string bytes = patternedBytes((size_t{3} << 20) + 7);
  writeText(dir.file("big"), bytes);
  EXPECT_EQ(sha256HexOfFile(dir.file("big")), sha256Hex(bytes));
  writeText(dir.file("empty"), "");
  EXPECT_EQ(sha256HexOfFile(dir.file("empty")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256HexOfFile(dir.file("absent")), std::nullopt);
  EXPECT_EQ(sha256HexOfFile(dir.path()), std::nullopt);

  std::string upper = sha256Hex(bytes);
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  EXPECT_TRUE(verifyArtifactChecksum(dir.file("big"), upper));
  EXPECT_FALSE(verifyArtifactChecksum(dir.file("big"), sha256Hex("other")));
  EXPECT_FALSE(verifyArtifactChecksum(dir.file("absent"), sha256Hex("")));
}

TEST(UpdateDownloadStaging, LocalArtifactLandsOnlyWhenItsChecksumMatches) {
  TempDir dir;
  const std::string updates = dir.file("Updates");
  const std::string cached = updates + "/Glimmet-0.2.dmg";
  writeText(dir.file("new.dmg"), "new artifact bytes");
  const std::string good = sha256Hex("new artifact bytes");

  // A first download creates the folder.
  ASSERT_TRUE(stageVerifiedLocalArtifact(dir.file("new.dmg"), cached, good));
  EXPECT_EQ(readText(cached), "new artifact bytes");
  EXPECT_EQ(sortedEntries(updates), std::vector<std::string>{"Glimmet-0.2.dmg"});

  // A mismatch keeps the earlier artifact byte for byte and leaves no staging file.
  writeText(cached, "previous cached artifact");
  const Status mismatch = stageVerifiedLocalArtifact(dir.file("new.dmg"), cached, sha256Hex("x"));
  ASSERT_FALSE(mismatch);
  EXPECT_EQ(mismatch.error(), "Downloaded update failed checksum verification.");
  EXPECT_EQ(readText(cached), "previous cached artifact");
  EXPECT_EQ(sortedEntries(updates), std::vector<std::string>{"Glimmet-0.2.dmg"});

  // A source that cannot be read fails without touching it either.
  EXPECT_FALSE(stageVerifiedLocalArtifact(dir.file("absent.dmg"), cached, good));
  EXPECT_EQ(readText(cached), "previous cached artifact");
  EXPECT_EQ(sortedEntries(updates), std::vector<std::string>{"Glimmet-0.2.dmg"});

  // A matching one replaces it.
  ASSERT_TRUE(stageVerifiedLocalArtifact(dir.file("new.dmg"), cached, good));
  EXPECT_EQ(readText(cached), "new artifact bytes");
}

TEST(UpdateDownloadStaging, CopyReplacesOrLeavesTheDestinationWhole) {
  TempDir dir;
  const std::string to = dir.file("deep/er/copy.zip");
  writeText(dir.file("a.zip"), "first");
  ASSERT_TRUE(copyLocalArtifact(dir.file("a.zip"), to));
  EXPECT_EQ(readText(to), "first");
  writeText(dir.file("a.zip"), "second");
  ASSERT_TRUE(copyLocalArtifact(dir.file("a.zip"), to));
  EXPECT_EQ(readText(to), "second");
  EXPECT_FALSE(copyLocalArtifact(dir.file("absent.zip"), to));
  EXPECT_EQ(readText(to), "second");
  EXPECT_EQ(sortedEntries(dir.file("deep/er")), std::vector<std::string>{"copy.zip"});
}

TEST(UpdateDownloadFetch, FileURLsAreCopiedAndBadArtifactsExplained) {
  TempDir dir;
  const std::string updates = dir.file("Updates");
  writeText(dir.file("Glimmet 0.3.zip"), "zip bytes");
  UpdateDownloadRequest request{"0.3", "file://" + dir.path() + "/Glimmet%200.3.zip",
                                sha256Hex("zip bytes"), 9, " ZIP "};
  const auto fetched = fetchVerifiedArtifact(request, updates);
  ASSERT_TRUE(fetched) << fetched.error();
  EXPECT_EQ(fetched.value(), updates + "/Glimmet-0.3.zip");
  EXPECT_EQ(readText(fetched.value()), "zip bytes");

  auto failureOf = [&](const UpdateDownloadRequest& changed) {
    const auto result = fetchVerifiedArtifact(changed, updates);
    return result ? std::string("succeeded") : result.error();
  };
  auto changed = request;
  changed.sha256 = sha256Hex("something else");
  EXPECT_EQ(failureOf(changed), "Downloaded update failed checksum verification.");
  changed = request;
  changed.url = "file://" + dir.path() + "/absent.zip";
  EXPECT_EQ(failureOf(changed).rfind("Could not copy update artifact: ", 0), 0u);
  changed = request;
  changed.kind = "pkg";
  EXPECT_EQ(failureOf(changed), "Update v0.3 uses an unsupported artifact type.");
  changed = request;
  changed.url = "ftp://example.com/Glimmet.zip";
  EXPECT_EQ(failureOf(changed), "Update v0.3 has an unsupported artifact URL.");
  changed = request;
  changed.url = "not a url";
  EXPECT_EQ(failureOf(changed), "Update v0.3 has an invalid artifact URL.");
  EXPECT_EQ(readText(updates + "/Glimmet-0.3.zip"), "zip bytes");
}

// A Python HTTP server on 127.0.0.1 serving `body` and its misbehaving variants.
class ArtifactServer {
 public:
  explicit ArtifactServer(const std::string& bodyFile)
      : process_(testing::ChildProcess::spawn(
            {"python3",
             std::string(GLIMMET_SOURCE_DIR) + "/tests/updates_install/artifact_server.py",
             bodyFile})) {
    if (!process_.waitForOutput("\n", 10)) return;
    const std::string& line = process_.output();
    port_ = std::stoi(line.substr(line.find(' ') + 1));
  }
  std::string url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }
  int port() const { return port_; }

 private:
  testing::ChildProcess process_;
  int port_ = 0;
};

TEST(UpdateDownloadRemote, ServerFailuresNeverTouchTheCachedArtifact) {
  TempDir dir;
  const std::string body = patternedBytes(300000);
  writeText(dir.file("body"), body);
  ArtifactServer server(dir.file("body"));
  ASSERT_NE(server.port(), 0);
  const std::string updates = dir.file("Updates");
  const std::string cached = updates + "/Glimmet-0.4.tar.gz";
  ASSERT_TRUE(createDirectories(updates));
  writeText(cached, "previous cached artifact");
  const std::vector<std::string> onlyCached = {"Glimmet-0.4.tar.gz"};

  UpdateDownloadRequest request{"0.4", server.url("/missing"), sha256Hex(body), body.size(),
                                "tar.gz"};
  const auto missing = downloadRemoteArtifact(request, updates);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), "Update server returned HTTP 404");
  const Status missingStaged = stageVerifiedRemoteArtifact(request, cached);
  ASSERT_FALSE(missingStaged);
  EXPECT_EQ(missingStaged.error(), "Update server returned HTTP 404");

  // The connection closes halfway through the announced length.
  request.url = server.url("/truncated");
  const Status truncated = stageVerifiedRemoteArtifact(request, cached);
  ASSERT_FALSE(truncated);
  EXPECT_FALSE(truncated.error().empty());

  // A body far beyond the announced size is cut off.
  request.url = server.url("/unannounced");
  request.sizeBytes = 1000;
  const Status oversized = stageVerifiedRemoteArtifact(request, cached);
  ASSERT_FALSE(oversized);
  EXPECT_NE(oversized.error().find("larger than"), std::string::npos) << oversized.error();

  // A redirect may not leave http and https.
  request.url = server.url("/to-file");
  request.sizeBytes = body.size();
  EXPECT_FALSE(stageVerifiedRemoteArtifact(request, cached));

  // Whole but wrong.
  request.url = server.url("/artifact/Glimmet.tar.gz");
  request.sha256 = sha256Hex("not the body");
  const Status mismatch = stageVerifiedRemoteArtifact(request, cached);
  ASSERT_FALSE(mismatch);
  EXPECT_EQ(mismatch.error(), "Downloaded update failed checksum verification.");

  // Nothing is reachable at a closed port.
  request.url = "http://127.0.0.1:1/artifact/Glimmet.tar.gz";
  const auto refused = fetchVerifiedArtifact(request, updates);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().rfind("Could not download update artifact: ", 0), 0u)
      << refused.error();

  EXPECT_EQ(readText(cached), "previous cached artifact");
  EXPECT_EQ(sortedEntries(updates), onlyCached);
}

TEST(UpdateDownloadRemote, DownloadsReportProgressAndFollowRedirects) {
  TempDir dir;
  const std::string body = patternedBytes(600000);
  writeText(dir.file("body"), body);
  ArtifactServer server(dir.file("body"));
  ASSERT_NE(server.port(), 0);
  const std::string updates = dir.file("Updates");

  std::vector<double> fractions;
  UpdateDownloadRequest request{"0.5", server.url("/artifact/Glimmet.tar.gz"), sha256Hex(body),
                                body.size(), "tar.gz"};
  const auto fetched =
      fetchVerifiedArtifact(request, updates, [&](double f) { fractions.push_back(f); });
  ASSERT_TRUE(fetched) << fetched.error();
  EXPECT_EQ(readText(fetched.value()), body);
  ASSERT_FALSE(fractions.empty());
  EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
  EXPECT_GT(fractions.front(), 0.0);
  EXPECT_EQ(fractions.back(), 1.0);

  // The server announces no length: the feed's size stands in.
  fractions.clear();
  request.url = server.url("/unannounced");
  ASSERT_TRUE(stageVerifiedRemoteArtifact(request, fetched.value(),
                                          [&](double f) { fractions.push_back(f); }));
  ASSERT_FALSE(fractions.empty());
  EXPECT_EQ(fractions.back(), 1.0);

  request.url = server.url("/to-artifact");
  ASSERT_TRUE(stageVerifiedRemoteArtifact(request, fetched.value()));
  EXPECT_EQ(readText(fetched.value()), body);
  EXPECT_EQ(sortedEntries(updates), std::vector<std::string>{"Glimmet-0.5.tar.gz"});
}

}  // namespace
}  // namespace glimmet
