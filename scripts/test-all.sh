#!/usr/bin/env bash
# The whole test suite, from a fresh Debian machine: installs what it needs,
# builds every preset (native release, sanitizers, both Windows exes) and runs
# every test: unit tests, the end-to-end cases on the native program (release
# and sanitizer builds) and on the 64-bit exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh

for preset in release asan windows-x86 windows-x64; do
  echo "== build $preset"
  cmake --preset "$preset" -DTABLEMARK_TESTS=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

for preset in release asan; do
  echo "== unit tests, $preset"
  ctest --preset "$preset" -j "$jobs" --no-tests=error -E end_to_end
  echo "== end-to-end tests, native program, $preset"
  python3 tests/e2e/run_e2e.py --target native --program "build/$preset/tablemark"
done

echo "== end-to-end tests, Windows exe under Wine"
python3 tests/e2e/run_e2e.py --target wine \
  --program build/windows-x64/Tablemark.exe \
  --holder build/windows-x64/share_holder.exe \
  --wine-prefix build/windows-x64/wineprefix

echo "== the release exe is a 32-bit console program"
kind=$(file -b build/windows-x86/Tablemark.exe)
echo "$kind"
[[ "$kind" == "PE32 executable (console) Intel 80386"* ]]

echo "== install and package"
rm -rf build/install-check
cmake --install build/release --prefix build/install-check >/dev/null
test -x build/install-check/bin/tablemark
test -f build/install-check/share/man/man1/tablemark.1
(cd build/windows-x86 && cpack >/dev/null)
zip_file=$(ls build/windows-x86/Tablemark-*-win32.zip)
python3 - "$zip_file" <<'PY'
import sys, zipfile
names = sorted(zipfile.ZipFile(sys.argv[1]).namelist())
assert names == ["LICENSE", "README.md", "Tablemark.exe"], names
print(sys.argv[1], names)
PY

echo "all tests passed"
