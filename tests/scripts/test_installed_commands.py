"""The commands `glimmet install` writes into the agents' configuration reach the Glimmet that
installed them, even when the agent runs without GLIMMET_HOME in its environment."""
import json
import os
import subprocess
import tomllib
import unittest

from bridge_support import CLAUDE, CODEX, BridgeTestCase, OneShotSocketServer, fixture_text, reply_frame

GLIMMET = os.environ.get("GLIMMET_BINARY", "")
ALLOW = '{"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow"}}'


@unittest.skipUnless(GLIMMET and os.path.exists(GLIMMET),
                     "GLIMMET_BINARY is not set to the built glimmet program (ctest sets it)")
class InstalledCommandTest(BridgeTestCase):
    def setUp(self):
        super().setUp()
        # A Glimmet home outside ~/.glimmet, with a space that the shell must not split.
        self.glimmet_home = self.tmp / "g h"
        self.glimmet_home.mkdir()
        self.glimmet_home.chmod(0o700)  # private, as Glimmet makes it
        self.env["GLIMMET_HOME"] = str(self.glimmet_home)
        self.env["GLIMMET_TEST_MODE"] = "1"
        for tool in ("claude-code", "codex-cli"):
            result = subprocess.run([GLIMMET, "install", tool], stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, env=self.env, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        # The agent's own environment: same user, no idea where Glimmet lives.
        self.agent_env = {key: value for key, value in self.env.items()
                          if key not in ("GLIMMET_HOME", "GLIMMET_TEST_MODE", "GLIMMET_EVENT_FILE")}
        self.assertFalse((self.home / ".glimmet").exists())

    def claude_settings(self):
        return json.loads((self.home / ".claude" / "settings.json").read_text(encoding="utf-8"))

    def hook_command(self, hooks, event, bridge):
        commands = [handler["command"] for group in hooks[event] for handler in group["hooks"]
                    if bridge in handler["command"]]
        self.assertEqual(len(commands), 1, hooks[event])
        return commands[0]

    def shell(self, command, stdin):
        # Agents run hook and status-line commands through the shell.
        result = subprocess.run(["/bin/sh", "-c", command], input=stdin.encode("utf-8"),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=self.agent_env, cwd=str(self.workdir), timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode("utf-8")

    def serve(self, reply):
        server = OneShotSocketServer(self.glimmet_home / "glimmet.sock", [reply])
        self.addCleanup(server.close)
        return server

    def write_config(self, name, value):
        (self.glimmet_home / "config" / name).write_text(json.dumps(value), encoding="utf-8")

    def test_claude_approval_and_status_line_reach_the_installing_glimmet(self):
        settings = self.claude_settings()
        server = self.serve(reply_frame(ALLOW))
        # Whichever events the approval bridge is registered on, it is one and the same command,
        # and only a permission request reaches Glimmet.
        commands = {handler["command"] for groups in settings["hooks"].values() for group in groups
                    for handler in group["hooks"] if "glimmet-hook-claude" in handler["command"]}
        self.assertEqual(len(commands), 1, commands)
        out = self.shell(commands.pop(), fixture_text(CLAUDE / "PermissionRequest.json"))
        self.assertEqual(out, ALLOW + "\n")
        self.assertEqual(server.connections, 1)
        self.assertEqual(server.requests[0]["agent"], "claude_code")

        self.write_config("claude-statusline-chain.json",
                          {"statusLine": {"type": "command", "command": "echo my own line"}})
        out = self.shell(settings["statusLine"]["command"], fixture_text(CLAUDE / "statusline.2.json"))
        self.assertEqual(out, "my own line\n")

    def test_codex_approval_and_notify_reach_the_installing_glimmet(self):
        hooks = json.loads((self.home / ".codex" / "hooks.json").read_text(encoding="utf-8"))["hooks"]
        server = self.serve(reply_frame('{"decision":"approve"}'))
        command = self.hook_command(hooks, "PermissionRequest", "glimmet-hook-codex")
        out = self.shell(command, fixture_text(CODEX / "PermissionRequest.json"))
        self.assertEqual(out, '{"decision":"approve"}\n')
        self.assertEqual(server.requests[0]["agent"], "codex")

        # Codex runs `notify` as an argument list, not through a shell, and appends the payload.
        with open(self.home / ".codex" / "config.toml", "rb") as handle:
            notify = tomllib.load(handle)["notify"]
        marker = self.tmp / "chained.json"
        self.write_config("codex-notify-chain.json",
                          {"notify": ["/bin/sh", "-c", 'printf %s "$1" > "$0"', str(marker)]})
        payload = fixture_text(CODEX / "notify.2.json").strip()
        result = subprocess.run(notify + [payload], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=self.agent_env, cwd=str(self.workdir), timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(marker.read_text(encoding="utf-8"), payload)
        # The event went to the event file of the Glimmet that installed the bridge.
        self.assertEqual(len(self.events()), 1)


if __name__ == "__main__":
    unittest.main()
