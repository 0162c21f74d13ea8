#!/bin/sh
# Wall time of `glimmet inbox --json` over a 40 MB event file: the cold start of the command
# line, one full read of the event file's newest 8 MiB and the JSON answer. The event file mixes
# the same four line shapes the event store benchmarks use (tool updates, approvals, completions,
# usage-only snapshots). Prints the median and the fastest of the runs.
# Usage: bench/inbox_wall_time.sh [build directory, default build] [runs, default 20]
set -eu
build="${1:-build}"
runs="${2:-20}"
glimmet="$(cd "$build" && pwd)/src/glimmet"
if [ ! -x "$glimmet" ]; then
  echo "no built glimmet at $glimmet" >&2
  exit 1
fi
exec python3 - "$glimmet" "$runs" <<'PY'
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

glimmet, runs = sys.argv[1], int(sys.argv[2])
tmp = Path(tempfile.mkdtemp(prefix="inbox-wall-"))
try:
    events = tmp / "events.jsonl"
    shapes = [
        '{{"event_id":"evt-{i}","source":"codex","source_type":"cli_agent","event_type":"task_updated","session_id":"019a-{s}","turn_id":"turn-{i}","cwd":"/home/dev/src/project-{s}","title":"Codex CLI working","message":"Running tool shell: cargo build --release","tool_name":"shell","timestamp":"2026-05-11T12:{m:02d}:{c:02d}.{ms:03d}Z"}}',
        '{{"event_id":"evt-{i}","source":"claude-code","event_type":"permission_request","session_id":"sess-{s}","cwd":"/home/dev/src/app","title":"Run: rm -rf build/cache-{i}","message":"Bash","tool_name":"Bash","action":{{"kind":"bash","risk":"high","decision_file":"/tmp/decisions/{i}.json"}},"timestamp":"2026-05-11T12:{m:02d}:{c:02d}Z","pid":"4242"}}',
        '{{"event_id":"evt-{i}","source":"claude-code","event_type":"task_completed","session_id":"sess-{s}","title":"Claude Code finished","completion_snippet":"Updated the parser and added tests for the new flag; all 42 tests pass.","preview":{{"user":"please add a --verbose flag","agent":"Done: the flag is wired through"}},"hook_event_name":"Stop","timestamp":"2026-05-11T12:{m:02d}:{c:02d}Z"}}',
        '{{"event_id":"evt-{i}","source":"codex","event_type":"task_updated","notify_policy":"usage_only","usage":{{"data_source":"notify","five_hour_percent":{p},"weekly_percent":18,"input_tokens":{t}}},"timestamp":"2026-05-11T12:{m:02d}:{c:02d}Z"}}',
    ]
    written = 0
    with open(events, "w") as out:
        i = 0
        while written < 40_000_000:
            line = shapes[i % 4].format(i=i, s=i % 17, m=(i // 60) % 60, c=i % 60, ms=i % 1000,
                                        p=i % 100, t=12000 + i) + "\n"
            out.write(line)
            written += len(line)
            i += 1
    home = tmp / "home"
    home.mkdir()
    env = {key: value for key, value in os.environ.items() if not key.startswith("GLIMMET_")}
    env.update(HOME=str(home), GLIMMET_HOME=str(tmp / "gh"), GLIMMET_EVENT_FILE=str(events),
               GLIMMET_TEST_MODE="1", XDG_DATA_HOME=str(tmp / "xdg"))
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        result = subprocess.run([glimmet, "inbox", "--json"], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        times.append(time.perf_counter() - started)
        if result.returncode != 0:
            sys.exit(f"glimmet inbox --json failed: {result.stderr.decode()}")
    print(f"glimmet inbox --json on a {written / 1e6:.0f} MB event file: "
          f"median {statistics.median(times) * 1000:.1f} ms, fastest {min(times) * 1000:.1f} ms "
          f"over {runs} runs ({len(result.stdout)} bytes of answer)")
finally:
    shutil.rmtree(tmp, ignore_errors=True)
PY
