#!/bin/bash
# LiveWindowsProgram.sh BUILD_WIN SIMULATOR
# kalvora.exe under Wine serves the live page to a client on Linux: the program, in a folder of its own whose
# config.ini shares the page on a port this script picks free, monitors the simulator (SIMULATOR, this machine's
# kalvora-sim) on COM7 ("On" clicked from the Windows side by window_StartMonitoring.exe); this machine then reads
# /state.json (the state, for any origin) and the event stream (/events: the whole state at once, then its changes
# as the countdown runs) over 127.0.0.1, and the program is ended. Runs in the Wine of the test run (the wine.up
# fixture), on its null display driver.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?build directory}" && pwd) simulator=${2:?simulator}
com=7
work=$(mktemp -d)
live_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cp "$build/bin/kalvora.exe" "$work/"
printf '[LivePage]\r\nShare=1\r\nPort=%s\r\n' "$live_port" >"$work/config.ini"
finish() {
    "$root/cmake/WineRun.sh" taskkill /F /IM kalvora.exe >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap finish EXIT

serve_and_read() {
    "$root/tests/support/StartMonitoringWin.sh" "$build" "$work" || return 1
    python3 "$here/live_windows_client.py" "$live_port"
}
export -f serve_and_read
export root build work live_port here
"$root/cmake/WithSimulator.sh" "$simulator" "$build/sim" $com --speed 10 -- bash -c serve_and_read
