#!/usr/bin/env bash
# Configures and builds one build tree. Usage: build.sh BUILD_DIR [extra cmake args...]
# Warnings are errors here (GLIMMET_WERROR), so the scripts and CI keep the tree warning-free;
# a plain cmake configure leaves them as warnings. Debug information is line tables only (-g1):
# enough for file and line in every stack trace and sanitizer report, and it compiles and links
# in about two thirds of the time full information (-g, a plain configure's) takes. Each target
# compiles as a unity build, in batches of eight sources, which takes a build from scratch to
# about a third of the time; GLIMMET_UNITY_BUILD=OFF gives one translation unit per source
# (quicker rebuilds after a one-file edit).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1
shift
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu)
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${GLIMMET_BUILD_TYPE:-RelWithDebInfo}" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
  -DCMAKE_UNITY_BUILD="${GLIMMET_UNITY_BUILD:-ON}" -DGLIMMET_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir" -j "$jobs"
