#!/bin/bash
# StartMonitoringWin.sh BUILD_WIN PROGRAM_DIR
# Starts the copy of kalvora.exe in PROGRAM_DIR under Wine, with "On" clicked from the Windows side by
# window_StartMonitoring.exe (left running beside the program, its words in PROGRAM_DIR/started), and waits up to a
# minute for the program to monitor. Status 1, with what it said, when it does not.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?build directory} dir=${2:?program directory}
"$root/cmake/WineRun.sh" "$build/tests/window_StartMonitoring.exe" "Z:$dir/kalvora.exe" >"$dir/started" 2>&1 &
for _ in $(seq 600); do
    grep -q monitoring "$dir/started" && exit 0
    sleep 0.1
done
echo "StartMonitoringWin.sh: the program did not start monitoring:" >&2
cat "$dir/started" >&2
exit 1
