#include "usage/hotplug_files.hpp"

#include <algorithm>

namespace glimmet {

namespace {

// Dated directories can nest a few levels (year, month, day, then a session folder); deeper
// trees are not a tool's log layout and are not followed.
constexpr int kMaxDepth = 6;

void collectNewestFirst(const std::string& directory, int depth,
                        const std::function<bool(std::string_view)>& accept, size_t maxCollected,
                        std::vector<ListedFile>& out) {
  if (depth > kMaxDepth || out.size() >= maxCollected) return;
  auto names = directoryEntryNames(directory);
  if (!names) return;
  std::sort(names->begin(), names->end(), std::greater<>());
  for (const auto& name : *names) {
    if (out.size() >= maxCollected) return;
    std::string path = directory;
    path.append("/").append(name);
    const auto metadata = fileMetadata(path);
    if (!metadata) continue;
    if (metadata->isDirectory) {
      collectNewestFirst(path, depth + 1, accept, maxCollected, out);
    } else if (metadata->kind == FileKind::regular && accept(name)) {
      out.push_back({path, metadata->size, metadata->modified});
    }
  }
}

}  // namespace

std::optional<std::string> readHotplugTailText(const std::string& path, uint64_t maxBytes) {
  const auto metadata = fileMetadata(path);
  if (!metadata || metadata->kind != FileKind::regular) return std::nullopt;
  const uint64_t offset = metadata->size > maxBytes ? metadata->size - maxBytes : 0;
  auto text = readFileFrom(path, offset, maxBytes);
  if (!text) return std::nullopt;
  if (offset > 0) {
    const size_t newline = text->find('\n');
    text->erase(0, newline == std::string::npos ? text->size() : newline + 1);
  }
  return text;
}

std::vector<std::string> newestPathsFirst(std::vector<ListedFile> files, size_t limit) {
  std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
    if (a.modified != b.modified) return a.modified > b.modified;
    return a.path < b.path;
  });
  std::vector<std::string> paths;
  for (auto& file : files) {
    if (paths.size() >= limit) break;
    paths.push_back(std::move(file.path));
  }
  return paths;
}

std::vector<ListedFile> filesFromNewestDirectories(
    const std::string& root, const std::function<bool(std::string_view name)>& accept,
    size_t maxCollected) {
  std::vector<ListedFile> files;
  if (!isDirectory(root)) return files;
  collectNewestFirst(root, 0, accept, maxCollected, files);
  return files;
}

}  // namespace glimmet
