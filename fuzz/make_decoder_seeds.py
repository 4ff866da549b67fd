#!/usr/bin/env python3
"""Remakes the seeds of the decoder harnesses from the committed fixtures:

    python3 fuzz/make_decoder_seeds.py

The Sleuth Kit (icat, istat, ifind) cuts streams and records out of the images in
tests/fixtures/data; partition tables are moved into the first 64 KiB so that a
seed stays small. Writes seeds_index, seeds_security, seeds_boot, seeds_partitions,
seeds_attribute_list and seeds_run_list beside this script."""
import gzip, os, re, struct, subprocess, sys, tempfile

here = os.path.dirname(os.path.abspath(__file__))
data = os.path.join(here, '..', 'tests', 'fixtures', 'data')
work = tempfile.mkdtemp(prefix='skelvar-seeds.')
images = {}


def image(name):
    if name not in images:
        path = os.path.join(work, name + '.img')
        with gzip.open(os.path.join(data, name + '.img.gz')) as src, open(path, 'wb') as dst:
            dst.write(src.read())
        images[name] = path
    return images[name]


def run(*args):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout


def attribute(img, entry, type_code, name=None):
    """The type-id of an attribute of `entry` as istat lists it."""
    for line in run('istat', img, str(entry)).decode('utf-8', 'replace').splitlines():
        m = re.match(r'Type: \S+ \((%d-\d+)\)\s+Name: (\S+)' % type_code, line)
        if m and (name is None or m.group(2) == name):
            return m.group(1)
    raise SystemExit('no attribute %d of entry %d in %s' % (type_code, entry, img))


def stream(img, entry, type_code, name=None):
    return run('icat', img, '%d-%s' % (entry, attribute(img, entry, type_code, name)))


def record(img, entry, size=1024):
    mft = os.path.join(work, os.path.basename(img) + '.mft')
    if not os.path.exists(mft):
        open(mft, 'wb').write(run('icat', img, '0'))
    return open(mft, 'rb').read()[entry * size:(entry + 1) * size]


def write(folder, name, payload):
    os.makedirs(os.path.join(here, folder), exist_ok=True)
    open(os.path.join(here, folder, name), 'wb').write(payload)


def entry_of(img, path):
    return int(run('ifind', '-n', path, img).split()[0])


# Directory index: [block size code][slack] + an $INDEX_ROOT value or INDX blocks.
for vol, path in (('basic', None), ('basic', 'bigdir'), ('splitidx', 'many'), ('extdir', None)):
    img = image(vol)
    entry = 5 if path is None else entry_of(img, path)
    root = stream(img, entry, 144, '$I30')
    block = struct.unpack_from('<I', root, 8)[0]
    code = max(0, block.bit_length() - 10)
    write('seeds_index', '%s_%d_root.bin' % (vol, entry), bytes([code, 0]) + root)
    try:
        alloc = stream(img, entry, 160, '$I30')
    except SystemExit:  # a small directory: its root holds every name
        continue
    write('seeds_index', '%s_%d_indx.bin' % (vol, entry), bytes([code, 0]) + alloc[:2 * block])
    write('seeds_index', '%s_%d_indx_slack.bin' % (vol, entry), bytes([code, 1]) + alloc[:block])

# Security: the start of $Secure:$SDS and single descriptors (the root's own, one $SDS entry).
for vol in ('basic', 'actions'):
    img = image(vol)
    sds = stream(img, 9, 128, '$SDS')
    write('seeds_security', '%s_sds.bin' % vol, sds[:16384])
    length = struct.unpack_from('<I', sds, 16)[0]
    write('seeds_security', '%s_descriptor.bin' % vol, sds[20:length])
write('seeds_security', 'basic_root_descriptor.bin', stream(image('basic'), 5, 80))

# Boot sectors: [8 bytes the source holds] + the first sectors of a volume.
for vol in ('basic', 'ntfsvol_4kn', 'carve_b', 'splitidx'):
    img = image(vol)
    first = open(img, 'rb').read(8192)
    write('seeds_boot', vol + '.bin', struct.pack('<Q', os.path.getsize(img)) + first)
    write('seeds_boot', vol + '_short.bin', struct.pack('<Q', os.path.getsize(img) // 3) + first[:512])
for disk, start in (('disk_ext', 2048), ('disk_gpt', 10240)):  # a FAT32 and an ext2 volume
    raw = open(image(disk), 'rb').read()
    write('seeds_boot', '%s_%d.bin' % (disk, start), struct.pack('<Q', 1 << 24) + raw[start * 512:start * 512 + 4096])

# Partition tables within 64 KiB: the GPT disk as it is; the MBR disks with their
# partitions (and the extended chain) moved to sectors that lie inside.
gpt = open(image('disk_gpt'), 'rb').read()
write('seeds_partitions', 'gpt.bin', gpt[:34 * 512])
mbr = bytearray(open(image('disk_mbr'), 'rb').read(65536))
boot = open(image('basic'), 'rb').read(512)
for i, lba in enumerate((64, 96)):
    struct.pack_into('<I', mbr, 0x1BE + 16 * i + 8, lba)
    mbr[lba * 512:lba * 512 + 512] = boot
write('seeds_partitions', 'mbr.bin', bytes(mbr))
ext = open(image('disk_ext'), 'rb').read()
out = bytearray(65536)
out[:512] = ext[:512]
struct.pack_into('<I', out, 0x1BE + 8, 8)        # the FAT32 partition at sector 8
struct.pack_into('<I', out, 0x1BE + 16 + 8, 16)  # the extended partition at sector 16
out[8 * 512:9 * 512] = ext[2048 * 512:2049 * 512]
base = 75776
link = 0
for n in range(3):  # each EBR: its logical partition 2 sectors on, the next EBR 8 further
    ebr = bytearray(ext[(base + link) * 512:(base + link + 1) * 512])
    nxt = struct.unpack_from('<I', ebr, 0x1CE + 8)[0]
    struct.pack_into('<I', ebr, 0x1BE + 8, 2)
    if nxt:
        struct.pack_into('<I', ebr, 0x1CE + 8, 8 * (n + 1))
    out[(16 + 8 * n) * 512:(17 + 8 * n) * 512] = ebr
    out[(18 + 8 * n) * 512:(19 + 8 * n) * 512] = boot
    if not nxt:
        break
    link = nxt
write('seeds_partitions', 'mbr_extended.bin', bytes(out))
write('seeds_partitions', 'mbr_4k.bin', open(image('disk_4k'), 'rb').read(65536))

# Attribute lists: [flags][length] + the list + the extension records, as fuzz_attribute_list reads them.
for vol, path in (('ntfsvol_frag', None), ('extdir', None)):
    img = image(vol)
    if vol == 'ntfsvol_frag':
        entry, records = 80, range(81, 89)
    else:
        entry, records = 64, (66, 71, 76)
    lst = stream(img, entry, 32)
    # The list names records by number: renumber them to 2, 3, ... as the harness serves them.
    renumber = {r: i + 2 for i, r in enumerate(records)}
    fixed = bytearray(lst)
    pos = 0
    while pos + 0x1A <= len(fixed):
        length = struct.unpack_from('<H', fixed, pos + 4)[0]
        if length == 0:
            break
        ref = struct.unpack_from('<Q', fixed, pos + 0x10)[0]
        target = ref & 0xFFFFFFFFFFFF
        new = 1 if target == entry else renumber.get(target, target)
        struct.pack_into('<Q', fixed, pos + 0x10, (ref & ~0xFFFFFFFFFFFF) | new)
        pos += length
    recs = b''
    for r in records:
        rec = bytearray(record(img, r))
        struct.pack_into('<Q', rec, 0x20, (struct.unpack_from('<Q', rec, 0x20)[0] & ~0xFFFFFFFFFFFF) | 1)
        recs += bytes(rec)
    cut = bytes(fixed[:800])
    write('seeds_attribute_list', vol + '_resident.bin', bytes([2]) + struct.pack('<H', len(cut)) + cut + recs)
    write('seeds_attribute_list', vol + '_outside.bin', bytes([3]) + struct.pack('<H', 0) + recs)

# Run lists: non-resident attributes as they stand in records (pieces with a starting VCN among them).
def non_resident_attributes(rec):
    usa = struct.unpack_from('<H', rec, 4)[0]
    rec = bytearray(rec)
    for i in (1, 2):
        rec[i * 512 - 2:i * 512] = rec[usa + 2 * i:usa + 2 * i + 2]
    off = struct.unpack_from('<H', rec, 0x14)[0]
    while off + 8 <= len(rec):
        t, l = struct.unpack_from('<II', rec, off)
        if t == 0xFFFFFFFF or l < 8 or off + l > len(rec):
            return
        if rec[off + 8]:
            yield t, bytes(rec[off:off + l])
        off += l

seen = 0
for vol, entries in (('splitidx', (0, 15, 64, 66, 67, 68, 69)), ('extract', (67, 70, 75, 77)), ('basic', (0, 5))):
    img = image(vol)
    for e in entries:
        for t, attr in non_resident_attributes(record(img, e)):
            write('seeds_run_list', '%s_%d_%x_%d.bin' % (vol, e, t, seen), attr)
            seen += 1
print('seeds written under', here)
