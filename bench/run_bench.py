#!/usr/bin/env python3
"""Benchmark: tablemark against the system-call floor and a plain script.

For each size N it makes a directory of N files (bench/make_tables: mostly
tables to re-mark, some already marked, some refused, some other files) on
tmpfs where the machine has one, and times, alternating and each on a fresh
copy of the same directory:
  - tablemark (build/release/tablemark);
  - floor: only the system calls the job needs (bench/floor.cc);
  - script: the same job as a straightforward Python script.
It prints the median wall time, microseconds per file, the ratios of
tablemark to floor and to script, and peak resident memory; then the heap
allocations per file of tablemark in the steady state, counted by valgrind
as the difference between two sizes.

This is a benchmark, not a test: it prints figures and judges nothing,
except that every program must finish with the exit status the mix implies.
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
HERE = os.path.dirname(os.path.abspath(__file__))


def work_root():
    for candidate in ("/dev/shm", tempfile.gettempdir()):
        if os.path.isdir(candidate) and os.access(candidate, os.W_OK):
            return candidate
    return tempfile.gettempdir()


def make_dir(build, path, n, silent=False):
    args = [os.path.join(build, "bench", "make_tables"), path, str(n), hex(MARK)]
    if silent:
        args.append("--silent")
    subprocess.run(args, check=True)


def remove(path):
    subprocess.run(["rm", "-rf", path], check=True)


def timed(build, command):
    """Wall seconds, peak resident KiB and exit status of one run."""
    with open(os.devnull, "wb") as null:
        out = subprocess.run([os.path.join(build, "bench", "measure")] + command,
                             stdout=subprocess.PIPE, stderr=null, stdin=subprocess.DEVNULL,
                             check=True).stdout.split()
    return float(out[0]), int(out[1]), int(out[2])


def programs(build, directory):
    return {
        "tablemark": [os.path.join(build, "tablemark"), "-d", directory, "-c", "1251"],
        "floor": [os.path.join(build, "bench", "floor"), directory, hex(MARK)],
        "script": [sys.executable, os.path.join(HERE, "remark_script.py"), directory, hex(MARK)],
    }


def measure(build, root, n, repeat):
    results = {name: [] for name in programs(build, "")}
    rss = {name: 0 for name in results}
    order = list(results)
    for r in range(repeat):
        # Alternate the order so that no program always runs first.
        for name in order[r % 3:] + order[:r % 3]:
            directory = os.path.join(root, f"d{n}")
            make_dir(build, directory, n)
            os.sync()
            wall, peak, status = timed(build, programs(build, directory)[name])
            remove(directory)
            want = 1 if n >= 81 else 0  # the mix holds refused headers from file 80 on
            if status != want:
                raise SystemExit(f"{name} exited {status} on {n} files, want {want}")
            results[name].append(wall)
            rss[name] = max(rss[name], peak)
    return {name: statistics.median(times) for name, times in results.items()}, rss


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
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 100000, 1000000])
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--alloc-sizes", type=int, nargs=2, default=[1000, 20000],
                        help="the two sizes whose allocation counts are compared")
    parser.add_argument("--no-valgrind", action="store_true")
    opts = parser.parse_args()

    root = tempfile.mkdtemp(prefix="tablemark-bench-", dir=work_root())
    try:
        fs = subprocess.run(["df", "--output=fstype", root], capture_output=True,
                            text=True).stdout.split()[-1]
        print(f"cores: {os.cpu_count()}, directory on {fs} ({root}), "
              f"median of {opts.repeat} runs each, alternating, fresh copy per run")
        print()
        header = (f"{'files':>9} {'program':<10} {'median':>10} {'us/file':>8} "
                  f"{'vs floor':>9} {'vs script':>9} {'peak RSS':>10}")
        print(header)
        print("-" * len(header))
        for n in opts.sizes:
            medians, rss = measure(opts.build, root, n, opts.repeat)
            for name in ("tablemark", "floor", "script"):
                m = medians[name]
                print(f"{n:>9} {name:<10} {m * 1000:>8.1f}ms {m / n * 1e6:>8.2f} "
                      f"{m / medians['floor']:>8.2f}x {m / medians['script']:>8.2f}x "
                      f"{rss[name] / 1024:>7.1f}MiB")
            sys.stdout.flush()
        if not opts.no_valgrind and shutil.which("valgrind"):
            small, large = opts.alloc_sizes
            print()
            print(f"tablemark heap allocations (valgrind), per file from {small} to {large} files:")
            for label, silent in (("silent paths only", True), ("whole mix", False)):
                a, b = (heap_allocations(opts.build, root, n, silent) for n in (small, large))
                print(f"  {label:<18} {a} allocs at {small}, {b} at {large}: "
                      f"{(b - a) / (large - small):.3f} per file")
    finally:
        remove(root)


if __name__ == "__main__":
    main()
