#!/bin/bash
# WindowsSetup.sh <Windows build> <simulator> <work directory>
# The setup program and the portable zip as a Windows user gets them, under Wine in a prefix of their own (a new one
# each run, so that nothing of an earlier install or of the other Windows tests' prefix counts):
# - cpack makes both as `make windows-package` does; the zip holds the programs and their files and no DLL;
# - the setup program, run with /S, installs the programs into Program Files\Kalvora, the Start menu's entries and
#   the uninstall entry of "Apps & features";
# - the installed kalvora-cli.exe talks to the simulator, which Wine maps as COM7;
# - package_InstalledProgramWin checks the installed window program, the training program and the unpacked zip;
# - the setup program run again upgrades the install and keeps the user's files;
# - the uninstaller, run with /S, removes what was installed and keeps the user's files.
# The prefix is made for the user "Łukasz", a name the ANSI code page of its locale (Western European, en_US.UTF-8)
# cannot write: Wine takes the user's name from USER when it makes the prefix and its code page from LANG, and every
# later call gets the same. The user's files must land in C:\users\Łukasz\AppData\Roaming\Kalvora, and no folder of
# a look-alike user ("Lukasz", the code page's best fit) may appear.
set -u
build=$1 simulator=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
failures=0
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@"; then echo "ok $what"; else echo "FAILED $what"; failures=$((failures + 1)); fi
}
wait_for() { # wait_for <seconds> <command...>
    local limit=$(($1 * 10)) i=0
    shift
    while ! "$@"; do
        i=$((i + 1))
        [ $i -gt $limit ] && return 1
        sleep 0.1
    done
}
registry_has() { "$top/cmake/WineRun.sh" reg query "$1" </dev/null >/dev/null 2>&1; }
absent() { ! registry_has "$1"; }
elapsed() { echo "$(($(date +%s%N) / 1000000 - start_ms)) ms"; }

[ -d "$work/wine" ] && WINEPREFIX=$work/wine bash "$top/cmake/WineServer.sh" stop
rm -rf "$work"
mkdir -p "$work"

# The artefacts.
start_ms=$(($(date +%s%N) / 1000000))
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
setup=$(echo "$work"/out/kalvora-*-setup.exe)
zip=$(echo "$work"/out/kalvora-*-win64.zip)
echo "cpack: $(elapsed); $(basename "$setup") $(stat -c %s "$setup") bytes, $(basename "$zip") $(stat -c %s "$zip") bytes"
check "the setup program is made" test -f "$setup"
check "the portable zip is made" test -f "$zip"
shipped="OFL.txt README.txt config.ini identifiers.ini kalvora-cli.exe kalvora-training.exe kalvora.exe
lng_Deutsch.ini lng_English.ini"
expected=$(printf '%s\n' $shipped | sort)
zipped=$(unzip -Z1 "$zip" | sed 's|^[^/]*/||' | grep -v '^$' | sort)
check "the zip holds the programs and their files in one folder, no DLL" test "$zipped" = "$expected"
for program in kalvora kalvora-training kalvora-cli; do
    unzip -p "$zip" "*/$program.exe" >"$work/$program.exe"
    check "$program.exe is stripped" sh -c "! x86_64-w64-mingw32-objdump -f '$work/$program.exe' | grep -q HAS_SYMS"
    check "$program.exe needs no DLL of the compiler" sh -c "! x86_64-w64-mingw32-objdump -p '$work/$program.exe' |
        grep -i -E 'DLL Name: (libstdc|libgcc|libwinpthread)'"
done

# A new prefix with COM7 mapped to the simulator's link, for the user "Łukasz" in a Western European locale. Wine's
# menu builder stays off: the Start menu's shortcuts would otherwise turn into entries of this machine's own desktop
# menu.
wine_user=$'\xc5\x81ukasz' wine_locale=en_US.UTF-8
if ! locale -a 2>/dev/null | grep -qix 'en_US\.utf-\?8'; then
    echo "FAILED the locale $wine_locale is not generated (make windows-locale generates it)"
    exit 1
fi
export USER=$wine_user LANG=$wine_locale
unset LC_ALL
export WINEPREFIX=$work/wine WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
start_ms=$(($(date +%s%N) / 1000000))
bash "$top/cmake/WineServer.sh" start 7 "$work/sim/ports/COM7" >/dev/null || exit 1
trap 'bash "$top/cmake/WineServer.sh" stop' EXIT
echo "Wine prefix: $(elapsed)"
drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Kalvora"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kalvora"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvora'
vendor_key='HKLM\Software\The Kalvora developers'

# The silent install.
start_ms=$(($(date +%s%N) / 1000000))
"$top/cmake/WineRun.sh" "$setup" /S </dev/null >"$work/setup.log" 2>&1
check "the setup program ends with status 0 ($(elapsed))" test $? -eq 0
for file in $shipped Uninstall.exe; do
    check "Program Files\\Kalvora\\$file" test -f "$folder/$file"
done
check "no DLL beside the programs" test -z "$(find "$folder" -iname '*.dll')"
check "the Start menu's \"Kalvora\"" test -f "$menu/Kalvora.lnk"
check "the Start menu's \"Kalvora (training with simulated unit)\"" \
    test -f "$menu/Kalvora (training with simulated unit).lnk"
"$top/cmake/WineRun.sh" reg query "$key" </dev/null 2>/dev/null | tr -d '\r' >"$work/uninstall-entry.txt"
cat "$work/uninstall-entry.txt"
entry() { grep -q -E "^ +$1 +$2 +$3\$" "$work/uninstall-entry.txt"; }
check "the program's own registry key (the install folder)" registry_has "$vendor_key\Kalvora"
check "DisplayName Kalvora" entry DisplayName REG_SZ 'Kalvora'
check "DisplayVersion 1.4" entry DisplayVersion REG_SZ '1\.4'
check "Publisher" entry Publisher REG_SZ 'The Kalvora developers'
check "DisplayIcon, the installed kalvora.exe" entry DisplayIcon REG_SZ 'C:\\Program Files\\Kalvora\\kalvora\.exe'
check "UninstallString" entry UninstallString REG_SZ '"C:\\Program Files\\Kalvora\\Uninstall\.exe"'
check "EstimatedSize in KiB" entry EstimatedSize REG_DWORD '0x[0-9a-f]+'
size_kib=$(($(sed -n 's/^ *EstimatedSize *REG_DWORD *//p' "$work/uninstall-entry.txt")))
folder_kib=$(du -sk --apparent-size "$folder" | cut -f1)
check "EstimatedSize ($size_kib KiB) is the folder's size ($folder_kib KiB)" \
    test $((size_kib - folder_kib)) -le 8 -a $((folder_kib - size_kib)) -le 8

# The installed command-line tool against the simulator on COM7.
start_ms=$(($(date +%s%N) / 1000000))
bash "$top/cmake/WithSimulator.sh" "$simulator" "$work/sim" 7 -- \
    "$top/cmake/WineRun.sh" 'C:\Program Files\Kalvora\kalvora-cli.exe' --port 7 get </dev/null >"$work/cli.out" 2>&1
status=$?
tr -d '\r' <"$work/cli.out"
check "the installed kalvora-cli.exe reads the unit on COM7 ($(elapsed))" \
    sh -c "[ $status -eq 0 ] && grep -q '^program: P1' '$work/cli.out'"

# The installed window program, the training program and the portable copy.
unzip -q "$zip" -d "$drive_c"
portable=$(basename "$zip" .zip)
start_ms=$(($(date +%s%N) / 1000000))
"$top/cmake/WineRun.sh" "$build/tests/package_InstalledProgramWin.exe" 'C:\Program Files\Kalvora' "C:\\$portable" \
    </dev/null 2>&1 | tr -d '\r' | tee "$work/programs.out"
check "the programs as a user meets them ($(elapsed))" grep -q '^all checks hold$' "$work/programs.out"
user_files="$drive_c/users/$wine_user/AppData/Roaming/Kalvora"
check "config.ini is in the user's own folder, C:\\users\\$wine_user\\AppData\\Roaming\\Kalvora" \
    test -f "$user_files/config.ini"
check "no folder of a look-alike user (C:\\users\\Lukasz)" test ! -e "$drive_c/users/Lukasz"

# An upgrade: the setup program run again over the install removes it first, installs anew, and keeps the user's
# files.
cp "$user_files/config.ini" "$work/user-config.ini"
start_ms=$(($(date +%s%N) / 1000000))
"$top/cmake/WineRun.sh" "$setup" /S </dev/null >"$work/upgrade.log" 2>&1
check "the setup program installs over the install ($(elapsed))" test $? -eq 0
check "the programs are there again" wait_for 30 test -f "$folder/kalvora.exe" -a -f "$folder/Uninstall.exe"
check "the user's settings are kept" cmp -s "$user_files/config.ini" "$work/user-config.ini"

# The silent uninstall. The uninstaller runs on from a copy of itself in the temporary folder, so that it can remove
# its own file: the test waits for the folder to go.
start_ms=$(($(date +%s%N) / 1000000))
"$top/cmake/WineRun.sh" 'C:\Program Files\Kalvora\Uninstall.exe' /S </dev/null >"$work/uninstall.log" 2>&1
check "the uninstaller removes Program Files\\Kalvora ($(elapsed))" wait_for 60 test ! -e "$folder"
check "and the Start menu's entries" wait_for 10 test ! -e "$menu"
check "and the uninstall entry" absent "$key"
check "and the program's own registry key" absent "$vendor_key"
check "the user's files stay ($user_files/config.ini)" test -f "$user_files/config.ini"

if [ "$failures" -ne 0 ]; then
    echo "$failures checks failed; the prefix is kept in $WINEPREFIX"
    exit 1
fi
trap - EXIT
bash "$top/cmake/WineServer.sh" stop
rm -rf "$WINEPREFIX"
