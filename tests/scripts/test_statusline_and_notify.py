"""glimmet-claude-statusline and glimmet-codex-notify: events recorded, chains honoured."""
import json
import os
import sys
import time
import unittest

from bridge_support import CLAUDE, CODEX, BridgeTestCase, fixture_json, fixture_text


class StatusLineTest(BridgeTestCase):
    def status_payload(self):
        payload = fixture_json(CLAUDE / "statusline.2.json")
        payload["rate_limits"] = {"five_hour": {"used_percentage": 41.6, "resets_at": 1796500800},
                                  "seven_day": {"used_percentage": "12.4%"}}
        return payload

    def write_chain(self, command):
        config = self.glimmet_home / "config"
        config.mkdir(exist_ok=True)
        (config / "claude-statusline-chain.json").write_text(json.dumps({"statusLine": {"type": "command",
                                                                                        "command": command}}))

    def test_usage_snapshot_and_default_line(self):
        result = self.run_script("glimmet-claude-statusline", input=json.dumps(self.status_payload()))
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout.decode(), "Opus 5.5 | ctx 0% | 5h 42% | 7d 12%\n")
        event = self.only_event()
        self.assertEqual((event["source"], event["notify_policy"]), ("claude_code", "usage_only"))
        self.assertEqual(event["session_id"], "905ba1cd-b495-4216-b798-971ab74d8163")
        usage = event["usage"]
        self.assertEqual((usage["limit_5h_label"], usage["limit_5h_percent"]), ("42% used", 41.6))
        self.assertEqual(usage["limit_5h_reset"], "2026-12-05T20:00:00Z")
        self.assertEqual((usage["weekly_label"], usage["weekly_percent"]), ("12% used", 12.4))
        self.assertNotIn("weekly_reset", usage)
        self.assertEqual((usage["context_total"], usage["context_remaining"]), ("1000000", "999988"))
        self.assertEqual(usage["context_remaining_percent"], 100)
        self.assertEqual((usage["input_tokens"], usage["output_tokens"], usage["cache_write_tokens"],
                          usage["cache_read_tokens"], usage["total_tokens"]), (12, 3, 0, 0, 15))
        self.assertNotIn("observed_at", usage)  # the transcript does not exist here

    def test_session_start_status_line_with_nulls(self):
        payload = fixture_json(CLAUDE / "statusline.json")
        transcript = self.tmp / "transcript.jsonl"
        transcript.write_text("{}\n")
        os.utime(transcript, (1796490000, 1796490000))
        payload["transcript_path"] = str(transcript)
        del payload["cwd"]
        result = self.run_script("glimmet-claude-statusline", input=json.dumps(payload))
        self.assertEqual(result.stdout.decode(), "Opus 5.5\n")
        event = self.only_event()
        self.assertEqual(event["cwd"], "/home/dev/project")  # from workspace.current_dir
        usage = event["usage"]
        self.assertEqual(usage["observed_at"], "2026-12-05T17:00:00Z")
        self.assertEqual(usage["total_tokens"], 0)  # no current usage: total input + total output
        self.assertNotIn("context_remaining_percent", usage)
        self.assertNotIn("limit_5h_label", usage)

    def test_chained_command_output_wins(self):
        seen = self.tmp / "chain-input.json"
        self.write_chain("cat > '%s'; printf 'my own line\\n\\n'" % seen)
        text = json.dumps(self.status_payload(), indent=2)
        result = self.run_script("glimmet-claude-statusline", input=text)
        self.assertEqual(result.stdout.decode(), "my own line\n")
        self.assertEqual(seen.read_text(), text)  # the chained command sees the unchanged input
        self.assertEqual(len(self.events()), 1)

    def test_silent_looping_or_slow_chains_fall_back_to_default(self):
        marker = self.tmp / "ran"
        default = "Opus 5.5 | ctx 0% | 5h 42% | 7d 12%\n"
        for label, command, limit in (("prints nothing", "true", 5),
                                      ("points back at us", "touch '%s'; glimmet-claude-statusline" % marker, 5),
                                      ("too slow", "sleep 30; echo late", 9)):
            with self.subTest(chain=label):
                self.write_chain(command)
                started = time.monotonic()
                result = self.run_script("glimmet-claude-statusline", input=json.dumps(self.status_payload()))
                elapsed = time.monotonic() - started
                self.assertEqual((result.returncode, result.stdout.decode()), (0, default))
                self.assertLess(elapsed, limit)
        self.assertFalse(marker.exists())

    def test_input_that_is_not_an_object(self):
        for text in ("", "not json", "[1,2]"):
            with self.subTest(text=text):
                result = self.run_script("glimmet-claude-statusline", input=text)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"", b""))
        self.assertEqual(self.events(), [])


class CodexNotifyTest(BridgeTestCase):
    def write_chain(self, notify):
        config = self.glimmet_home / "config"
        config.mkdir(exist_ok=True)
        (config / "codex-notify-chain.json").write_text(json.dumps({"notify": notify}))

    def test_records_event_then_runs_previous_notify_command(self):
        received = self.tmp / "received.txt"
        self.write_chain([sys.executable, "-c",
                          "import sys; open(%r, 'w').write(sys.argv[-1])" % str(received)])
        payload_text = fixture_text(CODEX / "notify.2.json")
        result = self.run_script("glimmet-codex-notify", [payload_text])
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"", b""))
        event = self.only_event()
        self.assertEqual((event["source"], event["title"]), ("codex", "Codex CLI turn finished"))
        self.assertEqual(received.read_text(), payload_text)

    def test_chain_to_itself_or_broken_chain_is_ignored(self):
        marker = self.tmp / "looped"
        for chain in (["/home/u/.glimmet/bin/glimmet-codex-notify", str(marker)], [], "notify-send",
                      ["/nonexistent/notifier"]):
            with self.subTest(chain=chain):
                self.write_chain(chain)
                result = self.run_script("glimmet-codex-notify", ['{"type":"agent-turn-complete"}'])
                self.assertEqual(result.returncode, 0)
        self.assertFalse(marker.exists())
        self.assertEqual(len(self.events()), 4)

    def test_without_payload_argument(self):
        result = self.run_script("glimmet-codex-notify", [])
        self.assertEqual(result.returncode, 0)
        event = self.only_event()
        self.assertEqual((event["source"], event["message"]), ("codex", "Lifecycle event captured locally."))


if __name__ == "__main__":
    unittest.main()
