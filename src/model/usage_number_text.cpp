#include "model/usage_number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

#include <fmt/format.h>

namespace glimmet {

namespace {

// Whole numbers up to here are held exactly by a double and by an int64_t alike.
constexpr double kLargestExactWhole = 1e15;

// Whether `value` is a whole number that prints as the integer it holds ("-0" does not).
bool isPlainWhole(double value) {
  return std::fabs(value) < kLargestExactWhole && std::floor(value) == value &&
         !(value == 0 && std::signbit(value));
}

std::string integerText(int64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

}  // namespace

std::string wholeNumberText(double value) {
  if (!isPlainWhole(value)) return fmt::format("{:.0f}", value);
  return integerText(static_cast<int64_t>(value));
}

std::string tenthsText(double value, double divisor) {
  // A whole `value` of `n` divisors plus a remainder rounds to the nearest tenth exactly as
  // the quotient does, except on a half-way remainder, where the binary quotient decides; and
  // below 1e12 the quotient's own rounding error is far smaller than a tenth's distance.
  const auto step = static_cast<int64_t>(divisor / 10);
  if (value >= 0 && !std::signbit(value) && value < 1e12 && std::floor(value) == value &&
      step > 0) {
    const auto whole = static_cast<int64_t>(value);
    if (whole % step != step / 2) {
      const int64_t tenths = (whole + step / 2) / step;
      return integerText(tenths / 10) + "." + static_cast<char>('0' + tenths % 10);
    }
  }
  return fmt::format("{:.1f}", value / divisor);
}

}  // namespace glimmet
