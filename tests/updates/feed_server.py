#!/usr/bin/env python3
"""A small HTTP server for the update tests: serves the files of one folder on 127.0.0.1.

Usage: feed_server.py ROOT. Prints the port it listens on, then serves until killed.
  /status/CODE          answers with that HTTP status and a short text body
  /redirect?to=URL      answers 302 with Location: URL
  /FILE?type=TYPE       serves FILE with TYPE as its Content-Type
  /FILE                 serves FILE (".json" as application/json); a missing file is a 404
  /endless              sends JSON far beyond any size a feed may have, without a length
"""
import http.server
import os
import sys
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def send_body(self, status, body, content_type, extra=()):
        self.send_response(status)
        if content_type:
            self.send_header("Content-Type", content_type)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        if url.path.startswith("/status/"):
            self.send_body(int(url.path[len("/status/"):]), b"status page\n", "text/plain")
            return
        if url.path == "/redirect":
            self.send_body(302, b"", "text/plain", [("Location", query["to"][0])])
            return
        if url.path == "/endless":
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.end_headers()
            self.wfile.write(b'{"latestVersion": "9.9.9", "releaseNotes": [')
            chunk = b'"' + b"x" * 65534 + b'",'
            try:
                for _ in range(64):
                    self.wfile.write(chunk)
                self.wfile.write(b'"end"]}')
            except (BrokenPipeError, ConnectionResetError):
                pass
            return
        path = os.path.join(ROOT, urllib.parse.unquote(url.path).lstrip("/"))
        if not os.path.isfile(path):
            self.send_body(404, b"not found\n", "text/plain")
            return
        with open(path, "rb") as handle:
            body = handle.read()
        default_type = "application/json" if path.endswith(".json") else "application/octet-stream"
        self.send_body(200, body, query.get("type", [default_type])[0])


if __name__ == "__main__":
    ROOT = sys.argv[1]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()
