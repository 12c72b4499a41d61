# What the benchmark scripts share; sourced by them with `out` (their output folder) set.

drop_caches() { sync; echo 3 > /proc/sys/vm/drop_caches 2>/dev/null || true; }

# seconds and peak RSS (KiB) of one command
measure() {
    /usr/bin/time -f "%e %M" -o "$out/time.txt" "$@" >/dev/null
    cat "$out/time.txt"
}

# seconds, peak RSS (KiB) and processor seconds (user and system, with the children's) of one command
measure_cpu() {
    /usr/bin/time -f "%e %M %U %S" -o "$out/time.txt" "$@" >/dev/null
    awk '{printf "%s %s %.2f\n", $1, $2, $3 + $4}' "$out/time.txt"
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The tree of `count` small files (bench/small_tree.py) in "$out/small-<count>/Podaci", made once.
small_tree() {
    local count=$1 small=$out/small-$1
    if [ ! -f "$small/.complete" ]; then
        rm -rf "$small"
        python3 bench/small_tree.py "$small/Podaci" "$count" >&2
        touch "$small/.complete"
    fi
    echo "$small"
}

# Starts the tests' S3 store (scripts/s3-test-server) in "$out/server", sets `server` to that folder and stops the
# store when the bench ends.
start_test_store() {
    server=$out/server
    scripts/s3-test-server start "$server" >&2
    trap 'scripts/s3-test-server stop "$server" >&2' EXIT
}
