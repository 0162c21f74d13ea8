#include "updates/update_endpoint.hpp"

#include <array>
#include <cctype>
#include <vector>

#include "base/text.hpp"
#include "updates/release_info.hpp"

namespace glimmet {

namespace {

struct SplitURL {
  std::string_view head;  // scheme, authority and path
  std::string_view query;
  std::string_view fragment;  // with its "#", or empty
};

SplitURL splitURL(std::string_view url) {
  SplitURL parts;
  const size_t hash = url.find('#');
  if (hash != std::string_view::npos) {
    parts.fragment = url.substr(hash);
    url = url.substr(0, hash);
  }
  const size_t question = url.find('?');
  parts.head = url.substr(0, question);
  if (question != std::string_view::npos) parts.query = url.substr(question + 1);
  return parts;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::string percentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 0xF]);
    }
  }
  return encoded;
}

// The path: what follows the scheme and, for "//" URLs, the authority.
std::string_view pathOf(std::string_view head) {
  const size_t colon = head.find(':');
  std::string_view rest = colon == std::string_view::npos ? head : head.substr(colon + 1);
  if (startsWith(rest, "//")) {
    rest.remove_prefix(2);
    const size_t slash = rest.find('/');
    return slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  return rest;
}

constexpr std::array<std::string_view, 5> kCheckQueryNames = {"platform", "arch", "version",
                                                              "build", "channel"};

bool isCheckQueryName(std::string_view item) {
  const std::string name = percentDecoded(item.substr(0, item.find('=')));
  for (const auto reserved : kCheckQueryNames) {
    if (name == reserved) return true;
  }
  return false;
}

}  // namespace

bool isValidURL(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  if (!std::isalpha(static_cast<unsigned char>(url[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

std::optional<std::string> resolvedUpdateEndpointURL(const Environment& environment,
                                                     bool isolated) {
  for (const char* name : {"GLIMMET_UPDATE_MANIFEST_URL", "GLIMMET_UPDATE_ENDPOINT"}) {
    if (auto url = environment.nonEmptyString(name); url && isValidURL(*url)) return url;
  }
  if (environment.nonEmptyString("GLIMMET_DISABLE_DEFAULT_UPDATE_FEED") == "1") {
    return std::nullopt;
  }
  if (isolated &&
      environment.nonEmptyString("GLIMMET_ENABLE_DEFAULT_UPDATE_FEED_IN_TESTS") != "1") {
    return std::nullopt;
  }
  const std::string_view fallback = defaultUpdateFeedURL();
  if (fallback.empty()) return std::nullopt;
  return std::string(fallback);
}

std::string updateChannelFromEnvironment(const Environment& environment) {
  return environment.nonEmptyString("GLIMMET_UPDATE_CHANNEL").value_or("stable");
}

bool isStaticManifestURL(std::string_view url) {
  const std::string path = toLower(trim(percentDecoded(pathOf(splitURL(url).head))));
  return endsWith(path, ".json");
}

std::string updateCheckURL(std::string_view endpoint, const UpdateCheckQuery& query) {
  if (isStaticManifestURL(endpoint)) return std::string(endpoint);
  const SplitURL parts = splitURL(endpoint);
  std::vector<std::string> items;
  for (const auto& item : split(parts.query, '&')) {
    if (!item.empty() && !isCheckQueryName(item)) items.push_back(item);
  }
  const std::pair<const char*, const std::string*> appended[] = {{"platform", &query.host.platform},
                                                                 {"arch", &query.host.architecture},
                                                                 {"version", &query.currentVersion},
                                                                 {"build", &query.build},
                                                                 {"channel", &query.channel}};
  for (const auto& [name, value] : appended) {
    items.push_back(std::string(name) + "=" + percentEncoded(*value));
  }
  return std::string(parts.head) + "?" + join(items, "&") + std::string(parts.fragment);
}

}  // namespace glimmet
