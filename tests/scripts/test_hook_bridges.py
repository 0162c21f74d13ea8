"""glimmet-hook-claude and glimmet-hook-codex against a real Unix-socket peer."""
import json
import time
import unittest
import uuid

from bridge_support import CLAUDE, CODEX, BridgeTestCase, OneShotSocketServer, fixture_json, fixture_text, reply_frame

ALLOW = '{"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow"}}'


class HookBridgeCase(BridgeTestCase):
    def serve(self, *replies):
        server = OneShotSocketServer(self.glimmet_home / "glimmet.sock", replies)
        self.addCleanup(server.close)
        return server

    def hook(self, name, args=(), stdin=""):
        started = time.monotonic()
        result = self.run_script(name, args, input=stdin)
        elapsed = time.monotonic() - started
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, b"")
        return result.stdout.decode("utf-8"), elapsed


class ClaudeHookTest(HookBridgeCase):
    def test_request_frame_and_verbatim_reply(self):
        server = self.serve(reply_frame(ALLOW))
        out, _ = self.hook("glimmet-hook-claude", stdin=fixture_text(CLAUDE / "PreToolUse.json"))
        self.assertEqual(out, ALLOW + "\n")
        self.assertEqual(server.connections, 1)
        request = server.requests[0]
        raw = server.raw_requests[0].decode("utf-8")
        # Compact JSON with sorted keys, exactly one line.
        self.assertEqual(raw, json.dumps(request, sort_keys=True, separators=(",", ":"), ensure_ascii=False))
        self.assertEqual(str(uuid.UUID(request.pop("request_id"))).count("-"), 4)
        self.assertEqual(request, {
            "v": 1, "type": "hook.request", "agent": "claude_code",
            "session_id": "905ba1cd-b495-4216-b798-971ab74d8163",
            "agent_pid": __import__("os").getpid(),
            "kind": "permission_request", "timeout_seconds": 120,
            "payload": {
                "tool": "Bash", "command": "echo hello > out.txt", "cwd": "/home/dev/project",
                "transcript_path": "/home/dev/.claude/projects/-tmp-ci2-work/905ba1cd-b495-4216-b798-971ab74d8163.jsonl",
                "prompt": None, "multiline": False, "options": None,
                "extras": {"tool_use_id": "toolu_fake_bc7aaea49431",
                           "tool_input_sha256": "c51781fd608f4dc5e0ac5916c001f2e6e7fc3d252372d6efbb47a1c4864f6f66"},
            },
        })

    def test_object_payload_prints_compact_and_only_first_line_counts(self):
        reply = {"v": 1, "type": "hook.reply", "request_id": "r", "decision": "deny", "mode": "once",
                 "raw_agent_payload": {"hookSpecificOutput": {"hookEventName": "PreToolUse",
                                                              "permissionDecision": "deny"}}}
        second = reply_frame('{"second":"reply"}')
        self.serve(json.dumps(reply, indent=None).encode() + b"\n" + second)
        out, _ = self.hook("glimmet-hook-claude", stdin=fixture_text(CLAUDE / "PreToolUse.json"))
        self.assertEqual(out, '{"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"deny"}}\n')

    def test_reply_arriving_in_pieces_is_reassembled(self):
        frame = reply_frame(ALLOW)

        def trickle(conn):
            for index in range(0, len(frame), 7):
                conn.sendall(frame[index:index + 7])
                time.sleep(0.01)

        self.serve(trickle)
        out, _ = self.hook("glimmet-hook-claude", stdin=fixture_text(CLAUDE / "PreToolUse.json"))
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
                                             input=fixture_text(CLAUDE / "PreToolUse.json"))
                finally:
                    server.close()
                self.assertEqual((result.returncode, result.stdout), (0, b"{}\n"))
                self.assertEqual(server.connections, 1)

    def test_request_kinds(self):
        prompt = fixture_json(CLAUDE / "UserPromptSubmit.json")
        prompt["prompt"] = "first line\nsecond line"
        stop_with_options = fixture_json(CLAUDE / "Stop.json")
        stop_with_options["options"] = [{"id": "a", "label": "Continue"}]
        payloads = [prompt, fixture_json(CLAUDE / "Stop.json"), stop_with_options,
                    {"hookEventName": "pretooluse", "tool_input": {"name": "Edit"}},
                    {"hook_event_name": "Notification"}]
        server = self.serve(*[reply_frame("{}") for _ in payloads])
        for payload in payloads:
            out, _ = self.hook("glimmet-hook-claude", stdin=json.dumps(payload))
            self.assertEqual(out, "{}\n")
        kinds = [r["kind"] for r in server.requests]
        self.assertEqual(kinds, ["waiting_input", "waiting_input", "waiting_choice", "permission_request",
                                 "permission_request"])
        self.assertEqual(server.requests[0]["payload"]["prompt"], "first line\nsecond line")
        self.assertTrue(server.requests[0]["payload"]["multiline"])
        self.assertEqual(server.requests[2]["payload"]["options"], [{"id": "a", "label": "Continue"}])
        self.assertEqual(server.requests[3]["payload"]["tool"], "Edit")
        # No cwd in the payload: the agent's PWD stands in; no session: empty text.
        self.assertEqual(server.requests[4]["payload"]["cwd"], str(self.workdir))
        self.assertEqual(server.requests[4]["session_id"], "")

    def test_unparseable_stdin_never_connects(self):
        server = self.serve(reply_frame(ALLOW))
        out, _ = self.hook("glimmet-hook-claude", stdin="{truncated")
        self.assertEqual(out, "{}\n")
        time.sleep(0.1)
        self.assertEqual(server.connections, 0)


class NoApplicationTest(HookBridgeCase):
    def interpreter_start(self):
        if not hasattr(self, "_interpreter_start"):
            import subprocess
            import sys
            started = time.monotonic()
            subprocess.run([sys.executable, "-c", "import json, os, socket, sys, time, uuid"], env=self.env,
                           check=True)
            self._interpreter_start = time.monotonic() - started
        return self._interpreter_start

    def test_bridges_answer_quickly_without_the_application(self):
        stale = self.tmp / "stale"
        stale.mkdir()
        import socket as socket_module
        leftover = socket_module.socket(socket_module.AF_UNIX, socket_module.SOCK_STREAM)
        leftover.bind(str(stale / "glimmet.sock"))
        leftover.close()  # a socket file nobody listens on, as after a crash
        for label, home in (("no socket file", self.glimmet_home), ("stale socket file", stale)):
            for name, args, stdin in (("glimmet-hook-claude", [], fixture_text(CLAUDE / "PreToolUse.json")),
                                      ("glimmet-hook-codex", ["--event", "PermissionRequest"],
                                       fixture_text(CODEX / "PermissionRequest.json"))):
                with self.subTest(case=label, bridge=name):
                    env = dict(self.env, GLIMMET_HOME=str(home))
                    started = time.monotonic()
                    result = self.run_script(name, args, input=stdin, env=env)
                    elapsed = time.monotonic() - started
                    self.assertEqual((result.returncode, result.stdout), (0, b"{}\n"))
                    self.assertLess(elapsed, 1.0)
                    print("\n[latency] %s, %s: {} after %.0f ms in all, %.0f ms after interpreter start"
                          % (name, label, elapsed * 1000, (elapsed - self.interpreter_start()) * 1000))


class CodexHookTest(HookBridgeCase):
    def test_permission_request_from_real_codex_payload(self):
        decision = ('{"hookSpecificOutput":{"hookEventName":"PermissionRequest",'
                    '"decision":{"behavior":"allow"}}}')
        server = self.serve(reply_frame(decision))
        out, _ = self.hook("glimmet-hook-codex", ["--event", "PermissionRequest"],
                           stdin=fixture_text(CODEX / "PermissionRequest.json"))
        self.assertEqual(out, decision + "\n")
        request = server.requests[0]
        self.assertEqual(request["agent"], "codex")
        self.assertEqual(request["kind"], "permission_request")
        self.assertEqual(request["session_id"], "01a2473e-0729-7c30-ab66-cd9c34eb6fe2")
        self.assertEqual(request["payload"]["tool"], "Bash")
        self.assertEqual(request["payload"]["command"], "echo hello > out.txt")
        self.assertEqual(request["timeout_seconds"], 120)

    def test_argument_payload_merged_under_stdin(self):
        server = self.serve(reply_frame("{}"), reply_frame("{}"), reply_frame("{}"))
        argument = json.dumps({"conversation_id": "conv-1", "prompt": "from argument", "tool": "shell",
                               "command": ["git", "status"]})
        self.hook("glimmet-hook-codex", ["--unknown", "x", "--event", "UserPromptSubmit", argument],
                  stdin=json.dumps({"prompt": "from stdin"}))
        self.hook("glimmet-hook-codex", ["--event", "Stop", argument], stdin="not json")
        self.hook("glimmet-hook-codex", ["--event", "Elicitation"], stdin="")
        first, second, third = server.requests
        self.assertEqual((first["kind"], first["session_id"]), ("waiting_input", "conv-1"))
        self.assertEqual(first["payload"]["prompt"], "from stdin")
        self.assertEqual(first["payload"]["tool"], "shell")
        self.assertEqual(first["payload"]["command"], "git status")
        self.assertEqual((second["kind"], second["payload"]["prompt"]), ("waiting_input", "from argument"))
        self.assertEqual((third["kind"], third["session_id"], third["payload"]["cwd"]),
                         ("permission_request", "", str(self.workdir)))


if __name__ == "__main__":
    unittest.main()
