#include "integrations/property_list.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "integrations/property_list_binary.hpp"
#include "integrations/property_list_xml.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::fixturePath;
using testing::readText;

std::string plist(std::string_view name) {
  return readText(fixturePath("plists/" + std::string(name)));
}

// The fixtures are written by Python's plistlib (tests/fixtures/plists/make_plists.py).
TEST(PropertyListTest, ReadsTopLevelStringFromXmlAndBinary) {
  for (const auto* name : {"Info-xml.plist", "Info-binary.plist"}) {
    SCOPED_TRACE(name);
    const std::string bytes = plist(name);
    EXPECT_EQ(propertyListTopLevelString(bytes, "CFBundleIdentifier"),
              "com.todesktop.230313mzl4w4u92");
    EXPECT_EQ(propertyListTopLevelString(bytes, "CFBundleShortVersionString"), "1.2.3");
    // Present but not a string, or absent.
    EXPECT_EQ(propertyListTopLevelString(bytes, "BuildNumber"), std::nullopt);
    EXPECT_EQ(propertyListTopLevelString(bytes, "NSHighResolutionCapable"), std::nullopt);
    EXPECT_EQ(propertyListTopLevelString(bytes, "Missing"), std::nullopt);
  }
}

TEST(PropertyListTest, ManyKeysAndNonAsciiText) {
  for (const auto* name : {"Info-many-xml.plist", "Info-many-binary.plist"}) {
    SCOPED_TRACE(name);
    const std::string bytes = plist(name);
    EXPECT_EQ(propertyListTopLevelString(bytes, "CFBundleIdentifier"),
              "dev.warp.Warp-Stable.\u00dcn\u00efcode");
    EXPECT_EQ(propertyListTopLevelString(bytes, "Key19"), "value 19");
  }
}

TEST(PropertyListTest, XmlEntitiesAreDecoded) {
  EXPECT_EQ(propertyListTopLevelString(plist("Info-entities-xml.plist"), "CFBundleIdentifier"),
            "com.example.a&b<c>");
  EXPECT_EQ(decodeXmlText("&#x41;&#66;&quot;&apos;"), "AB\"'");
  EXPECT_EQ(decodeXmlText("a & b"), std::nullopt);
  EXPECT_EQ(decodeXmlText("&unknown;"), std::nullopt);
}

TEST(PropertyListTest, MissingKeyAndDamagedDataGiveNothing) {
  EXPECT_EQ(propertyListTopLevelString(plist("Info-no-id-binary.plist"), "CFBundleIdentifier"),
            std::nullopt);
  const std::string binary = plist("Info-binary.plist");
  // Every truncation of the binary form is rejected without reading out of bounds.
  for (size_t length = 0; length < binary.size(); ++length) {
    EXPECT_EQ(binaryPropertyListString(binary.substr(0, length), "CFBundleIdentifier"),
              std::nullopt)
        << length;
  }
  // A trailer whose offset table points past the data.
  std::string damaged = binary;
  damaged[damaged.size() - 1] = '\x7f';
  EXPECT_EQ(binaryPropertyListString(damaged, "CFBundleIdentifier"), std::nullopt);
  EXPECT_EQ(xmlPropertyListString("<plist><dict><key>CFBundleIdentifier</key><string>x",
                                  "CFBundleIdentifier"),
            std::nullopt);
  EXPECT_EQ(xmlPropertyListString("<plist><array><string>x</string></array></plist>", "x"),
            std::nullopt);
}

TEST(PropertyListTest, BundleIdentifierReadsContentsInfoPlist) {
  testing::TempDir dir;
  const std::string bundle = dir.file("Cursor.app");
  std::filesystem::create_directories(bundle + "/Contents");
  EXPECT_EQ(bundleIdentifier(bundle), std::nullopt);
  testing::writeText(bundle + "/Contents/Info.plist", plist("Info-binary.plist"));
  EXPECT_EQ(bundleIdentifier(bundle), "com.todesktop.230313mzl4w4u92");
}

}  // namespace
}  // namespace glimmet
