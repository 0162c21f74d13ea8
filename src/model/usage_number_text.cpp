#include "model/usage_number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>

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

void appendInteger(std::string& out, int64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, end);
}

}  // namespace

void appendWholeNumberText(std::string& out, double value) {
  if (!isPlainWhole(value)) {
    fmt::format_to(std::back_inserter(out), "{:.0f}", value);
    return;
  }
  appendInteger(out, static_cast<int64_t>(value));
}

std::string wholeNumberText(double value) {
  std::string text;
  appendWholeNumberText(text, value);
  return text;
}

void appendTenthsText(std::string& out, double value, double divisor) {
  // A whole `value` of `n` divisors plus a remainder rounds to the nearest tenth exactly as
  // the quotient does, except on a half-way remainder, where the binary quotient decides; and
  // below 1e12 the quotient's own rounding error is far smaller than a tenth's distance.
  const auto step = static_cast<int64_t>(divisor / 10);
  if (value >= 0 && !std::signbit(value) && value < 1e12 && std::floor(value) == value &&
      step > 0) {
    const auto whole = static_cast<int64_t>(value);
    if (whole % step != step / 2) {
      const int64_t tenths = (whole + step / 2) / step;
      appendInteger(out, tenths / 10);
      out += '.';
      out += static_cast<char>('0' + tenths % 10);
      return;
    }
  }
  fmt::format_to(std::back_inserter(out), "{:.1f}", value / divisor);
}

std::string tenthsText(double value, double divisor) {
  std::string text;
  appendTenthsText(text, value, divisor);
  return text;
}

}  // namespace glimmet
