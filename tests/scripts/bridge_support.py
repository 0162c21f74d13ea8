"""Shared plumbing for the bridge script tests: temp homes, real child processes."""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
SCRIPTS = REPO / "src" / "integrations" / "scripts"
FIXTURES = REPO / "tests" / "fixtures" / "agents"
CLAUDE = FIXTURES / "claude-code-2.1.328-interactive"
CODEX = FIXTURES / "codex-0.169.0-tui"
ROLLOUTS = FIXTURES / "codex-0.169.0-rollout"

# Terminal variables of the machine running the tests would leak into the
# detected terminal and jump target; every test starts without them.
TERMINAL_VARIABLES = (
    "ITERM_SESSION_ID", "ITERM_PROFILE", "TERM_PROGRAM", "LC_TERMINAL", "TERMINAL_EMULATOR", "TTY",
    "GLIMMET_TERMINAL", "GLIMMET_TERMINAL_TTY", "CMUX_WORKSPACE_ID", "CMUX_TAB_ID", "CMUX_SESSION_ID",
    "CMUX_WINDOW_ID", "CMUX_SOCKET_PATH", "GLIMMET_TRAE_TRAJECTORY_DIR",
    "WINDOWID", "TMUX", "TMUX_PANE", "KITTY_WINDOW_ID", "KITTY_LISTEN_ON", "WEZTERM_PANE", "KONSOLE_VERSION",
    "GNOME_TERMINAL_SCREEN", "ALACRITTY_WINDOW_ID", "XTERM_VERSION",
    # Without a desktop, `glimmet run` is the console front end these tests talk to.
    "DISPLAY", "WAYLAND_DISPLAY",
)


def fixture_text(path):
    return Path(path).read_text(encoding="utf-8")


def fixture_json(path):
    return json.loads(fixture_text(path))


class BridgeTestCase(unittest.TestCase):
    def setUp(self):
        # Short prefix: Unix socket paths must stay under ~104 bytes.
        self.tmp = Path(tempfile.mkdtemp(prefix="gb-"))
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.home = self.tmp / "home"
        self.home.mkdir()
        self.glimmet_home = self.tmp / "gh"
        # Private, as Glimmet makes it: a home others can write is refused, whatever the umask.
        self.glimmet_home.mkdir(mode=0o700)
        self.glimmet_home.chmod(0o700)
        self.event_file = self.tmp / "app" / "events.jsonl"
        self.workdir = self.tmp / "work"
        self.workdir.mkdir()
        env = {key: value for key, value in os.environ.items() if key not in TERMINAL_VARIABLES}
        env.update({
            "HOME": str(self.home),
            "GLIMMET_HOME": str(self.glimmet_home),
            "GLIMMET_EVENT_FILE": str(self.event_file),
            "XDG_DATA_HOME": str(self.tmp / "xdg"),
            "PWD": str(self.workdir),
        })
        self.env = env

    def run_script(self, name, args=(), input=None, env=None, cwd=None, timeout=60, script_dir=None):
        script = Path(script_dir or SCRIPTS) / name
        if isinstance(input, str):
            input = input.encode("utf-8")
        return subprocess.run(
            [sys.executable, str(script)] + [str(arg) for arg in args],
            input=input if input is not None else b"",
            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=env or self.env, cwd=str(cwd or self.workdir), timeout=timeout,
        )

    def emit(self, args=(), input=None, env=None):
        result = self.run_script("glimmet-event", args, input=input, env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def events(self, path=None):
        path = Path(path or self.event_file)
        if not path.exists():
            return []
        data = path.read_bytes()
        if data:
            self.assertTrue(data.endswith(b"\n"), "event file must end with a complete line")
        lines = data.decode("utf-8").splitlines()
        return [json.loads(line) for line in lines]

    def only_event(self):
        events = self.events()
        self.assertEqual(len(events), 1, events)
        return events[0]

    def error_log(self, directory=None):
        path = Path(directory or self.event_file.parent) / "hook-errors.log"
        return path.read_text(encoding="utf-8").splitlines() if path.exists() else []


GLIMMET = os.environ.get("GLIMMET_BINARY", "")
needs_glimmet = unittest.skipUnless(
    GLIMMET and os.path.exists(GLIMMET),
    "GLIMMET_BINARY is not set to the built glimmet program (ctest sets it)")


class GlimmetTestCase(BridgeTestCase):
    """Bridge tests that also run the built glimmet program, isolated from the developer's own
    tool directories."""

    def setUp(self):
        super().setUp()
        self.env["GLIMMET_TEST_MODE"] = "1"

    def glimmet(self, *args):
        result = subprocess.run([GLIMMET, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=self.env, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        return result.stdout.decode("utf-8")


class OneShotSocketServer:
    """A real Unix-socket peer: accepts connections, records each request line and
    answers with whatever the test scripted (a reply line, raw bytes, or silence)."""

    def __init__(self, path, replies):
        self.path = str(path)
        self.replies = list(replies)
        self.requests = []
        self.raw_requests = []
        self.connections = 0
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.bind(self.path)
        self.sock.listen(8)
        self.sock.settimeout(20)
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        for reply in self.replies:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            self.connections += 1
            with conn:
                conn.settimeout(20)
                data = b""
                while b"\n" not in data:
                    chunk = conn.recv(4096)
                    if not chunk:
                        break
                    data += chunk
                line = data.split(b"\n", 1)[0]
                self.raw_requests.append(line)
                try:
                    self.requests.append(json.loads(line.decode("utf-8")))
                except ValueError:
                    self.requests.append(None)
                if callable(reply):
                    reply(conn)
                elif reply is not None:
                    conn.sendall(reply)

    def close(self):
        try:
            # Wakes a thread still blocked in accept() (Linux); close() alone would not.
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self.sock.close()
        except OSError:
            pass
        self.thread.join(5)


def reply_frame(raw_agent_payload, decision="allow", request_id="r"):
    reply = {"v": 1, "type": "hook.reply", "request_id": request_id, "decision": decision, "mode": "once",
             "raw_agent_payload": raw_agent_payload}
    return (json.dumps(reply, sort_keys=True, separators=(",", ":")) + "\n").encode("utf-8")
