#include "integrations/toml_edit.hpp"

#include <fmt/format.h>

#include "base/text.hpp"

namespace glimmet {

namespace {

// Lines exactly as separated by line feeds; a trailing line feed leaves an empty last line, so
// joining them again restores the text byte for byte.
std::vector<std::string> splitLines(std::string_view text) {
  return split(text, '\n');
}

bool isTableHeader(std::string_view line) {
  return startsWith(trim(line), "[");
}

// "[ features ]  # note", "[\"features\"]" and "[features]" name the same table.
std::string headerName(std::string_view line) {
  std::string header = trim(stripTomlLineComment(line));
  const bool simpleTable = header.size() >= 2 && header.front() == '[' && header.back() == ']' &&
                           !startsWith(header, "[[");
  if (!simpleTable) return header;
  const std::string inside = trim(std::string_view(header).substr(1, header.size() - 2));
  if (const auto path = tomlKeyPath(inside + " =")) return "[" + join(*path, ".") + "]";
  return "[" + inside + "]";
}

// Scans one TOML array of strings that starts at `text[position]`, which may run over several
// lines. Collects the strings when every element is one.
class ArrayScanner {
 public:
  explicit ArrayScanner(std::string_view text) : text_(text) {}

  // The offset just past the closing bracket, or absent when the array never closes.
  std::optional<size_t> scan(size_t position) {
    size_t i = position;
    if (i >= text_.size() || text_[i] != '[') return std::nullopt;
    int depth = 0;
    while (i < text_.size()) {
      const char c = text_[i];
      if (c == '#') {
        while (i < text_.size() && text_[i] != '\n') ++i;
        continue;
      }
      if (c == '"' || c == '\'') {
        auto value = c == '"' ? basicString(i) : literalString(i);
        if (!value) return std::nullopt;
        if (depth == 1) {
          strings_.push_back(std::move(*value));
        } else {
          allStrings_ = false;
        }
        continue;
      }
      if (c == '[') {
        ++depth;
        if (depth > 1) allStrings_ = false;
      } else if (c == ']') {
        --depth;
        if (depth == 0) return i + 1;
      } else if (c != ',' && c != ' ' && c != '\t' && c != '\n' && c != '\r') {
        allStrings_ = false;  // numbers, booleans, tables
      }
      ++i;
    }
    return std::nullopt;
  }

  std::optional<std::vector<std::string>> strings() const {
    if (!allStrings_) return std::nullopt;
    return strings_;
  }

 private:
  std::optional<std::string> literalString(size_t& i) {
    const size_t close = text_.find('\'', i + 1);
    if (close == std::string_view::npos ||
        text_.substr(i + 1, close - i - 1).find('\n') != std::string_view::npos) {
      return std::nullopt;
    }
    std::string value(text_.substr(i + 1, close - i - 1));
    i = close + 1;
    return value;
  }

  std::optional<std::string> basicString(size_t& i) {
    std::string value;
    for (size_t k = i + 1; k < text_.size(); ++k) {
      const char c = text_[k];
      if (c == '\n') return std::nullopt;
      if (c == '"') {
        i = k + 1;
        return value;
      }
      if (c != '\\') {
        value += c;
        continue;
      }
      if (++k >= text_.size()) return std::nullopt;
      switch (text_[k]) {
        case 'n':
          value += '\n';
          break;
        case 't':
          value += '\t';
          break;
        case 'r':
          value += '\r';
          break;
        case 'b':
          value += '\b';
          break;
        case 'f':
          value += '\f';
          break;
        case 'u':
        case 'U': {
          const size_t digits = text_[k] == 'u' ? 4 : 8;
          if (k + digits >= text_.size()) return std::nullopt;
          const auto code = parseHex(text_.substr(k + 1, digits));
          if (!code) return std::nullopt;
          appendUtf8(value, *code);
          k += digits;
          break;
        }
        default:
          value += text_[k];  // \" and \\ stand for themselves
      }
    }
    return std::nullopt;
  }

  static std::optional<uint32_t> parseHex(std::string_view digits) {
    uint32_t code = 0;
    for (const char c : digits) {
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        code |= static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        code |= static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return code;
  }

  std::string_view text_;
  std::vector<std::string> strings_;
  bool allStrings_ = true;
};

}  // namespace

std::string stripTomlLineComment(std::string_view line) {
  const size_t hash = line.find('#');
  return std::string(hash == std::string_view::npos ? line : line.substr(0, hash));
}

std::optional<std::vector<std::string>> tomlKeyPath(std::string_view line) {
  std::vector<std::string> path;
  size_t i = line.find_first_not_of(" \t");
  const auto skipSpace = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  };
  while (i < line.size()) {
    std::string part;
    if (line[i] == '"' || line[i] == '\'') {
      const char quote = line[i];
      const size_t close = line.find(quote, i + 1);
      // Escapes inside quoted keys are rare enough to leave to the full parser.
      if (close == std::string_view::npos ||
          line.substr(i + 1, close - i - 1).find('\\') != std::string_view::npos) {
        return std::nullopt;
      }
      part = std::string(line.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      const size_t end = line.find_first_not_of(
          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-", i);
      if (end == i) return std::nullopt;
      part = std::string(line.substr(i, end == std::string_view::npos ? line.size() - i : end - i));
      i = end == std::string_view::npos ? line.size() : end;
    }
    path.push_back(std::move(part));
    skipSpace();
    if (i < line.size() && line[i] == '.') {
      ++i;
      skipSpace();
      continue;
    }
    if (i < line.size() && line[i] == '=') return path;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> tomlAssignmentKey(std::string_view line) {
  // Quoted and dotted keys are read by their parts ("notify" is notify); anything else falls
  // back to the text before the "=".
  if (const auto path = tomlKeyPath(line)) return join(*path, ".");
  const std::string content = stripTomlLineComment(line);
  const size_t equals = content.find('=');
  if (equals == std::string::npos) return std::nullopt;
  std::string key = trim(std::string_view(content).substr(0, equals));
  if (key.empty()) return std::nullopt;
  return key;
}

bool tomlFeatureFlagEnabled(std::string_view text, std::string_view section, std::string_view key) {
  const std::string header = fmt::format("[{}]", section);
  bool inside = false;
  for (const auto& line : splitLines(text)) {
    if (isTableHeader(line)) {
      inside = headerName(line) == header;
      continue;
    }
    if (!inside || tomlAssignmentKey(line) != key) continue;
    const std::string content = stripTomlLineComment(line);
    if (trim(std::string_view(content).substr(content.find('=') + 1)) == "true") return true;
  }
  return false;
}

std::string ensureCodexHooksFeature(std::string_view text) {
  std::vector<std::string> lines = splitLines(text);
  size_t header = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    // A comment after the header still names the same table; appending a second one would make
    // the file invalid.
    if (headerName(lines[i]) == "[features]") {
      header = i;
      break;
    }
  }
  if (header == lines.size()) {
    if (trim(text).empty()) return "[features]\nhooks = true\n";
    std::string out(text);
    if (!out.ends_with('\n')) out += '\n';
    // One blank line before the table; a text that already ends with one gets no second.
    if (!out.ends_with("\n\n")) out += '\n';
    return out + "[features]\nhooks = true\n";
  }

  std::vector<std::string> result(lines.begin(), lines.begin() + static_cast<long>(header) + 1);
  bool hooksSet = false;
  size_t i = header + 1;
  for (; i < lines.size(); ++i) {
    if (isTableHeader(lines[i]) && headerName(lines[i]) != "[features]") break;
    const auto key = tomlAssignmentKey(lines[i]);
    if (key == "codex_hooks") continue;  // the deprecated name of the same flag
    if (key == "hooks") {
      result.emplace_back("hooks = true");
      hooksSet = true;
      continue;
    }
    result.push_back(lines[i]);
  }
  if (!hooksSet) result.insert(result.begin() + static_cast<long>(header) + 1, "hooks = true");
  result.insert(result.end(), lines.begin() + static_cast<long>(i), lines.end());
  return join(result, "\n");
}

std::optional<TomlNotifyAssignment> findTomlNotify(const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (isTableHeader(lines[i])) return std::nullopt;  // only top-level keys configure notify
    if (tomlAssignmentKey(lines[i]) != "notify") continue;
    TomlNotifyAssignment assignment;
    assignment.firstLine = i;
    assignment.endLine = i + 1;
    // The value may run over several lines; scan the rest of the file from the "=" on.
    std::string rest;
    for (size_t k = i; k < lines.size(); ++k) rest += lines[k] + "\n";
    size_t position = rest.find('=') + 1;
    while (position < rest.size() && (rest[position] == ' ' || rest[position] == '\t')) {
      ++position;
    }
    ArrayScanner scanner(rest);
    if (const auto end = scanner.scan(position)) {
      size_t newlines = 0;
      for (size_t k = 0; k < *end; ++k) newlines += rest[k] == '\n';
      assignment.endLine = i + newlines + 1;
      assignment.command = scanner.strings();
    }
    return assignment;
  }
  return std::nullopt;
}

std::string setTomlNotify(std::string_view text, std::string_view notifyLine) {
  std::vector<std::string> lines = splitLines(text);
  const auto existing = findTomlNotify(lines);
  if (!existing) return std::string(notifyLine) + "\n\n" + std::string(text);
  lines.erase(lines.begin() + static_cast<long>(existing->firstLine),
              lines.begin() + static_cast<long>(existing->endLine));
  lines.insert(lines.begin() + static_cast<long>(existing->firstLine), std::string(notifyLine));
  return join(lines, "\n");
}

std::string tomlQuoted(std::string_view value) {
  std::string out = "\"";
  for (const char c : value) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace glimmet
