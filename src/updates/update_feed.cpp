#include "updates/update_feed.hpp"

#include <limits>
#include <stdexcept>

namespace glimmet {

namespace {

// Thrown inside the decoders only; each decoder turns it into a failed Result.
struct FeedDecodeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Absent and null are the same; present with another type is an error.
const Json* present(const Json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) return nullptr;
  return &*found;
}

const Json& requireObject(const Json& value, const char* what) {
  if (!value.is_object()) throw FeedDecodeError(std::string(what) + " is not an object");
  return value;
}

std::optional<std::string> optionalText(const Json& object, const char* key) {
  const Json* value = present(object, key);
  if (!value) return std::nullopt;
  if (!value->is_string()) throw FeedDecodeError(std::string(key) + " is not text");
  return value->get<std::string>();
}

std::string requiredText(const Json& object, const char* key) {
  auto text = optionalText(object, key);
  if (!text) throw FeedDecodeError(std::string(key) + " is missing");
  return *text;
}

std::optional<bool> optionalBool(const Json& object, const char* key) {
  const Json* value = present(object, key);
  if (!value) return std::nullopt;
  if (!value->is_boolean()) throw FeedDecodeError(std::string(key) + " is not a boolean");
  return value->get<bool>();
}

bool boolOrFalse(const Json& object, const char* key) {
  return optionalBool(object, key).value_or(false);
}

// A whole number that fits 64 bits; sizes are never negative. 1e20 or 2^64 - 1 are not sizes
// anything could download, and reading them would wrap.
std::optional<int64_t> optionalInteger(const Json& object, const char* key, bool nonNegative) {
  const Json* value = present(object, key);
  if (!value) return std::nullopt;
  if (value->is_number_unsigned()) {
    const auto number = value->get<uint64_t>();
    if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      throw FeedDecodeError(std::string(key) + " is out of range");
    }
    return static_cast<int64_t>(number);
  }
  if (!value->is_number_integer()) throw FeedDecodeError(std::string(key) + " is not an integer");
  const auto number = value->get<int64_t>();
  if (nonNegative && number < 0) throw FeedDecodeError(std::string(key) + " is negative");
  return number;
}

std::vector<std::string> textList(const Json& object, const char* key) {
  const Json* value = present(object, key);
  if (!value) return {};
  if (!value->is_array()) throw FeedDecodeError(std::string(key) + " is not a list");
  std::vector<std::string> texts;
  for (const auto& element : *value) {
    if (!element.is_string()) throw FeedDecodeError(std::string(key) + " holds a non-text item");
    texts.push_back(element.get<std::string>());
  }
  return texts;
}

UpgradeSecurity decodeSecurity(const Json& value) {
  requireObject(value, "security");
  return {boolOrFalse(value, "signed"), boolOrFalse(value, "notarized")};
}

UpgradeCheckResponse decodeResponse(const Json& document) {
  requireObject(document, "the document");
  UpgradeCheckResponse response;
  const auto available = optionalBool(document, "update_available");
  if (!available) throw FeedDecodeError("update_available is missing");
  response.updateAvailable = *available;

  const Json* latest = present(document, "latest");
  if (!latest) throw FeedDecodeError("latest is missing");
  requireObject(*latest, "latest");
  response.latest.version = requiredText(*latest, "version");
  response.latest.build = requiredText(*latest, "build");
  response.latest.releaseDate = optionalText(*latest, "release_date");
  response.latest.releaseNotes = textList(*latest, "release_notes");

  if (const Json* artifact = present(document, "artifact")) {
    requireObject(*artifact, "artifact");
    UpgradeArtifact decoded;
    decoded.kind = requiredText(*artifact, "kind");
    decoded.url = requiredText(*artifact, "url");
    decoded.sha256 = requiredText(*artifact, "sha256");
    const auto size = optionalInteger(*artifact, "size_bytes", true);
    if (!size) throw FeedDecodeError("size_bytes is missing");
    decoded.sizeBytes = *size;
    response.artifact = std::move(decoded);
  }
  if (const Json* requirements = present(document, "requirements")) {
    requireObject(*requirements, "requirements");
    response.requirements = UpgradeRequirements{optionalText(*requirements, "min_macos")};
  }
  if (const Json* security = present(document, "security")) {
    response.security = decodeSecurity(*security);
  }
  if (const Json* policy = present(document, "policy")) {
    requireObject(*policy, "policy");
    UpgradePolicy decoded;
    decoded.channel = optionalText(*policy, "channel").value_or("stable");
    decoded.forceUpdate = boolOrFalse(*policy, "force_update");
    decoded.allowManualOpen = boolOrFalse(*policy, "allow_manual_open");
    decoded.allowTestInstall = boolOrFalse(*policy, "allow_test_install");
    response.policy = std::move(decoded);
  }
  return response;
}

R2PlatformArtifact decodePlatformArtifact(const Json& value, const char* what) {
  requireObject(value, what);
  R2PlatformArtifact artifact;
  artifact.arch = optionalText(value, "arch");
  artifact.kind = optionalText(value, "kind");
  artifact.url = optionalText(value, "url");
  artifact.dmg = optionalText(value, "dmg");
  artifact.latestUrl = optionalText(value, "latestUrl");
  artifact.sha256 = optionalText(value, "sha256");
  artifact.sizeBytes = optionalInteger(value, "sizeBytes", true);
  return artifact;
}

R2UpdateManifest decodeManifest(const Json& document) {
  requireObject(document, "the document");
  R2UpdateManifest manifest;
  manifest.schemaVersion = optionalInteger(document, "schemaVersion", false);
  manifest.app = optionalText(document, "app");
  manifest.latestVersion = requiredText(document, "latestVersion");
  manifest.latestBuild = optionalText(document, "latestBuild");
  manifest.minimumSupportedVersion = optionalText(document, "minimumSupportedVersion");
  manifest.forceUpdateBelow = optionalText(document, "forceUpdateBelow");
  manifest.blockedVersions = textList(document, "blockedVersions");
  manifest.releaseDate = optionalText(document, "releaseDate");
  manifest.releaseNotes = textList(document, "releaseNotes");
  if (const Json* mac = present(document, "mac"))
    manifest.mac = decodePlatformArtifact(*mac, "mac");
  if (const Json* linuxEntry = present(document, "linux")) {
    manifest.linuxArtifact = decodePlatformArtifact(*linuxEntry, "linux");
  }
  if (const Json* security = present(document, "security")) {
    manifest.security = decodeSecurity(*security);
  }
  if (const Json* policy = present(document, "policy")) {
    requireObject(*policy, "policy");
    R2UpdatePolicy decoded;
    decoded.channel = optionalText(*policy, "channel");
    decoded.forceUpdate = boolOrFalse(*policy, "forceUpdate");
    decoded.allowManualOpen = boolOrFalse(*policy, "allowManualOpen");
    decoded.allowTestInstall = boolOrFalse(*policy, "allowTestInstall");
    manifest.policy = std::move(decoded);
  }
  return manifest;
}

template <class T, class Decode>
Result<T> decodeCatching(const Json& document, Decode decode) {
  try {
    return decode(document);
  } catch (const FeedDecodeError& error) {
    return Result<T>::failure(error.what());
  }
}

}  // namespace

Result<UpgradeCheckResponse> decodeUpgradeCheckResponse(const Json& document) {
  return decodeCatching<UpgradeCheckResponse>(document, decodeResponse);
}

Result<R2UpdateManifest> decodeR2UpdateManifest(const Json& document) {
  return decodeCatching<R2UpdateManifest>(document, decodeManifest);
}

}  // namespace glimmet
