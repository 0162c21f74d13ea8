#!/usr/bin/env bash
# clang-format check on every C++ file; with --tidy also clang-tidy over the compile database of
# the build tree (slow: a few minutes on two cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
files=$(git ls-files 'src/*.cpp' 'src/*.hpp' 'src/*.mm' 'tests/*.cpp' 'tests/*.hpp' 'bench/*.cpp')
clang-format --dry-run -Werror $files
echo "clang-format: clean"
if [ "${1:-}" = "--tidy" ]; then
  [ -f build/compile_commands.json ] || "$root/scripts/build.sh" build
  sources=$(git ls-files 'src/*.cpp' | grep -v '/macos/')
  jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu)
  findings=$(printf '%s\n' $sources | xargs -P "$jobs" -n 4 clang-tidy -p build --quiet --extra-arg=-Wno-unknown-warning-option 2>&1 |
    grep -E 'warning:|error:' | sort -u || true)
  if [ -n "$findings" ]; then
    echo "$findings"
    exit 1
  fi
  echo "clang-tidy: clean"
fi
