#!/usr/bin/env bash
# Times restoring a whole day's backup folder of COUNT small files (bench/small_tree.py; 100,000 by default) into an
# empty folder, as the page "Vracanje" does it (the plan, then each file under a temporary name, written through to
# the disk and renamed), against cp -a of the same backup folder. The two alternate round by round, the page cache
# dropped before each; prints both medians and their ratio.
# Usage: bench/restore.sh [repetitions] [count]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-5}
count=${2:-100000}
build_dir=${KOPIRKO_BUILD_DIR:-build}
out=bench/out
[ -x /usr/bin/time ] || { apt-get install -y -qq time >/dev/null; }
cmake --build "$build_dir" --target kopirko_restore_bench >/dev/null
engine=$build_dir/bin/kopirko_restore_bench
source bench/common.sh

small=$(small_tree "$count")
backups=$out/restore-$count
backup=$backups/06_12_2026_Podaci_backup
if [ ! -f "$backups/.complete" ]; then
    rm -rf "$backups"
    mkdir -p "$backups"
    cp -a "$small/Podaci" "$backup"
    touch "$backups/.complete"
fi

declare -a ours theirs
for ((i = 1; i <= repetitions; i++)); do
    rm -rf "$out/restored-ours" "$out/restored-cp"
    drop_caches; read -r t _ < <(measure "$engine" "$PWD/$backups" "$PWD/$out/restored-ours"); ours+=("$t")
    drop_caches; read -r t _ < <(measure cp -a "$backup" "$out/restored-cp"); theirs+=("$t")
    diff -rq "$backup" "$out/restored-ours" >/dev/null || { echo "the restored tree differs from the backup" >&2; exit 1; }
done
o=$(printf '%s\n' "${ours[@]}" | median); c=$(printf '%s\n' "${theirs[@]}" | median)
echo "restoring $count files: kopirko ${o}s, cp -a ${c}s (medians of $repetitions), ratio" \
    "$(awk -v a="$o" -v b="$c" 'BEGIN{printf "%.2f", a/b}')x"
rm -rf "$out/restored-ours" "$out/restored-cp"
