#!/usr/bin/env bash
# Builds the tool and shows it at work on a demonstration directory: which
# code page each table's text is in (--detect), re-marking the tables whose
# mark is wrong, and --detect again. The directory is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make g++ python3 pkg-config libuchardet-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# A build of its own, without the tests, so that it needs nothing but a
# compiler and uchardet.
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" --target tablemark >/dev/null
tablemark=build/demo/tablemark

data=$(mktemp -d /tmp/tablemark-demo.XXXXXX)
trap 'rm -rf "$data"' EXIT
python3 scripts/demo-tables.py "$data"

show() {
  echo "\$ $*"
  status=0
  "$@" || status=$?
  echo "(exit status $status)"
  echo
}
echo "Demonstration directory: $data (removed when the demo ends)"
echo "Its tables came from two systems. Which code page is each one's text in?"
echo
show "$tablemark" --detect "$data"
echo "orders.dbf holds 1251 text under mark 0. Re-mark it, with its memo file, in a"
echo "directory of its own (tablemark re-marks whole directories), and move it back:"
echo
mkdir "$data/fix"
mv "$data"/orders.* "$data/fix/"
show "$tablemark" "$data/fix" 1251
mv "$data"/fix/* "$data/"
rmdir "$data/fix"
echo "Every mark now agrees with its table's text:"
echo
show "$tablemark" --detect "$data"
