#!/usr/bin/env bash
# Type-checks every macOS-only source on any machine with clang: the Objective-C++ shell
# (*.mm) and the C++ files under a macos/ folder, against the declaration headers in
# tests/macos-sdk/, which state exactly the Apple interfaces those sources use. A misspelt
# selector, a wrong argument type or an Apple symbol the headers do not declare fails it.
# It guards against typos and type errors; it is not a macOS build and links nothing.
#
# Usage: scripts/check-macos.sh [source ...]   (default: every macOS-only source)
# CLANGXX names the compiler (default clang++).
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 2
clang="${CLANGXX:-clang++}"
if ! command -v "$clang" >/dev/null 2>&1; then
  echo "check-macos: $clang not found; install clang" >&2
  exit 2
fi

if [ "$#" -gt 0 ]; then
  sources=("$@")
else
  mapfile -t sources < <(find src -name '*.mm' -o -path '*/macos/*.cpp' | sort)
fi
if [ "${#sources[@]}" -eq 0 ]; then
  echo "check-macos: no macOS sources found" >&2
  exit 2
fi

# The third-party headers the shared code includes (fmt, nlohmann/json, libuv), wherever
# pkg-config finds them; the Apple headers come only from tests/macos-sdk, searched first.
read -r -a library_includes <<<"$(pkg-config --cflags-only-I libuv fmt nlohmann_json 2>/dev/null)"
common=(-std=c++20 -fsyntax-only -Werror -Wall -Wextra -isystem tests/macos-sdk
        "${library_includes[@]}" -I src)
# The Apple runtime's rules for ARC and blocks, without its headers.
objc=(-x objective-c++ -fobjc-arc -fobjc-runtime=macosx-11.0 -fblocks)

failed=0
for source in "${sources[@]}"; do
  case "$source" in
    *.mm) language=("${objc[@]}") ;;
    *) language=(-x c++) ;;
  esac
  if ! "$clang" "${language[@]}" "${common[@]}" "$source"; then
    echo "check-macos: FAILED $source" >&2
    failed=$((failed + 1))
  fi
done

echo "check-macos: ${#sources[@]} sources checked, $failed failed"
[ "$failed" -eq 0 ]
