#include "usage/usage_file_caches.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr size_t kDiscoveryEntries = 32;
constexpr size_t kFileEventEntries = 256;
constexpr size_t kBlockEntries = 16;

struct DiscoveryEntry {
  Timestamp createdAt;
  std::vector<std::string> files;
  uint64_t lastUse = 0;
};

struct DiscoveryCache {
  std::mutex mutex;
  std::map<std::string, DiscoveryEntry> entries;
  uint64_t clock = 0;
};

DiscoveryCache& discoveryCache() {
  static DiscoveryCache cache;
  return cache;
}

StampedFileCache<std::optional<GlimmetEvent>>& fileEventCache() {
  static StampedFileCache<std::optional<GlimmetEvent>> cache(kFileEventEntries);
  return cache;
}

struct BlockEntry {
  std::string fingerprint;
  std::optional<GlimmetEvent> event;
  uint64_t lastUse = 0;
};

struct BlockCache {
  std::mutex mutex;
  std::map<std::string, BlockEntry> entries;
  uint64_t clock = 0;
};

BlockCache& blockCache() {
  static BlockCache cache;
  return cache;
}

template <typename Map>
void evictOldestIfFull(Map& entries, const std::string& key, size_t capacity) {
  if (entries.size() < capacity || entries.count(key)) return;
  auto oldest = entries.begin();
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->second.lastUse < oldest->second.lastUse) oldest = it;
  }
  entries.erase(oldest);
}

bool hasExtension(std::string_view name, const std::vector<std::string>& extensions) {
  return std::any_of(extensions.begin(), extensions.end(),
                     [name](const std::string& extension) { return endsWith(name, extension); });
}

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> listRecentUsageFiles(const UsageFileQuery& query) {
  std::vector<ListedFile> listed;
  if (isDirectory(query.root)) {
    for (auto& file : listFiles(query.root, "", "", SIZE_MAX)) {
      const std::string name = baseName(file.path);
      if (!hasExtension(name, query.extensions)) continue;
      if (query.include && !query.include(name)) continue;
      listed.push_back(std::move(file));
    }
  }
  // Newest first; equal times by path, so that the same tree always gives the same list.
  std::sort(listed.begin(), listed.end(), [](const ListedFile& a, const ListedFile& b) {
    return a.modified != b.modified ? a.modified > b.modified : a.path < b.path;
  });
  if (listed.size() > query.limit) listed.resize(query.limit);
  std::vector<std::string> files;
  files.reserve(listed.size());
  for (auto& file : listed) files.push_back(std::move(file.path));
  return files;
}

}  // namespace

std::optional<FileStamp> fileStamp(const std::string& path) {
  const auto metadata = fileMetadata(path);
  if (!metadata || metadata->kind != FileKind::regular) return std::nullopt;
  return FileStamp{metadata->modified, metadata->size};
}

std::vector<std::string> cachedDiscovery(const std::string& key, Timestamp now,
                                         const std::function<std::vector<std::string>()>& list) {
  auto& cache = discoveryCache();
  {
    std::lock_guard lock(cache.mutex);
    const auto found = cache.entries.find(key);
    if (found != cache.entries.end()) {
      const double age = secondsBetween(found->second.createdAt, now);
      if (age >= 0 && age < kDiscoveryMaxAgeSeconds) {
        found->second.lastUse = ++cache.clock;
        return found->second.files;
      }
    }
  }
  // Listed outside the lock: a slow directory walk must not hold up the other loaders.
  std::vector<std::string> files = list();
  std::lock_guard lock(cache.mutex);
  evictOldestIfFull(cache.entries, key, kDiscoveryEntries);
  cache.entries[key] = DiscoveryEntry{now, files, ++cache.clock};
  return files;
}

std::vector<std::string> recentUsageFiles(const UsageFileQuery& query, Timestamp now) {
  return cachedDiscovery(query.root + "\n" + query.cacheKey, now,
                         [&query] { return listRecentUsageFiles(query); });
}

std::optional<GlimmetEvent> cachedFileEvent(
    std::string_view kind, const std::string& path,
    const std::function<std::optional<GlimmetEvent>()>& load) {
  const auto stamp = fileStamp(path);
  if (!stamp) return std::nullopt;
  const std::string key = std::string(kind) + "\n" + path;
  auto& cache = fileEventCache();
  if (auto stored = cache.find(key, *stamp)) return *stored;
  auto event = load();
  cache.store(key, *stamp, event);
  return event;
}

BlockCacheLookup cachedBlockEvent(const std::string& root, const std::string& fingerprint) {
  auto& cache = blockCache();
  std::lock_guard lock(cache.mutex);
  const auto found = cache.entries.find(root);
  if (found == cache.entries.end() || found->second.fingerprint != fingerprint) return {};
  found->second.lastUse = ++cache.clock;
  return {true, found->second.event};
}

void storeBlockEvent(const std::string& root, const std::string& fingerprint,
                     std::optional<GlimmetEvent> event) {
  auto& cache = blockCache();
  std::lock_guard lock(cache.mutex);
  evictOldestIfFull(cache.entries, root, kBlockEntries);
  cache.entries[root] = BlockEntry{fingerprint, std::move(event), ++cache.clock};
}

void clearLocalUsageFileCaches() {
  fileEventCache().clear();
  auto& blocks = blockCache();
  std::lock_guard lock(blocks.mutex);
  blocks.entries.clear();
}

void clearAllLocalUsageCaches() {
  clearLocalUsageFileCaches();
  auto& discovery = discoveryCache();
  std::lock_guard lock(discovery.mutex);
  discovery.entries.clear();
}

}  // namespace glimmet
