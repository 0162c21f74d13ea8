#include "base/json_line_reader.hpp"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/text.hpp"

namespace glimmet {

namespace od = simdjson::ondemand;

const size_t JsonLineReader::kPadding = simdjson::SIMDJSON_PADDING;

struct JsonLineReader::Parser {
  od::parser parser;
};

namespace {

// Objects with fewer members are searched member by member, which is as quick. The event's
// top level and its usage object are matched to their names in one pass (`MemberSlots`), so
// only an unusually wide object inside a line pays for an index.
constexpr size_t kSmallestIndexedObject = 16;

inline __attribute__((always_inline)) uint32_t keyHash(std::string_view key) {
  return memberNameHash(key);
}

}  // namespace

// Builds the values of one line; a friend of the value type.
class JsonLineWalker {
 public:
  // `plain` says the line holds no backslash: then every name and string is its raw text, read
  // without being unescaped into simdjson's string buffer.
  JsonLineWalker(JsonLineReader& reader, bool plain, const char* lineEnd)
      : reader_(reader), plain_(plain), lineEnd_(lineEnd) {}

  // Appends the value and everything inside it; false when the tree parser must decide.
  template <typename Value>
  bool walk(Value& value, size_t depth, JsonLineValue*& out);

  // Appends the object with only the members `names` lists, and of a member that is an object
  // again only those; the others are passed over without being decoded.
  template <typename Value>
  bool walkSelectedMembers(Value& value, std::span<const std::string_view> names, size_t depth,
                           JsonLineValue*& out);

 private:
  bool walkObject(od::object object, size_t depth, JsonLineValue& out);
  bool walkArray(od::array array, size_t depth, JsonLineValue& out);
  template <typename Value>
  bool walkNumber(Value& value, JsonLineValue& out);
  bool readKey(od::field& field, std::string_view& key) const;
  // Appends `child` after `previous` (or first) among `parent`'s children.
  static void link(JsonLineValue& parent, JsonLineValue*& previous, JsonLineValue& child) {
    (previous ? previous->next_ : parent.firstChild_) = &child;
    previous = &child;
  }
  void noteMembers(JsonLineValue& object, uint32_t members) {
    if (members >= kSmallestIndexedObject) reader_.largeObjects_.emplace_back(&object, members);
  }

  JsonLineReader& reader_;
  const bool plain_;
  const char* const lineEnd_;
};

JsonLineValue& JsonLineReader::newValue() {
  const size_t block = used_ / kBlockSize;
  if (block == blocks_.size()) blocks_.push_back(std::make_unique<JsonLineValue[]>(kBlockSize));
  JsonLineValue& value = blocks_[block][used_ % kBlockSize];
  value = JsonLineValue();
  ++used_;
  return value;
}

namespace {

// A string token's text in a line without a backslash: between its quotes, which are the first
// and (after any trailing blanks the token runs on with) the last of its bytes.
std::string_view plainStringText(std::string_view token) {
  while (!token.empty() && token.back() != '"') token.remove_suffix(1);
  if (token.size() < 2) return {};
  return token.substr(1, token.size() - 2);
}

}  // namespace

bool JsonLineWalker::readKey(od::field& field, std::string_view& key) const {
  if (!plain_) return field.unescaped_key().get(key) == simdjson::SUCCESS;
  // Without a backslash the name ends at the next quote.
  const char* start = field.key().raw();
  const auto* quote =
      static_cast<const char*>(std::memchr(start, '"', static_cast<size_t>(lineEnd_ - start)));
  if (!quote) return false;
  key = std::string_view(start, static_cast<size_t>(quote - start));
  return true;
}

template <typename Value>
bool JsonLineWalker::walkNumber(Value& value, JsonLineValue& out) {
  od::number number;
  if (value.get_number().get(number) != simdjson::SUCCESS) return false;
  switch (number.get_number_type()) {
    case od::number_type::signed_integer:
      out.kind_ = JsonLineValue::Kind::integer;
      out.integer_ = number.get_int64();
      return true;
    case od::number_type::unsigned_integer:
      out.kind_ = JsonLineValue::Kind::unsignedInteger;
      out.unsignedInteger_ = number.get_uint64();
      return true;
    case od::number_type::floating_point_number:
      out.kind_ = JsonLineValue::Kind::floating;
      out.floating_ = number.get_double();
      if (out.floating_ == 0) {
        // "-0" is a float here but an integer to the tree parser.
        const std::string_view token = value.raw_json_token();
        if (token.find_first_of(".eE") == std::string_view::npos) {
          out.kind_ = JsonLineValue::Kind::integer;
          out.integer_ = 0;
        }
      }
      return true;
  }
  return false;
}

template <typename Value>
bool JsonLineWalker::walk(Value& value, size_t depth, JsonLineValue*& out) {
  JsonLineValue& result = reader_.newValue();
  out = &result;
  od::json_type type;
  if (value.type().get(type) != simdjson::SUCCESS) return false;
  switch (type) {
    case od::json_type::object: {
      if (depth >= JsonLineReader::kMaxDepth) return false;
      od::object object;
      if (value.get_object().get(object) != simdjson::SUCCESS) return false;
      result.kind_ = JsonLineValue::Kind::object;
      return walkObject(object, depth + 1, result);
    }
    case od::json_type::array: {
      if (depth >= JsonLineReader::kMaxDepth) return false;
      od::array array;
      if (value.get_array().get(array) != simdjson::SUCCESS) return false;
      result.kind_ = JsonLineValue::Kind::array;
      return walkArray(array, depth + 1, result);
    }
    case od::json_type::string: {
      std::string_view text;
      if (plain_) {
        text = plainStringText(value.raw_json_token());
        // Consumed all the same: a value stepped over is not checked, and what follows it
        // ("a":"b":"c") would pass for a member.
        od::raw_json_string raw;
        if (value.get_raw_json_string().get(raw) != simdjson::SUCCESS) return false;
      } else if (value.get_string().get(text) != simdjson::SUCCESS) {
        return false;
      }
      result.kind_ = JsonLineValue::Kind::string;
      result.text_ = text;
      return true;
    }
    case od::json_type::number:
      return walkNumber(value, result);
    case od::json_type::boolean: {
      bool flag = false;
      if (value.get_bool().get(flag) != simdjson::SUCCESS) return false;
      result.kind_ = JsonLineValue::Kind::boolean;
      result.flag_ = flag;
      return true;
    }
    case od::json_type::null: {
      // The kind is already null; anything but the literal itself is an error.
      bool isNull = false;
      return value.is_null().get(isNull) == simdjson::SUCCESS && isNull;
    }
  }
  return false;
}

bool JsonLineWalker::walkObject(od::object object, size_t depth, JsonLineValue& out) {
  JsonLineValue* previous = nullptr;
  uint32_t members = 0;
  for (auto member : object) {
    od::field field;
    if (std::move(member).get(field) != simdjson::SUCCESS) return false;
    std::string_view key;
    if (!readKey(field, key)) return false;
    JsonLineValue* child = nullptr;
    if (!walk(field.value(), depth, child)) return false;
    child->key_ = key;
    link(out, previous, *child);
    ++members;
  }
  noteMembers(out, members);
  return true;
}

template <typename Value>
bool JsonLineWalker::walkSelectedMembers(Value& value, std::span<const std::string_view> names,
                                         size_t depth, JsonLineValue*& out) {
  JsonLineValue& result = reader_.newValue();
  out = &result;
  result.kind_ = JsonLineValue::Kind::object;
  od::object object;
  if (value.get_object().get(object) != simdjson::SUCCESS) return false;
  JsonLineValue* previous = nullptr;
  uint32_t members = 0;
  for (auto entry : object) {
    od::field field;
    if (std::move(entry).get(field) != simdjson::SUCCESS) return false;
    std::string_view key;
    if (!readKey(field, key)) return false;
    // A value left untouched is stepped over when the iteration moves on.
    if (std::find(names.begin(), names.end(), key) == names.end()) continue;
    od::value& member = field.value();
    od::json_type type;
    if (member.type().get(type) != simdjson::SUCCESS) return false;
    JsonLineValue* child = nullptr;
    const bool walked = (type == od::json_type::object && depth == 0)
                            ? walkSelectedMembers(member, names, depth + 1, child)
                            : walk(member, depth + 1, child);
    if (!walked) return false;
    child->key_ = key;
    link(result, previous, *child);
    ++members;
  }
  noteMembers(result, members);
  return true;
}

bool JsonLineWalker::walkArray(od::array array, size_t depth, JsonLineValue& out) {
  JsonLineValue* previous = nullptr;
  for (auto element : array) {
    od::value value;
    if (element.get(value) != simdjson::SUCCESS) return false;
    JsonLineValue* child = nullptr;
    if (!walk(value, depth, child)) return false;
    link(out, previous, *child);
  }
  return true;
}

JsonLineReader::JsonLineReader() : parser_(new Parser) {}
JsonLineReader::~JsonLineReader() {
  delete parser_;
}

JsonLineReader::Outcome JsonLineReader::read(std::string_view line, size_t capacity) {
  return decode(line, capacity, nullptr);
}

JsonLineReader::Outcome JsonLineReader::readMembers(std::string_view line, size_t capacity,
                                                    std::span<const std::string_view> names) {
  return decode(line, capacity, &names);
}

const char* JsonLineReader::paddedData(std::string_view line, size_t& capacity) {
  if (capacity >= line.size() + kPadding) return line.data();
  padded_.assign(line);
  padded_.resize(line.size() + kPadding);
  capacity = padded_.size();
  return padded_.data();
}

namespace {

using PlainMember = JsonLineReader::PlainMember;

// Records a value as `PlainMember`; false on anything that makes the line need another reader.
bool readPlainValue(od::value& value, PlainMember& out) {
  od::json_type type;
  if (value.type().get(type) != simdjson::SUCCESS) return false;
  out.text = {};
  switch (type) {
    case od::json_type::string: {
      // The line has no backslash, so the text is the token's own bytes; the value is still
      // consumed, so that what follows it is checked.
      out.kind = PlainMember::Kind::string;
      out.text = plainStringText(value.raw_json_token());
      od::raw_json_string raw;
      return value.get_raw_json_string().get(raw) == simdjson::SUCCESS;
    }
    case od::json_type::object:
      out.kind = PlainMember::Kind::object;
      return true;
    default:
      out.kind = PlainMember::Kind::other;
      return true;
  }
}

// The first bytes of a few names, so that most other names are ruled out by one test.
class FirstBytes {
 public:
  explicit FirstBytes(std::span<const std::string_view> names) {
    for (const std::string_view name : names) {
      const auto byte = static_cast<uint8_t>(name.empty() ? '"' : name.front());
      words_[byte / 64] |= uint64_t{1} << (byte % 64);
    }
  }
  bool has(char c) const {
    const auto byte = static_cast<uint8_t>(c);
    return (words_[byte / 64] >> (byte % 64)) & 1U;
  }

 private:
  std::array<uint64_t, 4> words_{};
};

// The position in `names` of a member's name, taken from a line without a backslash: there the
// name is its raw text up to the next quote, so a name matches when its bytes are followed by
// that quote. The line's padding keeps the byte after any name inside the buffer.
size_t plainNameIndex(std::span<const std::string_view> names, const FirstBytes& firstBytes,
                      od::raw_json_string key, const char* lineEnd) {
  const char* start = key.raw();
  // An empty name's first byte is its closing quote.
  if (!firstBytes.has(*start)) return names.size();
  const auto room = static_cast<size_t>(lineEnd - start);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string_view name = names[i];
    if (name.size() < room && start[name.size()] == '"' &&
        std::memcmp(start, name.data(), name.size()) == 0) {
      return i;
    }
  }
  return names.size();
}

}  // namespace

JsonLineReader::Outcome JsonLineReader::readPlainMembers(std::string_view line, size_t capacity,
                                                         std::span<const std::string_view> names,
                                                         size_t nestedIndex,
                                                         std::span<PlainMember> top,
                                                         std::span<PlainMember> nested) {
  if (top.size() < names.size() || nested.size() < names.size()) return Outcome::needsTree;
  std::fill(top.begin(), top.end(), PlainMember{});
  std::fill(nested.begin(), nested.end(), PlainMember{});
  if (std::memchr(line.data(), '\\', line.size())) return Outcome::needsTree;
  const char* data = paddedData(line, capacity);
  const char* const lineEnd = data + line.size();
  const FirstBytes firstBytes(names);
  od::document document;
  od::object object;
  if (parser_->parser.iterate(data, line.size(), capacity).get(document) != simdjson::SUCCESS ||
      document.get_object().get(object) != simdjson::SUCCESS) {
    return Outcome::needsTree;
  }
  for (auto member : object) {
    od::field field;
    if (std::move(member).get(field) != simdjson::SUCCESS) return Outcome::needsTree;
    // Without a backslash in the line a name is its raw text, so the raw comparison is exact.
    const size_t index = plainNameIndex(names, firstBytes, field.key(), lineEnd);
    if (index == names.size()) continue;  // stepped over when the iteration moves on
    od::value& value = field.value();
    if (index != nestedIndex) {
      if (!readPlainValue(value, top[index])) return Outcome::needsTree;
      continue;
    }
    od::object inner;
    od::json_type type;
    if (value.type().get(type) != simdjson::SUCCESS) return Outcome::needsTree;
    if (type != od::json_type::object) {
      top[index] = {PlainMember::Kind::other, {}};
      continue;
    }
    // A later object of the same name replaces an earlier one entirely.
    top[index] = {PlainMember::Kind::object, {}};
    std::fill(nested.begin(), nested.end(), PlainMember{});
    if (value.get_object().get(inner) != simdjson::SUCCESS) return Outcome::needsTree;
    for (auto innerMember : inner) {
      od::field innerField;
      if (std::move(innerMember).get(innerField) != simdjson::SUCCESS) return Outcome::needsTree;
      const size_t innerIndex = plainNameIndex(names, firstBytes, innerField.key(), lineEnd);
      if (innerIndex == names.size()) continue;
      if (!readPlainValue(innerField.value(), nested[innerIndex])) return Outcome::needsTree;
    }
  }
  // Anything after the object: the line is left to a full reader.
  const char* location = nullptr;
  if (document.current_location().get(location) != simdjson::OUT_OF_BOUNDS) {
    return Outcome::needsTree;
  }
  return Outcome::value;
}

JsonLineReader::Outcome JsonLineReader::decode(std::string_view line, size_t capacity,
                                               const std::span<const std::string_view>* names) {
  used_ = 0;
  largeObjects_.clear();
  const char* data = paddedData(line, capacity);
  od::document document;
  const auto error = parser_->parser.iterate(data, line.size(), capacity).get(document);
  if (error == simdjson::UTF8_ERROR || error == simdjson::UNESCAPED_CHARS ||
      error == simdjson::EMPTY) {
    return Outcome::notJson;
  }
  if (error != simdjson::SUCCESS) return Outcome::needsTree;
  od::json_type type;
  if (document.type().get(type) != simdjson::SUCCESS) return Outcome::needsTree;
  // Only objects become events; any other value, valid or not, is no event either way.
  if (type != od::json_type::object) return Outcome::notJson;

  const bool plain = std::memchr(data, '\\', line.size()) == nullptr;
  JsonLineWalker walker(*this, plain, data + line.size());
  JsonLineValue* root = nullptr;
  if (names ? !walker.walkSelectedMembers(document, *names, 0, root)
            : !walker.walk(document, 0, root)) {
    return Outcome::needsTree;
  }
  // Anything after the object makes the whole line invalid.
  const char* location = nullptr;
  if (document.current_location().get(location) != simdjson::OUT_OF_BOUNDS) {
    return Outcome::needsTree;
  }
  root_ = root;
  if (!largeObjects_.empty()) indexLargeObjects();
  return Outcome::value;
}

void JsonLineReader::indexLargeObjects() {
  // First the room every large object needs, so that the slots never move once pointed at.
  size_t total = 0;
  for (auto& [object, members] : largeObjects_) {
    size_t slots = 16;
    while (slots < size_t{members} * 2) slots *= 2;
    object->indexMask_ = static_cast<uint32_t>(slots - 1);
    total += slots;
  }
  indexSlots_.assign(total, nullptr);
  size_t first = 0;
  for (auto& [object, members] : largeObjects_) {
    const JsonLineValue** slots = indexSlots_.data() + first;
    const uint32_t mask = object->indexMask_;
    // Members in order, so that a repeated name ends on its last value.
    for (const JsonLineValue* child = object->firstChild_; child; child = child->next_) {
      for (uint32_t slot = keyHash(child->key_) & mask;; slot = (slot + 1) & mask) {
        if (!slots[slot] || slots[slot]->key_ == child->key_) {
          slots[slot] = child;
          break;
        }
      }
    }
    object->index_ = slots;
    first += mask + 1;
  }
}

const JsonLineValue* JsonLineValue::find(std::string_view key) const {
  if (kind_ != Kind::object) return nullptr;
  if (index_) {
    for (uint32_t slot = keyHash(key) & indexMask_;; slot = (slot + 1) & indexMask_) {
      const JsonLineValue* entry = index_[slot];
      if (!entry || entry->key_ == key) return entry;
    }
  }
  const JsonLineValue* found = nullptr;
  // Most lookups miss: the length and the first byte settle nearly all of them.
  const size_t size = key.size();
  const char first = size ? key.front() : '\0';
  for (const JsonLineValue* child = firstChild_; child; child = child->next_) {
    const std::string_view name = child->key_;
    if (name.size() != size || (size && name.front() != first)) continue;
    if (std::memcmp(name.data(), key.data(), size) == 0) found = child;
  }
  return found;
}

Json JsonLineValue::toJson() const {
  switch (kind_) {
    case Kind::null:
      return nullptr;
    case Kind::boolean:
      return flag_;
    case Kind::integer:
      return integer_;
    case Kind::unsignedInteger:
      return unsignedInteger_;
    case Kind::floating:
      return floating_;
    case Kind::string:
      return std::string(text_);
    case Kind::array: {
      Json array = Json::array();
      for (const auto& element : *this) array.push_back(element.toJson());
      return array;
    }
    case Kind::object: {
      Json object = Json::object();
      for (const JsonLineValue* child = firstChild_; child; child = child->next_) {
        object[std::string(child->key_)] = child->toJson();
      }
      return object;
    }
  }
  return nullptr;
}

std::optional<std::string> stringValue(const JsonLineValue& value) {
  switch (value.kind_) {
    case JsonLineValue::Kind::string: {
      std::string trimmed = trim(value.text_);
      if (trimmed.empty()) return std::nullopt;
      return trimmed;
    }
    case JsonLineValue::Kind::integer: {
      char buffer[24];
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.integer_).ptr;
      return std::string(buffer, end);
    }
    case JsonLineValue::Kind::unsignedInteger: {
      char buffer[24];
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.unsignedInteger_).ptr;
      return std::string(buffer, end);
    }
    case JsonLineValue::Kind::floating:
      return numberText(Json(value.floating_));
    default:
      return std::nullopt;
  }
}

std::optional<bool> boolValue(const JsonLineValue& value) {
  switch (value.kind_) {
    case JsonLineValue::Kind::boolean:
      return value.flag_;
    case JsonLineValue::Kind::integer:
      return value.integer_ != 0;
    case JsonLineValue::Kind::unsignedInteger:
      return value.unsignedInteger_ != 0;
    case JsonLineValue::Kind::floating:
      return value.floating_ != 0.0;
    case JsonLineValue::Kind::string: {
      const std::string lower = toLower(value.text_);
      if (lower == "true" || lower == "1" || lower == "yes" || lower == "on") return true;
      if (lower == "false" || lower == "0" || lower == "no" || lower == "off") return false;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<int64_t> intValue(const JsonLineValue& value) {
  switch (value.kind_) {
    case JsonLineValue::Kind::integer:
      return value.integer_;
    case JsonLineValue::Kind::unsignedInteger:
      return static_cast<int64_t>(value.unsignedInteger_);
    case JsonLineValue::Kind::floating:
      return intValue(Json(value.floating_));
    case JsonLineValue::Kind::string:
      return intValue(Json(std::string(value.text_)));
    default:
      return std::nullopt;
  }
}

std::optional<double> doubleValue(const JsonLineValue& value) {
  switch (value.kind_) {
    case JsonLineValue::Kind::integer:
      return static_cast<double>(value.integer_);
    case JsonLineValue::Kind::unsignedInteger:
      return static_cast<double>(value.unsignedInteger_);
    case JsonLineValue::Kind::floating:
      return value.floating_;
    case JsonLineValue::Kind::string:
      return doubleValue(Json(std::string(value.text_)));
    default:
      return std::nullopt;
  }
}

std::vector<std::string> stringArray(const JsonLineValue& value) {
  std::vector<std::string> out;
  if (!value.is_array()) return out;
  for (const auto& element : value) {
    if (element.is_string()) out.emplace_back(element.text());
  }
  return out;
}

const JsonLineValue* member(const JsonLineValue& object, std::string_view key) {
  return object.find(key);
}

std::optional<std::string> firstString(const JsonLineValue& object,
                                       std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const JsonLineValue* value = object.find(key)) {
      if (auto text = stringValue(*value)) return text;
    }
  }
  return std::nullopt;
}

std::optional<int64_t> firstInt(const JsonLineValue& object,
                                std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const JsonLineValue* value = object.find(key)) {
      if (auto number = intValue(*value)) return number;
    }
  }
  return std::nullopt;
}

std::optional<double> firstDouble(const JsonLineValue& object,
                                  std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const JsonLineValue* value = object.find(key)) {
      if (auto number = doubleValue(*value)) return number;
    }
  }
  return std::nullopt;
}

std::optional<bool> firstBool(const JsonLineValue& object,
                              std::initializer_list<std::string_view> keys) {
  for (const auto key : keys) {
    if (const JsonLineValue* value = object.find(key)) {
      if (auto flag = boolValue(*value)) return flag;
    }
  }
  return std::nullopt;
}

bool isValidUtf8Fast(std::string_view text) {
  return simdjson::validate_utf8(text.data(), text.size());
}

}  // namespace glimmet
