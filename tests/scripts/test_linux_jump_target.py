"""The jump target the event bridge records from a Linux terminal's environment."""
import json
import os
import subprocess
import sys
import unittest

from bridge_support import SCRIPTS, BridgeTestCase


@unittest.skipIf(sys.platform == "darwin", "Linux terminals only")
class LinuxJumpTargetTest(BridgeTestCase):
    def test_terminal_ids_and_agent_process_are_recorded(self):
        env = dict(self.env, WINDOWID="41943054", TMUX_PANE="%3", KITTY_WINDOW_ID="2",
                   KITTY_LISTEN_ON="unix:/tmp/kitty-7", WEZTERM_PANE="5")
        # The agent runs the bridge through a shell, whose pid the bridge must record.
        agent = subprocess.run(
            ["/bin/sh", "-c", 'echo $$; "$0" "$1" --title kitty; true', sys.executable,
             str(SCRIPTS / "glimmet-event")],
            env=env, cwd=str(self.workdir), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(agent.returncode, 0, agent.stderr)
        event = self.only_event()
        self.assertEqual(event["jump_target"], {
            "kind": "terminal_window", "terminal": "kitty", "cwd": str(self.workdir),
            "processId": int(agent.stdout.split()[0]), "x11WindowId": "41943054", "tmuxPane": "%3",
            "kittyWindowId": "2", "kittyListenOn": "unix:/tmp/kitty-7", "weztermPane": "5"})

    def test_terminal_name_display_and_precedence(self):
        cases = (
            (dict(XTERM_VERSION="XTerm(379)", WINDOWID="77"), "xterm"),
            (dict(GLIMMET_TERMINAL="Alacritty", ALACRITTY_WINDOW_ID="9", DISPLAY=":5"), "Alacritty"),
            (dict(DISPLAY=":5"), "x-terminal-emulator"),
        )
        for extra, terminal in cases:
            with self.subTest(terminal=terminal):
                self.event_file.unlink(missing_ok=True)
                self.emit(["--title", "t"], env=dict(self.env, **extra))
                target = self.only_event()["jump_target"]
                self.assertEqual((target["kind"], target["terminal"], target["processId"]),
                                 ("terminal_window", terminal, os.getpid()))
                self.assertEqual(target.get("x11WindowId"), extra.get("WINDOWID"))
        # No id and no display: nothing on this desktop could be focused.
        self.event_file.unlink(missing_ok=True)
        self.emit(["--title", "plain"], env=dict(self.env, XTERM_VERSION="XTerm(379)"))
        self.assertNotIn("jump_target", self.only_event())
        # iTerm2 and cmux keep their own targets even where the Linux ids leak through.
        self.event_file.unlink(missing_ok=True)
        self.emit(["--title", "cmux"], env=dict(self.env, CMUX_WORKSPACE_ID="ws-1", WINDOWID="77"))
        self.assertEqual(self.only_event()["jump_target"]["kind"], "cmux")


if __name__ == "__main__":
    unittest.main()
