#!/usr/bin/env bash
# Times a copy-mode backup made by Kopirko's engine against cp -r --preserve=timestamps of the same tree, in
# one run: first into an empty destination, then over an existing copy. Prints the time ratios and our peak
# RSS. The tree (20,000 small files in nested folders plus three 100 MB files) is made once in bench/out/.
# Then, for trees of small files only (bench/small_tree.py; the counts in KOPIRKO_BENCH_COUNTS, by default
# 10000 100000 500000), times the first copy of the day against cp -a and the same day's second run against the
# first and against rsync -a over an existing copy, interleaved, and prints the time ratios (medians), our peak
# RSS and its growth per file between the smallest and the largest tree.
# Usage: bench/copy.sh [repetitions]   (KOPIRKO_BENCH_MIXED=0 leaves the mixed tree out)
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-3}
build_dir=${KOPIRKO_BUILD_DIR:-build}
out=bench/out
tree=$out/tree/Podaci
[ -x /usr/bin/time ] || { apt-get install -y -qq time >/dev/null; }
command -v rsync >/dev/null || { apt-get install -y -qq rsync >/dev/null; }
cmake --build "$build_dir" --target kopirko_copy_bench >/dev/null
engine=$build_dir/bin/kopirko_copy_bench

if [ "${KOPIRKO_BENCH_MIXED:-1}" != 0 ] && [ ! -f "$out/tree/.complete" ]; then
    echo "Making the tree in $tree ..."
    rm -rf "$out/tree"
    python3 - "$tree" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(7)
count = 0
for a in range(20):
    for b in range(25):
        folder = os.path.join(root, f"odjel_{a:02d}", f"racuni_{b:02d}")
        os.makedirs(folder, exist_ok=True)
        for c in range(40):
            size = random.randint(200, 16000)
            with open(os.path.join(folder, f"dokument_{c:03d}.txt"), "wb") as f:
                f.write((f"racun {count} " * (size // 12 + 1)).encode()[:size])
            count += 1
big = os.path.join(root, "baze")
os.makedirs(big, exist_ok=True)
block = os.urandom(1 << 20)
for i in range(3):
    with open(os.path.join(big, f"arhiva_{i}.bin"), "wb") as f:
        for _ in range(100):
            f.write(block)
print(count, "small files and 3 files of 100 MB")
PY
    touch "$out/tree/.complete"
fi

source bench/common.sh

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2f", a/b; else print "n/a" }'; }

if [ "${KOPIRKO_BENCH_MIXED:-1}" != 0 ]; then
    declare -a ours_cold cp_cold ours_warm cp_warm rss
    for ((i = 1; i <= repetitions; i++)); do
        rm -rf "$out/dest-ours" "$out/dest-cp"
        mkdir -p "$out/dest-ours" "$out/dest-cp"
        drop_caches; read -r t m < <(measure "$engine" "$PWD/$out/dest-ours" "$PWD/$tree"); ours_cold+=("$t"); rss+=("$m")
        drop_caches; read -r t m < <(measure cp -r --preserve=timestamps "$tree" "$out/dest-cp/"); cp_cold+=("$t")
        # the same again over the existing copies: every file overwritten
        drop_caches; read -r t m < <(measure "$engine" "$PWD/$out/dest-ours" "$PWD/$tree"); ours_warm+=("$t"); rss+=("$m")
        drop_caches; read -r t m < <(measure cp -r --preserve=timestamps "$tree" "$out/dest-cp/"); cp_warm+=("$t")
    done

    oc=$(printf '%s\n' "${ours_cold[@]}" | median); cc=$(printf '%s\n' "${cp_cold[@]}" | median)
    ow=$(printf '%s\n' "${ours_warm[@]}" | median); cw=$(printf '%s\n' "${cp_warm[@]}" | median)
    peak=$(printf '%s\n' "${rss[@]}" | sort -n | tail -1)
    echo "copy into an empty destination: kopirko ${oc}s, cp ${cc}s, ratio $(awk -v a="$oc" -v b="$cc" 'BEGIN{printf "%.2f", a/b}')x"
    echo "copy over an existing copy:     kopirko ${ow}s, cp ${cw}s, ratio $(awk -v a="$ow" -v b="$cw" 'BEGIN{printf "%.2f", a/b}')x"
    echo "peak RSS of kopirko: $((peak / 1024)) MiB"
    rm -rf "$out/dest-ours" "$out/dest-cp"
fi

# Small files only: what each file costs.
counts=(${KOPIRKO_BENCH_COUNTS:-10000 100000 500000})
declare -a rss_of
for count in "${counts[@]}"; do
    small=$(small_tree "$count")
    declare -a first cp_first second rsync_second rss_count
    first=() cp_first=() second=() rsync_second=() rss_count=()
    for ((i = 1; i <= repetitions; i++)); do
        rm -rf "$out/dest-ours" "$out/dest-cp"
        mkdir -p "$out/dest-ours" "$out/dest-cp"
        drop_caches; read -r t m < <(measure "$engine" "$PWD/$out/dest-ours" "$PWD/$small/Podaci"); first+=("$t"); rss_count+=("$m")
        drop_caches; read -r t _ < <(measure cp -a "$small/Podaci" "$out/dest-cp/"); cp_first+=("$t")
        # the same day again, nothing changed in the source
        drop_caches; read -r t m < <(measure "$engine" "$PWD/$out/dest-ours" "$PWD/$small/Podaci"); second+=("$t"); rss_count+=("$m")
        drop_caches; read -r t _ < <(measure rsync -a "$small/Podaci" "$out/dest-cp/"); rsync_second+=("$t")
    done
    f=$(printf '%s\n' "${first[@]}" | median); c=$(printf '%s\n' "${cp_first[@]}" | median)
    s2=$(printf '%s\n' "${second[@]}" | median); r=$(printf '%s\n' "${rsync_second[@]}" | median)
    peak=$(printf '%s\n' "${rss_count[@]}" | sort -n | tail -1)
    rss_of+=("$peak")
    echo "$count small files: first copy vs cp -a $(ratio "$f" "$c")x; same-day second run vs first $(ratio "$s2" "$f")x," \
        "vs rsync -a $(ratio "$s2" "$r")x; peak RSS $((peak / 1024)) MiB"
    rm -rf "$out/dest-ours" "$out/dest-cp"
done
if [ ${#counts[@]} -gt 1 ]; then
    echo "peak RSS grows by $(awk -v a="${rss_of[0]}" -v b="${rss_of[-1]}" -v n="${counts[0]}" -v m="${counts[-1]}" \
        'BEGIN{printf "%.0f", (b - a) * 1024 / (m - n)}') bytes per file (${counts[0]} to ${counts[-1]} files)"
fi
