#!/usr/bin/env bash
# Throughput of skelvar -image on containers against the raw image they were made from.
#
#   bench/container_bench.sh <raw volume or disk image> [runs] [skelvar options...]
#
# Converts the image to a monolithic sparse VMDK (qemu-img), an E01 (ewfacquire, deflate fast) and a dynamic
# VHDX (qemu-img) in $SKELVAR_BENCH_DIR (default $TMPDIR/skelvar-container-bench; reused when newer than the
# image), then runs `skelvar -image <file> -csv -quiet -out <tmp>` on each, best of [runs] (default 3) by wall
# clock, and prints wall and CPU seconds and the ratio to the raw image. A bench/make_synthetic_volume.sh image
# of 200000 records is the usual input. Options after [runs] are passed on (e.g. -offset 0x100000).
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

# "<wall> <cpu>" of the best of $runs runs.
measure() {
    local best="" cpu="" out="$work/out.csv" log="$work/time.txt"
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f '%e %U %S' -o "$log" "$build/skelvar" -image "$1" "${@:2}" -csv -quiet -out "$out" \
            >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt" >&2; return 1; }
        read -r wall user sys < "$log"
        if [[ -z "$best" ]] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$wall cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
        fi
    done
    echo "$best $cpu $(wc -l < "$out")"
}

echo "skelvar -image on containers of $raw; commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown), best of $runs"
printf '%-6s %12s %9s %8s %11s %10s\n' format "file MiB" "wall s" "cpu s" "rows" "x raw"
read -r raw_wall raw_cpu raw_rows <<<"$(measure "$raw" "$@")"
for entry in "raw:$raw" "VMDK:$vmdk" "E01:$e01" "VHDX:$vhdx"; do
    label=${entry%%:*} file=${entry#*:}
    if [[ $label == raw ]]; then wall=$raw_wall cpu=$raw_cpu rows=$raw_rows; else read -r wall cpu rows <<<"$(measure "$file" "$@")"; fi
    [[ $rows == "$raw_rows" ]] || echo "container_bench: $label gave $rows rows, raw $raw_rows" >&2
    awk -v l="$label" -v mib="$(du -k "$file" | cut -f1)" -v w="$wall" -v c="$cpu" -v r="$rows" -v base="$raw_wall" \
        'BEGIN { printf "%-6s %12.1f %9.2f %8.2f %11d %10.2f\n", l, mib / 1024, w, c, r, (base > 0 ? w / base : 0) }'
done
