#!/usr/bin/env python3
"""Crafted evidence and everyday mistakes, run through the built program under
a memory limit. Each case builds its input from the committed fixtures in a
scratch folder, runs skelvar once and checks: it ends within the time limit,
its peak RSS stays under the limit, its exit status and message are the ones
asked for, the input files are unchanged, and a results file that was there
before is intact when the run reported nothing.

    hostile_inputs.py --bin build/skelvar --source . [--case NAME] [--sanitized] [--strict]
    hostile_inputs.py --list

A case marked with an owner is expected to fail until that branch lands: it is
reported apart, as XFAIL while it fails and XPASS once it works (the mark is
then removed); --strict judges it like any other case.
"""
import argparse
import hashlib
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ntfs_craft as nc  # noqa: E402

TIME_LIMIT = 10.0
RSS_LIMIT_MB = 200
ADDRESS_LIMIT = 400 << 20  # a runaway allocation fails fast instead of swapping
FILE_LIMIT = 256 << 20     # and runaway results do not fill the disk
EARLIER_RESULTS = b"results of an earlier run\n"
MIB = 1 << 20


class Fail(Exception):
    pass


class Case:
    """`build(work)` makes the inputs and returns the arguments (the results file is work/res.txt)."""

    def __init__(self, name, build, exit=0, stderr=(), results=None, owner=None, check=None):
        self.name, self.build, self.exit, self.stderr = name, build, exit, stderr
        self.results = results  # None: the earlier results file stays intact; else texts it must hold
        self.owner = owner      # branch whose fix this case waits for
        self.check = check      # extra check(work, run) raising Fail


# ---- inputs ---------------------------------------------------------------

def fixture(name):
    return os.path.join(SOURCE, "tests", "fixtures", "data", name)


def basic_volume():
    return nc.Volume(nc.gunzip(fixture("basic.img.gz")))


def save(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def list_runs(lcns, clusters_each):
    return nc.run_list([(clusters_each, lcn) for lcn in lcns])


def mft_list_naming_one_extension(work, list_mib):
    """Record 0's own attribute list names the $DATA extent of record 16 over and over; record 16 is
    an extension of the $MFT whose extent is 400 sparse runs."""
    v = basic_volume()
    ext = nc.non_resident(0x80, nc.run_list([(1, None)] * 400), 1, 400 * v.cluster, start_vcn=0x1000)
    v.write(16, nc.record(16, 16, [ext], flags=1, base=nc.ref(0, 1)))
    one_mib = nc.list_entry(0x80, nc.ref(16, 16), 1) * (MIB // 0x20)
    a, b = v.grow(one_mib), v.grow(one_mib)  # two copies: a run may not repeat its predecessor's clusters
    per = MIB // v.cluster
    runs = list_runs([(a, b)[i % 2] for i in range(list_mib)], per)
    v.replace_attribute(0, 0x20, nc.non_resident(0x20, runs, 4, list_mib * MIB))
    return ["-image", save(os.path.join(work, "mft_list.img"), v.img)]


def file_list(work, type_, extension_attr, list_bytes, name):
    """Entry 17 is a file whose non-resident attribute list repeats one attribute of its extension
    record 18 until the list is `list_bytes` long."""
    v = basic_volume()
    base = nc.ref(17, 17)
    listing = nc.list_entry(type_, nc.ref(18, 18), 1) * (list_bytes // 0x20)
    lcn = v.grow(listing)
    runs = nc.run_list([(len(listing) // v.cluster, lcn)])
    v.write(17, nc.record(17, 17, [nc.standard_information(0), nc.non_resident(0x20, runs, 2, len(listing)),
                                   nc.file_name(nc.ref(5, 5), name, 3)]))
    v.write(18, nc.record(18, 18, [extension_attr], base=base))
    return ["-image", save(os.path.join(work, "file_list.img"), v.img)]


def repeated_data_fragment(work):
    fragment = nc.non_resident(0x80, nc.run_list([(1, 100 + 2 * i) for i in range(150)]), 1, 150 * 4096)
    return file_list(work, 0x80, fragment, 16 * MIB, "fragments.bin")


def repeated_file_name(work):
    return file_list(work, 0x30, nc.file_name(nc.ref(5, 5), "many_names.txt", 1), 65536 * 0x20, "base.txt")


def huge_partition(work):
    """An MBR disk whose NTFS partition claims 2^40 sectors and a $MFT of 0xFFFFFFFF clusters."""
    v = basic_volume()
    struct.pack_into("<Q", v.img, 0x28, 1 << 40)
    clusters = 0xFFFFFFFF
    v.replace_attribute(0, 0x80, nc.non_resident(0x80, nc.run_list([(clusters, v.mft_lcn)]), 1, clusters * v.cluster))
    mbr = bytearray(512)
    struct.pack_into("<B3sB3sII", mbr, 446, 0, b"\0\x21\0", 0x07, b"\xfe\xff\xff", 2048, len(v.img) // 512)
    mbr[510:512] = b"\x55\xaa"
    disk = bytes(mbr) + bytes(2047 * 512) + bytes(v.img)
    return ["-image", save(os.path.join(work, "disk.img"), disk), "-offset", "0x100000"]


def deep_directories(work, top_parent):
    """The records of the basic $MFT, then 20,000 directories each in the one before; the first one's
    parent is `top_parent`. Long names make the paths reach the NTFS length limit early."""
    mft = nc.gunzip(fixture("basic.mft.gz"))
    first, depth = len(mft) // 1024, 20000
    out = bytearray(mft)
    name = "d" * 200
    for i in range(depth):
        e = first + i
        parent = top_parent if i == 0 else nc.ref(e - 1, 1)
        rec = nc.record(e, 1, [nc.standard_information(0), nc.file_name(parent, name, 1, directory=True)], flags=3)
        out += nc.seal(rec)
    rec0 = nc.unseal(out[:1024])
    for off, t, _ in nc.attributes(rec0):
        if t == 0x80:
            struct.pack_into("<QQQ", rec0, off + 0x28, len(out), len(out), len(out))
    out[:1024] = nc.seal(rec0)
    return ["-mftfile", save(os.path.join(work, "deep.mft"), out)]


def stray_record(work):
    """A copy of a file record claiming entry 1,048,000, in the free space of a volume large enough
    to hold that many records (a sparse image of 1.25 GiB): what -regen_mft finds."""
    v = basic_volume()
    rec = v.read(0x44)
    struct.pack_into("<I", rec, 0x2C, 1048000)
    size, at = 1280 * MIB, 1024 * MIB
    struct.pack_into("<Q", v.img, 0x28, size // v.sector)
    path = save(os.path.join(work, "stray.img"), v.img)
    with open(path, "r+b") as f:
        f.seek(at)
        f.write(nc.seal(rec))
        f.truncate(size)
    return ["-image", path, "-regen_mft"]


def many_records(work, count=12000):
    """The basic $MFT followed by copies of one file record: enough entries for several results buffers."""
    mft = nc.gunzip(fixture("basic.mft.gz"))
    template = nc.unseal(mft[0x44 * 1024:0x45 * 1024])
    out = bytearray(mft)
    for e in range(len(mft) // 1024, count):
        struct.pack_into("<I", template, 0x2C, e)
        out += nc.seal(template)
    rec0 = nc.unseal(out[:1024])
    for off, t, _ in nc.attributes(rec0):
        if t == 0x80:
            struct.pack_into("<QQQ", rec0, off + 0x28, len(out), len(out), len(out))
    out[:1024] = nc.seal(rec0)
    return save(os.path.join(work, "many.mft"), out)


# ---- the same file under other names ---------------------------------------

def source_file(work, kind):
    if kind == "mftfile":
        return "-mftfile", save(os.path.join(work, "evidence.mft"), nc.gunzip(fixture("basic.mft.gz")))
    return "-image", save(os.path.join(work, "evidence.img"), basic_volume().img)


def alias(work, path, via):
    if via == "same":
        return path
    other = os.path.join(work, "other name")
    if via == "hard link":
        os.link(path, other)
    else:
        os.symlink(os.path.basename(path), other)
    return other


def writes_evidence(kind, option, via):
    def build(work):
        flag, path = source_file(work, kind)
        return [flag, path, option, alias(work, path, via)]
    what = "results" if option == "-out" else "diagnostics"
    return Case(f"{option[1:]}_is_{kind}_{via.replace(' ', '_')}", build, exit=255,
                stderr=[f"prob writing the {what} to "])


def writes_parent_disk(work):
    """The parent of a VMDK snapshot is opened through the name the snapshot records, never given."""
    for name in ("containers_base.vmdk", "containers_child.vmdk"):
        save(os.path.join(work, name), nc.gunzip(fixture(name + ".gz")))
    return ["-image", os.path.join(work, "containers_child.vmdk"), "-offset", "0x100000",
            "-out", os.path.join(work, "containers_base.vmdk")]


# ---- sources that cannot be read -------------------------------------------

def missing_mftfile(work):
    return ["-mftfile", os.path.join(work, "no such.mft")]


def folder_mftfile(work):
    os.mkdir(os.path.join(work, "a folder"))
    return ["-mftfile", os.path.join(work, "a folder")]


def sector_size_zero(work):
    v = basic_volume()
    struct.pack_into("<H", v.img, 0x0B, 0)
    return ["-image", save(os.path.join(work, "bps0.img"), v.img)]


def missing_vmdk(work):
    return ["-vmdk", os.path.join(work, "no such.vmdk")]


def empty_mftfile(work):
    return ["-mftfile", save(os.path.join(work, "empty.mft"), b"")]


def boot_sector_mftfile(work):
    return ["-mftfile", save(os.path.join(work, "boot.bin"), basic_volume().img[:512])]


def write_only_results(work):
    """An earlier results file that cannot be read stays, with its mode, when the source is missing."""
    results = os.path.join(work, "res.txt")
    save(results, b"")
    os.chmod(results, 0o200)
    return missing_mftfile(work)


def mode_kept(work, run):
    if os.stat(os.path.join(work, "res.txt")).st_mode & 0o777 != 0o200:
        raise Fail("the write-only results file was replaced")


def dangling_results_link(work):
    os.symlink("made by the run.txt", os.path.join(work, "res link"))
    return missing_mftfile(work) + ["-out", os.path.join(work, "res link")]


def link_not_followed(work, run):
    if os.path.lexists(os.path.join(work, "made by the run.txt")):
        raise Fail("the test-open created the target of a dangling link")


def interrupted(work, run):
    """Terminated at a progress step, the run has left every entry before it on disk, ending at a line.
    SIGTERM, not Ctrl-C: a runner may start the tests with SIGINT ignored. Not SIGKILL, which cannot be
    held: the kernel may cut the write in flight at a page boundary."""
    results = os.path.join(work, "res.txt")
    proc = subprocess.Popen([BIN, "-mftfile", many_records(work), "-csv", "-out", results],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seen = b""
    step = b"analyzing entry 1060 "  # a progress step (every 53 entries) well inside one results buffer
    while step not in seen:
        chunk = proc.stderr.read1(4096)
        if not chunk:
            break
        seen = seen[-64:] + chunk
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    proc.stderr.close()
    if step not in seen:
        raise Fail("the run ended before entry 1060")
    text = open(results, "rb").read()
    entries = {line.split(b",", 1)[0] for line in text.split(b"\n")[3:] if line}
    missing = [e for e in range(0x44, 1060) if b"0x%08x" % e not in entries]
    if missing:
        raise Fail(f"{len(missing)} entries before 1060 missing, from 0x{missing[0]:x}")
    if not text.endswith(b"\n"):
        raise Fail("the results file ends inside a line")


CASES = [
    # Attribute-list amplification, volume size, -regen_mft, deep chains.
    Case("mft_list_1mib", lambda w: mft_list_naming_one_extension(w, 1), results=[b"deep.txt"]),
    Case("mft_list_16mib", lambda w: mft_list_naming_one_extension(w, 16), results=[b"deep.txt"]),
    Case("file_list_repeats_data", repeated_data_fragment, results=[b"fragments.bin"]),
    Case("file_list_repeats_file_name", repeated_file_name, results=[b"many_names.txt"]),
    Case("partition_claims_2p40_sectors", huge_partition, results=[b"deep.txt"]),
    Case("regen_stray_entry_1048000", stray_record, results=[b"deep.txt"]),
    Case("deep_chain_top_missing", lambda w: deep_directories(w, nc.ref(30000, 1)) + ["-csv"],
         results=[b"<path corrupted>"]),
    Case("deep_chain_reaching_root", lambda w: deep_directories(w, nc.ref(5, 5)) + ["-csv"],
         results=[b"[root]\\" + b"d" * 200 + b"\\"]),
    # Never write the evidence.
    *[writes_evidence(kind, option, via) for kind in ("mftfile", "image") for option in ("-out", "-diags")
      for via in ("same", "hard link", "symlink")],
    Case("out_is_parent_of_vmdk_snapshot", writes_parent_disk, exit=255, stderr=["prob writing the results to "]),
    # Never destroy a results file for nothing (the run goes on to its end with status 0 as a walk
    # failure does, or stops while reading the options).
    Case("missing_mftfile", missing_mftfile, stderr=["prob opening $MFT file ", ": No such file or directory"]),
    Case("write_only_results_kept", write_only_results, stderr=["prob opening $MFT file "], check=mode_kept),
    Case("dangling_results_link_not_followed", dangling_results_link, stderr=["prob opening $MFT file "],
         check=link_not_followed),
    Case("folder_as_mftfile", folder_mftfile, stderr=[": not a regular file, nothing to report"]),
    Case("bytes_per_sector_0", sector_size_zero, stderr=["the NTFS boot sector describes no usable geometry"]),
    Case("missing_vmdk", missing_vmdk, exit=255, stderr=["no such.vmdk can't be opened"]),
    Case("empty_mftfile", empty_mftfile, stderr=[": the file is empty, nothing to report"]),
    Case("boot_sector_as_mftfile", boot_sector_mftfile, stderr=["it holds an NTFS boot sector, not a $MFT"]),
    # Clear words.
    Case("value_option_last", lambda w: ["-mftfile", save(os.path.join(w, "x.mft"), nc.gunzip(
        fixture("basic.mft.gz"))), "-out", os.path.join(w, "res.txt"), "-mftrange", "2", "-dateformat"],
         stderr=["warning: -dateformat is missing its value (it stands last), ignored"], results=[b"$MFTMirr"]),
    Case("interrupted_run_keeps_lines", None, check=interrupted),
]


# ---- running ---------------------------------------------------------------

def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(MIB), b""):
            h.update(block)
    return h.hexdigest()


def inputs_of(work):
    found = {}
    for root, _, files in os.walk(work):
        for f in files:
            p = os.path.join(root, f)
            if os.path.isfile(p) and not os.path.islink(p) and f not in ("res.txt", "stdout.txt", "stderr.txt",
                                                                            "usage.txt"):
                found[p] = digest(p)
    return found


def run(args, work, time_limit):
    """Runs the program under GNU time, which reports its peak RSS (a child forked from this
    interpreter would count the interpreter's pages too), and under address-space and file-size limits."""
    out = open(os.path.join(work, "stdout.txt"), "wb")
    err = open(os.path.join(work, "stderr.txt"), "wb")
    usage = os.path.join(work, "usage.txt")
    env = dict(os.environ)
    limit = ["prlimit", f"--fsize={FILE_LIMIT}"] + ([] if SANITIZED else [f"--as={ADDRESS_LIMIT}"]) + ["--"]
    if SANITIZED:
        env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "hard_rss_limit_mb=1000"]))
    start = time.monotonic()
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", usage] + limit + [BIN] + args, stdout=out,
                            stderr=err, env=env, start_new_session=True)
    timed_out = False
    try:
        code = proc.wait(timeout=time_limit)
    except subprocess.TimeoutExpired:
        timed_out = True
        os.killpg(proc.pid, signal.SIGKILL)
        code = proc.wait()
    seconds = time.monotonic() - start
    out.close()
    err.close()
    report = open(usage).read()
    signalled = re.search(r"terminated by signal (\d+)", report)
    lines = report.split()
    return {"timed_out": timed_out, "seconds": seconds, "rss_mb": int(lines[-1]) / 1024 if lines else 0,
            "exit": -int(signalled.group(1)) if signalled else code,
            "stderr": open(os.path.join(work, "stderr.txt"), "rb").read().decode("utf-8", "replace")}


def check(case, work):
    if case.build is None:
        return case.check(work, None)
    results = os.path.join(work, "res.txt")
    args = case.build(work)
    args = ["-quiet"] + (["-out", results] if "-out" not in args else []) + args
    save(results, EARLIER_RESULTS)
    before = inputs_of(work)
    time_limit = TIME_LIMIT * (6 if SANITIZED else 1)
    r = run(args, work, time_limit)
    problems = []
    if r["timed_out"]:
        problems.append(f"still running after {time_limit:.0f} s")
    if not SANITIZED and r["rss_mb"] >= RSS_LIMIT_MB:
        problems.append(f"peak RSS {r['rss_mb']:.0f} MB")
    if not r["timed_out"] and r["exit"] != case.exit:
        problems.append(f"exit status {r['exit']}, wanted {case.exit}")
    for text in case.stderr:
        if text not in r["stderr"]:
            problems.append(f"no message {text!r}")
    if before != inputs_of(work):
        problems.append("an input file was changed")
    written = open(results, "rb").read() if os.path.exists(results) else b""
    if case.results is None and written != EARLIER_RESULTS:
        problems.append("the earlier results file was not left as it was")
    for text in case.results or ():
        if text not in written:
            problems.append(f"the results lack {text!r}")
    if case.check:
        case.check(work, r)
    print(f"{case.name}: {r['seconds']:.2f} s, peak RSS {r['rss_mb']:.0f} MB, exit {r['exit']}")
    if problems:
        tail = r["stderr"][-600:]
        raise Fail("; ".join(problems) + (f"\n--- stderr (end) ---\n{tail}" if tail else ""))


def main():
    global BIN, SOURCE, SANITIZED
    p = argparse.ArgumentParser()
    p.add_argument("--bin")
    p.add_argument("--source", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    p.add_argument("--case", action="append")
    p.add_argument("--list", action="store_true")
    p.add_argument("--strict", action="store_true", help="cases waiting for another branch fail like the others")
    p.add_argument("--sanitized", action="store_true", help="ASan build: no address limit, RSS not judged")
    a = p.parse_args()
    if a.list:
        print("\n".join(c.name for c in CASES))
        return 0
    BIN, SOURCE, SANITIZED = os.path.abspath(a.bin), os.path.abspath(a.source), a.sanitized
    failed = 0
    for case in CASES:
        if a.case and case.name not in a.case:
            continue
        if SANITIZED and case.owner and not a.strict:
            print(f"{case.name}: skipped under the sanitizers until {case.owner} lands")
            continue
        work = tempfile.mkdtemp(prefix="skelvar-hostile-")
        try:
            check(case, work)
            if case.owner:
                print(f"XPASS {case.name}: it works now; remove its expected failure ({case.owner})")
            else:
                print(f"PASS {case.name}")
        except Fail as e:
            if case.owner and not a.strict:
                print(f"XFAIL {case.name} (waits for {case.owner}): {str(e).splitlines()[0]}")
            else:
                print(f"FAIL {case.name}: {e}")
                failed += 1
        finally:
            shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


BIN = SOURCE = None
SANITIZED = False

if __name__ == "__main__":
    sys.exit(main())
