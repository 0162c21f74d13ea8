"""A stand-in for the OpenAI Responses API, enough for Codex CLI to play one scripted turn: the
first answer is one shell call writing hello to out.txt, the answer after its output is "done".
Side requests (the title-generation thread, anything offered no shell tool) get a short text."""
import itertools
import json
import time

from fake_server import FakeModelServer, JsonHandler

_ids = itertools.count(1)
COMMAND = "echo hello > out.txt"
# Codex has offered its shell under several names and argument shapes over its releases; the
# stand-in uses whichever the request offers.
SHELL_TOOLS = ("exec_command", "shell_command", "shell")


def _tool_names(body):
    names = []
    for tool in body.get("tools") or []:
        if isinstance(tool, dict):
            names.append(tool.get("name") or (tool.get("function") or {}).get("name"))
    return names


def _has_tool_output(body):
    items = body.get("input")
    if not isinstance(items, list):
        return False
    return any(
        isinstance(item, dict) and item.get("type", "").endswith("call_output") for item in items
    )


def shell_arguments(tool, escalated):
    if tool == "exec_command":
        arguments = {"cmd": COMMAND}
    elif tool == "shell_command":
        arguments = {"command": COMMAND}
    else:
        arguments = {"command": ["bash", "-lc", COMMAND]}
    if escalated:
        arguments["sandbox_permissions"] = "require_escalated"
        arguments["justification"] = "harness test"
    return arguments


def plan_answer(body, script):
    """("call", tool, arguments) or ("text", text) for one /responses request."""
    offered = [name for name in SHELL_TOOLS if name in _tool_names(body)]
    if not offered:
        return ("text", "Fake title")
    if _has_tool_output(body):
        return ("text", "done")
    tool = offered[0]
    return ("call", tool, shell_arguments(tool, script.tool == "escalated-bash"))


def _usage():
    return {
        "input_tokens": 120,
        "input_tokens_details": {"cached_tokens": 20},
        "output_tokens": 8,
        "output_tokens_details": {"reasoning_tokens": 0},
        "total_tokens": 128,
    }


def response_events(model, answer):
    number = next(_ids)
    response_id = f"resp_fake_{number:06d}"
    created = {
        "id": response_id,
        "object": "response",
        "created_at": int(time.time()),
        "status": "in_progress",
        "model": model,
        "output": [],
    }
    if answer[0] == "call":
        item = {
            "type": "function_call",
            "id": f"fc_fake_{number:06d}",
            "call_id": f"call_fake_{number:06d}",
            "name": answer[1],
            "arguments": json.dumps(answer[2]),
            "status": "completed",
        }
        deltas = []
    else:
        item = {
            "type": "message",
            "id": f"msg_fake_{number:06d}",
            "role": "assistant",
            "status": "completed",
            "content": [{"type": "output_text", "text": answer[1], "annotations": []}],
        }
        deltas = [
            (
                "response.output_text.delta",
                {
                    "type": "response.output_text.delta",
                    "item_id": item["id"],
                    "output_index": 0,
                    "content_index": 0,
                    "delta": answer[1],
                },
            )
        ]
    added = dict(item, status="in_progress")
    if answer[0] == "text":
        added["content"] = []
    completed = dict(created, status="completed", output=[item], usage=_usage())
    return (
        [
            ("response.created", {"type": "response.created", "response": created}),
            (
                "response.output_item.added",
                {"type": "response.output_item.added", "output_index": 0, "item": added},
            ),
        ]
        + deltas
        + [
            (
                "response.output_item.done",
                {"type": "response.output_item.done", "output_index": 0, "item": item},
            ),
            ("response.completed", {"type": "response.completed", "response": completed}),
        ]
    )


class ResponsesHandler(JsonHandler):
    def do_POST(self):
        body = self.read_json()
        path = self.path.split("?", 1)[0]
        if not path.endswith("/responses"):
            self.server.record("POST", self.path, body, "empty")
            self.send_json(200, {})
            return
        answer = plan_answer(body, self.server.script)
        self.server.record("POST", self.path, body, " ".join(str(part) for part in answer[:2]))
        self.send_events(response_events(body.get("model") or "gpt-fake", answer))

    def empty_listing(self):
        return {"object": "list", "data": [], "models": []}


def start(log_path, script):
    return FakeModelServer(ResponsesHandler, log_path, script).start()
