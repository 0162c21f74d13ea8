#!/bin/sh
# What each installed agent hook costs per call. Installs the Claude Code and Codex CLI bridges
# with the built glimmet into a temporary HOME, reads the hook commands back from
# ~/.claude/settings.json and ~/.codex/hooks.json, and runs each through `sh -c` as the agent
# does, with the captured payload of its event on standard input. Prints the median wall time
# over the runs with Glimmet absent (no socket) and with `glimmet run` up, next to the bare start
# of the interpreter the hooks resolve to (`<interpreter> -c pass`), which is timed in turn with
# each hook's runs so that a machine busy with other work weighs on both alike.
# Goals: event hooks within 15 ms of the bare start; an approval bridge with Glimmet absent
# within 10 ms.
# Usage: bench/hook_cost.sh [build directory, default build] [runs per hook, default 30]
set -eu
build="${1:-build}"
runs="${2:-30}"
root=$(cd "$(dirname "$0")/.." && pwd)
glimmet="$(cd "$build" && pwd)/src/glimmet"
if [ ! -x "$glimmet" ]; then
  echo "no built glimmet at $glimmet" >&2
  exit 1
fi
# The driver's own start-up is not measured, so whichever python3 comes first will do. A version
# manager's shim puts its interpreter in front of PATH; the hooks get the PATH given here.
exec python3 - "$glimmet" "$runs" "$root" "$PATH" <<'EOF'
import json
import os
import shlex
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

glimmet, runs, root, agent_path = sys.argv[1], int(sys.argv[2]), Path(sys.argv[3]), sys.argv[4]
FIXTURES = root / "tests" / "fixtures" / "agents"
PAYLOAD_DIRS = {
    "claude": [FIXTURES / "claude-code-2.1.328-interactive", FIXTURES / "claude-code-2.1.328-print-mode"],
    "codex": [FIXTURES / "codex-0.169.0-tui"],
}
GOALS_MS = {"glimmet-event": 15.0, "glimmet-hook-claude": 10.0, "glimmet-hook-codex": 10.0}
# A closed-loop bridge that is still running after this long is holding the agent.
HELD_AFTER = 2.0

tmp = Path(tempfile.mkdtemp(prefix="hook-cost-"))
home, glimmet_home, work = tmp / "home", tmp / "gh", tmp / "work"
for directory in (home, glimmet_home, work):
    directory.mkdir()
env = {key: value for key, value in os.environ.items() if not key.startswith("GLIMMET_")}
env.update(HOME=str(home), GLIMMET_HOME=str(glimmet_home), GLIMMET_EVENT_FILE=str(tmp / "events.jsonl"),
           GLIMMET_TEST_MODE="1", XDG_DATA_HOME=str(tmp / "xdg"), PWD=str(work))
# The agent's environment: the hook commands themselves say where Glimmet lives.
agent_env = {key: value for key, value in env.items() if not key.startswith("GLIMMET_")}
agent_env["PATH"] = agent_path


def timed(command, stdin=b"", timeout=None):
    """Wall time of `sh -c command`, or None when it outlives the timeout (then it is killed)."""
    started = time.perf_counter()
    process = subprocess.Popen(["/bin/sh", "-c", command], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=agent_env, cwd=str(work), start_new_session=True)
    try:
        process.communicate(stdin, timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None
    return time.perf_counter() - started


def median_ms(command, stdin=b"", timeout=None):
    """Medians of the command and of the bare interpreter start, run by turns; None when the
    command is held."""
    times, bare_times = [], []
    for _ in range(runs):
        elapsed = timed(command, stdin, timeout)
        if elapsed is None:
            return None
        times.append(elapsed)
        bare_times.append(timed(bare))
    return statistics.median(times) * 1000, statistics.median(bare_times) * 1000


def installed_hooks():
    for tool in ("claude-code", "codex-cli"):
        subprocess.run([glimmet, "install", tool], env=env, check=True, stdout=subprocess.DEVNULL)
    files = (("claude", home / ".claude" / "settings.json"), ("codex", home / ".codex" / "hooks.json"))
    for agent, path in files:
        for event, groups in json.loads(path.read_text(encoding="utf-8"))["hooks"].items():
            for group in groups:
                for handler in group["hooks"]:
                    yield agent, event, handler["command"]


def bridge_of(command):
    for word in shlex.split(command):
        if "/glimmet-" in word:
            return os.path.basename(word)
    return "?"


def interpreter_of(command):
    """The program that runs the bridge: named in the command, or its script's #! line."""
    words = shlex.split(command)
    while "=" in words[0] and words[0].split("=", 1)[0].isidentifier():
        words.pop(0)  # the environment assignments in front
    if os.path.basename(words[0]).startswith("python"):
        return words[0]
    with open(words[0], encoding="utf-8") as script:
        line = script.readline()
    parts = line[2:].split()
    if os.path.basename(parts[0]) == "env":
        return shutil.which(parts[1], path=agent_env.get("PATH")) or parts[1]
    return parts[0]


def payload_for(agent, event):
    for directory in PAYLOAD_DIRS[agent]:
        if (directory / (event + ".json")).exists():
            return (directory / (event + ".json")).read_bytes()
    return None


def is_shim(program):
    with open(program, "rb") as handle:
        return handle.read(2) == b"#!"


path_python = shutil.which("python3", path=agent_env.get("PATH"))
resolved = subprocess.run(["python3", "-c", "import sys; print(sys.executable)"], env=agent_env,
                          stdout=subprocess.PIPE, check=True).stdout.decode().strip()
hooks = sorted(installed_hooks(), key=lambda hook: (bridge_of(hook[2]), hook[0], hook[1]))
interpreters = {interpreter_of(command) for _, _, command in hooks}

print("%d runs per row, median wall time of `sh -c <hook command>`" % runs)
bare = shlex.quote(resolved) + " -c pass"
print("bare interpreter: %s -c pass  %.1f ms" % (resolved, median_ms(bare)[1]))
# The hooks run with -S (no site-packages start-up hooks); this start is their floor.
print("bare interpreter without site: %s -S -c pass  %.1f ms"
      % (resolved, median_ms(shlex.quote(resolved) + " -S -c pass")[0]))
if path_python and is_shim(path_python):
    print("python3 on PATH is a shim: %s -c pass  %.1f ms" % (path_python, median_ms("python3 -c pass")[0]))
for program in sorted(interpreters):
    print("hooks run under %s%s" % (program, " (a shim)" if is_shim(program) else ""))


def report(situation, rows):
    print("\n%s" % situation)
    print("  %-20s %-7s %-18s %9s %8s %8s  %s" % ("hook", "agent", "event", "median ms", "bare ms", "over ms",
                                                  "goal"))
    for bridge, agent, event, medians in rows:
        if medians is None:
            cells = ("held", "-", "-", "waits for Glimmet")
        elif isinstance(medians, str):
            cells = ("-", "-", "-", medians)
        else:
            median, bare_median = medians
            over = median - bare_median
            goal = GOALS_MS.get(bridge)
            verdict = "" if goal is None else ("within %g ms" % goal if over <= goal else "over %g ms" % goal)
            cells = ("%.1f" % median, "%.1f" % bare_median, "%+.1f" % over, verdict)
        print("  %-20s %-7s %-18s %9s %8s %8s  %s" % ((bridge, agent, event) + cells))


def measure(glimmet_running):
    rows = []
    for agent, event, command in hooks:
        bridge = bridge_of(command)
        payload = payload_for(agent, event)
        if payload is None:
            rows.append((bridge, agent, event, "no captured payload"))
        elif glimmet_running and bridge != "glimmet-event" and event == "PermissionRequest":
            rows.append((bridge, agent, event, "waits for the user by design"))
        else:
            timeout = HELD_AFTER if glimmet_running and bridge != "glimmet-event" else None
            rows.append((bridge, agent, event, median_ms(command, payload, timeout)))
    return rows


running = None
try:
    report("Glimmet not running (no socket)", measure(False))
    running = subprocess.Popen([glimmet, "run"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=env)
    deadline = time.monotonic() + 30
    while not (glimmet_home / "glimmet.sock").exists():
        if time.monotonic() > deadline or running.poll() is not None:
            raise SystemExit("glimmet run did not open its socket")
        time.sleep(0.05)
    report("Glimmet running (glimmet run)", measure(True))
finally:
    if running is not None and running.poll() is None:
        running.terminate()
        running.wait(30)
    shutil.rmtree(tmp, ignore_errors=True)
EOF
