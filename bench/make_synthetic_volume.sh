#!/usr/bin/env bash
# Builds a bare NTFS volume image around the synthetic $MFT of make_synthetic_mft, for benchmarks that need a
# volume (not an extracted $MFT) with many entries.
#
#   bench/make_synthetic_volume.sh <out.img> [records] [seed]      (records default 200000)
#
# The $MFT's own record 0 places it in two runs, at clusters 0xC0000 and 0x2A0000 of 4 KiB; the image is a
# sparse file just long enough to hold the second run (about 11 GiB apparent, records x 1 KiB on disk), with
# a hand-made boot sector (512-byte sectors, 8 per cluster, 1 KiB records) at byte 0. Nothing else of the
# volume exists: the walk needs only the boot sector and the $MFT.
set -euo pipefail

out=${1:?usage: make_synthetic_volume.sh <out.img> [records] [seed]}
records=${2:-200000}
seed=${3:-1}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

if [[ ! -x "$build/make_synthetic_mft" ]]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j2 --target make_synthetic_mft >/dev/null
fi
mft="$out.mft.part"
"$build/make_synthetic_mft" "$mft" "$records" "$seed" >/dev/null

python3 - "$mft" "$out" <<'PY'
import struct, sys
mft_path, out_path = sys.argv[1], sys.argv[2]
cluster = 4096
mft = open(mft_path, 'rb').read()
clusters = (len(mft) + cluster - 1) // cluster
first = clusters // 2 + 1                       # the split record 0 describes
runs = [(0xC0000, first), (0x2A0000, clusters - first)]
end = (runs[-1][0] + runs[-1][1]) * cluster
boot = bytearray(512)
boot[0:3] = b'\xeb\x52\x90'
boot[3:11] = b'NTFS    '
struct.pack_into('<HB', boot, 11, 512, 8)        # bytes per sector, sectors per cluster
boot[21] = 0xF8                                  # fixed disk
struct.pack_into('<QQQ', boot, 0x28, end // 512 - 1, runs[0][0], 2)  # total sectors, $MFT, $MFTMirr
boot[0x40] = 0xF6                                # 2^10-byte file records
boot[0x44] = 1                                   # one cluster per index record
struct.pack_into('<Q', boot, 0x48, 0x5e1a5e1a5e1a5e1a)
boot[510:512] = b'\x55\xaa'
with open(out_path, 'wb') as f:
    f.truncate(end)
    f.write(boot)
    done = 0
    for lcn, length in runs:
        f.seek(lcn * cluster)
        f.write(mft[done * cluster:(done + length) * cluster])
        done += length
PY
rm -f "$mft"
echo "$out: $records records, $(stat -c %s "$out") bytes apparent, $(du -k "$out" | cut -f1) KiB on disk"
