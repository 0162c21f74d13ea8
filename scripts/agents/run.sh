#!/usr/bin/env bash
# Runs Glimmet against the real agent programs at the versions pinned in versions.env. Each
# version is installed once with npm into its own cache folder and reused from then on.
# Usage: run.sh [--build-dir DIR] [--keep] [--only NAME]... [--timeout SECONDS]
#               [--codex-bypass-hook-trust]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source-path=SCRIPTDIR
source "$here/versions.env"

build_dir="$root/build"
if [ "${1:-}" = "--build-dir" ]; then
  build_dir=$2
  shift 2
fi
glimmet="$build_dir/src/glimmet"
if [ ! -x "$glimmet" ]; then
  echo "No glimmet at $glimmet: build first (scripts/build.sh $build_dir)." >&2
  exit 2
fi
cache="${XDG_CACHE_HOME:-$HOME/.cache}/glimmet/agents"

# The version check runs in a scratch home: the programs create their configuration folders on
# start, and the developer's own must stay untouched.
reports_version() {
  local binary=$1 version=$2 scratch output
  scratch=$(mktemp -d)
  output=$(env HOME="$scratch" CODEX_HOME="$scratch/.codex" XDG_CONFIG_HOME="$scratch" \
    XDG_CACHE_HOME="$scratch" XDG_DATA_HOME="$scratch" XDG_STATE_HOME="$scratch" \
    timeout 60 "$binary" --version 2>/dev/null || true)
  rm -rf "$scratch"
  [[ "$output" == *"$version"* ]]
}

# Prints the path of the pinned program, installing it first when its folder is not complete.
# A finished install is marked; a half-finished one is never taken for it.
install_pinned() {
  local package=$1 version=$2 folder=$3 name=$4
  local target="$cache/$folder" binary
  binary="$target/node_modules/.bin/$name"
  if [ -f "$target/.installed" ] && [ -x "$binary" ]; then
    echo "$binary"
    return
  fi
  if ! command -v npm >/dev/null 2>&1; then
    echo "npm is needed to install $package@$version (Debian: apt-get install npm)." >&2
    exit 2
  fi
  echo "Installing $package@$version into $target" >&2
  mkdir -p "$cache"
  local partial="$target.partial.$$"
  rm -rf "$partial"
  mkdir -p "$partial"
  npm install --prefix "$partial" --no-audit --no-fund --no-save --loglevel=error \
    "$package@$version" >&2
  local installed="$partial/node_modules/.bin/$name"
  if ! reports_version "$installed" "$version"; then
    # Claude Code puts its native program in place from a postinstall script, which an npm
    # configured to skip install scripts leaves undone.
    local postinstall="$partial/node_modules/$package/install.cjs"
    [ -f "$postinstall" ] && (cd "$(dirname "$postinstall")" && node install.cjs >&2)
  fi
  if ! reports_version "$installed" "$version"; then
    echo "$package@$version installed, but $name --version does not report $version" >&2
    rm -rf "$partial"
    exit 1
  fi
  touch "$partial/.installed"
  rm -rf "$target"
  mv "$partial" "$target"
  echo "$binary"
}

claude=$(install_pinned "$CLAUDE_CODE_PACKAGE" "$CLAUDE_CODE_VERSION" \
  "claude-code-$CLAUDE_CODE_VERSION" claude)
codex=$(install_pinned "$CODEX_PACKAGE" "$CODEX_VERSION" "codex-$CODEX_VERSION" codex)
echo "Claude Code $CLAUDE_CODE_VERSION: $claude"
echo "Codex CLI $CODEX_VERSION: $codex"
exec python3 "$here/suite.py" --glimmet "$glimmet" --claude "$claude" --codex "$codex" "$@"
