#!/usr/bin/env bash
# Runs the end-to-end cases of the Wine stage on the 32-bit release exe
# (build/windows-x86/Tablemark.exe), inside the emulated guest
# (scripts/guest.sh). This machine's kernel cannot execute 32-bit code; a
# guest kernel emulated by QEMU's TCG can, so the guest's 32-bit Wine runs the
# exe. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
source scripts/guest.sh

for built in build/windows-x86/Tablemark.exe build/windows-x86/share_holder.exe; do
  [ -f "$built" ] || { echo "$built is missing: build the windows-x86 preset first"; exit 1; }
done
guest_image

echo "== end-to-end tests, 32-bit exe under 32-bit Wine in the emulated guest"
guest_share
cp build/windows-x86/Tablemark.exe build/windows-x86/share_holder.exe "$share/"
tar -C tests -c --exclude=__pycache__ e2e data/indexes | tar -C "$share" -x  # the runner, its modules, the index samples
# Run from the guest's own disk: pages of an exe mapped from the 9p share
# can read as zeros once it is past a few hundred KiB.
cat > "$share/job.sh" <<'JOB'
mkdir -p /opt/x86
cp -r /mnt/host/Tablemark.exe /mnt/host/share_holder.exe /mnt/host/e2e /mnt/host/data /opt/x86/
cd /opt/x86
python3 e2e/run_e2e.py --target wine --program Tablemark.exe --holder share_holder.exe \
  --wine-prefix /root/wineprefix
JOB
status=0
guest_run 1800 || status=$?
echo "   (x86 stage: $((SECONDS - started)) s)"
exit "$status"
