"""Parallel tool calls of one Claude Code session through the real hook bridge and the real
`glimmet run`: each call waits for its own decision; only a repeat of the same call replaces it."""
import json
import signal
import subprocess
import sys
import threading
import time
import unittest

from bridge_support import CLAUDE, GLIMMET, SCRIPTS, BridgeTestCase, fixture_json, needs_glimmet

DEADLINE = 30.0
# Claude Code's PermissionRequest answers, exactly as the agent reads them.
ALLOW = '{"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}}'
DENY = ('{"hookSpecificOutput":{"decision":{"behavior":"deny","message":"The user denied this in Glimmet."},'
        '"hookEventName":"PermissionRequest"}}')


class RunningGlimmet:
    """`glimmet run` as a child: its output collected line by line, commands typed in."""

    def __init__(self, env):
        self.process = subprocess.Popen([GLIMMET, "run"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, env=env)
        self.lines = []
        self.changed = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.process.stdout:
            with self.changed:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))
                self.changed.notify_all()

    def wait_for(self, predicate):
        """The first line that satisfies `predicate`, waiting for it up to the deadline."""
        deadline = time.monotonic() + DEADLINE
        with self.changed:
            while True:
                for line in self.lines:
                    if predicate(line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("no such line in:\n" + "\n".join(self.lines))
                self.changed.wait(left)

    def type(self, command):
        self.process.stdin.write((command + "\n").encode("utf-8"))
        self.process.stdin.flush()

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(DEADLINE)
        self.reader.join(DEADLINE)


@needs_glimmet
class ParallelApprovalsTest(BridgeTestCase):
    def setUp(self):
        super().setUp()
        self.env["GLIMMET_TEST_MODE"] = "1"
        self.glimmet = RunningGlimmet(self.env)
        self.addCleanup(self.glimmet.stop)
        self.glimmet.wait_for(lambda line: line.startswith("[Glimmet] socket server listening at "))

    def ask(self, payload):
        """Starts the real Claude hook bridge for one tool call; it blocks until answered."""
        bridge = subprocess.Popen([sys.executable, str(SCRIPTS / "glimmet-hook-claude")], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env,
                                  cwd=str(self.workdir))
        bridge.stdin.write(json.dumps(payload).encode("utf-8"))
        bridge.stdin.close()
        bridge.stdin = None  # already sent; communicate() must not flush it again
        self.addCleanup(lambda: bridge.poll() is None and bridge.kill())
        return bridge

    def printed(self, bridge):
        out, err = bridge.communicate(timeout=DEADLINE)
        self.assertEqual(err, b"")
        return out.decode("utf-8")

    def number_of(self, text):
        """The [#N] of the announcement that mentions `text`."""
        line = self.glimmet.wait_for(lambda line: line.startswith("[#") and text in line)
        return line[2:line.index("]")]

    def test_parallel_calls_wait_side_by_side_and_a_repeat_supersedes_once(self):
        bash = fixture_json(CLAUDE / "PermissionRequest.json")
        write = fixture_json(CLAUDE / "PermissionRequest.json")
        write.update({"tool_name": "Write",
                      "tool_input": {"file_path": str(self.home / ".ssh" / "authorized_keys"),
                                     "content": "ssh-ed25519 AAAA attacker"}})
        asking_bash = self.ask(bash)
        asking_write = self.ask(write)
        bash_number = self.number_of("Run: echo hello > out.txt")
        write_number = self.number_of("Write ~/.ssh/authorized_keys")
        self.assertNotEqual(bash_number, write_number)
        self.assertIsNone(asking_bash.poll())
        self.assertIsNone(asking_write.poll())

        self.glimmet.type("deny " + write_number)
        self.assertEqual(self.printed(asking_write), DENY + "\n")
        self.assertIsNone(asking_bash.poll(), "the other call still waits")
        self.glimmet.type("allow " + bash_number)
        self.assertEqual(self.printed(asking_bash), ALLOW + "\n")

        # The same tool call asked twice: the first ask gets no decision, once, the second waits.
        first = self.ask(bash)
        first_number = self.glimmet.wait_for(lambda line: line.startswith("[#3] "))[2:3]
        second = self.ask(bash)
        self.assertEqual(self.printed(first), "{}\n")
        self.glimmet.wait_for(lambda line: line == "[#%s] superseded" % first_number)
        self.glimmet.wait_for(lambda line: line.startswith("[#4] "))
        self.assertIsNone(second.poll())
        self.glimmet.type("allow 4")
        self.assertEqual(self.printed(second), ALLOW + "\n")
        self.glimmet.type("allow 3")
        self.glimmet.wait_for(lambda line: line == "[Glimmet] request #3 is already superseded")
        self.assertEqual(self.glimmet.lines.count("[#3] superseded"), 1, self.glimmet.lines)


if __name__ == "__main__":
    unittest.main()
