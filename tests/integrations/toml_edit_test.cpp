#include "integrations/toml_edit.hpp"

#include <gtest/gtest.h>

#include "base/text.hpp"

namespace glimmet {
namespace {

TEST(TomlLineTest, AssignmentKeyIgnoresCommentsAndNeedsAnEqualsSign) {
  EXPECT_EQ(tomlAssignmentKey("hooks = true"), "hooks");
  EXPECT_EQ(tomlAssignmentKey("  codex_hooks=true # old"), "codex_hooks");
  EXPECT_EQ(tomlAssignmentKey("# hooks = true"), std::nullopt);
  EXPECT_EQ(tomlAssignmentKey("[features]"), std::nullopt);
  EXPECT_EQ(tomlAssignmentKey(" = true"), std::nullopt);
  EXPECT_EQ(stripTomlLineComment("model = \"o3\" # fast"), "model = \"o3\" ");
}

TEST(TomlLineTest, FeatureFlagIsReadOnlyInsideItsTable) {
  const std::string text =
      "hooks = true\n"
      "[features]\n"
      "other = true\n"
      "codex_hooks = true # older name\n"
      "[tui]\n"
      "hooks = true\n";
  EXPECT_FALSE(tomlFeatureFlagEnabled(text, "features", "hooks"));
  EXPECT_TRUE(tomlFeatureFlagEnabled(text, "features", "codex_hooks"));
  EXPECT_TRUE(tomlFeatureFlagEnabled(text, "tui", "hooks"));
  EXPECT_FALSE(tomlFeatureFlagEnabled("[features]\nhooks = false\n", "features", "hooks"));
  EXPECT_FALSE(tomlFeatureFlagEnabled("[features]\nhooks = \"true\"\n", "features", "hooks"));
  // Spaces inside the brackets name the same table; a second [features] would be invalid TOML.
  EXPECT_TRUE(tomlFeatureFlagEnabled("[ features ]\nhooks = true\n", "features", "hooks"));
  EXPECT_EQ(ensureCodexHooksFeature("[ features ]\ncodex_hooks = true\n"),
            "[ features ]\nhooks = true\n");
}

TEST(CodexHooksFeatureTest, EmptyOrMissingTableIsAppended) {
  EXPECT_EQ(ensureCodexHooksFeature(""), "[features]\nhooks = true\n");
  EXPECT_EQ(ensureCodexHooksFeature(" \n\n"), "[features]\nhooks = true\n");
  EXPECT_EQ(ensureCodexHooksFeature("model = \"o3\""),
            "model = \"o3\"\n\n[features]\nhooks = true\n");
  EXPECT_EQ(ensureCodexHooksFeature("model = \"o3\"\n"),
            "model = \"o3\"\n\n[features]\nhooks = true\n");
  EXPECT_EQ(ensureCodexHooksFeature("model = \"o3\"\n\n"),
            "model = \"o3\"\n\n[features]\nhooks = true\n");
}

TEST(CodexHooksFeatureTest, DeprecatedFlagIsReplacedAndOtherLinesKept) {
  const std::string text =
      "model = \"o3\"\n"
      "\n"
      "[features]\n"
      "# keep this comment\n"
      "codex_hooks = true\n"
      "web_search = true\n"
      "\n"
      "[tui]\n"
      "codex_hooks = true\n";
  EXPECT_EQ(ensureCodexHooksFeature(text),
            "model = \"o3\"\n"
            "\n"
            "[features]\n"
            "hooks = true\n"
            "# keep this comment\n"
            "web_search = true\n"
            "\n"
            "[tui]\n"
            "codex_hooks = true\n");
}

TEST(CodexHooksFeatureTest, ExistingHooksLineIsSetInPlace) {
  EXPECT_EQ(ensureCodexHooksFeature("[features]\nweb_search = true\nhooks = false\n"),
            "[features]\nweb_search = true\nhooks = true\n");
  // Already enabled: the text stays byte for byte the same.
  const std::string enabled = "[features]\nhooks = true\n[profiles.fast]\nmodel = \"o4\"\n";
  EXPECT_EQ(ensureCodexHooksFeature(enabled), enabled);
}

TEST(CodexHooksFeatureTest, HeaderWithCommentIsTheSameTable) {
  EXPECT_EQ(ensureCodexHooksFeature("[features] # mine\nweb_search = true\n"),
            "[features] # mine\nhooks = true\nweb_search = true\n");
}

TEST(TomlNotifyTest, ReadsSingleAndMultiLineArrays) {
  const auto single = findTomlNotify(split("notify = [\"python3\", '/x/notify.py']\n", '\n'));
  ASSERT_TRUE(single);
  EXPECT_EQ(single->firstLine, 0u);
  EXPECT_EQ(single->endLine, 1u);
  EXPECT_EQ(single->command, (std::vector<std::string>{"python3", "/x/notify.py"}));

  const auto multi = findTomlNotify(
      split("model = \"o3\"\nnotify = [\n  \"say\", # speaks\n  \"done \\\"now\\\"\",\n]\n[tui]\n",
            '\n'));
  ASSERT_TRUE(multi);
  EXPECT_EQ(multi->firstLine, 1u);
  EXPECT_EQ(multi->endLine, 5u);
  EXPECT_EQ(multi->command, (std::vector<std::string>{"say", "done \"now\""}));
}

TEST(TomlNotifyTest, OnlyTopLevelNotifyCounts) {
  EXPECT_FALSE(findTomlNotify(split("[profiles.x]\nnotify = [\"a\"]\n", '\n')));
  EXPECT_FALSE(findTomlNotify(split("notifications = true\n", '\n')));
}

TEST(TomlNotifyTest, SetNotifyReplacesEveryLineOfTheOldValue) {
  const std::string text = "# mine\nnotify = [\n  \"say\",\n  \"hi\",\n]\nmodel = \"o3\"\n";
  EXPECT_EQ(setTomlNotify(text, "notify = [\"/b/glimmet-codex-notify\"]"),
            "# mine\nnotify = [\"/b/glimmet-codex-notify\"]\nmodel = \"o3\"\n");
  EXPECT_EQ(setTomlNotify("[tui]\nx = 1\n", "notify = [\"n\"]"),
            "notify = [\"n\"]\n\n[tui]\nx = 1\n");
}

TEST(TomlNotifyTest, QuotedPathsEscapeBackslashesAndQuotes) {
  EXPECT_EQ(tomlQuoted("/a b/c"), "\"/a b/c\"");
  EXPECT_EQ(tomlQuoted("C:\\x\"y"), "\"C:\\\\x\\\"y\"");
}

}  // namespace
}  // namespace glimmet
