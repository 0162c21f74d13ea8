#include "base/json_values.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "base/text.hpp"

namespace glimmet {

std::string numberText(const Json& number) {
  if (number.is_number_integer()) return number.dump();
  const double value = number.get<double>();
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<int64_t>(value));
  }
  return number.dump();
}

std::optional<std::string> stringValue(const Json& value) {
  if (value.is_string()) {
    std::string trimmed = trim(value.get_ref<const std::string&>());
    if (trimmed.empty()) return std::nullopt;
    return trimmed;
  }
  if (value.is_number()) return numberText(value);
  return std::nullopt;
}

std::optional<bool> boolValue(const Json& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number()) return value.get<double>() != 0.0;
  if (value.is_string()) {
    const std::string lower = toLower(value.get_ref<const std::string&>());
    if (lower == "true" || lower == "1" || lower == "yes" || lower == "on") return true;
    if (lower == "false" || lower == "0" || lower == "no" || lower == "off") return false;
  }
  return std::nullopt;
}

std::optional<int64_t> intValue(const Json& value) {
  if (value.is_number_integer()) return value.get<int64_t>();
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::fabs(number) > 9.2e18) return std::nullopt;
    return static_cast<int64_t>(number);
  }
  if (value.is_string()) {
    const auto& text = value.get_ref<const std::string&>();
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    int64_t parsed = 0;
    const auto* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, parsed);
    if (digits.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return parsed;
  }
  return std::nullopt;
}

std::optional<double> doubleValue(const Json& value) {
  if (value.is_number()) return value.get<double>();
  if (value.is_string()) {
    const std::string text = trim(value.get_ref<const std::string&>());
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(parsed)) return std::nullopt;
    return parsed;
  }
  return std::nullopt;
}

std::vector<std::string> stringArray(const Json& value) {
  std::vector<std::string> out;
  if (!value.is_array()) return out;
  for (const auto& element : value) {
    if (element.is_string()) out.push_back(element.get<std::string>());
  }
  return out;
}

const Json* member(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> firstString(const Json& object,
                                       std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const Json* value = member(object, key)) {
      if (auto text = stringValue(*value)) return text;
    }
  }
  return std::nullopt;
}

std::optional<double> firstDouble(const Json& object,
                                  std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const Json* value = member(object, key)) {
      if (auto number = doubleValue(*value)) return number;
    }
  }
  return std::nullopt;
}

std::optional<bool> firstBool(const Json& object, std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const Json* value = member(object, key)) {
      if (auto flag = boolValue(*value)) return flag;
    }
  }
  return std::nullopt;
}

std::optional<int64_t> firstInt(const Json& object, std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const Json* value = member(object, key)) {
      if (auto number = intValue(*value)) return number;
    }
  }
  return std::nullopt;
}

namespace {

std::optional<uint32_t> hexEscapeValue(std::string_view text, size_t pos) {
  // `pos` is at the backslash of "\uXXXX".
  if (pos + 6 > text.size() || text[pos] != '\\' || text[pos + 1] != 'u') return std::nullopt;
  uint32_t value = 0;
  for (size_t i = pos + 2; i < pos + 6; ++i) {
    const char c = text[i];
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return value;
}

bool isHighSurrogate(uint32_t code) {
  return code >= 0xD800 && code <= 0xDBFF;
}
bool isLowSurrogate(uint32_t code) {
  return code >= 0xDC00 && code <= 0xDFFF;
}

// The text with every lone surrogate escape inside a string replaced by "\ufffd".
std::string replaceLoneSurrogateEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool inString = false;
  size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (!inString) {
      inString = c == '"';
      out += c;
      ++pos;
      continue;
    }
    if (c == '"') {
      inString = false;
      out += c;
      ++pos;
      continue;
    }
    if (c != '\\' || pos + 1 >= text.size()) {
      out += c;
      ++pos;
      continue;
    }
    const auto code = hexEscapeValue(text, pos);
    if (!code) {
      out.append(text.substr(pos, 2));  // another escape, copied whole
      pos += 2;
      continue;
    }
    if (isHighSurrogate(*code)) {
      const auto next = hexEscapeValue(text, pos + 6);
      if (next && isLowSurrogate(*next)) {
        out.append(text.substr(pos, 12));
        pos += 12;
        continue;
      }
      out += "\\ufffd";
    } else if (isLowSurrogate(*code)) {
      out += "\\ufffd";
    } else {
      out.append(text.substr(pos, 6));
    }
    pos += 6;
  }
  return out;
}

}  // namespace

Json parseJsonText(std::string_view text) {
  Json value = Json::parse(text, nullptr, false);
  if (!value.is_discarded() || text.find("\\u") == std::string_view::npos) return value;
  return Json::parse(replaceLoneSurrogateEscapes(text), nullptr, false);
}

}  // namespace glimmet
