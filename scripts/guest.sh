# shellcheck shell=bash
# The emulated guest that the guest stages run in, sourced by them
# (scripts/test-x86.sh, scripts/test-netfs.sh) from the repository's root.
#
# The guest is Debian 12 made with debootstrap from Debian's packages: i386
# added, Wine (the 32-bit exe's stage), an NFS server and client, Samba and
# the SMB client (the network-share stage), python3, uchardet (--detect), the
# Russian locales, the kernel from its own linux-image-amd64. The image is
# made once, with Wine's prefix set up at its first boot, and cached in
# build/guest/ while the recipe below is unchanged; each run boots it with a
# throwaway overlay, so the cached image never changes. Files reach the guest
# over 9p (build/guest/share, mounted at /mnt/host), where its init runs
# job.sh and leaves the job's output and exit status. Needs root (debootstrap, chroot).

guest=build/guest
share=$guest/share

# What the guest holds; a change here rebuilds the cached image.
guest_packages=(wine wine32 wine64 locales python3 nfs-kernel-server samba cifs-utils iproute2
                libuchardet0)
guest_recipe="bookworm minbase +linux-image-amd64,udev,kmod,systemd-sysv i386:${guest_packages[*]} ru_RU.UTF-8,ru_RU.KOI8-R v2"

guest_tools() {
  local tool
  for tool in qemu-system-x86_64 qemu-img debootstrap mkfs.ext4; do
    if ! command -v "$tool" >/dev/null; then
      echo "Installing the guest's tools"
      apt-get update -qq
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        qemu-system-x86 qemu-utils debootstrap e2fsprogs >/dev/null
      break
    fi
  done
}

# One boot of the guest from DISK (FORMAT), at most LIMIT seconds: runs
# $share/job.sh, prints its output and returns its exit status.
guest_boot() {
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

# An empty share for a stage's files.
guest_share() {
  rm -rf "$share"
  mkdir -p "$share"
}

guest_make_image() {
  local root=$guest/rootfs
  echo "== making the guest image (debootstrap, then Wine's first start in the guest)"
  # A build killed past its trap can leave the host's /proc and /dev bound
  # in the old tree: never delete through them.
  umount -q "$root/proc" "$root/dev" 2>/dev/null || true
  rm -rf --one-file-system "$root" "$guest/base.img" "$guest/stamp"
  mkdir -p "$root"
  debootstrap --variant=minbase --include=linux-image-amd64,udev,kmod,systemd-sysv \
    bookworm "$root" > "$guest/debootstrap.log" 2>&1 ||
    { tail -n 30 "$guest/debootstrap.log"; return 1; }
  # The host's own package sources, so that the guest reaches what it does.
  rm -f "$root/etc/apt/sources.list"
  cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null || true
  [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$root/etc/apt/"
  mount --bind /proc "$root/proc"
  mount --bind /dev "$root/dev"
  # shellcheck disable=SC2064 # the path as it is now
  trap "umount '$PWD/$root/proc' '$PWD/$root/dev' 2>/dev/null || true" EXIT
  # No service starts in the chroot: the guest's init starts what a job needs.
  printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  chroot "$root" dpkg --add-architecture i386
  chroot "$root" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive chroot "$root" apt-get install -y -qq --no-install-recommends \
    "${guest_packages[@]}" > "$guest/packages.log" 2>&1 ||
    { tail -n 30 "$guest/packages.log"; return 1; }
  printf 'ru_RU.UTF-8 UTF-8\nru_RU.KOI8-R KOI8-R\n' > "$root/etc/locale.gen"
  chroot "$root" locale-gen >/dev/null
  chroot "$root" apt-get clean
  rm -f "$root/usr/sbin/policy-rc.d"
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
  mkfs.ext4 -q -F -L guest -d "$root" "$guest/base.img" 6G
  rm -rf "$root"
  # Wine's first start sets up its prefix, done once, here, and kept in the
  # image: a minute or two emulated on an idle machine, far more on a busy
  # one. The setup runs in a wineboot process of its own; the command that
  # started it waits five minutes at most, then fails ("could not load
  # kernel32.dll", exit status 53) while the setup goes on. So wait for the
  # setup's end (the server's), then check that the prefix works. A setup
  # cut short leaves a prefix that Wine takes as done: each try starts from
  # a fresh one. The image is kept only when a try succeeded.
  guest_share
  cat > "$share/job.sh" <<'JOB'
export WINEPREFIX=/root/wineprefix WINEDEBUG=-all LANG=ru_RU.UTF-8
windows=$WINEPREFIX/drive_c/windows
for try in 1 2 3; do
  started=$SECONDS
  rm -rf "$WINEPREFIX"
  wine cmd /c exit
  echo "try $try: the first command ended with $? after $((SECONDS - started)) s"
  if timeout 1200 wineserver -w && [ -f "$windows/system32/kernel32.dll" ] &&
    [ -f "$windows/syswow64/kernel32.dll" ] && wine cmd /c exit && wineserver -w; then
    echo "Wine prefix ready after $((SECONDS - started)) s"
    exit 0
  fi
  echo "try $try: no working prefix after $((SECONDS - started)) s"
  wineserver -k
done
exit 1
JOB
  # The limit only stops a guest that hangs: three tries of 25 minutes at
  # most, and the boot.
  guest_boot "$guest/base.img" raw 4800 ||
    { echo "Wine's prefix could not be set up: the image is not kept"; return 1; }
  echo "$guest_recipe" > "$guest/stamp"
}

# The cached image, made first when it is missing or of another recipe.
guest_image() {
  local started=$SECONDS
  guest_tools
  if [ "$(cat "$guest/stamp" 2>/dev/null)" != "$guest_recipe" ]; then
    mkdir -p "$guest"
    guest_make_image
    echo "   (guest image made in $((SECONDS - started)) s)"
  fi
}

# Boots the cached image once with a throwaway overlay, at most LIMIT
# seconds, to run the job in the share.
guest_run() {
  local limit=$1 status=0
  rm -f "$guest/run.qcow2"
  qemu-img create -q -f qcow2 -b base.img -F raw "$guest/run.qcow2"
  guest_boot "$guest/run.qcow2" qcow2 "$limit" || status=$?
  rm -f "$guest/run.qcow2"
  return "$status"
}
