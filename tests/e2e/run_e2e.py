#!/usr/bin/env python3
"""End-to-end cases: the built program, run as a user would, on real
temporary directories.

One set of cases serves both targets: `native` (the POSIX build) and `wine`
(the 64-bit Windows exe under Wine, Russian locale, OEM code page 866). Where
the platforms differ (switch characters, separators, error codes and texts,
line ends), the case says so in data. Each case checks the exit status, every
byte of stdout and stderr, and every byte of every file afterwards.

For whoever extends this: cases are data, in cases/ by subject (how a case is
made: cases/__init__.py); a case names the targets it applies to only when the
other platform cannot show the behaviour, and says why in `only_because`.
"""

import argparse
import errno
import os
import shutil
import subprocess
import sys
import time
import traceback

from cases import CASES
from harness.case import Skip
from harness.run import Context, run_case
from harness.targets import NativeTarget, WineTarget, start_wine, without_lc


def file_system_type(path):
    return subprocess.run(["stat", "-f", "-c", "%T", path], capture_output=True, text=True,
                          check=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--target", choices=("native", "wine"), required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--holder", help="the share-mode holder exe, run under Wine")
    parser.add_argument("--wine-prefix", help="a throwaway WINEPREFIX (wine, or with --holder)")
    parser.add_argument("--work", help="make the cases' folders here (default: a new "
                        "temporary folder)")
    parser.add_argument("--other-client", help="the --work folder as another client sees it "
                        "(a second mount of the same export or share)")
    parser.add_argument("--server-dir", help="the --work folder on the server's own disk")
    parser.add_argument("-k", dest="filter", help="run only cases whose name contains this")
    opts = parser.parse_args()

    program = os.path.abspath(opts.program)
    for what, path in (("--program", program), ("--holder", opts.holder)):
        if path and not os.path.isfile(path):
            parser.error(f"{what} {path}: no such program (build it first)")
    wine_env = start_wine(os.path.abspath(opts.wine_prefix)) if opts.wine_prefix else None
    if opts.target == "native":
        t = NativeTarget("native", program, dict(without_lc(os.environ), LC_ALL="C.UTF-8"))
    else:
        t = WineTarget("wine", program, wine_env)
    ctx = Context(opts, wine_env)
    kind = file_system_type(ctx.work)
    # The kernel clients of SMB say "permission denied" for a lock another holds.
    t.network = kind in ("nfs", "smb2", "cifs", "smb")
    t.lock_errno = errno.EACCES if kind in ("smb2", "cifs", "smb") else errno.EWOULDBLOCK
    print(f"{opts.target}: cases on {kind} in {ctx.work}")

    passed = failed = skipped = 0
    try:
        for name, targets, fn in CASES:
            if opts.target not in targets or (opts.filter and opts.filter not in name):
                continue
            started = time.monotonic()
            try:
                problems = run_case(t, fn, ctx)
            except Skip as reason:
                skipped += 1
                print(f"skip {name}: {reason}")
                continue
            except Exception:  # a broken case is a failure, not a crash of the runner
                problems = [traceback.format_exc()]
            took = time.monotonic() - started
            if problems:
                failed += 1
                print(f"FAIL {name} ({took:.1f}s)")
                for p in problems:
                    print("   " + p)
            else:
                passed += 1
                print(f"ok   {name} ({took:.1f}s)")
    finally:
        shutil.rmtree(ctx.work, ignore_errors=True)
        if wine_env:
            subprocess.run(["wineserver", "-k"], env=wine_env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print(f"{opts.target}: {passed} passed, {failed} failed, {skipped} skipped")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
