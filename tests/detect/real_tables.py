#!/usr/bin/env python3
"""`tablemark --detect` on the real tables in tests/data/tables (written by other programs; its
NOTICE.md says where they come from and what each holds): each table's TEXT against what its
text is, read by hand.

    python3 tests/detect/real_tables.py --program build/release/tablemark
    python3 tests/detect/real_tables.py --program build/windows-x64/Tablemark.exe \\
        --wine-prefix build/windows-x64/wineprefix
"""

import argparse
import os
import sys

from corpus import run_program

TABLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "tables")
ASCII = {"-"}
# Each table and the TEXT answers that read its text right; None: refused, no line.
EXPECTED = [
    ("WSPMST.DBF", {"874"}),  # Thai product names, dBase III with leftover descriptor bytes
    ("vfp_gb2312_memo.dbf", {"936"}),  # Simplified Chinese; its memo file is missing
    ("dbase_not_latin1.dbf", {"950", "?"}),  # Traditional Chinese, 32 bytes only
    ("dbase_31.dbf", {"1252", "850", "437", "?"}),  # product names in 1252 and 850 alike
    ("vfp9_memo_bs1.dbf", ASCII),  # memo block size 1: a 0xC1 in a block header is no text
    ("vfp9_30.dbf", ASCII), ("vfp9_30_memo.dbf", ASCII), ("dbase_03.dbf", ASCII),
    ("dbase_83.dbf", ASCII), ("PYACFL.DBF", ASCII), ("dbase_currency.dbf", ASCII),
    ("dbase_8b.dbf", None),  # dBase IV: not a table
]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="tablemark, or Tablemark.exe")
    parser.add_argument("--wine-prefix", help="a throwaway WINEPREFIX to run the exe in")
    opts = parser.parse_args()
    lines, bad, _, _ = run_program(opts, os.path.abspath(TABLES))
    passed = 0
    for name, expected in EXPECTED:
        text = lines.pop(name, [None, None])[1]
        ok = text is None if expected is None else text in expected
        want = "no line" if expected is None else " or ".join(sorted(expected))
        print(f"{'ok  ' if ok else 'FAIL'} {name:22} TEXT {text or '(no line)':8} expected {want}")
        passed += ok
    failed = [f"{name}: a table not in the list" for name in lines]
    failed += [f"a line that names no table, or one twice: {line!r}" for line in bad]
    print("".join(f"FAIL {f}\n" for f in failed), end="")
    failed += [None] * (len(EXPECTED) - passed)
    print(f"real tables: {passed} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
