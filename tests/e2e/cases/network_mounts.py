"""A network mount that fails a write only when the file is closed (sshfs to a
full disk). The whole suite also runs on NFS and SMB (scripts/test-netfs.sh), and
holders on another client or on the server are rows in exclusive_use.py.
Add a case as the others here are made (the format: cases/__init__.py)."""

import errno
import os
import shutil
import socket
import subprocess

from harness.case import Skip, case
from harness.files import Dir, table
from harness.holders import start_server, stop_server
from harness.messages import file_failure
from harness.run import run_one


def run_quietly(*command, **kw):
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, **kw)


def close_fails_on_sshfs(t, d, ctx):
    """The write's outcome arrives only at close: sshfs to a full disk."""
    if os.geteuid() != 0 or not os.path.exists("/dev/fuse"):
        raise Skip("needs root and /dev/fuse to mount")
    for tool in ("sshfs", "/usr/sbin/sshd", "ssh-keygen", "mkfs.ext4"):
        if not shutil.which(tool):
            raise Skip(f"{tool} is not installed")
    disk, remote, keys = d.p("disk"), d.p("remote"), d.p("keys")
    for path in (disk, remote, keys):
        os.makedirs(path)
    image = d.p("disk.img")
    started, mounted = [], []
    try:
        with open(image, "wb") as f:
            f.truncate(4 << 20)
        run_quietly("mkfs.ext4", "-q", "-m", "0", image, check=True)
        if run_quietly("mount", "-o", "loop", image, disk).returncode != 0:
            raise Skip("this machine cannot loop-mount a file system")
        mounted.append(disk)
        # The header lies in a hole: writing byte 29 needs a block the full
        # disk no longer has. A table written before the disk filled up is
        # re-marked in place.
        with open(os.path.join(disk, "hole.dbf"), "wb") as f:
            f.truncate(64)
        with open(os.path.join(disk, "dense.dbf"), "wb") as f:
            f.write(table())
        # Filled until a synced pass finds no room: delayed allocation frees
        # some of its estimate once the data is on disk. 1 KiB blocks, as
        # mkfs makes on so small a disk.
        filler = os.open(os.path.join(disk, "filler"), os.O_WRONLY | os.O_CREAT | os.O_APPEND)
        try:
            while True:
                added = 0
                for size in (65536, 1024):  # then the last blocks, one at a time
                    try:
                        while True:
                            added += os.write(filler, b"\0" * size)
                    except OSError:
                        pass
                os.fsync(filler)
                if added == 0:
                    break
        finally:
            os.close(filler)
        for kind in ("host", "user"):
            run_quietly("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f",
                        os.path.join(keys, kind), check=True)
        shutil.copy(os.path.join(keys, "user.pub"), os.path.join(keys, "authorized"))
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        os.makedirs("/run/sshd", exist_ok=True)
        started.append(start_server(
            ["/usr/sbin/sshd", "-D", "-e", "-p", str(port), "-o", "ListenAddress=127.0.0.1",
             "-o", f"HostKey={keys}/host", "-o", f"AuthorizedKeysFile={keys}/authorized",
             "-o", "PermitRootLogin=yes", "-o", "StrictModes=no", "-o", "UsePAM=no",
             "-o", f"PidFile={keys}/pid"], port))
        options = (f"port={port},IdentityFile={keys}/user,StrictHostKeyChecking=no,"
                   "UserKnownHostsFile=/dev/null,BatchMode=yes,LogLevel=ERROR")
        sshfs = run_quietly("sshfs", "-o", options, f"root@127.0.0.1:{disk}", remote)
        if sshfs.returncode != 0:
            raise Skip(f"sshfs could not mount: {sshfs.stderr.decode(errors='replace').strip()}")
        mounted.insert(0, remote)
        run_dir = Dir(remote)
        problems = run_one(t, run_dir, dict(
            args=[remote, "1251"], status=1,
            stderr=[file_failure(t, "hole.dbf", "WriteFile()", errno.EIO)]), ctx)
    finally:
        for path in mounted:
            run_quietly("umount", path)
        for proc in started:
            stop_server(proc)
    run_quietly("mount", "-o", "loop,ro", image, disk, check=True)
    try:
        with open(os.path.join(disk, "hole.dbf"), "rb") as f:
            if f.read() != bytes(64):
                problems.append("hole.dbf: changed, though the run reported it unwritten")
        with open(os.path.join(disk, "dense.dbf"), "rb") as f:
            if f.read()[29] != 0xC9:
                problems.append("dense.dbf: not re-marked")
    finally:
        run_quietly("umount", disk)
    return problems


@case(targets=("native",), only_because="the sshfs server is reached from POSIX")
def failed_close_after_a_write(t, d):
    return dict(custom=close_fails_on_sshfs)
