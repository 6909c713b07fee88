#!/usr/bin/env python3
"""The live page in a real browser (Debian's Chromium, headless, through Selenium), served by kalvora-cli monitor
--serve watching the simulator, and by a fixture server holding every optional part of the page.

    live_page_test.py CASE    with KALVORA_CLI, KALVORA_SIM and KALVORA_FIXTURE_SERVER naming the programs

Each case is one CTest test (live.Browser.<Case>). With KALVORA_SCREENSHOT_DIR set, the cases save the README's
pictures there: live-projector.png, live-phone.png, live-overlay.png, live-connection-lost.png."""

import json
import os
import shutil
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import livepage  # noqa: E402

CLI = os.environ.get("KALVORA_CLI", "")
SIM = os.environ.get("KALVORA_SIM", "")
FIXTURE = os.environ.get("KALVORA_FIXTURE_SERVER", "")
COM = 9
PROJECTOR = (1920, 1080)
PHONE = (390, 844)

# The page as a viewer sees it, read from its elements: the displays without the face's unlit digits, each lamp's
# colour, the fields, the status line, and whether the page is greyed.
READ_PAGE = """
const text = (id) => document.getElementById(id).textContent;
const display = (id) => document.querySelector('#' + id + ' .digits').textContent.replace(/!/g, ' ');
const lamp = (element) => ['red', 'yellow', 'green'].find((c) => element.classList.contains(c)) || 'off';
return {
    large: display('large'),
    small: display('small'),
    lights: Array.from(document.querySelectorAll('#lights .light'), lamp),
    startNumber: text('start-number'),
    startTime: text('start-time'),
    leadTime: text('lead-time'),
    status: text('status-text'),
    statusLamp: lamp(document.getElementById('status-lamp')),
    lost: document.body.classList.contains('lost'),
    lostShown: getComputedStyle(document.getElementById('lost')).display !== 'none',
    digitColour: getComputedStyle(document.querySelector('#large .digits')).color,
};
"""

# Every part of the page that is shown, with its box, and the page's own extent.
READ_LAYOUT = """
const boxes = {};
const parts = ['status', 'offset', 'lights', 'large', 'small', 'starter', 'next'].map((id) => [id, document.getElementById(id)]);
document.querySelectorAll('.field').forEach((field) => parts.push([field.dataset.part, field]));
for (const [id, element] of parts) {
    const style = getComputedStyle(element);
    const box = element.getBoundingClientRect();
    if (style.display !== 'none' && box.width > 0 && box.height > 0) {
        boxes[id] = {left: box.left, top: box.top, right: box.right, bottom: box.bottom};
    }
}
const root = document.documentElement;
return {
    boxes: boxes,
    scrollWidth: root.scrollWidth,
    scrollHeight: root.scrollHeight,
    width: innerWidth,
    height: innerHeight,
    largeFontPx: parseFloat(getComputedStyle(document.getElementById('large')).fontSize),
    fontLoaded: document.fonts.check('10px "Kalvora Display"'),
};
"""

LIGHT_INDEX = {"red": 0, "yellow": 1, "green": 2}


def fail(message):
    raise AssertionError(message)


def check(condition, message):
    if not condition:
        fail(message)


class Run:
    """The simulator and kalvora-cli serving the live page from it, in a directory of their own."""

    def __init__(self, *simulator_options, language=None):
        self.directory = tempfile.mkdtemp(prefix="kalvora-live-")
        self.simulator = livepage.Simulator(SIM, self.directory, COM, *simulator_options)
        self.language = language
        self.server = self.start_server()
        self.browsers = []

    def start_server(self, port=0):
        return livepage.cli_server(CLI, self.directory, COM, port, self.language)

    def browser(self, size=PROJECTOR, mobile=False):
        driver = livepage.browser(*size, mobile=mobile)
        self.browsers.append(driver)
        return driver

    def monitor_records(self):
        """What the tool printed: one record per recognised line (jsonl)."""
        records = []
        for line in self.server.stdout().splitlines():
            try:
                records.append(json.loads(line))
            except ValueError:
                pass
        return records

    def close(self):
        for driver in self.browsers:
            livepage.close_browser(driver)
        self.server.stop()
        self.simulator.stop()
        shutil.rmtree(self.directory, ignore_errors=True)


def open_page(driver, url):
    driver.get(url)
    if not livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["status"] not in ("", None), 10):
        fail("the page shows no status: %s" % driver.execute_script(READ_PAGE))


def check_console_clean(driver, where):
    """Nothing the page did was refused or failed: its policy, its script, its files."""
    problems = [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
    check(not problems, "%s: %s" % (where, problems))


def displays_match(page, record):
    light = record.get("light", "")
    lights = ["off", "off", "off"]
    if light in LIGHT_INDEX:
        lights[LIGHT_INDEX[light]] = light
    return (page["large"].strip() == record["large"] and page["small"].strip() == record["small"]
            and page["lights"] == lights)


# ---- cases


def shows_the_unit():
    """The page shows what the simulator sends: its two displays, its lights, and a start line's number and time."""
    run = Run("--speed", "10")  # a start every three seconds
    try:
        driver = run.browser()
        open_page(driver, run.server.url("/"))

        def page_matches_a_recent_line():
            page = driver.execute_script(READ_PAGE)
            records = [r for r in run.monitor_records() if r.get("kind") == "display"][-5:]
            return page if any(displays_match(page, record) for record in records) else None

        page = livepage.wait_for(page_matches_a_recent_line, 10)
        check(page, "the page's displays and lights match none of the unit's last lines: %s, %s" % (
            driver.execute_script(READ_PAGE), run.monitor_records()[-5:]))
        check(page["status"] == "live" and page["statusLamp"] == "green", "status: %s" % page)
        check(not page["lost"], "the page is greyed: %s" % page)
        check_console_clean(driver, "the page")

        def start_shown():
            starts = [r for r in run.monitor_records() if r.get("kind") == "start"]
            page = driver.execute_script(READ_PAGE)
            return starts and page["startNumber"] == starts[-1]["start_no"] and \
                page["startTime"] == starts[-1]["start_time"] and page
        page = livepage.wait_for(start_shown, 15)
        check(page, "no start line on the page: %s, starts %s" % (
            driver.execute_script(READ_PAGE), [r for r in run.monitor_records() if r.get("kind") == "start"]))
        check(page["leadTime"] != "", "no lead/leg time: %s" % page)
        # A moment of a countdown with its light on, for the pictures: a projector, and a phone.
        livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["lights"] != ["off", "off", "off"], 5)
        livepage.screenshot(driver, "live-projector.png")
        livepage.emulate(driver, *PHONE, mobile=True)
        time.sleep(0.3)
        livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["lights"] != ["off", "off", "off"], 5)
        livepage.screenshot(driver, "live-phone.png")
    finally:
        run.close()


def fits_phone_and_projector():
    """A 390x844 phone and a 1920x1080 projector show every part without scrolling and without parts overlapping:
    the page as the tool serves it, and with every part of the start list present, in both languages."""
    run = Run()
    fixtures = [livepage.Server([FIXTURE]), livepage.Server([FIXTURE, "Deutsch"])]
    try:
        unit = ["status", "lights", "large", "small", "number", "time", "lead"]
        pages = [("kalvora-cli", run.server, unit)]
        pages += [(name, fixture, unit + ["offset", "starter", "next"])
                  for name, fixture in zip(["all parts", "all parts, German"], fixtures)]
        for size, mobile in ((PHONE, True), (PROJECTOR, False)):
            driver = run.browser(size, mobile)
            for name, server, expected in pages:
                open_page(driver, server.url("/"))
                time.sleep(0.3)
                layout = driver.execute_script(READ_LAYOUT)
                where = "%s at %dx%d" % (name, size[0], size[1])
                check(layout["fontLoaded"], "%s: the display face is not loaded" % where)
                check(layout["scrollWidth"] <= layout["width"] and layout["scrollHeight"] <= layout["height"],
                      "%s scrolls: %s" % (where, layout))
                boxes = layout["boxes"]
                check(sorted(boxes) == sorted(expected), "%s shows %s, not %s" % (where, sorted(boxes), expected))
                for part, box in boxes.items():
                    check(box["left"] >= 0 and box["top"] >= 0 and box["right"] <= layout["width"] + 0.5
                          and box["bottom"] <= layout["height"] + 0.5, "%s: %s is cut: %s" % (where, part, box))
                separate = list(boxes)
                for i, first in enumerate(separate):
                    for second in separate[i + 1:]:
                        a, b = boxes[first], boxes[second]
                        overlap = a["left"] < b["right"] - 0.5 and b["left"] < a["right"] - 0.5 and \
                            a["top"] < b["bottom"] - 0.5 and b["top"] < a["bottom"] - 0.5
                        check(not overlap, "%s: %s and %s overlap: %s %s" % (where, first, second, a, b))
                # Digits for a start area: on the projector a quarter of its height, on the phone its width.
                least = layout["height"] * 0.2 if not mobile else layout["width"] * 0.12
                check(layout["largeFontPx"] >= least, "%s: the large display is %.0f px" % (
                    where, layout["largeFontPx"]))
    finally:
        for fixture in fixtures:
            fixture.stop()
        run.close()


def overlay_is_transparent():
    """The overlay for a streaming program: a transparent background around outlined digits, its parts chosen by
    the URL."""
    run = Run("--speed", "10")  # a start soon, for the picture
    try:
        driver = run.browser((1280, 400))
        livepage.transparent_background(driver)
        for query, shown, hidden in (
            ("", ["lights", "large", "small", "number", "time", "lead"], ["status"]),
            ("?show=countdown", ["large"], ["lights", "small", "number", "time", "lead", "status"]),
            ("?show=lights,number", ["lights", "number"], ["large", "small", "time", "lead", "status"]),
        ):
            open_page(driver, run.server.url("/overlay" + query))
            livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["startTime"] != "", 10)
            time.sleep(0.5)
            boxes = driver.execute_script(READ_LAYOUT)["boxes"]
            for part in shown:
                check(part in boxes, "/overlay%s does not show %s: %s" % (query, part, sorted(boxes)))
            for part in hidden:
                check(part not in boxes, "/overlay%s shows %s" % (query, part))
            check_console_clean(driver, "/overlay" + query)
            png = livepage.screenshot(driver, "live-overlay.png" if query == "" else "overlay.png")
            width, height, rows = livepage.png_pixels(png)
            pixels = [pixel for row in rows for pixel in row]
            clear = sum(1 for pixel in pixels if pixel[3] == 0)
            check(clear > len(pixels) // 3, "/overlay%s: only %d of %d pixels are transparent" % (
                query, clear, len(pixels)))
            for x, y in ((0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1)):
                check(rows[y][x][3] == 0, "/overlay%s: corner %d,%d is %s" % (query, x, y, rows[y][x]))
            if "large" in shown:
                green = sum(1 for r, g, b, a in pixels if a == 255 and g > 200 and r < 60 and b < 60)
                outline = sum(1 for r, g, b, a in pixels if a == 255 and r < 30 and g < 30 and b < 30)
                check(green > 500, "/overlay%s: no green digits (%d pixels)" % (query, green))
                check(outline > 200, "/overlay%s: no dark outline around the digits (%d pixels)" % (query, outline))
        if os.environ.get("KALVORA_SCREENSHOT_DIR"):
            os.remove(os.path.join(os.environ["KALVORA_SCREENSHOT_DIR"], "overlay.png"))
    finally:
        run.close()


def connection_lost_and_back():
    """Stopping the serving program greys the page and says so within 3 s; starting it again brings the page back,
    current, without a reload, within 2 s of the program's start."""
    run = Run("--speed", "10")  # a start soon, for the picture
    try:
        driver = run.browser()
        open_page(driver, run.server.url("/"))
        check(livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["status"] == "live", 5),
              "not live: %s" % driver.execute_script(READ_PAGE))
        livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["startTime"] != "", 10)
        driver.execute_script("window.kalvoraSamePage = true;")
        port = run.server.port

        stopped_at = time.monotonic()
        run.server.stop()
        page = livepage.wait_for(lambda: (lambda p: p["lost"] and p)(driver.execute_script(READ_PAGE)), 3)
        greyed_after = time.monotonic() - stopped_at
        check(page, "3 s after the program stopped the page is not greyed: %s" % driver.execute_script(READ_PAGE))
        check(page["lostShown"] and page["status"] == "connection lost", "it does not say so: %s" % page)
        check(page["digitColour"] == "rgb(92, 92, 92)", "the digits are not grey: %s" % page["digitColour"])
        print("greyed %.2f s after the program stopped" % greyed_after)
        time.sleep(1.5)  # the page tries again meanwhile
        livepage.screenshot(driver, "live-connection-lost.png")

        # The time from the program's start, its own start-up included, to the page current again.
        started_at = time.monotonic()
        run.server = run.start_server(port)

        def current():
            page = driver.execute_script(READ_PAGE)
            state = json.loads(run.server.get("/state.json") or b"{}")
            return not page["lost"] and page["large"].strip() == state.get("large", "").strip() and page
        page = livepage.wait_for(current, 5, pause=0.02)
        back_after = time.monotonic() - started_at
        check(page, "the page did not come back: %s" % driver.execute_script(READ_PAGE))
        check(page["status"] == "live", "status after the return: %s" % page)
        check(driver.execute_script("return window.kalvoraSamePage === true;"), "the page was reloaded")
        print("current again %.2f s after the program started again" % back_after)
        check(back_after <= 2.0, "current again only %.2f s after the program started again" % back_after)
    finally:
        run.close()


def unit_goes_away():
    """A unit that stops sending (its cable pulled) turns the status lamp red and the page says so; when it comes
    back, the page is live again. The program keeps serving throughout."""
    run = Run("--unplug-after", "4", "--replug-after", "4")
    try:
        driver = run.browser()
        open_page(driver, run.server.url("/"))
        check(livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["status"] == "live", 5),
              "not live: %s" % driver.execute_script(READ_PAGE))
        page = livepage.wait_for(
            lambda: (lambda p: p["status"] == "no signal from the unit" and p)(driver.execute_script(READ_PAGE)), 8)
        check(page, "the page does not say the unit went quiet: %s" % driver.execute_script(READ_PAGE))
        check(page["statusLamp"] == "red" and not page["lost"], "status lamp: %s" % page)
        page = livepage.wait_for(
            lambda: (lambda p: p["status"] == "live" and p)(driver.execute_script(READ_PAGE)), 10)
        check(page, "the page does not come back with the unit: %s" % driver.execute_script(READ_PAGE))
    finally:
        run.close()


def german_texts():
    """With Language=Deutsch in config.ini, the page speaks German."""
    run = Run(language="Deutsch")
    try:
        driver = run.browser()
        open_page(driver, run.server.url("/"))
        check(driver.execute_script("return document.documentElement.lang") == "de", "lang is not de")
        labels = driver.execute_script(
            "return ['label-number', 'label-time', 'label-lead', 'status-text']"
            ".map((id) => document.getElementById(id).textContent)")
        check(labels == ["Startnummer", "Letzte Startzeit", "Zwischenzeit", "live"], "labels: %s" % labels)
        run.server.stop()
        page = livepage.wait_for(lambda: (lambda p: p["lost"] and p)(driver.execute_script(READ_PAGE)), 3)
        check(page and page["status"] == "Verbindung unterbrochen", "lost: %s" % page)
    finally:
        run.close()


CASES = {
    "ShowsTheUnit": shows_the_unit,
    "FitsPhoneAndProjector": fits_phone_and_projector,
    "OverlayIsTransparent": overlay_is_transparent,
    "ConnectionLostAndBack": connection_lost_and_back,
    "UnitGoesAway": unit_goes_away,
    "GermanTexts": german_texts,
}

if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1] not in CASES:
        sys.exit("usage: live_page_test.py %s" % "|".join(CASES))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    CASES[sys.argv[1]]()
    print("passed")
