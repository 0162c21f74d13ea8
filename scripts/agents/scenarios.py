"""The scenarios: one real agent turn each, with Glimmet's hooks installed by `glimmet install`
and `glimmet run` as the console the user answers in."""
import os
import time

import agents
import fake_anthropic
import fake_openai
from evidence import (
    claude_permission_wait,
    codex_trust_entries,
    event_names,
    file_text,
    missing,
)
from fake_server import Script
from glimmet_console import GlimmetConsole
from sandbox import Sandbox, run_bounded, run_quick

# A turn whose tool needs no permission has nothing to wait for: start-up, two model answers
# and the hooks, a few seconds; the bound leaves room for a machine busy compiling.
QUICK_TURN_SECONDS = 30
# Start-up and the model's two answers on top of one permission wait.
PERMISSION_WAIT_SLACK_SECONDS = 30
CLAUDE_HOOKS_EVERY_TURN = ("UserPromptSubmit", "PreToolUse", "Stop")
CODEX_HOOKS_EVERY_TURN = ("UserPromptSubmit", "Stop")
# The event file also gets the notify program's records; only these come from hooks.
CODEX_HOOK_EVENTS = ("SessionStart", "UserPromptSubmit", "PreToolUse", "PermissionRequest",
                     "PostToolUse", "Stop")
UNTRUSTED_HINT = (
    "hooks not trusted: config.toml holds no [hooks.state.\"<key>\"] trusted_hash entry for "
    "Glimmet's hooks, so Codex skips them silently"
)


class Outcome:
    def __init__(self, name, title):
        self.name = name
        self.title = title
        self.passed = True
        self.seconds = None
        self.notes = []
        self.failures = []

    def fail(self, reason):
        self.passed = False
        self.failures.append(reason)

    def note(self, text):
        self.notes.append(text)

    @property
    def result(self):
        return "PASS" if self.passed else "FAIL"


class Context:
    def __init__(self, glimmet, claude, codex, timeout, keep, bypass_hook_trust):
        self.glimmet = glimmet
        self.claude = claude
        self.codex = codex
        self.timeout = timeout
        self.keep = keep
        self.bypass_hook_trust = bypass_hook_trust


class Answerer:
    """Types `verb N` into the console once the first permission request shows up there."""

    def __init__(self, console, verb):
        self.console = console
        self.verb = verb
        self.seen_after = None
        self.started = time.monotonic()

    def __call__(self):
        if self.seen_after is not None:
            return
        requests = self.console.permission_requests()
        if not requests:
            return
        self.seen_after = time.monotonic() - self.started
        if self.verb:
            self.console.type(f"{self.verb} {requests[0].number}")


def _install(ctx, tool, environment, outcome):
    code, output = run_quick([ctx.glimmet, "install", tool], environment)
    if code != 0:
        outcome.fail(f"glimmet install {tool} exited {code}: {output.strip()[-300:]}")
        return False
    return True


def _run_turn(ctx, sandbox, environment, argv, verb, outcome):
    """One agent turn beside a running `glimmet run`; returns the finished turn and the answerer,
    or None when Glimmet did not start."""
    console = GlimmetConsole(ctx.glimmet, environment, sandbox.path("logs/glimmet-run.log"))
    try:
        if not console.wait_ready():
            outcome.fail("glimmet run did not open its approval socket within 20 s")
            return None, None
        answerer = Answerer(console, verb)
        finished = run_bounded(
            argv,
            environment,
            sandbox.project,
            ctx.timeout,
            sandbox.path("logs/agent.log"),
            answerer,
        )
        outcome.seconds = finished.seconds
        if finished.timed_out:
            outcome.fail(f"the turn was still running after {ctx.timeout} s and was killed")
        if finished.stragglers:
            outcome.note("processes the agent started were still running 10 s after it exited")
        if answerer.seen_after is not None:
            after_answer = finished.seconds - answerer.seen_after
            outcome.note(
                f"permission request reached the console after {answerer.seen_after:.1f} s; "
                f"the turn ended {after_answer:.1f} s later"
            )
        others = [r.heading for r in console.all_requests() if not r.is_permission]
        if others:
            outcome.note("other requests Glimmet held: " + "; ".join(others))
        return finished, answerer
    finally:
        console.close()


DENY_MESSAGE = "The user denied this in Glimmet."


def _claude_scenario(ctx, name, title, tool, verb):
    outcome = Outcome(name, title)
    sandbox = Sandbox(name, ctx.keep)
    server = fake_anthropic.start(
        sandbox.path("logs/model-requests.jsonl"), Script(tool, sandbox.project)
    )
    try:
        environment = agents.claude_environment(sandbox, server)
        if not _install(ctx, "claude-code", environment, outcome):
            return outcome
        if tool == "read":
            with open(os.path.join(sandbox.project, "in.txt"), "w", encoding="utf-8") as handle:
                handle.write("a file to read\n")
        finished, answerer = _run_turn(
            ctx, sandbox, environment, agents.claude_turn(ctx.claude), verb, outcome
        )
        if finished is None:
            return outcome
        seen = event_names(sandbox.event_file, "claude")
        outcome.note("hook events: " + (" ".join(seen) or "none"))
        tool_ran = verb == "allow" or tool == "read"
        expected = CLAUDE_HOOKS_EVERY_TURN + (("PostToolUse",) if tool_ran else ())
        if absent := missing(expected, seen):
            outcome.fail("hook events missing from the event file: " + ", ".join(absent))
        _judge_claude(ctx, sandbox, outcome, tool, verb, answerer)
        return outcome
    finally:
        server.stop()
        sandbox.close()


def _judge_claude(ctx, sandbox, outcome, tool, verb, answerer):
    written = file_text(os.path.join(sandbox.project, "out.txt"))
    if tool == "read":
        if outcome.seconds is not None and outcome.seconds > QUICK_TURN_SECONDS:
            outcome.fail(
                f"a turn whose tool needs no permission took {outcome.seconds:.1f} s "
                f"(bound {QUICK_TURN_SECONDS} s): Glimmet held it"
            )
        return
    if verb is None:
        wait = claude_permission_wait(
            os.path.join(sandbox.home, ".claude/settings.json"),
            os.path.join(sandbox.glimmet_home, "bin/glimmet-hook-claude"),
        )
        if wait is None:
            outcome.fail("found neither the approval bridge's reply wait nor a hook timeout")
            return
        bound = wait + PERMISSION_WAIT_SLACK_SECONDS
        outcome.note(f"one permission wait: {wait:.0f} s")
        if outcome.seconds is not None and outcome.seconds > bound:
            outcome.fail(
                f"nobody answered and the turn took {outcome.seconds:.1f} s, longer than one "
                f"permission wait ({wait:.0f} s + {PERMISSION_WAIT_SLACK_SECONDS} s)"
            )
        return
    if answerer.seen_after is None:
        outcome.fail("no permission request reached the console, so nothing could be answered")
    if verb == "allow" and (written or "").strip() != "hello":
        outcome.fail(f"allowed, but out.txt holds {written!r} instead of 'hello'")
    if verb == "deny" and written is not None:
        outcome.fail(f"denied, but the tool ran anyway (out.txt holds {written!r})")
    # Print mode refuses a tool nobody allowed on its own; the message Glimmet's deny carries,
    # seen by the model in the tool's result, shows the refusal came from Glimmet.
    requests = file_text(sandbox.path("logs/model-requests.jsonl")) or ""
    if verb == "deny" and DENY_MESSAGE not in requests:
        outcome.fail("the model never saw Glimmet's deny message: the refusal was not Glimmet's")


def claude_unanswered(ctx):
    return _claude_scenario(
        ctx, "claude-unanswered", "Claude Code: Bash turn, nobody answers in Glimmet", "bash", None
    )


def claude_read(ctx):
    return _claude_scenario(
        ctx, "claude-read", "Claude Code: a Read turn (no permission needed) finishes in seconds",
        "read", None,
    )


def claude_allow(ctx):
    return _claude_scenario(
        ctx, "claude-allow", "Claude Code: `allow N` in glimmet run lets Bash run", "bash", "allow"
    )


def claude_deny(ctx):
    return _claude_scenario(
        ctx, "claude-deny", "Claude Code: `deny N` in glimmet run keeps Bash from running", "bash",
        "deny",
    )


def _codex_scenario(ctx, name, title, verb, approvals):
    outcome = Outcome(name, title)
    sandbox = Sandbox(name, ctx.keep)
    tool = "escalated-bash" if approvals else "bash"
    server = fake_openai.start(
        sandbox.path("logs/model-requests.jsonl"), Script(tool, sandbox.project)
    )
    try:
        environment = agents.codex_environment(sandbox)
        config_path = os.path.join(sandbox.home, ".codex/config.toml")
        os.makedirs(os.path.dirname(config_path), exist_ok=True)
        with open(config_path, "w", encoding="utf-8") as config:
            config.write(agents.codex_config(server.base_url))
        if not _install(ctx, "codex-cli", environment, outcome):
            return outcome
        trusted = codex_trust_entries(config_path)
        outcome.note(f"trust entries in config.toml after install: {len(trusted)}")
        argv = agents.codex_turn(ctx.codex, approvals, ctx.bypass_hook_trust)
        finished, answerer = _run_turn(ctx, sandbox, environment, argv, verb, outcome)
        if finished is None:
            return outcome
        seen = event_names(sandbox.event_file, "codex")
        outcome.note("hook events: " + (" ".join(seen) or "none"))
        expected = CODEX_HOOKS_EVERY_TURN + (("PermissionRequest",) if approvals else ())
        hooks_fired = [name for name in seen if name in CODEX_HOOK_EVENTS]
        if absent := missing(expected, seen):
            reason = "hook events missing from the event file: " + ", ".join(absent)
            if not hooks_fired and not trusted and not ctx.bypass_hook_trust:
                reason = f"{UNTRUSTED_HINT} ({reason})"
                outcome.note(_with_bypass(ctx, sandbox, environment, approvals))
            outcome.fail(reason)
        written = file_text(os.path.join(sandbox.project, "out.txt"))
        if approvals and answerer.seen_after is None:
            outcome.fail("no permission request reached the console, so nothing could be answered")
        if verb == "allow" and (written or "").strip() != "hello":
            outcome.fail(f"allowed, but out.txt holds {written!r} instead of 'hello'")
        if verb == "deny" and written is not None:
            outcome.fail(f"denied, but the command ran anyway (out.txt holds {written!r})")
        # Without a hook decision Codex's own reviewer refuses too; only Codex's report that the
        # hook blocked the command shows the deny came from Glimmet.
        if verb == "deny" and "PermissionRequest Blocked" not in finished.output:
            outcome.fail("Codex does not report the PermissionRequest hook blocking the command")
        if not approvals:
            if (written or "").strip() != "hello":
                outcome.fail(f"the turn did not run its command (out.txt holds {written!r})")
            if outcome.seconds is not None and outcome.seconds > QUICK_TURN_SECONDS:
                outcome.fail(
                    f"a turn whose command needs no permission took {outcome.seconds:.1f} s "
                    f"(bound {QUICK_TURN_SECONDS} s): Glimmet held it"
                )
        return outcome
    finally:
        server.stop()
        sandbox.close()


def _with_bypass(ctx, sandbox, environment, approvals):
    """Tells an untrusted hook from one Codex never fires: the same turn, trust bypassed."""
    before = len(event_names(sandbox.event_file, "codex"))
    argv = agents.codex_turn(ctx.codex, approvals, bypass_hook_trust=True)
    finished = run_bounded(
        argv,
        environment,
        sandbox.project,
        min(ctx.timeout, 120),
        sandbox.path("logs/agent-bypass.log"),
    )
    fired = event_names(sandbox.event_file, "codex")[before:]
    return (
        f"rerun with --dangerously-bypass-hook-trust ({finished.seconds:.1f} s): hook events "
        + (" ".join(fired) or "none")
    )


def codex_hooks(ctx):
    return _codex_scenario(
        ctx, "codex-hooks", "Codex CLI: codex exec runs Glimmet's hooks after a plain install",
        None, False,
    )


def codex_allow(ctx):
    return _codex_scenario(
        ctx, "codex-allow", "Codex CLI: escalation allowed with `allow N` in glimmet run", "allow",
        True,
    )


def codex_deny(ctx):
    return _codex_scenario(
        ctx, "codex-deny", "Codex CLI: escalation denied with `deny N` in glimmet run", "deny",
        True,
    )


ALL = [
    claude_unanswered,
    claude_read,
    claude_allow,
    claude_deny,
    codex_hooks,
    codex_allow,
    codex_deny,
]
