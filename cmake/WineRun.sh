#!/bin/sh
# WineRun.sh PROGRAM.exe [ARGS...]
# Runs a Windows program under Wine in $WINEPREFIX (default ~/.wine-kalvora): quietly, without a display, and
# without Wine's offers to install Mono and Gecko. The emulator of the cross build (cmake/mingw-w64.cmake).
set -e
: "${WINEPREFIX:=${HOME:-/tmp}/.wine-kalvora}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Windows on a display only in a prefix made for one (cmake/WineServer.sh, KALVORA_WINE_GRAPHICS=x11).
[ "${KALVORA_WINE_GRAPHICS:-null}" != null ] || unset DISPLAY WAYLAND_DISPLAY
# Debian's wine64 package puts the loader here and no wine64 on the PATH.
for wine in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    [ -n "$wine" ] && [ -x "$wine" ] && exec "$wine" "$@"
done
echo "WineRun.sh: no Wine found (Debian: apt-get install wine64)" >&2
exit 127
