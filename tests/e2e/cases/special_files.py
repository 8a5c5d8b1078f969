"""Entries with a table's extension that are not ordinary writable files:
read-only files, links, FIFOs, devices and sockets.
Add a case as the others here are made (the format: cases/__init__.py)."""

import errno
import os
import socket
import stat
import threading

from harness.case import UNPRIVILEGED, case, detect_run
from harness.messages import file_failure
from harness.prose import ASCII, RUSSIAN, sentences


@case(targets=("native",),
      only_because="Wine run as root opens a file without write permission, as root may")
def read_only_table(t, d):
    d.table("a.dbf", mark_after=0xC9)
    d.table("ro.dbf")
    os.chmod(d.p("ro.dbf"), 0o444)
    # Reading needs no right to write: root has every right, so someone else reads.
    reader = UNPRIVILEGED if os.geteuid() == 0 and not t.network else None
    os.chmod(d.root, 0o755)
    return dict(runs=[dict(args=[d.root, "1251"], status=1,
                           stderr=[file_failure(t, "ro.dbf", "CreateFile()", errno.EACCES)]),
                      dict(detect_run(t, d, {"a.dbf": "1251\t-", "ro.dbf": "866\t-"}),
                           user=reader)])


@case(targets=("native",), only_because="a Unix link is followed by Wine, as by any Windows program")
def link_to_table_elsewhere(t, d):
    d.table("outside/target.dbf")
    d.mkdir("data")
    d.table("data/b.dbf", mark_after=0xC9)
    os.symlink(d.p("outside/target.dbf"), d.p("data/link.dbf"))
    stderr = [file_failure(t, "link.dbf", "CreateFile()", errno.ELOOP)]
    return dict(runs=[dict(args=[d.p("data"), "1251"], status=1, stderr=stderr),
                      detect_run(t, d, {"b.dbf": "1251\t-"}, stderr, 1, listed="data")])


def fifos_left_closed(t, paths):
    """A run's before and after hooks that find whether it opened any of the FIFOs."""
    if t.windows:
        return {}
    writers = []

    def before():
        # A writer waits in open() until someone opens the FIFO to read it:
        # had the run opened it, the writer would be through.
        for path in paths:
            through = threading.Event()
            # A daemon: should the run never come to `after`, the writer
            # still waiting must not keep the runner from ending.
            writer = threading.Thread(
                target=lambda p=path, e=through: (os.close(os.open(p, os.O_WRONLY)), e.set()),
                daemon=True)
            writer.start()
            writers.append((path, through, writer))

    def after():
        problems = []
        while writers:
            path, through, writer = writers.pop()
            if through.is_set():
                problems.append(f"the FIFO {os.path.basename(path)} was opened")
            os.close(os.open(path, os.O_RDONLY | os.O_NONBLOCK))  # lets it go
            writer.join()
        return problems
    return dict(before=before, after=after)


@case()
def fifo_with_table_extension(t, d):
    d.table("a.dbf", mark_after=0xC9)
    os.mkfifo(d.p("pipe.dbf"))
    d.dbf("memo.dbf", 0xC9, text=ASCII, memos=sentences(RUSSIAN, "cp1251"))
    os.mkfifo(d.p("memo.fpt"))
    fifos = fifos_left_closed(t, [d.p("pipe.dbf"), d.p("memo.fpt")])
    pipe = file_failure(t, "pipe.dbf", "CreateFile()", errno.ENXIO, 50)
    memo = file_failure(t, "memo.fpt", "CreateFile()", errno.ENXIO, 50)
    detect = detect_run(t, d, {"a.dbf": "1251\t-", "memo.dbf": "1251\t-"}, [pipe, memo], 1)
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=1, stderr=[pipe], **fifos),
                      dict(detect, **fifos)])


@case()
def device_name_with_table_extension(t, d):
    # Windows opens nul.dbf as its NUL device, whatever the directory holds;
    # on POSIX it is just a file.
    d.table("a.dbf", mark_after=0xC9)
    if t.windows:
        d.table("nul.dbf")
        stderr = [file_failure(t, "nul.dbf", "CreateFile()", windows_code=50)]
        return dict(runs=[dict(args=[t.path(d.root), "1251"], status=1, stderr=stderr),
                          detect_run(t, d, {"a.dbf": "1251\t-"}, stderr, status=1)])
    d.table("nul.dbf", mark_after=0xC9)
    # A Samba share lists a DOS device name under a mangled one.
    names = t.listing(d.root)
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=0),
                      detect_run(t, d, dict.fromkeys(names, "1251\t-"))])


@case(targets=("native",), only_because="Wine has no Windows counterpart of a Unix socket file")
def socket_and_device_with_table_extension(t, d):
    d.table("a.dbf", mark_after=0xC9)
    s = socket.socket(socket.AF_UNIX)
    s.bind(d.p("sock.dbf"))
    s.close()
    os.symlink("/dev/null", d.p("null.dbf"))
    messages = [file_failure(t, "sock.dbf", "CreateFile()", errno.ENXIO),
                file_failure(t, "null.dbf", "CreateFile()", errno.ELOOP)]
    if os.geteuid() == 0:
        os.mknod(d.p("device.dbf"), stat.S_IFCHR | 0o666, os.makedev(1, 3))
        messages.append(file_failure(t, "device.dbf", "CreateFile()", errno.ENXIO))
    return dict(runs=[dict(args=[d.root, "1251"], status=1, stderr=messages),
                      detect_run(t, d, {"a.dbf": "1251\t-"}, messages, status=1)])


@case()
def link_to_directory_named_as_table(t, d):
    d.table("elsewhere/inner.dbf")
    d.mkdir("data")
    d.table("data/a.dbf", mark_after=0xC9)
    os.symlink(d.p("elsewhere"), d.p("data/x.dbf"))
    return dict(runs=[dict(args=[t.path(d.p("data")), "1251"], status=0),
                      detect_run(t, d, {"a.dbf": "1251\t-"}, listed="data")])
