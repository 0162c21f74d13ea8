#include "model/usage_date.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/locked.hpp"

namespace glimmet {

namespace {

constexpr size_t kCacheLimit = 2048;

// Looked up by the text as it lies in the line: only a new text is copied into a key.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using DateCache = std::unordered_map<std::string, Timestamp, TextHash, std::equal_to<>>;

Locked<DateCache>& parsedDateCache() {
  static Locked<DateCache> cache;
  return cache;
}

}  // namespace

std::optional<Timestamp> parseUsageDate(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // A time in UTC ("…Z") is read directly: that is quicker than the cache, and the event file's
  // times are nearly all unique. The cache is for the local wall-clock times, which need the
  // time zone's rules.
  if (text.back() == 'Z' || text.back() == 'z') return parseTimestamp(text);
  auto& cache = parsedDateCache();
  const auto cached = cache.with([&](auto& map) -> std::optional<Timestamp> {
    const auto found = map.find(text);
    if (found == map.end()) return std::nullopt;
    return found->second;
  });
  if (cached) return cached;
  // The parser itself is stateless, so unlike a formatter object it needs no per-thread copy.
  const auto parsed = parseTimestamp(text);
  if (!parsed) return std::nullopt;
  cache.with([&](auto& map) {
    if (map.size() >= kCacheLimit) map.clear();
    map.emplace(std::string(text), *parsed);
  });
  return parsed;
}

}  // namespace glimmet
