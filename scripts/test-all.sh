#!/usr/bin/env bash
# The whole test suite, from a fresh Debian machine: installs what it needs,
# builds every preset (native release, sanitizers, both Windows exes) and runs
# every test: unit tests, the end-to-end cases on the native program (release
# and sanitizer builds) and on the 64-bit exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh

for preset in release debug asan windows-x86 windows-x64 fuzz; do
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

echo "== the release exe is a 32-bit console program; both carry the manifest and version"
kind=$(file -b build/windows-x86/Tablemark.exe)
echo "$kind"
[[ "$kind" == "PE32 executable (console) Intel 80386"* ]]
python3 - build/windows-x86/Tablemark.exe build/windows-x64/Tablemark.exe <<'PY'
import sys
for exe in sys.argv[1:]:
    data = open(exe, "rb").read()
    wanted = [b"WindowsSettings\">true</longPathAware>", b'level="asInvoker"', "ProductName".encode("utf-16-le"),
              "Tablemark".encode("utf-16-le"), "ProductVersion".encode("utf-16-le")]
    missing = [w for w in wanted if w not in data]
    assert not missing, (exe, missing)
    print(exe, "has its manifest and version resource")
PY

echo "== static analysis"
scripts/analyse.sh

echo "== fuzzing, ${FUZZ_SECONDS:=60} s a target"
for target in fuzz_command_line fuzz_table_header fuzz_byte_names fuzz_console_charset; do
  corpus="build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  # New inputs go to the build folder; the seeds in the repository stay as they are.
  "build/fuzz/tests/fuzz/$target" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 \
    "$corpus" "tests/fuzz/corpus/$target" > "build/fuzz/$target.log" 2>&1 ||
    { tail -n 40 "build/fuzz/$target.log"; echo "$target failed"; exit 1; }
  echo "$target: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$target.log" |
                   grep -o '[0-9]*$') inputs, no failure"
done

echo "== benchmark smoke run"
python3 bench/run_bench.py --sizes 1000 --repeat 1 --alloc-sizes 200 1000

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
