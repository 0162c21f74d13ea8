#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "model/glimmet_event.hpp"

namespace glimmet {

class JsonLineValue;

// `parseGlimmetEventLine` for a line that lies in a larger buffer: with `capacity` (the bytes
// readable from the line's start) at least the line's size plus `JsonLineReader::kPadding` it
// is decoded where it lies instead of being copied. Lines are decoded in one SIMD pass; the rare
// line that pass leaves open (nesting deeper than it follows, numbers beyond 64 bits, lone
// surrogate escapes, a byte-order mark) goes through the tree parser, so both give the same
// events.
std::optional<GlimmetEvent> parseGlimmetEventLine(std::string_view line,
                                                  const EventParseContext& context,
                                                  size_t capacity);

// The same through nlohmann's tree: the reference the SIMD reader is held to.
std::optional<GlimmetEvent> parseGlimmetEventLineAsTree(std::string_view line,
                                                        const EventParseContext& context);

// What `parseGlimmetEventLine` does once the line is decoded: builds the event from a
// `JsonLineReader`'s `root()`; absent when that is no object with a string `event_id`.
std::optional<GlimmetEvent> parseGlimmetEvent(const JsonLineValue& object,
                                              const EventParseContext& context);

}  // namespace glimmet
