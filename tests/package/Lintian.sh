#!/bin/sh
# Lintian.sh <build directory> <output directory>: builds the Debian package as `make package` does (into the
# output directory, so as not to disturb one made by hand) and checks it with lintian. Fails on any error; the
# warnings and notes are printed.
set -eu
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
set -- "$out"/kalvora_*_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "expected one kalvora_<version>_<arch>.deb in $out"
    ls "$out"
    exit 1
fi
deb=$1
echo "Package: $(basename "$deb")"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || { echo "the dependencies lack the Qt libraries"; exit 1; }
# lintian warns that root runs it; that is no finding about the package
lintian --fail-on error --display-info --pedantic "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || { echo "lintian found errors"; exit 1; }
echo "lintian: no errors"
