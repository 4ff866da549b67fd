#!/usr/bin/env python3
"""Cuts the fuzz seeds out of a generated $MFT (see README.md):

    build/make_synthetic_mft /tmp/seed.mft 100000 7
    python3 fuzz/make_seeds.py /tmp/seed.mft fuzz/seeds

Single records (*.rec) and small images (*.mft) whose references point inside
the image, so that parent lookups and attribute lists resolve to fuzz bytes."""
import struct, sys, os
data = open(sys.argv[1],'rb').read(); outdir = sys.argv[2]; os.makedirs(outdir, exist_ok=True)
N = len(data)//1024
def rec(e):
    r = bytearray(data[e*1024:(e+1)*1024])
    for i in (1,2): r[i*512-2:i*512] = r[0x30+2*i:0x32+2*i]
    return r
def seal(r):
    r = bytearray(r); usn = struct.unpack_from('<H', r, 0x30)[0]
    for i in (1,2):
        r[0x30+2*i:0x32+2*i] = r[i*512-2:i*512]; struct.pack_into('<H', r, i*512-2, usn)
    return bytes(r)
def attrs(r):
    off = 0x38
    while True:
        t, l = struct.unpack_from('<II', r, off)
        if t == 0xffffffff: return
        yield off, t, l, r[off+8]
        off += l
def value(r, off): vl, vo = struct.unpack_from('<IH', r, off+0x10); return off+vo, vl
def names(r):
    out=[]
    for off,t,l,nr in attrs(r):
        if t==0x30:
            vo,vl=value(r,off); out.append((vo, r[vo+0x41], r[vo+0x42:vo+0x42+2*r[vo+0x40]].decode('utf-16le')))
    return out
def set_parent(r, ref):
    for vo,ns,n in names(r): struct.pack_into('<Q', r, vo, ref)
def seq(r): return struct.unpack_from('<H', r, 0x10)[0]
def flags(r): return struct.unpack_from('<H', r, 0x16)[0]
def info(e):
    r=rec(e); a=list(attrs(r)); ns=names(r)
    d=[(t,nr,struct.unpack_from('<B',r,off+9)[0]) for off,t,l,nr in a]
    return r,a,ns,d
picked = {}
for e in range(16, N):
    r,a,ns,d = info(e)
    if struct.unpack_from('<Q', r, 0x20)[0]: continue
    types=[t for t,_,_ in d]; nss=[n[1] for n in ns]
    def want(k, cond):
        if k not in picked and cond and e not in picked.values(): picked[k]=e
    want('dir', flags(r)&2)
    want('file_dos_nonresident', nss==[1,2] and any(t==0x80 and nr and nl==0 for t,nr,nl in d))
    want('file_resident', any(t==0x80 and not nr and nl==0 for t,nr,nl in d) and flags(r)&1)
    want('file_ads', any(t==0x80 and nl for t,nr,nl in d))
    want('file_deleted', not flags(r)&1 and not flags(r)&2)
    want('file_posix', nss==[0])
    want('file_win32_dos', nss==[3])
    want('file_attribute_list', 0x20 in types)
    sparse = any(t==0x80 and nr and struct.unpack_from('<H', r, off+0x0C)[0]&0x8000 for off,t,l,nr in a)
    want('file_sparse_runs', sparse)
print(picked)
for k,e in picked.items():
    if k=='file_attribute_list': continue
    open(f'{outdir}/{k}.rec','wb').write(data[e*1024:(e+1)*1024])
open(f'{outdir}/system_0_7.mft','wb').write(data[:8*1024])
# a tree inside the image: records 0..5 as generated, 6 a directory under the root, 7 a file in it
d = rec(picked['dir']); set_parent(d, 5 | (5<<48))
f = rec(picked['file_dos_nonresident']); set_parent(f, 6 | (seq(d)<<48))
open(f'{outdir}/tree_0_7.mft','wb').write(data[:6*1024] + seal(d) + seal(f))
# attribute list: base at 0, its extension record at 1
e = picked['file_attribute_list']; b = rec(e); x = rec(e+1)
for off,t,l,nr in attrs(b):
    if t==0x20:
        vo,vl=value(b,off); p=vo
        while p < vo+vl:
            L = struct.unpack_from('<H', b, p+4)[0]; ref = struct.unpack_from('<Q', b, p+0x10)[0]
            ent = (ref & 0xffffffffffff) - e
            struct.pack_into('<Q', b, p+0x10, ent | (ref & ~0xffffffffffff))
            p += L
struct.pack_into('<Q', x, 0x20, 0 | (seq(b)<<48)); struct.pack_into('<I', b, 0x2C, 0); struct.pack_into('<I', x, 0x2C, 1)
open(f'{outdir}/attribute_list_0_1.mft','wb').write(seal(b)+seal(x))
