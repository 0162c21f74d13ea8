#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan and UBSan) in build-sanitize, the sanitizer
# suite's tree, and runs each for SECONDS (default 60), starting from its checked-in seed
# corpus. Usage: fuzz.sh [SECONDS]
# New inputs collect in build-sanitize/corpus/<target>, failing ones in build-sanitize/artifacts;
# a failing input is replayed with `build-sanitize/tests/fuzz/<target> FILE`, and is printed in
# base64 in the log, so that one found on a CI machine can be brought home.
# FUZZ_SEED=N makes the mutations repeatable (CI sets it: a gate must not pass or fail by
# chance); without it every run explores anew.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build_dir="$root/build-sanitize"
"$root/scripts/setup.sh"
"$root/scripts/build-sanitize.sh"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build_dir/artifacts"
# One target per core at a time; each writes its own log.
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || sysctl -n hw.ncpu)
run_target() {
  local name=$1 corpus="$build_dir/corpus/$1"
  mkdir -p "$corpus"
  local options=(-max_total_time="$seconds" -print_final_stats=1 -timeout=10
    -artifact_prefix="$build_dir/artifacts/$name-")
  [ -f "$root/tests/fuzz/$name.dict" ] && options+=(-dict="$root/tests/fuzz/$name.dict")
  [ -n "${FUZZ_SEED:-}" ] && options+=(-seed="$FUZZ_SEED")
  "$build_dir/tests/fuzz/${name}_fuzz" "${options[@]}" "$corpus" "$root/tests/fuzz/corpus/$name" \
    >"$build_dir/$name.log" 2>&1
}
names=()
pids=()
for source in "$root"/tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" _fuzz.cpp)
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  echo "== ${name}_fuzz: ${seconds}s"
  run_target "$name" &
  names+=("$name")
  pids+=("$!")
done
failed=()
for i in "${!names[@]}"; do
  name=${names[$i]}
  if wait "${pids[$i]}"; then
    # "#1234 DONE cov: 567 ft: 890 corp: ...": the executions and the coverage reached.
    echo "$name: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$build_dir/$name.log" | tail -n 1 || true)"
  else
    tail -n 40 "$build_dir/$name.log"
    for input in "$build_dir/artifacts/$name-"*; do
      [ -f "$input" ] && echo "failing input $(basename "$input") (base64): $(base64 <"$input" | tr -d "\n")"
    done
    failed+=("${name}_fuzz")
  fi
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (inputs in $build_dir/artifacts)" >&2
  exit 1
fi
echo "fuzz: clean"
