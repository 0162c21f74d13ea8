#!/usr/bin/env bash
# The macOS check must stop what it exists to stop: every source under tests/macos-check/rejected
# fails it with the error its first line names, and tests/macos-check/accepted.mm passes, so a
# check that lost its headers or its flags cannot pass quietly.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 2
check=scripts/check-macos.sh
problems=0

if ! output=$("$check" tests/macos-check/accepted.mm 2>&1); then
  echo "FAIL accepted.mm was rejected:"
  echo "$output"
  problems=$((problems + 1))
fi

count=0
for source in tests/macos-check/rejected/*.mm; do
  count=$((count + 1))
  expected=$(sed -n '1s|^// expect: ||p' "$source")
  if [ -z "$expected" ]; then
    echo "FAIL $source names no expected error on its first line"
    problems=$((problems + 1))
    continue
  fi
  if output=$("$check" "$source" 2>&1); then
    echo "FAIL $source passed the check"
    problems=$((problems + 1))
  elif ! grep -qF -- "$expected" <<<"$output"; then
    echo "FAIL $source failed without \"$expected\":"
    echo "$output"
    problems=$((problems + 1))
  else
    echo "ok   $source: $expected"
  fi
done

echo "macos check self-test: $count rejected sources, $problems problem(s)"
[ "$count" -gt 0 ] && [ "$problems" -eq 0 ]
