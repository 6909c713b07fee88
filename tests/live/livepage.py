"""What the live page's browser tests and benchmarks share: the simulator and the serving program as child
processes, Debian's Chromium through Selenium, and the screenshots' pixels.

Nothing here downloads a browser: the tests drive /usr/lib/chromium/chromium with /usr/bin/chromedriver (Debian's
chromium and chromium-driver)."""

import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time
import urllib.request
import zlib

CHROMIUM = os.environ.get("KALVORA_CHROMIUM", "/usr/lib/chromium/chromium")
CHROMEDRIVER = os.environ.get("KALVORA_CHROMEDRIVER", "/usr/bin/chromedriver")

# Without these, Chromium as root does not start, and on a closed network it waits for services it cannot reach.
CHROMIUM_ARGUMENTS = [
    "--headless=new",
    "--no-sandbox",
    "--disable-gpu",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-default-apps",
    "--disable-extensions",
    "--hide-scrollbars",
    "--mute-audio",
]


def wait_for(condition, timeout, pause=0.05):
    """The condition's first true value within the time-out, else its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(pause)


def free_port():
    """A TCP port of the loopback address that nothing listens on now."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Simulator:
    """kalvora-sim on a pseudo-terminal, linked as ports/COM<com> in directory."""

    def __init__(self, sim, directory, com, *options):
        self.process = subprocess.Popen(
            [sim, "--dir", directory, "--com", str(com), *options],
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
            text=True,
        )
        self.terminal = self.process.stdout.readline().strip()
        link = os.path.join(directory, "ports", "COM%d" % com)
        if not wait_for(lambda: os.path.islink(link), 5):
            raise RuntimeError("the simulator made no port link")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)


class Server:
    """A program that serves the live page: started from its command line, ready when /state.json answers. For
    kalvora-cli the port it chose is read from its standard error ("live page at http://host:port/")."""

    def __init__(self, command, port=None, timeout=10):
        self.errors = tempfile.NamedTemporaryFile(mode="w+", prefix="kalvora-live-", suffix=".err")
        self.output = tempfile.NamedTemporaryFile(mode="w+", prefix="kalvora-live-", suffix=".out")
        self.process = subprocess.Popen(command, stdout=self.output, stderr=self.errors, text=True)
        self.port = port or wait_for(self._announced_port, timeout)
        if not self.port:
            self.stop()
            raise RuntimeError("%s announced no port: %s" % (command[0], self.stderr()))
        if not wait_for(lambda: self.get("/state.json") is not None, timeout):
            self.stop()
            raise RuntimeError("%s does not serve /state.json: %s" % (command[0], self.stderr()))

    def _announced_port(self):
        match = re.search(r"live page at http://[^ ]*:(\d+)/", self.stderr())
        if self.process.poll() is not None and not match:
            raise RuntimeError("%s ended: %s" % (self.process.args[0], self.stderr()))
        return int(match.group(1)) if match else None

    def stderr(self):
        with open(self.errors.name, encoding="utf-8", errors="replace") as file:
            return file.read()

    def stdout(self):
        with open(self.output.name, encoding="utf-8", errors="replace") as file:
            return file.read()

    def url(self, path="/"):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def get(self, path, timeout=2):
        try:
            with urllib.request.urlopen(self.url(path), timeout=timeout) as answer:
                return answer.read()
        except OSError:
            return None

    def stop(self, how=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(how)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def cli_server(cli, directory, com, port=0, language=None, start_list=None, baud=None):
    """kalvora-cli monitoring the unit on COM <com> (at the baud rate given) and serving the live page on
    127.0.0.1:<port>, with the names of the start list given."""
    if language:
        # --dir stands for the tool's own directory: the language files too are read there.
        for name in ("identifiers.ini", "lng_%s.ini" % language):
            shutil.copy(os.path.join(os.path.dirname(cli), name), directory)
        with open(os.path.join(directory, "config.ini"), "w", encoding="utf-8") as file:
            file.write("[System]\nLanguage=%s\n" % language)
    command = [cli, "--dir", directory, "--port", str(com)] + (["--baud", str(baud)] if baud else [])
    command += ["monitor", "--format", "jsonl", "--serve", "127.0.0.1:%d" % port]
    if start_list:
        command += ["--start-list", start_list]
    return Server(command, port=port or None)


def browser(width=1920, height=1080, mobile=False, scale=1):
    """Headless Chromium with a fresh profile, its viewport exactly width x height CSS pixels."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    profile = tempfile.mkdtemp(prefix="kalvora-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in CHROMIUM_ARGUMENTS + ["--user-data-dir=" + profile, "--window-size=%d,%d" % (width, height)]:
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.kalvora_profile = profile
    emulate(driver, width, height, mobile, scale)
    return driver


def emulate(driver, width, height, mobile=False, scale=1):
    """The viewport as a screen of width x height CSS pixels (a phone's when mobile)."""
    driver.execute_cdp_cmd(
        "Emulation.setDeviceMetricsOverride",
        {"width": width, "height": height, "deviceScaleFactor": scale, "mobile": mobile},
    )


def close_browser(driver):
    driver.quit()
    shutil.rmtree(driver.kalvora_profile, ignore_errors=True)


def transparent_background(driver):
    """Screenshots keep the page's transparency (headless Chromium paints white behind a page otherwise)."""
    driver.execute_cdp_cmd("Emulation.setDefaultBackgroundColorOverride", {"color": {"r": 0, "g": 0, "b": 0, "a": 0}})


def screenshot(driver, name):
    """The viewport as PNG bytes, saved as docs/<name> too when KALVORA_SCREENSHOT_DIR names a directory."""
    png = driver.get_screenshot_as_png()
    directory = os.environ.get("KALVORA_SCREENSHOT_DIR")
    if directory:
        with open(os.path.join(directory, name), "wb") as file:
            file.write(png)
    return png


def png_pixels(png):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGB or RGBA PNG without interlacing, as Chromium writes
    its screenshots."""
    if png[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    at = 8
    data = b""
    width = height = depth = kind = None
    while at < len(png):
        length, chunk = struct.unpack(">I4s", png[at:at + 8])
        body = png[at + 8:at + 8 + length]
        if chunk == b"IHDR":
            width, height, depth, kind, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or kind not in (2, 6) or interlace:
                raise ValueError("a PNG of depth %d, colour type %d" % (depth, kind))
        elif chunk == b"IDAT":
            data += body
        at += 12 + length
    channels = 4 if kind == 6 else 3
    raw = zlib.decompress(data)
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind_of_filter, current = line[0], bytearray(line[1:])
        for x in range(stride):
            left = current[x - channels] if x >= channels else 0
            up = previous[x]
            upper_left = previous[x - channels] if x >= channels else 0
            if kind_of_filter == 1:
                current[x] = (current[x] + left) & 0xFF
            elif kind_of_filter == 2:
                current[x] = (current[x] + up) & 0xFF
            elif kind_of_filter == 3:
                current[x] = (current[x] + (left + up) // 2) & 0xFF
            elif kind_of_filter == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                predictor = left if pa <= pb and pa <= pc else up if pb <= pc else upper_left
                current[x] = (current[x] + predictor) & 0xFF
        rows.append([tuple(current[x:x + channels]) + ((255,) if channels == 3 else ()) for x in range(0, stride, channels)])
        previous = current
    return width, height, rows


def process_rss_kib(pid):
    """The resident memory of a process on Linux, in KiB."""
    with open("/proc/%d/status" % pid, encoding="ascii") as file:
        for line in file:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def process_cpu_seconds(pid):
    """User and system CPU time of a process so far, in seconds."""
    with open("/proc/%d/stat" % pid, encoding="ascii") as file:
        fields = file.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
