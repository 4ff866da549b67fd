#!/usr/bin/env python3
"""-jsonl read back by Python's JSON parser: every line of the basic $MFT is one event of the timeline (and
the same lines when three instances share the run);
names with quotes, backslashes, control characters and half surrogate pairs read back as the volume holds
them; the time flags fire on the stomped files of the timestomp volume and on nothing else.

usage: jsonl_check.py <skelvar> <tests/fixtures/data>"""
import datetime
import gzip
import json
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

skelvar, data = sys.argv[1], Path(sys.argv[2])
work = Path(tempfile.mkdtemp(prefix='skelvar-jsonl.'))
failures = []
REQUIRED = {'message': str, 'datetime': str, 'timestamp_desc': str, 'timestamp': int, 'mft_entry': int,
            'mft_sequence': int, 'parent_entry': int, 'path': str, 'filename': str, 'file_size': int,
            'deleted': bool, 'source': str, 'is_ads': bool, 'time_flags': list}
EPOCH = datetime.datetime(1970, 1, 1)


def check(ok, what):
    if not ok:
        failures.append(what)


def run(*args):
    out = work / 'out.txt'
    subprocess.run([skelvar, *args, '-quiet', '-out', str(out)], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return out.read_bytes()


def events(raw):
    """Each line parsed from strict UTF-8; the keys, their types and the two forms of the time checked."""
    out = []
    for i, line in enumerate(raw.split(b'\n')[:-1]):
        ev = json.loads(line.decode('utf-8'))
        for key, kind in REQUIRED.items():
            check(isinstance(ev.get(key), kind), 'line %d: %s missing or not %s' % (i + 1, key, kind.__name__))
        m = re.fullmatch(r'(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.(\d{7})Z', ev['datetime'])
        check(m is not None, 'line %d: datetime %s' % (i + 1, ev['datetime']))
        if m:
            y, mo, d, h, mi, s, f = (int(g) for g in m.groups())
            us = (datetime.datetime(y, mo, d, h, mi, s) - EPOCH) // datetime.timedelta(microseconds=1) + f // 10
            check(us == ev['timestamp'], 'line %d: %s is not %d us' % (i + 1, ev['datetime'], ev['timestamp']))
        check(ev['source'] in ('NTFS$MFT', 'NTFS:UNALLOC'), 'line %d: source' % (i + 1))
        check(ev['timestamp_desc'] != '' and ev['message'].startswith(ev['path'] + ': ' + ev['timestamp_desc']),
              'line %d: message %s' % (i + 1, ev['message']))
        out.append(ev)
    return out


def timeline_tuples(raw):
    """(entry, path and name, ISO time) of every timeline line; times it writes blank are None."""
    lines = raw.decode('utf-8').split('\n')
    start = next(i for i, l in enumerate(lines) if l.startswith('mft entry'))
    head = [h.strip() for h in lines[start].split('\t')]
    col = {h: head.index(h) for h in ('mft entry', 'date', 'time-utc', 'name', 'path')}
    tuples = []
    for line in lines[start + 1:]:
        if not line:
            continue
        c = line.split('\t')
        when = c[col['date']] + 'T' + c[col['time-utc']].strip() + 'Z' if c[col['date']].strip() else None
        path = c[col['path']]  # "<no path>" stands alone
        tuples.append((int(c[col['mft entry']]), path + c[col['name']] if path.endswith('\\') else path, when))
    return tuples


def shown_time(iso):
    return iso if 1900 <= int(iso[:4]) <= 3000 else None


# --- the basic $MFT: one event per line of the timeline ------------------------------------------------
mft = work / 'basic.mft'
mft.write_bytes(gzip.decompress((data / 'basic.mft.gz').read_bytes()))
raw = run('-mftfile', str(mft), '-jsonl')
evs = events(raw)
check(run('-mftfile', str(mft), '-jsonl', '-cpu', '3') == raw, 'basic: -cpu 3 merges other lines than one run')
timeline = timeline_tuples(run('-mftfile', str(mft), '-csv', '-csv_separator', 'tab', '-base10',
                               '-timeformat', 'hh:mm:ss.xxxxxxx'))
ours = [(e['mft_entry'], e['path'], shown_time(e['datetime'])) for e in evs]
check(len(evs) == len(set(timeline)) and len(evs) > 100, 'basic: %d events, %d distinct timeline tuples' %
      (len(evs), len(set(timeline))))
check(set(ours) == set(timeline), 'basic: events differ from the timeline, e.g. %s / %s' %
      (sorted(set(ours) - set(timeline))[:2], sorted(set(timeline) - set(ours))[:2]))

# --- hostile names, written into the records of a copy of that $MFT ------------------------------------
RECORD = 1024


def file_names(rec):
    """(offset of the name, its length in units, namespace, parent entry) of each resident $FILE_NAME."""
    pos = struct.unpack_from('<H', rec, 0x14)[0]
    while pos + 8 < len(rec):
        kind, size = struct.unpack_from('<II', rec, pos)
        if kind == 0xFFFFFFFF or size == 0:
            break
        if kind == 0x30:
            value = pos + struct.unpack_from('<H', rec, pos + 0x14)[0]
            parent = struct.unpack_from('<Q', rec, value)[0] & 0xFFFFFFFFFFFF
            yield value + 0x42, rec[value + 0x40], rec[value + 0x41], parent
        pos += size


def away_from_fixups(off, units):
    return all(not (off <= s < off + 2 * units) for s in (510, 511, 1022, 1023))


def hostile(units, with_high):
    text = '"\\\x01\x1f\n\udc80' + ('\ud800' if with_high else '')  # each half of a pair alone
    return (text + 'x' * units)[:units]


buf = bytearray(mft.read_bytes())
patched = {}  # entry -> the name now in its record
dir_entry = None
for n in range(24, len(buf) // RECORD):
    rec = buf[n * RECORD:(n + 1) * RECORD]
    if rec[:4] != b'FILE' or not rec[0x16] & 1:
        continue
    is_dir = bool(rec[0x16] & 2)
    for off, units, space, parent in file_names(rec):
        if space == 2 or units < (6 if is_dir else 7) or not away_from_fixups(off, units):
            continue
        if is_dir and dir_entry is None:
            name = hostile(units, False)  # directory names reach the path through the UTF-8 writer
            dir_entry = n
        elif not is_dir and n not in patched and len(patched) < 3:
            name = hostile(units, True)
        else:
            continue
        buf[n * RECORD + off:n * RECORD + off + 2 * units] = name.encode('utf-16-le', 'surrogatepass')
        patched[n] = name
        break
mft.write_bytes(buf)
check(dir_entry is not None and len(patched) >= 3, 'no record to write the names into')
evs = events(run('-mftfile', str(mft), '-jsonl'))
names = {(e['mft_entry'], e['filename']) for e in evs}
for n, name in patched.items():
    check((n, name) in names, 'entry %d: name %r does not read back' % (n, name))
dir_name = patched.get(dir_entry)
check(any(('\\' + dir_name + '\\') in e['path'] for e in evs if e['mft_entry'] != dir_entry),
      'no path reads back through directory %r' % dir_name)

# --- time flags: the stomped files of the timestomp volume, and nothing else ---------------------------
FLAG = {'si_created<fn_created': 'si_created_before_fn', 'si_whole': 'si_whole_seconds',
        'si_modified>si_mft_modified': 'si_modified_after_mft_change', 'before_volume': 'before_volume',
        'future': 'future'}
expected = {}
for line in (data / 'timestomp.files.txt').read_text().splitlines():
    f = line.split('\t')
    if line.startswith('#') or f[0] == 'entry':
        continue
    expected[int(f[0])] = {FLAG[s.split(':')[0]] for s in f[4].split()} if f[4] != '-' else set()
check(sum(1 for v in expected.values() if v) >= 5, 'timestomp: too few stomped files listed')
img = work / 'timestomp.img'
img.write_bytes(gzip.decompress((data / 'timestomp.img.gz').read_bytes()))
flags = {}
for e in events(run('-image', str(img), '-jsonl')):
    flags.setdefault(e['mft_entry'], set()).update(e['time_flags'])
for n, got in sorted(flags.items()):
    check(got == expected.get(n, set()), 'timestomp entry %d: flags %s, expected %s' %
          (n, sorted(got), sorted(expected.get(n, set()))))
check(expected.keys() <= flags.keys(), 'timestomp: entries without events')

shutil.rmtree(work)
for f in failures:
    print('FAIL:', f)
print('jsonl: %d checks failed' % len(failures) if failures else 'jsonl: all checks passed')
sys.exit(1 if failures else 0)
