"""Tables another program is using: locks, leases, opens and share modes, held
here, through another client or on the server, for root and other users. Add a
row to LOCK_HOLDERS (a new kind of holder: harness/holders.py)."""

import errno
import os
import subprocess
import tempfile

from harness.case import CASES, UNPRIVILEGED, Skip, case, detect_run
from harness.files import table
from harness.holders import open_files
from harness.messages import file_failure


# A table another program is using, in each way a program can use one: the
# run refuses it with the code its lock or lease gets, reports it, leaves it
# untouched and re-marks the others. Row: name, targets, the holder's kind
# (None: nobody holds it), where the holder opens the table (here, through
# another client, on the server's own disk), who runs the program (root, an
# unprivileged user who owns the tables, one who does not).
NATIVE = ("native",)
LOCK_HOLDERS = [
    ("flock", NATIVE, "flock", "here", None),
    ("fcntl", NATIVE, "fcntl", "here", None),  # a whole-file POSIX record lock
    ("ofd", NATIVE, "ofd", "here", None),  # an open-file-description lock
    ("reader", NATIVE, "read", "here", None),  # open for reading, no lock
    ("writer", NATIVE, "write", "here", None),  # open for reading and writing, no lock
    ("share_mode", ("native", "wine"), "share_mode", "here", None),  # share_holder.exe, Wine
    ("samba_client", NATIVE, "samba", "here", None),  # smbclient through smbd on 127.0.0.1
    ("flock_on_other_client", NATIVE, "flock", "other", None),
    ("fcntl_on_other_client", NATIVE, "fcntl", "other", None),
    ("fcntl_on_server", NATIVE, "fcntl", "server", None),
    ("reader_as_owner", NATIVE, "read", "here", "owner"),
    ("nobody_as_non_owner", NATIVE, None, "here", "other"),
    ("flock_as_non_owner", NATIVE, "flock", "here", "other"),
    ("fcntl_as_non_owner", NATIVE, "fcntl", "here", "other"),
]
# Holders a lock does not stand for: only a lease sees them, and network
# file systems grant none that other clients would break.
SEEN_BY_LEASE_ONLY = {"read", "write", "share_mode", "samba"}


def holder_case(kind, place, user):
    def run(t, d):
        if t.network and kind in SEEN_BY_LEASE_ONLY:
            raise Skip("a network mount sees another program's locks, not its opens")
        if t.network and user:
            raise Skip("a network mount maps users by its own rules")
        if user and os.geteuid() != 0:
            raise Skip("needs root to run as another user")
        d.table("a.dbf", mark_after=0xC9)
        d.table("held.dbf", mark_after=None if kind else 0xC9)
        d.table("z.dbf", mark_after=0xC9)
        if user:
            os.chmod(d.root, 0o755)
            for name in ("a.dbf", "held.dbf", "z.dbf"):
                if user == "owner":
                    os.chown(d.p(name), UNPRIVILEGED, UNPRIVILEGED)
                else:
                    os.chmod(d.p(name), 0o666)
        uid = user and UNPRIVILEGED
        if not kind:
            return dict(runs=[dict(args=[d.root, "1251"], status=0, user=uid),
                              dict(detect_run(t, d, dict.fromkeys(d.expected, "1251\t-")),
                                   user=uid)])
        holders = [("held.dbf", kind, place)]
        refused = [file_failure(t, "held.dbf", "CreateFile()", t.lock_errno, 32)]
        # Reading takes neither lock nor lease: only a Windows share mode keeps a reader
        # out, and an SMB server, whose byte-range locks bind readers too.
        if t.windows and kind == "share_mode":
            detect = detect_run(t, d, {"a.dbf": "1251\t-", "z.dbf": "1251\t-"}, refused, 1)
        elif t.network and t.lock_errno == errno.EACCES:
            unread = [file_failure(t, "held.dbf", "ReadFile()", errno.EACCES)]
            detect = detect_run(t, d, {"a.dbf": "1251\t-", "z.dbf": "1251\t-"}, unread, 1)
        else:
            detect = detect_run(t, d, {"a.dbf": "1251\t-", "held.dbf": "866\t-",
                                       "z.dbf": "1251\t-"})
        return dict(runs=[dict(args=[t.path(d.root), "1251"], status=1, user=uid,
                               holders=holders, stderr=refused),
                          dict(detect, user=uid, holders=holders)])
    return run


for _name, _targets, _kind, _place, _user in LOCK_HOLDERS:
    CASES.append((f"table_held_by_{_name}", _targets, holder_case(_kind, _place, _user)))


def opened_while_running(t, d, ctx):
    """3 000 tables while another process keeps opening them, the very table
    the run has open among them: each open breaks the run's lease, which must
    neither end nor disturb the run. Every table is re-marked, or refused
    with the lock's message and left as it was."""
    # On a network mount no lease is broken, and the emulated guest that
    # holds one would take minutes over 3 000.
    names = [f"t{i:04}.dbf" for i in range(300 if t.network else 3000)]
    for name in names:
        d.table(name, mark_after=0xC9)
    with tempfile.TemporaryFile() as err:
        run = subprocess.Popen([t.program, d.root, "1251"], stdin=subprocess.DEVNULL,
                               stdout=err, stderr=err, env=t.env)
        rounds = 0
        while run.poll() is None:
            rounds += 1
            held = [link for link in open_files(pid=run.pid) if link.endswith(".dbf")]
            for path in held + [d.p(names[rounds % len(names)])] * (rounds % 8 == 0):
                try:
                    os.close(os.open(path, os.O_RDONLY))
                except OSError:
                    pass
        err.seek(0)
        stderr = err.read()
    problems = [] if run.returncode in (0, 1) else [f"exit status {run.returncode}"]
    for line in stderr.decode("utf-8", "backslashreplace").splitlines():
        name = line.split(" ")[2].rstrip(",") if line.startswith("Для файла ") else None
        if line + "\n" != t.encode(file_failure(t, name, "CreateFile()", t.lock_errno)).decode():
            problems.append(f"unexpected message: {line}")
        if name in d.expected:
            d.expected[name] = table()  # refused: left as it was
    problems += d.check()
    return problems[:10] + [f"and {len(problems) - 10} more"] * (len(problems) > 10)


@case(targets=NATIVE, only_because="leases and /proc are Linux's")
def tables_opened_while_the_run_holds_them(t, d):
    return dict(custom=opened_while_running)
