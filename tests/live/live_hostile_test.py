#!/usr/bin/env python3
"""Hostile clients against kalvora-cli monitor --serve watching the simulator: 1,000 connections opened and
dropped, 100 viewers that never read, a 64 KB header, a 16 KB request line, methods other than GET and HEAD, and
paths out of the page's own. After each, a viewer that was there all along still gets the unit's states, the page
still answers, the tool still prints the unit's lines, and its memory stays bounded.

    live_hostile_test.py    with KALVORA_CLI and KALVORA_SIM naming the programs"""

import os
import shutil
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import livepage  # noqa: E402

CLI = os.environ["KALVORA_CLI"]
SIM = os.environ["KALVORA_SIM"]
COM = 9
# The tool's memory after everything, over its memory before (the connections that never read still open).
RSS_GROWTH_LIMIT_KIB = 16 * 1024


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def connect(port, receive_buffer=0):
    connection = socket.socket()
    if receive_buffer:
        connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    connection.settimeout(10)
    connection.connect(("127.0.0.1", port))
    return connection


def exchange(port, request, timeout=10):
    """Sends the request whole and reads until the server closes; returns the status code (0 for none)."""
    with connect(port) as connection:
        connection.settimeout(timeout)
        try:
            connection.sendall(request)
        except OSError:
            pass  # the server may answer and close before the end of an oversized request
        answer = b""
        try:
            while True:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                answer += chunk
        except OSError:
            pass
    if not answer.startswith(b"HTTP/1."):
        return 0
    return int(answer[9:12])


class Watcher:
    """A viewer there all along: it reads the event stream and counts the states it gets."""

    def __init__(self, port):
        self.connection = connect(port)
        self.connection.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        self.connection.setblocking(False)
        self.received = b""

    def states(self):
        try:
            while True:
                chunk = self.connection.recv(65536)
                if not chunk:
                    break
                self.received += chunk
        except BlockingIOError:
            pass
        return self.received.count(b"event: state\n")


def main():
    directory = tempfile.mkdtemp(prefix="kalvora-hostile-")
    simulator = livepage.Simulator(SIM, directory, COM)
    server = livepage.cli_server(CLI, directory, COM)
    port = server.port
    holders = []
    try:
        watcher = Watcher(port)
        check(livepage.wait_for(lambda: watcher.states() >= 1, 5), "the viewer got no state at all")
        time.sleep(1)
        rss_before = livepage.process_rss_kib(server.process.pid)
        print("kalvora-cli: %d KiB resident" % rss_before)

        def still_serving(after):
            states = watcher.states()
            check(livepage.wait_for(lambda: watcher.states() > states, 5),
                  "after %s the viewer there all along gets no new state" % after)
            check(server.get("/state.json") is not None, "after %s /state.json is not answered" % after)
            check(server.process.poll() is None, "after %s kalvora-cli has ended: %s" % (after, server.stderr()))
            lines = server.stdout().count("\n")
            check(livepage.wait_for(lambda: server.stdout().count("\n") > lines, 5),
                  "after %s the tool prints no more of the unit's lines" % after)
            print("still serving after %s (%d KiB)" % (after, livepage.process_rss_kib(server.process.pid)))

        # 1,000 connections opened and dropped: at once, after a request's first bytes, after a whole request.
        for i in range(1000):
            connection = connect(port)
            if i % 3 == 1:
                connection.sendall(b"GET /state.js")
            elif i % 3 == 2:
                connection.sendall(b"GET /events HTTP/1.1\r\n\r\n")
            connection.close()
        still_serving("1,000 connections opened and dropped")

        # 100 viewers that never read, with the least room to hold what the server sends; they stay open.
        for _ in range(100):
            holder = connect(port, receive_buffer=1024)
            holder.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            holders.append(holder)
        time.sleep(3)
        still_serving("100 viewers that never read")

        status = exchange(port, b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Padding: " + b"a" * 65536 + b"\r\n\r\n")
        check(status == 431, "a 64 KB header is answered %d" % status)
        still_serving("a 64 KB header")

        status = exchange(port, b"GET /" + b"a" * 16384 + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        check(status == 414, "a 16 KB request line is answered %d" % status)
        still_serving("a 16 KB request line")

        for method in (b"POST", b"PUT", b"DELETE", b"PATCH", b"OPTIONS", b"TRACE", b"CONNECT", b"PROPFIND", b"X"):
            status = exchange(port, method + b" /state.json HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n"
                              b"Connection: close\r\n\r\n")
            check(status == 405, "%s is answered %d" % (method.decode(), status))
        still_serving("methods other than GET and HEAD")

        for target in (b"/../", b"/../../../etc/passwd", b"/%2e%2e/%2e%2e/etc/passwd", b"/..%5c..%5cwin.ini",
                       b"/live.css/../../config.ini", b"//etc/passwd", b"/./state.json", b"/P1.txt", b"/config.ini"):
            status = exchange(port, b"GET " + target + b" HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
            check(status in (400, 404), "%s is answered %d" % (target.decode(), status))
        still_serving("paths out of the page's own")

        rss_after = livepage.process_rss_kib(server.process.pid)
        print("kalvora-cli: %d KiB resident, %d KiB more" % (rss_after, rss_after - rss_before))
        check(rss_after - rss_before <= RSS_GROWTH_LIMIT_KIB,
              "kalvora-cli grew by %d KiB" % (rss_after - rss_before))
        for holder in holders:
            holder.close()
        holders = []
        still_serving("the viewers that never read went away")
    finally:
        for holder in holders:
            holder.close()
        server.stop()
        simulator.stop()
        shutil.rmtree(directory, ignore_errors=True)
    print("passed")


if __name__ == "__main__":
    main()
