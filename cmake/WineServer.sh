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
#        The prefix is also made fit for the window tests: Wine's own fonts (Debian's fonts-wine, in a directory
#        its Wine does not read) are linked into C:\windows\Fonts, so that "MS Sans Serif" is the real face and
#        not a wider substitute, and the close box finds Marlett; windows run on Wine's null display driver
#        (HKCU\Software\Wine\Drivers, Graphics=null: no X server); and a closing window does not wait two
#        seconds for a window manager (HKCU\Software\Wine\X11 Driver, Managed=N).
#        Wine's desktop (explorer.exe /desktop) ends a second after the last window program and is started again
#        by the next one, with that program's output: CTest would wait for it as for a helper, and a program that
#        starts while the desktop ends cannot make a window at all (error 1400). So a program of Wine's own keeps
#        the desktop in use for the whole run (notepad, shown nowhere on the null display driver); it ends by
#        itself after keeper_seconds, so that a server left behind still goes.
#        KALVORA_WINE_GRAPHICS=x11 makes a prefix whose windows go to the X display of $DISPLAY instead (for a
#        picture of the program as its users see it); it runs without the desktop's keeper, which would show.
# stop:  ends the server and the helpers.
#
# Every output goes to $WINEPREFIX/logs. The helpers in particular must not inherit a test's output: they would
# keep it open after the test ends, and CTest would wait for them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?WineServer.sh needs WINEPREFIX}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
graphics=${KALVORA_WINE_GRAPHICS:-null}
[ "$graphics" != null ] || unset DISPLAY WAYLAND_DISPLAY
wineserver=/usr/lib/wine/wineserver
# A server left behind by a run that was killed goes by itself this long after its last program.
linger_seconds=120
# The longest a run keeps the desktop in use.
keeper_seconds=3600
# Debian's fonts-wine.
wine_fonts=/usr/share/wine/fonts

# The window tests' settings of the current user, as the keys of a registry file.
user_settings() {
    printf '[Software\\\\Wine\\\\Drivers]\n"Graphics"="%s"\n\n' "$graphics"
    printf '[Software\\\\Wine\\\\X11 Driver]\n"Managed"="N"\n\n'
}
has_user_settings() {
    grep -q "^\"Graphics\"=\"$graphics\"" "$WINEPREFIX/user.reg" 2>/dev/null &&
        grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null
}
link_wine_fonts() {
    local fonts=$WINEPREFIX/drive_c/windows/Fonts file
    [ -d "$wine_fonts" ] && [ -d "$fonts" ] || return 0
    for file in "$wine_fonts"/*; do
        [ -e "$fonts/${file##*/}" ] || ln -s "$file" "$fonts/${file##*/}"
    done
}

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
        {
            printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n'
            printf '#arch=win64\n\n'
            user_settings
        } >"$WINEPREFIX/user.reg"
        echo "WineServer.sh: making the Wine prefix $WINEPREFIX (COM$port = $device)"
        "$here/WineRun.sh" wineboot -i </dev/null >>"$logs/prefix.log" 2>&1
        "$wineserver" -w
    else
        mkdir -p "$logs"
        if ! has_user_settings; then
            # A prefix made before the window tests: their settings, once.
            "$here/WineRun.sh" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d "$graphics" /f \
                </dev/null >>"$logs/prefix.log" 2>&1
            "$here/WineRun.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
                </dev/null >>"$logs/prefix.log" 2>&1
        fi
        if [ "$(readlink "$WINEPREFIX/dosdevices/com$port" || true)" != "$device" ]; then
            "$here/WineRun.sh" reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /t REG_SZ /d "$device" /f \
                </dev/null >>"$logs/prefix.log" 2>&1
            "$wineserver" -k 2>/dev/null || true # saves the registry; the next server maps the port anew
        fi
        "$wineserver" -w 2>/dev/null || true
    fi
    link_wine_fonts
    # Exit status 2: a server runs already for this prefix, which is as good.
    "$wineserver" -p$linger_seconds </dev/null >/dev/null 2>>"$logs/wineserver.log" || true
    "$here/WineRun.sh" wineboot </dev/null >>"$logs/wineserver.log" 2>&1
    keeper=$(cat "$logs/keeper.pid" 2>/dev/null || true)
    if [ "$graphics" = null ] && { [ -z "$keeper" ] || ! kill -0 "$keeper" 2>/dev/null; }; then
        timeout "$keeper_seconds" "$here/WineRun.sh" notepad </dev/null >>"$logs/keeper.log" 2>&1 &
        echo $! >"$logs/keeper.pid"
    fi
    mapped=$(readlink "$WINEPREFIX/dosdevices/com$port" || true)
    if [ "$mapped" != "$device" ]; then
        echo "WineServer.sh: COM$port is mapped to '$mapped', not to $device" >&2
        exit 1
    fi
    echo "WineServer.sh: Wine is up in $WINEPREFIX, COM$port = $device"
    ;;
stop)
    keeper=$(cat "$WINEPREFIX/logs/keeper.pid" 2>/dev/null || true)
    [ -z "$keeper" ] || kill "$keeper" 2>/dev/null || true
    rm -f "$WINEPREFIX/logs/keeper.pid"
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    ;;
*)
    echo "usage: WineServer.sh start PORT DEVICE | stop" >&2
    exit 2
    ;;
esac
