#!/usr/bin/env bash
# Throughput and memory of skelvar on synthetic extracted $MFTs, every layout.
#
#   bench/run_bench.sh [record counts, default "1000000 4000000"] [seed, default 1]
#
# Builds the Release tree in build/ when needed (SKELVAR_BIN=<binary> measures another build instead),
# generates (or reuses) each synthetic $MFT in $SKELVAR_BENCH_DIR (default: $TMPDIR/skelvar-bench), then runs
# every layout BENCH_RUNS times (default 3) and prints, for the run with the least CPU time (user + system,
# the steadier figure on a shared machine), entries per CPU second and per wall second, and the highest
# peak RSS of the runs. Results go to $BENCH_OUT (default /dev/null: what skelvar does, not what the disk
# does; give a file path to count the cost of writing too). The load average is printed with each layout.
#
# When the build offers -cpu, the default timeline of the first record count is also run with -cpu 2 into
# a file, back to back with the single run into a file, and the ratio of wall times is printed. Both write
# into $BENCH_CPU_DIR (default: the bench folder), where the instance files go too: a tmpfs folder there
# (BENCH_CPU_DIR=/dev/shm) takes the disk out of the comparison.
set -euo pipefail

counts=${1:-"1000000 4000000"}
seed=${2:-1}
runs=${BENCH_RUNS:-3}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
work=${SKELVAR_BENCH_DIR:-${TMPDIR:-/tmp}/skelvar-bench}
dest=${BENCH_OUT:-/dev/null}
cpu_dir=${BENCH_CPU_DIR:-$work}

[[ -x /usr/bin/time ]] || { echo "run_bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
mkdir -p "$work"

if [[ -z ${SKELVAR_BIN:-} ]]; then
    if [[ ! -f "$build/CMakeCache.txt" ]] || ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
        cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$build" -j2 --target skelvar make_synthetic_mft >/dev/null
fi
bin=${SKELVAR_BIN:-$build/skelvar}
gen=$build/make_synthetic_mft
[[ -x $gen ]] || gen=$(dirname "$bin")/make_synthetic_mft

# The file name carries records and seed, so a present file is the one wanted unless cut short.
synthetic() {  # <records> -> path
    local mft="$work/synthetic_$1_seed${seed}.mft"
    if [[ ! -f "$mft" || $(stat -c %s "$mft") -ne $(($1 * 1024)) ]]; then
        "$gen" "$mft.part.$$" "$1" "$seed" >&2
        mv "$mft.part.$$" "$mft"
    fi
    echo "$mft"
}

# "<wall s> <cpu s> <max RSS kB>": wall and CPU of the run with the least CPU time, the highest RSS of all.
measure() {  # <out file> <skelvar arguments...>
    local out=$1 log="$work/time.$$.log" cpu="" wall="" rss=0
    shift
    for ((i = 0; i < runs; i++)); do
        if ! /usr/bin/time -f '%e %U %S %M' -o "$log" "$bin" "$@" -quiet -out "$out" >/dev/null 2>"$work/stderr.$$.txt"; then
            echo "run_bench: skelvar $* failed:" >&2
            cat "$work/stderr.$$.txt" "$log" >&2
            return 1
        fi
        local w u s kb c
        read -r w u s kb <"$log"
        c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
        if [[ -z "$cpu" ]] || awk -v a="$c" -v b="$cpu" 'BEGIN { exit !(a < b) }'; then cpu=$c wall=$w; fi
        ((kb > rss)) && rss=$kb
    done
    rm -f "$log" "$work/stderr.$$.txt"
    echo "$wall $cpu $rss"
}

load() { cut -d' ' -f1-3 /proc/loadavg; }

if [[ -n ${SKELVAR_BIN:-} ]]; then built="a build given by SKELVAR_BIN"
else built="commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"; fi
echo "skelvar benchmark: $bin, $built"
echo "least CPU time of $runs run(s); results to $dest; $(nproc) cores"
printf '%-10s %9s %8s %8s %11s %11s %9s  %s\n' layout entries "cpu s" "wall s" "entries/cpu" "entries/wall" "RSS MiB" \
    "load (1, 5, 15 min)"
layouts=("timeline:" "csv:-csv" "csvl2t:-csvl2t" "bodyfile:-bodyfile" "csvperpath:-csvperpath"
         "pathonly:-filepath_only")
for n in $counts; do synthetic "$n" >/dev/null; done  # made before the table
first_mft=""
for n in $counts; do
    mft=$(synthetic "$n")
    [[ -n $first_mft ]] || first_mft=$mft
    cat "$mft" >/dev/null  # into the page cache, as far as it fits
    for entry in "${layouts[@]}"; do
        label=${entry%%:*} opt=${entry#*:}
        before=$(load)
        read -r wall cpu kb <<<"$(measure "$dest" -mftfile "$mft" $opt)"
        awk -v l="$label" -v n="$n" -v c="$cpu" -v w="$wall" -v kb="$kb" -v ld="$before" 'BEGIN {
            printf "%-10s %9d %8.2f %8.2f %11.0f %11.0f %9.1f  %s\n", l, n, c, w, (c > 0 ? n / c : 0),
                   (w > 0 ? n / w : 0), kb / 1024, ld
        }'
    done
done

# -cpu: offered when the build does not refuse it or say it is not built.
probe=$(mktemp "$work/probe.XXXXXX")
if "$bin" -mftfile "$root/samples/basic.mft" -cpu 2 -quiet -out "$probe" 2>&1 | grep -q -e 'not built' -e 'not offered'; then
    echo "-cpu 2: not offered by this build"
else
    one="$cpu_dir/single.$$.txt" two="$cpu_dir/cpu2.$$.txt"
    echo "-cpu 2 on $first_mft: results into files in $cpu_dir, the single run and -cpu 2 back to back (load $(load))"
    printf '%-10s %12s %12s %12s %12s %8s\n' layout "single wall" "single cpu" "-cpu 2 wall" "-cpu 2 cpu" "wall ratio"
    for entry in "timeline:" "csv:-csv"; do
        label=${entry%%:*} opt=${entry#*:}
        read -r wall1 cpu1 _ <<<"$(measure "$one" -mftfile "$first_mft" $opt)"
        read -r wall2 cpu2 _ <<<"$(measure "$two" -mftfile "$first_mft" $opt -cpu 2)"
        # The merged lines equal the single run's, the header line aside.
        cmp -s <(tail -n +2 "$one") <(tail -n +2 "$two") || echo "run_bench: -cpu 2 $label lines differ from the single run" >&2
        awk -v l="$label" -v w1="$wall1" -v w2="$wall2" -v c1="$cpu1" -v c2="$cpu2" 'BEGIN {
            printf "%-10s %12.2f %12.2f %12.2f %12.2f %8.2f\n", l, w1, c1, w2, c2, (w1 > 0 ? w2 / w1 : 0)
        }'
    done
    rm -f "$one" "$two"
fi
rm -f "$probe"
