#include "usage/tail_reader.hpp"

#include "platform/file_system.hpp"

namespace glimmet {

std::optional<std::string> readTailText(const std::string& path, uint64_t maxBytes) {
  const auto metadata = fileMetadata(path);
  if (!metadata || metadata->kind != FileKind::regular) return std::nullopt;
  const uint64_t start = metadata->size > maxBytes ? metadata->size - maxBytes : 0;
  auto text = readFileFrom(path, start, maxBytes);
  if (!text) return std::nullopt;
  if (start > 0) {
    const size_t newline = text->find('\n');
    text->erase(0, newline == std::string::npos ? text->size() : newline + 1);
  }
  return text;
}

std::vector<Json> jsonObjectsFromText(std::string_view text) {
  std::vector<Json> objects;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.find('{') == std::string_view::npos) continue;
    Json object = parseJsonText(line);
    if (object.is_object()) objects.push_back(std::move(object));
  }
  return objects;
}

std::vector<Json> jsonObjectsFromTail(const std::string& path, uint64_t maxBytes) {
  const auto text = readTailText(path, maxBytes);
  return text ? jsonObjectsFromText(*text) : std::vector<Json>{};
}

std::vector<Json> jsonObjectsFromFile(const std::string& path) {
  const auto text = readFile(path);
  if (!text) return {};
  // A pretty-printed object first: its inner lines could parse as objects of their own.
  Json whole = parseJsonText(*text);
  if (whole.is_object()) return {std::move(whole)};
  return jsonObjectsFromText(*text);
}

}  // namespace glimmet
