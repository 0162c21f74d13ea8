#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace glimmet {

// The answers for the last few keys asked, for questions asked line after line about the few
// values a file repeats (its sources, its tools): a short list searched in order is quicker
// than a hash table there. Not shared between threads.
template <typename Key, typename Value, size_t N = 8>
class RecentAnswers {
 public:
  // The answer kept for the first key `matches` accepts, or nullptr.
  template <typename Matches>
  const Value* find(Matches matches) const {
    for (size_t i = 0; i < kept_; ++i) {
      if (matches(entries_[i].key)) return &entries_[i].value;
    }
    return nullptr;
  }

  // Keeps `value` for `key`, in place of the oldest answer once N are kept.
  const Value& remember(Key key, Value value) {
    Entry& entry = kept_ < N ? entries_[kept_++] : entries_[oldest_++ % N];
    entry.key = std::move(key);
    entry.value = std::move(value);
    return entry.value;
  }

 private:
  struct Entry {
    Key key{};
    Value value{};
  };
  std::array<Entry, N> entries_{};
  size_t kept_ = 0;
  size_t oldest_ = 0;
};

// Answers keyed by two texts (a source type and a source, say), found without building a key.
template <typename Value, size_t N = 8>
class RecentAnswersForTwoTexts {
 public:
  const Value* find(std::string_view first, std::string_view second) const {
    return answers_.find(
        [&](const Key& key) { return key.second == second && key.first == first; });
  }
  const Value& remember(std::string_view first, std::string_view second, Value value) {
    return answers_.remember(Key(first, second), std::move(value));
  }

 private:
  using Key = std::pair<std::string, std::string>;
  RecentAnswers<Key, Value, N> answers_;
};

}  // namespace glimmet
