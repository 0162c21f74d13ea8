#include "usage/hotplug_text.hpp"

#include <cctype>

#include "base/sha256.hpp"
#include "base/text.hpp"

namespace glimmet {

namespace {

constexpr size_t kStableIDLength = 16;

}  // namespace

std::string compactHotplugText(std::string_view text, size_t limit) {
  std::string collapsed;
  collapsed.reserve(text.size());
  bool pendingSpace = false;
  for (const char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pendingSpace = !collapsed.empty();
      continue;
    }
    if (pendingSpace) collapsed += ' ';
    pendingSpace = false;
    collapsed += c;
  }
  return shortenEnd(collapsed, limit);
}

std::string stableHotplugID(std::initializer_list<std::string_view> parts) {
  std::string joined;
  for (const auto part : parts) {
    joined += part;
    joined += '\n';  // keeps ("ab", "c") apart from ("a", "bc")
  }
  return sha256Hex(joined).substr(0, kStableIDLength);
}

std::vector<Json> jsonObjectLines(std::string_view text) {
  std::vector<Json> objects;
  for (const auto& line : split(text, '\n')) {
    if (trim(line).empty()) continue;
    Json object = parseJsonText(line);
    if (object.is_object()) objects.push_back(std::move(object));
  }
  return objects;
}

std::string messageContentText(const Json& content) {
  if (content.is_string()) return content.get<std::string>();
  if (!content.is_array()) return "";
  std::vector<std::string> texts;
  for (const auto& part : content) {
    if (part.is_string()) {
      texts.push_back(part.get<std::string>());
      continue;
    }
    const auto type = firstString(part, {"type"});
    if (type && *type != "text" && *type != "input_text" && *type != "output_text") continue;
    const Json* text = member(part, "text");
    if (text && text->is_string()) texts.push_back(text->get<std::string>());
  }
  return join(texts, "\n");
}

bool isOlderThan(Timestamp time, Timestamp now, double limitSeconds) {
  return secondsBetween(time, now) > limitSeconds;
}

}  // namespace glimmet
