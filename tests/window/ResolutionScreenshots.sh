#!/bin/bash
# ResolutionScreenshots.sh BUILD_WIN
# The pictures of the README that show the Windows program at 96, 120 and 144 dots per inch: window_ResolutionWinTest
# under Wine in a prefix of its own (BUILD_WIN/wine-dpi), its screen's resolution set through Wine's LogPixels before
# each run; the main window and the Read Memory dialog as they open there, and at 96 also the main window moved to
# a monitor of 120 and of 144 (the message the system sends then). Into $KALVORA_SCREENSHOT_DIR; without it the
# script does nothing (status 77, which CTest counts as skipped).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?build directory}" && pwd)

if [ -z "${KALVORA_SCREENSHOT_DIR:-}" ]; then
    echo "KALVORA_SCREENSHOT_DIR is not set"
    exit 77
fi
output=$(mkdir -p "$KALVORA_SCREENSHOT_DIR" && cd "$KALVORA_SCREENSHOT_DIR" && pwd)
export WINEPREFIX=$build/wine-dpi
trap '"$root/cmake/WineServer.sh" stop' EXIT
"$root/cmake/WineServer.sh" start 7 "$build/sim/ports/COM7" >/dev/null
for dpi in 96 120 144; do
    # A new program reads the resolution when it starts; the server may run on.
    "$root/cmake/WineRun.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f \
        </dev/null >/dev/null 2>&1
    filter=ResolutionScreenshot.*
    [ $dpi = 96 ] && filter=*
    KALVORA_SCREENSHOT_DIR="Z:$output" "$root/cmake/WineRun.sh" "$build/tests/window_ResolutionWinTest.exe" \
        --gtest_filter="$filter" </dev/null
done
ls "$output"/*windows*dpi.png
