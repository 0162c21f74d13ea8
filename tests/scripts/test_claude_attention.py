"""What a real Claude Code turn leaves in the inbox: its Notification hook (which nothing here can
answer) is shown as what the agent is doing, and an approval stops waiting once the turn went on."""
import json
import unittest

from bridge_support import CLAUDE, fixture_text, GlimmetTestCase, needs_glimmet


@needs_glimmet
class ClaudeAttentionTest(GlimmetTestCase):
    def hook(self, name):
        self.emit(["--source", "claude_code"], input=fixture_text(CLAUDE / f"{name}.json"))
        return self.events()[-1]["event_id"]

    def message_with(self, event_id):
        messages = json.loads(self.glimmet("inbox", "--json"))
        found = [m for m in messages if event_id in m.get("sourceEventIDs", [])]
        self.assertEqual(len(found), 1, messages)
        return found[0]

    def test_notification_is_status_and_the_approval_ends_with_the_turn(self):
        for name in ("SessionStart", "UserPromptSubmit", "PreToolUse"):
            self.hook(name)
        permission = self.hook("PermissionRequest")
        self.assertIn("· 1 waiting for approval", self.glimmet("inbox"))

        notification = self.hook("Notification")
        message = self.message_with(notification)
        self.assertEqual(message["intent"], "task_status", message)
        self.assertEqual([b["role"] for b in message["buttons"]], ["ignore", "jump"], message)
        self.assertNotIn(message["badge"], ("Human", "Choice", "Plan", "Approval"), message)
        # The approval is still the one thing waiting: the notification only repeats it.
        self.assertIn("· 1 waiting for approval", self.glimmet("inbox"))

        self.hook("Stop")
        self.assertEqual(self.message_with(permission)["badge"], "Approval")
        self.assertIn("· 0 waiting for approval", self.glimmet("inbox"))


if __name__ == "__main__":
    unittest.main()
