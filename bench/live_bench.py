#!/usr/bin/env python3
"""The live page's figures, for any program that serves it while it monitors the unit:

    live.cpu_pct_200_viewers      the serving program's CPU with 200 event-stream viewers on loopback, over the same
                                  program without viewers, in % of one core
    live.rss_mb_200_viewers       its resident memory with the 200 viewers, over the same without them
    live.cli.wire_to_page_p50_ms  a line written onto the unit's line to the change it makes in a headless
    live.cli.wire_to_page_p99_ms  Chromium's page (the large display's digits), median and 99th percentile
                                  (live.wire_to_page_* are the window program's, with its 100 ms monitor tick:
                                  live_wire_window.py)

The harness plays the unit itself, on a pseudo-terminal linked as ports/COM<com> in a fresh directory, as
kalvora-sim does: a "D?" line every 100 ms (the unit's 10 Hz stream), each with a new large display, so that each
line is a change the page must show, and the moment each line goes onto the line is known. The serving program is
a parameter: a command line with {dir} (that directory), {com} (the COM number) and {port} (a free TCP port on
127.0.0.1 to serve on) in it, by default kalvora-cli:

    live_bench.py --build build
    live_bench.py --server "path/to/wrapper {dir} {com} {port}" --measure kalvora --prefix live.window.

--measure names the process to measure when the command starts it through others (a wrapper, xvfb-run); the
figures are of that process alone."""

import argparse
import json
import os
import pty
import select
import selectors
import shlex
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "live"))
import livepage  # noqa: E402

STREAM_PERIOD = 0.1  # the unit's stream: a "D?" line every 100 ms


class Unit:
    """The unit's side of the line: a "D?" line every 100 ms whose large display counts up, each line's moment
    (the wall clock, in ms) kept by its count. What the program sends is read and dropped."""

    def __init__(self, directory, com):
        self.master, slave = pty.openpty()
        tty.setraw(slave)
        self.slave_path = os.ttyname(slave)
        self.slave = slave  # kept open, so that the terminal stays while the program reopens it
        os.makedirs(os.path.join(directory, "ports"), exist_ok=True)
        os.symlink(self.slave_path, os.path.join(directory, "ports", "COM%d" % com))
        self.sent = {}
        self.running = True
        self.thread = threading.Thread(target=self._stream, daemon=True)
        self.thread.start()

    def _stream(self):
        count = 0
        next_at = time.monotonic()
        while self.running:
            count += 1
            light = "0123"[(count // 10) % 4]
            line = "D? %8d %4d %s\r" % (count, count // 10 % 10000, light)
            self.sent[count] = time.time() * 1000
            try:
                os.write(self.master, line.encode("ascii"))
            except OSError:
                pass
            try:
                while True:  # what the program wrote ("?D")
                    ready, _, _ = select.select([self.master], [], [], 0)
                    if not ready:
                        break
                    os.read(self.master, 1024)
            except OSError:
                pass
            next_at += STREAM_PERIOD
            time.sleep(max(0, next_at - time.monotonic()))

    def stop(self):
        self.running = False
        self.thread.join()
        os.close(self.master)
        os.close(self.slave)


class Viewers:
    """Event-stream viewers on loopback, each reading all that comes, in one thread."""

    def __init__(self, port, count):
        self.selector = selectors.DefaultSelector()
        self.sockets = []
        self.bytes = 0
        self.states = 0
        for _ in range(count):
            connection = socket.create_connection(("127.0.0.1", port))
            connection.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n")
            connection.setblocking(False)
            self.selector.register(connection, selectors.EVENT_READ)
            self.sockets.append(connection)
        self.running = True
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        while self.running:
            for key, _ in self.selector.select(0.2):
                try:
                    data = key.fileobj.recv(65536)
                except OSError:
                    data = b""
                if not data:
                    self.selector.unregister(key.fileobj)
                    continue
                self.bytes += len(data)
                self.states += data.count(b"event: state\n")

    def close(self):
        self.running = False
        self.thread.join()
        for connection in self.sockets:
            connection.close()


def cpu_seconds(pid):
    """CPU time of every thread of a process so far, from the scheduler's nanosecond account."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task), encoding="ascii") as file:
                total += int(file.read().split()[0])
        except OSError:
            pass
    return total / 1e9


def cpu_percent(pid, span):
    before, started = cpu_seconds(pid), time.monotonic()
    time.sleep(span)
    return 100.0 * (cpu_seconds(pid) - before) / (time.monotonic() - started)


def measured_pid(process, name):
    """The started process, or its descendant named `name`."""
    if not name:
        return process.pid
    def children(pid):
        found = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/stat" % entry, encoding="ascii", errors="replace") as file:
                        fields = file.read().rsplit(")", 1)[1].split()
                    if int(fields[1]) == pid:
                        found.append(int(entry))
                except OSError:
                    pass
        return found
    pending = [process.pid]
    while pending:
        pid = pending.pop()
        try:
            with open("/proc/%d/comm" % pid, encoding="ascii", errors="replace") as file:
                if file.read().strip() == name[:15]:
                    return pid
        except OSError:
            pass
        pending += children(pid)
    raise RuntimeError("no process named %s under %d" % (name, process.pid))


def state(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as connection:
            connection.sendall(b"GET /state.json HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
            answer = b""
            while True:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                answer += chunk
        return json.loads(answer.split(b"\r\n\r\n", 1)[1])
    except (OSError, ValueError, IndexError):
        return None


# Each change of the large display's digits, with the wall clock of the browser (the same clock as the harness's,
# with the difference measured below).
WATCH_DISPLAY = """
window.kalvoraChanges = [];
new MutationObserver(() => {
    const text = document.querySelector('#large .digits').textContent;
    window.kalvoraChanges.push([performance.timeOrigin + performance.now(), text]);
}).observe(document.querySelector('#large .digits'), {childList: true, characterData: true, subtree: true});
"""


def browser_clock_offset(driver):
    """The browser's wall clock minus the harness's, in ms, from the closest of a few bracketed readings."""
    best = None
    for _ in range(20):
        before = time.time() * 1000
        browser = driver.execute_script("return performance.timeOrigin + performance.now();")
        after = time.time() * 1000
        if best is None or after - before < best[0]:
            best = (after - before, browser - (before + after) / 2)
    return best[1]


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * (len(ordered) - 1) + 0.5))]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="the build directory (for the default server)")
    parser.add_argument("--server", help="the serving program's command line, with {dir}, {com} and {port}")
    parser.add_argument("--measure", help="the name of the process to measure, when the command starts others")
    parser.add_argument("--prefix", default="live.", help="the figures' names begin with this")
    parser.add_argument("--wire-prefix", default="live.cli.", help="the wire-to-page figures' names begin with this")
    parser.add_argument("--com", type=int, default=9)
    parser.add_argument("--viewers", type=int, default=200)
    parser.add_argument("--span", type=float, default=10, help="seconds of each CPU measurement")
    parser.add_argument("--latency-span", type=float, default=30, help="seconds of lines watched in the browser")
    arguments = parser.parse_args()
    server_command = arguments.server or (
        os.path.join(arguments.build, "bin", "kalvora-cli") +
        " --dir {dir} --port {com} monitor --serve 127.0.0.1:{port}")

    directory = tempfile.mkdtemp(prefix="kalvora-livebench-")
    port = livepage.free_port()
    unit = Unit(directory, arguments.com)
    command = [part.format(dir=directory, com=arguments.com, port=port) for part in shlex.split(server_command)]
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    driver = None
    try:
        def monitoring():
            current = state(port)
            return current and current.get("monitoring") and current.get("unitAnswers") and current
        if not livepage.wait_for(monitoring, 30, pause=0.2):
            raise RuntimeError("%s serves no monitored unit on port %d" % (command[0], port))
        pid = measured_pid(process, arguments.measure)
        time.sleep(3)  # start-up done

        idle_cpu = cpu_percent(pid, arguments.span)
        idle_rss = livepage.process_rss_kib(pid) / 1024
        viewers = Viewers(port, arguments.viewers)
        time.sleep(3)
        states_before = viewers.states
        viewers_cpu = cpu_percent(pid, arguments.span)
        viewers_rss = livepage.process_rss_kib(pid) / 1024
        per_viewer = (viewers.states - states_before) / arguments.viewers / arguments.span
        viewers.close()
        print("# %s: %.2f %% of a core and %.1f MB without viewers; %d viewers got %.1f states a second each" % (
            os.path.basename(command[0]), idle_cpu, idle_rss, arguments.viewers, per_viewer), file=sys.stderr)
        print("%scpu_pct_200_viewers %.2f %%" % (arguments.prefix, viewers_cpu - idle_cpu))
        print("%srss_mb_200_viewers %.1f MB" % (arguments.prefix, viewers_rss - idle_rss))

        driver = livepage.browser(1280, 720)
        driver.get("http://127.0.0.1:%d/" % port)
        livepage.wait_for(lambda: driver.execute_script(
            "return document.querySelector('#large .digits').textContent.replace(/!/g, '').trim() !== ''"), 10)
        offset = browser_clock_offset(driver)
        driver.execute_script(WATCH_DISPLAY)
        time.sleep(arguments.latency_span)
        changes = driver.execute_script("return window.kalvoraChanges;")
        latencies = []
        for at, text in changes:
            count = text.replace("!", " ").strip()
            if count.isdigit() and int(count) in unit.sent:
                latencies.append(at - offset - unit.sent[int(count)])
        if len(latencies) < arguments.latency_span / STREAM_PERIOD / 2:
            raise RuntimeError("the page showed %d of about %d lines" % (
                len(latencies), arguments.latency_span / STREAM_PERIOD))
        print("# %d lines seen on the page of %d sent" % (len(latencies), len(unit.sent)), file=sys.stderr)
        print("%swire_to_page_p50_ms %.1f ms" % (arguments.wire_prefix, statistics.median(latencies)))
        print("%swire_to_page_p99_ms %.1f ms" % (arguments.wire_prefix, percentile(latencies, 0.99)))
    finally:
        if driver:
            livepage.close_browser(driver)
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
        unit.stop()
        shutil.rmtree(directory, ignore_errors=True)


if __name__ == "__main__":
    main()
