#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/json_values.hpp"
#include "base/member_names.hpp"

namespace glimmet {

// A read-only JSON value decoded from one line of a JSON Lines file in a single SIMD pass.
// Values live in the `JsonLineReader` that decoded them and stay valid until its next `read`.
// Lookups follow the tree parser's rules (a repeated key keeps its last value), so the lenient
// readers below answer exactly as their `Json` counterparts do.
class JsonLineValue {
 public:
  enum class Kind : uint8_t {
    null,
    boolean,
    integer,
    unsignedInteger,
    floating,
    string,
    array,
    object
  };

  Kind kind() const { return kind_; }
  bool is_object() const { return kind_ == Kind::object; }
  bool is_array() const { return kind_ == Kind::array; }
  bool is_string() const { return kind_ == Kind::string; }
  bool is_boolean() const { return kind_ == Kind::boolean; }
  bool is_number() const {
    return kind_ == Kind::integer || kind_ == Kind::unsignedInteger || kind_ == Kind::floating;
  }
  std::string_view text() const { return text_; }  // a string's unescaped text, else empty
  std::string_view key() const { return key_; }    // the name of an object's member

  // An object's member named `key` (its last occurrence), or nullptr.
  const JsonLineValue* find(std::string_view key) const;

  // Walks the elements of an array or the values of an object, in order.
  class Iterator {
   public:
    explicit Iterator(const JsonLineValue* at) : at_(at) {}
    const JsonLineValue& operator*() const { return *at_; }
    Iterator& operator++() {
      at_ = at_->next_;
      return *this;
    }
    bool operator==(const Iterator&) const = default;

   private:
    const JsonLineValue* at_;
  };
  Iterator begin() const { return Iterator(firstChild_); }
  Iterator end() const { return Iterator(nullptr); }

  // The same value as a tree, for the readers that only take one.
  Json toJson() const;

 private:
  friend class JsonLineReader;
  friend class JsonLineWalker;
  friend std::optional<std::string> stringValue(const JsonLineValue& value);
  friend std::optional<bool> boolValue(const JsonLineValue& value);
  friend std::optional<int64_t> intValue(const JsonLineValue& value);
  friend std::optional<double> doubleValue(const JsonLineValue& value);

  Kind kind_ = Kind::null;
  bool flag_ = false;
  // The mask of `index_`'s slots (their count less one), for an indexed object.
  uint32_t indexMask_ = 0;
  union {
    int64_t integer_ = 0;
    uint64_t unsignedInteger_;
    double floating_;
  };
  std::string_view key_;   // the member's name inside its object
  std::string_view text_;  // a string's text
  const JsonLineValue* firstChild_ = nullptr;
  const JsonLineValue* next_ = nullptr;
  // A larger object's members by the hash of their names (open addressing), so that the
  // readers' many lookups do not each walk every member.
  const JsonLineValue* const* index_ = nullptr;
};

// Decodes lines with simdjson's On-Demand API, reusing its buffers from line to line; one reader
// per thread.
class JsonLineReader {
 public:
  enum class Outcome {
    value,      // the line is one JSON value, now in `root()`
    notJson,    // the line is not JSON for any reader (bad UTF-8, raw control characters...)
    needsTree,  // something this reader leaves to the tree parser: deep nesting, numbers
                // beyond 64 bits, lone surrogate escapes, a byte-order mark, a syntax error
  };

  JsonLineReader();
  ~JsonLineReader();
  JsonLineReader(const JsonLineReader&) = delete;
  JsonLineReader& operator=(const JsonLineReader&) = delete;

  // `capacity` is how many bytes from `line.data()` may be read; with at least
  // `kPadding` beyond the line nothing is copied.
  Outcome read(std::string_view line, size_t capacity = 0);
  // A quick look at a few of a line's members: `root()` holds only the top-level members that
  // `names` lists, and of those that are objects only their members that `names` lists; the
  // rest are stepped over without being decoded or checked, so `value` here does not promise
  // that `read` would accept the line.
  Outcome readMembers(std::string_view line, size_t capacity,
                      std::span<const std::string_view> names);
  const JsonLineValue& root() const { return *root_; }

  // What `readPlainMembers` found of one name: its last occurrence's kind, and its text when it
  // is a string.
  struct PlainMember {
    enum class Kind : uint8_t { absent, string, object, other };
    Kind kind = Kind::absent;
    std::string_view text;  // valid until the next read
  };
  // The quickest look, for a line without a single backslash (so that no name or string needs
  // unescaping): for each of `names`, its last top-level occurrence in `top`, and in `nested`
  // the same of the members of the top-level object named `names[nestedIndex]` (its last
  // occurrence). Other values are stepped over. `needsTree` for a line with a backslash or
  // anything this look does not settle; the caller then reads the line another way.
  Outcome readPlainMembers(std::string_view line, size_t capacity,
                           std::span<const std::string_view> names, size_t nestedIndex,
                           std::span<PlainMember> top, std::span<PlainMember> nested);

  static const size_t kPadding;
  // Nesting deeper than this is left to the tree parser, which needs no stack for it.
  static constexpr size_t kMaxDepth = 256;

 private:
  struct Parser;
  Parser* parser_;
  std::string padded_;
  Outcome decode(std::string_view line, size_t capacity,
                 const std::span<const std::string_view>* names);
  const char* paddedData(std::string_view line, size_t& capacity);
  void indexLargeObjects();

  // The values of the current line, in blocks that never move once made, so that values point
  // at each other as they are appended; the blocks are kept from line to line.
  friend class JsonLineWalker;
  JsonLineValue& newValue();
  static constexpr size_t kBlockSize = 256;
  std::vector<std::unique_ptr<JsonLineValue[]>> blocks_;
  size_t used_ = 0;  // values used by the current line
  const JsonLineValue* root_ = nullptr;
  // Objects wide enough for an index, with their member counts.
  std::vector<std::pair<JsonLineValue*, uint32_t>> largeObjects_;
  std::vector<const JsonLineValue*> indexSlots_;
};

std::optional<std::string> stringValue(const JsonLineValue& value);
std::optional<bool> boolValue(const JsonLineValue& value);
std::optional<int64_t> intValue(const JsonLineValue& value);
std::optional<double> doubleValue(const JsonLineValue& value);
std::vector<std::string> stringArray(const JsonLineValue& value);
const JsonLineValue* member(const JsonLineValue& object, std::string_view key);
std::optional<std::string> firstString(const JsonLineValue& object,
                                       std::initializer_list<std::string_view> keys);
std::optional<int64_t> firstInt(const JsonLineValue& object,
                                std::initializer_list<std::string_view> keys);
std::optional<double> firstDouble(const JsonLineValue& object,
                                  std::initializer_list<std::string_view> keys);
std::optional<bool> firstBool(const JsonLineValue& object,
                              std::initializer_list<std::string_view> keys);

// The members of an object that `names` lists, by their number, found in one pass over the
// object; a repeated name keeps its last value, as in every other lookup.
template <size_t N>
class MemberSlots {
 public:
  MemberSlots(const JsonLineValue& object, const MemberNames<N>& names) {
    if (!object.is_object()) return;
    for (const JsonLineValue& child : object) {
      const uint16_t id = names.find(child.key());
      if (id != MemberNames<N>::kUnknown) {
        slots_[id] = &child;
        present_.add(id);
      }
    }
  }
  // The member numbered `id`, or nullptr when the object has none.
  const JsonLineValue* get(uint16_t id) const { return present_.has(id) ? slots_[id] : nullptr; }
  // The numbers of the names found, to rule out groups of names at once.
  const MemberSet<N>& present() const { return present_; }

 private:
  // Only the slots of names found are written and read: an event's line names a dozen of the
  // reader's ninety, so the rest are never cleared.
  std::array<const JsonLineValue*, N> slots_;  // NOLINT(cppcoreguidelines-pro-type-member-init)
  MemberSet<N> present_;
};

// Whether `text` is valid UTF-8, checked with SIMD instructions.
bool isValidUtf8Fast(std::string_view text);

}  // namespace glimmet
