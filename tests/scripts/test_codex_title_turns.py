"""Codex's own title-generation side thread: its notify turns never reach the event file."""
import json
import unittest

from bridge_support import CODEX, BridgeTestCase, fixture_json, fixture_text


class CodexTitleTurnTest(BridgeTestCase):
    def test_title_turn_from_notify_writes_no_event(self):
        # The real notify program, as Codex runs it, with the payload Codex 0.169.0 sent.
        result = self.run_script("glimmet-codex-notify", [fixture_text(CODEX / "notify.json")])
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"", b""))
        self.assertEqual(self.events(), [])
        self.assertEqual(self.error_log(), [])

        # The user's own turn of the same run is still recorded.
        self.run_script("glimmet-codex-notify", [fixture_text(CODEX / "notify.2.json")])
        event = self.only_event()
        self.assertEqual(event["preview"]["user"], "write hello to out.txt")

    def test_title_turn_variants_are_dropped_and_look_alikes_kept(self):
        title_turn = fixture_json(CODEX / "notify.json")
        # Leading white space, or snake-case keys as other Codex versions spell them.
        spaced = dict(title_turn, **{"input-messages": ["\n  " + title_turn["input-messages"][0]]})
        snake = {"type": "agent-turn-complete", "thread_id": "t-title",
                 "input_messages": title_turn["input-messages"], "last_assistant_message": "Fake title"}
        for payload in (title_turn, spaced, snake):
            self.emit(["--source", "codex", json.dumps(payload)])
        self.assertEqual(self.events(), [])

        # A user who asks for a title in their own words gets an ordinary turn.
        own = dict(title_turn, **{"input-messages": ["Please generate a concise task title for the PR"]})
        self.emit(["--source", "codex", json.dumps(own)])
        self.assertEqual(len(self.events()), 1)


if __name__ == "__main__":
    unittest.main()
