"""Gemini CLI's hook payloads through the real event bridge: what each event becomes, a
SessionEnd fired more than once, and a hook that never answers Gemini with a decision."""
import json
import subprocess
import sys

from bridge_support import FIXTURES, SCRIPTS, BridgeTestCase, fixture_json, fixture_text

GEMINI = FIXTURES / "gemini"
ORDER = fixture_text(GEMINI / "ORDER.txt").split()


class GeminiHookTest(BridgeTestCase):
    def emit_gemini(self, payload):
        text = payload if isinstance(payload, str) else json.dumps(payload)
        result = self.emit(["--source", "gemini-cli"], input=text)
        # Gemini reads a hook's standard output as its decision: the bridge must print nothing.
        self.assertEqual(result.stdout, b"")
        return result

    def test_one_turn_in_firing_order(self):
        for name in ORDER:
            self.emit_gemini(fixture_text(GEMINI / f"{name}.json"))
        events = self.events()
        self.assertEqual([e["raw_event_name"] for e in events], ORDER)
        self.assertEqual(self.error_log(), [])
        by_name = {e["raw_event_name"]: e for e in events}
        rows = {name: (e["event_type"], e["title"], e["status"], e["message"]) for name, e in by_name.items()}
        self.assertEqual(rows, {
            "SessionStart": ("task_started", "Gemini CLI started", "thinking", "Lifecycle event captured locally."),
            "BeforeAgent": ("task_started", "Gemini CLI received a prompt", "thinking", "write hello to out.txt"),
            "Notification": ("waiting_input", "Gemini CLI needs attention", "waiting_input", "echo hello > out.txt"),
            "BeforeTool": ("task_updated", "Gemini CLI running tool", "running_tool", "echo hello > out.txt"),
            "AfterTool": ("task_updated", "Gemini CLI used tool", "running_tool", "echo hello > out.txt"),
            "AfterAgent": ("task_completed", "Gemini CLI completed", "completed",
                           "Done: out.txt now holds the word hello."),
            "SessionEnd": ("task_completed", "Gemini CLI session ended", "completed",
                           "Lifecycle event captured locally."),
        })
        for event in events:
            self.assertEqual(event["source"], "gemini-cli")
            self.assertEqual(event["session_id"], "5f0c2a8e-1b7d-4c36-9e51-3d2f8a7b6c10")
            self.assertEqual(event["cwd"], "/home/dev/demo")
            self.assertEqual(event["project"], "demo")
            self.assertTrue(event["transcript_path"].endswith(".json"))
        self.assertEqual(by_name["BeforeTool"]["action"], {"kind": "shell", "command": "echo hello > out.txt",
                                                           "risk": "low"})
        self.assertEqual(by_name["BeforeTool"]["tool_name"], "run_shell_command")
        self.assertEqual(by_name["Notification"]["action"]["command"], "echo hello > out.txt")
        self.assertEqual(by_name["BeforeAgent"]["preview"], {"user": "write hello to out.txt"})
        finished = by_name["AfterAgent"]
        self.assertEqual(finished["completion_snippet"], "Done: out.txt now holds the word hello.")
        self.assertEqual(finished["preview"], {"user": "write hello to out.txt",
                                               "agent": "Done: out.txt now holds the word hello."})
        # Only a finished turn carries a snippet; a session's end is not a second result.
        self.assertNotIn("completion_snippet", by_name["SessionEnd"])

    def test_tool_events_name_the_file_or_the_tool(self):
        payload = fixture_json(GEMINI / "BeforeTool.json")
        payload["tool_name"] = "write_file"
        payload["tool_input"] = {"file_path": "/home/dev/demo/.env", "content": "KEY=1"}
        self.emit_gemini(payload)
        payload["tool_name"] = "google_web_search"
        payload["tool_input"] = {"query": "weather"}
        self.emit_gemini(payload)
        written, searched = self.events()
        self.assertEqual(written["action"], {"kind": "file", "file_path": "/home/dev/demo/.env", "risk": "high"})
        self.assertEqual(written["message"], "/home/dev/demo/.env")
        self.assertEqual(searched["action"], {"kind": "google_web_search", "risk": "low"})
        self.assertEqual(searched["message"], "google_web_search")

    def test_prompt_and_answer_are_redacted(self):
        secret = "sk-" + "a1B2c3D4e5F6g7H8"
        prompt = fixture_json(GEMINI / "BeforeAgent.json")
        prompt["prompt"] = "deploy with " + secret
        self.emit_gemini(prompt)
        finished = fixture_json(GEMINI / "AfterAgent.json")
        finished["prompt_response"] = "Used " + secret + " as asked."
        self.emit_gemini(finished)
        text = self.event_file.read_text("utf-8")
        self.assertNotIn(secret, text)
        asked, answered = self.events()
        self.assertEqual(asked["message"], "deploy with sk-...")
        self.assertEqual(answered["completion_snippet"], "Used sk-... as asked.")

    def test_session_end_fired_three_times_is_one_end(self):
        end = fixture_json(GEMINI / "SessionEnd.json")
        for _ in range(3):
            self.emit_gemini(end)
        self.assertEqual([e["raw_event_name"] for e in self.events()], ["SessionEnd"])
        # Another session ends on its own.
        other = dict(end, session_id="0d9e7c44-aaaa-4bbb-8ccc-123456789abc")
        self.emit_gemini(other)
        self.emit_gemini(other)
        # A resumed session starts again and may end again.
        self.emit_gemini(fixture_text(GEMINI / "SessionStart.json"))
        self.emit_gemini(end)
        self.emit_gemini(end)
        self.assertEqual([(e["raw_event_name"], e["session_id"][:8]) for e in self.events()],
                         [("SessionEnd", "5f0c2a8e"), ("SessionEnd", "0d9e7c44"),
                          ("SessionStart", "5f0c2a8e"), ("SessionEnd", "5f0c2a8e")])
        self.assertEqual(self.error_log(), [])

    def test_session_ends_fired_at_once_write_one_line(self):
        text = fixture_text(GEMINI / "SessionEnd.json").encode("utf-8")
        bridge = str(SCRIPTS / "glimmet-event")
        children = [subprocess.Popen([sys.executable, bridge, "--source", "gemini-cli"], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env,
                                     cwd=str(self.workdir)) for _ in range(4)]
        for child in children:
            child.stdin.write(text)
            child.stdin.close()
        for child in children:
            self.assertEqual(child.wait(timeout=60), 0)
            child.stdout.close()
            child.stderr.close()
        self.assertEqual(len(self.events()), 1)

    def test_a_session_id_cannot_name_a_file_outside_the_markers(self):
        end = fixture_json(GEMINI / "SessionEnd.json")
        end["session_id"] = "../../escape"
        self.emit_gemini(end)
        self.emit_gemini(end)
        self.assertEqual(len(self.events()), 1)
        self.assertFalse((self.tmp / "escape").exists())
        self.assertEqual(self.error_log(), [])

    def test_wrapper_events_of_older_versions_keep_the_generic_mapping(self):
        # Versions without hooks are recorded by the wrapper, whose payloads carry no hook name.
        self.emit_gemini({"type": "task_failed", "message": "boom", "session_id": "g1"})
        event = self.only_event()
        self.assertEqual((event["event_type"], event["title"], event["message"]),
                         ("task_failed", "Gemini CLI failed", "boom"))


if __name__ == "__main__":
    import unittest
    unittest.main()
