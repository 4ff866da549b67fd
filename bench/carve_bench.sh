#!/usr/bin/env bash
# Speed of the scan of free clusters for old file records (-filter_unalloc_clusters).
#
#   bench/carve_bench.sh [size in GiB, default 4] [cluster size, default 4096]
#
# Builds (or reuses) in $SKELVAR_BENCH_DIR (default: $TMPDIR/skelvar-bench) a volume image whose free
# clusters hold pseudo-random bytes and 16 copies of the carving fixture's old $MFT (386 records each):
# the image is filled first, the copies written, then mkntfs -Q formats it without clearing anything.
# With the image in the page cache it times, each the best of $BENCH_RUNS (default 3):
#   cat <image> >/dev/null                      what reading the image costs at all
#   skelvar -image <image> -filter_unalloc_clusters -quiet -out /dev/null
#   carve_scan_bench <image>                     the slot scan alone, one read per slot up to 16 MiB blocks,
#                                                and the check that every read size finds the same slots
# and prints MB/s of free space scanned, CPU seconds, and the ratio to cat. Needs mkntfs, openssl, /usr/bin/time.
set -euo pipefail

gib=${1:-4}
cluster=${2:-4096}
runs=${BENCH_RUNS:-3}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
work=${SKELVAR_BENCH_DIR:-${TMPDIR:-/tmp}/skelvar-bench}
img="$work/carve_${gib}g_${cluster}.img"
mkdir -p "$work"

if [[ ! -f "$build/CMakeCache.txt" ]] || ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target skelvar carve_scan_bench >/dev/null

if [[ ! -f $img ]]; then
    bytes=$((gib << 30))
    # Deterministic bytes that are neither zeros nor records.
    { openssl enc -aes-128-ctr -nosalt -pass pass:skelvar -pbkdf2 </dev/zero 2>/dev/null || true; } |
        head -c "$bytes" >"$img.part"
    old_mft=$(mktemp)
    gzip -dc "$root/tests/fixtures/data/carve_a.mft.gz" >"$old_mft"
    for i in $(seq 1 16); do
        dd if="$old_mft" of="$img.part" bs=4096 seek=$((bytes / 4096 * i / 17)) conv=notrunc status=none
    done
    rm -f "$old_mft"
    mkntfs -F -Q -q -s 512 -c "$cluster" "$img.part" >/dev/null 2>&1
    mv "$img.part" "$img"
fi
size=$(stat -c %s "$img")

# Best wall time of $runs runs of a command: prints "<wall> <cpu>".
best_of() {
    local best="" cpu="" log
    log=$(mktemp)
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f '%e %U %S' -o "$log" "$@" >/dev/null 2>/dev/null
        read -r w u s <"$log"
        if [[ -z $best ]] || awk -v a="$w" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$w
            cpu=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
        fi
    done
    rm -f "$log"
    echo "$best $cpu"
}

cat "$img" >/dev/null  # into the page cache
read -r cat_wall cat_cpu < <(best_of cat "$img")
diags=$(mktemp)
"$build/skelvar" -image "$img" -filter_unalloc_clusters -quiet -out /dev/null -diags "$diags" >/dev/null 2>&1
free_clusters=$(sed -n 's/.*unallocated scan: \([0-9]*\) free clusters.*/\1/p' "$diags" | tail -1)
found=$(sed -n 's/.*slots, \([0-9]*\) records.*/\1/p' "$diags" | tail -1)
rm -f "$diags"
read -r scan_wall scan_cpu < <(best_of "$build/skelvar" -image "$img" -filter_unalloc_clusters -quiet -out /dev/null)

free_mb=$(awk -v c="$free_clusters" -v s="$cluster" 'BEGIN { printf "%.0f", c * s / 1e6 }')
awk -v size="$size" -v free="$free_mb" -v cw="$cat_wall" -v cc="$cat_cpu" -v sw="$scan_wall" -v sc="$scan_cpu" \
    -v found="$found" 'BEGIN {
    printf "image %.0f MB, %s MB of it free, %s records found there\n", size / 1e6, free, found
    printf "cat:     %6.2f s wall %6.2f s cpu  %7.0f MB/s of image\n", cw, cc, size / 1e6 / cw
    printf "skelvar: %6.2f s wall %6.2f s cpu  %7.0f MB/s of free space (%.0f MB/s per cpu second), %.2f x the time of cat\n",
        sw, sc, free / sw, free / (sc > 0 ? sc : 0.01), sw / cw
}'
"$build/carve_scan_bench" "$img"
