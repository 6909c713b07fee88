#!/bin/bash
# MainWindowScreenshot.sh BUILD_WIN SIMULATOR
# The main window of kalvora.exe as a user of Windows sees it, for the README: the program under Wine in a virtual
# X display (Xvfb), in a Wine prefix of its own on Wine's X11 driver (BUILD_WIN/wine-x11), against the simulator
# (SIMULATOR, this machine's kalvora-sim) on COM7 running program 3 thirty times as fast; "On" clicked, and after
# five seconds of monitoring the window taken from the X screen (ImageMagick's import) into
# $KALVORA_SCREENSHOT_DIR/main-window-windows.png. Without KALVORA_SCREENSHOT_DIR it does nothing (status 77, which
# CTest counts as skipped).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?build directory}" && pwd) simulator=${2:?simulator}
port=7
title="Kalvora v1.4"
monitoring_seconds=5

if [ -z "${KALVORA_SCREENSHOT_DIR:-}" ]; then
    echo "KALVORA_SCREENSHOT_DIR is not set"
    exit 77
fi
for tool in xvfb-run xwininfo import; do
    if ! command -v "$tool" >/dev/null; then
        echo "MainWindowScreenshot.sh: $tool is missing (Debian: xvfb, x11-utils, imagemagick)" >&2
        exit 1
    fi
done
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

output=$(mkdir -p "$KALVORA_SCREENSHOT_DIR" && cd "$KALVORA_SCREENSHOT_DIR" && pwd)/main-window-windows.png
export WINEPREFIX=$build/wine-x11 KALVORA_WINE_GRAPHICS=x11
work=$(mktemp -d)
finish() {
    "$root/cmake/WineServer.sh" stop
    rm -rf "$work"
}
trap finish EXIT
"$root/cmake/WineServer.sh" start $port "$build/sim/ports/COM$port" >/dev/null
# A copy of the program in a directory of its own: without a config.ini it talks to COM 7.
cp "$build/bin/kalvora.exe" "$work/"

capture() {
    "$root/tests/support/StartMonitoringWin.sh" "$build" "$work" || return 1
    sleep $monitoring_seconds
    local window
    window=$(xwininfo -name "$title" 2>/dev/null | awk '/Window id:/ { print $4; exit }')
    if [ -z "$window" ]; then
        echo "MainWindowScreenshot.sh: no window \"$title\" on the X screen" >&2
        return 1
    fi
    import -window "$window" "$output"
    echo "MainWindowScreenshot.sh: $output"
}
export -f capture
export root build work output title monitoring_seconds
"$root/cmake/WithSimulator.sh" "$simulator" "$build/sim" $port --program 3 --speed 30 --memory 11 --clock 10:14:00 \
    -- bash -c capture
