"""`glimmet run` as the user has it: a console that prints each approval request as it arrives
and takes typed commands such as `allow 1` on its standard input."""
import os
import re
import subprocess
import threading
import time

from sandbox import kill_group

# "[#3] Permission: Run: echo hello > out.txt" opens a request; its indented lines follow.
_REQUEST_START = re.compile(r"^\[#(\d+)\] (.*)$")


class Request:
    def __init__(self, number, heading):
        self.number = number
        self.heading = heading
        self.lines = []

    @property
    def text(self):
        return "\n".join([self.heading] + self.lines)

    @property
    def is_permission(self):
        return "permission_request" in self.text


class GlimmetConsole:
    def __init__(self, binary, environment, log_path):
        self._log = open(log_path, "w", encoding="utf-8")
        self._process = subprocess.Popen(
            [binary, "run"],
            env=environment,
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
            text=True,
            bufsize=1,
            start_new_session=True,
        )
        self._lock = threading.Lock()
        self._requests = []
        self._reader = threading.Thread(target=self._read, name="glimmet-run", daemon=True)
        self._reader.start()
        self.socket_path = os.path.join(environment["GLIMMET_HOME"], "glimmet.sock")

    def _read(self):
        current = None
        for line in self._process.stdout:
            self._log.write(line)
            self._log.flush()
            line = line.rstrip("\n")
            started = _REQUEST_START.match(line)
            with self._lock:
                # A status line ("[#3] allowed") has no colon after the number.
                if started and ": " in started.group(2):
                    current = Request(int(started.group(1)), line)
                    self._requests.append(current)
                elif current is not None and line.startswith("     "):
                    current.lines.append(line.strip())
                else:
                    current = None

    def wait_ready(self, timeout=20):
        """True once the approval socket is there to take the bridges' requests."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self._process.poll() is not None:
                return False
            if os.path.exists(self.socket_path):
                return True
            time.sleep(0.05)
        return False

    def permission_requests(self):
        with self._lock:
            return [request for request in self._requests if request.is_permission]

    def all_requests(self):
        with self._lock:
            return list(self._requests)

    def type(self, command):
        self._log.write(f">>> {command}\n")
        self._log.flush()
        self._process.stdin.write(command + "\n")
        self._process.stdin.flush()

    def close(self):
        try:
            self._process.stdin.close()
        except OSError:
            pass
        kill_group(self._process)
        self._reader.join(timeout=5)
        self._log.close()
