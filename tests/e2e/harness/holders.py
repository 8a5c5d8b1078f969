"""Other programs that keep a table in use while a case runs, and the servers
they need."""

import fcntl
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import time

from .case import Skip
from .targets import wine_path


class Holder:
    """Keeps a table in use by another program for the length of a run."""

    def __init__(self, ctx, t, d, rel, kind, place):
        self.proc = self.file = self.samba = None
        path = ctx.seen_from(place, d.p(rel))
        if kind == "share_mode":
            if not ctx.holder_exe:
                raise Skip("no share-mode holder exe was given (--holder)")
            self.proc = subprocess.Popen(["wine", ctx.holder_exe, wine_path(path)],
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL, env=ctx.wine_env)
            line = self.proc.stdout.readline()
            if b"held" not in line:
                raise RuntimeError(f"holder did not start: {line!r}")
            return
        if kind == "samba":
            self.samba = SambaClient(d.root, rel)
            return
        self.file = open(path, "rb" if kind == "read" else "r+b")
        if kind == "flock":
            fcntl.flock(self.file, fcntl.LOCK_EX | fcntl.LOCK_NB)
        elif kind == "fcntl":
            fcntl.lockf(self.file, fcntl.LOCK_EX | fcntl.LOCK_NB)
        elif kind == "ofd":
            # struct flock: type, whence, start, length 0 (the whole file), pid 0.
            fcntl.fcntl(self.file, fcntl.F_OFD_SETLK,
                        struct.pack("hhqqi4x", fcntl.F_WRLCK, os.SEEK_SET, 0, 0, 0))
        elif kind not in ("read", "write"):
            raise ValueError(kind)

    def release(self):
        if self.proc:
            self.proc.stdin.close()
            self.proc.wait(timeout=30)
        if self.file:
            self.file.close()
        if self.samba:
            self.samba.stop()


class SambaClient:
    """A Windows-protocol client holding a table open through smbd on
    127.0.0.1, as a Windows program on another machine would: smbd, with a
    configuration and state of its own, holds the file open for it."""

    def __init__(self, folder, rel):
        if os.geteuid() != 0:
            raise Skip("needs root to serve SMB on port 445")
        for tool in ("smbd", "smbclient"):
            if not shutil.which(tool) and not os.path.exists(f"/usr/sbin/{tool}"):
                raise Skip(f"{tool} is not installed (Debian: samba, smbclient)")
        with socket.socket() as probe:
            if probe.connect_ex(("127.0.0.1", 445)) == 0:
                raise Skip("port 445 is taken by another server")
        self.smbd = self.client = None
        self.state = tempfile.mkdtemp(prefix="samba-")
        for sub in ("lock", "state", "cache", "pid", "private", "ncalrpc"):
            os.mkdir(os.path.join(self.state, sub))
        conf = os.path.join(self.state, "smb.conf")
        with open(conf, "w") as f:
            f.write("[global]\n" + "".join(f"  {k} = {v}\n" for k, v in {
                "server role": "standalone server", "interfaces": "127.0.0.1",
                "bind interfaces only": "yes", "smb ports": "445", "disable netbios": "yes",
                "map to guest": "Bad User", "load printers": "no", "disable spoolss": "yes",
                "log file": f"{self.state}/log", **{f"{k} directory": f"{self.state}/{k}"
                                                   for k in ("lock", "state", "cache", "pid")},
                "private dir": f"{self.state}/private", "ncalrpc dir": f"{self.state}/ncalrpc",
            }.items()) + f"[tables]\n  path = {folder}\n  read only = no\n  guest ok = yes\n"
                "  force user = root\n")
        try:
            self.smbd = start_server([shutil.which("smbd") or "/usr/sbin/smbd", "--foreground",
                                      "--no-process-group", "-s", conf], 445)
            self.client = subprocess.Popen(
                ["smbclient", "//127.0.0.1/tables", "-N", "-s", conf], stdin=subprocess.PIPE,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            self.client.stdin.write(f"open {rel}\n".encode())
            self.client.stdin.flush()
            table = os.path.realpath(os.path.join(folder, rel))
            for _ in range(100):
                if table in open_files("smbd"):
                    return
                time.sleep(0.1)
            raise RuntimeError("smbd never opened the table for smbclient")
        except BaseException:
            self.stop()
            raise

    def stop(self):
        if self.client:
            self.client.stdin.close()
            self.client.wait(timeout=30)
        if self.smbd:
            stop_server(self.smbd)
        shutil.rmtree(self.state, ignore_errors=True)


def start_server(command, port):
    """A server on 127.0.0.1:`port`, once it listens. In a session of its
    own: smbd, for one, signals its whole process group when it stops."""
    server = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    for _ in range(100):
        with socket.socket() as probe:
            if probe.connect_ex(("127.0.0.1", port)) == 0:
                return server
        time.sleep(0.1)
    stop_server(server)
    raise RuntimeError(f"{command[0]} never listened on port {port}")


def stop_server(server):
    server.terminate()  # by its process id
    server.wait(timeout=30)


def open_files(command=None, pid=None):
    """What the processes named `command` (or process `pid`) have open,
    standard streams aside."""
    pids = [str(pid)] if pid else [p for p in os.listdir("/proc") if p.isdigit()]
    for p in pids:
        try:
            if command:
                with open(f"/proc/{p}/comm") as f:
                    if f.read().strip() != command:
                        continue
            fds = os.listdir(f"/proc/{p}/fd")
        except OSError:
            continue
        for fd in fds:
            if int(fd) <= 2:
                continue
            try:
                yield os.readlink(f"/proc/{p}/fd/{fd}")
            except OSError:
                pass
