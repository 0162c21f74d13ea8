#!/usr/bin/env python3
"""A hook-socket client for the tests: sends the bytes read from standard input, then prints
every reply line it receives, one per line, followed by one marker:

  <DONE>     the expected number of replies arrived (then this client hangs up)
  <EOF>      the server closed the connection
  <TIMEOUT>  nothing more arrived in time
  <CONNECT-FAILED errno>

Options: --chunk N sends N bytes per write with --pause seconds between writes; --replies K
stops after K reply lines (0: hang up right after sending); --timeout S; --as-user NAME drops
to that user before connecting; --wait-file PATH sends only once PATH exists.
"""
import argparse
import os
import pwd
import socket
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("socket")
    parser.add_argument("--chunk", type=int, default=0)
    parser.add_argument("--pause", type=float, default=0.0)
    parser.add_argument("--replies", type=int, default=1)
    parser.add_argument("--timeout", type=float, default=10.0)
    parser.add_argument("--as-user")
    args = parser.parse_args()
    data = sys.stdin.buffer.read()
    if args.as_user:
        user = pwd.getpwnam(args.as_user)
        os.setgroups([])
        os.setgid(user.pw_gid)
        os.setuid(user.pw_uid)
    out = sys.stdout
    conn = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        conn.connect(args.socket)
    except OSError as error:
        out.write("<CONNECT-FAILED %d>\n" % (error.errno or 0))
        return 0
    try:
        if args.chunk > 0:
            for start in range(0, len(data), args.chunk):
                conn.sendall(data[start:start + args.chunk])
                if args.pause:
                    time.sleep(args.pause)
        elif data:
            conn.sendall(data)
    except OSError:
        # The server hung up before taking everything: the same outcome as a close.
        out.write("<EOF>\n")
        return 0
    if args.replies == 0:
        conn.close()
        out.write("<DONE>\n")
        return 0
    deadline = time.monotonic() + args.timeout
    buffer = b""
    received = 0
    while True:
        while b"\n" in buffer:
            line, buffer = buffer.split(b"\n", 1)
            out.write(line.decode("utf-8", "replace") + "\n")
            out.flush()
            received += 1
            if received >= args.replies:
                conn.close()
                out.write("<DONE>\n")
                return 0
        left = deadline - time.monotonic()
        if left <= 0:
            out.write("<TIMEOUT>\n")
            return 0
        conn.settimeout(left)
        try:
            chunk = conn.recv(65536)
        except socket.timeout:
            out.write("<TIMEOUT>\n")
            return 0
        except OSError:
            chunk = b""
        if not chunk:
            if buffer:
                out.write(buffer.decode("utf-8", "replace") + "\n")
            out.write("<EOF>\n")
            return 0
        buffer += chunk


if __name__ == "__main__":
    sys.exit(main())
