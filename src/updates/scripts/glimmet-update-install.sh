#!/bin/sh
# Replaces the installed Glimmet with the program inside a verified update artifact, once the
# running Glimmet has exited, and starts the new one. Glimmet writes this file next to its
# downloads and starts it detached; every step goes to the log, since nobody watches the
# terminal. Arguments: APP_PID ARTIFACT TARGET LOG_FILE [RELAUNCH] [ORIG_USER].
#   APP_PID    the process to wait for ("0": do not wait)
#   ARTIFACT   .dmg or .zip holding Glimmet.app (macOS), .tar.gz holding the program tree
#              (bin/glimmet and what lies beside it, on Linux)
#   TARGET     the installed Glimmet.app, or the installed program tree
#   RELAUNCH   "1" (default) starts the installed program afterwards
#   ORIG_USER  the user to hand the program to when this runs as root
# The GLIMMET_UPDATE_<TOOL> variables name other tools to use, for tests.
set -eu

APP_PID=${1:?missing app pid}
ARTIFACT=${2:?missing artifact path}
TARGET=${3:?missing target app path}
LOG_FILE=${4:?missing log path}
RELAUNCH=${5:-1}
ORIG_USER=${6:-}
SCRIPT_PATH=$0

# The macOS tools by their fixed paths, so that a changed PATH cannot substitute them; where a
# tool lives elsewhere (Linux), the one on PATH.
pick_tool() {
  if [ -n "$1" ]; then
    printf '%s\n' "$1"
  elif [ -x "$2" ]; then
    printf '%s\n' "$2"
  else
    printf '%s\n' "$3"
  fi
}
HDIUTIL=$(pick_tool "${GLIMMET_UPDATE_HDIUTIL:-}" /usr/bin/hdiutil hdiutil)
DITTO=$(pick_tool "${GLIMMET_UPDATE_DITTO:-}" /usr/bin/ditto ditto)
FIND=$(pick_tool "${GLIMMET_UPDATE_FIND:-}" /usr/bin/find find)
CHOWN=$(pick_tool "${GLIMMET_UPDATE_CHOWN:-}" /usr/sbin/chown chown)
MV=$(pick_tool "${GLIMMET_UPDATE_MV:-}" /bin/mv mv)
LAUNCHCTL=$(pick_tool "${GLIMMET_UPDATE_LAUNCHCTL:-}" /bin/launchctl launchctl)
SUDO=$(pick_tool "${GLIMMET_UPDATE_SUDO:-}" /usr/bin/sudo sudo)
OPEN=$(pick_tool "${GLIMMET_UPDATE_OPEN:-}" /usr/bin/open open)
TAR=$(pick_tool "${GLIMMET_UPDATE_TAR:-}" /usr/bin/tar tar)

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmet-update.XXXXXX")
MOUNT_POINT=
IS_ROOT=0
if [ "$(id -u)" = "0" ]; then
  IS_ROOT=1
fi

log() {
  mkdir -p "$(dirname "$LOG_FILE")"
  printf '%s %s\n' "$(date -u '+%Y-%m-%dT%H:%M:%SZ')" "$1" >>"$LOG_FILE"
}

cleanup() {
  if [ -n "$MOUNT_POINT" ]; then
    "$HDIUTIL" detach "$MOUNT_POINT" -quiet >/dev/null 2>&1 || true
  fi
  rm -rf "$WORK"
  rm -f "$SCRIPT_PATH"
}
trap cleanup EXIT

# The first directory up to four levels below $1 for which $2 holds; the program may sit
# inside a folder named after the release.
find_program_dir() {
  "$FIND" "$1" -maxdepth 4 -type d -print | while IFS= read -r candidate; do
    if "$2" "$candidate"; then
      printf '%s\n' "$candidate"
      break
    fi
  done
}
is_app_bundle() {
  [ "$(basename "$1")" = "Glimmet.app" ]
}
is_program_tree() {
  [ -f "$1/bin/glimmet" ]
}

if [ "$APP_PID" != "0" ]; then
  log "waiting for Glimmet pid $APP_PID"
  polls=0
  while kill -0 "$APP_PID" 2>/dev/null; do
    polls=$((polls + 1))
    if [ "$polls" -gt 200 ]; then
      log "timed out waiting for Glimmet to exit"
      exit 1
    fi
    sleep 0.1
  done
fi

LAYOUT=bundle
case "$ARTIFACT" in
  *.dmg | *.DMG)
    log "mounting $ARTIFACT"
    MOUNT_POINT="$WORK/mount"
    mkdir -p "$MOUNT_POINT"
    "$HDIUTIL" attach "$ARTIFACT" -readonly -nobrowse -quiet -mountpoint "$MOUNT_POINT"
    SOURCE_APP=$(find_program_dir "$MOUNT_POINT" is_app_bundle)
    ;;
  *.zip | *.ZIP)
    log "extracting $ARTIFACT"
    mkdir -p "$WORK/extract"
    "$DITTO" -x -k "$ARTIFACT" "$WORK/extract"
    SOURCE_APP=$(find_program_dir "$WORK/extract" is_app_bundle)
    ;;
  *.tar.gz | *.TAR.GZ | *.tgz | *.TGZ)
    log "extracting $ARTIFACT"
    LAYOUT=tree
    mkdir -p "$WORK/extract"
    "$TAR" -xzf "$ARTIFACT" -C "$WORK/extract"
    SOURCE_APP=$(find_program_dir "$WORK/extract" is_program_tree)
    ;;
  *)
    log "unsupported update artifact: $ARTIFACT"
    exit 1
    ;;
esac

if [ -z "$SOURCE_APP" ]; then
  if [ "$LAYOUT" = bundle ]; then
    log "Glimmet.app not found in update artifact"
  else
    log "Glimmet program not found in update artifact"
  fi
  exit 1
fi

log "staging $SOURCE_APP"
if [ "$LAYOUT" = bundle ]; then
  STAGED="$WORK/Glimmet.app"
  "$DITTO" "$SOURCE_APP" "$STAGED"
  EXECUTABLE="$STAGED/Contents/MacOS/Glimmet"
else
  STAGED="$WORK/Glimmet"
  cp -pR "$SOURCE_APP" "$STAGED"
  EXECUTABLE="$STAGED/bin/glimmet"
fi
if [ ! -x "$EXECUTABLE" ]; then
  log "staged app is missing executable"
  exit 1
fi

# Root installs into a folder the user cannot write; the program itself must stay the user's,
# or the relaunched Glimmet could never update itself again.
if [ "$IS_ROOT" = "1" ] && [ -n "$ORIG_USER" ]; then
  if [ "$(uname -s)" = "Darwin" ]; then
    "$CHOWN" -R "$ORIG_USER:staff" "$STAGED" 2>/dev/null || true
  else
    "$CHOWN" -R "$ORIG_USER:" "$STAGED" 2>/dev/null || true
  fi
fi

BACKUP="$(dirname "$TARGET")/.$(basename "$TARGET").backup.$(date +%s)"
replacement_failed() {
  log "replacement failed, restoring previous app"
  if [ ! -e "$TARGET" ] && [ -e "$BACKUP" ]; then
    "$MV" "$BACKUP" "$TARGET" || true
  fi
  exit 1
}
log "replacing $TARGET"
if [ -e "$TARGET" ]; then
  "$MV" "$TARGET" "$BACKUP" || replacement_failed
fi
"$MV" "$STAGED" "$TARGET" || replacement_failed
rm -rf "$BACKUP"

start_program() {
  if [ "$LAYOUT" = bundle ]; then
    "$@" "$OPEN" -n "$TARGET"
  else
    "$@" "$TARGET/bin/glimmet" </dev/null >/dev/null 2>&1 &
  fi
}

if [ "$RELAUNCH" = "1" ]; then
  log "installed update; relaunching $TARGET"
  if [ "$IS_ROOT" = "1" ] && [ -n "$ORIG_USER" ]; then
    if [ "$LAYOUT" = bundle ] && USER_ID=$(id -u "$ORIG_USER" 2>/dev/null); then
      start_program "$LAUNCHCTL" asuser "$USER_ID" ||
        start_program "$SUDO" -u "$ORIG_USER" ||
        start_program
    else
      start_program "$SUDO" -u "$ORIG_USER" || start_program
    fi
  else
    start_program
  fi
else
  log "installed update; relaunch skipped"
fi
