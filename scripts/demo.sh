#!/usr/bin/env bash
# Builds the tool and runs it on a demonstration directory of generated
# tables, showing the code-page mark (byte 29) of each before and after.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq cmake make g++ python3 >/dev/null
fi
# A build of its own, without the tests, so that it needs nothing but a compiler.
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" --target tablemark >/dev/null
program=build/demo/tablemark

demo=$(mktemp -d /tmp/tablemark-demo.XXXXXX)
trap 'rm -rf "$demo"' EXIT
python3 - "$demo" <<'PY'
import os, sys
demo = sys.argv[1]
def table(signature, mark, b30=0):
    header = bytearray(64)
    header[0], header[29], header[30] = signature, mark, b30
    return bytes(header)
files = {
    "CUSTOMERS.DBF": table(0x30, 0x65),   # Visual FoxPro table, code page 866
    "orders.dbf": table(0x03, 0x00),      # dBASE III table, no code page
    "forms.scx": table(0x30, 0x03),       # form, code page 1252
    "ready.dbf": table(0x30, 0xC9),       # already 1251
    "memo.dbf": table(0x8B, 0x65),        # dBASE memo signature: refused
    "broken.dbf": table(0x30, 0x65, 7),   # reserved byte set: refused
    "notes.txt": b"not a table",
}
for name, data in files.items():
    with open(os.path.join(demo, name), "wb") as f:
        f.write(data)
PY

marks() {
  for f in "$demo"/*; do
    if [ "$(stat -c %s "$f")" -ge 32 ]; then
      printf '  %-14s byte 29 = 0x%s\n' "$(basename "$f")" "$(od -An -tx1 -j29 -N1 "$f" | tr -d ' ')"
    else
      printf '  %-14s (no table header)\n' "$(basename "$f")"
    fi
  done
}
echo "Demonstration directory: $demo (removed when the demo ends)"
echo "Before:"
marks
echo
echo "memo.dbf and broken.dbf are not tables on purpose (a memo signature, a reserved"
echo "byte set): tablemark refuses them with a message each and leaves them as they"
echo "are, so exit status 1 is expected. notes.txt is not visited at all."
echo
echo "\$ $program -d $demo -c 1251"
status=0
"$program" -d "$demo" -c 1251 2>&1 || status=$?
echo "(exit status $status)"
echo
echo "After:"
marks
