// The update check against a real HTTP server on 127.0.0.1, in process and through
// `glimmet update check`.

#include <gtest/gtest.h>

#include <string>

#include "platform/http_fetch.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "updates/feed_server.hpp"
#include "updates/release_info.hpp"
#include "updates/update_client.hpp"
#include "updates/update_messages.hpp"

namespace glimmet::testing {
namespace {

const std::string kNewerManifest = R"({
  "schemaVersion": 1, "app": "Glimmet", "latestVersion": "99.0.0", "releaseDate": "2026-05-14",
  "releaseNotes": ["Quicker start"],
  "linux": {"arch": "x86_64", "kind": "tar.gz", "url": "https://example.com/g.tar.gz",
            "sha256": "0123abcd", "sizeBytes": 786432},
  "mac": {"arch": "arm64", "kind": "dmg", "url": "https://example.com/g.dmg",
          "sha256": "0123abcd", "sizeBytes": 786432}})";

class UpdateCheckTest : public ::testing::Test {
 protected:
  Result<UpgradeCheckResponse> check(const std::string& url) const {
    UpdateClient client;
    client.endpoint = url;
    return client.check("0.1.0", "0.1.0");
  }
  void expectFailure(const std::string& url, const std::string& message) const {
    const auto result = check(url);
    ASSERT_FALSE(result) << url;
    EXPECT_EQ(result.error(), message) << url;
  }

  struct Run {
    int exitCode;
    std::string output;
  };
  Run runCheck(const std::vector<std::string>& extraEnvironment) const {
    auto environment = isolatedEnvironment(dir_.path(), dir_.file("events.jsonl"));
    environment.push_back("GLIMMET_DISABLE_DEFAULT_UPDATE_FEED=1");
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    auto child = runToCompletion({GLIMMET_BINARY, "update", "check"}, environment);
    return {child.exitCode(), child.output()};
  }
  Run runWithManifest(const std::string& manifest) const {
    server_.put("version.json", manifest);
    return runCheck({"GLIMMET_UPDATE_MANIFEST_URL=" + server_.url("/version.json")});
  }

  TempDir dir_;
  FeedServer server_;
};

TEST_F(UpdateCheckTest, CommandNamesTheNewerVersion) {
  const auto run = runWithManifest(kNewerManifest);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output,
            "Update v99.0.0 available\n"
            "  Available: v99.0.0 · " +
                std::string(currentUpdateHost().platform == "macos" ? "dmg" : "tar.gz") +
                " · 768 KB\n"
                "  Released: 2026-05-14\n"
                "  Changelog: Quicker start\n");

  // The same feed is current for the running version.
  const std::string current(glimmetVersion());
  const auto upToDate = runWithManifest(R"({"latestVersion": ")" + current + R"("})");
  EXPECT_EQ(upToDate.exitCode, 0) << upToDate.output;
  EXPECT_TRUE(upToDate.output.starts_with("Glimmet is already up to date\n  Current: " + current +
                                          "\n  Status: Glimmet is up to date\n  Checked: "))
      << upToDate.output;
}

TEST_F(UpdateCheckTest, CommandReportsFailuresAndForcedUpdates) {
  const auto missing =
      runCheck({"GLIMMET_UPDATE_MANIFEST_URL=" + server_.url("/nothing/version.json")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.output,
            "Update server returned HTTP 404\n  Error: Update server returned HTTP 404\n");

  const std::string current(glimmetVersion());
  const auto blocked = runWithManifest(R"({"latestVersion": ")" + current +
                                       R"(", "blockedVersions": [")" + current + R"("]})");
  EXPECT_EQ(blocked.exitCode, 0) << blocked.output;
  EXPECT_TRUE(blocked.output.starts_with("Update v" + current + " available\n")) << blocked.output;
  EXPECT_NE(blocked.output.find("  Required: v" + current + " must be updated\n"),
            std::string::npos)
      << blocked.output;
  EXPECT_EQ(runWithManifest(kNewerManifest).output.find("Required"), std::string::npos)
      << "an ordinary update is not forced";

  const auto noChecksum = runWithManifest(R"({"latestVersion": "99.0.0",
      "linux": {"url": "https://example.com/g.tar.gz", "sha256": ""},
      "mac": {"url": "https://example.com/g.dmg", "sha256": ""}})");
  EXPECT_EQ(noChecksum.exitCode, 1);
  EXPECT_EQ(noChecksum.output,
            "Update feed is missing a checksum.\n  Error: Update feed is missing a checksum.\n");

  const auto noFeed = runCheck({});
  EXPECT_EQ(noFeed.exitCode, 0) << noFeed.output;
  EXPECT_EQ(noFeed.output, "Checked local build: v" + current +
                               ". No remote update feed is configured.\n  Current: " + current +
                               "\n  Status: No remote update feed configured\n");

  // A local feed document stands in for the network.
  writeText(dir_.file("feed.json"), kNewerManifest);
  const auto fixture = runCheck({"GLIMMET_UPDATE_RESPONSE_FILE=" + dir_.file("feed.json")});
  EXPECT_TRUE(fixture.output.starts_with("Update v99.0.0 available\n")) << fixture.output;
  const auto badFixture = runCheck({"GLIMMET_UPDATE_RESPONSE_FILE=" + dir_.file("absent.json")});
  EXPECT_EQ(badFixture.exitCode, 1);
  EXPECT_TRUE(badFixture.output.starts_with("Update feed is invalid.\n")) << badFixture.output;

  auto usage = runToCompletion({GLIMMET_BINARY, "update", "frobnicate"}, {"PATH=/usr/bin:/bin"});
  EXPECT_EQ(usage.exitCode(), 2);
  EXPECT_NE(usage.output().find("Usage: glimmet update check"), std::string::npos);
}

TEST_F(UpdateCheckTest, ServerAnswersThatAreNoFeedEndInTheirMessages) {
  server_.put("version.json", kNewerManifest);
  server_.put("garbage.json", "<!doctype html><p>Sign in to continue</p>");
  server_.put("huge.json",
              R"({"update_available": true, "latest": {"version": "9", "build": "9"},
                  "artifact": {"kind": "tar.gz", "url": "https://x/g.tar.gz", "sha256": "ab",
                               "size_bytes": 100000000000000000000}})");

  ASSERT_TRUE(check(server_.url("/version.json"))) << "the server itself works";
  expectFailure(server_.url("/status/404"), "Update server returned HTTP 404");
  expectFailure(server_.url("/status/500"), "Update server returned HTTP 500");
  expectFailure(server_.url("/garbage.json"), kUpdateFeedInvalid);
  expectFailure(server_.url("/version.json?type=text/html"), kUpdateServerInvalidResponse);
  expectFailure(server_.url("/huge.json"), kUpdateFeedInvalid);
  expectFailure(server_.url("/endless"), kUpdateServerInvalidResponse);

  // Redirects: to another http URL they are followed; to file or ftp they are refused.
  ASSERT_TRUE(check(server_.url("/redirect?to=" + server_.url("/version.json"))));
  writeText(dir_.file("local.json"), kNewerManifest);
  expectFailure(server_.url("/redirect?to=file://" + dir_.file("local.json")), kUpdateCheckFailed);
  expectFailure(server_.url("/redirect?to=ftp://127.0.0.1/version.json"), kUpdateCheckFailed);

  // A file URL given directly is allowed; other schemes never start.
  EXPECT_TRUE(check("file://" + dir_.file("local.json")));
  expectFailure("ftp://127.0.0.1/version.json", kUpdateCheckFailed);
  expectFailure("file://" + dir_.file("absent.json"), kUpdateCheckFailed);
  expectFailure("http://127.0.0.1:1/version.json", kUpdateCheckFailed);
}

TEST_F(UpdateCheckTest, FetchReportsStatusTypeAndSizeLimit) {
  server_.put("feed.json", "{\"a\": 1}");
  const auto fetched = httpFetch({server_.url("/feed.json")});
  EXPECT_FALSE(fetched.error) << *fetched.error;
  EXPECT_EQ(fetched.status, 200);
  EXPECT_EQ(fetched.body, "{\"a\": 1}");
  EXPECT_EQ(fetched.contentType, "application/json");

  // Exactly at the limit is fine; one byte over is not.
  EXPECT_FALSE(httpFetch({server_.url("/feed.json"), 8}).error);
  const auto over = httpFetch({server_.url("/feed.json"), 7});
  EXPECT_TRUE(over.bodyTooLarge);
  EXPECT_TRUE(over.error);
  EXPECT_TRUE(over.body.empty());

  const auto missing = httpFetch({server_.url("/status/404")});
  EXPECT_FALSE(missing.error);
  EXPECT_EQ(missing.status, 404);

  EXPECT_TRUE(isAcceptableFeedContentType("application/json; charset=utf-8"));
  EXPECT_TRUE(isAcceptableFeedContentType("application/vnd.glimmet+json"));
  EXPECT_TRUE(isAcceptableFeedContentType("text/plain"));
  EXPECT_TRUE(isAcceptableFeedContentType(""));
  EXPECT_FALSE(isAcceptableFeedContentType("text/html; charset=utf-8"));
  EXPECT_FALSE(isAcceptableFeedContentType("image/png"));
}

}  // namespace
}  // namespace glimmet::testing
