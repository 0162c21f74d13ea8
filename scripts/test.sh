#!/usr/bin/env bash
# Sets up the machine, builds Glimmet and runs every test: C++ unit and integration tests and
# the bridge-script tests. With --sanitize the same suite runs under ASan and UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build_dir="$root/build"
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir="$root/build-sanitize"
  extra=(-DGLIMMET_SANITIZE=ON -DGLIMMET_BUILD_BENCH=OFF)
  export GLIMMET_BUILD_TYPE=Debug
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
# (The guarded expansion keeps an empty array legal under set -u in macOS's bash 3.2.)
"$root/scripts/build.sh" "$build_dir" ${extra[@]+"${extra[@]}"}
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu)
cd "$build_dir"
ctest --output-on-failure -j "$jobs"
