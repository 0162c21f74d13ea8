#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// A deliberately small property-list reader: just enough to read a string value of the
// top-level dictionary of an application's Info.plist, in the XML form or the binary
// "bplist00" form. Other object types are skipped; anything malformed yields absent.
std::optional<std::string> propertyListTopLevelString(std::string_view bytes, std::string_view key);

// The CFBundleIdentifier of the bundle at `bundlePath` (from "Contents/Info.plist").
std::optional<std::string> bundleIdentifier(const std::string& bundlePath);

}  // namespace glimmet
