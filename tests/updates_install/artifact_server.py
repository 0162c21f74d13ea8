#!/usr/bin/env python3
"""Serves update artifacts on 127.0.0.1 for the download tests, misbehaving on request.

Usage: artifact_server.py BODY_FILE. Prints "PORT <n>" once listening.
  /artifact/<name>   the body, with its length
  /missing           404
  /truncated         announces the body's length, sends half of it, then closes
  /unannounced       the body without a length, the connection closing at its end
  /to-file           302 to a file URL
  /to-artifact       302 to /artifact/redirected.tar.gz
"""
import http.server
import sys

BODY = open(sys.argv[1], "rb").read()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        if self.path.startswith("/artifact/"):
            self.send_response(200)
            self.send_header("Content-Length", str(len(BODY)))
            self.end_headers()
            self.wfile.write(BODY)
        elif self.path == "/missing":
            self.send_response(404)
            self.send_header("Content-Length", "9")
            self.end_headers()
            self.wfile.write(b"not found")
        elif self.path == "/truncated":
            self.send_response(200)
            self.send_header("Content-Length", str(len(BODY)))
            self.end_headers()
            self.wfile.write(BODY[: len(BODY) // 2])
            self.wfile.flush()
            self.close_connection = True
        elif self.path == "/unannounced":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(BODY)
            self.close_connection = True
        elif self.path == "/to-file":
            self.redirect("file:///etc/hostname")
        elif self.path == "/to-artifact":
            self.redirect("/artifact/redirected.tar.gz")
        else:
            self.send_response(500)
            self.send_header("Content-Length", "0")
            self.end_headers()


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print("PORT", server.server_address[1], flush=True)
server.serve_forever()
