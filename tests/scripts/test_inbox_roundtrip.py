"""The first loop across languages: real agent payloads go through the real bridge scripts
into the event file, and the real `glimmet inbox --json` shows them as messages."""
import json
import subprocess
import tomllib
import unittest

from bridge_support import CLAUDE, CODEX, fixture_json, fixture_text, GlimmetTestCase, needs_glimmet


@needs_glimmet
class InboxRoundTripTest(GlimmetTestCase):
    def inbox(self):
        return json.loads(self.glimmet("inbox", "--json"))

    def message_for(self, messages, event_id):
        found = [m for m in messages if event_id in m.get("sourceEventIDs", [])]
        self.assertEqual(len(found), 1, messages)
        return found[0]

    def test_claude_permission_request_for_forced_removal(self):
        payload = fixture_json(CLAUDE / "PermissionRequest.json")
        payload["tool_input"]["command"] = "rm -rf build/"
        self.emit(["--source", "claude_code"], input=json.dumps(payload))
        event = self.only_event()
        message = self.message_for(self.inbox(), event["event_id"])
        self.assertTrue(message["title"].startswith("Run: "), message)
        self.assertEqual(message["title"], "Run: rm -rf build/")
        self.assertEqual(message["risk"], "high")
        self.assertEqual(message["intent"], "permission_request")
        self.assertEqual(message["toolID"], "claude-code")
        self.assertEqual(message["badge"], "Approval")

    def test_codex_turn_complete_is_a_status_update(self):
        self.emit(["--source", "codex", fixture_text(CODEX / "notify.2.json")])
        event = self.only_event()
        message = self.message_for(self.inbox(), event["event_id"])
        self.assertEqual(message["title"], "Codex CLI turn finished")
        self.assertEqual(message["toolID"], "codex-cli")
        self.assertEqual(message["intent"], "task_status")
        self.assertNotEqual(message["badge"], "Done")

    def test_claude_session_in_arrival_order(self):
        names = ("SessionStart", "UserPromptSubmit", "PreToolUse", "Stop")
        for name in names:
            self.emit(["--source", "claude_code"], input=fixture_text(CLAUDE / f"{name}.json"))
        events = self.events()
        self.assertEqual([e["raw_event_name"] for e in events], list(names))
        messages = self.inbox()
        stop = self.message_for(messages, events[-1]["event_id"])
        self.assertEqual(stop["title"], "Claude Code completed")
        self.assertEqual(stop["intent"], "task_result")
        self.assertEqual(stop["badge"], "Done")
        # Newest first.
        self.assertEqual(messages[0]["id"], stop["id"])

    def test_installed_hooks_and_notify_feed_the_inbox(self):
        # What the agents themselves would run: the commands Glimmet wrote into their configs.
        self.assertIn("Claude Code bridge installed", self.glimmet("install", "claude-code"))
        self.assertIn("Codex CLI bridge installed", self.glimmet("install", "codex-cli"))
        settings = json.loads((self.home / ".claude" / "settings.json").read_text("utf-8"))
        event_bridge = str(self.glimmet_home / "bin" / "glimmet-event")
        stop_commands = [h["command"] for group in settings["hooks"]["Stop"] for h in group["hooks"]
                         if event_bridge in h["command"]]
        self.assertEqual(len(stop_commands), 1, settings["hooks"]["Stop"])
        subprocess.run(["/bin/sh", "-c", stop_commands[0]], input=fixture_text(CLAUDE / "Stop.json").encode(),
                       env=self.env, cwd=str(self.workdir), timeout=60, check=True)

        with open(self.home / ".codex" / "config.toml", "rb") as handle:
            notify = tomllib.load(handle)["notify"]
        self.assertEqual(notify[0], str(self.glimmet_home / "bin" / "glimmet-codex-notify"))
        subprocess.run(notify + [fixture_text(CODEX / "notify.2.json")], env=self.env,
                       cwd=str(self.workdir), timeout=60, check=True)

        titles = [m["title"] for m in self.inbox()]
        self.assertIn("Claude Code completed", titles)
        self.assertIn("Codex CLI turn finished", titles)
        tools = json.loads(self.glimmet("tools", "--json"))
        status = {row["id"]: row["status"] for row in tools}
        self.assertEqual(status["claude-code"], "Healthy")
        self.assertEqual(status["codex-cli"], "Healthy")


if __name__ == "__main__":
    unittest.main()
