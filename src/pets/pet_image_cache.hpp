#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "pets/pet_image.hpp"

namespace glimmet {

// Decoded pet images by file and size, shared by every view that draws pets. Sprite sheets are
// large once decoded, so the cache holds at most `countLimit` images and `costLimit` bytes of
// pixels and drops the least recently used first. Safe to use from several threads, so images
// can be warmed on a worker.
class SharedPetImageCache {
 public:
  static constexpr size_t kDefaultCountLimit = 12;
  static constexpr uint64_t kDefaultCostLimit = 33'554'432;  // 32 MiB

  explicit SharedPetImageCache(size_t countLimit = kDefaultCountLimit,
                               uint64_t costLimit = kDefaultCostLimit);

  // The process-wide cache.
  static SharedPetImageCache& shared();

  std::shared_ptr<const PetImage> find(const std::string& key);
  // Stores `image`, evicting older ones until both limits hold; an image costing more than the
  // whole cache is handed back without being kept.
  std::shared_ptr<const PetImage> insert(const std::string& key, PetImage image);
  // The cached image of `path` at `maximumPixelDimension`, loading it on a miss. A file that
  // cannot be loaded gives the reason, and is tried again next time.
  Result<std::shared_ptr<const PetImage>> load(const std::string& path, int maximumPixelDimension);
  void removeAll();

  size_t count() const;
  uint64_t totalCost() const;
  bool contains(const std::string& key) const;

  static std::string key(const std::string& path, int maximumPixelDimension);

 private:
  struct Entry {
    std::string key;
    std::shared_ptr<const PetImage> image;
    uint64_t cost = 0;
  };
  void evictLocked();

  const size_t countLimit_;
  const uint64_t costLimit_;
  mutable std::mutex mutex_;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
  uint64_t totalCost_ = 0;
};

// Loads the sprite sheets of `choices` into the shared cache ahead of drawing; returns the
// reasons of those that could not be loaded.
std::vector<std::string> warmPetImageCache(const std::vector<PetChoice>& choices,
                                           int maximumPixelDimension);

}  // namespace glimmet
