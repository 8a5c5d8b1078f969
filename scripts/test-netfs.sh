#!/usr/bin/env bash
# Runs the end-to-end cases on the native release program
# (build/release/tablemark) with their work folder on network shares: NFSv3,
# NFSv4.2 and SMB 3.1.1, each served and mounted inside the emulated guest
# (scripts/guest.sh; its job is scripts/netfs-job.sh). A guest, because
# serving and mounting NFS and SMB needs kernel servers and clients that this
# machine may not offer; the guest's Debian 12 runs the program as it is.
# Arguments go to the runner (e.g. -k table_held). Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
source scripts/guest.sh

[ -f build/release/tablemark ] || { echo "build/release/tablemark is missing: build the release preset first"; exit 1; }
guest_image

echo "== end-to-end tests, native program on NFS and SMB shares in the emulated guest"
guest_share
cp build/release/tablemark "$share/"
tar -C tests -c --exclude=__pycache__ e2e data/indexes | tar -C "$share" -x  # the runner, its modules, the index samples
cp scripts/netfs-job.sh "$share/job.sh"
printf '%s\n' "$@" > "$share/runner-args"
status=0
guest_run 1200 || status=$?
echo "   (network-share stage: $((SECONDS - started)) s)"
exit "$status"
