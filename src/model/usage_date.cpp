#include "model/usage_date.hpp"

#include <string>
#include <unordered_map>

#include "base/locked.hpp"

namespace glimmet {

namespace {

constexpr size_t kCacheLimit = 2048;

Locked<std::unordered_map<std::string, Timestamp>>& parsedDateCache() {
  static Locked<std::unordered_map<std::string, Timestamp>> cache;
  return cache;
}

}  // namespace

std::optional<Timestamp> parseUsageDate(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const std::string key(text);
  auto& cache = parsedDateCache();
  const auto cached = cache.with([&](auto& map) -> std::optional<Timestamp> {
    const auto found = map.find(key);
    if (found == map.end()) return std::nullopt;
    return found->second;
  });
  if (cached) return cached;
  // The parser itself is stateless, so unlike a formatter object it needs no per-thread copy.
  const auto parsed = parseTimestamp(text);
  if (!parsed) return std::nullopt;
  cache.with([&](auto& map) {
    if (map.size() >= kCacheLimit) map.clear();
    map.emplace(key, *parsed);
  });
  return parsed;
}

}  // namespace glimmet
