#!/bin/bash
# WithSimulator.sh SIMULATOR DIRECTORY PORT [SIMULATOR OPTIONS...] -- COMMAND [ARGS...]
# Starts the device simulator (a Linux program) with the options given, linked as DIRECTORY/ports/COM<PORT>, waits
# until its link is there, runs COMMAND with KALVORA_TEST_COM=<PORT>, stops the simulator and returns COMMAND's
# status. The Windows tests reach the simulator through Wine's mapping of COM<PORT> to that link
# (WineServer.sh). The simulator's output and errors go to DIRECTORY/simulator.log, shown when COMMAND fails.
set -uo pipefail
simulator=$1 directory=$2 port=$3
shift 3
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    options+=("$1")
    shift
done
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || { echo "usage: WithSimulator.sh SIMULATOR DIRECTORY PORT [OPTIONS...] -- COMMAND..." >&2; exit 2; }
if [ ! -x "$simulator" ]; then
    echo "WithSimulator.sh: no simulator at $simulator (make windows builds it for this machine)" >&2
    exit 1
fi

mkdir -p "$directory"
log=$directory/simulator.log
link=$directory/ports/COM$port
"$simulator" --dir "$directory" --com "$port" "${options[@]}" >"$log" 2>&1 &
simulator_pid=$!
stop_simulator() {
    kill "$simulator_pid" 2>/dev/null
    wait "$simulator_pid" 2>/dev/null
}
trap stop_simulator EXIT
for _ in $(seq 100); do
    [ -L "$link" ] && [ -s "$log" ] && break
    if ! kill -0 "$simulator_pid" 2>/dev/null; then
        echo "WithSimulator.sh: the simulator ended at its start:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep 0.02
done
if [ ! -L "$link" ]; then
    echo "WithSimulator.sh: the simulator made no link $link in 2 s" >&2
    exit 1
fi

KALVORA_TEST_COM=$port "$@"
status=$?
if [ $status -ne 0 ]; then
    echo "--- the simulator ($simulator ${options[*]}), $log:"
    tail -n 40 "$log"
fi
exit $status
