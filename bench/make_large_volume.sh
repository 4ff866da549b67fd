#!/usr/bin/env bash
# Builds a large real NTFS volume (200,000+ entries) through the ntfs-3g FUSE driver, for scale checks and
# speed comparisons, and writes next to it what The Sleuth Kit makes of it. Nothing of it is committed.
#
#   bench/make_large_volume.sh <out-dir>
#
# Writes into <out-dir>:
#   large.img          1 GiB NTFS volume (512-byte sectors, 4 KiB clusters, 1 KiB records), a sparse file
#   large.mft          its $MFT as `icat large.img 0` extracts it
#   large.body.txt     fls -r -m / -z UTC large.img   (body file; every name and named stream)
#   large.fls.txt      fls -r -p -l -z UTC large.img  (long listing with entry numbers, deleted names marked)
#   large.summary.txt  counts and the time each step took (also printed)
# What it holds: a tree of 40 x 25 directories with 175 files in each, a directory of 25,000 files, a chain of 40
# nested directories, long names with DOS 8.3 names (system.ntfs_dos_name), files with alternate data
# streams, hard links, sparse, non-resident and compressed files, files with 80 names or 200 streams (their
# attribute lists in clusters, their names and streams in extension records), and 6,000 files and a
# directory tree deleted last, so their records stay behind unreused. Unicode names throughout.
#
# Needs root (FUSE mount), mkntfs/ntfs-3g, sleuthkit, python3. Takes a few minutes on two cores.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 <out-dir>" >&2; exit 2; }
out=$(mkdir -p "$1" && cd "$1" && pwd)
export TZ=UTC LC_ALL=C.UTF-8
img=$out/large.img
mnt=$(mktemp -d /tmp/skelvar-large.XXXXXX)
cleanup() {
    mountpoint -q "$mnt" && { fusermount -u "$mnt" 2>/dev/null || umount "$mnt" 2>/dev/null || true; }
    rmdir "$mnt" 2>/dev/null || true
}
trap cleanup EXIT

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
start=$(now)

rm -f "$img"
truncate -s 1G "$img"
mkntfs -F -q -f -s 512 -c 4096 -L skelvar-large "$img" >/dev/null 2>&1
# streams_interface=windows: "file:stream" opens an alternate data stream; compression: new files in a
# directory flagged 0x800 are compressed.
ntfs-3g -o streams_interface=windows,compression,big_writes "$img" "$mnt"

t=$(now)
python3 - "$mnt" <<'EOF'
import os, struct, sys
root = sys.argv[1]
os.chdir(root)
W = os.O_CREAT | os.O_WRONLY | os.O_TRUNC

def put(path, data=b''):
    fd = os.open(path, W, 0o644)
    if data:
        os.write(fd, data)
    os.close(fd)

exts = ['txt', 'doc', 'exe', 'dll', 'jpg', 'pdf', 'log', 'dat']
words = ['report', 'Übersicht', 'données', '報告書', 'invoice', 'backup', 'σημείωση', 'notes']

# Tree: 40 x 25 directories, 175 files in each.
for a in range(40):
    top = 'tree/%s_%02d' % (words[a % len(words)], a)
    os.makedirs(top)
    for b in range(25):
        leaf = '%s/sub_%02d' % (top, b)
        os.mkdir(leaf)
        for i in range(175):
            name = '%s_%03d.%s' % (words[(a + b + i) % len(words)], i, exts[i % len(exts)])
            put('%s/%s' % (leaf, name), b'%d/%d/%d\n' % (a, b, i))

# A wide directory.
os.mkdir('wide')
for i in range(25000):
    put('wide/item_%05d.txt' % i, b'w%d\n' % i)

# A deep chain.
p = 'deep'
for d in range(40):
    p = '%s/level_%02d' % (p, d)
    os.makedirs(p)
    for i in range(5):
        put('%s/f%d.txt' % (p, i), b'depth %d\n' % d)

# Long names with DOS 8.3 names.
os.mkdir('dosnames')
for i in range(3000):
    path = 'dosnames/Long document name number %05d.docx' % i
    put(path, b'dos\n')
    os.setxattr(path, 'system.ntfs_dos_name', ('LONGD~%d.DOC' % i if i < 10 else 'L%05d~1.DOC' % i).encode())

# Alternate data streams.
os.mkdir('streams')
for i in range(3000):
    path = 'streams/download_%04d.zip' % i
    put(path, b'zip %d\n' % i)
    put(path + ':Zone.Identifier', b'[ZoneTransfer]\r\nZoneId=3\r\n')
    if i % 3 == 0:
        put(path + ':extra', b'x' * (5000 if i % 6 == 0 else 40))   # some non-resident

# Hard links across directories.
os.makedirs('links/a'); os.makedirs('links/b'); os.makedirs('links/c')
for i in range(2000):
    put('links/a/linked_%04d.txt' % i, b'link %d\n' % i)
    os.link('links/a/linked_%04d.txt' % i, 'links/b/other_name_%04d.txt' % i)
    if i % 2 == 0:
        os.link('links/a/linked_%04d.txt' % i, 'links/c/third_%04d.txt' % i)

# Sparse, non-resident and compressed files.
os.mkdir('sparse')
for i in range(200):
    with open('sparse/sparse_%03d.bin' % i, 'wb') as f:
        f.write(b'head')
        f.seek(1 << 20)
        f.write(b'tail')
os.mkdir('nonresident')
for i in range(1000):
    put('nonresident/blob_%04d.bin' % i, (b'non-resident %04d ' % i) * 400)
os.mkdir('compressed')
attrib = struct.unpack('<I', os.getxattr('compressed', 'system.ntfs_attrib'))[0]
os.setxattr('compressed', 'system.ntfs_attrib', struct.pack('<I', attrib | 0x800))
for i in range(300):
    put('compressed/text_%03d.txt' % i, b''.join(b'compressed line %06d\n' % j for j in range(i * 10, i * 10 + 4000)))

# Attribute lists in clusters: 80 long names, or 200 streams, on one file.
os.mkdir('crowded')
for i in range(20):
    base = 'crowded/names_%02d.dat' % i
    put(base, b'many names\n')
    for k in range(80):
        os.link(base, 'crowded/names_%02d_with_a_rather_long_additional_name_%02d.dat' % (i, k))
    path = 'crowded/streams_%02d.dat' % i
    put(path, b'many streams\n')
    for k in range(200):
        put('%s:stream_%03d' % (path, k), b'stream %d of file %d\n' % (k, i))

# Deleted last: nothing reuses their records.
for a in range(40):
    top = 'tree/%s_%02d' % (words[a % len(words)], a)
    for b in range(0, 25, 5):
        leaf = '%s/sub_%02d' % (top, b)
        for name in sorted(os.listdir(leaf))[::6]:
            os.remove('%s/%s' % (leaf, name))
import shutil
shutil.rmtree('tree/%s_%02d/sub_24' % (words[39 % len(words)], 39))
EOF
populate=$(since "$t")

cd /
sync
fusermount -u "$mnt" 2>/dev/null || umount "$mnt"

t=$(now); icat "$img" 0 > "$out/large.mft"; icat_s=$(since "$t")
t=$(now); fls -r -m / -z UTC "$img" > "$out/large.body.txt"; fls_m_s=$(since "$t")
t=$(now); fls -r -p -l -z UTC "$img" > "$out/large.fls.txt"; fls_l_s=$(since "$t")

records=$(( $(stat -c %s "$out/large.mft") / 1024 ))
# In-use flag (0x01 at 0x16) of every record with a FILE signature.
read -r inuse used <<<"$(python3 - "$out/large.mft" <<'EOF'
import sys
d = open(sys.argv[1], 'rb').read()
inuse = used = 0
for off in range(0, len(d), 1024):
    if d[off:off + 4] == b'FILE':
        used += 1
        inuse += d[off + 0x16] & 1
print(inuse, used)
EOF
)"
allocated_names=$(grep -vc '^[^ ]* \* ' "$out/large.fls.txt" || true)
deleted_names=$(grep -c '^[^ ]* \* ' "$out/large.fls.txt" || true)
{
    echo "large.img: $records \$MFT records, $used with a FILE signature, $inuse in use"
    echo "fls -r -p -l: $allocated_names allocated names, $deleted_names deleted names; fls -r -m: $(wc -l < "$out/large.body.txt") lines"
    echo "populate through ntfs-3g: ${populate} s; icat \$MFT: ${icat_s} s; fls -r -m: ${fls_m_s} s; fls -r -p -l: ${fls_l_s} s; total: $(since "$start") s"
    echo "$(fls -V | head -1); $(ntfs-3g --version 2>&1 | head -1); $(nproc) cores"
} | tee "$out/large.summary.txt"
