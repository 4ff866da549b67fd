#!/usr/bin/env python3
"""Counts the allocated entries on which skelvar agrees with The Sleuth Kit: every name
`fls -r -m` lists for the entry (outside its deleted names and named streams) appears
in skelvar's body file under the same entry and path, with the same four
$STANDARD_INFORMATION times.

    bench/agree_with_fls.py <fls -r -m body file> <skelvar -bodyfile results> [misses to show]

Prints the counts, then a few entries that differ and why."""
import sys
from collections import defaultdict


def fields(line):
    # md5|name|inode|mode|uid|gid|size|atime|mtime|ctime|crtime: a name may hold '|'.
    f = line.rstrip('\n').split('|')
    if len(f) < 11:
        return None
    try:
        times = [int(x) for x in f[-4:]]
    except ValueError:
        return None  # a header line
    return '|'.join(f[1:len(f) - 9]), f[len(f) - 9], times


def tsk_view(path):
    names = defaultdict(dict)  # entry -> {path: si times}
    for line in open(path, encoding='utf-8', errors='replace'):
        f = fields(line)
        if not f:
            continue
        name, inode, times = f
        if '($FILE_NAME)' in name or name.endswith('(deleted)') or name.endswith('(deleted-realloc)'):
            continue
        if ':' in name.rsplit('/', 1)[-1]:
            continue  # a named stream: its line repeats the entry's times
        if name == '/$OrphanFiles':
            continue  # a directory of fls's own making, no record of the volume
        entry = int(inode.split('-')[0])
        names[entry][('[root]' + name).replace('/', '\\')] = times
    return names


def skelvar_view(path):
    names = defaultdict(dict)
    for line in open(path, encoding='utf-8', errors='replace'):
        f = fields(line)
        if not f or not f[1].isdigit():
            continue
        cell, inode, times = f
        at = cell.rfind(' (')
        if at < 0 or not (cell.endswith('SI times)') or cell.endswith('SI & FN times match)')):
            continue
        # skelvar writes a FILETIME of 0 as 0; TSK's conversion wraps it.
        times = [t if t else 3373865674 for t in times]
        names[int(inode)][cell[:at]] = times
    return names


def main():
    tsk, skel = tsk_view(sys.argv[1]), skelvar_view(sys.argv[2])
    show = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    agree, reasons, misses = 0, defaultdict(int), []
    for entry, names in sorted(tsk.items()):
        mine = skel.get(entry, {})
        why = None
        for name, times in names.items():
            if name not in mine:
                why = 'no line for the name' if mine else 'no line for the entry'
            elif mine[name] != times:
                why = 'SI times differ'
            if why:
                misses.append((entry, name, why, mine.get(name), times))
                break
        if why:
            reasons[why] += 1
        else:
            agree += 1
    print('allocated entries in fls: %d; skelvar agrees on %d; differs on %d' % (len(tsk), agree, len(tsk) - agree))
    for why, n in sorted(reasons.items()):
        print('  %s: %d' % (why, n))
    for m in misses[:show]:
        print('  entry %d %s: %s (skelvar %s, fls %s)' % m)


main()
