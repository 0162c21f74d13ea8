"""glimmet-hook-claude and glimmet-hook-codex against a real Unix-socket peer."""
import json
import os
import shlex
import subprocess
import sys
import threading
import time
import unittest
import uuid

from bridge_support import (CLAUDE, CODEX, SCRIPTS, BridgeTestCase, OneShotSocketServer, fixture_json, fixture_text,
                            reply_frame)

ALLOW = '{"hookSpecificOutput":{"hookEventName":"PermissionRequest","decision":{"behavior":"allow"}}}'
# More than a bridge ever needs to wait for a socket that will not answer.
NO_WAIT = 0.1


class HookBridgeCase(BridgeTestCase):
    def serve(self, *replies):
        server = OneShotSocketServer(self.glimmet_home / "glimmet.sock", replies)
        self.addCleanup(server.close)
        return server

    def serve_silently(self):
        """A listening Glimmet that accepts and then never answers: a bridge that connects hangs."""
        released = threading.Event()
        server = self.serve(*[lambda conn: released.wait(30)] * 4)
        self.addCleanup(released.set)  # runs before server.close, so the server thread can end
        return server

    def hook(self, name, args=(), stdin="", timeout=60):
        result = self.run_script(name, args, input=stdin, timeout=timeout)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, b"")
        return result.stdout.decode("utf-8")

    def bare_start(self):
        started = time.monotonic()
        subprocess.run([sys.executable, "-c", "import json"], env=self.env, check=True)
        return time.monotonic() - started

    def assert_answers_at_once(self, name, args, stdin, env=None):
        """The bridge prints "{}" within NO_WAIT of a bare interpreter start. Runs are retried
        (each against a fresh bare start) so that a busy machine does not fail the test; a bridge
        that waits on a silent socket never answers within the timeout at all."""
        attempts = []
        for _ in range(5):
            baseline = self.bare_start()
            started = time.monotonic()
            result = self.run_script(name, args, input=stdin, env=env, timeout=10)
            elapsed = time.monotonic() - started
            self.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"{}\n", b""))
            attempts.append("%.0f ms against %.0f ms bare" % (elapsed * 1000, baseline * 1000))
            if elapsed < baseline + NO_WAIT:
                return elapsed - baseline
        self.fail("never answered at once: " + ", ".join(attempts))


class ClaudeHookTest(HookBridgeCase):
    def test_permission_request_frame_and_verbatim_reply(self):
        server = self.serve(reply_frame(ALLOW))
        out = self.hook("glimmet-hook-claude", stdin=fixture_text(CLAUDE / "PermissionRequest.json"))
        self.assertEqual(out, ALLOW + "\n")
        self.assertEqual(server.connections, 1)
        request = server.requests[0]
        raw = server.raw_requests[0].decode("utf-8")
        # Compact JSON with sorted keys, exactly one line.
        self.assertEqual(raw, json.dumps(request, sort_keys=True, separators=(",", ":"), ensure_ascii=False))
        request_id = uuid.UUID(request.pop("request_id"))
        self.assertEqual((request_id.version, request_id.variant), (4, uuid.RFC_4122))
        self.assertEqual(request, {
            "v": 1, "type": "hook.request", "agent": "claude_code",
            "session_id": "905ba1cd-b495-4216-b798-971ab74d8163",
            "agent_pid": os.getpid(),
            "kind": "permission_request", "timeout_seconds": 120,
            "payload": {
                "tool": "Bash", "command": "echo hello > out.txt", "cwd": "/home/dev/project",
                "transcript_path": "/home/dev/.claude/projects/-tmp-ci2-work/905ba1cd-b495-4216-b798-971ab74d8163.jsonl",
                "prompt": None, "multiline": False, "options": None,
                # The permission dialog carries no tool_use_id: the input digest tells calls apart.
                "extras": {"tool_input_sha256": "c51781fd608f4dc5e0ac5916c001f2e6e7fc3d252372d6efbb47a1c4864f6f66"},
            },
        })

    def test_request_ids_are_random_version_4_uuids(self):
        server = self.serve(*[reply_frame("{}") for _ in range(3)])
        for _ in range(3):
            self.hook("glimmet-hook-claude", stdin=fixture_text(CLAUDE / "PermissionRequest.json"))
        ids = [request["request_id"] for request in server.requests]
        self.assertEqual(len(set(ids)), 3, ids)
        for text in ids:
            parsed = uuid.UUID(text)
            self.assertEqual(str(parsed), text)  # canonical lower-case 8-4-4-4-12 text
            self.assertEqual((parsed.version, parsed.variant), (4, uuid.RFC_4122))

    def test_object_payload_prints_compact_and_only_first_line_counts(self):
        reply = {"v": 1, "type": "hook.reply", "request_id": "r", "decision": "deny", "mode": "once",
                 "raw_agent_payload": {"hookSpecificOutput": {"hookEventName": "PermissionRequest",
                                                              "decision": {"behavior": "deny"}}}}
        second = reply_frame('{"second":"reply"}')
        self.serve(json.dumps(reply, indent=None).encode() + b"\n" + second)
        out = self.hook("glimmet-hook-claude", stdin=fixture_text(CLAUDE / "PermissionRequest.json"))
        self.assertEqual(out, '{"hookSpecificOutput":{"hookEventName":"PermissionRequest",'
                              '"decision":{"behavior":"deny"}}}\n')

    def test_reply_arriving_in_pieces_is_reassembled(self):
        frame = reply_frame(ALLOW)

        def trickle(conn):
            for index in range(0, len(frame), 7):
                conn.sendall(frame[index:index + 7])
                time.sleep(0.01)

        self.serve(trickle)
        out = self.hook("glimmet-hook-claude", stdin=fixture_text(CLAUDE / "PermissionRequest.json"))
        self.assertEqual(out, ALLOW + "\n")

    def test_degenerate_replies_print_no_decision(self):
        cases = {
            "empty payload": reply_frame(""),
            "null payload": b'{"raw_agent_payload":null,"v":1}\n',
            "not json": b"this is not json\n",
            "closed before line feed": reply_frame(ALLOW).rstrip(b"\n"),
            "closed without a byte": None,
        }
        for label, reply in cases.items():
            with self.subTest(case=label):
                path = self.glimmet_home / "glimmet.sock"
                path.unlink(missing_ok=True)
                server = OneShotSocketServer(path, [reply])
                try:
                    result = self.run_script("glimmet-hook-claude",
                                             input=fixture_text(CLAUDE / "PermissionRequest.json"))
                finally:
                    server.close()
                self.assertEqual((result.returncode, result.stdout), (0, b"{}\n"))
                self.assertEqual(server.connections, 1)

    def test_event_name_in_either_spelling_and_any_case(self):
        minimal = {"tool_input": {"name": "Edit"}}
        payloads = [json.dumps(dict(minimal, hookEventName="permissionrequest")),
                    json.dumps(dict(minimal, hook_event_name="PERMISSIONREQUEST")),
                    '{"hook_event_name": "\\u0050ermission\\u0052equest"}']  # legal JSON, however odd
        server = self.serve(*[reply_frame("{}") for _ in payloads])
        for payload in payloads:
            out = self.hook("glimmet-hook-claude", stdin=payload)
            self.assertEqual(out, "{}\n")
        self.assertEqual([r["kind"] for r in server.requests], ["permission_request"] * 3)
        self.assertEqual(server.requests[0]["payload"]["tool"], "Edit")
        # No cwd in the payload: the agent's PWD stands in; no session: empty text.
        self.assertEqual(server.requests[1]["payload"]["cwd"], str(self.workdir))
        self.assertEqual(server.requests[1]["session_id"], "")

    def test_every_other_event_answers_at_once_without_connecting(self):
        server = self.serve_silently()
        notification = fixture_json(CLAUDE / "Notification.json")
        unnamed = fixture_json(CLAUDE / "PermissionRequest.json")
        del unnamed["hook_event_name"]
        cases = {
            "UserPromptSubmit": fixture_text(CLAUDE / "UserPromptSubmit.json"),
            "PreToolUse": fixture_text(CLAUDE / "PreToolUse.json"),
            "Stop": fixture_text(CLAUDE / "Stop.json"),
            "Notification": json.dumps(notification),
            "no event name": json.dumps(unnamed),
            "not JSON": "{truncated",
            "not an object": "[1, 2]",
            "nothing": "",
        }
        for label, stdin in cases.items():
            with self.subTest(event=label):
                self.assert_answers_at_once("glimmet-hook-claude", [], stdin)
        time.sleep(0.1)  # time for a connection, had there been one, to be accepted
        self.assertEqual(server.connections, 0)

    def test_huge_tool_input(self):
        # A Write of several megabytes; the permission request still goes out whole and in one line.
        big = fixture_json(CLAUDE / "PermissionRequest.json")
        big["tool_name"] = "Write"
        big["tool_input"] = {"file_path": "/home/dev/project/big.txt", "content": "x\u00e9\n" * 2_000_000}
        server = self.serve(reply_frame(ALLOW))
        out = self.hook("glimmet-hook-claude", stdin=json.dumps(big), timeout=30)
        self.assertEqual(out, ALLOW + "\n")
        extras = server.requests[0]["payload"]["extras"]
        self.assertEqual(extras["file_path"], "/home/dev/project/big.txt")
        self.assertEqual(len(extras["tool_input_sha256"]), 64)

        big["hook_event_name"] = "PreToolUse"
        silent = self.tmp / "silent"
        silent.mkdir()
        self.glimmet_home = silent
        self.env["GLIMMET_HOME"] = str(silent)
        quiet = self.serve_silently()
        out = self.hook("glimmet-hook-claude", stdin=json.dumps(big), timeout=30)
        self.assertEqual(out, "{}\n")
        time.sleep(0.1)
        self.assertEqual(quiet.connections, 0)


class HookCommandTest(HookBridgeCase):
    def test_started_by_the_shell_through_the_interpreter_or_the_script_itself(self):
        # The agent's shell line: the locations in front, then the script with or without the
        # interpreter that is to run it.
        server = self.serve(reply_frame(ALLOW), reply_frame(ALLOW))
        prefix = "GLIMMET_HOME=%s GLIMMET_EVENT_FILE=%s " % (shlex.quote(str(self.glimmet_home)),
                                                             shlex.quote(str(self.event_file)))
        env = {key: value for key, value in self.env.items() if not key.startswith("GLIMMET_")}
        for interpreter in (shlex.quote(sys.executable) + " ", ""):
            for script, args, stdin, expected in (
                    ("glimmet-event", " --source claude_code", "Stop.json", b""),
                    ("glimmet-hook-claude", "", "PermissionRequest.json", (ALLOW + "\n").encode())):
                with self.subTest(interpreter=interpreter or "#! line", script=script):
                    command = prefix + interpreter + shlex.quote(str(SCRIPTS / script)) + args
                    result = subprocess.run(["/bin/sh", "-c", command], input=fixture_text(CLAUDE / stdin).encode(),
                                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                                            cwd=str(self.workdir), timeout=60)
                    self.assertEqual((result.returncode, result.stdout, result.stderr), (0, expected, b""))
        self.assertEqual([event["raw_event_name"] for event in self.events()], ["Stop", "Stop"])
        self.assertEqual(server.connections, 2)


class NoApplicationTest(HookBridgeCase):
    def test_bridges_answer_quickly_without_the_application(self):
        stale = self.tmp / "stale"
        stale.mkdir()
        import socket as socket_module
        leftover = socket_module.socket(socket_module.AF_UNIX, socket_module.SOCK_STREAM)
        leftover.bind(str(stale / "glimmet.sock"))
        leftover.close()  # a socket file nobody listens on, as after a crash
        for label, home in (("no socket file", self.glimmet_home), ("stale socket file", stale)):
            for name, args, stdin in (("glimmet-hook-claude", [], fixture_text(CLAUDE / "PermissionRequest.json")),
                                      ("glimmet-hook-codex", ["--event", "PermissionRequest"],
                                       fixture_text(CODEX / "PermissionRequest.json"))):
                with self.subTest(case=label, bridge=name):
                    env = dict(self.env, GLIMMET_HOME=str(home))
                    overhead = self.assert_answers_at_once(name, args, stdin, env=env)
                    print("\n[latency] %s, %s: {} %.0f ms after interpreter start" % (name, label, overhead * 1000))


class CodexHookTest(HookBridgeCase):
    def test_permission_request_from_real_codex_payload(self):
        decision = ('{"hookSpecificOutput":{"hookEventName":"PermissionRequest",'
                    '"decision":{"behavior":"allow"}}}')
        server = self.serve(reply_frame(decision), reply_frame(decision))
        stdin = fixture_text(CODEX / "PermissionRequest.json")
        # As installed (--event), and without --event, where the payload names the event.
        for args in (["--event", "PermissionRequest"], []):
            out = self.hook("glimmet-hook-codex", args, stdin=stdin)
            self.assertEqual(out, decision + "\n")
        self.assertEqual(server.connections, 2)
        for request in server.requests:
            request_id = uuid.UUID(request.pop("request_id"))
            self.assertEqual(request_id.version, 4)
            self.assertEqual(request, {
                "v": 1, "type": "hook.request", "agent": "codex",
                "session_id": "01a2473e-0729-7c30-ab66-cd9c34eb6fe2",
                "agent_pid": os.getpid(),
                "kind": "permission_request", "timeout_seconds": 120,
                "payload": {
                    "tool": "Bash", "command": "echo hello > out.txt", "cwd": "/home/dev/project",
                    "transcript_path": "/home/dev/.codex/sessions/2026/12/05/rollout-2026-12-05T17-26-17-"
                                       "01a2473e-0729-7c30-ab66-cd9c34eb6fe2.jsonl",
                    "prompt": None, "multiline": False, "options": None,
                    "extras": {"tool_input_sha256":
                               "7a145d9f1b9eeb4c761beb8aafb8c3c41328b92769ba4ba1e7bcd96c3b53f749"},
                },
            })

    def test_argument_payload_merged_under_stdin(self):
        server = self.serve(*[reply_frame("{}") for _ in range(4)])
        argument = json.dumps({"conversation_id": "conv-1", "prompt": "from argument", "tool": "shell",
                               "command": ["git", "status"]})
        self.hook("glimmet-hook-codex", ["--unknown", "x", "--event", "PermissionRequest", argument],
                  stdin=json.dumps({"prompt": "from stdin"}))
        self.hook("glimmet-hook-codex", ["--event", "PermissionRequest", argument], stdin="not json")
        self.hook("glimmet-hook-codex", ["--event=permissionrequest"], stdin="")
        # No --event: the argument payload names the event.
        self.hook("glimmet-hook-codex", ['{"hook_event_name":"\\u0050ermissionRequest","session_id":"s-4"}'])
        first, second, third, fourth = server.requests
        self.assertEqual((first["kind"], first["session_id"]), ("permission_request", "conv-1"))
        self.assertEqual(first["payload"]["prompt"], "from stdin")
        self.assertEqual(first["payload"]["tool"], "shell")
        self.assertEqual(first["payload"]["command"], "git status")
        self.assertEqual(second["payload"]["prompt"], "from argument")
        self.assertEqual((third["kind"], third["session_id"], third["payload"]["cwd"]),
                         ("permission_request", "", str(self.workdir)))
        self.assertEqual((fourth["kind"], fourth["session_id"]), ("permission_request", "s-4"))

    def test_every_other_event_answers_at_once_without_connecting(self):
        server = self.serve_silently()
        prompt = fixture_text(CODEX / "UserPromptSubmit.json")
        stop = fixture_text(CODEX / "Stop.json")
        permission = fixture_text(CODEX / "PermissionRequest.json")
        cases = {
            "--event UserPromptSubmit": (["--event", "UserPromptSubmit"], prompt),
            "--event Stop": (["--event", "Stop"], stop),
            "--event PreToolUse": (["--event", "PreToolUse"], fixture_text(CODEX / "PreToolUse.json")),
            # The installed --event wins over what the payload says.
            "--event Stop, permission payload": (["--event", "Stop"], permission),
            "payload UserPromptSubmit": ([], prompt),
            "payload Stop": ([], stop),
            "no event at all": ([], "{}"),
            "--event Elicitation, nothing": (["--event", "Elicitation"], ""),
        }
        for label, (args, stdin) in cases.items():
            with self.subTest(event=label):
                self.assert_answers_at_once("glimmet-hook-codex", args, stdin)
        time.sleep(0.1)
        self.assertEqual(server.connections, 0)


if __name__ == "__main__":
    unittest.main()
