#include "updates/update_manifest.hpp"

#include <algorithm>

#include "updates/update_messages.hpp"
#include "updates/update_version.hpp"

namespace glimmet {

namespace {

bool nonEmpty(const std::optional<std::string>& text) {
  return text && !text->empty();
}

const std::optional<R2PlatformArtifact>& hostArtifact(const R2UpdateManifest& manifest,
                                                      const UpdateHost& host) {
  return host.platform == "macos" ? manifest.mac : manifest.linuxArtifact;
}

Result<UpgradeArtifact> artifactFrom(const R2PlatformArtifact& entry, const UpdateHost& host) {
  UpgradeArtifact artifact;
  if (nonEmpty(entry.url)) {
    artifact.url = *entry.url;
  } else if (host.platform == "macos" && nonEmpty(entry.dmg)) {
    artifact.url = *entry.dmg;
  } else {
    return Result<UpgradeArtifact>::failure(kUpdateFeedInvalid);
  }
  if (!nonEmpty(entry.sha256)) return Result<UpgradeArtifact>::failure(kUpdateFeedMissingChecksum);
  artifact.sha256 = *entry.sha256;
  artifact.kind = nonEmpty(entry.kind) ? *entry.kind : defaultArtifactKind(host);
  artifact.sizeBytes = entry.sizeBytes.value_or(0);
  return artifact;
}

}  // namespace

Result<UpgradeCheckResponse> checkResponseFromManifest(const R2UpdateManifest& manifest,
                                                       std::string_view currentVersion,
                                                       const UpdateHost& host) {
  const auto& blockedList = manifest.blockedVersions;
  const bool blocked =
      std::find(blockedList.begin(), blockedList.end(), currentVersion) != blockedList.end();
  const bool belowMinimum = manifest.minimumSupportedVersion &&
                            isOlderVersion(currentVersion, *manifest.minimumSupportedVersion);
  const bool belowForce =
      manifest.forceUpdateBelow && isOlderVersion(currentVersion, *manifest.forceUpdateBelow);
  const bool mustUpdate = blocked || belowMinimum || belowForce;

  UpgradeCheckResponse response;
  response.updateAvailable = isOlderVersion(currentVersion, manifest.latestVersion) || mustUpdate;
  response.latest.version = manifest.latestVersion;
  response.latest.build =
      nonEmpty(manifest.latestBuild) ? *manifest.latestBuild : manifest.latestVersion;
  response.latest.releaseDate = manifest.releaseDate;
  response.latest.releaseNotes = manifest.releaseNotes;

  const auto& entry = hostArtifact(manifest, host);
  if (response.updateAvailable && entry) {
    auto artifact = artifactFrom(*entry, host);
    if (!artifact) return Result<UpgradeCheckResponse>::failure(artifact.error());
    response.artifact = std::move(artifact.value());
  }
  response.security = manifest.security.value_or(UpgradeSecurity{});

  UpgradePolicy policy;
  const auto& source = manifest.policy;
  if (source && nonEmpty(source->channel)) {
    policy.channel = *source->channel;
  } else {
    policy.channel = source && source->allowTestInstall ? "test" : "stable";
  }
  policy.forceUpdate = (source && source->forceUpdate) || mustUpdate;
  policy.allowManualOpen = source ? source->allowManualOpen : true;
  policy.allowTestInstall = source && source->allowTestInstall;
  response.policy = std::move(policy);
  return response;
}

}  // namespace glimmet
