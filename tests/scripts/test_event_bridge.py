"""glimmet-event: real payloads in, JSON lines out, run as a real child process."""
import ast
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import time
import unittest
import uuid
from pathlib import Path

from bridge_support import CLAUDE, CODEX, ROLLOUTS, SCRIPTS, BridgeTestCase, fixture_json, fixture_text

ISO_UTC = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d+)?Z$")
PYTHON_BRIDGES = ("glimmet-event", "glimmet-hook-claude", "glimmet-hook-codex", "glimmet-codex-notify",
                  "glimmet-claude-statusline", "glimmet-wrap")


# Modules the launchers import from beside themselves.
BRIDGE_MODULES = ("glimmet_event",)


def imports_of(path):
    imported = set()
    for node in ast.walk(ast.parse(path.read_text(encoding="utf-8"))):
        if isinstance(node, ast.Import):
            imported.update(alias.name.split(".")[0] for alias in node.names)
        elif isinstance(node, ast.ImportFrom):
            imported.add(node.module.split(".")[0])
    return imported


class ScriptFilesTest(BridgeTestCase):
    def test_python_bridges_are_executable_stdlib_only_scripts(self):
        for name in PYTHON_BRIDGES:
            with self.subTest(script=name):
                path = SCRIPTS / name
                self.assertEqual(path.read_text(encoding="utf-8").splitlines()[0], "#!/usr/bin/env python3")
                # The source only has to be executable by its owner: the group and other bits of a
                # checkout follow the umask of whoever cloned it. The installed copies get exactly
                # 0755 from the installer, which the installer tests check.
                self.assertTrue(path.stat().st_mode & stat.S_IXUSR, oct(path.stat().st_mode))
                self.assertTrue(os.access(path, os.X_OK))
                self.assertFalse(imports_of(path) - set(sys.stdlib_module_names) - set(BRIDGE_MODULES))
        for name in BRIDGE_MODULES:
            with self.subTest(module=name):
                self.assertFalse(imports_of(SCRIPTS / (name + ".py")) - set(sys.stdlib_module_names))

    def test_runs_through_its_shebang(self):
        # Executed directly, the way the agents call it: env finds python3 and the execute bit lets it run.
        result = subprocess.run([str(SCRIPTS / "glimmet-event"), "--title", "direct"], stdin=subprocess.DEVNULL,
                                capture_output=True, env=self.env, cwd=str(self.workdir), timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.only_event()["title"], "direct")


class EventFileTest(BridgeTestCase):
    @unittest.skipIf(sys.platform == "darwin", "macOS keeps the event file in Application Support")
    def test_only_an_absolute_xdg_data_home_moves_the_event_file(self):
        env = {key: value for key, value in self.env.items() if key != "GLIMMET_EVENT_FILE"}
        default = self.home / ".local" / "share" / "Glimmet" / "events.jsonl"
        moved = self.tmp / "xdg" / "Glimmet" / "events.jsonl"
        for value, expected in (("rel/data", default), ("~/data", default), ("", default),
                                (str(self.tmp / "xdg"), moved)):
            with self.subTest(value):
                for path in (default, moved):
                    path.unlink(missing_ok=True)
                self.emit(["--source", "codex", "--title", "Ran"], env=dict(env, XDG_DATA_HOME=value))
                self.assertEqual([p for p in (default, moved) if p.exists()], [expected])
        # Nothing landed beside the agent's working directory.
        self.assertEqual(list(self.workdir.iterdir()), [])

    def test_defaults_filled_and_line_is_compact_utf8(self):
        self.emit(["--message", "Grüße – done"])
        raw = self.event_file.read_bytes()
        self.assertEqual(raw.count(b"\n"), 1)
        self.assertIn("Grüße – done".encode("utf-8"), raw)  # written as itself, not \u-escaped
        self.assertNotIn(b": ", raw)
        self.assertNotIn(b", ", raw)
        event = json.loads(raw)
        self.assertEqual(str(uuid.UUID(event["event_id"])), event["event_id"])
        self.assertRegex(event["timestamp"], ISO_UTC)
        self.assertEqual((event["cwd"], event["project"]), (str(self.workdir), "work"))
        self.assertEqual((event["source"], event["event_type"]), ("claude_code", "task_updated"))
        self.assertNotIn("usage", event)
        self.assertNotIn(None, event.values())

    def test_default_path_is_the_application_directory(self):
        for override in (None, "   "):
            with self.subTest(override=override):
                env = dict(self.env)
                env.pop("GLIMMET_EVENT_FILE")
                if override is not None:
                    env["GLIMMET_EVENT_FILE"] = override
                self.emit(["--title", "default path"], env=env)
                if sys.platform == "darwin":
                    expected = self.home / "Library" / "Application Support" / "Glimmet" / "events.jsonl"
                else:
                    expected = self.tmp / "xdg" / "Glimmet" / "events.jsonl"
                self.assertEqual([e["title"] for e in self.events(expected)][-1], "default path")
        self.assertFalse(self.event_file.exists())

    def test_tilde_in_override_is_expanded(self):
        env = dict(self.env, GLIMMET_EVENT_FILE="~/nested/dir/events.jsonl")
        self.emit(["--title", "tilde"], env=env)
        self.assertEqual(self.events(self.home / "nested" / "dir" / "events.jsonl")[0]["title"], "tilde")


class CodexPayloadTest(BridgeTestCase):
    def test_agent_turn_complete_is_an_update_not_a_completion(self):
        self.emit(["--source", "codex", fixture_text(CODEX / "notify.2.json")])
        event = self.only_event()
        self.assertEqual(event["event_type"], "task_updated")
        self.assertEqual(event["title"], "Codex CLI turn finished")
        self.assertEqual(event["session_id"], "01a2473e-0729-7c30-ab66-cd9c34eb6fe2")
        self.assertEqual(event["preview"], {"user": "write hello to out.txt", "agent": "done"})
        # The fallback message gives way to what the agent said.
        self.assertEqual(event["message"], "done")
        self.assertNotIn("completion_snippet", event)

    def test_codex_hook_payloads_on_stdin(self):
        cases = {
            "PermissionRequest.json": ("permission_request", "Codex CLI needs approval", "Bash - echo hello > out.txt"),
            "UserPromptSubmit.json": ("task_started", "Codex CLI received a prompt", "Prompt received."),
            "Stop.json": ("task_completed", "Codex CLI completed", "done"),
            "PreToolUse.json": ("task_updated", "Codex CLI running tool", "echo hello > out.txt"),
        }
        for name in cases:
            self.emit(["--source", "codex"], input=fixture_text(CODEX / name))
        events = self.events()
        self.assertEqual([(e["event_type"], e["title"], e["message"]) for e in events], list(cases.values()))
        self.assertEqual(events[0]["action"], {"kind": "shell", "command": "echo hello > out.txt", "risk": "low"})
        self.assertEqual(events[0]["severity"], "warning")
        self.assertEqual(events[0]["turn_id"], "01a2473e-075a-7942-80e3-46810c2cf40f")
        self.assertTrue(events[0]["transcript_path"].endswith(".jsonl"))
        self.assertNotIn("notify_policy", events[0])

    def test_auto_approved_codex_makes_approvals_silent(self):
        (self.home / ".codex").mkdir()
        config = self.home / ".codex" / "config.toml"
        config.write_text('model = "gpt"\n# approval_policy = "on-request"\napproval_policy = "never"\n')
        self.emit(["--source", "codex"], input=fixture_text(CODEX / "PermissionRequest.json"))
        self.emit(["--source", "codex"], input=fixture_text(CODEX / "Stop.json"))
        config.write_text('approval_policy = "on-request"\n')
        self.emit(["--source", "codex"], input=fixture_text(CODEX / "PermissionRequest.json"))
        events = self.events()
        self.assertEqual(events[0].get("notify_policy"), "silent")
        self.assertNotIn("notify_policy", events[1])  # completions are never silenced this way
        self.assertNotIn("notify_policy", events[2])

    def test_rate_limit_in_notify_payload(self):
        payload = fixture_json(CODEX / "notify.2.json")
        payload["last-assistant-message"] = "You've hit your usage limit. Try again later."
        self.emit(["--source", "codex", json.dumps(payload)])
        event = self.only_event()
        self.assertEqual(event["title"], "Codex paused by usage limit")
        self.assertEqual(event["status"], "usage_limited")
        self.assertEqual(event["usage"]["rate_limit_blocked"], True)

    def test_transcript_fills_a_missing_preview(self):
        sessions = self.home / ".codex" / "sessions" / "2026" / "12" / "05"
        sessions.mkdir(parents=True)
        session = "01a2473b-1e61-7d52-b60b-2d9180c48a51"
        shutil.copy(ROLLOUTS / "rollout-sample.jsonl", sessions / ("rollout-2026-12-05T17-23-06-%s.jsonl" % session))
        self.emit(["--source", "codex", json.dumps({"type": "agent-turn-complete", "thread-id": session})])
        self.assertEqual(self.only_event()["preview"], {"user": "write hello to out.txt", "agent": "done"})

    def test_title_generation_exchange_is_dropped_from_preview(self):
        payload = {"type": "agent-turn-complete", "thread-id": "t1",
                   "input-messages": ["Write a short title for this conversation"],
                   "last-assistant-message": '{"title":"Fix the build"}'}
        self.emit(["--source", "codex", json.dumps(payload)])
        event = self.only_event()
        self.assertNotIn("preview", event)
        self.assertEqual(event["message"], "Lifecycle event captured locally.")


class ClaudePayloadTest(BridgeTestCase):
    def emit_claude(self, payload):
        text = payload if isinstance(payload, str) else json.dumps(payload)
        self.emit(["--source", "claude_code"], input=text)

    def test_session_lifecycle_from_real_hooks(self):
        for name in ("SessionStart", "UserPromptSubmit", "PreToolUse", "Notification", "Stop", "SessionEnd"):
            self.emit_claude(fixture_text(CLAUDE / (name + ".json")))
        events = self.events()
        self.assertEqual([(e["event_type"], e["title"], e["status"]) for e in events], [
            ("task_started", "Claude Code started", "thinking"),
            ("task_started", "Claude Code received a prompt", "thinking"),
            ("task_updated", "Claude Code running tool", "running_tool"),
            ("waiting_input", "Claude Code needs attention", "waiting_input"),
            ("task_completed", "Claude Code completed", "completed"),
            ("task_completed", "Claude Code session ended", "completed"),
        ])
        for event in events:
            self.assertEqual(event["source"], "claude_code")
            self.assertEqual(event["session_id"], "905ba1cd-b495-4216-b798-971ab74d8163")
            self.assertEqual(event["cwd"], "/home/dev/project")
        self.assertEqual([e["raw_event_name"] for e in events],
                         ["SessionStart", "UserPromptSubmit", "PreToolUse", "Notification", "Stop", "SessionEnd"])
        self.assertEqual(events[2]["message"], "Bash - echo hello > out.txt")
        self.assertEqual(events[2]["action"], {"kind": "shell", "command": "echo hello > out.txt", "risk": "low"})
        stop = events[4]
        self.assertEqual(stop["preview"], {"agent": "done"})
        self.assertEqual(stop["severity"], "success")

    def test_permission_request_for_forced_recursive_removal(self):
        payload = fixture_json(CLAUDE / "PermissionRequest.json")
        payload["tool_input"]["command"] = "rm -rf /home/dev/project/build"
        self.emit_claude(payload)
        event = self.only_event()
        self.assertEqual(event["event_type"], "permission_request")
        self.assertEqual(event["title"], "Run: rm -rf /home/dev/project/build")
        self.assertEqual(event["action"], {"kind": "shell", "command": "rm -rf /home/dev/project/build", "risk": "high"})
        self.assertNotIn("notify_policy", event)

    def test_permission_title_shows_first_sixty_characters(self):
        command = "echo " + "x" * 55 + "TAIL"  # 64 characters
        payload = fixture_json(CLAUDE / "PermissionRequest.json")
        payload["tool_input"]["command"] = command
        self.emit_claude(payload)
        self.emit_claude({"hook_event_name": "PermissionRequest", "tool_name": "Write",
                          "tool_input": {"file_path": "/home/dev/project/.env"}})
        first, second = self.events()
        self.assertEqual(first["title"], "Run: " + command[:60])
        self.assertEqual(second["title"], "Write: /home/dev/project/.env")
        self.assertEqual(second["message"], "Write")
        self.assertEqual(second["action"], {"kind": "file", "file_path": "/home/dev/project/.env", "risk": "high"})

    def test_bypass_permission_mode_silences_approvals(self):
        payload = fixture_json(CLAUDE / "PermissionRequest.json")
        payload["permission_mode"] = " bypassPermissions "
        self.emit_claude(payload)
        self.assertEqual(self.only_event()["notify_policy"], "silent")

    def test_rate_limit_only_from_signal_fields(self):
        # "429" inside a command is not a rate limit; a notification message saying so is.
        busy = fixture_json(CLAUDE / "PreToolUse.json")
        busy["tool_input"]["command"] = "curl http://localhost:429/overloaded"
        self.emit_claude(busy)
        limited = fixture_json(CLAUDE / "Notification.json")
        limited["message"] = "Claude usage limit reached, resets 5pm"
        self.emit_claude(limited)
        first, second = self.events()
        self.assertEqual(first["status"], "running_tool")
        self.assertNotIn("usage", first)
        self.assertEqual(second["title"], "Claude Code paused by usage limit")
        self.assertEqual(second["message"], "Paused by usage limit.")
        self.assertTrue(second["usage"]["rate_limit_blocked"])

    def test_unknown_hook_name_is_named_in_title(self):
        self.emit_claude({"hook_event_name": "PreCompact", "session_id": "s"})
        event = self.only_event()
        self.assertEqual((event["event_type"], event["title"]), ("task_updated", "Claude Code PreCompact"))


class GenericSourceTest(BridgeTestCase):
    def test_generic_sources_use_lifecycle_and_display_names(self):
        self.emit(["--source", "gemini", json.dumps({"type": "task_failed", "message": "boom", "session_id": "g1"})])
        self.emit(["--source", "kilo_code", json.dumps({"hook_event_name": "Stop", "summary": "All done here",
                                                         "sessionId": "k1"})])
        self.emit(["--source", "copilot-coding-agent", json.dumps({"event": {"type": "approval_required"},
                                                                   "tool_name": "shell",
                                                                   "input": {"command": "git push origin"}})])
        failed, done, approval = self.events()
        self.assertEqual((failed["event_type"], failed["title"], failed["message"], failed["session_id"]),
                         ("task_failed", "Gemini CLI failed", "boom", "g1"))
        self.assertEqual((done["event_type"], done["title"], done["status"]),
                         ("task_completed", "Kilo Code completed", "completed"))
        self.assertEqual((done["completion_snippet"], done["session_id"]), ("All done here", "k1"))
        self.assertEqual(approval["event_type"], "permission_request")
        self.assertEqual(approval["title"], "Copilot Coding Agent needs approval")
        self.assertEqual(approval["source_type"], "remote_agent")
        self.assertEqual(approval["message"], "shell - git push origin")
        self.assertEqual(approval["action"], {"kind": "shell", "command": "git push origin", "risk": "medium"})

    def test_generic_usage_and_options(self):
        payload = {"type": "message_completed", "usage": {"input_tokens": 100, "output_tokens": 20},
                   "cost_usd": 0.25, "note": "weekly limit: 71.5% used",
                   "options": [{"id": "a", "label": "Yes", "risk": "low"}, {"id": "b"},
                               {"id": "c", "label": "No", "detail": "stop here", "risk": "extreme"}]}
        self.emit(["--source", "cursor-agent", json.dumps(payload)])
        event = self.only_event()
        self.assertEqual(event["title"], "Cursor Agent CLI message finished")
        usage = event["usage"]
        self.assertEqual((usage["input_tokens"], usage["output_tokens"], usage["total_tokens"]), (100, 20, 120))
        self.assertEqual((usage["cost_amount"], usage["cost_currency"]), (0.25, "USD"))
        self.assertEqual((usage["weekly_percent"], usage["weekly_label"]), (71.5, "72%"))
        self.assertEqual((usage["data_source"], usage["tool_id"]), ("wrapper", "cursor-agent-cli"))
        self.assertEqual(event["options"], [{"id": "a", "label": "Yes", "risk": "low"},
                                            {"id": "c", "label": "No", "description": "stop here"}])


class CommandLineTest(BridgeTestCase):
    def test_two_options_one_malformed_yield_one(self):
        self.emit(["--source", "pi", "--event-type", "waiting_input", "--option", "yes=Ship it",
                   "--option", "no-equals-sign", "--title", "Choose"])
        event = self.only_event()
        self.assertEqual(event["options"], [{"id": "yes", "label": "Ship it"}])
        self.assertEqual(event["status"], "waiting_input")
        self.assertNotIn("usage", event)
        self.assertNotIn("action", event)
        self.assertNotIn("response", event)

    def test_option_splits_on_first_equals_and_malformed_only_means_absent(self):
        self.emit(["--option", "k=a=b", "--option", "=label", "--option", "id="])
        self.emit(["--option", "broken"])
        first, second = self.events()
        self.assertEqual(first["options"], [{"id": "k", "label": "a=b"}])
        self.assertNotIn("options", second)

    def test_usage_action_response_preview(self):
        self.emit(["--source", "kimi_cli", "--limit-5h-percent", "41.6", "--input-tokens", "1200",
                   "--cost-estimate", "--data-source", "wrapper", "--command", "sudo make install",
                   "--response-file", "/tmp/answer.json", "--note-enabled", "--user-message", "do it",
                   "--assistant-message", "finished", "--project", "demo", "--pid", "4242",
                   "--terminal", "Ghostty", "--jump-target", "vscode://file/x"])
        event = self.only_event()
        self.assertEqual(event["usage"], {"data_source": "wrapper", "input_tokens": 1200, "cost_estimate": True,
                                          "limit_5h_percent": 41.6})
        self.assertEqual(event["action"], {"kind": "shell", "command": "sudo make install", "risk": "high"})
        self.assertEqual(event["response"], {"response_file": "/tmp/answer.json", "note_enabled": True})
        self.assertEqual(event["preview"], {"user": "do it"})
        self.assertEqual(event["completion_snippet"], "finished")
        self.assertEqual((event["project"], event["pid"], event["terminal"], event["jump_target"]),
                         ("demo", "4242", "Ghostty", "vscode://file/x"))

    def test_terminal_detection_and_jump_target(self):
        env = dict(self.env, ITERM_SESSION_ID="w0t1p0:ABC", CMUX_WORKSPACE_ID="leftover")
        self.emit(["--title", "iterm"], env=env)
        env = dict(self.env, CMUX_WORKSPACE_ID="ws-1", CMUX_WINDOW_ID="win-2")
        self.emit(["--title", "cmux"], env=env)
        iterm, cmux = self.events()
        self.assertEqual(iterm["terminal"], "iTerm2")
        self.assertEqual(iterm["jump_target"], {"kind": "terminal_window", "terminal": "iTerm2",
                                                "cwd": str(self.workdir), "sessionId": "w0t1p0:ABC"})
        self.assertEqual(cmux["terminal"], "cmux")
        self.assertEqual(cmux["jump_target"], {"kind": "cmux", "cwd": str(self.workdir), "sessionId": "ws-1",
                                               "windowId": "win-2"})


    def test_hook_command_line_reads_as_the_full_parser_reads_it(self):
        # The hooks' own command line takes a short way past argparse; an option argparse sets to
        # its default sends the same input the long way. Both must write the same event.
        cases = (
            (["--source", "claude_code"], fixture_text(CLAUDE / "PreToolUse.json")),
            (["--source", "codex", fixture_text(CODEX / "notify.2.json")], None),
            ([fixture_text(CLAUDE / "Stop.json")], None),
        )
        for args, stdin in cases:
            with self.subTest(args=args[:2]):
                self.event_file.unlink(missing_ok=True)
                self.emit(args, input=stdin)
                self.emit(args + ["--event-type", "task_updated", "--severity", "info"], input=stdin)
                self.assertEqual(self.error_log(), [])
                short, full = self.events()
                for event in (short, full):
                    event_id = uuid.UUID(event.pop("event_id"))
                    self.assertEqual((event_id.version, event_id.variant), (4, uuid.RFC_4122))
                    self.assertRegex(event.pop("timestamp"), ISO_UTC)
                self.assertEqual(short, full)


class SanitizingTest(BridgeTestCase):
    def test_secrets_are_redacted(self):
        self.emit(["--message", "key sk-abcdefghijkl and password=hunter2 plus API_KEY: 'zz9' ok",
                   "--title", "token=abc123 short sk-abc"])
        event = self.only_event()
        # A quoted secret keeps its quotes and the separator as written.
        self.assertEqual(event["message"], "key sk-... and password=... plus API_KEY: '...' ok")
        self.assertEqual(event["title"], "token=... short sk-abc")  # too short to be a key

    def test_secrets_in_payload_text_are_redacted(self):
        payload = fixture_json(CLAUDE / "PreToolUse.json")
        payload["tool_input"]["command"] = "curl -H 'x: sk-proj_ABCDEFGHIJKLMN' https://api"
        self.emit(["--source", "claude_code"], input=json.dumps(payload))
        event = self.only_event()
        self.assertNotIn("ABCDEFGHIJKLMN", json.dumps(event))
        self.assertEqual(event["action"]["command"], "curl -H 'x: sk-...' https://api")

    def test_message_limit_boundaries(self):
        for length, expected in ((240, 240), (241, 240), (300, 240)):
            with self.subTest(length=length):
                message = "".join(chr(ord("a") + i % 26) for i in range(length))
                self.emit(["--message", message])
                written = self.events()[-1]["message"]
                self.assertEqual(len(written), expected)
                if length > 240:
                    self.assertEqual(written, message[:237] + "...")
                else:
                    self.assertEqual(written, message)

        self.emit(["--message", "  line one\n\n\tline   two  "])
        self.assertEqual(self.events()[-1]["message"], "line one line two")


class FailureTest(BridgeTestCase):
    def test_invalid_payloads_are_logged_and_write_nothing(self):
        for args, stdin in ((["--source", "codex", "{not json"], None),
                            (["--source", "claude_code"], "{\"hook_event_name\": "),
                            (["--source", "gemini", "[1, 2]"], None),
                            (["--quota-percent", "lots"], None)):
            with self.subTest(args=args):
                result = self.run_script("glimmet-event", args, input=stdin)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stdout, b"")
        self.assertEqual(self.events(), [])
        log = self.error_log()
        self.assertEqual(len(log), 4, log)
        for line in log:
            stamp, _, text = line.partition(" ")
            self.assertRegex(stamp, ISO_UTC)
            self.assertTrue(text)

    def test_unwritable_event_folder_is_reported_in_one_line_not_raised(self):
        # Neither the event file nor its error log can be written next to a plain file: the hook
        # still succeeds and says why once on standard error.
        blocker = self.tmp / "file-not-dir"
        blocker.write_text("x")
        env = dict(self.env, GLIMMET_EVENT_FILE=str(blocker / "events.jsonl"))
        result = self.run_script("glimmet-event", ["--title", "x"], env=env)
        self.assertEqual((result.returncode, result.stdout), (0, b""))
        lines = result.stderr.decode().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].startswith("Glimmet: "), lines)
        self.assertIn("error log cannot be written", lines[0])
        self.assertEqual(blocker.read_text(), "x")


WRITER = r"""
import importlib.machinery, importlib.util, sys
loader = importlib.machinery.SourceFileLoader("glimmet_event", sys.argv[1])
loader_spec = importlib.util.spec_from_loader("glimmet_event", loader)
module = importlib.util.module_from_spec(loader_spec)
loader.exec_module(module)
worker = int(sys.argv[2])
for seq in range(int(sys.argv[3])):
    # Lines of varying length, some well past a pipe buffer, to provoke torn writes.
    module.main(["--source", "load", "--title", "w%d-%d" % (worker, seq),
                 "--completion-snippet", "x" * (seq * 3 % 600), "--session-id", str(worker),
                 "--turn-id", str(seq)])
"""


class ConcurrentAppendTest(BridgeTestCase):
    def test_fifty_writers_two_hundred_lines_each(self):
        # Each writer is its own process running the real script's code 200 times;
        # spawning 10,000 interpreters would take minutes on a small machine.
        workers, per_worker = 50, 200
        started = time.monotonic()
        processes = [subprocess.Popen([sys.executable, "-c", WRITER, str(SCRIPTS / "glimmet-event"), str(w),
                                       str(per_worker)], stdin=subprocess.DEVNULL, env=self.env,
                                      cwd=str(self.workdir)) for w in range(workers)]
        for process in processes:
            self.assertEqual(process.wait(timeout=600), 0)
        elapsed = time.monotonic() - started
        data = self.event_file.read_bytes()
        lines = data.split(b"\n")
        self.assertEqual(lines[-1], b"")
        lines = lines[:-1]
        self.assertEqual(len(lines), workers * per_worker)
        seen = {}
        for line in lines:
            event = json.loads(line)  # a torn or interleaved line would not parse
            seen.setdefault(event["session_id"], []).append(int(event["turn_id"]))
        self.assertEqual(len(seen), workers)
        for worker, seqs in seen.items():
            # Each writer's lines are all there, in the order it wrote them.
            self.assertEqual(seqs, list(range(per_worker)), worker)
        self.assertEqual(self.error_log(), [])
        print("\n[concurrency] %d lines from %d processes in %.1f s" % (len(lines), workers, elapsed))


if __name__ == "__main__":
    unittest.main()
