#!/usr/bin/env python3
"""The Linux side of LiveWindowsProgram.sh: reads the live page's state and event stream from the Windows program
under Wine at 127.0.0.1:PORT, and fails with the reason when they are not what a monitoring window serves.

    live_windows_client.py PORT"""

import json
import socket
import sys
import time
import urllib.request

PORT = int(sys.argv[1])
BASE = "http://127.0.0.1:%d" % PORT


def fail(message):
    print("live_windows_client.py: " + message, file=sys.stderr)
    sys.exit(1)


def state():
    try:
        with urllib.request.urlopen(BASE + "/state.json", timeout=2) as answer:
            return answer.status, dict(answer.getheaders()), json.loads(answer.read())
    except (OSError, ValueError):
        return None


# The window publishes its first monitor ticks: monitoring, the unit answering, its display filled.
deadline = time.monotonic() + 30
seen = None
while time.monotonic() < deadline:
    seen = state()
    if seen and seen[2].get("monitoring") and seen[2].get("unitAnswers") and seen[2].get("large", "").strip():
        break
    time.sleep(0.2)
else:
    fail("no monitoring state within 30 s; last: %r" % (seen,))
status, headers, first = seen
if status != 200 or headers.get("Access-Control-Allow-Origin") != "*":
    fail("/state.json answered %d with %r" % (status, headers))
if not headers.get("Content-Type", "").startswith("application/json"):
    fail("/state.json is %r" % headers.get("Content-Type"))

# The stream: the whole state at once, then each change; the simulator's countdown changes the large display.
stream = socket.create_connection(("127.0.0.1", PORT), timeout=5)
stream.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n")
received = b""
events = []
deadline = time.monotonic() + 10
while time.monotonic() < deadline and len({e.get("large") for e in events}) < 3:
    try:
        chunk = stream.recv(65536)
    except socket.timeout:
        continue
    if not chunk:
        break
    received += chunk
    events = []
    for line in received.split(b"\n"):
        if line.startswith(b"data: {"):
            try:
                event = json.loads(line[len(b"data: "):])
            except ValueError:
                continue
            if "large" in event:  # a state, not a heartbeat
                events.append(event)
stream.close()
head = received.split(b"\r\n\r\n", 1)[0].decode("latin-1")
if not head.startswith("HTTP/1.1 200") or "text/event-stream" not in head:
    fail("/events answered %r" % head)
if not events or not events[0].get("monitoring"):
    fail("the stream's first event is not the monitoring state: %r" % events[:1])
if len({e.get("large") for e in events}) < 3:
    fail("the stream did not follow the countdown: %r" % [e.get("large") for e in events])
print("live_windows_client.py: /state.json and %d events from the Windows program" % len(events))
