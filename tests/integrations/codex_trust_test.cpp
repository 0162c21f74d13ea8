#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <toml++/toml.h>

#include "base/json_values.hpp"
#include "base/sha256.hpp"
#include "base/text.hpp"
#include "hook_test_support.hpp"
#include "integrations/codex_hook_trust.hpp"
#include "integrations/codex_trust_toml.hpp"
#include "integrations/hook_config_json.hpp"

namespace glimmet {
namespace {

using testing::backupsOf;
using testing::fixturePath;
using testing::healthRow;
using testing::readText;
using testing::ticking;
using testing::ToolWorld;
using testing::writeText;

ConfigJson parsedHooks(std::string_view text) {
  return parseConfigObject("hooks.json", text).value();
}

// The trusted hashes of config.toml as toml++ reads them, by key.
std::map<std::string, std::string> trustedHashesOf(const std::string& configPath) {
  std::map<std::string, std::string> hashes;
  const toml::table config = toml::parse_file(configPath);
  const toml::table* state = config["hooks"]["state"].as_table();
  if (!state) return hashes;
  for (const auto& [key, entry] : *state) {
    hashes[std::string(key.str())] = entry.as_table()->at("trusted_hash").value_or<std::string>("");
  }
  return hashes;
}

// The trust every Glimmet handler in the installed hooks.json needs, by key.
std::map<std::string, std::string> wantedHashes(const HookManager& manager) {
  std::map<std::string, std::string> hashes;
  for (const auto& hook :
       glimmetCodexHookTrust(manager.codexHooks(), parsedHooks(readText(manager.codexHooks())),
                             manager.locations().bridgeDirectory)) {
    hashes[hook.key] = hook.hash;
  }
  return hashes;
}

TEST(Sha256Test, KnownVectors) {
  EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256Hex("Glimmet – ü"),
            "01fbd86a0f8b7d019226ffba16f454e5925edb1381c4bac575f649f6409b3b57");
}

// Codex's own answer for the fixture file: matcher or none, explicit and default timeout, async
// and a status message all change the hash.
TEST(CodexTrustTest, HashesAndKeysMatchWhatCodexReports) {
  const ConfigJson file =
      parsedHooks(readText(fixturePath("agents/codex-0.169.0-trust/hooks.json")));
  const Json listed =
      Json::parse(readText(fixturePath("agents/codex-0.169.0-trust/hooks-list.json")));
  const std::string hooksPath = "/home/dev/.codex/hooks.json";

  std::map<std::string, std::string> computed;
  for (const auto& hook : glimmetCodexHookTrust(hooksPath, file, "/home/dev/.glimmet/bin")) {
    computed[hook.key] = hook.hash;
  }
  std::map<std::string, std::string> reported;
  for (const auto& entry : listed) reported[entry["key"]] = entry["currentHash"];
  EXPECT_EQ(computed, reported);
  EXPECT_EQ(computed,
            (std::map<std::string, std::string>{
                {hooksPath + ":pre_tool_use:0:0",
                 "sha256:a3a5df346fc61522e5d31dbb56f475a04146a6fd0c0d9155d566916bba3c78f7"},
                {hooksPath + ":permission_request:0:0",
                 "sha256:c9c57d122b96c97a40e14920a60febbb6c978e1e55ef1c15ae5a0344c601c730"},
                {hooksPath + ":user_prompt_submit:0:0",
                 "sha256:4120040a7edc83940072095fd6ac0660ba283000c05e87d6fb0720eb0d4428e4"},
                {hooksPath + ":stop:0:0",
                 "sha256:b30292f9eed2a31c398d58aeedec45ed80b68832a0f49fe0223bf4b3b205f7d1"},
            }));
  // Another bridge directory owns none of them.
  EXPECT_TRUE(glimmetCodexHookTrust(hooksPath, file, "/home/dev/.glimmet").empty());

  // Non-ASCII text is hashed as raw UTF-8, as Codex writes it; a matcher on an event that takes
  // none is left out.
  const ConfigJson unicode = parsedHooks(R"({"hooks":{"Stop":[{"matcher":"x","hooks":[
      {"type":"command","command":"/home/dev/.glimmet/bin/glimmet-event --source codex",
       "statusMessage":"Glimmet – prüft \"ok\"\t"}]}]}})");
  const auto hooks = codexHookTrustOf(hooksPath, unicode);
  ASSERT_EQ(hooks.size(), 1u);
  EXPECT_EQ(hooks[0].hash,
            "sha256:e06fde4586081ad26fd6a7b980e67b8259cc91f93cd5c2b5d33f3792e489cef5");
}

TEST(CodexTrustTest, ForeignGroupsBeforeOursShiftTheKeys) {
  ToolWorld world;
  const HookManager manager = world.manager();
  ToolWorld::makeFile(manager.codexHooks(), false, R"({"hooks":{
      "PermissionRequest":[
        {"matcher":"Bash","hooks":[{"type":"command","command":"audit-a"}]},
        {"hooks":[{"type":"command","command":"audit-b"},{"type":"command","command":"audit-c"}]}],
      "Stop":[{"hooks":[{"type":"command","command":"say done"}]}]}})");
  ASSERT_TRUE(manager.install("codex-cli").ok());

  const std::string prefix = manager.codexHooks() + ":";
  const auto wanted = wantedHashes(manager);
  std::vector<std::string> keys;
  for (const auto& [key, hash] : wanted) keys.push_back(key.substr(prefix.size()));
  EXPECT_EQ(keys, (std::vector<std::string>{"permission_request:2:0", "permission_request:3:0",
                                            "stop:1:0", "user_prompt_submit:0:0"}));
  // The written file parses and trusts exactly Glimmet's handlers with their current hashes.
  EXPECT_EQ(trustedHashesOf(manager.codexConfig()), wanted);
  EXPECT_EQ(codexTrustRecordKeys(readText(manager.codexTrustRecord())).size(), 4u);
  EXPECT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
}

TEST(CodexTrustTest, SecondInstallWritesNothing) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(100));
  ToolWorld::makeFile(manager.codexConfig(), false, "model = \"o3\"\n");
  ASSERT_TRUE(manager.install("codex-cli").ok());
  const std::string config = readText(manager.codexConfig());
  const auto recordTime = std::filesystem::last_write_time(manager.codexTrustRecord());
  ASSERT_TRUE(manager.install("codex-cli").ok());
  EXPECT_EQ(readText(manager.codexConfig()), config);
  EXPECT_EQ(backupsOf(manager.codexConfig()).size(), 1u);
  EXPECT_TRUE(backupsOf(manager.codexHooks()).empty());
  EXPECT_EQ(std::filesystem::last_write_time(manager.codexTrustRecord()), recordTime);
}

TEST(CodexTrustTest, ForeignEntriesStayAndOnlyRecordedStaleOnesGo) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const std::string hooksPath = manager.codexHooks();
  ASSERT_TRUE(manager.install("codex-cli").ok());
  const auto wanted = wantedHashes(manager);
  const std::string ours = wanted.begin()->first;

  // What an upgrade finds: one of Glimmet's entries holds an old hash, another addresses a hook
  // that is gone, the user trusted a hook of their own, and an entry nobody recorded addresses
  // nothing at all.
  const std::string installed = readText(manager.codexConfig());
  const std::string foreign = "[hooks.state.\"" + hooksPath +
                              ":session_start:0:0\"]  # my own hook\n"
                              "trusted_hash = \"sha256:feed\"\n"
                              "enabled = true\n";
  const std::string orphan = "[hooks.state.\"" + hooksPath +
                             ":stop:7:0\"]\n"
                             "trusted_hash = \"sha256:0ld\"\n";
  const std::string config = installed.substr(0, installed.find("\n[hooks.state.")) +
                             "\n[hooks]\n\n" + foreign + "\n[hooks.state.\"" + ours +
                             "\"]\ntrusted_hash = \"sha256:stale\"\n" + "\n[hooks.state.\"" +
                             hooksPath +
                             ":pre_tool_use:4:0\"]\ntrusted_hash = \"sha256:gone\"\n\n"
                             "# projects follow\n[projects.\"/home/me/app\"]\n"
                             "trust_level = \"trusted\"\n\n" +
                             orphan;
  writeText(manager.codexConfig(), config);
  auto recorded = codexTrustRecordKeys(readText(manager.codexTrustRecord()));
  recorded.push_back(hooksPath + ":pre_tool_use:4:0");
  writeText(manager.codexTrustRecord(), Json{{"keys", recorded}}.dump());
  EXPECT_EQ(
      healthRow(manager.health(), "codex-cli").detail,
      "Install or repair Codex CLI notify and hooks (missing hook trust, current hook trust)");

  ASSERT_TRUE(manager.install("codex-cli").ok());
  const std::string written = readText(manager.codexConfig());
  EXPECT_TRUE(contains(written, "\n[hooks]\n\n" + foreign + "\n[hooks.state.")) << written;
  EXPECT_TRUE(contains(written, orphan)) << written;
  EXPECT_TRUE(contains(written, "\n# projects follow\n[projects.")) << written;
  EXPECT_FALSE(contains(written, "pre_tool_use:4:0")) << written;
  EXPECT_FALSE(contains(written, "sha256:stale")) << written;
  auto expected = wanted;
  expected[hooksPath + ":session_start:0:0"] = "sha256:feed";
  expected[hooksPath + ":stop:7:0"] = "sha256:0ld";
  EXPECT_EQ(trustedHashesOf(manager.codexConfig()), expected);
  EXPECT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
}

TEST(CodexTrustTest, RecordedKeyNowTrustedForTheUsersHookStays) {
  // Glimmet's hook moved away from index 0; the user trusted the hook that took its place.
  const std::string hooksPath = "/h/.codex/hooks.json";
  const auto present = codexHookTrustOf(
      hooksPath,
      parsedHooks(R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":"x"}]}]}})"));
  const std::string config =
      "[hooks.state.\"" + present[0].key + "\"]\ntrusted_hash = \"" + present[0].hash + "\"\n";
  const auto planned = planCodexHookTrust("config.toml", config, {}, present, {present[0].key});
  ASSERT_TRUE(planned.ok()) << planned.error();
  EXPECT_EQ(planned.value(), config);
  // With a hash for Glimmet's old hook it goes.
  const std::string stale =
      "a = 1\n\n[hooks.state.\"" + present[0].key + "\"]\ntrusted_hash = \"sha256:old\"\n";
  EXPECT_EQ(planCodexHookTrust("config.toml", stale, {}, present, {present[0].key}).value(),
            "a = 1\n");
}

TEST(CodexTrustTest, KeysWithQuotesSpacesAndControlCharactersAreEscaped) {
  const std::string hooksPath = "/home/Jo \"Q\" \\ Doe/\t.codex/hooks.json";
  const CodexHookTrust hook{hooksPath + ":stop:0:0", "sha256:abc", "Stop"};
  const auto planned = planCodexHookTrust("config.toml", "[hooks]\n", {hook}, {hook}, {});
  ASSERT_TRUE(planned.ok()) << planned.error();
  const toml::table parsed = toml::parse(planned.value());
  EXPECT_EQ(parsed["hooks"]["state"][hook.key]["trusted_hash"].value<std::string>(), hook.hash);
  // Setting a new hash finds the escaped header again rather than adding a second table.
  const CodexHookTrust changed{hook.key, "sha256:def", "Stop"};
  const auto updated = planCodexHookTrust("config.toml", planned.value(), {changed}, {changed}, {});
  ASSERT_TRUE(updated.ok()) << updated.error();
  EXPECT_EQ(updated.value(), replaceAll(planned.value(), "sha256:abc", "sha256:def"));
}

TEST(CodexTrustTest, ForeignEntriesInOtherSpellingsStayAsWritten) {
  const CodexHookTrust hook{"/h/.codex/hooks.json:stop:1:0", "sha256:abc", "Stop"};
  for (const std::string text : {
           "[hooks]\nstate.\"/h/.codex/hooks.json:stop:0:0\".trusted_hash = \"sha256:f\"\n",
           "[hooks.state]\n\"/h/.codex/hooks.json:stop:0:0\" = { trusted_hash = \"sha256:f\" }\n",
           "hooks.state.\"/h/.codex/hooks.json:stop:0:0\".trusted_hash = \"sha256:f\"\n",
           "[hooks.state.'/h/.codex/hooks.json:stop:0:0']\ntrusted_hash = 'sha256:f'",
       }) {
    SCOPED_TRACE(text);
    const auto planned = planCodexHookTrust("config.toml", text, {hook}, {hook}, {});
    ASSERT_TRUE(planned.ok()) << planned.error();
    EXPECT_TRUE(planned.value().starts_with(text)) << planned.value();
    const toml::table parsed = toml::parse(planned.value());
    const auto& state = parsed["hooks"]["state"];
    EXPECT_EQ(state["/h/.codex/hooks.json:stop:0:0"]["trusted_hash"].value<std::string>(),
              "sha256:f");
    EXPECT_EQ(state[hook.key]["trusted_hash"].value<std::string>(), hook.hash);
  }
}

TEST(CodexTrustTest, FormsThatCannotBeEditedSafelyAreRefused) {
  const CodexHookTrust hook{"/h/.codex/hooks.json:stop:0:0", "sha256:abc", "Stop"};
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"hooks = { state = {} }\n",
       "config.toml: cannot set Codex hook trust safely (hooks is an "
       "inline table)"},
      {"hooks = 3\n", "config.toml: cannot set Codex hook trust safely (hooks is not a table)"},
      {"[hooks]\nstate = { a = { trusted_hash = \"x\" } }\n",
       "config.toml: cannot set Codex hook trust safely (hooks.state is an inline table)"},
      {"[hooks.state]\n\"/h/.codex/hooks.json:stop:0:0\" = { trusted_hash = \"sha256:old\" }\n",
       "config.toml: cannot set Codex hook trust safely (the entry for "
       "/h/.codex/hooks.json:stop:0:0 is not a table of its own)"},
      {"[hooks\n", "config.toml is not valid TOML (line 1)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.text);
    const auto planned = planCodexHookTrust("config.toml", test.text, {hook}, {hook}, {});
    ASSERT_FALSE(planned.ok());
    EXPECT_EQ(planned.error(), test.error);
  }
  // A matching entry in any form needs no edit at all.
  const std::string inlineEntry =
      "[hooks.state]\n\"/h/.codex/hooks.json:stop:0:0\" = { trusted_hash = \"sha256:abc\" }\n";
  EXPECT_EQ(planCodexHookTrust("config.toml", inlineEntry, {hook}, {hook}, {}).value(),
            inlineEntry);
}

TEST(CodexTrustTest, RefusedConfigLeavesBothFilesUntouched) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const std::string config = "hooks = { state = {} }\n";
  ToolWorld::makeFile(manager.codexConfig(), false, config);
  const Status status = manager.install("codex-cli");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), manager.codexConfig() +
                                ": cannot set Codex hook trust safely (hooks is an inline table)");
  EXPECT_EQ(readText(manager.codexConfig()), config);
  EXPECT_TRUE(backupsOf(manager.codexConfig()).empty());
  EXPECT_FALSE(std::filesystem::exists(manager.codexHooks()));
  EXPECT_FALSE(std::filesystem::exists(manager.codexTrustRecord()));
}

TEST(CodexTrustTest, HealthNeedsRepairUntilEveryGlimmetHookIsTrusted) {
  ToolWorld world;
  world.addCommand("codex");
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("codex-cli").ok());
  ASSERT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
  const std::string config = readText(manager.codexConfig());
  const std::string hooks = readText(manager.codexHooks());

  // Untrusted: the entries are gone (as before this version wrote them).
  writeText(manager.codexConfig(), config.substr(0, config.find("\n[hooks.state.")));
  auto codex = healthRow(manager.health(), "codex-cli");
  EXPECT_EQ(codex.status, HookStatus::repair);
  EXPECT_EQ(codex.detail, "Install or repair Codex CLI notify and hooks (missing hook trust)");
  writeText(manager.codexConfig(), config);
  EXPECT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);

  // Modified: a hand-edited timeout changes the hash Codex computes.
  auto edited = Json::parse(hooks);
  edited["hooks"]["Stop"][0]["hooks"][0]["timeout"] = 3;
  writeText(manager.codexHooks(), edited.dump(2));
  codex = healthRow(manager.health(), "codex-cli");
  EXPECT_EQ(codex.status, HookStatus::repair);
  EXPECT_EQ(codex.detail,
            "Install or repair Codex CLI notify and hooks (missing current hook trust)");

  // A repair trusts the edited hook as it now stands.
  ASSERT_TRUE(manager.install("codex-cli").ok());
  EXPECT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
  EXPECT_EQ(trustedHashesOf(manager.codexConfig()), wantedHashes(manager));
}

TEST(CodexTrustTest, PreviewListsTheTrustedKeys) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const auto [title, body] = manager.installationPreview("codex-cli");
  EXPECT_TRUE(contains(body, "\nCodex hook trust:\n+ " + manager.codexHooks() +
                                 ":permission_request:0:0\n+ " + manager.codexHooks() +
                                 ":permission_request:1:0\n"))
      << body;
  EXPECT_TRUE(contains(body, "+ [hooks.state.\"" + manager.codexHooks() + ":stop:0:0\"]")) << body;
  EXPECT_TRUE(contains(body, "+ trusted_hash = \"sha256:")) << body;
  EXPECT_FALSE(std::filesystem::exists(world.homeFile(".codex")));
  EXPECT_FALSE(std::filesystem::exists(manager.codexTrustRecord()));
}

}  // namespace
}  // namespace glimmet
