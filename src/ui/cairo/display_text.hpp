#pragma once

#include <string>
#include <string_view>

namespace glimmet {

// Text as the overlay lays it out: every control character (C0, DEL, C1) and every line or
// paragraph separator becomes one space, and invalid UTF-8 becomes U+FFFD. Event text is
// hostile: a stray newline would add a line to a one-line box and a control byte would reach
// the shaper as an invisible glyph.
std::string displayableText(std::string_view text);

}  // namespace glimmet
