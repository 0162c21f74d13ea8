"""What both stand-in model servers share: a threaded HTTP server on 127.0.0.1 that logs every
request it gets, and the server-sent-events framing both APIs stream in."""
import json
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def sse(events):
    """One server-sent-events body from (event name, payload) pairs."""
    chunks = []
    for name, payload in events:
        chunks.append(f"event: {name}\ndata: {json.dumps(payload, separators=(',', ':'))}\n\n")
    return "".join(chunks).encode("utf-8")


class Script:
    """What the stand-in model does this turn. `tool` picks the first answer's tool call:
    "bash" writes hello to out.txt, "read" reads a file (a tool that needs no permission),
    "escalated-bash" is the bash call asking to leave Codex's sandbox."""

    def __init__(self, tool="bash", workdir=""):
        self.tool = tool
        self.workdir = workdir


def _text_of(content):
    if isinstance(content, str):
        return content
    if isinstance(content, list):
        return " ".join(_text_of(part.get("text", part.get("content"))) for part in content
                        if isinstance(part, dict))
    return ""


def tool_results(body):
    """What the agent told the model its tools returned: Anthropic `tool_result` blocks and
    OpenAI `function_call_output` items, as text."""
    results = []
    items = list(body.get("messages") or [])
    if isinstance(body.get("input"), list):
        items += body["input"]
    for item in items:
        if not isinstance(item, dict):
            continue
        if item.get("type") == "function_call_output":
            results.append(_text_of(item.get("output")))
        content = item.get("content")
        if isinstance(content, list):
            for block in content:
                if isinstance(block, dict) and block.get("type") == "tool_result":
                    results.append(_text_of(block.get("content")))
    return results


class FakeModelServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, handler, log_path, script):
        super().__init__(("127.0.0.1", 0), handler)
        self.log_path = log_path
        self.script = script
        self._log_lock = threading.Lock()
        self._thread = None

    @property
    def base_url(self):
        return f"http://127.0.0.1:{self.server_address[1]}"

    def record(self, method, path, body, answer):
        entry = {"time": time.time(), "method": method, "path": path, "answer": answer}
        if isinstance(body, dict):
            entry["model"] = body.get("model")
            entry["stream"] = body.get("stream")
            entry["tools"] = [tool_name(tool) for tool in body.get("tools") or []]
            entry["tool_results"] = tool_results(body)
        with self._log_lock, open(self.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry) + "\n")

    def start(self):
        self._thread = threading.Thread(target=self.serve_forever, name="fake-model", daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self.shutdown()
        self.server_close()


def tool_name(tool):
    if not isinstance(tool, dict):
        return None
    return tool.get("name") or (tool.get("function") or {}).get("name") or tool.get("type")


class JsonHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # the request log replaces the console noise
        pass

    def read_json(self):
        length = int(self.headers.get("Content-Length") or 0)
        raw = self.rfile.read(length) if length else b""
        if not raw:
            return {}
        if self.headers.get("Content-Encoding") == "zstd":
            return {"undecodable": "zstd"}
        try:
            return json.loads(raw)
        except ValueError:
            return {"undecodable": raw[:200].decode("utf-8", "replace")}

    def send_body(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_json(self, status, payload):
        self.send_body(status, "application/json", json.dumps(payload).encode("utf-8"))

    def send_events(self, events, extra_headers=()):
        body = sse(events)
        self.send_response(200)
        self.send_header("Content-Type", "text/event-stream")
        self.send_header("Cache-Control", "no-cache")
        for name, value in extra_headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_HEAD(self):
        self.server.record("HEAD", self.path, None, "empty")
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        # Start-up probes (model lists, settings, feature flags): an empty answer is harmless.
        self.server.record("GET", self.path, None, "empty")
        self.send_json(200, self.empty_listing())

    def empty_listing(self):
        return {}
