#!/bin/sh
# StageInstall.sh <build directory> <staged root>: a fresh `cmake --install` of the build under <staged root>/usr,
# as the package lays it out, then made read-only so that a program run from it cannot change it (for a user other
# than root; the tests also compare the tree before and after).
set -eu
build=$1
root=$2
if [ -e "$root" ]; then
    chmod -R u+w "$root"
    rm -rf "$root"
fi
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
chmod -R a-w "$root/usr"
echo "Installed under $root/usr:"
(cd "$root" && find usr -type f | sort)
