#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json_values.hpp"
#include "base/result.hpp"

namespace glimmet {

// The dynamic feed's answer (snake-case keys). Decoding is strict about types: a present key
// of the wrong type makes the document invalid; null counts as absent.

struct UpgradeVersionInfo {
  std::string version;
  std::string build;
  std::optional<std::string> releaseDate;
  std::vector<std::string> releaseNotes;
};

struct UpgradeArtifact {
  std::string kind;  // "dmg", "zip", "tar.gz"
  std::string url;
  std::string sha256;  // lower-case hexadecimal
  int64_t sizeBytes = 0;
};

struct UpgradeRequirements {
  std::optional<std::string> minMacOS;
};

struct UpgradeSecurity {
  bool isSigned = false;
  bool notarized = false;
};

struct UpgradePolicy {
  std::string channel = "stable";
  bool forceUpdate = false;
  bool allowManualOpen = false;
  bool allowTestInstall = false;
};

struct UpgradeCheckResponse {
  bool updateAvailable = false;
  UpgradeVersionInfo latest;
  std::optional<UpgradeArtifact> artifact;
  std::optional<UpgradeRequirements> requirements;
  std::optional<UpgradeSecurity> security;
  std::optional<UpgradePolicy> policy;
};

// The static manifest file (camel-case keys, exactly the field names).

// One platform's artifact; every field is optional. `dmg` is the older key for the macOS URL.
struct R2PlatformArtifact {
  std::optional<std::string> arch;
  std::optional<std::string> kind;
  std::optional<std::string> url;
  std::optional<std::string> dmg;
  std::optional<std::string> latestUrl;
  std::optional<std::string> sha256;
  std::optional<int64_t> sizeBytes;
};

struct R2UpdatePolicy {
  std::optional<std::string> channel;
  bool forceUpdate = false;
  bool allowManualOpen = false;
  bool allowTestInstall = false;
};

struct R2UpdateManifest {
  std::optional<int64_t> schemaVersion;
  std::optional<std::string> app;
  std::string latestVersion;
  std::optional<std::string> latestBuild;
  std::optional<std::string> minimumSupportedVersion;
  std::optional<std::string> forceUpdateBelow;
  std::vector<std::string> blockedVersions;
  std::optional<std::string> releaseDate;
  std::vector<std::string> releaseNotes;
  std::optional<R2PlatformArtifact> mac;
  std::optional<R2PlatformArtifact> linuxArtifact;  // key "linux"
  std::optional<UpgradeSecurity> security;
  std::optional<R2UpdatePolicy> policy;
};

// Failures carry a short reason for logs; the user sees the client's messages instead.
Result<UpgradeCheckResponse> decodeUpgradeCheckResponse(const Json& document);
Result<R2UpdateManifest> decodeR2UpdateManifest(const Json& document);

}  // namespace glimmet
