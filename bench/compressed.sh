#!/usr/bin/env bash
# Times a compressed-mode backup made by Kopirko's engine against `zip -r -q -6` of the same tree, in one run,
# the page cache dropped before each (where allowed). Prints the time ratio, the archive size ratio and our
# peak RSS (medians over the repetitions), and checks our archive with unzip -t. The tree (20,000 small
# files in nested folders plus three 100 MB files: a database, a log, a media file) is made once in
# bench/out/compressed/.
# Then, for trees of small files only (bench/small_tree.py; the counts in KOPIRKO_BENCH_COUNTS, by default
# 10000 100000 500000), prints our peak RSS and its growth per file between the smallest and the largest tree.
# Then, on the tree of KOPIRKO_BENCH_PEERS small files (100000 by default; 0 leaves it out), times our run against
# `zip -r -q -6` and `tar -cf - | pigz -6`, interleaved, the page cache dropped before each (where allowed), and
# prints the time ratios against each, the processor time (user and system) against each, the archive size against
# zip's (medians of the runs' ratios) and the load average before each run: on a machine shared with other work the
# ratios count, not the times.
# Usage: bench/compressed.sh [repetitions]   (KOPIRKO_BENCH_MIXED=0 leaves the mixed tree out, KOPIRKO_BENCH_COUNTS=0
# the memory figures; KOPIRKO_BENCH_ENGINE runs another build of the engine)
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-3}
build_dir=${KOPIRKO_BUILD_DIR:-build}
out=$PWD/bench/out/compressed
tree=$out/tree
[ -x /usr/bin/time ] || { apt-get install -y -qq time >/dev/null; }
engine=${KOPIRKO_BENCH_ENGINE:-$PWD/$build_dir/bin/kopirko_zip_bench}
[ -n "${KOPIRKO_BENCH_ENGINE:-}" ] || cmake --build "$build_dir" --target kopirko_zip_bench >/dev/null

if [ "${KOPIRKO_BENCH_MIXED:-1}" != 0 ] && [ ! -f "$out/.complete" ]; then
    echo "Making the tree in $tree ..."
    rm -rf "$out"
    mkdir -p "$out"
    python3 bench/compressed_tree.py "$tree"
    touch "$out/.complete"
fi

source bench/common.sh

drop_caches
if [ -w /proc/sys/vm/drop_caches ]; then echo "page cache dropped before each run"; else
    echo "the page cache cannot be dropped here: the runs after the first read from memory"; fi
load() { cut -d' ' -f1 /proc/loadavg; }

if [ "${KOPIRKO_BENCH_MIXED:-1}" != 0 ]; then
    declare -a ours_time zip_time ours_rss time_ratio size_ratio cpu_ratio
    for ((i = 1; i <= repetitions; i++)); do
        rm -rf "$out/ours" "$out/peer.zip"
        mkdir -p "$out/ours"
        drop_caches; read -r t m ours_cpu < <(measure_cpu "$engine" "$tree" "$out/ours"); ours_time+=("$t")
        ours_rss+=("$m")
        drop_caches; read -r t _ zip_cpu < <(cd "$out" && measure_cpu zip -r -q -6 "$out/peer.zip" tree)
        zip_time+=("$t")
        archive=$(ls "$out"/ours/*.zip)
        ours_size=$(stat -c %s "$archive")
        zip_size=$(stat -c %s "$out/peer.zip")
        time_ratio+=("$(echo "${ours_time[-1]} ${zip_time[-1]}" | awk '{printf "%.3f", $1 / $2}')")
        size_ratio+=("$(echo "$ours_size $zip_size" | awk '{printf "%.4f", $1 / $2}')")
        cpu_ratio+=("$(awk -v a="$ours_cpu" -v b="$zip_cpu" 'BEGIN{printf "%.3f", a / b}')")
        echo "run $i (load $(load)): kopirko ${ours_time[-1]} s (processor $ours_cpu s), zip ${zip_time[-1]} s" \
            "(processor $zip_cpu s; ratio ${time_ratio[-1]}); archive $ours_size vs $zip_size bytes" \
            "(ratio ${size_ratio[-1]}); peak RSS ${ours_rss[-1]} KiB"
    done
    unzip -tq "$archive" >/dev/null && echo "unzip -t: our archive is sound"

    echo "compressed run vs zip -r -6 (medians of $repetitions):"
    echo "  time ratio $(printf '%s\n' "${time_ratio[@]}" | median) (target <= 0.5)"
    echo "  processor time ratio $(printf '%s\n' "${cpu_ratio[@]}" | median)"
    echo "  size ratio $(printf '%s\n' "${size_ratio[@]}" | median) (target <= 1.05)"
    echo "  peak RSS $(printf '%s\n' "${ours_rss[@]}" | median | awk '{printf "%.1f", $1 / 1024}') MiB (target <= 64)"
fi

# Small files only, against zip and tar | pigz.
peer_count=${KOPIRKO_BENCH_PEERS:-100000}
if [ "$peer_count" != 0 ]; then
    command -v pigz >/dev/null || { apt-get install -y -qq pigz >/dev/null; }
    small=$(small_tree "$peer_count")
    declare -a zip_ratio pigz_ratio zip_cpu_ratio pigz_cpu_ratio small_size_ratio loads
    for ((i = 1; i <= repetitions; i++)); do
        rm -rf "$out/ours" "$out/peer.zip" "$out/peer.tar.gz"
        mkdir -p "$out/ours"
        loads+=("$(load)")
        drop_caches; read -r ours m ours_cpu < <(measure_cpu "$engine" "$small/Podaci" "$out/ours")
        drop_caches; read -r zip_t _ zip_cpu < <(cd "$small" && measure_cpu zip -r -q -6 "$out/peer.zip" Podaci)
        drop_caches; read -r pigz_t _ pigz_cpu < <(measure_cpu sh -c \
            "tar -cf - -C '$small' Podaci | pigz -6 > '$out/peer.tar.gz'")
        archive=$(ls "$out"/ours/*.zip)
        ours_size=$(stat -c %s "$archive") zip_size=$(stat -c %s "$out/peer.zip")
        zip_ratio+=("$(awk -v a="$ours" -v b="$zip_t" 'BEGIN{printf "%.3f", a / b}')")
        pigz_ratio+=("$(awk -v a="$ours" -v b="$pigz_t" 'BEGIN{printf "%.3f", a / b}')")
        small_size_ratio+=("$(awk -v a="$ours_size" -v b="$zip_size" 'BEGIN{printf "%.4f", a / b}')")
        zip_cpu_ratio+=("$(awk -v a="$ours_cpu" -v b="$zip_cpu" 'BEGIN{printf "%.3f", a / b}')")
        pigz_cpu_ratio+=("$(awk -v a="$ours_cpu" -v b="$pigz_cpu" 'BEGIN{printf "%.3f", a / b}')")
        echo "run $i (load $(load)): kopirko $ours s (processor $ours_cpu s, peak RSS $m KiB), zip -6 $zip_t s" \
            "(processor $zip_cpu s), tar | pigz -6 $pigz_t s (processor $pigz_cpu s); archive $ours_size vs" \
            "$zip_size bytes"
    done
    unzip -tq "$archive" >/dev/null && echo "unzip -t: our archive is sound"
    echo "$peer_count small files (medians of $repetitions; load averages ${loads[*]}):"
    echo "  time vs zip -r -6       $(printf '%s\n' "${zip_ratio[@]}" | median) (target <= 0.3)"
    echo "  time vs tar | pigz -6   $(printf '%s\n' "${pigz_ratio[@]}" | median) (target <= 0.7)"
    echo "  processor vs zip -r -6  $(printf '%s\n' "${zip_cpu_ratio[@]}" | median)"
    echo "  processor vs tar | pigz $(printf '%s\n' "${pigz_cpu_ratio[@]}" | median)"
    echo "  size vs zip -6          $(printf '%s\n' "${small_size_ratio[@]}" | median) (target within 2 %)"
    rm -rf "$out/ours" "$out/peer.zip" "$out/peer.tar.gz"
fi

# Small files only: what each file costs in memory.
counts=(${KOPIRKO_BENCH_COUNTS:-10000 100000 500000})
[ "${counts[*]}" = 0 ] && counts=()
declare -a rss_of
for count in "${counts[@]}"; do
    small=$(small_tree "$count")
    rss_count=()
    for ((i = 1; i <= repetitions; i++)); do
        rm -rf "$out/ours"
        mkdir -p "$out/ours"
        drop_caches; read -r t m < <(measure "$engine" "$small/Podaci" "$out/ours"); rss_count+=("$m")
    done
    peak=$(printf '%s\n' "${rss_count[@]}" | median)
    rss_of+=("$peak")
    echo "$count small files: peak RSS $(awk -v m="$peak" 'BEGIN{printf "%.1f", m / 1024}') MiB (target <= 64)"
done
rm -rf "$out/ours"
if [ ${#counts[@]} -gt 1 ]; then
    echo "peak RSS grows by $(awk -v a="${rss_of[0]}" -v b="${rss_of[-1]}" -v n="${counts[0]}" -v m="${counts[-1]}" \
        'BEGIN{printf "%.0f", (b - a) * 1024 / (m - n)}') bytes per file (${counts[0]} to ${counts[-1]} files)"
fi
