#!/bin/bash
# WineServer.sh start PORT DEVICE | stop
# The one Wine that a test run shares, in $WINEPREFIX.
#
# start: makes the prefix when there is none, with Windows port COM<PORT> mapped to the Unix path DEVICE through
#        Wine's own port mapping (the value COM<PORT> of HKLM\Software\Wine\Ports), then starts a wineserver that
#        outlives each program, and Wine's helper processes. A Wine program started after that takes about 0.1 s
#        instead of 1 to 3 s.
#        Wine's mount manager reads the mapping when a server starts for the prefix and turns it into
#        dosdevices/com<PORT>, so the value must be in place before that: a new prefix gets it in its registry
#        file before its first boot; an existing prefix with another mapping gets it through `reg add`, and its
#        server is stopped so that the next one reads it. DEVICE may be a symbolic link that is pointed at one
#        pseudo-terminal after another (the simulator's ports/COM<n>): Wine opens the port through it.
# stop:  ends the server and the helpers.
#
# Every output goes to $WINEPREFIX/logs. The helpers in particular must not inherit a test's output: they would
# keep it open after the test ends, and CTest would wait for them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?WineServer.sh needs WINEPREFIX}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=/usr/lib/wine/wineserver
# A server left behind by a run that was killed goes by itself this long after its last program.
linger_seconds=120

case ${1:-} in
start)
    port=${2:?port number} device=${3:?device path}
    logs=$WINEPREFIX/logs
    if [ ! -e "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$logs"
        # A registry file that the first boot completes. Without "#arch=win64" Wine takes the prefix for a
        # 32-bit one and refuses every 64-bit program.
        {
            printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n'
            printf '[Software\\\\Wine\\\\Ports]\n"COM%s"="%s"\n' "$port" "$device"
        } >"$WINEPREFIX/system.reg"
        echo "WineServer.sh: making the Wine prefix $WINEPREFIX (COM$port = $device)"
        "$here/WineRun.sh" wineboot -i </dev/null >>"$logs/prefix.log" 2>&1
        "$wineserver" -w
    elif [ "$(readlink "$WINEPREFIX/dosdevices/com$port" || true)" != "$device" ]; then
        mkdir -p "$logs"
        "$here/WineRun.sh" reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /t REG_SZ /d "$device" /f \
            </dev/null >>"$logs/prefix.log" 2>&1
        "$wineserver" -k 2>/dev/null || true # saves the registry; the next server maps the port anew
        "$wineserver" -w 2>/dev/null || true
    fi
    # Exit status 2: a server runs already for this prefix, which is as good.
    "$wineserver" -p$linger_seconds </dev/null >/dev/null 2>>"$logs/wineserver.log" || true
    "$here/WineRun.sh" wineboot </dev/null >>"$logs/wineserver.log" 2>&1
    mapped=$(readlink "$WINEPREFIX/dosdevices/com$port" || true)
    if [ "$mapped" != "$device" ]; then
        echo "WineServer.sh: COM$port is mapped to '$mapped', not to $device" >&2
        exit 1
    fi
    echo "WineServer.sh: Wine is up in $WINEPREFIX, COM$port = $device"
    ;;
stop)
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    ;;
*)
    echo "usage: WineServer.sh start PORT DEVICE | stop" >&2
    exit 2
    ;;
esac
