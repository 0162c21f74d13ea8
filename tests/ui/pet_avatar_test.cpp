#include <gtest/gtest.h>

#include <string>

#include "pets/pet_catalog.hpp"
#include "support/test_support.hpp"
#include "ui/cairo/image_surface.hpp"
#include "ui/cairo_test_support.hpp"
#include "ui/paint/pet_avatar.hpp"

namespace glimmet {
namespace {

ImageSurface drawn(const PetChoice& pet, PetState state, int64_t nowMs, bool reduceMotion) {
  auto image = renderToImage({48, 48}, 2, [&](Canvas& canvas) {
    drawPetAvatar(canvas, pet, {4, 4, 40, 40}, state, nowMs, reduceMotion);
  });
  if (!image) throw std::runtime_error(image.error());
  return std::move(image.value());
}

std::string pixelsOf(const ImageSurface& image) {
  std::string bytes;
  for (int y = 0; y < image.height(); ++y) {
    bytes.append(reinterpret_cast<const char*>(image.data()) + y * image.stride(),
                 image.width() * 4);
  }
  return bytes;
}

PetChoice pebble() {
  for (const auto& pet : loadCodexPetChoices(resourcePetsDirectory(), kPetManifestName,
                                             PetSourceKind::builtIn, "", false)) {
    if (pet.id == "pebble") return pet;
  }
  throw std::runtime_error("no Pebble in " + resourcePetsDirectory());
}

TEST(PetAvatar, ASpritePetDrawsTheCellOfItsStateAndClock) {
  const PetChoice pet = pebble();
  const Rect slot = testing::scaled({4, 4, 40, 40}, 2);
  const ImageSurface idle = drawn(pet, PetState::idle, 0, false);
  EXPECT_GT(testing::inkPixels(idle, slot, true), 400);
  EXPECT_EQ(testing::inkPixels(idle, slot, false), 0);  // never outside its slot

  // Working changes frame every 120 ms; within one frame the picture stays put.
  const std::string working0 = pixelsOf(drawn(pet, PetState::working, 0, false));
  EXPECT_EQ(pixelsOf(drawn(pet, PetState::working, 119, false)), working0);
  EXPECT_NE(pixelsOf(drawn(pet, PetState::working, 120, false)), working0);
  // Reduced motion holds the first frame whatever the clock says.
  EXPECT_EQ(pixelsOf(drawn(pet, PetState::working, 120, true)), working0);
  EXPECT_NE(pixelsOf(drawn(pet, PetState::idle, 0, true)), working0);
}

TEST(PetAvatar, BuiltInPetsAreDrawnAndABrokenSheetFallsBackToTheCapybara) {
  const std::string capybara = pixelsOf(drawn(defaultPetChoice(), PetState::idle, 0, true));
  const std::string cat = pixelsOf(drawn(glimCatPetChoice(), PetState::idle, 0, true));
  EXPECT_NE(capybara, cat);
  EXPECT_GT(testing::inkPixels(drawn(glimCatPetChoice(), PetState::idle, 0, true),
                               testing::scaled({4, 4, 40, 40}, 2), true),
            400);
  // The cat dances while the agents work, and only then.
  EXPECT_NE(pixelsOf(drawn(glimCatPetChoice(), PetState::working, 0, false)),
            pixelsOf(drawn(glimCatPetChoice(), PetState::working, 300, false)));
  EXPECT_EQ(pixelsOf(drawn(glimCatPetChoice(), PetState::working, 0, true)),
            pixelsOf(drawn(glimCatPetChoice(), PetState::working, 300, true)));

  testing::TempDir dir;
  testing::writeText(dir.file("spritesheet.webp"), "RIFF-but-not-really-WEBP");
  PetChoice broken = pebble();
  broken.spritePath = dir.file("spritesheet.webp");
  EXPECT_EQ(pixelsOf(drawn(broken, PetState::idle, 0, true)), capybara);
}

}  // namespace
}  // namespace glimmet
