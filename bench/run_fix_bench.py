#!/usr/bin/env python3
"""Benchmark of --fix and --restore against the runs they stand for.

--fix: a directory of N text tables (bench/make_text_tables: Russian in 1251, German in 1252),
every one marked 866, so that --fix re-marks each for its own page; against --detect on the
same directory followed by re-marking its tables (-c 1251: every one written too).
--restore: a directory whose mix (bench/make_tables --silent) holds T tables and a FILE of T
lines naming each with 1251, in listing order and shuffled; against re-marking the same
directory to 1251.

Each run has a fresh copy of its directory on tmpfs where the machine has one (the copy is not
timed); the runs alternate, and the whole process is timed, start-up included, by
bench/measure. It prints the median of the ratios with their spread and the median times, and
peak resident memory. A benchmark, not a test: it prints figures and judges nothing, except
the exit statuses the directories imply.
Build the helpers first: cmake --build build/release --target bench_helpers
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile

from run_bench import make_dir, remove, work_root
from run_detect_bench import make, spread

TABLE_EXTENSIONS = (".dbf", ".scx", ".vcx", ".frx", ".lbx", ".mnx", ".dbc", ".pjx")


def measure(build, args, directory, out_path):
    """Wall seconds, peak KiB and exit status of one run of tablemark with `args`."""
    with open(out_path, "wb") as out:
        subprocess.run([os.path.join(build, "bench", "measure"),
                        os.path.join(build, "tablemark")] + args + [directory],
                       stdout=out, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    with open(out_path, "rb") as out:
        wall, peak, status = out.read().splitlines()[-1].split()
    return float(wall), int(peak), int(status)


def fresh(source, root):
    copy = os.path.join(root, "copy")
    remove(copy)
    shutil.copytree(source, copy)
    return copy


def runs(build, root, source, steps, out_path):
    """Wall seconds of the steps ([(args, wanted status)]) on one fresh copy; the peak KiB."""
    directory, total, peak = fresh(source, root), 0.0, 0
    for args, wanted in steps:
        wall, kib, status = measure(build, args, directory, out_path)
        if status != wanted:
            raise SystemExit(f"tablemark {' '.join(args)}: exit {status}, want {wanted}")
        total, peak = total + wall, max(peak, kib)
    return total, peak


def compare(build, root, source, name, one, other, pairs, out_path):
    times, peaks = ([], []), [0, 0]
    for i in range(pairs):
        for k in ((0, 1) if i % 2 == 0 else (1, 0)):
            wall, peak = runs(build, root, source, (one, other)[k], out_path)
            times[k].append(wall)
            peaks[k] = max(peaks[k], peak)
    ratios = [a / b for a, b in zip(*times)]
    print(f"{name:50} {pairs:>5} {statistics.median(ratios):>8.3f} {spread(ratios)} "
          f"{statistics.median(times[0]) * 1000:>9.1f}ms {statistics.median(times[1]) * 1000:>9.1f}ms"
          f" {peaks[0]:>8} KiB {peaks[1]:>8} KiB")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--text-tables", type=int, nargs="*", default=[2000, 100])
    parser.add_argument("--table-kib", type=int, nargs="+", default=[1, 1024])
    parser.add_argument("--lines", type=int, default=100000, help="--restore's tables")
    parser.add_argument("--pairs", type=int, default=11)
    parser.add_argument("--root", help="where the directories go (tmpfs where it can hold them)")
    opts = parser.parse_args()
    build = os.path.abspath(opts.build)
    root = tempfile.mkdtemp(prefix="tablemark-fix-", dir=opts.root or work_root(1 << 30))
    out_path = os.path.join(root, "out")
    try:
        print(f"{'':50} {'pairs':>5} {'ratio':>8} {'quartiles':>11} {'extremes':>11} "
              f"{'run':>11} {'against':>11} {'peak':>12} {'against':>12}")
        for count, kib in zip(opts.text_tables, opts.table_kib):
            source = make(build, os.path.join(root, f"t{count}"), count, kib)
            for name in os.listdir(source):
                if name.lower().endswith(".dbf"):
                    with open(os.path.join(source, name), "r+b") as table:
                        table.seek(29)
                        table.write(b"\x65")
            compare(build, root, source, f"--fix / --detect + -c 1251, {count} x {kib} KiB",
                    [(["--fix"], 0)], [(["--detect"], 1), (["-c", "1251", "-d"], 0)],
                    opts.pairs, out_path)
            remove(source)
        # --silent: 85 tables in 100 files, none refused.
        source = os.path.join(root, "mix")
        make_dir(build, source, opts.lines * 100 // 85 + 1, silent=True)
        # The lines in the order the copies list the tables (what --fix prints, the record
        # that undoes it), and shuffled (lines a person gathered).
        copy = fresh(source, root)
        listing = [n for n in os.listdir(copy) if n.lower().endswith(TABLE_EXTENSIONS)]
        shuffled = random.Random(1).sample(listing, len(listing))
        for order, names in (("listing order", listing), ("shuffled", shuffled)):
            lines = os.path.join(root, "lines.txt")
            with open(lines, "w", encoding="utf-8") as f:
                f.writelines(f"{n}\t1251\n" for n in names)
            compare(build, root, source, f"--restore / -c 1251, {len(names)} lines, {order}",
                    [(["--restore", lines], 0)], [(["-c", "1251", "-d"], 0)],
                    max(3, opts.pairs // 2), out_path)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
