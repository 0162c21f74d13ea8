"""The OpenCode plugin under a real node, loaded as OpenCode loads it."""
import json
import os
import shutil
import stat
import subprocess
import sys
import textwrap
import unittest

from bridge_support import SCRIPTS, BridgeTestCase

# Awaits every handler, so a handler that throws ends node with a stack trace and status 1.
RUN_AWAITED = textwrap.dedent("""
    const { GlimmetPlugin } = await import(process.argv[1]);
    const hooks = await GlimmetPlugin({ directory: "/plugin/dir" });
    for (const event of JSON.parse(process.argv[2])) {
      await hooks.event({ event });
    }
""")

# A headless `opencode run` hands the plugin its last events without waiting for the
# handlers and exits at once: whatever a handler left for later is lost.
RUN_THEN_EXIT = textwrap.dedent("""
    const { GlimmetPlugin } = await import(process.argv[1]);
    const hooks = await GlimmetPlugin({ directory: "/plugin/dir" });
    for (const event of JSON.parse(process.argv[2])) {
      hooks.event({ event });
    }
    process.exit(0);
""")


def snapshot(session, updated, input=0, output=0, reasoning=0, read=0, write=0, cost=0, total=None):
    tokens = {"input": input, "output": output, "reasoning": reasoning, "cache": {"read": read, "write": write}}
    if total is not None:
        tokens["total"] = total
    info = {"id": session, "directory": "/home/dev/project", "time": {"created": 1, "updated": updated},
            "tokens": tokens, "cost": cost, "model": {"id": "gpt-fake", "providerID": "openai"}}
    return {"type": "session.updated", "properties": {"sessionID": session, "info": info}}


@unittest.skipUnless(shutil.which("node"), "node is not installed")
class OpenCodePluginTest(BridgeTestCase):
    def run_plugin(self, events, env=None, runner=RUN_AWAITED):
        # OpenCode loads glimmet.js as an ES module. A bare node only does that for a .js file
        # inside a "type": "module" package, or on versions that guess the module syntax (not
        # Node 18, as on Debian 12), so the test loads a byte-identical copy named .mjs.
        plugin = self.tmp / "plugin" / "glimmet.mjs"
        if not plugin.exists():
            plugin.parent.mkdir(exist_ok=True)
            shutil.copyfile(SCRIPTS / "glimmet.js", plugin)
        result = subprocess.run(["node", "--input-type=module", "-e", runner, plugin.as_uri(), json.dumps(events)],
                                capture_output=True, env=env or self.env, cwd=str(self.workdir), timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        return result

    def usage_figures(self, path=None):
        return [(event["session_id"], event["usage"].get("total_tokens"), event["usage"].get("cost_amount"))
                for event in self.events(path)]

    def test_session_updated_with_tokens_writes_one_usage_line(self):
        info = {"id": "ses_1", "directory": "/home/dev/project", "time": {"created": 1, "updated": 1796490000123},
                "tokens": {"input": 1000, "output": 200, "reasoning": 50, "cache": {"read": 300, "write": 40}},
                "cost": 0.0123, "model": {"id": "gpt-fake", "providerID": "openai"}}
        self.run_plugin([
            {"type": "session.updated", "properties": {"sessionID": "ses_A", "info": info}},
            {"type": "message.updated", "properties": {"info": info}},
            {"type": "session.updated", "properties": {"info": {"id": "ses_2", "title": "no usage"}}},
            {"type": "session.idle", "properties": {"sessionID": "ses_A"}},
        ])
        event = self.only_event()
        self.assertEqual(event, {
            "event_id": "opencode-ses_A-1796490000123",
            "source": "opencode-cli",
            "source_type": "cli_agent",
            "project": "project",
            "cwd": "/home/dev/project",
            "event_type": "task_updated",
            "severity": "info",
            "title": "OpenCode usage updated",
            "message": "OpenCode session usage snapshot.",
            "status": "usage",
            "notify_policy": "usage_only",
            "timestamp": "2026-12-05T17:00:00.123Z",
            "session_id": "ses_A",
            "raw_event_name": "session.updated",
            "usage": {
                "data_source": "opencode-plugin", "tool_id": "opencode-cli",
                "observed_at": "2026-12-05T17:00:00.123Z",
                "input_tokens": 1000, "output_tokens": 200, "reasoning_tokens": 50,
                "cache_read_tokens": 300, "cache_write_tokens": 40, "total_tokens": 1590,
                "cost_amount": 0.0123, "cost_currency": "USD", "model": "gpt-fake", "provider": "openai",
            },
        })

    def test_cost_only_and_fallbacks(self):
        env = dict(self.env, GLIMMET_EVENT_FILE="~/oc/events.jsonl")
        self.run_plugin([{"type": "session.updated", "properties": {"info": {"cost": 0.25, "tokens": None}}}],
                        env=env)
        event = self.events(self.home / "oc" / "events.jsonl")[0]
        self.assertTrue(event["event_id"].startswith("opencode-session-"))
        self.assertEqual(event["cwd"], "/plugin/dir")
        self.assertEqual(event["project"], "dir")
        self.assertEqual(event["usage"]["cost_amount"], 0.25)
        self.assertNotIn("total_tokens", event["usage"])
        self.assertEqual(event["timestamp"], event["usage"]["observed_at"])
        self.assertFalse(self.event_file.exists())

    def test_last_line_survives_an_immediate_exit_and_lines_keep_their_order(self):
        events = [snapshot("ses_A", 1796490000000 + turn, input=100 * turn, output=turn) for turn in range(1, 6)]
        expected = [("ses_A", 101 * turn, None) for turn in range(1, 6)]
        for run in range(20):
            with self.subTest(run=run):
                self.event_file.unlink(missing_ok=True)
                result = self.run_plugin(events, runner=RUN_THEN_EXIT)
                self.assertEqual([(s, t, None) for s, t, _ in self.usage_figures()], expected)
                self.assertEqual((result.stdout, result.stderr), (b"", b""))
        self.assertEqual(stat.S_IMODE(self.event_file.stat().st_mode), 0o600)
        self.assertEqual(stat.S_IMODE(self.event_file.parent.stat().st_mode), 0o700)

    def test_zero_and_repeated_snapshots_are_not_written(self):
        # One OpenCode turn: four empty snapshots while the session starts, then the real one,
        # which OpenCode announces again when the session's title or status changes.
        real = dict(input=1000, output=200, read=300, cost=0.5)
        self.run_plugin([snapshot("ses_A", 1796490000000 + step) for step in range(4)]
                        + [snapshot("ses_A", 1796490000010, **real)]
                        + [snapshot("ses_A", 1796490000020, **real)],
                        runner=RUN_THEN_EXIT)
        self.assertEqual(self.usage_figures(), [("ses_A", 1500, 0.5)])

        # Within one OpenCode process: the same figures in another session count; a change
        # counts, even a change in cost alone; coming back to earlier figures counts again.
        self.event_file.unlink()
        self.run_plugin([
            snapshot("ses_A", 1, **real),
            snapshot("ses_A", 2, **real),
            snapshot("ses_B", 3, **real),
            snapshot("ses_A", 4, **dict(real, cost=0.75)),
            snapshot("ses_A", 5, **real),
            snapshot("ses_B", 6),
            snapshot("ses_B", 7, **real),
            snapshot("ses_A", 8, total=0),
        ])
        self.assertEqual(self.usage_figures(), [
            ("ses_A", 1500, 0.5), ("ses_B", 1500, 0.5), ("ses_A", 1500, 0.75), ("ses_A", 1500, 0.5)])

    def test_failed_writes_go_to_the_error_log_and_never_to_the_terminal(self):
        real = dict(input=1000, output=200, cost=0.5)
        one_turn = [snapshot("ses_A", 1796490000000 + step) for step in range(4)] + [
            snapshot("ses_A", 1796490000010, **real)]

        def as_directory():
            # Not even root can open a directory for writing.
            self.event_file.mkdir(parents=True)

        def read_only():
            self.event_file.parent.mkdir()
            self.event_file.write_bytes(b"")
            self.event_file.chmod(0o400)

        for name, prepare in (("event file is a directory", as_directory), ("event file is read-only", read_only)):
            with self.subTest(name):
                if prepare is read_only and os.geteuid() == 0:
                    self.skipTest("root writes read-only files")
                shutil.rmtree(self.event_file.parent, ignore_errors=True)
                prepare()
                for runs, runner in enumerate((RUN_AWAITED, RUN_THEN_EXIT), start=1):
                    result = self.run_plugin(one_turn, runner=runner)
                    self.assertEqual((result.stdout, result.stderr), (b"", b""))
                    # One failed line, one log line: the empty snapshots were never tried.
                    log = self.error_log()
                    self.assertEqual(len(log), runs, log)
                for line in log:
                    self.assertRegex(line, r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \S")
                    self.assertIn(str(self.event_file), line)
                log_file = self.event_file.parent / "hook-errors.log"
                self.assertEqual(stat.S_IMODE(log_file.stat().st_mode), 0o600)

    def test_nowhere_to_write_at_all_stays_silent(self):
        # The event file's folder is a regular file: neither the event nor the error log can be written.
        blocker = self.tmp / "blocker"
        blocker.write_bytes(b"")
        env = dict(self.env, GLIMMET_EVENT_FILE=str(blocker / "events.jsonl"))
        for runner in (RUN_AWAITED, RUN_THEN_EXIT):
            result = self.run_plugin([snapshot("ses_A", 1, input=5)], env=env, runner=runner)
            self.assertEqual((result.stdout, result.stderr), (b"", b""))
        self.assertEqual(blocker.read_bytes(), b"")

    def test_symlinked_event_file_is_refused(self):
        target = self.tmp / "elsewhere.jsonl"
        target.write_bytes(b"")
        self.event_file.parent.mkdir()
        self.event_file.symlink_to(target)
        result = self.run_plugin([snapshot("ses_A", 1, input=5)])
        self.assertEqual((result.stdout, result.stderr), (b"", b""))
        self.assertEqual(target.read_bytes(), b"")
        log = self.error_log()
        self.assertEqual(len(log), 1, log)
        self.assertIn("symbolic link", log[0])

    @unittest.skipIf(sys.platform == "darwin", "macOS keeps the event file in Application Support")
    def test_event_file_follows_absolute_xdg_data_home_only(self):
        env = {key: value for key, value in self.env.items() if key != "GLIMMET_EVENT_FILE"}
        default = self.home / ".local" / "share" / "Glimmet" / "events.jsonl"
        absolute = self.tmp / "xdg" / "Glimmet" / "events.jsonl"
        cases = (
            ("relative", "rel/data", default),
            ("home-relative", "~/data", default),
            ("blank", "   ", default),
            ("absolute", "  %s  " % (self.tmp / "xdg"), absolute),
        )
        for name, value, expected in cases:
            with self.subTest(name):
                for path in (default, absolute):
                    path.unlink(missing_ok=True)
                self.run_plugin([snapshot("ses_A", 1, input=5)], env=dict(env, XDG_DATA_HOME=value))
                self.assertEqual(len(self.events(expected)), 1)
                self.assertEqual([p for p in (default, absolute) if p.exists()], [expected])
        self.assertEqual(list(self.workdir.iterdir()), [])


if __name__ == "__main__":
    unittest.main()
