#!/usr/bin/env bash
# Times a compressed-mode backup made by Kopirko's engine against `zip -r -q -6` of the same tree, in one run,
# the page cache dropped before each (where allowed). Prints the time ratio, the archive size ratio and our
# peak RSS (medians over the repetitions), and checks our archive with unzip -t. The tree (20,000 small
# files in nested folders plus three 100 MB files: a database, a log, a media file) is made once in
# bench/out/compressed/.
# Then, for trees of small files only (bench/small_tree.py; the counts in KOPIRKO_BENCH_COUNTS, by default
# 10000 100000 500000), prints our peak RSS and its growth per file between the smallest and the largest tree.
# Usage: bench/compressed.sh [repetitions]   (KOPIRKO_BENCH_MIXED=0 leaves the mixed tree out)
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-3}
build_dir=${KOPIRKO_BUILD_DIR:-build}
out=$PWD/bench/out/compressed
tree=$out/tree
[ -x /usr/bin/time ] || { apt-get install -y -qq time >/dev/null; }
cmake --build "$build_dir" --target kopirko_zip_bench >/dev/null
engine=$PWD/$build_dir/bin/kopirko_zip_bench

if [ "${KOPIRKO_BENCH_MIXED:-1}" != 0 ] && [ ! -f "$out/.complete" ]; then
    echo "Making the tree in $tree ..."
    rm -rf "$out"
    mkdir -p "$out"
    python3 bench/compressed_tree.py "$tree"
    touch "$out/.complete"
fi

source bench/common.sh

if [ "${KOPIRKO_BENCH_MIXED:-1}" != 0 ]; then
    declare -a ours_time zip_time ours_rss time_ratio size_ratio
    for ((i = 1; i <= repetitions; i++)); do
        rm -rf "$out/ours" "$out/peer.zip"
        mkdir -p "$out/ours"
        drop_caches; read -r t m < <(measure "$engine" "$tree" "$out/ours"); ours_time+=("$t"); ours_rss+=("$m")
        drop_caches; read -r t _ < <(cd "$out" && measure zip -r -q -6 "$out/peer.zip" tree); zip_time+=("$t")
        archive=$(ls "$out"/ours/*.zip)
        ours_size=$(stat -c %s "$archive")
        zip_size=$(stat -c %s "$out/peer.zip")
        time_ratio+=("$(echo "${ours_time[-1]} ${zip_time[-1]}" | awk '{printf "%.3f", $1 / $2}')")
        size_ratio+=("$(echo "$ours_size $zip_size" | awk '{printf "%.4f", $1 / $2}')")
        echo "run $i: kopirko ${ours_time[-1]} s, zip ${zip_time[-1]} s (ratio ${time_ratio[-1]});" \
            "archive $ours_size vs $zip_size bytes (ratio ${size_ratio[-1]}); peak RSS ${ours_rss[-1]} KiB"
    done
    unzip -tq "$archive" >/dev/null && echo "unzip -t: our archive is sound"

    echo "compressed run vs zip -r -6 (medians of $repetitions):"
    echo "  time ratio $(printf '%s\n' "${time_ratio[@]}" | median) (target <= 0.5)"
    echo "  size ratio $(printf '%s\n' "${size_ratio[@]}" | median) (target <= 1.05)"
    echo "  peak RSS $(printf '%s\n' "${ours_rss[@]}" | median | awk '{printf "%.1f", $1 / 1024}') MiB (target <= 64)"
fi

# Small files only: what each file costs in memory.
counts=(${KOPIRKO_BENCH_COUNTS:-10000 100000 500000})
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
