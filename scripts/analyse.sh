#!/usr/bin/env bash
# Static analysis of the program's code: clang-tidy (checks chosen in
# .clang-tidy) on the core with the POSIX layer and on the Win32 layer, and
# cppcheck on all of src/. Needs the release and windows-x64 builds
# configured (their compile_commands.json). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang-tidy counts the warnings it suppressed in system headers; that is noise.
exec 2> >(grep -v 'warnings\? generated\.' >&2)

echo "-- clang-tidy, core and POSIX layer"
clang-tidy -p build/release --quiet $(git ls-files 'src/*.cc' | grep -v -e /win32/ -e _win32)

echo "-- clang-tidy, Win32 layer (MinGW-w64 headers)"
# clang does not find MinGW's C++ headers by itself: ask the cross compiler
# for its search path, less GCC's own intrinsics, which clang has its own of.
extra=(--extra-arg=--target=x86_64-w64-mingw32)
while read -r dir; do
  extra+=("--extra-arg=-isystem$dir")
done < <(echo | x86_64-w64-mingw32-g++ -E -x c++ - -v 2>&1 |
         sed -n '/#include <...> search starts here:/,/End of search list./p' |
         grep '^ /' | sed 's/^ //' | grep -E 'c\+\+|mingw32/include$')
clang-tidy -p build/windows-x64 --quiet "${extra[@]}" \
  $(git ls-files 'src/platform/win32/*.cc' 'src/main/main_win32.cc' 'src/detect/*_linked.cc')

echo "-- cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --inline-suppr \
  --enable=warning,performance,portability \
  -I src src
echo "static analysis clean"
