#!/usr/bin/env bash
# Times the sending of a day to an S3-compatible store against `s3cmd sync` to the same store: a day of 10,000
# small files (bench/small_tree.py) and a day of one 500 MB archive, each sent once into an empty prefix and once
# more unchanged. The store is the tests' radosgw (scripts/s3-test-server), started here and stopped at the end.
# Usage: bench/offsite.sh [BUILD_DIR]   (KOPIRKO_BENCH_OUT: the work folder, /tmp/kopirko-bench-offsite)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${KOPIRKO_BENCH_OUT:-/tmp/kopirko-bench-offsite}
source bench/common.sh
mkdir -p "$out"
server=$out/server
scripts/s3-test-server start "$server" >&2
trap 'scripts/s3-test-server stop "$server" >&2' EXIT
bucket=$(sed -n 's/^plainBucket=//p' "$server/server.ini")

small=$out/small-day
if [ ! -f "$small.complete" ]; then
    rm -rf "$small"
    python3 bench/small_tree.py "$small/05_12_2026_Podaci_backup" 10000 >&2
    touch "$small.complete"
fi
large=$out/large-day
if [ ! -f "$large.complete" ]; then
    rm -rf "$large"
    mkdir -p "$large"
    head -c 500000000 /dev/urandom >"$large/05_12_2026_Arhiva_backup.zip"
    touch "$large.complete"
fi

seconds() { /usr/bin/time -f "%e" -o "$out/time.txt" "$@" >/dev/null 2>&1; cat "$out/time.txt"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

for day in ${KOPIRKO_BENCH_DAYS:-small large}; do
    folder=$out/$day-day
    ours1=$(seconds "$build/bin/kopirko_offsite_bench" "$server/server.ini" "$folder" 05_12_2026 "kopirko-$day")
    ours2=$(seconds "$build/bin/kopirko_offsite_bench" "$server/server.ini" "$folder" 05_12_2026 "kopirko-$day")
    theirs1=$(seconds s3cmd -c "$server/s3cmd.cfg" sync --no-progress "$folder/" "s3://$bucket/s3cmd-$day/")
    theirs2=$(seconds s3cmd -c "$server/s3cmd.cfg" sync --no-progress "$folder/" "s3://$bucket/s3cmd-$day/")
    echo "$day day: first sending ${ours1} s against s3cmd sync ${theirs1} s ($(ratio "$ours1" "$theirs1"));" \
        "unchanged ${ours2} s against ${theirs2} s ($(ratio "$ours2" "$theirs2"))"
done
