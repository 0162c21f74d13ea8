#!/usr/bin/env python3
"""Runs Glimmet against the real Claude Code and Codex CLI programs, each turn played by a
stand-in model on 127.0.0.1, and prints one PASS/FAIL line per scenario and a summary table.
scripts/agents/run.sh installs the pinned programs and starts this."""
import argparse
import os
import sys
import time

import scenarios


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--glimmet", required=True, help="the glimmet binary")
    parser.add_argument("--claude", required=True, help="the claude binary")
    parser.add_argument("--codex", required=True, help="the codex binary")
    parser.add_argument("--timeout", type=float, default=300, help="seconds per turn (300)")
    parser.add_argument("--keep", action="store_true", help="keep each scenario's temp folder")
    parser.add_argument(
        "--only", action="append", default=[], metavar="NAME",
        help="run only scenarios whose name starts with NAME (repeatable)",
    )
    parser.add_argument(
        "--codex-bypass-hook-trust", action="store_true",
        help="run Codex with --dangerously-bypass-hook-trust, to test its approvals while the "
        "installer writes no trust entries",
    )
    return parser.parse_args(argv)


def scenario_name(function):
    return function.__name__.replace("_", "-")


def print_outcome(outcome):
    seconds = "-" if outcome.seconds is None else f"{outcome.seconds:.1f} s"
    print(f"{outcome.result} {outcome.name} ({seconds}): {outcome.title}", flush=True)
    for failure in outcome.failures:
        print(f"    FAIL: {failure}")
    for note in outcome.notes:
        print(f"    {note}")
    sys.stdout.flush()


def print_summary(outcomes):
    width = max(len(outcome.name) for outcome in outcomes)
    print()
    print(f"{'scenario':<{width}}  result  turn seconds")
    print(f"{'-' * width}  ------  ------------")
    for outcome in outcomes:
        seconds = "-" if outcome.seconds is None else f"{outcome.seconds:.1f}"
        print(f"{outcome.name:<{width}}  {outcome.result:<6}  {seconds:>12}")


def main(argv):
    options = parse_arguments(argv)
    context = scenarios.Context(
        glimmet=options.glimmet,
        claude=options.claude,
        codex=options.codex,
        timeout=options.timeout,
        keep=options.keep,
        bypass_hook_trust=options.codex_bypass_hook_trust,
    )
    chosen = [
        scenario
        for scenario in scenarios.ALL
        if not options.only or any(scenario_name(scenario).startswith(p) for p in options.only)
    ]
    if not chosen:
        print("No scenario matches --only " + " ".join(options.only), file=sys.stderr)
        return 2
    outcomes = []
    started = time.monotonic()
    for scenario in chosen:
        print(f"--- {scenario_name(scenario)}", flush=True)
        try:
            outcome = scenario(context)
        except Exception as error:  # one broken scenario must not hide the others' results
            outcome = scenarios.Outcome(scenario_name(scenario), "(crashed)")
            outcome.fail(f"{type(error).__name__}: {error}")
        print_outcome(outcome)
        outcomes.append(outcome)
    print_summary(outcomes)
    failed = sum(not outcome.passed for outcome in outcomes)
    elapsed = time.monotonic() - started
    print(f"\n{len(outcomes) - failed} passed, {failed} failed in {elapsed:.0f} s")
    if options.keep:
        print("Temp folders kept under " + (os.environ.get("GLIMMET_AGENTS_TMPDIR") or "/var/tmp"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
