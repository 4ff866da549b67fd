"""Hostile NTFS inputs made from the committed fixtures: records rewritten in
place, attributes built from scratch, volumes grown to hold crafted clusters."""
import gzip
import struct

FILE_SIG = b"FILE"
REF_MASK = (1 << 48) - 1


def ref(entry, seq):
    return entry | (seq << 48)


def gunzip(path):
    with gzip.open(path, "rb") as f:
        return bytearray(f.read())


# ---- records -------------------------------------------------------------

def unseal(raw, sector=512):
    """The record as it is in memory: the sector ends given back from the update sequence array."""
    r = bytearray(raw)
    usa, count = struct.unpack_from("<HH", r, 4)
    for i in range(1, count):
        r[i * sector - 2:i * sector] = r[usa + 2 * i:usa + 2 * i + 2]
    return r


def seal(rec, sector=512, usn=1):
    """The record as it is on disk: every sector ends in the update sequence number."""
    r = bytearray(rec)
    usa, count = struct.unpack_from("<HH", r, 4)
    struct.pack_into("<H", r, usa, usn)
    for i in range(1, count):
        r[usa + 2 * i:usa + 2 * i + 2] = r[i * sector - 2:i * sector]
        struct.pack_into("<H", r, i * sector - 2, usn)
    return bytes(r)


def attributes(rec):
    """(offset, type, length) of each attribute of an in-memory record."""
    off = struct.unpack_from("<H", rec, 0x14)[0]
    while off + 8 <= len(rec):
        t, length = struct.unpack_from("<II", rec, off)
        if t == 0xFFFFFFFF or length == 0:
            return
        yield off, t, length
        off += length


def record(entry, seq, attrs, flags=1, base=0, size=1024, sector=512):
    """A FILE record of the given attribute bytes (ids as the builders gave them)."""
    count = size // sector + 1
    first = (0x30 + 2 * count + 7) & ~7
    body = b"".join(attrs) + struct.pack("<II", 0xFFFFFFFF, 0)
    used = first + len(body)
    assert used <= size, "attributes do not fit the record"
    r = bytearray(size)
    r[0:4] = FILE_SIG
    struct.pack_into("<HH", r, 4, 0x30, count)
    struct.pack_into("<HHHHII", r, 0x10, seq, 1, first, flags, used, size)
    struct.pack_into("<QHHI", r, 0x20, base, 16, 0, entry)
    r[first:first + len(body)] = body
    return r


def _pad8(b):
    return b + bytes(-len(b) % 8)


def resident(type_, value, attr_id, name=""):
    n = name.encode("utf-16le")
    value_off = (0x18 + len(n) + 7) & ~7
    head = struct.pack("<IIBBHHHIHBB", type_, 0, 0, len(name), 0x18, 0, attr_id, len(value), value_off, 0, 0)
    a = bytearray(_pad8(head + n + bytes(value_off - 0x18 - len(n)) + value))
    struct.pack_into("<I", a, 4, len(a))
    return bytes(a)


def non_resident(type_, runs, attr_id, data_size, start_vcn=0, last_vcn=None, cluster=4096):
    """`runs` is a run list as built by run_list(); the sizes are the stream's."""
    if last_vcn is None:
        last_vcn = max(0, (data_size + cluster - 1) // cluster - 1)
    alloc = (data_size + cluster - 1) // cluster * cluster
    head = struct.pack("<IIBBHHHQQHHIQQQ", type_, 0, 1, 0, 0x40, 0, attr_id, start_vcn, last_vcn, 0x40, 0, 0,
                       alloc, data_size, data_size)
    a = bytearray(_pad8(head + runs))
    struct.pack_into("<I", a, 4, len(a))
    return bytes(a)


def _signed(v):
    n = 1
    while not -(1 << (8 * n - 1)) <= v < (1 << (8 * n - 1)):
        n += 1
    return v.to_bytes(n, "little", signed=True)


def run_list(runs):
    """[(length, lcn)] with lcn None for a sparse run."""
    out, prev = bytearray(), 0
    for length, lcn in runs:
        ln = length.to_bytes((length.bit_length() + 7) // 8 or 1, "little")
        if lcn is None:
            out += bytes([len(ln)]) + ln
        else:
            off = _signed(lcn - prev)
            prev = lcn
            out += bytes([len(off) << 4 | len(ln)]) + ln + off
    return bytes(out + b"\0")


def standard_information(attr_id=0, when=0x01D0000000000000):
    return resident(0x10, struct.pack("<QQQQI", when, when, when, when, 0x20) + bytes(0x48 - 0x24), attr_id)


def file_name(parent, name, attr_id, directory=False, when=0x01D0000000000000):
    flags = 0x10000000 if directory else 0x20
    v = struct.pack("<QQQQQQQIIBB", parent, when, when, when, when, 0, 0, flags, 0, len(name), 1)
    return resident(0x30, v + name.encode("utf-16le"), attr_id)


def list_entry(type_, target, attr_id, start_vcn=0):
    return struct.pack("<IHBBQQH", type_, 0x20, 0, 0x1A, start_vcn, target, attr_id) + bytes(6)


# ---- volumes -------------------------------------------------------------

class Volume:
    """An NTFS volume image whose $MFT is one run (as mkntfs leaves a small one)."""

    def __init__(self, image):
        self.img = bytearray(image)
        self.sector, spc = struct.unpack_from("<HB", self.img, 0x0B)
        self.cluster = self.sector * spc
        self.total_sectors, self.mft_lcn = struct.unpack_from("<QQ", self.img, 0x28)
        self.record_size = 1024

    def _at(self, entry):
        return self.mft_lcn * self.cluster + entry * self.record_size

    def read(self, entry):
        at = self._at(entry)
        return unseal(self.img[at:at + self.record_size], self.sector)

    def write(self, entry, rec):
        at = self._at(entry)
        self.img[at:at + self.record_size] = seal(rec, self.sector)

    def grow(self, data):
        """Appends clusters holding `data` to the volume; returns their first cluster."""
        end = (len(self.img) + self.cluster - 1) // self.cluster * self.cluster
        lcn = end // self.cluster
        padded = data + bytes(-len(data) % self.cluster)
        self.img[len(self.img):] = bytes(end - len(self.img)) + padded
        self.total_sectors = len(self.img) // self.sector
        struct.pack_into("<Q", self.img, 0x28, self.total_sectors)
        return lcn

    def replace_attribute(self, entry, type_, new):
        """Rebuilds the record with `new` in place of its first attribute of `type_` (or added before
        the first attribute of a higher type when it has none)."""
        rec = self.read(entry)
        parts, placed = [], False
        for off, t, length in attributes(rec):
            if t == type_ and not placed:
                parts.append(new)
                placed = True
                continue
            if t > type_ and not placed:
                parts.append(new)
                placed = True
            parts.append(bytes(rec[off:off + length]))
        if not placed:
            parts.append(new)
        seq, flags = struct.unpack_from("<H", rec, 0x10)[0], struct.unpack_from("<H", rec, 0x16)[0]
        base = struct.unpack_from("<Q", rec, 0x20)[0]
        self.write(entry, record(entry, seq, parts, flags, base, self.record_size, self.sector))

    def attribute(self, entry, type_):
        rec = self.read(entry)
        for off, t, length in attributes(rec):
            if t == type_:
                return bytes(rec[off:off + length])
        return None
