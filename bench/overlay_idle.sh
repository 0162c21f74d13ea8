#!/usr/bin/env bash
# The overlay at rest and at work, on a private Xvfb with a compositor:
#  - idle: CPU time, context switches (X round trips included), loop wake-ups (with strace)
#    and RSS of `glimmet run` over SECONDS (60);
#  - latency: an appended event line, and a permission request on the socket, until the
#    capsule's _GLIMMET_STATE shows them.
# Usage: overlay_idle.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-60}
glimmet="$build/src/glimmet"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

Xvfb -screen 0 1920x1080x24 -nolisten tcp -noreset -displayfd 1 >"$work/display" 2>/dev/null &
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
xcompmgr >/dev/null 2>&1 &
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"
"$glimmet" run >"$work/run.log" 2>&1 &
pid=$!
for _ in $(seq 200); do grep -q "socket server listening" "$work/run.log" && break; sleep 0.05; done
sleep 2  # the first redraws and the fonts' first load are start-up, not idle

stat_of() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
switches_of() { awk '/ctxt_switches/ {n += $2} END {print n}' "/proc/$pid/status"; }
ticks=$(getconf CLK_TCK)
cpu0=$(stat_of); sw0=$(switches_of); t0=$(date +%s.%N)
sleep "$seconds"
cpu1=$(stat_of); sw1=$(switches_of); t1=$(date +%s.%N)
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
awk -v c0="$cpu0" -v c1="$cpu1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" -v s0="$sw0" -v s1="$sw1" \
  -v rss="$rss" 'BEGIN {
    wall = t1 - t0
    printf "idle %.0f s: CPU %.3f %% of a core, %d context switches (%.2f per second), RSS %.1f MB\n",
      wall, 100 * (c1 - c0) / hz / wall, s1 - s0, (s1 - s0) / wall, rss / 1024 }'

if command -v strace >/dev/null 2>&1; then
  # Each return from the loop's wait is one wake-up of the process.
  timeout 10 strace -qq -e trace=epoll_wait -p "$pid" -o "$work/strace" || true
  echo "loop wake-ups over 10 s: $(grep -c epoll_wait "$work/strace")"
fi

window=$(xwininfo -root -children | awk '/"Glimmet"/ {print $1; exit}')
# Each check reads the property anew with xprop (a few milliseconds), so the figures are upper
# bounds by that much.
python3 - "$window" "$XDG_DATA_HOME/Glimmet/events.jsonl" "$HOME/.glimmet/glimmet.sock" <<'PY'
import json, os, socket, subprocess, sys, time
window, event_file, socket_path = sys.argv[1:4]

def wait_for(text, started):
    while time.monotonic() - started < 5:
        state = subprocess.run(["xprop", "-id", window, "_GLIMMET_STATE"], capture_output=True,
                               text=True).stdout
        if text in state:
            return "%.0f ms" % ((time.monotonic() - started) * 1000)
    return "never"

line = {"event_id": "bench-1", "source": "codex", "event_type": "task_completed",
        "title": "Codex completed", "completion_snippet": "Benchmark line arrived",
        "timestamp": "2030-01-01T00:00:00Z"}
started = time.monotonic()
with open(event_file, "a") as events:
    events.write(json.dumps(line) + "\n")
print("event line appended -> capsule updated:", wait_for("Benchmark line arrived", started))

conn = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
conn.connect(socket_path)
request = {"v": 1, "type": "hook.request", "request_id": "bench-req", "agent": "claude_code",
           "session_id": "bench", "agent_pid": os.getpid(), "kind": "permission_request",
           "timeout_seconds": 30, "payload": {"tool": "Bash", "command": "make bench", "cwd": "/tmp"}}
started = time.monotonic()
conn.sendall((json.dumps(request) + "\n").encode())
print("socket request sent -> capsule shows Need approve:", wait_for("Need approve", started))
PY
kill -INT "$pid"
wait "$pid" || true
