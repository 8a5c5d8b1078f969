#!/usr/bin/env bash
# Builds the tool and shows it at work on a demonstration directory: which
# code page each table's text is in (--detect, its listing saved), the marks
# set by the text (--fix, its output saved), the run undone (--restore), and a
# mark set by hand. The directory is removed at the end.
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
# First on the path, before any tablemark installed on the machine.
PATH=$PWD/build/demo:$PATH

work=$(mktemp -d /tmp/tablemark-demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
data=$work/data
python3 scripts/demo-tables.py "$data"
cd "$work"

# Shows a command and its exit status; `show_to FILE command...` sends its
# standard output to FILE, as the shown line says; `show_file FILE` shows a
# file's lines.
show() {
  echo "\$ $*"
  status=0
  "$@" || status=$?
  echo "(exit status $status)"
  echo
}
show_to() {
  local file=$1
  shift
  echo "\$ $* > $file"
  status=0
  "$@" >"$file" || status=$?
  echo "(exit status $status)"
  echo
}
show_file() {
  echo "\$ cat $1"
  cat "$1"
  echo
}
echo "Demonstration directory: $work (removed when the demo ends)"
echo "The tables in data/ came from two systems. Which code page is each one's text"
echo "in? Save the listing: it is the record of the marks as they are."
echo
show_to before.txt tablemark --detect data
show_file before.txt
echo "orders.dbf holds 1251 text under mark 0. --fix re-marks each table whose text"
echo "it is sure of; its output, the marks as it found them, is the record that"
echo "undoes the run:"
echo
show_to fixed.txt tablemark --fix data
show_file fixed.txt
echo "Every mark now agrees with its table's text:"
echo
show tablemark --detect data
echo "Undo the run: --restore sets the marks fixed.txt lists (NAME<TAB>CODEPAGE;"
echo "the third column is ignored):"
echo
show tablemark --restore fixed.txt data
show tablemark --detect data
echo "A mark by hand: write the line and restore it (- is standard input):"
echo
printf '%s\n' "\$ printf 'orders.dbf\t1251\n' | tablemark --restore - data"
status=0
printf 'orders.dbf\t1251\n' | tablemark --restore - data || status=$?
echo "(exit status $status)"
echo
show tablemark --detect data
