#!/usr/bin/env bash
# clang-format check on every C++ file; with --tidy also clang-tidy over every source (slow: a
# few minutes on two cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
files=$(git ls-files 'src/*.cpp' 'src/*.hpp' 'src/*.mm' 'tests/*.cpp' 'tests/*.hpp' 'bench/*.cpp')
clang-format --dry-run -Werror $files
echo "clang-format: clean"
if [ "${1:-}" = "--tidy" ]; then
  # clang-tidy wants a command per source, which a unity build's database does not have: a
  # configured (not built) tree of its own gives them.
  cmake -S "$root" -B "$root/build-tidy" -G Ninja -DCMAKE_UNITY_BUILD=OFF \
    -DGLIMMET_BUILD_BENCH=OFF >/dev/null
  sources=$(git ls-files 'src/*.cpp' | grep -v '/macos/')
  jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu)
  findings=$(printf '%s\n' $sources | xargs -P "$jobs" -n 4 clang-tidy -p build-tidy --quiet --extra-arg=-Wno-unknown-warning-option 2>&1 |
    grep -E 'warning:|error:' | sort -u || true)
  if [ -n "$findings" ]; then
    echo "$findings"
    exit 1
  fi
  echo "clang-tidy: clean"
fi
