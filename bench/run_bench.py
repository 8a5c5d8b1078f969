#!/usr/bin/env python3
"""Benchmark: tablemark against the system-call floor, at the sizes users have.

For each size N it makes a directory of N files (bench/make_tables: mostly
tables to re-mark, some already marked, some refused, some other files) on
tmpfs where the machine has one, and runs tablemark (build/release/tablemark)
and the floor (bench/floor.cc: only the system calls the job needs for the
same guarantees) in alternating pairs, each run on a fresh copy. The whole
process is timed, start-up included, by a small launcher (bench/measure).

It prints, per size, the median of the pairs' ratios tablemark/floor with
their spread (quartiles and extremes), and the median times; then peak
resident memory of tablemark at 1 000 and 100 000 entries; then tablemark's
heap allocations per table in the steady state, counted by valgrind as the
difference between two sizes.

This is a benchmark, not a test: it prints figures and judges nothing,
except that both programs must finish with the exit status the mix implies.
Build the helpers first: cmake --build build/release --target bench_helpers
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

MARK = 0xC9  # code page 1251


def available_memory():
    with open("/proc/meminfo") as meminfo:
        for line in meminfo:
            if line.startswith("MemAvailable:"):
                return int(line.split()[1]) * 1024
    return 0


def work_root(needed=0):
    """tmpfs when it can hold `needed` bytes, which it takes from memory."""
    for candidate in ("/dev/shm", tempfile.gettempdir()):
        if os.path.isdir(candidate) and os.access(candidate, os.W_OK):
            fs = os.statvfs(candidate)
            in_memory = candidate == "/dev/shm"
            if fs.f_bavail * fs.f_frsize >= needed and (
                    not in_memory or available_memory() >= 2 * needed):
                return candidate
    return tempfile.gettempdir()


def make_dir(build, path, n, silent=False):
    args = [os.path.join(build, "bench", "make_tables"), path, str(n), hex(MARK)]
    if silent:
        args.append("--silent")
    subprocess.run(args, check=True)


def remove(path):
    shutil.rmtree(path, ignore_errors=True)


def command(build, name, directory):
    if name == "tablemark":
        return [os.path.join(build, "tablemark"), "-d", directory, "-c", "1251"]
    return [os.path.join(build, "bench", "floor"), directory, hex(MARK)]


def timed(build, name, root, n):
    """Wall seconds and peak resident KiB of one run on a fresh directory."""
    directory = os.path.join(root, f"d{n}")
    make_dir(build, directory, n)
    try:
        with open(os.devnull, "wb") as null:
            out = subprocess.run([os.path.join(build, "bench", "measure")] +
                                 command(build, name, directory),
                                 stdout=subprocess.PIPE, stderr=null, stdin=subprocess.DEVNULL,
                                 check=True).stdout.split()
    finally:
        remove(directory)
    wall, peak, status = float(out[0]), int(out[1]), int(out[2])
    want = 1 if n >= 81 else 0  # the mix holds refused headers from file 80 on
    if status != want:
        raise SystemExit(f"{name} exited {status} on {n} files, want {want}")
    return wall, peak


def quartiles(values):
    q = statistics.quantiles(values, n=4) if len(values) > 1 else values * 3
    return q[0], q[2]


def pairs(build, root, n, count):
    """Ratios and times of `count` alternating pairs."""
    ratios, times = [], {"tablemark": [], "floor": []}
    for i in range(count):
        order = ("tablemark", "floor") if i % 2 == 0 else ("floor", "tablemark")
        walls = {name: timed(build, name, root, n)[0] for name in order}
        for name, wall in walls.items():
            times[name].append(wall)
        ratios.append(walls["tablemark"] / walls["floor"])
    return ratios, times


def heap_allocations(build, root, n, silent):
    directory = os.path.join(root, f"v{n}")
    make_dir(build, directory, n, silent)
    try:
        out = subprocess.run(
            ["valgrind", "--tool=memcheck", "--leak-check=no",
             os.path.join(build, "tablemark"), "-d", directory, "-c", "1251"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace").stderr
    finally:
        remove(directory)
    found = re.search(r"total heap usage: ([\d,]+) allocs", out)
    if not found:
        raise SystemExit("valgrind gave no heap summary:\n" + out[-2000:])
    return int(found.group(1).replace(",", ""))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--sizes", type=int, nargs="+", default=[100, 100000])
    parser.add_argument("--million", action="store_true", help="also 1 000 000 tables")
    parser.add_argument("--pairs", type=int, nargs="+", default=[301, 15],
                        help="pairs per size: the first for sizes up to 10 000, the second above")
    parser.add_argument("--memory-sizes", type=int, nargs="+", default=[1000, 100000])
    parser.add_argument("--alloc-sizes", type=int, nargs=2, default=[1000, 20000],
                        help="the two sizes whose allocation counts are compared")
    parser.add_argument("--no-valgrind", action="store_true")
    opts = parser.parse_args()
    sizes = opts.sizes + ([1000000] if opts.million else [])

    root = tempfile.mkdtemp(prefix="tablemark-bench-", dir=work_root())
    try:
        fs = subprocess.run(["df", "--output=fstype", root], capture_output=True,
                            text=True).stdout.split()[-1]
        print(f"cores: {os.cpu_count()}, directory on {fs} ({root}); alternating pairs, "
              f"fresh copy per run, whole process timed")
        print()
        header = (f"{'tables':>9} {'pairs':>5} {'ratio median':>12} {'quartiles':>11} "
                  f"{'extremes':>11} {'tablemark':>10} {'floor':>10}")
        print(header)
        print("-" * len(header))
        for n in sizes:
            count = opts.pairs[0] if n <= 10000 else opts.pairs[-1]
            ratios, times = pairs(opts.build, root, n, count)
            low, high = quartiles(ratios)
            print(f"{n:>9} {count:>5} {statistics.median(ratios):>12.3f} "
                  f"{low:>5.2f}-{high:<5.2f} {min(ratios):>5.2f}-{max(ratios):<5.2f} "
                  f"{statistics.median(times['tablemark']) * 1000:>8.2f}ms "
                  f"{statistics.median(times['floor']) * 1000:>8.2f}ms")
            sys.stdout.flush()
        print()
        peaks = [max(timed(opts.build, "tablemark", root, n)[1] for _ in range(3))
                 for n in opts.memory_sizes]
        print("tablemark peak resident memory: " +
              ", ".join(f"{p} KiB at {n} entries" for n, p in zip(opts.memory_sizes, peaks)) +
              f" (growth {peaks[-1] - peaks[0]} KiB)")
        if not opts.no_valgrind and shutil.which("valgrind"):
            small, large = opts.alloc_sizes
            print(f"tablemark heap allocations (valgrind), per table from {small} to {large}:")
            for label, silent in (("silent paths only", True), ("whole mix", False)):
                a, b = (heap_allocations(opts.build, root, n, silent) for n in (small, large))
                print(f"  {label:<18} {a} allocs at {small}, {b} at {large}: "
                      f"{(b - a) / (large - small):.3f} per table")
    finally:
        remove(root)


if __name__ == "__main__":
    main()
