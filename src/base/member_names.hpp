#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace glimmet {

// One member name a reader asks objects for, with its number in the reader's `MemberNames`.
struct MemberName {
  uint16_t id = 0;
  std::string_view text;
};

// A hash of a member name from its length and its outer bytes: constant time for any name, and
// the names agents write differ there.
constexpr uint32_t memberNameHash(std::string_view key) {
  const size_t size = key.size();
  if (size == 0) return 0;
  const auto byte = [&key](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(key[i]));
  };
  uint32_t hash = static_cast<uint32_t>(size) * 0x9E3779B1U;
  hash ^= byte(0) * 0x85EBCA77U;
  hash ^= byte(size - 1) * 0xC2B2AE3DU;
  if (size > 2) hash ^= (byte(1) << 8 | byte(size - 2)) * 0x27D4EB2FU;
  return hash ^ (hash >> 15);
}

// A set of member numbers of one reader's `MemberNames`: made at compile time from names, to
// tell in one test whether an object has any member of a group.
template <size_t N>
class MemberSet {
 public:
  constexpr MemberSet() = default;
  constexpr void add(uint16_t id) { words_[id / 64] |= uint64_t{1} << (id % 64); }
  constexpr bool has(uint16_t id) const { return (words_[id / 64] >> (id % 64)) & 1U; }
  constexpr bool intersects(const MemberSet& other) const {
    uint64_t common = 0;
    for (size_t i = 0; i < kWords; ++i) common |= words_[i] & other.words_[i];
    return common != 0;
  }

 private:
  static constexpr size_t kWords = (N + 63) / 64;
  std::array<uint64_t, kWords> words_{};
};

// The fixed set of member names one reader knows, numbered in the order given and hashed at
// compile time, so that an object's members are matched to the reader's names in one pass
// (`find` per member) instead of one search per name the reader asks for.
template <size_t N>
class MemberNames {
 public:
  static constexpr size_t kCount = N;
  static constexpr uint16_t kUnknown = UINT16_MAX;

  consteval explicit MemberNames(const std::array<std::string_view, N>& names) : names_(names) {
    static_assert(N < kUnknown);
    for (auto& slot : slots_) slot = kUnknown;
    for (size_t id = 0; id < N; ++id) {
      for (size_t other = 0; other < id; ++other) {
        // A name listed twice would leave one of its numbers unreachable.
        if (names[other] == names[id]) throw "a member name is listed twice";
      }
      for (uint32_t slot = memberNameHash(names[id]) & kMask;; slot = (slot + 1) & kMask) {
        if (slots_[slot] == kUnknown) {
          slots_[slot] = static_cast<uint16_t>(id);
          break;
        }
      }
    }
  }

  // The name `text` as this reader numbers it; a name the reader does not list fails to
  // compile.
  consteval MemberName operator()(std::string_view text) const {
    for (size_t id = 0; id < N; ++id) {
      if (names_[id] == text) return MemberName{static_cast<uint16_t>(id), names_[id]};
    }
    throw "a member name the reader does not list";
  }

  // The set of `names`, each of which this reader must list.
  consteval MemberSet<N> set(std::span<const std::string_view> names) const {
    MemberSet<N> result;
    for (const std::string_view name : names) result.add((*this)(name).id);
    return result;
  }
  consteval MemberSet<N> set(std::initializer_list<std::string_view> names) const {
    return set(std::span<const std::string_view>(names.begin(), names.size()));
  }

  // The number of `key`, or `kUnknown`.
  constexpr uint16_t find(std::string_view key) const {
    for (uint32_t slot = memberNameHash(key) & kMask;; slot = (slot + 1) & kMask) {
      const uint16_t id = slots_[slot];
      if (id == kUnknown || names_[id] == key) return id;
    }
  }

 private:
  // At least four slots per name keeps the probe sequences short.
  static constexpr size_t slotCount() {
    size_t slots = 16;
    while (slots < N * 4) slots *= 2;
    return slots;
  }
  static constexpr uint32_t kMask = static_cast<uint32_t>(slotCount() - 1);

  std::array<std::string_view, N> names_{};
  std::array<uint16_t, slotCount()> slots_{};
};

// One list of names from several, in order: a reader's names written as the groups it reads
// them in.
template <size_t... Sizes>
consteval std::array<std::string_view, (Sizes + ...)> joinNames(
    const std::array<std::string_view, Sizes>&... lists) {
  std::array<std::string_view, (Sizes + ...)> all{};
  size_t next = 0;
  for (const std::span<const std::string_view> list :
       {std::span<const std::string_view>(lists)...}) {
    for (const std::string_view name : list) all[next++] = name;
  }
  return all;
}

}  // namespace glimmet
