"""A stand-in for the Anthropic Messages API, enough for Claude Code to play one scripted turn:
the first answer of the main loop is one tool call, the answer after the tool result is "done".
Side requests (titles, summaries, anything offered no tools) get a short text."""
import itertools
import json

from fake_server import FakeModelServer, JsonHandler

_ids = itertools.count(1)


def _has_tool_result(messages):
    for message in messages:
        content = message.get("content") if isinstance(message, dict) else None
        if isinstance(content, list):
            for block in content:
                if isinstance(block, dict) and block.get("type") in ("tool_result", "tool_use"):
                    return True
    return False


def _tool_call(script):
    if script.tool == "read":
        return "Read", {"file_path": f"{script.workdir}/in.txt"}
    return "Bash", {"command": "echo hello > out.txt", "description": "Write hello to out.txt"}


def plan_answer(body, script):
    """("tool_use", name, input) or ("text", text) for one /v1/messages request."""
    tools = {tool.get("name") for tool in body.get("tools") or [] if isinstance(tool, dict)}
    if "Bash" not in tools and "Read" not in tools:
        return ("text", "ok")
    if _has_tool_result(body.get("messages") or []):
        return ("text", "done")
    name, arguments = _tool_call(script)
    return ("tool_use", name, arguments)


def _usage(output_tokens):
    return {
        "input_tokens": 120,
        "output_tokens": output_tokens,
        "cache_creation_input_tokens": 0,
        "cache_read_input_tokens": 0,
    }


def _content_block(answer, tool_id):
    if answer[0] == "tool_use":
        return {"type": "tool_use", "id": tool_id, "name": answer[1], "input": answer[2]}
    return {"type": "text", "text": answer[1]}


def message_json(model, answer):
    number = next(_ids)
    return {
        "id": f"msg_fake_{number:06d}",
        "type": "message",
        "role": "assistant",
        "model": model,
        "content": [_content_block(answer, f"toolu_fake_{number:06d}")],
        "stop_reason": "tool_use" if answer[0] == "tool_use" else "end_turn",
        "stop_sequence": None,
        "usage": _usage(8),
    }


def message_events(model, answer):
    number = next(_ids)
    start = {
        "id": f"msg_fake_{number:06d}",
        "type": "message",
        "role": "assistant",
        "model": model,
        "content": [],
        "stop_reason": None,
        "stop_sequence": None,
        "usage": _usage(1),
    }
    events = [("message_start", {"type": "message_start", "message": start})]
    if answer[0] == "tool_use":
        block = {
            "type": "tool_use",
            "id": f"toolu_fake_{number:06d}",
            "name": answer[1],
            "input": {},
        }
        delta = {"type": "input_json_delta", "partial_json": json.dumps(answer[2])}
        stop_reason = "tool_use"
    else:
        block = {"type": "text", "text": ""}
        delta = {"type": "text_delta", "text": answer[1]}
        stop_reason = "end_turn"
    events += [
        (
            "content_block_start",
            {"type": "content_block_start", "index": 0, "content_block": block},
        ),
        ("content_block_delta", {"type": "content_block_delta", "index": 0, "delta": delta}),
        ("content_block_stop", {"type": "content_block_stop", "index": 0}),
        (
            "message_delta",
            {
                "type": "message_delta",
                "delta": {"stop_reason": stop_reason, "stop_sequence": None},
                "usage": {"output_tokens": 8},
            },
        ),
        ("message_stop", {"type": "message_stop"}),
    ]
    return events


class AnthropicHandler(JsonHandler):
    def do_POST(self):
        body = self.read_json()
        path = self.path.split("?", 1)[0]
        if path.endswith("/messages/count_tokens"):
            self.server.record("POST", self.path, body, "count")
            self.send_json(200, {"input_tokens": 120})
            return
        if not path.endswith("/messages"):
            self.server.record("POST", self.path, body, "empty")
            self.send_json(200, {})
            return
        answer = plan_answer(body, self.server.script)
        self.server.record("POST", self.path, body, " ".join(str(part) for part in answer[:2]))
        model = body.get("model") or "claude-fake"
        if body.get("stream"):
            self.send_events(message_events(model, answer))
        else:
            self.send_json(200, message_json(model, answer))

    def empty_listing(self):
        return {"data": [], "has_more": False, "first_id": None, "last_id": None}


def start(log_path, script):
    return FakeModelServer(AnthropicHandler, log_path, script).start()
