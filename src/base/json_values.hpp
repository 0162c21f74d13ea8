#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace glimmet {

using Json = nlohmann::json;

// Lenient readers: agents write numbers as text and text as numbers, so every reader accepts
// the neighbouring types and treats everything else as absent.

// A string that is not empty after trimming (the trimmed text), or a number's decimal text.
std::optional<std::string> stringValue(const Json& value);
// A boolean; a number (non-zero is true); or "true"/"1"/"yes"/"on", "false"/"0"/"no"/"off".
std::optional<bool> boolValue(const Json& value);
// An integer; a number (its integer part); or a string holding a signed decimal integer.
std::optional<int64_t> intValue(const Json& value);
// A number, or a string holding a decimal number.
std::optional<double> doubleValue(const Json& value);
// The string elements of an array.
std::vector<std::string> stringArray(const Json& value);

// The member of an object, or nullptr when the object is not an object or lacks the key.
const Json* member(const Json& object, std::string_view key);

// The first of the keys whose value the reader accepts.
std::optional<std::string> firstString(const Json& object,
                                       std::initializer_list<std::string_view> keys);
std::optional<double> firstDouble(const Json& object, std::initializer_list<std::string_view> keys);
std::optional<bool> firstBool(const Json& object, std::initializer_list<std::string_view> keys);
std::optional<int64_t> firstInt(const Json& object, std::initializer_list<std::string_view> keys);

// Parses JSON text; a value that is not JSON is discarded (`is_discarded()`). A lone UTF-16
// surrogate escape ("\ud800" without its other half), which a strict parser refuses, becomes
// U+FFFD: some writers cut strings between the two halves, and the rest of the line still counts.
Json parseJsonText(std::string_view text);

// Decimal text of a number as a JSON writer would give it ("42", "41.6").
std::string numberText(const Json& number);

}  // namespace glimmet
