#!/usr/bin/env bash
# Throughput of skelvar -image on containers against the raw image they were made from.
#
#   bench/container_bench.sh <raw volume or disk image> [runs] [skelvar options...]
#
# Converts the image to a monolithic sparse VMDK (qemu-img), an E01 (ewfacquire, deflate fast) and a dynamic
# VHDX (qemu-img) in $SKELVAR_BENCH_DIR (default $TMPDIR/skelvar-container-bench; reused when newer than the
# image), then runs `skelvar -image <file> -csv -quiet` on each [runs] times (default 3) and prints the wall and
# CPU seconds of the run with the least CPU time, and that CPU time as a multiple of the raw image's. The usual
# input is large.img of bench/make_large_volume.sh (215,000 records). Options after [runs] are passed on
# (e.g. -offset 0x100000).
set -euo pipefail

raw=$(realpath "${1:?usage: container_bench.sh <raw image> [runs] [skelvar options...]}")
runs=${2:-3}
shift $(( $# >= 2 ? 2 : 1 ))
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
work=${SKELVAR_BENCH_DIR:-${TMPDIR:-/tmp}/skelvar-container-bench}
mkdir -p "$work"
name=$(basename "$raw")

if [[ ! -f "$build/CMakeCache.txt" ]] || ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target skelvar >/dev/null

fresh() { [[ -f "$1" && "$1" -nt "$raw" ]]; }
vmdk="$work/$name.vmdk" e01="$work/$name.E01" vhdx="$work/$name.vhdx"
fresh "$vmdk" || qemu-img convert -f raw -O vmdk "$raw" "$vmdk"
fresh "$vhdx" || qemu-img convert -f raw -O vhdx "$raw" "$vhdx"
fresh "$e01" || ewfacquire -u -q -t "${e01%.E01}" -f encase6 -c deflate:fast -S 8EiB "$raw" >/dev/null 2>&1

# "<wall> <cpu> <rows>" of the run with the least CPU time (user + system) of $runs: on a shared machine CPU
# time is the steadier figure. The rows go to a pipe, so that writing them costs the same for every format.
measure() {
    local best="" wall="" log="$work/time.txt" rows=0
    for ((i = 0; i < runs; i++)); do
        rows=$( { /usr/bin/time -f '%e %U %S' -o "$log" "$build/skelvar" -image "$1" "${@:2}" -csv -quiet \
                  2>"$work/err.txt" || cat "$work/err.txt" >&2; } | wc -l)
        read -r w user sys < "$log"
        local cpu
        cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
        if [[ -z "$best" ]] || awk -v a="$cpu" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$cpu wall=$w; fi
    done
    echo "$wall $best $rows"
}

echo "skelvar -image on containers of $raw; commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown), best of $runs"
printf '%-6s %12s %9s %8s %11s %12s\n' format "file MiB" "wall s" "cpu s" "rows" "cpu x raw"
read -r raw_wall raw_cpu raw_rows <<<"$(measure "$raw" "$@")"
for entry in "raw:$raw" "VMDK:$vmdk" "E01:$e01" "VHDX:$vhdx"; do
    label=${entry%%:*} file=${entry#*:}
    if [[ $label == raw ]]; then wall=$raw_wall cpu=$raw_cpu rows=$raw_rows; else read -r wall cpu rows <<<"$(measure "$file" "$@")"; fi
    [[ $rows == "$raw_rows" ]] || echo "container_bench: $label gave $rows rows, raw $raw_rows" >&2
    awk -v l="$label" -v mib="$(du -k "$file" | cut -f1)" -v w="$wall" -v c="$cpu" -v r="$rows" -v base="$raw_cpu" \
        'BEGIN { printf "%-6s %12.1f %9.2f %8.2f %11d %12.2f\n", l, mib / 1024, w, c, r, (base > 0 ? c / base : 0) }'
done
