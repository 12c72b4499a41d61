#!/usr/bin/env bash
# Times the sending of a day to an S3-compatible store against `s3cmd sync` and `rclone copy` of the same folder to
# the same store: a day of 10,000 small files (bench/small_tree.py) and a day of one 500 MB archive, each sent once
# into an empty prefix and once more unchanged. The three take turns, round after round, and the medians are shown.
# The store is the tests' radosgw (scripts/s3-test-server), started here and stopped at the end; it keeps its data in
# memory (2 GiB), so the archives of a round are deleted, and their space freed, before the next.
# Usage: bench/offsite.sh [BUILD_DIR]   (KOPIRKO_BENCH_OUT: the work folder, /tmp/kopirko-bench-offsite;
#        KOPIRKO_BENCH_ROUNDS: rounds, 3; KOPIRKO_BENCH_DAYS: "small large")
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${KOPIRKO_BENCH_OUT:-/tmp/kopirko-bench-offsite}
rounds=${KOPIRKO_BENCH_ROUNDS:-3}
source bench/common.sh
mkdir -p "$out"
start_test_store
setting() { sed -n "s/^$1=//p" "$server/server.ini"; }
bucket=$(setting plainBucket)

# rclone's remote "store", given in its environment only; the system's CA bundle variable would send its S3 client
# looking for TLS settings a plain-HTTP store does not need.
rclone_env=(env -u AWS_CA_BUNDLE RCLONE_CONFIG=/dev/null RCLONE_CONFIG_STORE_TYPE=s3 RCLONE_CONFIG_STORE_PROVIDER=Ceph
    RCLONE_CONFIG_STORE_ENDPOINT="$(setting endpoint)" RCLONE_CONFIG_STORE_REGION="$(setting region)"
    RCLONE_CONFIG_STORE_ACCESS_KEY_ID="$(setting accessKey)"
    RCLONE_CONFIG_STORE_SECRET_ACCESS_KEY="$(setting secretKey)")

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

seconds() { /usr/bin/time -f "%e" -o "$out/time.txt" "$@" >"$out/last.log" 2>&1; cat "$out/time.txt"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

# One sending of `folder` by `tool` to the prefix `to` of the bucket.
send() {
    local tool=$1 folder=$2 to=$3
    case $tool in
    kopirko) seconds "$build/bin/kopirko_offsite_bench" "$server/server.ini" "$folder" 05_12_2026 "$to" ;;
    s3cmd) seconds s3cmd -c "$server/s3cmd.cfg" sync --no-progress "$folder/" "s3://$bucket/$to/" ;;
    rclone) seconds "${rclone_env[@]}" rclone copy "$folder/" "store:$bucket/$to/" ;;
    esac
}

tools=(kopirko s3cmd rclone)
for day in ${KOPIRKO_BENCH_DAYS:-small large}; do
    folder=$out/$day-day
    declare -A first=() again=()
    for round in $(seq "$rounds"); do
        for tool in "${tools[@]}"; do
            to=$tool-$day-$round-$RANDOM
            first[$tool]+="$(send "$tool" "$folder" "$to") "
            again[$tool]+="$(send "$tool" "$folder" "$to") "
            echo "$day round $round $tool: first ${first[$tool]}/ unchanged ${again[$tool]}($(cut -d' ' -f1 /proc/loadavg))" >&2
            if [ "$day" = large ]; then
                # The gateway frees a deleted object's data hours later, by when the store would be full.
                s3cmd -c "$server/s3cmd.cfg" del --recursive "s3://$bucket/$to/" >/dev/null
                CEPH_CONF=$server/ceph.conf radosgw-admin gc process --include-all >/dev/null 2>&1
            fi
        done
    done
    med() { tr ' ' '\n' <<<"$1" | grep . | median; }
    ours1=$(med "${first[kopirko]}")
    ours2=$(med "${again[kopirko]}")
    line="$day day, medians of $rounds: first sending ${ours1} s, unchanged ${ours2} s"
    for tool in s3cmd rclone; do
        t1=$(med "${first[$tool]}")
        t2=$(med "${again[$tool]}")
        line+="; $tool ${t1} s ($(ratio "$ours1" "$t1")), unchanged ${t2} s ($(ratio "$ours2" "$t2"))"
    done
    echo "$line (load $(cut -d' ' -f1-3 /proc/loadavg))"
done
