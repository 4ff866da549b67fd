#!/usr/bin/env python3
"""How many allocated entries of a volume skelvar reports as The Sleuth Kit does.

    bench/fls_agreement.py <skelvar> <fls -r -p -l -z UTC listing> <skelvar source options...>

e.g. bench/fls_agreement.py build/skelvar large.fls.txt -image large.img
     bench/fls_agreement.py build/skelvar large.fls.txt -mftfile large.mft

An allocated entry agrees when every name fls lists for it (its directory path and name; named
streams and TSK's own $OrphanFiles left out) is among skelvar's lines for that entry, each with the
same four $STANDARD_INFORMATION times to the second. Prints the counts and the first disagreements.
"""
import calendar
import csv
import subprocess
import sys
import tempfile
from collections import defaultdict


def fls_entries(path):
    """entry -> {(dir, name): (m, a, c, b)} for the allocated names of fls -r -p -l."""
    out = defaultdict(dict)
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 6 or line.startswith("#"):
                continue
            head = fields[0].split(" ")
            if "*" in fields[0] or "(realloc)" in fields[0] or head[0] == "V/V":
                continue
            entry = int(head[-1].split("-")[0].split(":")[0].split("(")[0])
            p = fields[1]
            if p.startswith("$OrphanFiles"):
                continue
            base = p.rfind("/") + 1
            colon = p.find(":", base)
            if colon >= 0:
                p = p[:colon]
            parts = p.split("/")
            d = "[root]\\" + "".join(x + "\\" for x in parts[:-1])
            times = tuple(tsk_seconds(t) for t in fields[2:6])
            out[entry][(d.replace(",", " "), parts[-1].replace(",", " "))] = times
    return out


TSK_ZERO_FILETIME = 3373865674  # what fls prints for a FILETIME of 0; skelvar writes no time


def tsk_seconds(text):
    if text.startswith("0000-00-00"):
        return None
    date, time = text.split(" ")[:2]
    y, mo, d = map(int, date.split("-"))
    h, mi, s = map(int, time.split(":"))
    t = calendar.timegm((y, mo, d, h, mi, s))
    return None if t == TSK_ZERO_FILETIME else t


def skelvar_entries(binary, source):
    """entry -> {(dir, name): [m, a, c, b]} from skelvar's -csv -base10 lines."""
    out = defaultdict(dict)
    with tempfile.NamedTemporaryFile(suffix=".csv") as results:
        subprocess.run([binary, *source, "-csv", "-base10", "-quiet", "-out", results.name], check=True,
                       stdout=subprocess.DEVNULL)
        with open(results.name, encoding="utf-8", errors="replace", newline="") as f:
            rows = csv.reader(f)
            col = None
            for row in rows:
                if col is None:
                    if row and row[0] == "mft entry":
                        col = {name.strip(): i for i, name in enumerate(row)}
                    continue
                if len(row) != len(col) or not row[0].isdigit():
                    continue
                key = (row[col["path"]], row[col["name"]])
                times = out[int(row[0])].setdefault(key, [None] * 4)
                macb = row[col["MACB"]]
                at = macb.find("si:[")
                if at < 0 or not row[col["date"]].strip():
                    continue
                y, mo, d = map(int, row[col["date"]].strip().split("-"))
                h, mi, s = map(int, row[col["time-utc"]].strip().split(".")[0].split(":"))
                when = calendar.timegm((y, mo, d, h, mi, s))
                for k in range(4):
                    if macb[at + 4 + k] != ".":
                        times[k] = when
    return out


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    tsk = fls_entries(sys.argv[2])
    ours = skelvar_entries(sys.argv[1], sys.argv[3:])
    agree, problems = 0, []
    for entry, names in sorted(tsk.items()):
        mine = ours.get(entry, {})
        bad = []
        for key, times in names.items():
            if key not in mine:
                bad.append(f"no line for {key[0]}{key[1]} (skelvar has {sorted(mine)[:3]})")
            elif tuple(mine[key]) != times:
                bad.append(f"{key[0]}{key[1]}: SI times {mine[key]} vs fls {list(times)}")
        if bad:
            problems.append(f"entry {entry}: " + "; ".join(bad))
        else:
            agree += 1
    print(f"{' '.join(sys.argv[3:])}: {agree} of {len(tsk)} allocated entries agree with fls "
          f"({len(problems)} differ)")
    for p in problems[:20]:
        print("  " + p[:400])


if __name__ == "__main__":
    main()
