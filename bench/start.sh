#!/usr/bin/env bash
# Times Kopirko's start, from the program's launch to its window on the screen, offline (in a network namespace
# of its own, so the update check finds no network), with settings that show the window at once (backups by
# hand). Linux: build/bin/Kopirko. Windows: build-windows/bin/Kopirko.exe under wine64 (with Wine's server
# already running, as it is on a desktop), when it has been built with Qt. Prints the median of the runs.
# Usage: bench/start.sh [repetitions]   (as root: the network namespace needs it)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${KOPIRKO_BENCH_DISPLAY:-}" ]; then
    # A virtual display of its own, so that nothing else on the screen is taken for our window.
    exec env KOPIRKO_BENCH_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
repetitions=${1:-5}
command -v xdotool >/dev/null || apt-get install -y -qq xdotool >/dev/null
title="Izrada rezervnih kopija podataka"

# A program folder of its own for each platform: the settings live beside the program.
prepare()
{
    local folder=$1 binaries=$2
    shift 2
    rm -rf "$folder" && mkdir -p "$folder"
    for file in "$@"; do cp -r "$binaries"/$file "$folder/"; done
    printf '[BACKUP]\r\nVrijemeBackupa=20:00\r\nBackupDir=%s\r\nNacinBackupa=2\r\nOpsegBackupa=1\r\n' \
        "$folder" >"$folder/KOPIRKO.ini"
}

# Milliseconds from the launch of "$@" (run in $folder) to a visible window called $title.
time_start()
{
    local folder=$1
    shift
    local begin end
    begin=$(date +%s%N)
    (cd "$folder" && exec unshare -n "$@" >/dev/null 2>&1) &
    local pid=$!
    until xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do sleep 0.02; done
    end=$(date +%s%N)
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # Until its window is gone, a program just ended could be taken for the next one.
    while xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do sleep 0.02; done
    sleep 2 # and Wine's server needs a moment to let go of what the ended program held
    echo $(((end - begin) / 1000000))
}

median()
{
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

measure()
{
    local name=$1 folder=$2
    shift 2
    local runs=()
    for _ in $(seq "$repetitions"); do
        runs+=("$(time_start "$folder" "$@")")
    done
    echo "$name: median $(printf '%s\n' "${runs[@]}" | median) ms (runs: ${runs[*]})"
}

out=$PWD/bench/out/start
prepare "$out/linux" build/bin Kopirko
measure "Linux" "$out/linux" ./Kopirko
if [ -f build-windows/bin/Kopirko.exe ]; then
    export WINEPREFIX=$out/wine WINEDEBUG=-all
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    prepare "$out/windows" build-windows/bin Kopirko.exe "*.dll" platforms styles imageformats
    # Wine's server and its desktop process keep running, as they do on a desktop: one start to wake them.
    time_start "$out/windows" /usr/lib/wine/wine64 ./Kopirko.exe >/dev/null
    measure "Windows (Wine)" "$out/windows" /usr/lib/wine/wine64 ./Kopirko.exe
    wineserver -k
fi
