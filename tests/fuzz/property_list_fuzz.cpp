// Application Info.plist bytes, binary or XML, as the bundle lookup reads them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "integrations/property_list.hpp"
#include "integrations/property_list_binary.hpp"
#include "integrations/property_list_xml.hpp"

using namespace glimmet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string_view key : {"CFBundleIdentifier", "CFBundleName", ""}) {
    (void)propertyListTopLevelString(bytes, key);
    // Both readers on every input: the front door picks one by the first eight bytes.
    (void)binaryPropertyListString(bytes, key);
    (void)xmlPropertyListString(bytes, key);
  }
  (void)decodeXmlText(bytes);
  return 0;
}
