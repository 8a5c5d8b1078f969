#!/bin/bash
# Runs inside the emulated guest, as its job (scripts/test-netfs.sh copies it
# into the share with ./tablemark, ./e2e, the runner's folder, and ./data/indexes beside it).
# The guest's init is no systemd: the servers are started here by hand. An NFS
# server exports one folder, an SMB server shares another; each share is mounted
# twice, through 127.0.0.1 and through 127.0.0.2, so that the kernel keeps a
# separate client for the second mount, and the end-to-end cases run with
# their work folder on the first. The exit status is non-zero when any run
# failed or a server could not be brought up.
set -u
cp -r /mnt/host/tablemark /mnt/host/e2e /mnt/host/data /root/
cd /root || exit 1
mapfile -t runner_args < <(grep . /mnt/host/runner-args)  # the stage's own arguments

pids=()  # the servers, stopped by their process id
mounts=()
nfsd_started=""
status=0

cleanup() {
  local i
  unmount_all
  if [ -n "$nfsd_started" ]; then
    rpc.nfsd 0
    exportfs -au
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null
    wait "${pids[i]}" 2>/dev/null
  done
}

fail() {
  echo "FAIL: $*"
  status=1
}

# Waits up to 30 s for a server to listen on PORT of 127.0.0.1.
listening() {
  local i
  for ((i = 0; i < 100; i++)); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.3
  done
  return 1
}

mount_twice() {  # NAME TYPE SOURCE_PATH OPTIONS SECOND_CLIENT_OPTION
  local name=$1 type=$2 path=$3 options=$4 second=$5
  mkdir -p "/mnt/$name-1" "/mnt/$name-2"
  mount -t "$type" -o "$options" "${path/@/127.0.0.1}" "/mnt/$name-1" || return 1
  mounts+=("/mnt/$name-1")
  mount -t "$type" -o "$options,$second" "${path/@/127.0.0.2}" "/mnt/$name-2" || return 1
  mounts+=("/mnt/$name-2")
}

unmount_all() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" || status=1
  done
  mounts=()
}

run_cases() {  # TITLE MOUNT_NAME [runner options...]
  local title=$1 name=$2 started=$SECONDS
  shift 2
  echo "== end-to-end tests, native program, work folder on $title ($(findmnt -no FSTYPE,OPTIONS "/mnt/$name-1" | cut -c1-100))"
  python3 -u e2e/run_e2e.py --target native --program ./tablemark \
    --work "/mnt/$name-1/work" --other-client "/mnt/$name-2/work" "$@" "${runner_args[@]}" ||
    status=1
  echo "   ($title: $((SECONDS - started)) s)"
}

trap cleanup EXIT
ip link set lo up
modprobe -a nfsd lockd cifs

echo "== servers: NFS (v3, v4.2) and SMB 3.1.1 on this guest"
mkdir -p /srv/nfs/work /srv/smb/work /run/rpcbind /run/samba /var/lib/nfs/rpc_pipefs
# A fresh server refuses new locks for its grace period (90 s by default):
# made as short as the kernel allows before nfsd starts, and waited out below.
echo 10 > /proc/sys/fs/nfs/nlm_grace_period
mount -t nfsd nfsd /proc/fs/nfsd
echo 10 > /proc/fs/nfsd/nfsv4leasetime
echo 10 > /proc/fs/nfsd/nfsv4gracetime
rpcbind -f -w & pids+=($!)
listening 111 || fail "rpcbind does not listen"
rpc.statd -F --no-notify & pids+=($!)
# The root file system is ext4: no fsid= needed. Written asynchronously: the
# server's disk is thrown away, and what clients see of locks is the same.
echo "/srv/nfs 127.0.0.0/8(rw,async,no_subtree_check,no_root_squash,insecure)" > /etc/exports
exportfs -ra || fail "exportfs"
rpc.mountd -F & pids+=($!)
if rpc.nfsd 4; then nfsd_started=1; else fail "rpc.nfsd"; fi
grace_over=$((SECONDS + 11))

cat > /tmp/smb.conf <<'CONF'
[global]
  server role = standalone server
  server min protocol = SMB3_11
  disable netbios = yes
  smb ports = 445
  load printers = no
  printing = bsd
  printcap name = /dev/null
  disable spoolss = yes
  log file = /tmp/smbd.log
[tables]
  path = /srv/smb
  read only = no
CONF
printf 'tablemark\ntablemark\n' | smbpasswd -c /tmp/smb.conf -s -a root >/dev/null ||
  fail "smbpasswd"
# smbd signals its whole process group when it stops: a session of its own.
setsid smbd --foreground --no-process-group -s /tmp/smb.conf & pids+=($!)
listening 445 || fail "smbd does not listen"
((status == 0)) || exit 1

while ((SECONDS < grace_over)); do sleep 1; done

for version in 3 4.2; do
  if mount_twice "nfs$version" nfs "@:/srv/nfs" "vers=$version" nosharecache; then
    run_cases "NFSv$version" "nfs$version" --server-dir /srv/nfs/work
  else
    fail "NFSv$version could not be mounted"
  fi
  unmount_all
done

if mount_twice smb cifs "//@/tables" "vers=3.1.1,username=root,password=tablemark" nosharesock; then
  run_cases "SMB 3.1.1" smb
else
  fail "SMB 3.1.1 could not be mounted"
fi
unmount_all

trap - EXIT
cleanup
exit "$status"
