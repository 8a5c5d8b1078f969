#!/usr/bin/env bash
# Unpacks Debian's uchardet source package into build/uchardet-source, from
# which the Windows builds make a static library and take its notice. Does
# nothing when the source is there already.
#
# apt checks the downloaded files against the archive's signed index; then
# dpkg-source checks them against the .dsc's checksums (apt-get source would
# unpack with --no-check). The uploader's signature on the 0.0.7-1 .dsc
# cannot be checked here (no debian-keyring, and today's gpgv rejects that
# key's SHA-1 cross-certification even with it): dpkg-source warns, and the
# archive's signature is what vouches for the files.
#
# apt-get source needs a deb-src entry: where apt knows of none, one is added
# beside each deb entry of Debian's own archive (same address, suites and
# components). Which entries those are, the archives say themselves: the
# Origin of their signed Release files, as apt-cache policy shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=build/uchardet-source
# The folder gets its name only once dpkg-source has unpacked it whole.
[ -f "$dest/debian/copyright" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! apt-cache showsrc uchardet 2>/dev/null | grep -q '^Package: uchardet$'; then
  lists=/etc/apt/sources.list.d
  # The addresses of the archives whose Release files give Origin: Debian.
  debian=$(apt-cache policy | awk '/^ *[0-9]+ [a-z]+:/ { uri = $2; sub(/\/$/, "", uri) }
    /^ *release .*o=Debian,/ { print uri }' | sort -u | tr '\n' ' ')
  # deb822 stanzas (Debian 12's debian.sources) and one-line entries alike.
  deb822=$(awk -v RS= -v ORS='\n\n' -v debian=" $debian" '
    function ours(uris,   n, i, u) {
      n = split(uris, u, /[ \t]+/)
      for (i = 1; i <= n; i++) { sub(/\/$/, "", u[i]); if (u[i] != "" && index(debian, " " u[i] " ")) return 1 }
      return 0
    }
    /(^|\n)Types:[^\n]*deb/ && !/(^|\n)Types:[^\n]*deb-src/ && !/(^|\n)Enabled: *no/ &&
    match($0, /(^|\n)URIs:[^\n]*/) && ours(substr($0, RSTART, RLENGTH)) {
      sub(/Types:[^\n]*/, "Types: deb-src"); print }' \
    "$lists"/*.sources 2>/dev/null || true)
  one_line=$(awk -v debian=" $debian" '$1 == "deb" {
      uri = $2; if (uri ~ /^\[/) for (i = 3; i <= NF; i++) if ($(i - 1) ~ /\]$/) { uri = $i; break }
      sub(/\/$/, "", uri)
      if (index(debian, " " uri " ")) { $1 = "deb-src"; print } }' \
    /etc/apt/sources.list "$lists"/*.list 2>/dev/null || true)
  if [ -z "$deb822$one_line" ]; then
    echo "fetch-uchardet-source: no deb entry of Debian's archive in /etc/apt to add a deb-src entry beside" >&2
    exit 1
  fi
  [ -z "$deb822" ] || echo "$deb822" | $sudo tee "$lists/tablemark-deb-src.sources" >/dev/null
  [ -z "$one_line" ] || echo "$one_line" | $sudo tee "$lists/tablemark-deb-src.list" >/dev/null
  $sudo apt-get update -qq
fi

mkdir -p build
work=$(mktemp -d build/uchardet-fetch.XXXXXX)
trap 'rm -rf "$work"' EXIT
# apt drops root to _apt for the download, which must be able to write there.
[ -n "$sudo" ] || chown _apt "$work" 2>/dev/null || true
(cd "$work" && apt-get source -qq --download-only uchardet)
dsc=("$work"/uchardet_*.dsc)
[ "${#dsc[@]}" -eq 1 ]
dpkg-source -x "${dsc[0]}" "$work/source"
rm -rf "$dest"
mv "$work/source" "$dest"
echo "uchardet $(dpkg-parsechangelog -l "$dest/debian/changelog" -S Version) unpacked in $dest"
