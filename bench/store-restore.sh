#!/usr/bin/env bash
# Times restoring a copy-mode day of many small files (bench/small_tree.py, 2,000 by default) from an S3-compatible
# store into an empty folder, as the page "Vracanje" does. The store is the tests' radosgw (scripts/s3-test-server),
# started here and stopped at the end; the day is sent once with kopirko_offsite_bench. With KOPIRKO_BENCH_OTHER set
# to another build of kopirko_store_restore_bench (an earlier commit's), the two take turns, round after round, and
# the medians and their ratio are shown.
# Usage: bench/store-restore.sh [BUILD_DIR]   (KOPIRKO_BENCH_OUT: the work folder, /tmp/kopirko-bench-store-restore;
#        KOPIRKO_BENCH_ROUNDS: rounds, 3; KOPIRKO_BENCH_FILES: files of the day, 2000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${KOPIRKO_BENCH_OUT:-/tmp/kopirko-bench-store-restore}
rounds=${KOPIRKO_BENCH_ROUNDS:-3}
count=${KOPIRKO_BENCH_FILES:-2000}
source bench/common.sh
mkdir -p "$out"
start_test_store

day=$out/day-$count
if [ ! -f "$day.complete" ]; then
    rm -rf "$day"
    python3 bench/small_tree.py "$day/05_12_2026_Podaci_backup" "$count" >&2
    touch "$day.complete"
fi
prefix=restore-$RANDOM
"$build/bin/kopirko_offsite_bench" "$server/server.ini" "$day" 05_12_2026 "$prefix" >&2

declare -A taken=()
builds=(this)
[ -n "${KOPIRKO_BENCH_OTHER:-}" ] && builds+=(other)
for round in $(seq "$rounds"); do
    for which in "${builds[@]}"; do
        bench=$build/bin/kopirko_store_restore_bench
        [ "$which" = other ] && bench=$KOPIRKO_BENCH_OTHER
        rm -rf "$out/target"
        mkdir -p "$out/target"
        seconds=$("$bench" "$server/server.ini" "$prefix" "$out/target" | cut -d' ' -f1)
        taken[$which]+="$seconds "
        echo "round $round $which: $seconds s (load $(cut -d' ' -f1 /proc/loadavg))" >&2
    done
done
med() { tr ' ' '\n' <<<"$1" | grep . | median; }
line="$count files from the store, medians of $rounds: this build $(med "${taken[this]}") s"
if [ -n "${KOPIRKO_BENCH_OTHER:-}" ]; then
    line+=", the other $(med "${taken[other]}") s ($(awk -v a="$(med "${taken[this]}")" -v b="$(med "${taken[other]}")" \
        'BEGIN { printf "%.2fx", a / b }'))"
fi
echo "$line (load $(cut -d' ' -f1-3 /proc/loadavg))"
