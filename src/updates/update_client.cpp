#include "updates/update_client.hpp"

#include <fmt/format.h>

#include "base/text.hpp"
#include "platform/file_system.hpp"
#include "platform/http_fetch.hpp"
#include "updates/update_endpoint.hpp"
#include "updates/update_manifest.hpp"
#include "updates/update_messages.hpp"

namespace glimmet {

namespace {

using CheckResult = Result<UpgradeCheckResponse>;

// A feed document is a few kilobytes; this leaves room for long release notes.
constexpr size_t kMaxFeedBytes = size_t{1024} * 1024;

}  // namespace

std::optional<std::string> UpdateClient::checkURL(std::string_view currentVersion,
                                                  std::string_view build) const {
  if (!endpoint) return std::nullopt;
  return updateCheckURL(*endpoint,
                        {std::string(currentVersion), std::string(build), channel, host});
}

CheckResult UpdateClient::check(std::string_view currentVersion, std::string_view build) const {
  if (fixturePath) {
    const auto data = readFile(*fixturePath);
    if (!data) return CheckResult::failure(kUpdateFeedInvalid);
    return decodeResponse(*data, currentVersion, build);
  }
  const auto url = checkURL(currentVersion, build);
  if (!url) return CheckResult::failure(kNoRemoteUpdateFeed);
  const HttpFetchResponse fetched = httpFetch({*url, kMaxFeedBytes});
  if (fetched.bodyTooLarge) return CheckResult::failure(kUpdateServerInvalidResponse);
  if (fetched.error) return CheckResult::failure(kUpdateCheckFailed);
  // A file URL has no status; every HTTP answer other than a success is the server's refusal.
  if (fetched.status != 0 && (fetched.status < 200 || fetched.status > 299)) {
    return CheckResult::failure(fmt::format("{}{}", kUpdateServerReturnedHttp, fetched.status));
  }
  if (!isAcceptableFeedContentType(fetched.contentType)) {
    return CheckResult::failure(kUpdateServerInvalidResponse);
  }
  return decodeResponse(fetched.body, currentVersion, build);
}

CheckResult UpdateClient::decodeResponse(std::string_view data, std::string_view currentVersion,
                                         std::string_view /*build*/) const {
  const Json document = Json::parse(data, nullptr, false);
  if (document.is_discarded()) return CheckResult::failure(kUpdateFeedInvalid);
  if (auto response = decodeUpgradeCheckResponse(document)) return response;
  const auto manifest = decodeR2UpdateManifest(document);
  if (!manifest) return CheckResult::failure(kUpdateFeedInvalid);
  return checkResponseFromManifest(manifest.value(), currentVersion, host);
}

UpdateClient automaticUpdateClient(const Environment& environment, bool isolated) {
  UpdateClient client;
  client.endpoint = resolvedUpdateEndpointURL(environment, isolated);
  client.channel = updateChannelFromEnvironment(environment);
  return client;
}

UpdateClient manualUpdateClient(const Environment& environment, bool isolated) {
  UpdateClient client = automaticUpdateClient(environment, isolated);
  client.fixturePath = environment.nonEmptyString("GLIMMET_UPDATE_RESPONSE_FILE");
  return client;
}

bool isAcceptableFeedContentType(std::string_view contentType) {
  const std::string mediaType = toLower(trim(contentType.substr(0, contentType.find(';'))));
  return mediaType.empty() || mediaType == "application/json" || mediaType == "text/json" ||
         endsWith(mediaType, "+json") || mediaType == "text/plain" ||
         mediaType == "application/octet-stream" || mediaType == "binary/octet-stream";
}

}  // namespace glimmet
