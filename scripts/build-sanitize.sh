#!/usr/bin/env bash
# Builds build-sanitize: the suite and the libFuzzer targets of tests/fuzz in one clang tree,
# everything under AddressSanitizer and UndefinedBehaviorSanitizer and instrumented for the
# fuzzer's coverage (only the fuzz targets link libFuzzer itself). Used by `test.sh --sanitize`
# and `fuzz.sh`, so CI builds the instrumented code once for both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# A tree configured by an earlier GCC set-up is started afresh: CMake cannot change compilers.
cache="$root/build-sanitize/CMakeCache.txt"
if [ -f "$cache" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang' "$cache"; then
  rm -rf "$root/build-sanitize"
fi
GLIMMET_BUILD_TYPE=Debug "$root/scripts/build.sh" "$root/build-sanitize" \
  -DCMAKE_CXX_COMPILER=clang++ -DGLIMMET_SANITIZE=ON -DGLIMMET_FUZZ=ON -DGLIMMET_BUILD_BENCH=OFF
