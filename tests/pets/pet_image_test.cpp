#include <gtest/gtest.h>

#include "pets/pet_catalog.hpp"
#include "pets/pet_image.hpp"
#include "pets/pet_test_images.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::TempDir;
using testing::writeText;

TEST(PetImage, DecodesToPremultipliedArgbAndScalesTheLongSideDown) {
  TempDir dir;
  // Left half opaque red, right half half-transparent white.
  writeText(dir.file("sheet.webp"), testing::encodeWebP(40, 20, [](int x, int) {
              return x < 20 ? 0xff0000ffu : 0xffffff80u;
            }));
  auto full = loadNormalizedPetImage(dir.file("sheet.webp"), 100);
  ASSERT_TRUE(full) << full.error();
  EXPECT_EQ(full.value().width, 40);
  EXPECT_EQ(full.value().height, 20);
  EXPECT_EQ(full.value().pixel(0, 0), 0xffff0000u);
  EXPECT_EQ(full.value().pixel(39, 19), 0x80808080u);  // colours premultiplied by alpha

  auto small = loadNormalizedPetImage(dir.file("sheet.webp"), 10);
  ASSERT_TRUE(small) << small.error();
  EXPECT_EQ(small.value().width, 10);
  EXPECT_EQ(small.value().height, 5);
  EXPECT_EQ(small.value().pixel(0, 0), 0xffff0000u);
  EXPECT_EQ(small.value().pixel(9, 4), 0x80808080u);
  EXPECT_EQ(petImageCacheCost(small.value()), 10u * 5u * 4u);

  // Averaging, not sampling: a 2 × 1 pair of black and white becomes one grey pixel.
  PetImage pair{2, 1, {0xff000000u, 0xffffffffu}};
  EXPECT_EQ(scaledDownPetImage(pair, 1).pixels, std::vector<uint32_t>{0xff808080u});
}

TEST(PetImage, RefusesCorruptForeignAndOversizedFilesWithAReason) {
  TempDir dir;
  // A real 600 × 600 WebP whose compressed data is then overwritten: the header still says
  // 600 × 600, the pixels cannot be decoded.
  std::string bytes = testing::encodeWebP(600, 600, [](int x, int y) {
    return (static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u) | 0xffu;
  });
  ASSERT_GT(bytes.size(), 1000u);
  for (size_t i = 40; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xa5 ^ (i * 31));
  writeText(dir.file("corrupt.webp"), bytes);
  auto corrupt = loadNormalizedPetImage(dir.file("corrupt.webp"), 512);
  ASSERT_FALSE(corrupt);
  EXPECT_NE(corrupt.error().find(dir.file("corrupt.webp")), std::string::npos) << corrupt.error();
  EXPECT_NE(corrupt.error().find("600 × 600 WebP data is damaged"), std::string::npos)
      << corrupt.error();

  writeText(dir.file("pet.png"), "\x89PNG\r\n\x1a\nnot really");
  auto foreign = loadNormalizedPetImage(dir.file("pet.png"), 512);
  ASSERT_FALSE(foreign);
  EXPECT_NE(foreign.error().find("is not a WebP image"), std::string::npos) << foreign.error();

  writeText(dir.file("wide.webp"), testing::solidWebP(kPetImageMaximumDimension + 1, 1, 0xffu));
  auto wide = loadNormalizedPetImage(dir.file("wide.webp"), 512);
  ASSERT_FALSE(wide);
  EXPECT_NE(wide.error().find("is too large (8193 × 1 pixels)"), std::string::npos) << wide.error();

  auto missing = loadNormalizedPetImage(dir.file("absent.webp"), 512);
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().find("missing"), std::string::npos) << missing.error();
  auto folder = loadNormalizedPetImage(dir.path(), 512);
  EXPECT_FALSE(folder);
}

TEST(PetImage, SpriteCellsSplitTheSheetIntoEightColumnsAndNineRows) {
  EXPECT_EQ(codexSpriteCellRect(1536, 1872, {0, 0, 0}), (PetImageRect{0, 0, 192, 208}));
  EXPECT_EQ(codexSpriteCellRect(1536, 1872, {8, 7, 0}), (PetImageRect{1344, 1664, 192, 208}));
  EXPECT_EQ(codexSpriteCellRect(1536, 1872, {5, 3, 0}), (PetImageRect{576, 1040, 192, 208}));
  // Sizes that do not divide evenly: the cells still tile the sheet without gaps.
  EXPECT_EQ(codexSpriteCellRect(100, 100, {0, 0, 0}), (PetImageRect{0, 0, 12, 11}));
  EXPECT_EQ(codexSpriteCellRect(100, 100, {8, 7, 0}), (PetImageRect{87, 88, 13, 12}));
}

// Whether any pixel of the cell is not fully transparent.
bool cellHasInk(const PetImage& sheet, int row, int column) {
  const PetImageRect cell = codexSpriteCellRect(sheet.width, sheet.height, {row, column, 0});
  for (int y = cell.y; y < cell.y + cell.height; ++y) {
    for (int x = cell.x; x < cell.x + cell.width; ++x) {
      if ((sheet.pixel(x, y) >> 24) != 0) return true;
    }
  }
  return false;
}

TEST(PetImage, TheShippedPebbleSheetHasEveryFrameTheStatesAnimateThrough) {
  const auto pets = loadCodexPetChoices(resourcePetsDirectory(), kPetManifestName,
                                        PetSourceKind::builtIn, "", false);
  ASSERT_EQ(pets.size(), 1u) << resourcePetsDirectory();
  EXPECT_EQ(pets[0].id, "pebble");
  EXPECT_EQ(pets[0].name, "Pebble");
  EXPECT_TRUE(pets[0].isCodexSprite);
  auto sheet = loadNormalizedPetImage(*pets[0].spritePath, 4096);
  ASSERT_TRUE(sheet) << sheet.error();
  EXPECT_EQ(sheet.value().width, 8 * 192);
  EXPECT_EQ(sheet.value().height, 9 * 208);
  for (const PetState state : {PetState::idle, PetState::working, PetState::approval,
                               PetState::done, PetState::error, PetState::tired}) {
    const CodexSpriteRow row = codexSpriteRow(state);
    for (int column = 0; column < static_cast<int>(row.frameDurationsMs.size()); ++column) {
      EXPECT_TRUE(cellHasInk(sheet.value(), row.rowIndex, column))
          << rawValue(state) << " column " << column;
    }
  }
  EXPECT_FALSE(cellHasInk(sheet.value(), 0, 7));  // idle has six frames; the rest stays empty
}

}  // namespace
}  // namespace glimmet
