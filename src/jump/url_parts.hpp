#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// The pieces of a URI reference as RFC 3986 splits it. Only what jump checks need: no
// normalisation, and percent escapes are kept as written except in `decodedPath()`.
struct URLParts {
  std::string scheme;  // lower-cased; empty for a relative reference
  bool hasAuthority = false;
  std::string host;  // without user information, port or IPv6 brackets
  std::optional<int> port;
  std::string path;
  std::optional<std::string> query;
  std::optional<std::string> fragment;

  // The path with its %XX escapes decoded, as a file name.
  std::string decodedPath() const;
};

// Splits `text`; absent when it is not a URI reference at all: empty, a byte outside printable
// ASCII or one of the characters no URI may hold (space, <, >, ", {, }, |, \, ^, `), a "%" not
// followed by two hex digits, a bad port or an unclosed IPv6 host.
std::optional<URLParts> parseURLParts(std::string_view text);

}  // namespace glimmet
