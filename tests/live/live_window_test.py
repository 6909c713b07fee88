#!/usr/bin/env python3
"""The live page of the window program in a real browser (Debian's Chromium, headless, through Selenium): kalvora
itself, on Qt in a virtual X display (xvfb-run), in a folder of its own whose config.ini shares the page on a port
picked free, monitoring the simulator on COM 7 ("On" pressed by MonitoringWindowProgram).

    live_window_test.py    with KALVORA_PROGRAM, KALVORA_SIM and KALVORA_MONITORING_WINDOW naming the programs

The page shows the digits and lights the window publishes from what it shows (the dialog tests hold the window's
fields against what it publishes), and a start the simulator makes appears on it with its number and time."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import livepage  # noqa: E402
from live_page_test import READ_PAGE, check, fail, open_page  # noqa: E402

PROGRAM = os.environ.get("KALVORA_PROGRAM", "")
SIM = os.environ.get("KALVORA_SIM", "")
MONITORING_WINDOW = os.environ.get("KALVORA_MONITORING_WINDOW", "")
COM = 7  # the window program's own default port: its config.ini names none


def window_program(directory, port):
    """The window program serving the live page on every interface at port, monitoring COM 7."""
    program = os.path.join(directory, "kalvora")
    shutil.copy(PROGRAM, program)
    for name in ("identifiers.ini", "lng_English.ini"):
        shutil.copy(os.path.join(os.path.dirname(PROGRAM), name), directory)
    with open(os.path.join(directory, "config.ini"), "w", encoding="ascii") as file:
        file.write("[System]\nLanguage=English\n[LivePage]\nShare=1\nPort=%d\n" % port)
    command = ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", MONITORING_WINDOW, program]
    return livepage.Server(command, port=port, timeout=30)


def published(server):
    """What the window published last (/state.json), or None."""
    body = server.get("/state.json")
    return json.loads(body) if body else None


def page_shows(page, state):
    """Whether the page shows the displays and lights of a published state."""
    return (state is not None and page["large"].rstrip() == state["large"].rstrip()
            and page["small"].rstrip() == state["small"].rstrip() and page["lights"] == state["lights"])


def main():
    directory = tempfile.mkdtemp(prefix="kalvora-live-window-")
    errors = open(os.path.join(directory, "simulator.log"), "w+", encoding="utf-8")
    # A start every three seconds; --verbose writes each start's number and time to the log.
    simulator = subprocess.Popen([SIM, "--dir", directory, "--com", str(COM), "--speed", "10", "--verbose"],
                                 stdout=subprocess.PIPE, stderr=errors, text=True)
    simulator.stdout.readline()
    server = driver = None
    try:
        check(livepage.wait_for(lambda: os.path.islink(os.path.join(directory, "ports", "COM%d" % COM)), 5),
              "the simulator made no port link")
        server = window_program(directory, livepage.free_port())
        check(livepage.wait_for(lambda: (published(server) or {}).get("unitAnswers"), 20),
              "the window does not monitor the unit: %s" % published(server))
        driver = livepage.browser()
        open_page(driver, server.url("/"))

        # The page follows the window: at some moment both show the same displays and lights.
        def page_matches_window():
            page = driver.execute_script(READ_PAGE)
            return page if page_shows(page, published(server)) else None
        page = livepage.wait_for(page_matches_window, 10)
        check(page, "the page never showed what the window shows: %s, %s" % (
            driver.execute_script(READ_PAGE), published(server)))
        check(page["status"] == "live" and not page["lost"], "status: %s" % page)

        # A start: its number and time as the simulator made it, on the page as the window publishes it.
        def start_shown():
            errors.seek(0)
            starts = re.findall(r"start (\d+) at ([0-9:.]+)", errors.read())
            page = driver.execute_script(READ_PAGE)
            state = published(server) or {}
            return starts and page["startTime"].strip() == starts[-1][1] and page["startNumber"] == starts[-1][0] \
                and state.get("startNumber") == starts[-1][0] and page
        page = livepage.wait_for(start_shown, 15)
        errors.seek(0)
        check(page, "no start on the page: %s, window %s, simulator %s" % (
            driver.execute_script(READ_PAGE), published(server), errors.read()[-500:]))
        livepage.screenshot(driver, "live-window-program.png")
    finally:
        if driver:
            livepage.close_browser(driver)
        if server:
            server.stop()
        simulator.terminate()
        simulator.wait(10)
        errors.close()
        shutil.rmtree(directory, ignore_errors=True)


if __name__ == "__main__":
    try:
        main()
    except AssertionError as error:
        print("live_window_test.py: %s" % error, file=sys.stderr)
        sys.exit(1)
