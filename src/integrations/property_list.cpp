#include "integrations/property_list.hpp"

#include "integrations/property_list_binary.hpp"
#include "integrations/property_list_xml.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

std::optional<std::string> propertyListTopLevelString(std::string_view bytes,
                                                      std::string_view key) {
  if (bytes.substr(0, 8) == "bplist00") return binaryPropertyListString(bytes, key);
  return xmlPropertyListString(bytes, key);
}

std::optional<std::string> bundleIdentifier(const std::string& bundlePath) {
  const auto bytes = readFile(bundlePath + "/Contents/Info.plist");
  if (!bytes) return std::nullopt;
  return propertyListTopLevelString(*bytes, "CFBundleIdentifier");
}

}  // namespace glimmet
