#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// One case of an enum with the text that stands for it in files, logs and on the wire.
template <typename Enum>
struct EnumName {
  Enum value;
  std::string_view raw;
};

// The one table of an enum's texts, read both ways: every parser and every writer of the enum
// goes through it, so the two can never disagree.
template <typename Enum, size_t N>
using EnumNameTable = std::array<EnumName<Enum>, N>;

// The text of `value`; empty for a value the table does not list.
template <typename Enum, size_t N>
constexpr std::string_view rawName(const EnumNameTable<Enum, N>& table, Enum value) {
  for (const auto& name : table) {
    if (name.value == value) return name.raw;
  }
  return {};
}

// The case whose text is exactly `raw`; absent for any other text.
template <typename Enum, size_t N>
constexpr std::optional<Enum> valueNamed(const EnumNameTable<Enum, N>& table,
                                         std::string_view raw) {
  for (const auto& name : table) {
    if (name.raw == raw) return name.value;
  }
  return std::nullopt;
}

// Whether the table lists the cases in declaration order from the first, each once, and under
// distinct non-empty texts: then it covers every case up to its size and reads back unambiguously.
template <typename Enum, size_t N>
constexpr bool isCompleteNameTable(const EnumNameTable<Enum, N>& table) {
  for (size_t i = 0; i < N; ++i) {
    if (table[i].value != static_cast<Enum>(i) || table[i].raw.empty()) return false;
    for (size_t j = 0; j < i; ++j) {
      if (table[j].raw == table[i].raw) return false;
    }
  }
  return true;
}

// A value of a set that outside writers may extend: one of the cases the application knows, or
// `other` together with the text exactly as it was written. Code branches on the known cases,
// while a value the table does not know is still shown, grouped by and written back unchanged.
// `Kind` ends in `other`; `fromRaw` is the exact reading of the enum's name table, and
// `rawValue(Kind)`, found next to the enum, writes it.
template <typename Kind, std::optional<Kind> (*fromRaw)(std::string_view)>
class OpenValue {
 public:
  // `other` with an empty text.
  OpenValue() = default;
  OpenValue(Kind kind) : kind_(kind) {}  // NOLINT(google-explicit-constructor): a known case
  // The case named by `raw`, or `other` keeping `raw`.
  explicit OpenValue(std::string_view raw) {
    if (const auto known = fromRaw(raw)) {
      kind_ = *known;
    } else {
      otherText_ = raw;
    }
  }

  Kind kind() const { return kind_; }
  // The text as it was written: the case's raw value, or the unknown text itself.
  std::string_view raw() const {
    return kind_ == Kind::other ? std::string_view(otherText_) : rawValue(kind_);
  }

  bool operator==(Kind kind) const { return kind_ == kind; }
  bool operator==(const OpenValue&) const = default;

 private:
  Kind kind_ = Kind::other;
  std::string otherText_;  // empty unless `kind_` is `other`
};

}  // namespace glimmet
