#!/usr/bin/env bash
# Installs, on a Debian machine, what building and testing Tablemark needs,
# when it is missing. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(cmake make g++ libgtest-dev python3 file zip
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 wine locales libc-l10n
          clang libclang-rt-14-dev clang-tidy cppcheck clang-format valgrind
          sshfs fuse3 openssh-server openssh-client e2fsprogs samba smbclient
          dpkg-dev lintian man-db libuchardet-dev pkg-config
          # the detection corpus's documentation: tests/detect/corpus.py --packages docs
          manpages-de manpages-fr manpages-es manpages-it manpages-pl manpages-ru manpages-uk
          manpages-cs manpages-da manpages-fi manpages-hu manpages-mk manpages-nb manpages-nl
          manpages-pt-br manpages-ro manpages-sr manpages-sv manpages-el manpages-tr manpages-ja
          manpages-zh gnome-user-docs
          # its glossaries: tests/detect/corpus.py --packages glossaries
          dict-freedict-eng-ara dict-freedict-eng-bul dict-freedict-eng-ces dict-freedict-eng-dan
          dict-freedict-eng-deu dict-freedict-eng-ell dict-freedict-eng-spa dict-freedict-eng-fin
          dict-freedict-eng-fra dict-freedict-eng-hrv dict-freedict-eng-hun dict-freedict-eng-ita
          dict-freedict-eng-jpn dict-freedict-eng-lit dict-freedict-eng-nor dict-freedict-eng-nld
          dict-freedict-eng-pol dict-freedict-eng-por dict-freedict-eng-rom dict-freedict-eng-rus
          dict-freedict-eng-srp dict-freedict-eng-swe dict-freedict-eng-tur
          # the lists of letters: Unicode CLDR's exemplar characters
          unicode-cldr-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
# Wine's OEM code page is 866 and its system texts Russian only in the UTF-8
# locale; the POSIX build's locale cases need it, and one whose set is not
# UTF-8.
for charset in UTF-8 KOI8-R; do
  if ! locale -a 2>/dev/null | grep -qixE "ru_RU\.${charset//-/-?}"; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo localedef -i ru_RU -f "$charset" "ru_RU.$charset"
  fi
done
# The Windows builds make uchardet from Debian's source package.
"$(dirname "$0")/fetch-uchardet-source.sh"
