// The JSON-file user defaults on real files.

#include "platform/user_defaults.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::readText;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

TEST(JsonFileUserDefaultsTest, ValuesSurviveANewInstanceOnTheSameFile) {
  TempDir dir;
  const std::string path = dir.file("config/glimmet/defaults.json");
  {
    JsonFileUserDefaults defaults(path);
    EXPECT_FALSE(defaults.value("readEventIDs").has_value());
    ASSERT_TRUE(defaults.setValue("readEventIDs", Json::array({"a", "b"})));
    ASSERT_TRUE(defaults.setValue("soundEnabled", false));
    ASSERT_TRUE(defaults.setValue("petChoice", "cat"));
    ASSERT_TRUE(defaults.setValue("volume", 0.5));
    ASSERT_TRUE(defaults.setValue("obsolete", 1));
    ASSERT_TRUE(defaults.removeValue("obsolete"));
  }
  JsonFileUserDefaults reopened(path);
  EXPECT_EQ(reopened.stringArrayValue("readEventIDs"), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(reopened.boolValue("soundEnabled", true));
  EXPECT_TRUE(reopened.boolValue("missing", true));
  EXPECT_EQ(reopened.stringValue("petChoice"), "cat");
  EXPECT_EQ(reopened.value("volume"), Json(0.5));
  EXPECT_FALSE(reopened.value("obsolete").has_value());
  EXPECT_FALSE(reopened.stringValue("soundEnabled").has_value()) << "not a string";

  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(JsonFileUserDefaultsTest, DamagedFileStartsEmptyAndIsRewrittenWhole) {
  TempDir dir;
  for (const char* damaged : {"{\"hiddenEventIDs\": [\"a\"", "[1, 2, 3]", "", "\xff\xfe"}) {
    const std::string path = dir.file("defaults.json");
    writeText(path, damaged);
    JsonFileUserDefaults defaults(path);
    EXPECT_FALSE(defaults.value("hiddenEventIDs").has_value()) << damaged;
    EXPECT_TRUE(defaults.stringArrayValue("hiddenEventIDs").empty());

    ASSERT_TRUE(defaults.setValue("hiddenEventIDs", Json::array({"x"})));
    const Json written = Json::parse(readText(path), nullptr, false);
    ASSERT_TRUE(written.is_object()) << readText(path);
    EXPECT_EQ(written, Json({{"hiddenEventIDs", Json::array({"x"})}}));
  }
}

TEST(JsonFileUserDefaultsTest, AFailedWriteIsReportedAndTheValueKeptInMemory) {
  TempDir dir;
  writeText(dir.file("blocker"), "a file where a directory should be");
  JsonFileUserDefaults defaults(dir.file("blocker/defaults.json"));
  const Status status = defaults.setValue("key", "value");
  ASSERT_FALSE(status);
  EXPECT_FALSE(status.error().empty());
  EXPECT_EQ(defaults.stringValue("key"), "value");
}

TEST(JsonFileUserDefaultsTest, TwoWritersOfOneFileKeepEachOthersKeysAndSeeEachOthersChanges) {
  TempDir dir;
  const std::string path = dir.file("defaults.json");
  // The settings panel's long-lived store and a short-lived one (the companion storing where it
  // was dropped) over the same file.
  JsonFileUserDefaults panel(path);
  ASSERT_TRUE(panel.setValue("reduceMotion", true));
  {
    JsonFileUserDefaults companion(path);
    ASSERT_TRUE(companion.setValues(Json{{"companionOriginX", 200}, {"companionOriginY", 300}}));
  }
  EXPECT_EQ(panel.value("companionOriginX"), Json(200));
  ASSERT_TRUE(panel.setValue("muted", true));
  const Json stored = Json::parse(readText(path));
  EXPECT_EQ(stored, (Json{{"companionOriginX", 200},
                          {"companionOriginY", 300},
                          {"muted", true},
                          {"reduceMotion", true}}));

  // A hand edit while it runs is what it reads next, and a key removed by hand stays removed.
  writeText(path, R"({"muted": false, "selectedPetID": "glimcat"})");
  EXPECT_EQ(panel.stringValue("selectedPetID"), "glimcat");
  EXPECT_FALSE(panel.boolValue("muted", true));
  ASSERT_TRUE(panel.removeValue("selectedPetID"));
  EXPECT_EQ(Json::parse(readText(path)), (Json{{"muted", false}}));
}

}  // namespace
}  // namespace glimmet
