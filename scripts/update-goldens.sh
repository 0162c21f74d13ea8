#!/usr/bin/env bash
# Draws the overlay's fixtures again into tests/ui/golden, the images the snapshot tests compare
# with. Review the changed images in the diff before committing them. Usage: update-goldens.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build" >/dev/null
rm -f "$root"/tests/ui/golden/*.png "$root"/tests/ui/golden/*.json
"$root/build/src/glimmet" render --out "$root/tests/ui/golden"
ls "$root/tests/ui/golden"
