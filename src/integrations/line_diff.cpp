#include "integrations/line_diff.hpp"

#include <algorithm>
#include <vector>

#include "base/text.hpp"

namespace glimmet {

std::string unifiedDiff(std::string_view title, std::string_view oldText,
                        std::string_view newText) {
  const std::string name(title);
  if (oldText == newText) {
    return name + "\nNo config line changes; bridge scripts will be refreshed.";
  }
  const std::vector<std::string> oldLines = split(oldText, '\n');
  const std::vector<std::string> newLines = split(newText, '\n');
  std::vector<std::string> output = {"--- " + name, "+++ " + name};
  bool truncated = false;
  const auto add = [&](std::string line) {
    if (output.size() >= kDiffLineLimit) {
      truncated = true;
      return;
    }
    output.push_back(std::move(line));
  };
  const size_t count = std::max(oldLines.size(), newLines.size());
  for (size_t i = 0; i < count && !truncated; ++i) {
    const std::string* oldLine = i < oldLines.size() ? &oldLines[i] : nullptr;
    const std::string* newLine = i < newLines.size() ? &newLines[i] : nullptr;
    if (oldLine && newLine && *oldLine == *newLine) continue;
    if (oldLine) add("- " + *oldLine);
    if (newLine) add("+ " + *newLine);
  }
  if (truncated) output.emplace_back("… diff truncated");
  return join(output, "\n");
}

}  // namespace glimmet
