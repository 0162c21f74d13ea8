"""glimmet-wrap around real child commands."""
import fcntl
import json
import os
import select
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import termios
import textwrap
import time
import unittest

from bridge_support import SCRIPTS, BridgeTestCase

CAPTURE_LIMIT = 524288
TOTAL_OUTPUT = 600 * 1024
USAGE_LINE = b'{"usage":{"input_tokens":321,"output_tokens":9}}\n'

# Writes exactly TOTAL_OUTPUT bytes of stdout as lines, with the usage line starting
# at the byte offset given as argv[1] (negative: no usage line), a little stderr,
# and exits with argv[2].
EMITTER = textwrap.dedent(r"""
    import sys
    total, start, status = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
    usage = %r
    out = bytearray()
    def filler(size):
        # Lines of "abc...\n" exactly `size` bytes long.
        chunks = []
        while size > 0:
            n = min(size, 100)
            chunks.append(b"f" * (n - 1) + b"\n")
            size -= n
        return b"".join(chunks)
    if start >= 0:
        out += filler(start) + usage
    out += filler(total - len(out))
    assert len(out) == total
    sys.stdout.buffer.write(bytes(out))
    sys.stdout.flush()
    sys.stderr.write("progress on stderr\n")
    sys.exit(status)
""" % USAGE_LINE)


class WrapperTest(BridgeTestCase):
    def wrap(self, args, script_dir=None):
        return self.run_script("glimmet-wrap", args, script_dir=script_dir, timeout=120)

    def emitter_command(self, start, status):
        path = self.tmp / "emitter.py"
        path.write_text(EMITTER)
        return [sys.executable, str(path), str(TOTAL_OUTPUT), str(start), str(status)]

    def expected_output(self, start, status):
        return subprocess.run(self.emitter_command(start, status), capture_output=True).stdout

    def test_without_pseudo_terminals_the_command_runs_on_pipes(self):
        # As in a container without /dev/pts: opening a pseudo-terminal fails.
        no_terminals = ("import os, runpy, sys\n"
                        "def refuse():\n"
                        "    raise OSError(19, 'No such device')\n"
                        "os.openpty = refuse\n"
                        "sys.argv = sys.argv[1:]\n"
                        "runpy.run_path(sys.argv[0], run_name='__main__')\n")
        start = TOTAL_OUTPUT - CAPTURE_LIMIT  # the usage line is the first byte kept
        command = self.emitter_command(start, 3)
        result = subprocess.run(
            [sys.executable, "-c", no_terminals, str(SCRIPTS / "glimmet-wrap"), "--source", "kilo", "--"]
            + command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env, cwd=str(self.workdir),
            timeout=120)
        self.assertEqual(result.returncode, 3)
        self.assertEqual(result.stdout, self.expected_output(start, 3))
        self.assertEqual(result.stderr, b"progress on stderr\n")
        self.assertEqual([event["event_type"] for event in self.events()],
                         ["task_started", "task_updated", "task_failed"])

    def test_large_output_passes_through_and_status_is_kept(self):
        command = self.emitter_command(-1, 3)
        result = self.wrap(["--source", "gemini_cli", "--project", "demo", "--"] + command)
        self.assertEqual(result.returncode, 3)
        self.assertEqual(len(result.stdout), TOTAL_OUTPUT)
        self.assertEqual(result.stdout, self.expected_output(-1, 3))
        self.assertEqual(result.stderr, b"progress on stderr\n")
        started, failed = self.events()
        display = " ".join(shlex.quote(part) for part in command)
        self.assertEqual((started["event_type"], started["severity"], started["title"], started["status"]),
                         ("task_started", "info", "gemini_cli started", "running"))
        self.assertEqual(started["message"], display)
        self.assertEqual((failed["event_type"], failed["severity"], failed["title"], failed["status"]),
                         ("task_failed", "critical", "gemini_cli failed", "failed"))
        self.assertEqual(failed["message"], display + " exited 3")
        for event in (started, failed):
            self.assertEqual(event["source"], "gemini_cli")
            self.assertEqual(event["project"], "demo")
            self.assertEqual(event["cwd"], str(self.workdir))
        self.assertEqual(started["session_id"], failed["session_id"])
        self.assertEqual(started["pid"], failed["pid"])

    def test_usage_detection_sees_exactly_the_last_512_kib(self):
        # The usage line is found when it starts exactly where the kept tail starts,
        # and lost when it starts one byte earlier (its "{" falls off the tail).
        inside, outside = TOTAL_OUTPUT - CAPTURE_LIMIT, TOTAL_OUTPUT - CAPTURE_LIMIT - 1
        for start, found in ((inside, True), (outside, False), (0, False)):
            with self.subTest(start=start):
                self.event_file.unlink(missing_ok=True)
                result = self.wrap(["--source", "kilo", "--"] + self.emitter_command(start, 0))
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stdout, self.expected_output(start, 0))
                events = self.events()
                self.assertEqual([e["event_type"] for e in events],
                                 ["task_started", "task_updated", "task_completed"] if found
                                 else ["task_started", "task_completed"])
                if found:
                    usage_event = events[1]
                    self.assertEqual(usage_event["usage"]["input_tokens"], 321)
                    self.assertEqual(usage_event["usage"]["total_tokens"], 330)
                    self.assertEqual(usage_event["usage"]["data_source"], "wrapper")
                    self.assertEqual(usage_event["usage"]["tool_id"], "kilo-code")
                    self.assertEqual(usage_event["raw_event_name"], "Usage")
                    self.assertEqual(usage_event["session_id"], events[0]["session_id"])
                    self.assertEqual(usage_event["title"], "Kilo Code update")

    def test_last_usage_object_wins_and_stderr_counts(self):
        program = ("import json, sys\n"
                   "print(json.dumps({'tokens': {'input': 1, 'output': 1}}))\n"
                   "print(json.dumps({'result': 'ok', 'usage': {'total_tokens': 77}}))\n"
                   "print('plain text')\n"
                   "sys.stderr.write(json.dumps({'cost_usd': 0.5}) + '\\n')\n")
        result = self.wrap(["--source", "pi", "--cwd", str(self.tmp), sys.executable, "-c", program])
        self.assertEqual(result.returncode, 0)
        usage_events = [e for e in self.events() if "usage" in e]
        self.assertEqual(len(usage_events), 1)
        # Candidates run stdout then stderr; walking back from the end, stderr's object comes first.
        self.assertEqual(usage_events[0]["usage"]["cost_amount"], 0.5)
        self.assertEqual(usage_events[0]["cwd"], str(self.tmp))

    def test_trae_trajectory_file_is_injected(self):
        bin_dir = self.tmp / "bin"
        bin_dir.mkdir()
        fake = bin_dir / "trae-cli"
        fake.write_text("#!/bin/sh\nprintf '%s\\n' \"$@\"\n")
        fake.chmod(0o755)
        trajectories = self.tmp / "trajectories"
        env = dict(self.env, GLIMMET_TRAE_TRAJECTORY_DIR=str(trajectories))
        result = self.run_script("glimmet-wrap", ["--source", "trae_agent_cli", str(fake), "run", "fix it"], env=env)
        run_id = self.events()[0]["session_id"]
        self.assertEqual(result.stdout.decode().splitlines(),
                         ["run", "fix it", "--trajectory-file", str(trajectories / (run_id + ".json"))])
        self.assertTrue(trajectories.is_dir())
        result = self.run_script("glimmet-wrap", ["--source", "trae_agent_cli", str(fake), "run", "-t", "x.json"],
                                 env=env)
        self.assertEqual(result.stdout.decode().splitlines(), ["run", "-t", "x.json"])

    def test_missing_command_and_missing_program(self):
        result = self.wrap(["--source", "pi"])
        self.assertEqual((result.returncode, result.stderr), (64, b"glimmet-wrap: missing command\n"))
        self.assertEqual(self.events(), [])
        result = self.wrap(["--source", "pi", "--", str(self.tmp / "no-such-program")])
        self.assertEqual(result.returncode, 127)
        self.assertEqual([e["event_type"] for e in self.events()], ["task_started", "task_failed"])

    def test_runs_without_an_event_bridge(self):
        lonely = self.tmp / "lonely"
        lonely.mkdir()
        shutil.copy(SCRIPTS / "glimmet-wrap", lonely / "glimmet-wrap")
        result = self.wrap(["--", sys.executable, "-c", "print('still runs'); raise SystemExit(5)"],
                           script_dir=lonely)
        self.assertEqual((result.returncode, result.stdout), (5, b"still runs\n"))
        self.assertFalse(self.event_file.exists())


# Asks for a name the way interactive agents do: a prompt without a newline,
# then one line of input; reports what it sees of its terminal before and after.
PROMPTER = textwrap.dedent(r"""
    import os, signal, sys
    print("ttys", os.isatty(0), os.isatty(1), os.isatty(2))
    print("size", *os.get_terminal_size())
    resized = []
    signal.signal(signal.SIGWINCH, lambda *_: resized.append(1))
    name = input("Name? ")
    print("hello", name)
    print("size", *os.get_terminal_size(), "resized" if resized else "not resized")
    sys.exit(7)
""")


def pseudo_terminals_available():
    try:
        master, slave = os.openpty()
    except OSError:
        return False
    os.close(master)
    os.close(slave)
    return True


@unittest.skipUnless(pseudo_terminals_available(), "no pseudo-terminals here (is /dev/pts mounted?)")
class WrapperTerminalTest(BridgeTestCase):
    """The wrapper driven from a real pseudo-terminal, as a user's shell runs it."""

    def start_on_terminal(self, command, rows=33, columns=101):
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))

        def take_terminal():
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        process = subprocess.Popen(
            [sys.executable, str(SCRIPTS / "glimmet-wrap"), "--source", "pi", "--"] + command,
            stdin=slave, stdout=slave, stderr=slave, env=self.env, cwd=str(self.workdir),
            start_new_session=True, preexec_fn=take_terminal)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        self.addCleanup(os.close, master)
        self.terminal_settings = termios.tcgetattr(slave)
        self.slave = slave
        self.addCleanup(os.close, slave)
        self.screen = b""
        return master, process

    def read_until(self, master, text, seconds=30):
        deadline = time.monotonic() + seconds
        while text not in self.screen:
            left = deadline - time.monotonic()
            if left <= 0:
                self.fail("%r never appeared; the screen shows %r" % (text, self.screen))
            readable, _, _ = select.select([master], [], [], left)
            if readable:
                try:
                    chunk = os.read(master, 65536)
                except OSError:
                    chunk = b""
                if not chunk:
                    self.fail("the terminal closed before %r appeared; it showed %r" % (text, self.screen))
                self.screen += chunk

    def test_prompt_shows_before_input_and_keys_window_size_and_status_pass_through(self):
        master, process = self.start_on_terminal([sys.executable, "-c", PROMPTER])
        self.read_until(master, b"Name? ")
        self.assertIsNone(process.poll())
        self.assertIn(b"ttys True True True\r\n", self.screen)
        self.assertIn(b"size 101 33\r\n", self.screen)
        # The user's terminal is in raw mode now: Enter arrives as "\r", which the
        # command's own terminal turns into a newline (and echoes).
        self.assertFalse(termios.tcgetattr(self.slave)[3] & termios.ICANON)
        fcntl.ioctl(master, termios.TIOCSWINSZ, struct.pack("HHHH", 40, 120, 0, 0))
        os.write(master, b"Ada\r")
        self.read_until(master, b"hello Ada\r\n")
        self.read_until(master, b"size 120 40 resized\r\n")
        self.assertEqual(process.wait(timeout=30), 7)
        self.assertIn(b"Name? Ada\r\n", self.screen)
        # The user's terminal is given back as it was.
        self.assertEqual(termios.tcgetattr(self.slave), self.terminal_settings)
        self.assertEqual([e["event_type"] for e in self.events()], ["task_started", "task_failed"])

    def test_piped_output_still_comes_from_a_terminal_unchanged(self):
        program = ("import os, sys\n"
                   "print(os.isatty(0), os.isatty(1), os.isatty(2))\n"
                   "sys.stdout.write('no newline at the end')\n")
        result = self.run_script("glimmet-wrap", ["--", sys.executable, "-c", program], input=b"ignored")
        self.assertEqual(result.returncode, 0)
        # Piped input and a redirected standard error reach the command as they are;
        # its output still goes through a terminal, without "\r" added.
        self.assertEqual(result.stdout, b"False True False\nno newline at the end")

    def test_status_of_a_command_killed_by_a_signal_is_128_plus_the_signal(self):
        program = "import os, signal; os.kill(os.getpid(), signal.SIGTERM)"
        result = self.run_script("glimmet-wrap", ["--", sys.executable, "-c", program])
        self.assertEqual(result.returncode, 128 + signal.SIGTERM)
        master, process = self.start_on_terminal([sys.executable, "-c", program])
        self.assertEqual(process.wait(timeout=30), 128 + signal.SIGTERM)


if __name__ == "__main__":
    unittest.main()
