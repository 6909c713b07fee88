#!/usr/bin/env python3
"""live.wire_to_page_p99_ms of the window program: from a display line written on the serial line to the page's
large display showing it in a headless browser, through kalvora itself (Qt, in a virtual X display, its monitor
timer ticking every 100 ms) and its live page server.

    live_wire_window.py BUILD [LINES]    (make bench runs it; Debian's python3, chromium, chromium-driver)

The unit is a pseudo-terminal this script writes to, linked as ports/COM7 beside a copy of the program, whose
config.ini shares the page on a free port; MonitoringWindowProgram presses "On". A "D?" line with a new large display
goes out every 100 to 150 ms (at random moments against the program's tick), each time read from the computer's
clock; the page records the clock when its large display first shows each text (a MutationObserver). Both clocks are
this computer's. Prints `live.wire_to_page_p50_ms`, `live.wire_to_page_p99_ms` and `live.wire_to_page_lost`."""

import os
import random
import shutil
import sys
import tempfile
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "live"))
import livepage  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
LINES = int(sys.argv[2]) if len(sys.argv) > 2 else 300

# The large display's text as the page shows it, each time it first shows a text.
WATCH_PAGE = """
window.kalvoraShown = {};
const large = document.getElementById('large');
const text = () => document.querySelector('#large .digits').textContent.replace(/!/g, ' ');
new MutationObserver(() => {
    const shown = text();
    if (!(shown in window.kalvoraShown)) window.kalvoraShown[shown] = Date.now();
}).observe(large, {childList: true, subtree: true, characterData: true});
"""


def percentile(values, fraction):
    return values[min(len(values) - 1, int(len(values) * fraction))]


def main():
    directory = tempfile.mkdtemp(prefix="kalvora-wire-")
    unit, line = os.openpty()
    tty.setraw(line)
    os.makedirs(os.path.join(directory, "ports"))
    os.symlink(os.ttyname(line), os.path.join(directory, "ports", "COM7"))
    port = livepage.free_port()
    program = os.path.join(directory, "kalvora")
    shutil.copy(os.path.join(BUILD, "bin", "kalvora"), program)
    with open(os.path.join(directory, "config.ini"), "w", encoding="ascii") as file:
        file.write("[LivePage]\nShare=1\nPort=%d\n" % port)
    server = driver = None
    try:
        server = livepage.Server(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
                                  os.path.join(BUILD, "tests", "MonitoringWindowProgram"), program],
                                 port=port, timeout=30)
        driver = livepage.browser()
        driver.get(server.url("/"))
        livepage.wait_for(lambda: b'"monitoring":true' in (server.get("/state.json") or b""), 20)
        time.sleep(1)
        driver.execute_script(WATCH_PAGE)
        sent = {}
        for index in range(LINES):
            time.sleep(0.1 + random.random() * 0.05)
            text = "%8d" % (10000000 + index)
            sent[text] = time.time() * 1000
            os.write(unit, ("D? %s %4d 0\r" % (text, index % 10000)).encode("ascii"))
        time.sleep(1)
        shown = {text.strip(): moment for text, moment in driver.execute_script("return window.kalvoraShown;").items()}
        latencies = sorted(shown[text.strip()] - moment for text, moment in sent.items() if text.strip() in shown)
        if not latencies:
            raise RuntimeError("the page showed none of the lines")
        print("live.wire_to_page_p50_ms %.1f ms" % percentile(latencies, 0.5))
        print("live.wire_to_page_p99_ms %.1f ms" % percentile(latencies, 0.99))
        print("live.wire_to_page_lost %d lines" % (len(sent) - len(latencies)))
    finally:
        if driver:
            livepage.close_browser(driver)
        if server:
            server.stop()
        os.close(unit)
        os.close(line)
        shutil.rmtree(directory, ignore_errors=True)


if __name__ == "__main__":
    main()
