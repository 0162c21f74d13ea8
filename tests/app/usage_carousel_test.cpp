// The usage carousel the core publishes: which brands enter it, with which snapshot, and how
// often the tools' health behind it is looked at again.

#include "app/usage_carousel.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/core.hpp"
#include "base/json_values.hpp"
#include "model/tool_catalog.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::appendText;
using glimmet::testing::TempDir;

Json usageLine(const std::string& id, const std::string& source, Json usage,
               const std::string& observedAt) {
  usage["observed_at"] = observedAt;
  return {{"event_id", id},           {"source", source},
          {"session_id", "s-" + id},  {"notify_policy", "usage_only"},
          {"title", "Usage"},         {"timestamp", observedAt},
          {"usage", std::move(usage)}};
}

// A store over `dir`'s event file that reads everything at once.
EventStoreOptions storeOptions(const TempDir& dir) {
  EventStoreOptions options;
  options.eventFile = dir.file("events.jsonl");
  options.auditFile = dir.file("audit.jsonl");
  options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
  options.isolated = true;
  return options;
}

ToolHealth healthy(const std::string& id) {
  const AIToolCatalogItem* item = catalogItem(id);
  EXPECT_NE(item, nullptr) << id;
  ToolHealth row;
  row.id = id;
  row.name = item ? item->name : id;
  row.product = item ? item->product : id;
  row.capabilities = item ? item->capabilities : std::vector<std::string>{};
  row.detected = true;
  row.status = HookStatus::healthy;
  return row;
}

TEST(UsageCarousel, BrandsGatherTheirToolsAndHealthIsReadAgainOnlyEvery15Seconds) {
  TempDir dir;
  const Timestamp start = systemNow();
  const std::string now = formatIso8601(start);
  appendText(
      dir.file("events.jsonl"),
      usageLine("u1", "codex", {{"data_source", "rollout"}, {"five_hour_percent", 13}}, now)
              .dump() +
          "\n" +
          usageLine("u2", "claude-code", {{"five_hour_percent", 42}, {"weekly_percent", 18}}, now)
              .dump() +
          "\n");
  MainLoop loop;
  EventStore store(loop, storeOptions(dir));
  store.reload(true);

  int reads = 0;
  UsageCarouselInputs inputs{{healthy("codex-cli"), healthy("claude-code")}, {}, false};
  UsageCarousel carousel([&] {
    ++reads;
    return inputs;
  });
  auto brands = [](const std::vector<UsageCarouselEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.brand);
    return names;
  };
  auto entries = carousel.entries(store, start);
  // Eligibility order, which follows the tools' health order.
  EXPECT_EQ(brands(entries), (std::vector<std::string>{"Codex", "Claude"}));
  // Claude Code's snapshot stands for the whole Claude brand.
  EXPECT_EQ(entries[1].snapshot.toolID, "claude-code");
  EXPECT_EQ(entries[1].snapshot.fiveHour->percent, 42.0);

  // The user turns the Codex CLI off: seen at the first look 15 s after the last one, not before.
  inputs.disabledToolIDs = {"codex-cli"};
  const auto later = [&](double seconds) {
    return start + std::chrono::duration_cast<Timestamp::duration>(Seconds(seconds));
  };
  EXPECT_EQ(brands(carousel.entries(store, later(14.9))).size(), 2u);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(brands(carousel.entries(store, later(15))), (std::vector<std::string>{"Claude"}));
  EXPECT_EQ(reads, 2);
  // An install or a settings change asks for a fresh look at once.
  inputs.disabledToolIDs.clear();
  carousel.invalidate();
  EXPECT_EQ(carousel.entries(store, later(16)).size(), 2u);
  EXPECT_EQ(reads, 3);
  // A clock set back is a reason to look again, not to keep the old health for ever.
  carousel.entries(store, later(1));
  EXPECT_EQ(reads, 4);

  // No eligible tool: an empty carousel, never a fixed list.
  EXPECT_TRUE(usageCarouselEntries({}, store).empty());
  EXPECT_TRUE(usageCarouselEntries({"Cursor"}, store).empty());
}

// A running core reads the health on a worker: the carousel keeps to the inputs it has until
// the read comes back, asks once however often it is looked at meanwhile, reads again when it
// was invalidated during the read, and a read that comes back too late does nothing.
TEST(UsageCarousel, AnAsynchronousReadKeepsTheLastInputsUntilItIsIn) {
  TempDir dir;
  const Timestamp start = systemNow();
  appendText(
      dir.file("events.jsonl"),
      usageLine("u1", "codex", {{"five_hour_percent", 13}}, formatIso8601(start)).dump() + "\n");
  MainLoop loop;
  EventStore store(loop, storeOptions(dir));
  store.reload(true);

  std::vector<std::function<void(UsageCarouselInputs)>> pending;
  int arrivals = 0;
  auto carousel = std::make_unique<UsageCarousel>([]() -> UsageCarouselInputs {
    ADD_FAILURE() << "read on the loop";
    return {};
  });
  carousel->readAsynchronously(
      [&](std::function<void(UsageCarouselInputs)> deliver) { pending.push_back(deliver); },
      [&] { ++arrivals; });
  const UsageCarouselInputs codex{{healthy("codex-cli")}, {}, false};

  EXPECT_TRUE(carousel->entries(store, start).empty());
  EXPECT_TRUE(carousel->entries(store, start).empty());
  ASSERT_EQ(pending.size(), 1u);
  pending[0](codex);
  EXPECT_EQ(arrivals, 1);
  ASSERT_EQ(carousel->entries(store, start).size(), 1u);
  EXPECT_EQ(pending.size(), 1u);

  // Invalidated while a read is under way: that read's answer is used, and another one asked.
  carousel->invalidate();
  carousel->entries(store, start);
  ASSERT_EQ(pending.size(), 2u);
  carousel->invalidate();
  pending[1](UsageCarouselInputs{});
  EXPECT_EQ(arrivals, 2);
  EXPECT_TRUE(carousel->entries(store, start).empty());
  ASSERT_EQ(pending.size(), 3u);

  carousel.reset();
  pending[2](codex);
  EXPECT_EQ(arrivals, 2);
}

// The running core on a temp home whose search path holds a stand-in `codex`: the Codex CLI's
// rollout usage enters the published carousel; Claude Code's usage stays out, since Claude Code
// is not installed there.
TEST(UsageCarousel, TheCorePublishesTheCarouselOfTheToolsOnThisMachine) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("home"));
  std::filesystem::create_directories(dir.file("bin"));
  glimmet::testing::writeText(dir.file("bin/codex"), "#!/bin/sh\nexit 0\n");
  ::chmod(dir.file("bin/codex").c_str(), 0755);
  const std::string now = formatIso8601(systemNow());
  appendText(
      dir.file("events.jsonl"),
      usageLine("u1", "codex",
                {{"data_source", "rollout"}, {"five_hour_percent", 12.5}, {"weekly_percent", 40}},
                now)
              .dump() +
          "\n" + usageLine("u2", "claude-code", {{"five_hour_percent", 42}}, now).dump() + "\n");
  Environment environment;
  environment.set("HOME", dir.file("home"));
  environment.set("PATH", dir.file("bin"));
  environment.set("XDG_DATA_HOME", dir.file("data"));
  environment.set("XDG_CONFIG_HOME", dir.file("config"));
  environment.set("XDG_DATA_DIRS", dir.file("share"));
  environment.set("GLIMMET_EVENT_FILE", dir.file("events.jsonl"));
  Core core(environment, false);
  core.start();
  ASSERT_TRUE(
      core.loop().runUntil([&] { return !core.snapshot()->usageCarousel.empty(); }, Seconds(10.0)));
  const auto& carousel = core.snapshot()->usageCarousel;
  ASSERT_EQ(carousel.size(), 1u);
  EXPECT_EQ(carousel[0].brand, "Codex");
  EXPECT_EQ(carousel[0].snapshot.toolID, "codex-cli");
  EXPECT_EQ(expandedTopQuotaText(carousel[0].snapshot), "5h 13% · 7d 40%");
  core.shutDown();
}

}  // namespace
}  // namespace glimmet
