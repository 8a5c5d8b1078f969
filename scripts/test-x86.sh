#!/usr/bin/env bash
# Runs the end-to-end cases of the Wine stage on the 32-bit release exe
# (build/windows-x86/Tablemark.exe), inside a guest machine under software
# emulation. This machine's kernel cannot execute 32-bit code; a guest kernel
# emulated by QEMU's TCG can, so the guest's 32-bit Wine runs the exe.
#
# The guest is Debian 12 made with debootstrap from Debian's packages (i386
# added, wine, wine32, wine64, locales, python3; the kernel from its own
# linux-image-amd64), its Wine prefix made at its first boot. The image is
# cached in build/x86-guest/ and reused while this script's guest recipe is
# unchanged; each run boots it with a throwaway overlay, so the cached image
# never changes. The exes and the runner reach the guest over 9p, and the
# results come back the same way. Needs root (debootstrap, chroot).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$PWD
guest=build/x86-guest
share=$guest/share
started=$SECONDS

# What the guest holds; a change here rebuilds the cached image.
recipe="bookworm minbase +linux-image-amd64,udev,kmod,systemd-sysv i386:wine,wine32,wine64,locales,python3 ru_RU.UTF-8 v1"

for tool in qemu-system-x86_64 qemu-img debootstrap mkfs.ext4; do
  if ! command -v "$tool" >/dev/null; then
    echo "Installing the guest's tools"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      qemu-system-x86 qemu-utils debootstrap e2fsprogs >/dev/null
    break
  fi
done
for built in build/windows-x86/Tablemark.exe build/windows-x86/share_holder.exe; do
  [ -f "$built" ] || { echo "$built is missing: build the windows-x86 preset first"; exit 1; }
done

# One boot of the guest from DISK (FORMAT), at most LIMIT seconds: runs
# $share/job.sh and returns its exit status.
boot() {
  local disk=$1 format=$2 limit=$3
  rm -f "$share/status" "$share/log"
  timeout "$limit" qemu-system-x86_64 -m 3G -smp 2 -accel tcg,thread=multi \
    -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet init=/sbin/tablemark-guest" \
    -drive "file=$disk,format=$format,if=virtio" \
    -virtfs "local,path=$share,mount_tag=host,security_model=none" \
    -nographic -no-reboot > "$guest/console.log" 2>&1 || true
  cat "$share/log" 2>/dev/null || true
  if [ ! -f "$share/status" ]; then
    echo "the guest ended without a result; its console:"
    tail -n 40 "$guest/console.log"
    return 1
  fi
  return "$(cat "$share/status")"
}

make_image() {
  local root=$guest/rootfs
  echo "== making the guest image (debootstrap, then Wine's first start in the guest)"
  rm -rf "$root" "$guest/base.img" "$guest/stamp"
  mkdir -p "$root"
  debootstrap --variant=minbase --include=linux-image-amd64,udev,kmod,systemd-sysv \
    bookworm "$root" > "$guest/debootstrap.log" 2>&1 ||
    { tail -n 30 "$guest/debootstrap.log"; exit 1; }
  # The host's own package sources, so that the guest reaches what it does.
  rm -f "$root/etc/apt/sources.list"
  cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null || true
  [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$root/etc/apt/"
  mount --bind /proc "$root/proc"
  mount --bind /dev "$root/dev"
  trap 'umount "$here/$root/proc" "$here/$root/dev" 2>/dev/null || true' EXIT
  chroot "$root" dpkg --add-architecture i386
  chroot "$root" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive chroot "$root" apt-get install -y -qq --no-install-recommends \
    wine wine32 wine64 locales python3 > "$guest/packages.log" 2>&1 ||
    { tail -n 30 "$guest/packages.log"; exit 1; }
  echo "ru_RU.UTF-8 UTF-8" > "$root/etc/locale.gen"
  chroot "$root" locale-gen >/dev/null
  chroot "$root" apt-get clean
  umount "$root/proc" "$root/dev"
  trap - EXIT
  rm -rf "$root/var/lib/apt/lists/"*
  mkdir -p "$root/mnt/host"
  # The guest's init: mount the share, run the job, power off.
  cat > "$root/sbin/tablemark-guest" <<'INIT'
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
mkdir -p /dev/shm && mount -t tmpfs tmpfs /dev/shm
modprobe 9pnet_virtio
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 host /mnt/host
/bin/bash /mnt/host/job.sh > /mnt/host/log 2>&1
echo $? > /mnt/host/status
sync
echo o > /proc/sysrq-trigger
sleep 60
INIT
  chmod 755 "$root/sbin/tablemark-guest"
  cp "$root"/boot/vmlinuz-* "$guest/vmlinuz"
  cp "$root"/boot/initrd.img-* "$guest/initrd.img"
  mkfs.ext4 -q -F -L guest -d "$root" "$guest/base.img" 4G
  rm -rf "$root"
  # Wine's first start sets up its prefix, which takes a minute emulated:
  # done once, here, and kept in the image.
  cat > "$share/job.sh" <<'JOB'
export WINEPREFIX=/root/wineprefix WINEDEBUG=-all LANG=ru_RU.UTF-8
wine cmd /c exit && wineserver -w && echo "Wine prefix ready"
JOB
  boot "$guest/base.img" raw 900
  echo "$recipe" > "$guest/stamp"
}

mkdir -p "$share"
if [ "$(cat "$guest/stamp" 2>/dev/null)" != "$recipe" ]; then
  make_image
  echo "   (guest image made in $((SECONDS - started)) s)"
fi

echo "== end-to-end tests, 32-bit exe under 32-bit Wine in the emulated guest"
cp build/windows-x86/Tablemark.exe build/windows-x86/share_holder.exe tests/e2e/run_e2e.py "$share/"
cat > "$share/job.sh" <<'JOB'
cd /mnt/host
python3 run_e2e.py --target wine --program Tablemark.exe --holder share_holder.exe \
  --wine-prefix /root/wineprefix
JOB
rm -f "$guest/run.qcow2"
qemu-img create -q -f qcow2 -b base.img -F raw "$guest/run.qcow2"
status=0
boot "$guest/run.qcow2" qcow2 1800 || status=$?
rm -f "$guest/run.qcow2"
echo "   (x86 stage: $((SECONDS - started)) s)"
exit "$status"
