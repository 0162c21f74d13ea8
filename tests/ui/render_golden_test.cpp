// The overlay's fixtures drawn by the real glimmet binary and compared, pixel by pixel, with the
// golden images in tests/ui/golden (made by scripts/update-goldens.sh and reviewed as images).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/json_values.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "ui/cairo/image_comparison.hpp"
#include "ui/cairo/image_surface.hpp"
#include "ui/render_fixtures.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::readText;
using testing::TempDir;

const std::string kGoldenDir = std::string(GLIMMET_SOURCE_DIR) + "/tests/ui/golden";
// Anti-aliased edges may move by a shade between cairo builds; shapes and colours may not.
constexpr int kChannelTolerance = 16;
constexpr double kMaxDifferingFraction = 0.002;

ChildProcess render(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {GLIMMET_BINARY, "render"};
  argv.insert(argv.end(), args.begin(), args.end());
  auto child = ChildProcess::spawn(argv, {"PATH=/usr/bin:/bin"}, {});
  EXPECT_TRUE(child.waitExit(60));
  return child;
}

Json describe(const std::string& path) {
  return Json::parse(readText(path));
}

std::set<std::string> roles(const Json& description) {
  std::set<std::string> result;
  for (const auto& target : description["targets"])
    result.insert(target["role"].get<std::string>());
  return result;
}

TEST(RenderGolden, EveryFixtureMatchesItsGoldenImage) {
  TempDir out;
  auto child = render({"--out", out.path()});
  ASSERT_EQ(child.exitCode(), 0) << child.output();
  const auto names = renderFixtureNames();
  for (const char* required :
       {"collapsed-idle", "collapsed-approval", "collapsed-usage", "collapsed-macbook",
        "expanded-empty", "expanded-1", "expanded-3", "expanded-high-risk-armed"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), required), names.end()) << required;
  }
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    // Next to the build's binaries, where a failing run leaves it for review.
    const std::string diff = std::filesystem::path(GLIMMET_BINARY).parent_path().string() +
                             "/render-diff-" + name + ".png";
    const auto comparison =
        comparePngs(out.path() + "/" + name + ".png", kGoldenDir + "/" + name + ".png",
                    kChannelTolerance, kMaxDifferingFraction, diff);
    EXPECT_TRUE(comparison.passed) << comparison.describe();
  }
}

TEST(RenderGolden, SizesTargetsAndColoursOfTheFixtures) {
  TempDir out;
  auto child = render({"--out", out.path(), "collapsed-idle", "collapsed-approval",
                       "collapsed-macbook", "expanded-empty", "expanded-1", "expanded-3"});
  ASSERT_EQ(child.exitCode(), 0) << child.output();
  const auto size = [&](const std::string& name) {
    const Json description = describe(out.path() + "/" + name + ".json");
    return std::pair{description["size"][0].get<double>(), description["size"][1].get<double>()};
  };
  EXPECT_EQ(size("collapsed-idle"), (std::pair{332.0, 32.0}));
  EXPECT_EQ(size("collapsed-macbook").first, 332.0);
  EXPECT_NEAR(size("collapsed-macbook").second, 37.3, 1e-9);
  EXPECT_EQ(size("expanded-empty"), (std::pair{540.0, 260.0}));
  EXPECT_EQ(size("expanded-1"), (std::pair{540.0, 317.0}));
  EXPECT_EQ(size("expanded-3"), (std::pair{540.0, 501.0}));

  const Json one = describe(out.path() + "/expanded-1.json");
  EXPECT_EQ(one["mode"], "expanded");
  const auto oneRoles = roles(one);
  for (const char* role : {"authorize", "reject", "settings", "quit"})
    EXPECT_TRUE(oneRoles.count(role)) << role << " in " << one.dump();
  for (const auto& target : one["targets"]) {
    if (target["role"] == "authorize") {
      EXPECT_FALSE(target.value("messageID", "").empty());
    }
  }

  // The approval badge is drawn in amber (245, 179, 1), translucent over black.
  auto image = readPng(out.path() + "/collapsed-approval.png");
  ASSERT_TRUE(image) << image.error();
  bool amber = false;
  for (int y = 0; y < image.value().height() && !amber; ++y) {
    for (int x = image.value().width() - 80; x < image.value().width() && !amber; ++x) {
      const uint32_t pixel = image.value().pixel(x, y);
      const int a = pixel >> 24, r = (pixel >> 16) & 0xff, g = (pixel >> 8) & 0xff,
                b = pixel & 0xff;
      if (a == 0) continue;
      // Un-premultiplied, the hue of amber: red high, green about 0.73 of red, blue near 0.
      amber = r > 120 && std::abs(g * 245 - r * 179) < 20 * 245 && b < 40;
    }
  }
  EXPECT_TRUE(amber);
}

TEST(RenderGolden, SameFixtureTwiceGivesTheSameBytesAndBadArgumentsAreRefused) {
  TempDir first, second;
  ASSERT_EQ(render({"--out", first.path(), "expanded-3"}).exitCode(), 0);
  ASSERT_EQ(render({"--out", second.path(), "expanded-3"}).exitCode(), 0);
  EXPECT_EQ(readText(first.path() + "/expanded-3.png"),
            readText(second.path() + "/expanded-3.png"));

  auto listed = render({"--list"});
  EXPECT_EQ(listed.exitCode(), 0);
  EXPECT_NE(listed.output().find("expanded-high-risk-armed\n"), std::string::npos);
  EXPECT_EQ(render({"--out", first.path(), "no-such-fixture"}).exitCode(), 1);
  EXPECT_EQ(render({"--out", first.path(), "--scale", "0"}).exitCode(), 1);
  EXPECT_EQ(render({"--bogus"}).exitCode(), 2);

  // Twice the pixels at scale 2, and the targets with them.
  ASSERT_EQ(render({"--out", second.path(), "--scale", "2", "collapsed-idle"}).exitCode(), 0);
  auto image = readPng(second.path() + "/collapsed-idle.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image.value().width(), 664);
  EXPECT_EQ(image.value().height(), 64);
}

}  // namespace
}  // namespace glimmet
