#!/bin/bash
# WindowsSetupBench.sh <Windows build> <work directory>
# The setup program's figures: its size, and the start of the program it installs under Wine, in a prefix of its own
# (made on first use and kept, as the other Windows benchmarks keep theirs; each run installs over the last, as an
# upgrade does). Prints `name value unit` lines as every benchmark does.
set -u
build=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
setup=$(ls "$build"/kalvora-*-setup.exe 2>/dev/null | head -n 1)
if [ ! -f "$setup" ]; then
    echo "WindowsSetupBench.sh: no setup program in $build (make windows-package makes it)" >&2
    exit 1
fi
awk -v bytes="$(stat -c %s "$setup")" 'BEGIN { printf "win.setup_mb %.2f MB\n", bytes / 1048576 }'

export WINEPREFIX=$work/wine WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
mkdir -p "$work"
bash "$top/cmake/WineServer.sh" start 7 "$work/ports/COM7" >/dev/null || exit 1
trap 'bash "$top/cmake/WineServer.sh" stop' EXIT
if ! "$top/cmake/WineRun.sh" "$setup" /S </dev/null >"$work/setup.log" 2>&1; then
    echo "WindowsSetupBench.sh: the setup program failed" >&2
    exit 1
fi
"$top/cmake/WineRun.sh" "$build/bench/AppWinBench.exe" --installed 'C:\Program Files\Kalvora\kalvora.exe' </dev/null | tr -d '\r'
exit "${PIPESTATUS[0]}"
