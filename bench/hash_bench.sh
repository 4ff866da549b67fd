#!/usr/bin/env bash
# Hashing throughput: skelvar's MD5 of a 1 GiB non-resident file against
# `icat image inode | md5sum` over the same bytes.
#
#   bench/hash_bench.sh [skelvar-binary]
#
# Builds (once, kept in $SKELVAR_BENCH_DIR, default $TMPDIR/skelvar-hashbench) a
# 1.3 GB NTFS image holding big.bin, 1 GiB of random bytes in clusters with no
# hole (mkntfs and ntfscp, no mount needed). Each command runs once to fill the
# page cache, then BENCH_RUNS times (default 5); the best wall time is shown
# with the user and system CPU time of that run (both processes of the pipe).
# The machine may be shared: the load average is printed before each command.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${1:-$root/build/skelvar}
runs=${BENCH_RUNS:-5}
work=${SKELVAR_BENCH_DIR:-${TMPDIR:-/tmp}/skelvar-hashbench}
image=$work/hash.img
size=$((1 << 30))

for tool in mkntfs ntfscp ifind icat md5sum; do
    command -v "$tool" >/dev/null || { echo "hash_bench: $tool is missing" >&2; exit 1; }
done
mkdir -p "$work"
if [[ ! -f $image.done ]]; then
    rm -f "$image"
    truncate -s 1300M "$image"
    mkntfs -F -Q -q -c 4096 "$image" 2>/dev/null
    head -c "$size" /dev/urandom >"$work/big.bin"
    ntfscp -q "$image" "$work/big.bin" big.bin
    rm -f "$work/big.bin"
    touch "$image.done"
fi
inode=$(ifind -n /big.bin "$image")

# Best of the runs: "wall user sys" in seconds.
measure() {
    local best="" line
    TIMEFORMAT='%R %U %S'
    bash -c "$1" >/dev/null 2>&1  # page cache
    for ((i = 0; i < runs; i++)); do
        line=$( { time bash -c "$1" >/dev/null 2>&1; } 2>&1 )
        if [[ -z $best ]] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then best=$line; fi
    done
    echo "$best"
}

report() {  # <label> <command>
    echo "load: $(uptime | sed 's/.*load average: //')"
    local r
    r=$(measure "$2")
    read -r wall user sys <<<"$r"
    awk -v l="$1" -v w="$wall" -v u="$user" -v s="$sys" -v n="$size" \
        'BEGIN { printf "%-28s %7.1f MB/s  wall %6.2f s  user %6.2f s  sys %6.2f s\n", l, n / w / 1e6, w, u, s }'
}

echo "image $image, big.bin = inode $inode, $((size >> 20)) MiB, best of $runs"
report "icat | md5sum" "icat '$image' $inode | md5sum"
report "skelvar -hashfile md5" "'$bin' -image '$image' -filter_inode $inode -hashfile md5 -quiet -out /dev/null"
report "skelvar -hashfile sha256" "'$bin' -image '$image' -filter_inode $inode -hashfile sha256 -quiet -out /dev/null"
copy=$work/copies
report "skelvar copy (+md5)" "rm -rf '$copy'; '$bin' -image '$image' -filter_inode $inode -action_copy_files '$copy' -quiet -out /dev/null"
rm -rf "$copy"
