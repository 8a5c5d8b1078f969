#!/usr/bin/env python3
"""End-to-end cases: the built program, run as a user would, on real
temporary directories.

One set of cases serves both targets: `native` (the POSIX build) and `wine`
(the 64-bit Windows exe under Wine, Russian locale, OEM code page 866). Where
the platforms differ (switch characters, separators, error codes and texts,
line ends), the case says so in data. Each case checks the exit status, every
byte of stdout and stderr, and every byte of every file afterwards.

For whoever extends this: cases are data (see CASES below); a case names the
targets it applies to only when the other platform cannot show the behaviour,
and says why in `only_because`.
"""

import argparse
import errno
import fcntl
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time
import traceback

OLD_TIME = 946684800  # 2000-01-01: a file written by a run no longer has it

# --- Platform facts -------------------------------------------------------

# The Russian system texts Wine's FormatMessageW gives, each ending in CR LF.
WINE_TEXTS = {
    2: "Файл не найден.",
    3: "Путь не найден.",
    32: "Конфликт совместного доступа.",
    50: "Сетевой запрос не поддерживается.",
    123: "Неверное имя.",
}


class Target:
    """How a run on one target is made and what its console bytes look like."""

    def __init__(self, name, program, env):
        self.name = name
        self.program = program
        self.env = env

    windows = False

    def encode(self, text):
        raise NotImplementedError

    def path(self, unix_path):
        return unix_path

    def command(self, args):
        return [self.program] + args

    def error(self, native_errno, windows_code):
        """(code, text) the program shows for a failure."""
        raise NotImplementedError


class NativeTarget(Target):
    sep = "/"
    switch = "-"

    def encode(self, text):
        # UTF-8 (the C.UTF-8 locale); the message's own line end is LF.
        return (text + "\n").encode("utf-8", "surrogateescape")

    def error(self, native_errno, windows_code):
        return native_errno, os.strerror(native_errno)


class WineTarget(Target):
    windows = True
    sep = "\\"
    switch = "/"

    def encode(self, text):
        # CP866, through a C runtime stream in text mode: LF becomes CR LF.
        return (text + "\n").replace("\n", "\r\n").encode("cp866")

    def path(self, unix_path):
        return "Z:" + unix_path.replace("/", "\\")

    def command(self, args):
        return ["wine", self.program] + args

    def error(self, native_errno, windows_code):
        return windows_code, WINE_TEXTS[windows_code] + "\r\n"


# --- Messages -------------------------------------------------------------

USAGE = {
    False: "\nИспользование: \n$ tablemark [[-d] <\"FullPath\">] [[-c] <CodePage>] | -h\n\n"
           "Параметры по умолчанию: \n   <\"FullPath\"> - текущий каталог\n"
           "   <CodePage>   - 866\n\nПример вызова: \n"
           "$ tablemark -d \"/home/user/data\" -c 1251",
    True: "\nИспользование: \n>Tablemark.exe [[{/|-}d] <\"FullPath\">] [[{/|-}c] <CodePage>] "
          "| {/|-}h\n\nПараметры по умолчанию: \n   <\"FullPath\"> - текущий каталог\n"
          "   <CodePage>   - 866\n\nПример вызова: \n"
          ">Tablemark.exe /d \"C:\\Documents and Settings\\All Users\\Data\" /c 1251",
}
BAD_CODE_PAGE = "Ошибка в значениее параметра <CodePage>"
UNEXPECTED = "Неожиданная ошибка"


def not_a_table(name):
    return f"Файл {name} не является Visual Foxpro таблицей"


def file_failure(target, name, label, native_errno=None, windows_code=None):
    if native_errno is None and windows_code is None:
        return f"Для файла {name} в функции {label} возникла неожиданная ошибка"
    code, text = target.error(native_errno, windows_code)
    return f"Для файла {name}, в функции {label} возникла ошибка {code}: {text}"


def run_failure(target, label, native_errno, windows_code=None):
    code, text = target.error(native_errno, windows_code)
    return f"В функции {label} возникла ошибка {code}: {text}"


# --- Files ----------------------------------------------------------------

def table(signature=0x30, mark=0x65, size=64, b30=0, b31=0):
    data = bytearray((i * 7 + 3) & 0xFF for i in range(size))
    data[0] = signature
    if size > 29:
        data[29] = mark
    if size > 30:
        data[30] = b30
    if size > 31:
        data[31] = b31
    return bytes(data)


class Dir:
    """A temporary directory of files, with what each must hold afterwards."""

    def __init__(self, root):
        self.root = root
        self.expected = {}  # relative path -> bytes afterwards
        self.untouched = set()  # relative paths whose mtime must stay

    def p(self, rel):
        return os.path.join(self.root, rel)

    def add(self, rel, data, after=None):
        os.makedirs(os.path.dirname(self.p(rel)) or self.root, exist_ok=True)
        with open(self.p(rel), "wb") as f:
            f.write(data)
        os.utime(self.p(rel), (OLD_TIME, OLD_TIME))
        self.expected[rel] = data if after is None else after
        if after is None or after == data:
            self.untouched.add(rel)

    def table(self, rel, mark_after=None, **kw):
        data = table(**kw)
        after = None
        if mark_after is not None:
            after = bytearray(data)
            after[29] = mark_after
            after = bytes(after)
        self.add(rel, data, after)

    def mkdir(self, rel):
        os.makedirs(self.p(rel), exist_ok=True)

    def check(self):
        problems = []
        for rel, data in self.expected.items():
            path = self.p(rel)
            if not os.path.lexists(path):
                problems.append(f"{rel}: missing")
                continue
            with open(path, "rb") as f:
                got = f.read()
            if got != data:
                problems.append(f"{rel}: bytes differ: {diff(data, got)}")
            if rel in self.untouched and os.stat(path).st_mtime != OLD_TIME:
                problems.append(f"{rel}: written although unchanged")
        return problems


def diff(want, got):
    if len(want) != len(got):
        return f"length {len(got)}, want {len(want)}"
    return ", ".join(f"[{i}]={g:#04x} want {w:#04x}" for i, (w, g) in
                     enumerate(zip(want, got)) if w != g)


# --- Cases ----------------------------------------------------------------
#
# A case is a function(t, d) that sets up Dir d for Target t and returns a
# dict: args (list), status, stdout (text or None for empty), stderr (list of
# messages, in any order, since a directory lists in no fixed order), and
# optionally cwd (relative to d.root), env, holders (paths to hold open).

CASES = []


def case(targets=("native", "wine"), only_because=None):
    # A case that leaves a target out must say why.
    assert len(targets) == 2 or only_because, targets

    def register(fn):
        CASES.append((fn.__name__, targets, fn))
        return fn
    return register


def sw(t, letter):
    return t.switch + letter


# Command line and usage: (name, targets, arguments, exit status). "~" stands
# for the target's switch character; every case shows the usage text alone.
WINDOWS_ONLY = "backslash is a switch character on Windows only"
USAGE_CASES = [
    ("usage_without_arguments", None, [], 2),
    ("usage_for_five_arguments", None, ["a", "b", "c", "d", "e"], 2),
    ("usage_for_unknown_switch", None, ["~x"], 2),
    ("usage_for_lone_minus", None, ["-"], 2),
    ("usage_for_positional_at_index_three", None, ["~c", "1251", "{dir}"], 2),
    ("help_with_minus_h", None, ["-h"], 0),
    ("help_with_question_mark", None, ["~?"], 0),
    ("help_with_help_word", None, ["~help"], 0),
    ("help_with_backslash_h", WINDOWS_ONLY, ["\\H"], 0),
    ("usage_for_unc_name_first", WINDOWS_ONLY, ["\\\\server\\share"], 2),
]


def usage_case(args, status):
    def run(t, d):
        typed = [a.replace("~", t.switch, 1).replace("{dir}", t.path(d.root)) for a in args]
        return dict(args=typed, status=status, stdout=USAGE[t.windows])
    return run


for _name, _windows_only, _args, _status in USAGE_CASES:
    CASES.append((_name, ("wine",) if _windows_only else ("native", "wine"),
                  usage_case(_args, _status)))


@case(targets=("native",), only_because="on POSIX a slash begins a path, not a switch")
def slash_path_is_a_directory_on_posix(t, d):
    d.table("a.dbf", mark_after=0xC9)
    return dict(args=[d.root, "1251"], status=0)


@case()
def bad_code_pages(t, d):
    return dict(runs=[dict(args=[sw(t, "c"), cp], status=2, stderr=[BAD_CODE_PAGE])
                      for cp in ("1258", "7", "-866")])


@case()
def bad_code_page_wins_over_missing_directory(t, d):
    return dict(args=[t.path(d.p("missing")), "1258"], status=2, stderr=[BAD_CODE_PAGE])


@case()
def switch_without_value(t, d):
    return dict(args=[sw(t, "c"), "1251", sw(t, "d")], status=2, stderr=[UNEXPECTED])


# The job.

def mixed_tables(d, mark=0xC9):
    for i, sig in enumerate((0x03, 0x30, 0x31, 0x32, 0xF5, 0x83, 0x00, 0xFB)):
        d.table(f"t{i}.dbf", signature=sig, mark_after=mark)
    d.table("same.dbf", mark=mark)
    d.table("big.dbf", size=100000, mark_after=mark)
    d.add("notes.txt", b"not a table")


@case()
def remarks_tables_to_1251(t, d):
    mixed_tables(d)
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=0),
                      # Again: everything already carries the mark, nothing is written.
                      dict(args=[t.path(d.root), "1251"], status=0, after_first=True)])


@case()
def refused_headers(t, d):
    d.table("good.dbf", mark_after=0xC9)
    d.table("m8b.dbf", signature=0x8B)
    d.table("mcb.dbf", signature=0xCB, mark=0xC9)
    d.table("r30.dbf", b30=1)
    d.table("r31.dbf", b31=0xFF)
    return dict(args=[t.path(d.root), "1251"], status=1,
                stderr=[not_a_table(n) for n in ("m8b.dbf", "mcb.dbf", "r30.dbf", "r31.dbf")])


@case()
def short_files(t, d):
    d.add("empty.dbf", b"")
    d.add("short.dbf", table(size=31))
    d.table("exact.dbf", size=32, mark_after=0xC9)
    return dict(args=[t.path(d.root), "1251"], status=1,
                stderr=[file_failure(t, n, "ReadFile()") for n in ("empty.dbf", "short.dbf")])


@case()
def extension_rule(t, d):
    for name in ("A.DBF", "b.dbf", "c.Scx", ".dbf", "x.vcx", "x.FRX", "x.lbx", "x.MnX",
                 "x.dbc", "x.pjx"):
        d.table(name, mark_after=0xC9)
    for name in ("d.dbf.bak", "e.dbfx", "f.db", "README"):
        d.table(name)
    d.mkdir("old.dbf")
    d.table("old.dbf/inner.dbf")  # subdirectories are not entered
    return dict(args=[t.path(d.root), "1251"], status=0)


@case()
def mark_zero_for_code_page_without_digits(t, d):
    d.table("a.dbf", mark_after=0x00)
    return dict(args=[sw(t, "d"), t.path(d.root), sw(t, "c"), "abc"], status=0)


@case()
def directory_by_switch_with_attached_value(t, d):
    d.table("a.dbf", mark_after=0xCB)
    return dict(args=[sw(t, "d") + t.path(d.root), sw(t, "c") + "1253"], status=0)


@case()
def directory_with_trailing_separator(t, d):
    d.table("a.dbf", mark_after=0xC9)
    return dict(args=[t.path(d.root) + t.sep, "1251"], status=0)


@case()
def relative_directory(t, d):
    d.table("data/a.dbf", mark_after=0xC9)
    return dict(args=["data", "1251"], status=0, cwd=".")


@case()
def current_directory_by_default(t, d):
    d.table("a.dbf", mark_after=0xCA)
    return dict(args=[sw(t, "c"), "1254"], status=0, cwd=".")


@case()
def empty_first_argument_is_current_directory(t, d):
    d.table("a.dbf", mark_after=0x65)
    return dict(args=["", "866"], status=0, cwd=".")


@case()
def default_code_page_is_866(t, d):
    d.table("a.dbf", mark=0xC9, mark_after=0x65)
    return dict(args=[t.path(d.root)], status=0)


@case()
def missing_directory(t, d):
    d.table("a.dbf")
    return dict(args=[t.path(d.p("missing"))], status=2,
                stderr=[run_failure(t, "GetFileAttributes()", errno.ENOENT, 2)])


@case()
def missing_parent_directory(t, d):
    return dict(args=[t.path(d.p("missing/sub"))], status=2,
                stderr=[run_failure(t, "GetFileAttributes()", errno.ENOENT, 3)])


@case()
def file_named_as_directory(t, d):
    d.table("a.dbf")
    return dict(args=[t.path(d.p("a.dbf"))], status=2,
                stderr=[run_failure(t, "FindFirstFile()", errno.ENOTDIR, 123)])


@case()
def table_locked_by_another_process(t, d):
    d.table("a.dbf", mark_after=0xC9)
    d.table("held.dbf")
    d.table("z.dbf", mark_after=0xC9)
    return dict(args=[t.path(d.root), "1251"], status=1, holders=["held.dbf"],
                stderr=[file_failure(t, "held.dbf", "CreateFile()", errno.EWOULDBLOCK, 32)])


@case(targets=("native",),
      only_because="Wine run as root opens a file without write permission, as root may")
def read_only_table(t, d):
    d.table("a.dbf", mark_after=0xC9)
    d.table("ro.dbf")
    os.chmod(d.p("ro.dbf"), 0o444)
    return dict(args=[d.root, "1251"], status=1,
                stderr=[file_failure(t, "ro.dbf", "CreateFile()", errno.EACCES)])


@case(targets=("native",), only_because="a Unix link is followed by Wine, as by any Windows program")
def link_to_table_elsewhere(t, d):
    d.table("outside/target.dbf")
    d.mkdir("data")
    d.table("data/b.dbf", mark_after=0xC9)
    os.symlink(d.p("outside/target.dbf"), d.p("data/link.dbf"))
    return dict(args=[d.p("data"), "1251"], status=1,
                stderr=[file_failure(t, "link.dbf", "CreateFile()", errno.ELOOP)])


@case()
def fifo_with_table_extension(t, d):
    d.table("a.dbf", mark_after=0xC9)
    os.mkfifo(d.p("pipe.dbf"))
    return dict(args=[t.path(d.root), "1251"], status=1,
                stderr=[file_failure(t, "pipe.dbf", "CreateFile()", errno.ENXIO, 50)])


@case()
def device_name_with_table_extension(t, d):
    # On Windows nul.dbf names the NUL device, which is not a disk file; on
    # POSIX it is an ordinary name.
    d.table("a.dbf", mark_after=0xC9)
    if t.windows:
        d.table("nul.dbf")
        return dict(args=[t.path(d.root), "1251"], status=1,
                    stderr=[file_failure(t, "nul.dbf", "CreateFile()", windows_code=50)])
    d.table("nul.dbf", mark_after=0xC9)
    return dict(args=[t.path(d.root), "1251"], status=0)


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
    return dict(args=[d.root, "1251"], status=1, stderr=messages)


@case(targets=("native",), only_because="the locale names the console's character set on POSIX")
def russian_locale_texts(t, d):
    return dict(args=[d.p("missing")], status=2, env={"LANG": "ru_RU.UTF-8", "LC_ALL": None},
                stderr=["В функции GetFileAttributes() возникла ошибка 2: "
                        "Нет такого файла или каталога"])


@case(targets=("native",), only_because="the C locale applies to POSIX only")
def c_locale_writes_utf8(t, d):
    return dict(args=["-c", "7"], status=2, env={"LC_ALL": "C", "LANG": "C"},
                stderr=[BAD_CODE_PAGE])


@case()
def long_directory_path(t, d):
    # More than 260 characters in all, made of names a Windows path allows.
    rel = "/".join(["длинный_каталог_" + str(i) for i in range(16)])
    d.table(rel + "/a.dbf", mark_after=0xC9)
    d.table(rel + "/b%s%n.dbf", signature=0x8B)
    assert len(t.path(d.p(rel))) > 260
    return dict(args=[t.path(d.p(rel)), "1251"], status=1,
                stderr=[not_a_table("b%s%n.dbf")])


@case(targets=("wine",), only_because="drive letters exist on Windows only")
def bare_drive_letter_names_its_root(t, d):
    d.table("a.dbf", mark_after=0xC9)
    link = os.path.join(t.env["WINEPREFIX"], "dosdevices", "m:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(d.root, link)
    return dict(args=["M:", "1251"], status=0, cleanup=lambda: os.remove(link))


# Hostile directories.

@case()
def names_with_format_characters(t, d):
    names = ["%s.dbf", "%n%n%n.dbf", "%d.dbf", "%%.dbf", "100%.DBF", "%s%s%s%s%s%s%s.scx"]
    for name in names:
        d.table(name, signature=0x8B)
    d.table("%s-good.dbf", mark_after=0xC9)
    # 255 bytes of UTF-8: the longest name a POSIX directory holds.
    long_name = "Ж" * 125 + "x.dbf"
    assert len(long_name.encode()) == 255
    d.table(long_name, b31=1)
    return dict(args=[t.path(d.root), "1251"], status=1,
                stderr=[not_a_table(n) for n in names + [long_name]])


@case(targets=("native",), only_because="Windows file names cannot hold control characters "
                                         "or bytes outside their character set")
def names_with_control_characters_and_stray_bytes(t, d):
    names = ["line\nfeed.dbf", "esc\x1b[31mape.dbf", "tab\there.dbf",
             os.fsdecode(b"\xff\xfe-latin1-\xe9.dbf"), os.fsdecode(b"cp866-\x8e\xe8.DBF")]
    for name in names:
        d.table(name, signature=0xCB)
    d.table(os.fsdecode(b"good-\xff.dbf"), mark_after=0xC9)
    return dict(args=[d.root, "1251"], status=1, stderr=[not_a_table(n) for n in names])


@case(targets=("native",), only_because="4 000-byte paths are a POSIX matter")
def directory_path_of_4000_bytes(t, d):
    parts, length = [], len(d.root)
    while length < 3990:
        part = "каталог_" * 10 + str(len(parts))
        parts.append(part)
        length += 1 + len(part.encode())
    rel = "/".join(parts)
    d.table(rel + "/a.dbf", mark_after=0xC9)
    d.table(rel + "/b.dbf", signature=0x8B)
    path = d.p(rel)
    assert 3990 <= len(path.encode()) < 4096, len(path.encode())
    return dict(args=[path, "1251"], status=1, stderr=[not_a_table("b.dbf")])


@case(targets=("native",), only_because="PATH_MAX is a POSIX limit")
def directory_path_beyond_the_system_limit(t, d):
    rel = "/".join(["x" * 200] * 25)  # need not exist: its length alone is refused
    return dict(args=[d.p(rel)], status=2,
                stderr=[run_failure(t, "GetFileAttributes()", errno.ENAMETOOLONG, None)])


@case()
def link_to_directory_named_as_table(t, d):
    d.table("elsewhere/inner.dbf")
    d.mkdir("data")
    d.table("data/a.dbf", mark_after=0xC9)
    os.symlink(d.p("elsewhere"), d.p("data/x.dbf"))
    return dict(args=[t.path(d.p("data")), "1251"], status=0)


def concurrent_runs(t, d):
    """Two runs with different code pages over the same 10 000 tables at once."""
    count = 10000
    originals = {}
    for i in range(count):
        name = f"t{i:05d}.dbf"
        d.table(name)
        originals[name] = d.expected[name]
    runs = []
    with tempfile.TemporaryFile() as e1, tempfile.TemporaryFile() as e2:
        for err, cp in ((e1, "1251"), (e2, "1253")):
            runs.append(subprocess.Popen(t.command([t.path(d.root), cp]), stdout=subprocess.DEVNULL,
                                         stderr=err, stdin=subprocess.DEVNULL, cwd=d.root,
                                         env=t.env))
        statuses = [r.wait(timeout=600) for r in runs]
        streams = []
        for err in (e1, e2):
            err.seek(0)
            streams.append(err.read())
    marks = (0xC9, 0xCB)
    problems = []
    reported = []
    for stream in streams:
        names = set()
        for name in originals:
            message = t.encode(file_failure(t, name, "CreateFile()", errno.EWOULDBLOCK, 32))
            if message in stream:
                names.add(name)
                stream = stream.replace(message, b"", 1)
        if stream:
            problems.append(f"unexpected output: {stream[:300]!r}")
        reported.append(names)
    for run, (names, status) in enumerate(zip(reported, statuses)):
        if status != (1 if names else 0):
            problems.append(f"run {run} exited {status} having reported {len(names)} tables")
    for name, before in originals.items():
        with open(d.p(name), "rb") as f:
            after = f.read()
        if after[:29] + after[30:] != before[:29] + before[30:] or after[29] not in marks:
            problems.append(f"{name}: {diff(before, after)}")
        # A table one run could not lock was left to the other run's mark.
        for run, names in enumerate(reported):
            if name in names and after[29] != marks[1 - run]:
                problems.append(f"{name}: reported by run {run} but holds {after[29]:#04x}")
    print(f"     concurrent runs: {len(reported[0])} and {len(reported[1])} tables "
          f"reported locked")
    d.expected.clear()
    return problems[:20]


@case()
def two_runs_at_once(t, d):
    return dict(custom=concurrent_runs)


@case(targets=("native",), only_because="a closed descriptor being reused is a POSIX hazard")
def closed_standard_streams(t, d):
    # With standard error closed, a table opened while it is reported must
    # not receive the message.
    d.table("a.dbf", mark_after=0xC9)
    d.table("refused.dbf", signature=0x8B)
    d.add("short.dbf", b"\x30" * 10)
    return dict(args=[d.root, "1251"], status=1, close_fds=(1, 2))


@case(targets=("native",), only_because="Windows does not let a directory in use be removed")
def current_directory_removed(t, d):
    d.mkdir("gone")
    return dict(args=["-c", "1251"], status=2, cwd="gone", remove_cwd=True,
                stderr=[run_failure(t, "GetCurrentDirectory()", errno.ENOENT)])


@case(targets=("native",), only_because="SIGPIPE is a POSIX matter")
def reader_gone_away(t, d):
    d.table("a.dbf", mark_after=0xC9)
    d.table("refused.dbf", signature=0x8B)
    return dict(args=[d.root, "1251"], status=1, broken_pipe=True)


# --- Running --------------------------------------------------------------

class Holder:
    """Keeps a file in exclusive use by another process for the length of a run."""

    def __init__(self, target, path, holder_exe):
        if target.windows:
            self.proc = subprocess.Popen(["wine", holder_exe, target.path(path)],
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL, env=target.env)
            line = self.proc.stdout.readline()
            if b"held" not in line:
                raise RuntimeError(f"holder did not start: {line!r}")
            self.file = None
        else:
            self.proc = None
            self.file = open(path, "rb")
            fcntl.flock(self.file, fcntl.LOCK_EX | fcntl.LOCK_NB)

    def release(self):
        if self.proc:
            self.proc.stdin.close()
            self.proc.wait(timeout=30)
        if self.file:
            self.file.close()


def take_messages(stream, messages):
    """Whether `stream` is exactly `messages` in some order."""
    rest = list(messages)
    while stream:
        for i, m in enumerate(rest):
            if stream.startswith(m):
                stream = stream[len(m):]
                del rest[i]
                break
        else:
            return False
    return not rest


def run_one(t, d, run, holder_exe):
    holders = [Holder(t, d.p(h), holder_exe) for h in run.get("holders", [])]
    env = dict(t.env)
    for name, value in run.get("env", {}).items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    cwd = d.p(run["cwd"]) if "cwd" in run else d.root
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        stdout_to, stderr_to = out, err

        def preexec(fds=run.get("close_fds", ()), remove_cwd=run.get("remove_cwd", False)):
            for fd in fds:
                os.close(fd)
            if remove_cwd:
                os.rmdir(os.getcwd())
        if run.get("broken_pipe"):
            reader, writer = os.pipe()
            os.close(reader)
            stdout_to = stderr_to = writer
        try:
            # Output goes to files: a pipe could be held open by a process Wine
            # starts, and the run would never seem to end.
            proc = subprocess.run(t.command(run["args"]), stdout=stdout_to, stderr=stderr_to,
                                  stdin=subprocess.DEVNULL, cwd=cwd, env=env, timeout=60,
                                  preexec_fn=preexec)
        finally:
            for h in holders:
                h.release()
            if run.get("broken_pipe"):
                os.close(writer)
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
    problems = []
    if proc.returncode != run["status"]:
        problems.append(f"exit status {proc.returncode}, want {run['status']}")
    want_out = t.encode(run["stdout"]) if run.get("stdout") is not None else b""
    if stdout != want_out:
        problems.append(f"stdout {stdout!r}\n   want {want_out!r}")
    want_err = [t.encode(m) for m in run.get("stderr", [])]
    if not take_messages(stderr, want_err):
        problems.append(f"stderr {stderr!r}\n   want, in any order, {want_err!r}")
    return problems


def run_case(t, fn, holder_exe, work):
    root = tempfile.mkdtemp(prefix="case-", dir=work)
    d = Dir(root)
    setup = fn(t, d)
    runs = setup.get("runs", [setup])
    problems = []
    try:
        if "custom" in setup:
            return setup["custom"](t, d)
        for run in runs:
            if run.get("after_first"):
                # Whatever the first run wrote is the state now; nothing more may change.
                for rel in d.expected:
                    os.utime(d.p(rel), (OLD_TIME, OLD_TIME))
                    d.untouched.add(rel)
            problems += run_one(t, d, run, holder_exe)
            problems += d.check()
    finally:
        if "cleanup" in setup:
            setup["cleanup"]()
        for dirpath, dirnames, _ in os.walk(root):
            for name in dirnames:
                os.chmod(os.path.join(dirpath, name), 0o755)
        shutil.rmtree(root, ignore_errors=True)
    return problems


def start_wine(prefix):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LANG="ru_RU.UTF-8")
    env.pop("LC_ALL", None)
    env.pop("DISPLAY", None)
    os.makedirs(prefix, exist_ok=True)
    subprocess.run(["wineserver", "-p"], env=env, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The first start of a prefix sets it up and leaves its services running;
    # later starts take a fraction of a second.
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    return env


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--target", choices=("native", "wine"), required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--holder", help="the share-mode holder exe (wine)")
    parser.add_argument("--wine-prefix", help="a throwaway WINEPREFIX (wine)")
    parser.add_argument("-k", dest="filter", help="run only cases whose name contains this")
    opts = parser.parse_args()

    program = os.path.abspath(opts.program)
    if opts.target == "native":
        env = dict(os.environ, LC_ALL="C.UTF-8")
        t = NativeTarget("native", program, env)
    else:
        env = start_wine(os.path.abspath(opts.wine_prefix))
        t = WineTarget("wine", program, env)

    holder = os.path.abspath(opts.holder) if opts.holder else None
    passed = failed = 0
    work = tempfile.mkdtemp(prefix="tablemark-e2e-")
    try:
        for name, targets, fn in CASES:
            if opts.target not in targets or (opts.filter and opts.filter not in name):
                continue
            started = time.monotonic()
            try:
                problems = run_case(t, fn, holder, work)
            except Exception:  # a broken case is a failure, not a crash of the runner
                problems = [traceback.format_exc()]
            took = time.monotonic() - started
            if problems:
                failed += 1
                print(f"FAIL {name} ({took:.1f}s)")
                for p in problems:
                    print("   " + p)
            else:
                passed += 1
                print(f"ok   {name} ({took:.1f}s)")
    finally:
        shutil.rmtree(work, ignore_errors=True)
        if opts.target == "wine":
            subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print(f"{opts.target}: {passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
