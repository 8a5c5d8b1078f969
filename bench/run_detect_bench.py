#!/usr/bin/env python3
"""Benchmark of --detect: tablemark against the sampling floor.

bench/make_text_tables makes a directory of N tables of about S KiB, each
with its memo file (Russian text in 1251, German in 1252, each marked for its
own), and one-table directories: one such table, and one sparse table of
about G MiB with text where the sampler reads. tablemark --detect
(build/release/tablemark) and the floor (bench/detect_floor.cc: the same
reads of the same bytes, uchardet on them, one line per table) run in
alternating pairs on the same directory: reading changes nothing, so there
is no fresh copy, and both run warm (the files are in memory on tmpfs, or
in the page cache after the first run). The whole process is timed, start-up
included, by bench/measure; standard output goes to a file.

It prints the median of the pairs' ratios tablemark/floor with their spread
and the median times; the one-table directories' times, also net of an empty
directory's run (start-up and listing); and peak resident memory at 10 and N
tables and with the big table.

A benchmark, not a test: it prints figures and judges nothing, except that
both programs exit 0 and print one line per table.
Build the helpers first: cmake --build build/release --target bench_helpers
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

from run_bench import quartiles, remove, work_root


def pin(build, root):
    """Copies of the programs, which a rebuild during the run leaves alone."""
    pinned = os.path.join(root, "bin")
    os.mkdir(pinned)
    for program in ("tablemark", "bench/detect_floor", "bench/measure"):
        shutil.copy2(os.path.join(build, program), pinned)
    return pinned


def run(pinned, program, directory, out_path):
    """Wall seconds and peak resident KiB of one run."""
    if program == "tablemark":
        args = [os.path.join(pinned, "tablemark"), "--detect", directory]
    else:
        args = [os.path.join(pinned, "detect_floor"), directory]
    with open(out_path, "wb") as out:
        status = subprocess.run([os.path.join(pinned, "measure")] + args, stdout=out,
                                stdin=subprocess.DEVNULL).returncode
    with open(out_path, "rb") as out:
        lines = out.read().splitlines()
    wall, peak, code = lines[-1].split()
    tables = sum(name.lower().endswith(b".dbf") for name in os.listdir(os.fsencode(directory)))
    printed = lines[:-1]
    if status != 0 or int(code) != 0 or len(printed) != tables:
        raise SystemExit(f"{program} on {directory}: exit {int(code)}, {len(printed)} lines for "
                         f"{tables} tables, the last:\n" +
                         b"\n".join(printed[-5:]).decode(errors="replace"))
    return float(wall), int(peak)


def alternate(pinned, runs, first, second, out_path):
    """Wall times of `runs` alternating runs of two (program, directory) pairs."""
    times = ([], [])
    for i in range(runs):
        order = (0, 1) if i % 2 == 0 else (1, 0)
        for k in order:
            times[k].append(run(pinned, *(first, second)[k], out_path)[0])
    return times


def spread(values):
    low, high = quartiles(values)
    return f"{low:>5.2f}-{high:<5.2f} {min(values):>5.2f}-{max(values):<5.2f}"


def make(build, path, *args):
    subprocess.run([os.path.join(build, "bench", "make_text_tables"), path, *map(str, args)],
                   check=True)
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--tables", type=int, default=1000, help="tables in the timed directory")
    parser.add_argument("--table-kib", type=int, default=1024)
    parser.add_argument("--big-mib", type=int, default=1024, help="the sparse table's size")
    parser.add_argument("--pairs", type=int, default=21)
    parser.add_argument("--single-runs", type=int, default=51,
                        help="runs of each one-table directory")
    opts = parser.parse_args()
    # The floor is linked with tablemark's sampling: an older floor reads another sample.
    core = os.path.join(opts.build, "libtablemark_core.a")
    floor = os.path.join(opts.build, "bench", "detect_floor")
    if os.path.getmtime(floor) < os.path.getmtime(core):
        raise SystemExit(f"{floor} is older than {core}: "
                         f"cmake --build {opts.build} --target bench_helpers")

    # Memo files add about two thirds; the sparse table holds only its runs.
    needed = (opts.tables + 11) * opts.table_kib * 1024 * 17 // 10 + (16 << 20)
    root = tempfile.mkdtemp(prefix="tablemark-detect-", dir=work_root(needed))
    try:
        pinned = pin(opts.build, root)
        fs = os.statvfs(root)
        fstype = subprocess.run(["df", "--output=fstype", root], capture_output=True,
                                text=True).stdout.split()[-1]
        print(f"cores: {os.cpu_count()}, directories on {fstype} ({root}, "
              f"{fs.f_bavail * fs.f_frsize >> 20} MiB free, {needed >> 20} MiB needed); "
              f"warm runs, whole process timed, output to a file")
        tables = make(opts.build, os.path.join(root, "tables"), opts.tables, opts.table_kib)
        few = make(opts.build, os.path.join(root, "few"), 10, opts.table_kib)
        one = make(opts.build, os.path.join(root, "one"), 1, opts.table_kib)
        big = make(opts.build, os.path.join(root, "big"), opts.big_mib, "--sparse")
        empty = os.path.join(root, "empty")
        os.mkdir(empty)
        out_path = os.path.join(root, "out")
        for directory in (tables, one, big):  # the first run of each warms the caches
            for program in ("tablemark", "floor"):
                run(pinned, program, directory, out_path)
        print()

        t, f = alternate(pinned, opts.pairs, ("tablemark", tables), ("floor", tables),
                         out_path)
        ratios = [a / b for a, b in zip(t, f)]
        header = (f"{'tables':>7} {'KiB':>5} {'pairs':>5} {'ratio median':>12} {'quartiles':>11} "
                  f"{'extremes':>11} {'tablemark':>10} {'floor':>10}")
        print(header)
        print("-" * len(header))
        print(f"{opts.tables:>7} {opts.table_kib:>5} {opts.pairs:>5} "
              f"{statistics.median(ratios):>12.3f} {spread(ratios)} "
              f"{statistics.median(t) * 1000:>8.1f}ms {statistics.median(f) * 1000:>8.1f}ms")
        print()

        print(f"one-table directories, {opts.single_runs} runs each (median ms; net: less the "
              f"empty directory's run)")
        for program in ("tablemark", "floor"):
            base = statistics.median(run(pinned, program, empty, out_path)[0]
                                     for _ in range(opts.single_runs))
            small, large = (statistics.median(times) for times in alternate(
                pinned, opts.single_runs, (program, one), (program, big), out_path))
            print(f"  {program:<9} empty {base * 1000:6.2f}, {opts.table_kib} KiB "
                  f"{small * 1000:6.2f}, {opts.big_mib} MiB {large * 1000:6.2f}: "
                  f"{large / small:.2f} times; net {(small - base) * 1000:.2f} and "
                  f"{(large - base) * 1000:.2f}, {(large - base) / (small - base):.2f} times")
        print()

        print("peak resident memory, KiB (most of 3 runs):")
        for program in ("tablemark", "floor"):
            peaks = [max(run(pinned, program, d, out_path)[1] for _ in range(3))
                     for d in (few, tables, big)]
            print(f"  {program:<9} 10 tables {peaks[0]}, {opts.tables} tables {peaks[1]}, "
                  f"the {opts.big_mib} MiB table {peaks[2]}")
        sys.stdout.flush()
    finally:
        remove(root)


if __name__ == "__main__":
    main()
