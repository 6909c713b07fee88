#!/usr/bin/env bash
# Checks the layering of the source tree and fails with the reason:
# 1. the program's folders and the simulator's include each other in one direction only (no circle, however long);
# 2. no file compiled into kalvora_core reaches, through any chain of project headers, a Qt header, a header of the
#    window layer (window/) or one of the simulator (sim/);
# 3. the simulator is the device's side and shares no code with the program: its files include nothing of the
#    program's folders, but for the one bridge, sim/SimulatedUnitPort.*, which implements the link's port interface
#    (link/SerialPort.h), and kalvora-sim's main, which asks base/ where the program's files live;
# 4. Qt stays behind the window layer: of all the files of the program's folders, only those of window/qt/ include a
#    Qt header, and the window layer's interface (window/*.h) and what its implementations share (window/common/)
#    include no header of a toolkit or of the window system (Qt, windows.h, commctrl.h, commdlg.h).
# Usage: CheckLayering.sh <source directory> "<kalvora_core sources, separated by ;>"
set -u
top=$1
core_sources=$2
folders="base res link settings i18n window live startlist console memory programs app cli sim"
cd "$top" || exit 2
status=0

is_folder() { case " $folders " in *" $1 "*) return 0 ;; esac; return 1; }

# The project headers a file names: "folder/File.h" for every include of one of the folders above.
project_includes() {
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z0-9]*\/[^"]*\)".*/\1/p' "$1"
}

# 1. Folder graph: an edge "a b" for each include of folder b from folder a; tsort finds any circle.
edges=$(
    for folder in $folders; do
        for file in "$folder"/*.h "$folder"/*.cpp; do
            [ -f "$file" ] || continue
            for header in $(project_includes "$file"); do
                used=${header%%/*}
                if is_folder "$used" && [ "$used" != "$folder" ]; then
                    printf '%s %s\n' "$folder" "$used"
                fi
            done
        done
    done | sort -u
)
if ! loops=$(printf '%s\n' "$edges" | tsort 2>&1 >/dev/null) || [ -n "$loops" ]; then
    echo "The folders include each other in a circle:"
    printf '%s\n' "$loops" | sed 's/^/  /'
    echo "Folder uses folder:"
    printf '%s\n' "$edges" | sed 's/^/  /'
    status=1
fi

# 2. Everything kalvora_core compiles, with every project header it reaches.
IFS=';' read -r -a sources <<< "$core_sources"
for source in "${sources[@]}"; do
    relative=${source#"$top"/}
    [ -f "$relative" ] || continue
    pending=("$relative")
    seen=" "
    while [ ${#pending[@]} -gt 0 ]; do
        file=${pending[0]}
        pending=("${pending[@]:1}")
        case "$seen" in *" $file "*) continue ;; esac
        seen="$seen$file "
        if grep -q -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
            echo "kalvora_core must not use Qt: $relative reaches $file, which includes a Qt header"
            status=1
        fi
        for header in $(project_includes "$file"); do
            if [ "${header%%/*}" = window ]; then
                echo "kalvora_core must not use the window layer: $relative reaches $file, which includes $header"
                status=1
            fi
            if [ "${header%%/*}" = sim ]; then
                echo "kalvora_core must not use the simulator: $relative reaches $file, which includes $header"
                status=1
            fi
            [ -f "$header" ] && pending+=("$header")
        done
    done
done

# 3. The simulator's files and what of the program each may include.
for file in sim/*.h sim/*.cpp; do
    [ -f "$file" ] || continue
    for header in $(project_includes "$file"); do
        used=${header%%/*}
        if [ "$used" = sim ] || ! is_folder "$used"; then
            continue
        fi
        case "$file:$header" in
        sim/SimulatedUnitPort.h:link/SerialPort.h | sim/SimulatedUnitPort.cpp:link/SerialPort.h) continue ;;
        sim/main.cpp:base/*) continue ;;
        esac
        echo "The simulator must share no code with the program: $file includes $header"
        status=1
    done
done

# 4. Where a toolkit may be named.
qt_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q'
toolkit_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q|windows\.h|commctrl\.h|commdlg\.h)'
while IFS= read -r file; do
    case "$file" in window/qt/*) continue ;; esac
    if header=$(grep -m1 -oE "$qt_include[^>]*>" "$file"); then
        echo "Only window/qt/ may use Qt: $file includes${header##*#include}"
        status=1
    fi
done < <(find $folders -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
for file in window/*.h window/common/*.h window/common/*.cpp; do
    [ -f "$file" ] || continue
    if header=$(grep -m1 -oE "$toolkit_include[^>]*>" "$file"); then
        echo "The window layer's interface names no toolkit: $file includes${header##*#include}"
        status=1
    fi
done

[ $status -eq 0 ] && echo "Layering holds: $(printf '%s\n' "$edges" | wc -l) folder dependencies, no circle;" \
    "kalvora_core uses neither Qt nor window/ nor sim/; the simulator shares no code with the program;" \
    "only window/qt/ uses Qt, and the window layer's interface names no toolkit."
exit $status
