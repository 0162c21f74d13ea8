#pragma once

#include <cstdio>
#include <cstdlib>

// A property the fuzzed code must keep. Unlike assert() it stays on in every build type, so a
// violation is reported (and its input saved) by the fuzzer like any crash.
#define FUZZ_CHECK(condition)                                                                 \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (false)
