#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/test_support.hpp"
#include "ui/cairo/font_files.hpp"
#include "ui/cairo/text_engine.hpp"

namespace glimmet {
namespace {

using testing::TempDir;

// Sets an environment variable for the test's lifetime.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string loadedFontWithDefaultConfiguration(const char* description) {
  PangoFontMap* fontMap = pango_cairo_font_map_new();
  PangoContext* context = pango_font_map_create_context(fontMap);
  PangoFontDescription* wanted = pango_font_description_from_string(description);
  PangoFont* font = pango_font_map_load_font(fontMap, context, wanted);
  std::string family;
  if (font) {
    PangoFontDescription* described = pango_font_describe(font);
    family = pango_font_description_get_family(described);
    pango_font_description_free(described);
    g_object_unref(font);
  }
  pango_font_description_free(wanted);
  g_object_unref(context);
  g_object_unref(fontMap);
  return family;
}

TEST(CairoFontsTest, TheUsersFontConfigurationIsIgnored) {
  TempDir home;
  // A user configuration that turns every request into DejaVu Serif.
  testing::writeText(home.file("fonts.conf"), R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <match target="pattern">
    <edit name="family" mode="assign" binding="strong"><string>DejaVu Serif</string></edit>
  </match>
</fontconfig>
)");
  std::optional<std::string> withoutIsolation;
  std::string isolatedRegular, isolatedSemibold;
  {
    ScopedVariable file("FONTCONFIG_FILE", home.file("fonts.conf"));
    ScopedVariable homeVariable("HOME", home.path());
    ScopedVariable config("XDG_CONFIG_HOME", home.path());
    ASSERT_TRUE(FcInitReinitialize());
    withoutIsolation = loadedFontWithDefaultConfiguration("Inter 11");

    auto files = findFontFiles(Environment::current());
    ASSERT_TRUE(files) << files.error();
    auto engine = TextEngine::create(files.value());
    ASSERT_TRUE(engine) << engine.error();
    isolatedRegular = engine.value()->describeLoadedFont({11, FontWeight::regular, false});
    isolatedSemibold = engine.value()->describeLoadedFont({11, FontWeight::semibold, false});
  }
  ASSERT_TRUE(FcInitReinitialize());
  // The bogus configuration was in force for everyone else...
  EXPECT_EQ(withoutIsolation, "DejaVu Serif");
  // ...and not for the overlay's text.
  EXPECT_EQ(isolatedRegular.rfind("Inter ", 0), 0u) << isolatedRegular;
  EXPECT_EQ(isolatedSemibold.rfind("Inter ", 0), 0u) << isolatedSemibold;
  EXPECT_NE(isolatedSemibold.find("Semi-Bold"), std::string::npos) << isolatedSemibold;
}

TEST(CairoFontsTest, FontFilesAreFoundOnlyWhereSaidAndTheirAbsenceIsExplained) {
  TempDir empty;
  auto missing = fontFilesInDirectory(empty.path());
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().find(empty.path()), std::string::npos) << missing.error();
  EXPECT_NE(missing.error().find("fonts-inter"), std::string::npos) << missing.error();

  // A folder named by GLIMMET_FONT_DIR is the only place looked at, even when the system has
  // the fonts.
  Environment environment;
  environment.set("GLIMMET_FONT_DIR", empty.path());
  auto named = findFontFiles(environment);
  ASSERT_FALSE(named);
  EXPECT_NE(named.error().find(empty.path()), std::string::npos);

  // Three of the four weights are not a usable set.
  TempDir partial;
  const std::string system = "/usr/share/fonts/opentype/inter/";
  for (const char* name : {"Inter-Regular.otf", "Inter-Medium.otf", "Inter-SemiBold.otf"}) {
    std::filesystem::create_symlink(system + name, partial.file(name));
  }
  EXPECT_FALSE(fontFilesInDirectory(partial.path()));
  std::filesystem::create_symlink(system + "Inter-Bold.otf", partial.file("Inter-Bold.otf"));
  environment.set("GLIMMET_FONT_DIR", partial.path());
  auto found = findFontFiles(environment);
  ASSERT_TRUE(found) << found.error();
  EXPECT_EQ(found.value().directory, partial.path());
  ASSERT_EQ(found.value().inter.size(), 4u);
  EXPECT_EQ(found.value().inter[3], partial.file("Inter-Bold.otf"));

  auto engine = TextEngine::create(found.value());
  ASSERT_TRUE(engine) << engine.error();
  EXPECT_EQ(
      engine.value()->describeLoadedFont({11, FontWeight::bold, false}).rfind("Inter Bold", 0), 0u);
}

}  // namespace
}  // namespace glimmet
