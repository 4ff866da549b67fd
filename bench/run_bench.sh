#!/usr/bin/env bash
# Throughput benchmark of skelvar on a synthetic extracted $MFT.
#
#   bench/run_bench.sh [records] [seed]
#
# Builds the Release tree in build/ when needed, generates (or reuses) the
# synthetic $MFT in $SKELVAR_BENCH_DIR (default: $TMPDIR/skelvar-bench), then
# times the default timeline and the -csv layout with /usr/bin/time -v and
# prints records per second and peak RSS, then the wall time of -cpu 2 against
# the single run of each layout (measured back to back). BENCH_RUNS=n keeps the
# best of n runs.
set -euo pipefail

records=${1:-1000000}
seed=${2:-1}
runs=${BENCH_RUNS:-1}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
work=${SKELVAR_BENCH_DIR:-${TMPDIR:-/tmp}/skelvar-bench}
mft="$work/synthetic_${records}_seed${seed}.mft"

[[ -x /usr/bin/time ]] || { echo "run_bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
mkdir -p "$work"

if [[ ! -f "$build/CMakeCache.txt" ]] || ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target skelvar make_synthetic_mft >/dev/null

# The file name carries records and seed, so a present file is the one wanted unless cut short.
if [[ ! -f "$mft" || $(stat -c %s "$mft") -ne $((records * 1024)) ]]; then
    "$build/make_synthetic_mft" "$mft.part" "$records" "$seed"
    mv "$mft.part" "$mft"
fi

# Prints "<seconds> <cpu seconds> <max rss kB> <output bytes> <output lines>" for the best of $runs runs
# (best by wall clock; CPU time, user + system, is the steadier figure on a busy machine).
time_layout() {
    local out="$work/out.txt" log="$work/time.log" best="" cpu="" rss=0 bytes=0 lines=0
    for ((i = 0; i < runs; i++)); do
        rm -f "$out"
        if ! /usr/bin/time -v -o "$log" "$build/skelvar" -mftfile "$mft" -quiet -out "$out" "$@" >/dev/null 2>"$work/stderr.txt"; then
            echo "run_bench: skelvar $* failed:" >&2
            cat "$work/stderr.txt" "$log" >&2
            return 1
        fi
        local wall kb secs used
        wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$log")
        used=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.3f", s }' "$log")
        kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
        # h:mm:ss or m:ss.ss
        secs=$(awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.3f", s }' <<<"$wall")
        if [[ -z "$best" ]] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$secs cpu=$used; fi
        ((kb > rss)) && rss=$kb
        bytes=$(stat -c %s "$out")
        lines=$(wc -l <"$out")
    done
    rm -f "$out"
    echo "$best $cpu $rss $bytes $lines"
}

echo "skelvar benchmark: $records records (seed $seed), $mft"
echo "commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown), best of $runs run(s), load:$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %10s %9s %12s %9s %14s %14s %12s %11s\n' layout records seconds "records/s" "cpu s" "records/cpu-s" \
    "peak RSS MiB" "output MiB" "out lines"
for layout in timeline csv; do
    if [[ $layout == csv ]]; then args=(-csv); else args=(); fi
    result=$(time_layout "${args[@]}") || exit 1
    read -r secs cpu kb bytes lines <<<"$result"
    awk -v l="$layout" -v n="$records" -v s="$secs" -v c="$cpu" -v kb="$kb" -v b="$bytes" -v ln="$lines" 'BEGIN {
        printf "%-10s %10d %9.2f %12.0f %9.2f %14.0f %14.1f %12.1f %11d\n", l, n, s, (s > 0 ? n / s : 0), c,
               (c > 0 ? n / c : 0), kb / 1024, b / 1048576, ln
    }'
done

# Two instances on the same $MFT: the single run and -cpu 2 back to back, per layout.
printf '\n%-10s %12s %12s %8s\n' layout "single s" "-cpu 2 s" ratio
for layout in timeline csv; do
    if [[ $layout == csv ]]; then args=(-csv); else args=(); fi
    single=$(time_layout "${args[@]}") || exit 1
    double=$(time_layout "${args[@]}" -cpu 2) || exit 1
    awk -v l="$layout" -v a="${single%% *}" -v b="${double%% *}" 'BEGIN {
        printf "%-10s %12.2f %12.2f %8.2f\n", l, a, b, (a > 0 ? b / a : 0)
    }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
