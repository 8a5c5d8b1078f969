#!/usr/bin/env python3
"""What a user would write instead: the same job as a straightforward script."""
import os
import sys

TYPES = {"DBF", "SCX", "VCX", "FRX", "LBX", "MNX", "DBC", "PJX"}


def main(directory, mark):
    status = 0
    for entry in os.scandir(directory):
        stem, dot, ext = entry.name.rpartition(".")
        if not dot or ext.upper() not in TYPES or entry.is_dir():
            continue
        try:
            with open(entry.path, "r+b") as f:
                header = f.read(32)
                if len(header) < 32 or header[0] in (0x8B, 0xCB) or header[30] or header[31]:
                    print(f"{entry.name}: not a table", file=sys.stderr)
                    status = 1
                elif header[29] != mark:
                    f.seek(29)
                    f.write(bytes([mark]))
        except OSError as e:
            print(f"{entry.name}: {e}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2], 0)))
