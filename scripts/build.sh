#!/usr/bin/env bash
# Configures and builds one build tree. Usage: build.sh BUILD_DIR [extra cmake args...]
# Warnings are errors here (GLIMMET_WERROR), so the scripts and CI keep the tree warning-free;
# a plain cmake configure leaves them as warnings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1
shift
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu)
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${GLIMMET_BUILD_TYPE:-RelWithDebInfo}" \
  -DGLIMMET_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir" -j "$jobs"
