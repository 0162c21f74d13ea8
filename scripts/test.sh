#!/usr/bin/env bash
# Sets up the machine, builds Glimmet and runs every test: C++ unit and integration tests and
# the bridge-script tests. With --sanitize the same suite runs under ASan and UBSan. With --agents
# it runs the compatibility suite against the real agent programs instead (scripts/agents/run.sh,
# which takes the options that follow; see docs/agents-suite.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
if [ "$mode" = "--agents" ]; then "$root/scripts/setup.sh" --agents; else "$root/scripts/setup.sh"; fi
build_dir="$root/build"
if [ "$mode" = "--sanitize" ]; then
  build_dir="$root/build-sanitize"
  "$root/scripts/build-sanitize.sh"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  "$root/scripts/build.sh" "$build_dir"
fi
if [ "$mode" = "--agents" ]; then
  shift
  exec "$root/scripts/agents/run.sh" --build-dir "$build_dir" "$@"
fi
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu)
cd "$build_dir"
if [ "$mode" = "--sanitize" ]; then
  # The script-only checks (the layering of the includes, the macOS type check) run no
  # instrumented code: the plain suite has run them.
  ctest --output-on-failure -j "$jobs" -E '^(layering|check_macos|check_macos_rejects)$'
else
  ctest --output-on-failure -j "$jobs"
fi
