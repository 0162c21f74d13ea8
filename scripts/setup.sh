#!/usr/bin/env bash
# Installs what Glimmet needs to build and test; installs nothing that is already there.
# With --agents, also what the agent compatibility suite needs.
set -euo pipefail

debian_packages=(
  cmake ninja-build g++ pkg-config ccache git
  libuv1-dev nlohmann-json3-dev libsimdjson-dev libfmt-dev libcurl4-openssl-dev libssl-dev
  libtomlplusplus-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format clang-tidy python3 nodejs
  # The overlay: cairo and pango for drawing, the Inter font it draws with (and DejaVu Sans for
  # the scripts Inter lacks), X11 with XRandR, XFixes and Shape for its windows; Xvfb, a
  # compositor, xrandr and XTest for its tests.
  libcairo2-dev libpango1.0-dev fonts-inter fonts-dejavu-core libx11-dev libxrandr-dev
  libxext-dev libxfixes-dev
  libxtst-dev xvfb xcompmgr x11-xserver-utils
  # The text panel's tests type into it through the keyboard, accents included.
  xdotool
  # Desktop notifications over D-Bus with sd-bus; their tests run a private session bus with
  # dunst as the notification server and dbus-monitor to watch the calls.
  libsystemd-dev dbus dunst
  # Sound cues: libsndfile decodes (and encodes the piano cues as Ogg Vorbis at build time),
  # libpulse plays; the sound tests play to a null sink of their own PulseAudio. The
  # freedesktop sound theme stands in for the named system sounds.
  libsndfile1-dev libpulse-dev pulseaudio sound-theme-freedesktop
  # Pet sprite sheets: WebP decoding, and encoding for the pet Glimmet ships.
  libwebp-dev
  # The jump tests focus a real terminal window.
  xterm
  # The fuzz targets (scripts/fuzz.sh): clang with its libFuzzer and sanitizer runtimes.
  clang libclang-rt-14-dev
  # Recommended by Debian's nodejs, which apt skips here (--no-install-recommends): without it
  # every node start warns on stderr that it cannot load the system certificates.
  ca-certificates
)
# The agent compatibility suite (setup.sh --agents) installs the agent programs with npm.
if [ "${1:-}" = "--agents" ] && ! command -v npm >/dev/null 2>&1; then
  debian_packages+=(npm)
fi
# The macOS build: the same libraries from Homebrew. CMake asks pkg-config for cairo, pango
# (with pangocairo and pangoft2), fontconfig and libwebp by name, so each is listed even where
# another formula would pull it in.
brew_formulae=(cmake ninja pkg-config ccache libuv nlohmann-json simdjson fmt curl tomlplusplus googletest
  google-benchmark clang-format llvm python node cairo pango fontconfig webp)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if command -v apt-get >/dev/null 2>&1; then
  missing=()
  for pkg in "${debian_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  # node may come from elsewhere (nvm, a tarball); only ask apt for it when there is none.
  if command -v node >/dev/null 2>&1; then
    missing=("${missing[@]/nodejs/}")
  fi
  if command -v python3 >/dev/null 2>&1; then
    missing=("${missing[@]/python3/}")
  fi
  read -r -a missing <<<"${missing[*]:-}"
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
elif command -v brew >/dev/null 2>&1; then
  for formula in "${brew_formulae[@]}"; do
    brew list --formula "$formula" >/dev/null 2>&1 || brew install "$formula"
  done
  # The overlay's font; the cask puts it in ~/Library/Fonts, where Glimmet looks for it.
  brew list --cask font-inter >/dev/null 2>&1 || brew install --cask font-inter
else
  echo "Glimmet setup needs apt-get (Debian/Ubuntu) or Homebrew (macOS)." >&2
  exit 1
fi
