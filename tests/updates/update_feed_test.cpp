// Decoding the two feed formats, turning a static manifest into a check answer, and choosing
// the feed and the request URL.

#include <gtest/gtest.h>

#include "base/environment.hpp"
#include "updates/update_client.hpp"
#include "updates/update_endpoint.hpp"
#include "updates/update_messages.hpp"

namespace glimmet {
namespace {

using Variables = std::map<std::string, std::string, std::less<>>;

const UpdateHost kLinux{"linux", "x86_64"};
const UpdateHost kMac{"macos", "arm64"};

Result<UpgradeCheckResponse> decode(const std::string& text, const std::string& current,
                                    const UpdateHost& host = kLinux) {
  UpdateClient client;
  client.host = host;
  return client.decodeResponse(text, current, current);
}

std::string manifestWith(const std::string& extra) {
  return R"({"schemaVersion": 1, "app": "Glimmet", "latestVersion": "0.2.0")" + extra + "}";
}

const char* kLinuxArtifact =
    R"("linux": {"arch": "x86_64", "kind": "tar.gz", "url": "https://example.com/g.tar.gz",
                 "sha256": "abc123", "sizeBytes": 786432})";

TEST(UpdateFeedTest, DynamicResponseDecodesWithSafeDefaults) {
  const auto full = decode(R"({
      "update_available": true,
      "latest": {"version": "0.3.0", "build": "42", "release_date": "2026-06-01",
                 "release_notes": ["Faster", "Safer"]},
      "artifact": {"kind": "zip", "url": "https://x/g.zip", "sha256": "ff", "size_bytes": 11},
      "requirements": {"min_macos": "14.0"},
      "security": {"signed": true},
      "policy": {"force_update": true}})",
                           "0.1.0");
  ASSERT_TRUE(full) << full.error();
  const auto& response = full.value();
  EXPECT_TRUE(response.updateAvailable);
  EXPECT_EQ(response.latest.build, "42");
  EXPECT_EQ(response.latest.releaseNotes, (std::vector<std::string>{"Faster", "Safer"}));
  ASSERT_TRUE(response.artifact);
  EXPECT_EQ(response.artifact->sizeBytes, 11);
  EXPECT_EQ(response.requirements->minMacOS, "14.0");
  EXPECT_TRUE(response.security->isSigned);
  EXPECT_FALSE(response.security->notarized) << "a partial security object means false";
  EXPECT_EQ(response.policy->channel, "stable") << "a policy without channel is stable";
  EXPECT_TRUE(response.policy->forceUpdate);
  EXPECT_FALSE(response.policy->allowTestInstall);

  // Returned as is, even when the version is not newer: the server decided.
  const auto minimal = decode(
      R"({"update_available": false, "latest": {"version": "0.0.1", "build": "1"}})", "0.1.0");
  ASSERT_TRUE(minimal) << minimal.error();
  EXPECT_FALSE(minimal.value().artifact);
  EXPECT_FALSE(minimal.value().security);
  EXPECT_TRUE(minimal.value().latest.releaseNotes.empty());
}

TEST(UpdateFeedTest, MalformedDocumentsAreInvalid) {
  for (const std::string& text : std::vector<std::string>{
           std::string("<html>Sign in to the Wi-Fi</html>"),
           std::string(""),
           std::string("[1, 2]"),
           std::string(R"({"update_available": "yes", "latest": {"version": "1", "build": "1"}})"),
           // A dynamic answer it cannot decode is read as a manifest, which needs latestVersion.
           std::string(R"({"update_available": true, "latest": {"version": "1"}})"),
           // Sizes that no artifact has: beyond 64 bits, floating, negative.
           std::string(R"({"update_available": true, "latest": {"version": "1", "build": "1"},
               "artifact": {"kind": "zip", "url": "u", "sha256": "s", "size_bytes": 1e20}})"),
           std::string(R"({"update_available": true, "latest": {"version": "1", "build": "1"},
               "artifact": {"kind": "zip", "url": "u", "sha256": "s",
                            "size_bytes": 18446744073709551615}})"),
           manifestWith(R"(, "linux": {"url": "u", "sha256": "s", "sizeBytes": 1e20})"),
           manifestWith(R"(, "linux": {"url": "u", "sha256": "s", "sizeBytes": -5})"),
           manifestWith(R"(, "blockedVersions": "0.1.0")"),
           std::string(R"({"latestVersion": 2})"),
       }) {
    const auto result = decode(text, "0.1.0");
    ASSERT_FALSE(result) << text;
    EXPECT_EQ(result.error(), kUpdateFeedInvalid) << text;
  }
  // The largest 64-bit size still reads.
  const auto largest = decode(R"({"update_available": true, "latest": {"version": "1",
      "build": "1"}, "artifact": {"kind": "zip", "url": "u", "sha256": "s",
      "size_bytes": 9223372036854775807}})",
                              "0.1.0");
  ASSERT_TRUE(largest) << largest.error();
  EXPECT_EQ(largest.value().artifact->sizeBytes, INT64_MAX);
}

TEST(UpdateFeedTest, ManifestGivesAnUpdateWithTheHostsArtifact) {
  const auto newer = decode(manifestWith(R"(, "latestBuild": "", "releaseDate": "2026-05-14",
      "releaseNotes": ["One line"], "mac": {"url": "https://x/g.dmg", "sha256": "m"}, )" +
                                         std::string(kLinuxArtifact)),
                            "0.1.0");
  ASSERT_TRUE(newer) << newer.error();
  const auto& response = newer.value();
  EXPECT_TRUE(response.updateAvailable);
  EXPECT_EQ(response.latest.build, "0.2.0") << "an empty build falls back to the version";
  EXPECT_EQ(response.latest.releaseDate, "2026-05-14");
  ASSERT_TRUE(response.artifact);
  EXPECT_EQ(response.artifact->url, "https://example.com/g.tar.gz") << "Linux takes `linux`";
  EXPECT_EQ(response.artifact->kind, "tar.gz");
  EXPECT_EQ(response.artifact->sizeBytes, 786432);
  EXPECT_FALSE(response.policy->forceUpdate);
  ASSERT_TRUE(response.security) << "a converted manifest always carries security";
  EXPECT_FALSE(response.security->isSigned);
  // Without a policy: stable, manual open allowed, no test install.
  EXPECT_EQ(response.policy->channel, "stable");
  EXPECT_TRUE(response.policy->allowManualOpen);
  EXPECT_FALSE(response.policy->allowTestInstall);

  // macOS takes `mac`, falling back to its older "dmg" key and to the kind "dmg".
  const auto mac = decode(manifestWith(R"(, "mac": {"dmg": "https://x/old.dmg", "sha256": "m"})"),
                          "0.1.0", kMac);
  ASSERT_TRUE(mac) << mac.error();
  EXPECT_EQ(mac.value().artifact->url, "https://x/old.dmg");
  EXPECT_EQ(mac.value().artifact->kind, "dmg");
  EXPECT_EQ(mac.value().artifact->sizeBytes, 0);

  // A Linux entry without a kind means a tarball; one without a URL is invalid.
  const auto noKind = decode(manifestWith(R"(, "linux": {"url": "u", "sha256": "s"})"), "0.1.0");
  EXPECT_EQ(noKind.value().artifact->kind, "tar.gz");
  const auto noURL =
      decode(manifestWith(R"(, "linux": {"dmg": "https://x/g.dmg", "sha256": "s"})"), "0.1.0");
  ASSERT_FALSE(noURL);
  EXPECT_EQ(noURL.error(), kUpdateFeedInvalid);

  // No entry for this platform: the update without an artifact.
  const auto macOnly = decode(manifestWith(R"(, "mac": {"url": "u", "sha256": "s"})"), "0.1.0");
  ASSERT_TRUE(macOnly) << macOnly.error();
  EXPECT_TRUE(macOnly.value().updateAvailable);
  EXPECT_FALSE(macOnly.value().artifact);
}

TEST(UpdateFeedTest, ManifestChecksumBlockedAndMinimumVersions) {
  for (const char* checksum : {R"("sha256": "")", R"("sha256": null)", R"("kind": "tar.gz")"}) {
    const auto result = decode(
        manifestWith(std::string(R"(, "linux": {"url": "https://x/g.tar.gz", )") + checksum + "}"),
        "0.1.0");
    ASSERT_FALSE(result) << checksum;
    EXPECT_EQ(result.error(), kUpdateFeedMissingChecksum) << checksum;
  }
  // No update: the artifact is not looked at, so a missing checksum does not matter.
  const auto current =
      decode(manifestWith(R"(, "linux": {"url": "https://x/g.tar.gz", "sha256": ""})"), "0.2.0");
  ASSERT_TRUE(current) << current.error();
  EXPECT_FALSE(current.value().updateAvailable);
  EXPECT_FALSE(current.value().artifact);

  // The current version is the latest but blocked: a forced update to the same version.
  const auto blocked =
      decode(R"({"latestVersion": "0.2.0", "blockedVersions": ["0.1.9", "0.2.0"]})", "0.2.0");
  ASSERT_TRUE(blocked) << blocked.error();
  EXPECT_TRUE(blocked.value().updateAvailable);
  EXPECT_TRUE(blocked.value().policy->forceUpdate);
  // Blocking matches the text exactly: "0.2" is not "0.2.0".
  const auto notBlocked =
      decode(R"({"latestVersion": "0.2.0", "blockedVersions": ["0.2"]})", "0.2.0");
  EXPECT_FALSE(notBlocked.value().updateAvailable);

  const auto belowMinimum =
      decode(R"({"latestVersion": "0.3.0", "minimumSupportedVersion": "0.2.0"})", "0.1.9");
  EXPECT_TRUE(belowMinimum.value().policy->forceUpdate);
  const auto atMinimum =
      decode(R"({"latestVersion": "0.3.0", "minimumSupportedVersion": "0.2.0"})", "0.2.0");
  EXPECT_TRUE(atMinimum.value().updateAvailable) << "0.3.0 is newer";
  EXPECT_FALSE(atMinimum.value().policy->forceUpdate) << "the minimum itself is supported";
  const auto belowForce =
      decode(R"({"latestVersion": "0.3.0", "forceUpdateBelow": "0.2.10"})", "0.2.9");
  EXPECT_TRUE(belowForce.value().policy->forceUpdate);
  const auto atForce =
      decode(R"({"latestVersion": "0.3.0", "forceUpdateBelow": "0.2.10"})", "0.2.10");
  EXPECT_FALSE(atForce.value().policy->forceUpdate);
  const auto newer = decode(R"({"latestVersion": "0.3.0"})", "0.4.0");
  EXPECT_FALSE(newer.value().updateAvailable) << "a build newer than the feed is current";

  // Channel: the policy's, else "test" when test installs are allowed.
  const auto test = decode(R"({"latestVersion": "1", "policy": {"allowTestInstall": true}})", "1");
  EXPECT_EQ(test.value().policy->channel, "test");
  EXPECT_FALSE(test.value().policy->allowManualOpen) << "a policy's absent Bool is false";
  const auto beta = decode(
      R"({"latestVersion": "1", "policy": {"channel": "beta", "allowTestInstall": true,
          "forceUpdate": true}})",
      "1");
  EXPECT_EQ(beta.value().policy->channel, "beta");
  EXPECT_TRUE(beta.value().policy->forceUpdate);
  EXPECT_FALSE(beta.value().updateAvailable) << "a forcing policy alone offers nothing newer";
}

TEST(UpdateEndpointTest, EnvironmentChoosesTheFeed) {
  const auto resolve = [](std::map<std::string, std::string, std::less<>> variables,
                          bool isolated = false) {
    return resolvedUpdateEndpointURL(Environment(std::move(variables)), isolated);
  };
  EXPECT_EQ(resolve({{"GLIMMET_UPDATE_MANIFEST_URL", " https://a/version.json\n"},
                     {"GLIMMET_UPDATE_ENDPOINT", "https://b/v1/upgrade/check"}}),
            "https://a/version.json");
  EXPECT_EQ(resolve({{"GLIMMET_UPDATE_MANIFEST_URL", "not a url"},
                     {"GLIMMET_UPDATE_ENDPOINT", "https://b/v1/upgrade/check"}}),
            "https://b/v1/upgrade/check")
      << "an override that is no URL is skipped";
  EXPECT_EQ(resolve({{"GLIMMET_UPDATE_MANIFEST_URL", "   "},
                     {"GLIMMET_UPDATE_ENDPOINT", ""},
                     {"GLIMMET_DISABLE_DEFAULT_UPDATE_FEED", "1"}}),
            std::nullopt);
  EXPECT_EQ(resolve({}, true), std::nullopt) << "isolated mode has no default feed";
  const auto isolatedOverride =
      resolve({{"GLIMMET_UPDATE_MANIFEST_URL", "file:///tmp/v.json"}}, true);
  EXPECT_EQ(isolatedOverride, "file:///tmp/v.json") << "an explicit feed works in isolation";
  const auto fallback = resolve({});
  ASSERT_TRUE(fallback);
  EXPECT_TRUE(fallback->starts_with("https://") && fallback->ends_with("/version.json"))
      << *fallback;
  EXPECT_EQ(resolve({{"GLIMMET_ENABLE_DEFAULT_UPDATE_FEED_IN_TESTS", "1"}}, true), fallback);
  EXPECT_EQ(resolve({{"GLIMMET_ENABLE_DEFAULT_UPDATE_FEED_IN_TESTS", "1"},
                     {"GLIMMET_DISABLE_DEFAULT_UPDATE_FEED", "1"}},
                    true),
            std::nullopt);

  EXPECT_EQ(updateChannelFromEnvironment(Environment(Variables{{"GLIMMET_UPDATE_CHANNEL", " "}})),
            "stable");
  EXPECT_EQ(
      updateChannelFromEnvironment(Environment(Variables{{"GLIMMET_UPDATE_CHANNEL", "beta"}})),
      "beta");

  const auto manual =
      manualUpdateClient(Environment(Variables{{"GLIMMET_UPDATE_RESPONSE_FILE", "/tmp/feed.json"},
                                               {"GLIMMET_DISABLE_DEFAULT_UPDATE_FEED", "1"}}),
                         false);
  EXPECT_EQ(manual.fixturePath, "/tmp/feed.json");
  EXPECT_FALSE(manual.endpoint);
  const auto automatic = automaticUpdateClient(
      Environment(Variables{{"GLIMMET_UPDATE_RESPONSE_FILE", "/tmp/feed.json"}}), true);
  EXPECT_FALSE(automatic.fixturePath) << "the automatic check never reads a fixture";
}

TEST(UpdateEndpointTest, RequestURLs) {
  UpdateClient client;
  client.host = kLinux;
  client.channel = "beta";
  EXPECT_EQ(client.checkURL("0.1.0", "0.1.0"), std::nullopt);

  client.endpoint = "https://feed.example/v1/upgrade/check?token=abc&channel=old";
  EXPECT_EQ(client.checkURL("0.1.0", "0.1.0+7"),
            "https://feed.example/v1/upgrade/check?token=abc&platform=linux&arch=x86_64&"
            "version=0.1.0&build=0.1.0%2B7&channel=beta");
  client.endpoint = "https://feed.example/check?version=9&z=1&arch=ppc&platform=win&build=x";
  EXPECT_EQ(client.checkURL("1", "1"),
            "https://feed.example/check?z=1&platform=linux&arch=x86_64&version=1&build=1&"
            "channel=beta");
  client.host = kMac;
  client.endpoint = "https://feed.example/check";
  EXPECT_EQ(client.checkURL("1", "2"),
            "https://feed.example/check?platform=macos&arch=arm64&version=1&build=2&channel=beta");

  // A static manifest is fetched unchanged.
  client.endpoint = "https://cdn.example/glimmet/version.json?cache=1";
  EXPECT_EQ(client.checkURL("1", "1"), client.endpoint);
  EXPECT_TRUE(isStaticManifestURL("https://cdn.example/VERSION.JSON%20"))
      << "upper case and a trailing space still end in .json";
  EXPECT_TRUE(isStaticManifestURL("file:///tmp/feed/version.json"));
  EXPECT_FALSE(isStaticManifestURL("https://cdn.example/check?format=.json"));
  EXPECT_FALSE(isStaticManifestURL("https://cdn.example.json")) << "a host name is not a path";
}

}  // namespace
}  // namespace glimmet
