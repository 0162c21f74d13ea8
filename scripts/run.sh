#!/usr/bin/env bash
# Sets up the machine, builds Glimmet and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DGLIMMET_BUILD_BENCH=OFF
exec "$root/build/src/glimmet" run "$@"
