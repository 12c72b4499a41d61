#!/usr/bin/env bash
# Times a compressed-mode backup made by Kopirko's engine against `zip -r -q -6` of the same tree, in one run,
# the page cache dropped before each (where allowed). Prints the time ratio, the archive size ratio and our
# peak RSS (medians over the repetitions), and checks our archive with unzip -t. The tree (20,000 small
# files in nested folders plus three 100 MB files: a database, a log, a media file) is made once in
# bench/out/compressed/.
# Usage: bench/compressed.sh [repetitions]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-3}
build_dir=${KOPIRKO_BUILD_DIR:-build}
out=$PWD/bench/out/compressed
tree=$out/tree
[ -x /usr/bin/time ] || { apt-get install -y -qq time >/dev/null; }
cmake --build "$build_dir" --target kopirko_zip_bench >/dev/null
engine=$PWD/$build_dir/bin/kopirko_zip_bench

if [ ! -f "$out/.complete" ]; then
    echo "Making the tree in $tree ..."
    rm -rf "$out"
    mkdir -p "$out"
    python3 bench/compressed_tree.py "$tree"
    touch "$out/.complete"
fi

drop_caches() { sync; echo 3 > /proc/sys/vm/drop_caches 2>/dev/null || true; }

# seconds and peak RSS (KiB) of one command
measure() {
    /usr/bin/time -f "%e %M" -o "$out/time.txt" "$@" >/dev/null
    cat "$out/time.txt"
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

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
