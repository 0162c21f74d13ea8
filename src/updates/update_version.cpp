#include "updates/update_version.hpp"

#include <algorithm>
#include <charconv>

namespace glimmet {

namespace {

int64_t numericPiece(std::string_view piece) {
  int64_t value = 0;
  const auto* end = piece.data() + piece.size();
  const auto parsed = std::from_chars(piece.data(), end, value);
  return parsed.ec == std::errc() && parsed.ptr == end ? value : 0;
}

}  // namespace

std::vector<int64_t> numericVersionParts(std::string_view version) {
  version = version.substr(0, version.find('+'));
  version = version.substr(0, version.find('-'));
  std::vector<int64_t> parts;
  while (!version.empty()) {
    const size_t dot = version.find('.');
    const std::string_view piece = version.substr(0, dot);
    if (!piece.empty()) parts.push_back(numericPiece(piece));
    if (dot == std::string_view::npos) break;
    version.remove_prefix(dot + 1);
  }
  return parts;
}

VersionOrder compareVersionStrings(std::string_view a, std::string_view b) {
  const auto left = numericVersionParts(a);
  const auto right = numericVersionParts(b);
  for (size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    const int64_t x = i < left.size() ? left[i] : 0;
    const int64_t y = i < right.size() ? right[i] : 0;
    if (x < y) return VersionOrder::ascending;
    if (x > y) return VersionOrder::descending;
  }
  return VersionOrder::same;
}

}  // namespace glimmet
