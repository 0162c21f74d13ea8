#!/bin/sh
# Ten runs of `glimmet run` watching an event file that a writer fills one byte per write(),
# 4,000 lines each; prints the lines lost per run and in all, and the time taken.
# Usage: bench/byte_writer_loss.sh [build directory, default build] [runs, default 10]
set -eu
build="${1:-build}"
runs="${2:-10}"
start=$(date +%s)
GLIMMET_BYTE_WRITER_RUNS="$runs" "$build/tests/integration_tests" \
  --gtest_filter='ByteWriterRunTest.*' | grep '\[ lost' || true
echo "[ time     ] $(( $(date +%s) - start )) s for $runs runs"
