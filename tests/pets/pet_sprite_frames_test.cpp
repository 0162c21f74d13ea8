#include <gtest/gtest.h>

#include "model/pet_choice.hpp"

namespace glimmet {
namespace {

// The column shown at each time, for a table of (time, column).
void expectColumns(PetState state, int row, std::initializer_list<std::pair<int64_t, int>> cases) {
  for (const auto& [ms, column] : cases) {
    const CodexSpriteFrame frame = activeCodexSpriteFrame(state, false, ms);
    EXPECT_EQ(frame.rowIndex, row) << rawValue(state) << " at " << ms;
    EXPECT_EQ(frame.columnIndex, column) << rawValue(state) << " at " << ms;
  }
}

TEST(PetSpriteFrames, EachStateWalksItsRowAndWrapsAfterTheTotalDuration) {
  // Idle: 1680, 660, 660, 840, 840, 1920 = 6600 ms.
  expectColumns(PetState::idle, 0,
                {{0, 0},
                 {1679, 0},
                 {1680, 1},
                 {2339, 1},
                 {2340, 2},
                 {2999, 2},
                 {3000, 3},
                 {3839, 3},
                 {3840, 4},
                 {4679, 4},
                 {4680, 5},
                 {6599, 5},
                 {6600, 0},
                 {8279, 0},
                 {8280, 1}});
  EXPECT_EQ(activeCodexSpriteFrame(PetState::idle, false, 0).frameDurationMs, 1680);
  EXPECT_EQ(activeCodexSpriteFrame(PetState::idle, false, 6599).frameDurationMs, 1920);

  // Error and tired share row 5: seven frames of 140 ms and a last of 240 (1220 ms).
  for (const PetState state : {PetState::error, PetState::tired}) {
    expectColumns(state, 5, {{0, 0}, {139, 0}, {140, 1}, {979, 6}, {980, 7}, {1219, 7}, {1220, 0}});
  }
  EXPECT_EQ(activeCodexSpriteFrame(PetState::tired, false, 1000).frameDurationMs, 240);

  // Approval, row 6: five of 150 and 260 (1010 ms).
  expectColumns(PetState::approval, 6,
                {{149, 0}, {150, 1}, {749, 4}, {750, 5}, {1009, 5}, {1010, 0}, {1160, 1}});
  // Working, row 7: five of 120 and 220 (820 ms).
  expectColumns(PetState::working, 7,
                {{119, 0}, {120, 1}, {599, 4}, {600, 5}, {819, 5}, {820, 0}, {940, 1}});
  // Done, row 8: five of 150 and 280 (1030 ms).
  expectColumns(PetState::done, 8, {{149, 0}, {150, 1}, {750, 5}, {1029, 5}, {1030, 0}});

  // A clock before its epoch still counts forwards through the loop.
  expectColumns(PetState::working, 7, {{-1, 5}, {-220, 5}, {-221, 4}});
}

TEST(PetSpriteFrames, ReducedMotionHoldsTheFirstFrameOfTheStateRow) {
  for (const int64_t ms : {int64_t{0}, int64_t{1680}, int64_t{5000}, int64_t{123456789}}) {
    EXPECT_EQ(activeCodexSpriteFrame(PetState::idle, true, ms), (CodexSpriteFrame{0, 0, 1680}));
    EXPECT_EQ(activeCodexSpriteFrame(PetState::error, true, ms), (CodexSpriteFrame{5, 0, 140}));
    EXPECT_EQ(activeCodexSpriteFrame(PetState::tired, true, ms), (CodexSpriteFrame{5, 0, 140}));
    EXPECT_EQ(activeCodexSpriteFrame(PetState::approval, true, ms), (CodexSpriteFrame{6, 0, 150}));
    EXPECT_EQ(activeCodexSpriteFrame(PetState::working, true, ms), (CodexSpriteFrame{7, 0, 120}));
    EXPECT_EQ(activeCodexSpriteFrame(PetState::done, true, ms), (CodexSpriteFrame{8, 0, 150}));
  }
}

TEST(PetPreviewMotion, RoamingEasesBetweenItsStopsAndFloatingBobsTwoPoints) {
  EXPECT_DOUBLE_EQ(livePreviewRoamingLeftPct(0), 24);
  EXPECT_DOUBLE_EQ(livePreviewRoamingLeftPct(1.6), 58);
  EXPECT_NEAR(livePreviewRoamingLeftPct(0.8), 41, 1e-9);         // half way out: 24 + 17
  EXPECT_NEAR(livePreviewRoamingLeftPct(3.2 - 1e-9), 42, 1e-6);  // the way back ends at 42
  EXPECT_NEAR(livePreviewRoamingLeftPct(3.2), 24, 1e-9);         // then the loop starts over
  EXPECT_NEAR(livePreviewRoamingLeftPct(-1.6), 58, 1e-9);        // negative phases fold forward
  EXPECT_NEAR(livePreviewRoamingLeftPct(2.4), 50, 1e-9);         // 58 − 16 × ½

  EXPECT_DOUBLE_EQ(livePreviewFloatingY(1.5), -2);
  EXPECT_DOUBLE_EQ(livePreviewFloatingY(0), 0);
  EXPECT_NEAR(livePreviewFloatingY(0.75), -1, 1e-12);
  EXPECT_NEAR(livePreviewFloatingY(4.5), -2, 1e-12);
  EXPECT_NEAR(livePreviewFloatingY(-1.5), -2, 1e-12);
}

TEST(PetProvenance, BadgesAuthorsAndHostsFollowWhereThePetCameFrom) {
  PetChoice pet;
  EXPECT_EQ(sourceBadgeLabel(pet), "Built-in");
  EXPECT_EQ(petProvenanceDetail(pet), "Built-in");
  EXPECT_EQ(authorBadgeLabel(pet), std::nullopt);

  pet.sourceKind = PetSourceKind::generated;
  EXPECT_EQ(petProvenanceDetail(pet), "Generated");

  pet.sourceKind = PetSourceKind::codexPetsNet;
  pet.sourceURL = "https://www.Codex-Pets.net:443/pets/capy?x=1";
  pet.authorHandle = "capyfan";
  pet.sourceLabel = "Gallery";
  EXPECT_EQ(sourceBadgeLabel(pet), "Community");
  EXPECT_EQ(authorBadgeLabel(pet), "@capyfan");
  EXPECT_EQ(petProvenanceDetail(pet), "codex-pets.net · by @capyfan · Gallery");
  pet.websiteTag = "Pet of the week";
  EXPECT_EQ(petProvenanceDetail(pet), "Pet of the week · by @capyfan · Gallery");

  pet.badge = "  New ";
  EXPECT_EQ(sourceBadgeLabel(pet), "New");
  pet.authorHandle = "@already";
  EXPECT_EQ(authorBadgeLabel(pet), "@already");
  pet.authorHandle = " ";
  pet.authorName = "Ada";
  EXPECT_EQ(authorBadgeLabel(pet), "Ada");

  PetChoice codex;
  codex.sourceKind = PetSourceKind::codexPet;
  EXPECT_EQ(petProvenanceDetail(codex), "From ~/.codex/pets");
  codex.sourceKind = PetSourceKind::glimmetPet;
  EXPECT_EQ(petProvenanceDetail(codex), "Imported");

  EXPECT_EQ(sourceHost("http://user@example.org/a"), "example.org");
  EXPECT_EQ(sourceHost("https://pets.example.com#top"), "pets.example.com");
  EXPECT_EQ(sourceHost("ftp://example.org"), std::nullopt);
  EXPECT_EQ(sourceHost("https://"), std::nullopt);
  EXPECT_EQ(sourceHost("not a url"), std::nullopt);
}

}  // namespace
}  // namespace glimmet
