"""A throw-away home for one scenario, so the developer's own agent and Glimmet configuration is
never read or touched, and child processes that always end: each runs in its own process group,
which is killed when its time is up."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# Whatever the developer's shell points the agents or Glimmet at must not leak into a scenario.
_DROPPED_PREFIXES = ("ANTHROPIC_", "CLAUDE", "CODEX_", "OPENAI_", "GLIMMET_", "XDG_")


def _temp_parent():
    # Codex declines to set up its helper commands under /tmp; /var/tmp is just as temporary.
    override = os.environ.get("GLIMMET_AGENTS_TMPDIR")
    if override:
        return override
    return "/var/tmp" if os.access("/var/tmp", os.W_OK) else None


class Sandbox:
    def __init__(self, name, keep=False):
        self.root = tempfile.mkdtemp(prefix=f"glimmet-agents-{name}-", dir=_temp_parent())
        self.keep = keep
        self.home = self.path("home")
        self.project = self.path("home/project")
        self.logs = self.path("logs")
        for directory in ("home/project", "logs", "data", "config", "cache", "state"):
            os.makedirs(self.path(directory), exist_ok=True)
        self.glimmet_home = os.path.join(self.home, ".glimmet")
        self.event_file = self.path("data/Glimmet/events.jsonl")

    def path(self, relative):
        return os.path.join(self.root, relative)

    def environment(self, extra=None):
        environment = {
            key: value
            for key, value in os.environ.items()
            if not key.startswith(_DROPPED_PREFIXES)
        }
        # The bridges run with whatever python3 is first on PATH; make it this interpreter's,
        # which needs no setup in the scenario's home.
        interpreter_dir = os.path.dirname(sys.executable)
        environment.update(
            {
                "HOME": self.home,
                "XDG_DATA_HOME": self.path("data"),
                "XDG_CONFIG_HOME": self.path("config"),
                "XDG_CACHE_HOME": self.path("cache"),
                "XDG_STATE_HOME": self.path("state"),
                "GLIMMET_HOME": self.glimmet_home,
                "GLIMMET_EVENT_FILE": self.event_file,
                "PATH": interpreter_dir + os.pathsep + environment.get("PATH", "/usr/bin:/bin"),
                "NO_COLOR": "1",
                "TERM": "dumb",
            }
        )
        environment.update(extra or {})
        return environment

    def close(self):
        if self.keep:
            return
        shutil.rmtree(self.root, ignore_errors=True)


def kill_group(process, grace=3.0):
    """Ends a child started with start_new_session and everything it started, including hooks
    still running after the agent itself exited."""
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        pass
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


class Finished:
    def __init__(self, exit_code, seconds, timed_out, output, stragglers):
        self.exit_code = exit_code
        self.seconds = seconds
        self.timed_out = timed_out
        self.output = output
        self.stragglers = stragglers  # the program's children outlived it by the drain time


def _group_alive(process_group):
    try:
        os.killpg(process_group, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


def _wait_for_group(process_group, seconds):
    """Gives children that outlive the program (hooks run asynchronously) time to finish, as
    they would on the user's machine, before they are ended."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not _group_alive(process_group):
            return True
        time.sleep(0.1)
    return not _group_alive(process_group)


def run_bounded(argv, environment, cwd, timeout, log_path, while_running=None, drain=10):
    """Runs argv to completion or until timeout seconds have passed; output goes to log_path.
    while_running, when given, is called about ten times a second until the process ends."""
    started = time.monotonic()
    with open(log_path, "wb") as log:
        process = subprocess.Popen(
            argv,
            cwd=cwd,
            env=environment,
            stdin=subprocess.DEVNULL,
            stdout=log,
            stderr=subprocess.STDOUT,
            start_new_session=True,
        )
        deadline = started + timeout
        try:
            while process.poll() is None and time.monotonic() < deadline:
                if while_running:
                    while_running()
                time.sleep(0.1)
        finally:
            timed_out = process.poll() is None
            seconds = time.monotonic() - started
            drained = timed_out or _wait_for_group(process.pid, drain)
            kill_group(process)
    with open(log_path, "rb") as log:
        output = log.read().decode("utf-8", "replace")
    return Finished(process.returncode, seconds, timed_out, output, not drained)


def run_quick(argv, environment, cwd=None, timeout=60):
    """A short helper command (an install, a version check); its output is returned."""
    completed = subprocess.run(
        argv,
        cwd=cwd,
        env=environment,
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        timeout=timeout,
    )
    return completed.returncode, completed.stdout + completed.stderr
