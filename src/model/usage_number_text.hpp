#pragma once

#include <string>

namespace glimmet {

// The texts of usage figures, character for character what `fmt::format` gives for the same
// format string; every event line with usage prints several, so the common cases are spelled
// with integer arithmetic and only the rest go through the formatter.

// `value` as "{:.0f}" prints it ("42", "-3", "1e+20" digits and all).
std::string wholeNumberText(double value);
void appendWholeNumberText(std::string& out, double value);

// `value / divisor` as "{:.1f}" prints it, for a `divisor` of 1000 or 1000000.
std::string tenthsText(double value, double divisor);
void appendTenthsText(std::string& out, double value, double divisor);

}  // namespace glimmet
