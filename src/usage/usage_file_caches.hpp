#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/time.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// Process-wide caches shared by the local usage loaders and the hotplug detectors, so that an
// unchanged disk costs directory listings at most every two minutes and no file reads at all.
// Each cache has its own lock, held only while an entry is read or written: file I/O and
// parsing happen outside, so a slow disk never blocks another loader's cache lookup.

inline constexpr double kDiscoveryMaxAgeSeconds = 120;

// What a file looked like when a value was made from it. Loaders only ever see appends and
// rewrites, both of which move the modification time or the size.
struct FileStamp {
  Timestamp modified;
  uint64_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> fileStamp(const std::string& path);

// Values made from files, keyed by text, valid while the file's stamp stays the same. When
// full, the entry used longest ago makes room.
template <typename Value>
class StampedFileCache {
 public:
  explicit StampedFileCache(size_t capacity) : capacity_(capacity) {}

  std::optional<Value> find(const std::string& key, const FileStamp& stamp) {
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(key);
    if (found == entries_.end() || !(found->second.stamp == stamp)) return std::nullopt;
    found->second.lastUse = ++clock_;
    return found->second.value;
  }

  void store(const std::string& key, const FileStamp& stamp, Value value) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= capacity_ && !entries_.count(key)) {
      auto oldest = entries_.begin();
      for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->second.lastUse < oldest->second.lastUse) oldest = it;
      }
      entries_.erase(oldest);
    }
    entries_[key] = Entry{stamp, std::move(value), ++clock_};
  }

  void clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
  }

 private:
  struct Entry {
    FileStamp stamp;
    Value value;
    uint64_t lastUse = 0;
  };
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
  uint64_t clock_ = 0;
  size_t capacity_;
};

struct UsageFileQuery {
  std::string root;
  size_t limit = 0;
  std::string cacheKey;
  std::vector<std::string> extensions;  // ".jsonl", ".json"
  std::function<bool(std::string_view fileName)> include;
};

// The newest `limit` regular files under the root (recursively) with one of the extensions
// that `include` accepts, newest first. A listing younger than 120 s is reused as it is, so a
// new file can take up to two minutes to show up; a missing root gives none.
std::vector<std::string> recentUsageFiles(const UsageFileQuery& query, Timestamp now);

// The listing `list` makes, reused for 120 s under `key` by every loader and detector.
std::vector<std::string> cachedDiscovery(const std::string& key, Timestamp now,
                                         const std::function<std::vector<std::string>()>& list);

// The event a loader made from a file, reused while the file keeps its modification time and
// size; `load` runs otherwise, and its result (an event or none) is remembered. A file that
// cannot be inspected gives no event and is not remembered.
std::optional<GlimmetEvent> cachedFileEvent(
    std::string_view kind, const std::string& path,
    const std::function<std::optional<GlimmetEvent>()>& load);

// The 5-hour block summary, reused while the fingerprint of its candidate files is the same.
struct BlockCacheLookup {
  bool hit = false;
  std::optional<GlimmetEvent> event;
};
BlockCacheLookup cachedBlockEvent(const std::string& root, const std::string& fingerprint);
void storeBlockEvent(const std::string& root, const std::string& fingerprint,
                     std::optional<GlimmetEvent> event);

// Drops the per-file results (events and block summaries) so that the next scan reads every
// candidate again; the directory listings stay.
void clearLocalUsageFileCaches();
// Also forgets the listings; for tests that rebuild trees between cases.
void clearAllLocalUsageCaches();

}  // namespace glimmet
