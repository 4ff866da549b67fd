#!/usr/bin/env python3
"""Appends two directory chains to an extracted $MFT, children ahead of their parents, for
timing deep path climbs:

    bench/deep_chain_mft.py <in.mft> <out.mft> [depth] [name]

one chain of `depth` directories reaching the root, one as deep below a zeroed record, and a
file in the deepest directory of each. Then e.g.
    /usr/bin/time -v build/skelvar -mftfile out.mft -csv -quiet -out /tmp/deep.csv
"""
import struct
import sys

RECORD = 1024
T = 132223104000000000


def attribute(kind, ident, value):
    length = (0x18 + len(value) + 7) & ~7
    head = struct.pack("<IIBBHHHIHBB", kind, length, 0, 0, 0x18, 0, ident, len(value), 0x18, 0, 0)
    return (head + value).ljust(length, b"\0")


def record(number, parent_ref, name, directory):
    si = struct.pack("<4QI", T, T, T, T, 0).ljust(72, b"\0")
    text = name.encode("utf-16-le")
    fn = struct.pack("<Q4QQQIIBB", parent_ref, T, T, T, T, 0, 0, 0x10000000 if directory else 0, 0,
                     len(name), 1) + text
    body = attribute(0x10, 0, si) + attribute(0x30, 1, fn) + b"\xff\xff\xff\xff\0\0\0\0"
    used = 0x38 + len(body)
    head = struct.pack("<4sHHQHHHHIIQHHI", b"FILE", 0x30, 3, 0, 1, 1, 0x38, 3 if directory else 1, used, RECORD,
                       0, 2, 0, number)
    rec = bytearray((head + struct.pack("<HHH", 1, 0, 0)).ljust(0x38, b"\0") + body)
    rec = rec.ljust(RECORD, b"\0")
    for i, end in enumerate((510, 1022)):  # update sequence: the last two bytes of each 512
        rec[0x32 + 2 * i:0x34 + 2 * i] = rec[end:end + 2]
        rec[end:end + 2] = b"\x01\x00"
    return bytes(rec)


def resize_mft(rec0, size):
    """Record 0 with its $DATA sizes set to `size`: the walk reads as many records as it says."""
    rec = bytearray(rec0)
    usa = struct.unpack_from("<H", rec, 4)[0]
    for i, end in enumerate((510, 1022)):
        rec[end:end + 2] = rec[usa + 2 + 2 * i:usa + 4 + 2 * i]
    at = struct.unpack_from("<H", rec, 0x14)[0]
    while at + 8 <= RECORD:
        kind, length = struct.unpack_from("<II", rec, at)
        if kind == 0xFFFFFFFF or length == 0:
            break
        if kind == 0x80 and rec[at + 8] and rec[at + 9] == 0:
            struct.pack_into("<QQQ", rec, at + 0x28, size, size, size)
        at += length
    for i, end in enumerate((510, 1022)):
        rec[usa + 2 + 2 * i:usa + 4 + 2 * i] = rec[end:end + 2]
        rec[end:end + 2] = rec[usa:usa + 2]
    return bytes(rec)


def ref(entry, seq=1):
    return entry | seq << 48


def main():
    src, out = sys.argv[1], sys.argv[2]
    depth = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
    name = sys.argv[4] if len(sys.argv) > 4 else "d"
    data = open(src, "rb").read()
    first = len(data) // RECORD
    a, b, zeroed = first, first + depth, first + 2 * depth
    with open(out, "wb") as f:
        f.write(resize_mft(data[:RECORD], (first + 2 * depth + 3) * RECORD))
        f.write(data[RECORD:first * RECORD])
        for i in range(depth):
            f.write(record(a + i, ref(a + i + 1) if i + 1 < depth else ref(5, 5), name, True))
        for i in range(depth):
            f.write(record(b + i, ref(b + i + 1) if i + 1 < depth else ref(zeroed), name, True))
        f.write(bytes(RECORD))
        f.write(record(zeroed + 1, ref(a), "deep_a.txt", False))
        f.write(record(zeroed + 2, ref(b), "deep_b.txt", False))


main()
