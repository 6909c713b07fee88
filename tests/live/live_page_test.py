#!/usr/bin/env python3
"""The live page in a real browser (Debian's Chromium, headless, through Selenium), served by kalvora-cli monitor
--serve watching the simulator, and by a fixture server holding every optional part of the page.

    live_page_test.py CASE    with KALVORA_CLI, KALVORA_SIM and KALVORA_FIXTURE_SERVER naming the programs

Each case is one CTest test (live.Browser.<Case>). With KALVORA_SCREENSHOT_DIR set, the cases save the README's
pictures there: live-projector.png, live-phone.png (both with a start list), live-overlay.png,
live-connection-lost.png."""

import json
import os
import re
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

# The start list's parts as a viewer reads them: the starter beside the small display, the next ones, the unit's
# clock; whether a text of theirs is cut short; and where the starter and the small display stand.
READ_STARTERS = """
const shown = (element) => getComputedStyle(element).display !== 'none';
const box = (element) => { const b = element.getBoundingClientRect(); return {left: b.left, top: b.top, right: b.right, bottom: b.bottom}; };
const starter = document.getElementById('starter');
const offset = document.getElementById('offset');
return {
    small: document.querySelector('#small .digits').textContent.replace(/!/g, ' ').trim(),
    starter: shown(starter) ? Array.from(starter.children, (e) => e.textContent) : null,
    next: shown(document.getElementById('next'))
        ? Array.from(document.querySelectorAll('#next-list li'), (li) => Array.from(li.children, (e) => e.textContent))
        : [],
    offset: shown(offset) ? offset.textContent.trim() : null,
    offsetWarns: offset.classList.contains('warn'),
    cut: Array.from(document.querySelectorAll('.starter-text, #offset'))
        .filter((e) => shown(e) && e.scrollWidth > e.clientWidth + 1).map((e) => e.textContent),
    starterBox: box(starter),
    smallBox: box(document.getElementById('small')),
};
"""

# A start list as a results program exports it: long names with letters beyond ASCII, and start number 4 missing
# (withdrawn), so that the next ones skip it. Planned for the simulator's program 1 from the time the test begins:
# its intervals of 0:30, 1:00, 1:30, 2:00, 3:00, 0:30, 1:00 end in starts 30, 90, 180, 300, 480, 510 and 570 s on.
STARTERS = {
    1: ["Anna-Katharina Berg-Lindqvist", "SK Nordlicht Hamburg-Harburg", "D21E", 30],
    2: ["J\u00f6rg M\u00fcller", "OL Z\u00fcrich", "H45", 90],
    3: ["\u00c5sa \u00d6berg", "IFK G\u00f6teborg", "D35", 180],
    5: ["Wojciech Szcz\u0119sny-Kowalczyk", "UKS Orientu\u015b Wroc\u0142aw", "H21E", 480],
    6: ["Ida Sund", "OK Skogen", "D20", 510],
    7: ["Per Holm", "IFK Lund", "H35", 570],
}


def planned(number, began):
    return time.strftime("%H:%M:%S", time.localtime(began + STARTERS[number][3]))


def start_list_csv(began):
    rows = ["Startnummer;Vorname;Nachname;Verein;Klasse;Startzeit"]
    for number, (name, club, group, _) in STARTERS.items():
        given, family = name.split(" ", 1)
        rows.append(";".join([str(number), given, family, club, group, planned(number, began)]))
    return "\n".join(rows) + "\n"


def starter_shown(number):
    """What the page shows beside the small display for the starter with that number: name, club and class."""
    name, club, group, _ = STARTERS[number]
    return [name, "%s \u00b7 %s" % (club, group)]


def next_shown(began, *numbers):
    """The next ones as the page lists them: number, name, planned time."""
    return [[str(number), STARTERS[number][0], planned(number, began)] for number in numbers]


LIGHT_INDEX = {"red": 0, "yellow": 1, "green": 2}


def fail(message):
    raise AssertionError(message)


def check(condition, message):
    if not condition:
        fail(message)


class Run:
    """The simulator and kalvora-cli serving the live page from it, in a directory of their own."""

    def __init__(self, *simulator_options, language=None, start_list=None, baud=None):
        self.directory = tempfile.mkdtemp(prefix="kalvora-live-")
        self.simulator = livepage.Simulator(SIM, self.directory, COM, *simulator_options)
        self.language = language
        self.start_list = None
        if start_list is not None:
            self.start_list = os.path.join(self.directory, "startlist.csv")
            with open(self.start_list, "w", encoding="utf-8") as file:
                file.write(start_list)
        self.baud = baud
        self.server = self.start_server()
        self.browsers = []

    def start_server(self, port=0):
        return livepage.cli_server(CLI, self.directory, COM, port, self.language, self.start_list, self.baud)

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
        # Without a start list the page names nobody and shows no clock until a start has shown it.
        starters = driver.execute_script(READ_STARTERS)
        check(starters["starter"] is None and starters["next"] == [], "names without a start list: %s" % starters)
    finally:
        run.close()


def start_list_and_clock():
    """With a start list (kalvora-cli monitor --start-list), the starter whose number the small display shows stands
    beside it with club and class, and the next three with their planned times below, a missing number skipped; after
    a start, the next starter, and the unit's clock 0.62 s behind the computer's in the program's warning. Both
    screens show it whole, without scrolling. The simulator runs at the computer's pace (its first start comes after
    its first 30 s interval), on a line of 38400 baud on which its start lines seldom wait behind a display line."""
    began = time.time()
    run = Run("--clock-offset", "-0.62", "--baud", "38400", start_list=start_list_csv(began), baud=38400)
    try:
        driver = run.browser()
        open_page(driver, run.server.url("/"))

        def showing(number):
            return lambda: (lambda p: p["small"] == str(number) and p)(driver.execute_script(READ_STARTERS))

        page = livepage.wait_for(showing(1), 10)
        check(page, "the small display does not show 1: %s" % driver.execute_script(READ_STARTERS))
        check(page["starter"] == starter_shown(1), "starter beside 1: %s" % page["starter"])
        check(page["next"] == next_shown(began, 2, 3, 5), "the next ones: %s" % page["next"])
        check(page["offset"] is None, "a clock offset before any start: %s" % page["offset"])
        check(page["cut"] == [], "cut short on the projector: %s" % page["cut"])
        starter, small = page["starterBox"], page["smallBox"]
        check(starter["right"] <= small["left"] and starter["top"] < small["bottom"] and small["top"] < starter["bottom"],
              "the starter is not beside the small display: %s %s" % (starter, small))
        check_console_clean(driver, "the page with a start list")

        # The first start: the next starter, and the unit's clock from the start line (a start line that waited
        # behind a display line gives no figure: then the next start does, a minute later).
        def after_a_start():
            page = driver.execute_script(READ_STARTERS)
            return page["offset"] is not None and page["small"] != "1" and page
        page = livepage.wait_for(after_a_start, 100, pause=0.2)
        check(page, "no clock offset after the starts: %s, starts %s" % (
            driver.execute_script(READ_STARTERS), [r for r in run.monitor_records() if r.get("kind") == "start"]))
        starts = [r for r in run.monitor_records() if r.get("kind") == "start" and r.get("clock_offset") is not None]
        check(starts, "the tool gave no clock offset: %s" % run.monitor_records()[-5:])
        offset = float(starts[-1]["clock_offset"])
        check(abs(offset + 0.62) < 0.03, "the unit's clock is %.3f s off, the simulator's -0.62 s" % offset)
        # The page's figure to the hundredth, the tool's to the thousandth.
        words = re.fullmatch(r"the unit's clock is (\d+\.\d\d) s behind this computer: Set PC Time", page["offset"])
        check(words and abs(float(words.group(1)) - abs(offset)) <= 0.0051 and page["offsetWarns"],
              "the clock: %r, the tool's %.3f s" % (page["offset"], offset))
        number = int(page["small"])
        check(number == int(starts[-1]["start_no"]) + 1, "small display %s after start %s" % (
            page["small"], starts[-1]["start_no"]))
        if number == 2:
            check(page["starter"] == starter_shown(2), "starter beside 2: %s" % page["starter"])
            check(page["next"] == next_shown(began, 3, 5, 6), "the next ones after 2: %s" % page["next"])

        # The pictures: a projector, and a phone; on both every part whole, nothing scrolled.
        # A moment of the countdown to the next start, its light on (the start's own 0:00 lasts a second).
        livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["large"].strip() not in ("", "0:00"), 5)
        for size, mobile, name in ((PROJECTOR, False, "live-projector.png"), (PHONE, True, "live-phone.png")):
            livepage.emulate(driver, *size, mobile=mobile)
            time.sleep(0.5)
            livepage.wait_for(lambda: driver.execute_script(READ_PAGE)["lights"] != ["off", "off", "off"], 5)
            layout = driver.execute_script(READ_LAYOUT)
            page = driver.execute_script(READ_STARTERS)
            where = "%dx%d" % size
            check(layout["scrollWidth"] <= layout["width"] and layout["scrollHeight"] <= layout["height"],
                  "%s scrolls: %s" % (where, layout))
            check(page["cut"] == [], "%s: cut short: %s" % (where, page["cut"]))
            check(all(part in layout["boxes"] for part in ("starter", "next", "offset", "small")),
                  "%s shows %s" % (where, sorted(layout["boxes"])))
            livepage.screenshot(driver, name)
    finally:
        run.close()


def fits_phone_and_projector():
    """A 390x844 phone and a 1920x1080 projector show every part without scrolling and without parts overlapping:
    the page as the tool serves it, and with every part of the start list present, in both languages."""
    run = Run()
    variants = [("all parts", []), ("all parts, German", ["Deutsch"]),
                ("the clock's warning, German", ["Deutsch", "-0.62"]), ("the clock's warning", ["English", "1.5"])]
    fixtures = [livepage.Server([FIXTURE] + arguments) for _, arguments in variants]
    try:
        unit = ["status", "lights", "large", "small", "number", "time", "lead"]
        pages = [("kalvora-cli", run.server, unit)]
        pages += [(name, fixture, unit + ["offset", "starter", "next"])
                  for (name, _), fixture in zip(variants, fixtures)]
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
                # Names and the clock's words whole, not cut short.
                cut = driver.execute_script(READ_STARTERS)["cut"]
                check(cut == [], "%s: cut short: %s" % (where, cut))
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
    "StartListAndClock": start_list_and_clock,
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
