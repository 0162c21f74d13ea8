#include <gtest/gtest.h>

#include "pets/pet_image_cache.hpp"
#include "pets/pet_test_images.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

PetImage imageOf(int width, int height) {
  return {width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, 0xff000000u)};
}

TEST(SharedPetImageCache, KeepsTwelveImagesAndDropsTheLeastRecentlyUsed) {
  SharedPetImageCache cache;
  for (int i = 0; i < 12; ++i) (void)cache.insert("pet" + std::to_string(i), imageOf(4, 4));
  EXPECT_EQ(cache.count(), 12u);
  EXPECT_EQ(cache.totalCost(), 12u * 64u);
  ASSERT_NE(cache.find("pet0"), nullptr);  // pet0 is now the most recently used

  (void)cache.insert("pet12", imageOf(4, 4));
  EXPECT_EQ(cache.count(), 12u);
  EXPECT_TRUE(cache.contains("pet0"));
  EXPECT_FALSE(cache.contains("pet1"));  // the oldest untouched one went
  EXPECT_TRUE(cache.contains("pet12"));

  // Replacing a key does not count twice.
  (void)cache.insert("pet12", imageOf(2, 2));
  EXPECT_EQ(cache.count(), 12u);
  EXPECT_EQ(cache.totalCost(), 11u * 64u + 16u);
}

TEST(SharedPetImageCache, KeepsTheTotalCostUnderThirtyTwoMebibytes) {
  SharedPetImageCache cache;
  // 1536 × 1872 × 4 bytes: a full Codex sheet costs about 11 MiB, so two fit and a third does not.
  const uint64_t sheetCost = 1536ull * 1872ull * 4ull;
  (void)cache.insert("a", imageOf(1536, 1872));
  (void)cache.insert("b", imageOf(1536, 1872));
  EXPECT_EQ(cache.totalCost(), 2 * sheetCost);
  (void)cache.find("a");
  (void)cache.insert("c", imageOf(1536, 1872));
  EXPECT_EQ(cache.count(), 2u);
  EXPECT_TRUE(cache.contains("a"));
  EXPECT_FALSE(cache.contains("b"));
  EXPECT_TRUE(cache.contains("c"));
  EXPECT_LE(cache.totalCost(), SharedPetImageCache::kDefaultCostLimit);

  // Exactly the limit fits; one byte over is handed back but never kept.
  SharedPetImageCache exact(12, 64);
  (void)exact.insert("fits", imageOf(4, 4));
  EXPECT_TRUE(exact.contains("fits"));
  auto huge = exact.insert("huge", imageOf(17, 1));
  ASSERT_NE(huge, nullptr);
  EXPECT_EQ(huge->width, 17);
  EXPECT_FALSE(exact.contains("huge"));
  EXPECT_TRUE(exact.contains("fits"));
}

TEST(SharedPetImageCache, LoadsOnceAndRetriesFilesThatFailed) {
  testing::TempDir dir;
  SharedPetImageCache cache;
  const std::string path = dir.file("sheet.webp");
  auto missing = cache.load(path, 64);
  ASSERT_FALSE(missing);
  EXPECT_EQ(cache.count(), 0u);

  testing::writeText(path, testing::solidWebP(128, 32, 0x00ff00ffu));
  auto first = cache.load(path, 64);
  ASSERT_TRUE(first) << first.error();
  EXPECT_EQ(first.value()->width, 64);
  EXPECT_EQ(first.value()->height, 16);
  // Served from memory: the file being gone does not matter any more.
  testing::writeText(path, "gone");
  auto second = cache.load(path, 64);
  ASSERT_TRUE(second);
  EXPECT_EQ(second.value().get(), first.value().get());
  // Another size is another entry, read from the file again.
  EXPECT_FALSE(cache.load(path, 32));
}

}  // namespace
}  // namespace glimmet
