#pragma once

#include <gtest/gtest.h>

#include <string>

#include "model/glimmet_event.hpp"

namespace glimmet::testing {

// The event of one event-file line, as the store would parse it; a line that yields no event
// fails the calling test.
inline GlimmetEvent eventFrom(const std::string& line) {
  auto event = parseGlimmetEventLine(line, EventParseContext{"/home/u"});
  EXPECT_TRUE(event.has_value()) << line;
  return event.value_or(GlimmetEvent{});
}

}  // namespace glimmet::testing
