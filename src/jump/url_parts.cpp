#include "jump/url_parts.hpp"

#include <cctype>

#include "base/text.hpp"

namespace glimmet {

namespace {

bool isHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Foundation refuses these too, so a text it would not open is never called a URL here.
bool isAllowedCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte <= 0x20 || byte >= 0x7f) return false;
  switch (c) {
    case '<':
    case '>':
    case '"':
    case '{':
    case '}':
    case '|':
    case '\\':
    case '^':
    case '`':
      return false;
    default:
      return true;
  }
}

bool hasValidEscapes(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) {
      return false;
    }
    i += 2;
  }
  return true;
}

// The scheme ends at the first ":" when every character before it may be part of one; a ":"
// after "/", "?" or "#" belongs to a relative path instead.
std::optional<size_t> schemeLength(std::string_view text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return std::nullopt;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') return i;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

bool parseAuthority(std::string_view authority, URLParts& parts) {
  const size_t at = authority.rfind('@');
  std::string_view hostPort = at == std::string_view::npos ? authority : authority.substr(at + 1);
  std::string_view portText;
  if (!hostPort.empty() && hostPort.front() == '[') {
    const size_t close = hostPort.find(']');
    if (close == std::string_view::npos) return false;
    parts.host = std::string(hostPort.substr(1, close - 1));
    const std::string_view rest = hostPort.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      portText = rest.substr(1);
    }
  } else {
    // Brackets belong around an IPv6 host only.
    if (hostPort.find_first_of("[]") != std::string_view::npos) return false;
    const size_t colon = hostPort.rfind(':');
    parts.host = std::string(hostPort.substr(0, colon));
    if (colon != std::string_view::npos) portText = hostPort.substr(colon + 1);
  }
  if (portText.empty()) return true;
  if (portText.size() > 5) return false;
  int port = 0;
  for (const char c : portText) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    port = port * 10 + (c - '0');
  }
  if (port > 65535) return false;
  parts.port = port;
  return true;
}

}  // namespace

std::string URLParts::decodedPath() const {
  std::string decoded;
  decoded.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() && isHexDigit(path[i + 1]) &&
        isHexDigit(path[i + 2])) {
      decoded.push_back(static_cast<char>(hexValue(path[i + 1]) * 16 + hexValue(path[i + 2])));
      i += 2;
    } else {
      decoded.push_back(path[i]);
    }
  }
  return decoded;
}

std::optional<URLParts> parseURLParts(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (!isAllowedCharacter(c)) return std::nullopt;
  }
  if (!hasValidEscapes(text)) return std::nullopt;

  URLParts parts;
  std::string_view rest = text;
  if (const auto length = schemeLength(text)) {
    parts.scheme = toLower(text.substr(0, *length));
    rest = text.substr(*length + 1);
  }
  if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
    parts.fragment = std::string(rest.substr(hash + 1));
    rest = rest.substr(0, hash);
  }
  if (const size_t question = rest.find('?'); question != std::string_view::npos) {
    parts.query = std::string(rest.substr(question + 1));
    rest = rest.substr(0, question);
  }
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const size_t slash = rest.find('/');
    parts.hasAuthority = true;
    if (!parseAuthority(rest.substr(0, slash), parts)) return std::nullopt;
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  parts.path = std::string(rest);
  return parts;
}

}  // namespace glimmet
