#!/bin/sh
# Training.sh <staged root>: the menu's training entry, kalvora-training, of an installed program. It links the
# simulator as COM 7 in the user's directory, runs the program, and stops the simulator when the program ends.
set -u
root=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
link="$XDG_DATA_HOME/kalvora/ports/COM7"
failures=0
check() { # check <description> <command...>
    what=$1
    shift
    if "$@"; then echo "ok $what"; else echo "FAILED $what"; failures=$((failures + 1)); fi
}
# The child of the wrapper whose command name is $1.
child() {
    for stat in /proc/[0-9]*/stat; do
        read -r pid comm state ppid rest <"$stat" 2>/dev/null || continue
        [ "$ppid" = "$wrapper" ] && [ "$comm" = "($1)" ] && { echo "$pid"; return 0; }
    done
    return 1
}
# Whether process $1 has ended (a child of ours that ended stays a zombie until it is waited for).
ended() {
    ! kill -0 "$1" 2>/dev/null || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null
}
wait_for() { # wait_for <command...>: up to ten seconds
    i=0
    while ! "$@"; do
        i=$((i + 1))
        [ $i -gt 100 ] && return 1
        sleep 0.1
    done
}

"$root/usr/bin/kalvora-training" >"$scratch/out" 2>&1 &
wrapper=$!
check "the simulator is linked as COM 7 in the user's directory" wait_for test -L "$link"
check "the link leads to a pseudo-terminal" sh -c "readlink '$link' | grep -q '^/dev/pts/'"
check "the program runs" wait_for child kalvora
program=$(child kalvora) || program=
sim=$(child kalvora-sim) || sim=
check "the simulator runs beside it" test -n "$sim"
check "nothing is linked beside the executable" test ! -e "$root/usr/bin/ports"
[ -n "$program" ] && kill "$program"
check "the wrapper ends with the program" wait_for ended "$wrapper"
check "the simulator is stopped" wait_for ended "${sim:-0}"
check "its link is gone" test ! -L "$link"
wait "$wrapper" 2>/dev/null
if [ "$failures" -ne 0 ]; then
    echo "kalvora-training said:"
    cat "$scratch/out"
    kill "$wrapper" 2>/dev/null
    exit 1
fi
