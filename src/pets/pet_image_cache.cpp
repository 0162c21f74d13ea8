#include "pets/pet_image_cache.hpp"

namespace glimmet {

SharedPetImageCache::SharedPetImageCache(size_t countLimit, uint64_t costLimit)
    : countLimit_(countLimit), costLimit_(costLimit) {}

SharedPetImageCache& SharedPetImageCache::shared() {
  static SharedPetImageCache* cache = new SharedPetImageCache();  // lives as long as the process
  return *cache;
}

std::string SharedPetImageCache::key(const std::string& path, int maximumPixelDimension) {
  return std::to_string(maximumPixelDimension) + ":" + path;
}

std::shared_ptr<const PetImage> SharedPetImageCache::find(const std::string& key) {
  std::lock_guard lock(mutex_);
  const auto found = index_.find(key);
  if (found == index_.end()) return nullptr;
  entries_.splice(entries_.begin(), entries_, found->second);
  return found->second->image;
}

std::shared_ptr<const PetImage> SharedPetImageCache::insert(const std::string& key,
                                                            PetImage image) {
  const uint64_t cost = petImageCacheCost(image);
  auto shared = std::make_shared<const PetImage>(std::move(image));
  std::lock_guard lock(mutex_);
  if (const auto found = index_.find(key); found != index_.end()) {
    totalCost_ -= found->second->cost;
    entries_.erase(found->second);
    index_.erase(found);
  }
  if (cost > costLimit_ || countLimit_ == 0) return shared;
  entries_.push_front({key, shared, cost});
  index_[key] = entries_.begin();
  totalCost_ += cost;
  evictLocked();
  return shared;
}

void SharedPetImageCache::evictLocked() {
  while (!entries_.empty() && (entries_.size() > countLimit_ || totalCost_ > costLimit_)) {
    totalCost_ -= entries_.back().cost;
    index_.erase(entries_.back().key);
    entries_.pop_back();
  }
}

Result<std::shared_ptr<const PetImage>> SharedPetImageCache::load(const std::string& path,
                                                                  int maximumPixelDimension) {
  const std::string cacheKey = key(path, maximumPixelDimension);
  if (auto image = find(cacheKey)) return image;
  auto loaded = loadNormalizedPetImage(path, maximumPixelDimension);
  if (!loaded) return Result<std::shared_ptr<const PetImage>>::failure(loaded.error());
  return insert(cacheKey, std::move(loaded.value()));
}

void SharedPetImageCache::removeAll() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  index_.clear();
  totalCost_ = 0;
}

size_t SharedPetImageCache::count() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

uint64_t SharedPetImageCache::totalCost() const {
  std::lock_guard lock(mutex_);
  return totalCost_;
}

bool SharedPetImageCache::contains(const std::string& key) const {
  std::lock_guard lock(mutex_);
  return index_.contains(key);
}

std::vector<std::string> warmPetImageCache(const std::vector<PetChoice>& choices,
                                           int maximumPixelDimension) {
  std::vector<std::string> problems;
  for (const PetChoice& choice : choices) {
    if (!choice.isCodexSprite || !choice.spritePath) continue;
    auto image = SharedPetImageCache::shared().load(*choice.spritePath, maximumPixelDimension);
    if (!image) problems.push_back(image.error());
  }
  return problems;
}

}  // namespace glimmet
