#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmet {

struct RGBColor {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool operator==(const RGBColor&) const = default;
};

// One supported AI tool; fixed at start-up.
struct AIToolCatalogItem {
  std::string product;
  std::string id;
  std::string name;
  std::string surface;
  std::string installTarget;
  std::vector<std::string> commandNames;
  std::vector<std::string> appPaths;
  std::optional<std::string> configPath;
  std::string integration;
  std::vector<std::string> capabilities;
  int priority = 0;
  RGBColor color;
  std::string detail;
};

// The 25 supported tools, in the order the settings and usage views list them.
const std::vector<AIToolCatalogItem>& aiToolCatalog();
const AIToolCatalogItem* catalogItem(std::string_view id);

// Tools whose runs are recorded through the glimmet-wrap bridge.
bool isWrapperTool(std::string_view id);

// The brand colour of a tool id; tools outside the catalogue get a neutral grey.
RGBColor toolColor(std::string_view toolID);

}  // namespace glimmet
