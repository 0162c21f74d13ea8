#!/usr/bin/env python3
"""The stand-in models over real HTTP: each plays the scripted turn (one tool call, then "done"
once the tool's result is in), answers side requests with text, and streams well-formed
server-sent events. Run: python3 scripts/agents/test_fake_models.py"""
import json
import os
import sys
import tempfile
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fake_anthropic  # noqa: E402
import fake_openai  # noqa: E402
from fake_server import Script  # noqa: E402


def post(url, body):
    request = urllib.request.Request(
        url, data=json.dumps(body).encode(), headers={"Content-Type": "application/json"}
    )
    with urllib.request.urlopen(request, timeout=10) as response:
        return response.headers.get("Content-Type"), response.read().decode()


def parse_events(text):
    """(event, data) pairs; fails on a frame whose event name and data type disagree."""
    events = []
    for frame in text.strip().split("\n\n"):
        lines = dict(line.split(": ", 1) for line in frame.split("\n"))
        data = json.loads(lines["data"])
        assert data["type"] == lines["event"], frame
        events.append((lines["event"], data))
    return events


def finished_items(text):
    events = parse_events(text)
    return [data["item"] for name, data in events if name == "response.output_item.done"]


class FakeModelTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.log = os.path.join(self.folder.name, "requests.jsonl")

    def tearDown(self):
        self.folder.cleanup()

    def test_anthropic_plays_the_scripted_turn(self):
        server = fake_anthropic.start(self.log, Script("bash", "/work"))
        self.addCleanup(server.stop)
        url = server.base_url + "/v1/messages?beta=true"
        tools = [{"name": "Bash"}, {"name": "Read"}]
        user = {"role": "user", "content": "write hello to out.txt"}

        first = {"model": "m", "stream": True, "tools": tools, "messages": [user]}
        content_type, text = post(url, first)
        self.assertEqual(content_type, "text/event-stream")
        events = parse_events(text)
        self.assertEqual(
            [name for name, _ in events],
            ["message_start", "content_block_start", "content_block_delta", "content_block_stop",
             "message_delta", "message_stop"],
        )
        block = events[1][1]["content_block"]
        self.assertEqual((block["type"], block["name"]), ("tool_use", "Bash"))
        arguments = json.loads(events[2][1]["delta"]["partial_json"])
        self.assertEqual(arguments["command"], "echo hello > out.txt")
        self.assertEqual(events[4][1]["delta"]["stop_reason"], "tool_use")

        result = {"role": "user", "content": [{"type": "tool_result", "tool_use_id": block["id"]}]}
        assistant = {"role": "assistant", "content": [block]}
        _, text = post(url, {"stream": True, "tools": tools, "messages": [user, assistant, result]})
        events = parse_events(text)
        self.assertEqual(events[2][1]["delta"], {"type": "text_delta", "text": "done"})
        self.assertEqual(events[4][1]["delta"]["stop_reason"], "end_turn")

        # A side request (no tools), not streamed: plain JSON text, never a tool call.
        _, text = post(url, {"stream": False, "messages": [user]})
        self.assertEqual(json.loads(text)["content"], [{"type": "text", "text": "ok"}])

        with open(self.log) as log:
            answers = [json.loads(line)["answer"] for line in log]
        self.assertEqual(answers, ["tool_use Bash", "text done", "text ok"])

    def test_anthropic_read_script_reads_inside_the_project(self):
        server = fake_anthropic.start(self.log, Script("read", "/work/project"))
        self.addCleanup(server.stop)
        _, text = post(
            server.base_url + "/v1/messages",
            {"tools": [{"name": "Read"}], "messages": [{"role": "user", "content": "x"}]},
        )
        self.assertEqual(
            json.loads(text)["content"][0]["input"], {"file_path": "/work/project/in.txt"}
        )

    def test_responses_plays_the_scripted_turn_with_the_offered_shell(self):
        server = fake_openai.start(self.log, Script("escalated-bash"))
        self.addCleanup(server.stop)
        url = server.base_url + "/v1/responses"
        text_item = {"type": "input_text", "text": "x"}
        prompt = {"type": "message", "role": "user", "content": [text_item]}
        for tool, expected in (
            ("exec_command", {"cmd": "echo hello > out.txt"}),
            ("shell", {"command": ["bash", "-lc", "echo hello > out.txt"]}),
        ):
            offered = [{"type": "function", "name": name} for name in ("view_image", tool)]
            body = {"model": "gpt-fake", "stream": True, "input": [prompt], "tools": offered}
            _, text = post(url, body)
            events = parse_events(text)
            self.assertEqual(events[0][0], "response.created")
            self.assertEqual(events[-1][0], "response.completed")
            call = finished_items(text)
            self.assertEqual(len(call), 1)
            self.assertEqual((call[0]["type"], call[0]["name"]), ("function_call", tool))
            arguments = json.loads(call[0]["arguments"])
            self.assertEqual(arguments["sandbox_permissions"], "require_escalated")
            del arguments["sandbox_permissions"], arguments["justification"]
            self.assertEqual(arguments, expected)

            output = {"type": "function_call_output", "call_id": call[0]["call_id"], "output": ""}
            _, text = post(url, dict(body, input=[prompt, call[0], output]))
            self.assertEqual(finished_items(text)[0]["content"][0]["text"], "done")

        # The title thread offers no shell: it gets text, and the turn's script is untouched.
        _, text = post(url, {"stream": True, "input": [prompt], "tools": []})
        self.assertEqual(finished_items(text)[0]["type"], "message")


if __name__ == "__main__":
    unittest.main()
