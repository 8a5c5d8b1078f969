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
import difflib
import errno
import fcntl
import os
import pty
import re
import shlex
import shutil
import socket
import stat
import struct
import subprocess
import sys
import tempfile
import threading
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
    network = False  # the cases' folder is on a network mount
    lock_errno = errno.EWOULDBLOCK  # the code a refused lock or lease gives

    def encode(self, text, encoding):
        raise NotImplementedError

    def path(self, unix_path):
        return unix_path

    def command(self, args):
        return [self.program] + args

    def listing(self, folder):
        """The folder's names in the order the program meets them."""
        return os.listdir(folder)

    def error(self, native_errno, windows_code):
        """(code, text) the program shows for a failure."""
        raise NotImplementedError


class NativeTarget(Target):
    sep = "/"
    switch = "-"

    def encode(self, text, encoding="utf-8"):
        # The locale's set (C.UTF-8 unless a case names another); the
        # message's own line end is LF. A surrogate-escaped character stands
        # for a byte of a name, which reaches the console as it is.
        return (text + "\n").encode(encoding, "surrogateescape")

    def error(self, native_errno, windows_code):
        return native_errno, os.strerror(native_errno)


class WineTarget(Target):
    windows = True
    sep = "\\"
    switch = "/"

    def encode(self, text, encoding="cp866"):
        # CP866, through a C runtime stream in text mode: LF becomes CR LF.
        return (text + "\n").replace("\n", "\r\n").encode(encoding)

    def path(self, unix_path):
        return wine_path(unix_path)

    def command(self, args):
        return ["wine", self.program] + args

    def listing(self, folder):
        # Wine sorts what it lists: ignoring case, then by case.
        return sorted(os.listdir(folder), key=lambda name: (name.upper(), name))

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
LONG_HELP = ("\n\nКодовая страница текста таблиц (ничего не изменяется): \n"
             "$ tablemark --detect [[-d] <\"FullPath\">]\n"
             "   Строка на таблицу: имя, кодовая страница по метке, кодовая страница текста\n"
             "   (- только ASCII или нет текста, ? нет уверенности)")
BAD_CODE_PAGE = "Ошибка в значениее параметра <CodePage>"
UNEXPECTED = "Неожиданная ошибка"


def not_a_table(name):
    return f"Файл {name} не является Visual Foxpro таблицей"


def missing_memo(table_name, memo_name):
    return f"Для файла {table_name} не найден мемо-файл {memo_name}"


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


# Prose long enough that its code page is sure, in whatever set a case writes it.
RUSSIAN = (
    "Старый город просыпался медленно. Сначала на рыночной площади появлялись торговцы с "
    "тележками, потом открывались булочные, и запах свежего хлеба тянулся по узким улицам до "
    "самой реки. Дворники мели тротуары, почтальон разносил газеты, а из окон второго этажа "
    "доносились звуки пианино: кто-то снова и снова играл одну и ту же гамму. К девяти часам "
    "улицы наполнялись людьми. Школьники бежали на уроки, чиновники спешили в контору, и только "
    "старики на скамейке у фонтана никуда не торопились. Они обсуждали погоду, цены на картофель "
    "и последние новости из столицы, которые, как всегда, приходили с опозданием. Ярмарка "
    "обещала быть шумной: ждали гостей из соседних деревень, музыкантов и даже цирк с медведем. "
    "Жители готовились к празднику всю неделю, чистили окна, красили заборы и пекли пироги. ") * 3
GERMAN = (
    "Die alte Mühle am Fluss wurde im letzten Frühjahr gründlich renoviert. Über zwei "
    "Jahrzehnte hatte sie leer gestanden, bis eine junge Familie aus München das Gebäude kaufte "
    "und in ein kleines Café mit Bäckerei verwandelte. Heute kommen jeden Sonntag Radfahrer, "
    "Wanderer und Großeltern mit ihren Enkeln, um Käsekuchen zu essen und den schönen Blick über "
    "die Wiesen zu genießen. Der Müller, der früher hier arbeitete, erzählt gern Geschichten über "
    "strenge Winter, große Überschwemmungen und die Zeit, als das Mehl noch mit Pferdewagen in "
    "die Stadt gebracht wurde. ") * 3
ASCII = b"Order 17 paid in full, see the ledger. " * 8


def sentences(text, encoding):
    """Memos of a sentence each: no memo is cut short where it is read."""
    return [s.encode(encoding) for s in text.split(". ")]


# A character field, a binary one, a varchar, a memo and a number: (name, type, length, flags).
FIELDS = [("NAME", "C", 50, 0), ("CODE", "C", 8, 0x04), ("NOTE", "V", 30, 0),
          ("BODY", "M", 4, 0), ("QTY", "N", 5, 0)]


def dbf(mark, text=b"", memos=(), code=b"", signature=0x30, flags=0x02):
    """A table of FIELDS and its memo file (64-byte blocks). `text` fills the character and
    varchar fields of as many records as it takes, `code` the binary field of each; record i
    names memo i. FoxPro 2.x (0xF5) has no field offsets and 10-digit memo fields."""
    fox = signature == 0xF5
    fields = [(n, k, 10 if fox and k == "M" else w, f) for n, k, w, f in FIELDS]
    pieces = [text[i:i + 80] for i in range(0, len(text), 80)]
    count = max(len(pieces), len(memos), 1)
    head = 32 + 32 * len(fields) + 1 + 263 * (not fox)  # the container backlink in VFP
    out = bytearray(struct.pack("<B3BIHH16xBBxx", signature, 124, 5, 17, count, head,
                                1 + sum(f[2] for f in fields), flags, mark))
    offset = 1
    for name, kind, width, field_flags in fields:
        out += struct.pack("<11scIBxB13x", name.encode(), kind.encode(), offset * (not fox),
                           width, field_flags)
        offset += width
    out += b"\r" + bytes(head - len(out) - 1)
    memo = bytearray(512)
    for i in range(count):
        piece, block = pieces[i] if i < len(pieces) else b"", 0
        if i < len(memos):
            block = len(memo) // 64
            memo += struct.pack(">II", 1, len(memos[i])) + memos[i]
            memo += bytes(-len(memo) % 64)
        out += b" " + piece[:50].ljust(50) + code.ljust(8) + piece[50:].ljust(30)
        out += (b"%10d" % block if fox else struct.pack("<I", block)) + b"%5d" % i
    struct.pack_into(">IxxH", memo, 0, len(memo) // 64, 64)
    return bytes(out + b"\x1a"), bytes(memo)


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

    def dbf(self, rel, mark, memo=None, **kw):
        """A table made by dbf(), and its memo file if `memo` names one (in the same folder)."""
        data, memo_data = dbf(mark, **kw)
        self.add(rel, data)
        if memo:
            self.add(os.path.join(os.path.dirname(rel), memo), memo_data)

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
# optionally cwd (relative to d.root), env, encoding (the locale's set, for
# the expected texts), holders ((path, kind, place) to hold for the run, see
# LOCK_HOLDERS), user (the uid to run as),
# terminal (standard error is a terminal), before (called as the run starts),
# after (a check once the run is over, returning problems). Instead of
# stdout, lines ({name: "MARK\tTEXT"}) stands for the lines of --detect in
# the order folder `listed` (relative to d.root) lists the names, each shown
# as `shown` says or as it is. A case raises Skip when this machine cannot
# show it.

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


def detect_run(t, d, lines, stderr=(), status=0, listed="."):
    """--detect on folder `listed` once the runs before it are over: it changes nothing."""
    return dict(args=["--detect", t.path(os.path.normpath(d.p(listed)))], status=status,
                lines=lines, listed=listed, stderr=list(stderr), after_first=True)


# Command line and usage: (name, targets, arguments, exit status or (POSIX's,
# Windows')). "~" stands for the target's switch character; every case shows
# the usage text alone, but for --version on POSIX the version line.
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
    # GNU's whole words on POSIX; on Windows "--" is an unknown switch letter.
    ("help_with_gnu_word", None, ["--help"], (0, 2)),
    ("version_with_gnu_word", None, ["--version"], (0, 2)),
    # Detection writes nothing: a code page beside it is a mistake.
    ("usage_for_code_page_beside_detect", None, ["--detect", "{dir}", "1251"], 2),
    ("usage_for_code_page_switch_before_detect", None, ["~c", "1251", "--detect"], 2),
]


def project_version():
    """The version set in the source tree's CMakeLists.txt, two folders up."""
    try:
        with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                               "CMakeLists.txt")) as f:
            return re.search(r"project\(Tablemark VERSION ([0-9.]+)", f.read())[1]
    except OSError:
        raise Skip("the runner was copied without the source tree, which sets the version")


def usage_case(args, status):
    def run(t, d):
        typed = [a.replace("~", t.switch, 1).replace("{dir}", t.path(d.root)) for a in args]
        gnu = None if t.windows or len(args) != 1 else args[0]
        return dict(args=typed, status=status[t.windows] if isinstance(status, tuple) else status,
                    stdout=f"tablemark {project_version()}" if gnu == "--version" else
                    USAGE[t.windows] + LONG_HELP * (gnu == "--help"))
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
    stderr = [not_a_table(n) for n in ("m8b.dbf", "mcb.dbf", "r30.dbf", "r31.dbf")]
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=1, stderr=stderr),
                      detect_run(t, d, {"good.dbf": "1251\t-"}, stderr, status=1)])


@case()
def short_files(t, d):
    d.add("empty.dbf", b"")
    d.add("short.dbf", table(size=31))
    d.table("exact.dbf", size=32, mark_after=0xC9)
    stderr = [file_failure(t, n, "ReadFile()") for n in ("empty.dbf", "short.dbf")]
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=1, stderr=stderr),
                      detect_run(t, d, {"exact.dbf": "1251\t-"}, stderr, status=1)])


@case()
def extension_rule(t, d):
    tables = ("A.DBF", "b.dbf", "c.Scx", ".dbf", "x.vcx", "x.FRX", "x.lbx", "x.MnX", "x.dbc",
              "x.pjx")
    for name in tables:
        d.table(name, mark_after=0xC9)
    for name in ("d.dbf.bak", "e.dbfx", "f.db", "README"):
        d.table(name)
    d.mkdir("old.dbf")
    d.table("old.dbf/inner.dbf")  # subdirectories are not entered
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=0),
                      detect_run(t, d, dict.fromkeys(tables, "1251\t-"))])


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
    stderr = [run_failure(t, "GetFileAttributes()", errno.ENOENT, 2)]
    return dict(runs=[dict(args=args + [t.path(d.p("missing"))], status=2, stderr=stderr)
                      for args in ([], ["--detect"])])


@case()
def missing_parent_directory(t, d):
    return dict(args=[t.path(d.p("missing/sub"))], status=2,
                stderr=[run_failure(t, "GetFileAttributes()", errno.ENOENT, 3)])


@case()
def file_named_as_directory(t, d):
    d.table("a.dbf")
    stderr = [run_failure(t, "FindFirstFile()", errno.ENOTDIR, 123)]
    return dict(runs=[dict(args=args + [t.path(d.p("a.dbf"))], status=2, stderr=stderr)
                      for args in ([], ["--detect"])])


# Detection.

# Tables whose text settles their code page: name, mark, dbf() arguments (memo: the
# memo file's name), the line's MARK and TEXT.
AGREEING = [
    ("ru866.dbf", 0x65, dict(text=RUSSIAN.encode("cp866")), "866\t866"),
    ("ru1251.scx", 0xC9, dict(memos=sentences(RUSSIAN, "cp1251"), memo="ru1251.sct"),
     "1251\t1251"),
    ("de1252.dbf", 0x03, dict(text=GERMAN.encode("cp1252")), "1252\t1252"),
    ("zero.dbf", 0x00, dict(text=ASCII), "0\t-"),
    ("unknown.dbf", 0x8C, dict(text=ASCII), "0x8C\t-"),
    # A binary field's bytes are not read through the mark, so they are no text.
    ("binary.dbf", 0xC9, dict(text=ASCII, code=bytes(range(0xF8, 0x100))), "1251\t-"),
]
# Each alone in a folder: a sure answer the mark does not stand for ends the run in 1.
DISAGREEING = [
    ("ru1251.dbf", 0x65, dict(text=RUSSIAN.encode("cp1251")), "866\t1251"),
    ("unknown.dbf", 0x8C, dict(text=RUSSIAN.encode("cp1251")), "0x8C\t1251"),
    ("koi8.dbf", 0x65, dict(text=RUSSIAN.encode("koi8_r")), "866\tKOI8-R"),
    ("utf8.dbf", 0x00, dict(memos=sentences(RUSSIAN, "utf-8"), memo="utf8.fpt"), "0\tUTF-8"),
]


@case()
def detect_names_the_code_page_of_each_table(t, d):
    for name, mark, kw, _ in AGREEING:
        d.dbf(name, mark, **kw)
    runs = [detect_run(t, d, {name: line for name, _, _, line in AGREEING})]
    for i, (name, mark, kw, line) in enumerate(DISAGREEING):
        d.dbf(f"wrong{i}/{name}", mark, **kw)
        runs.append(detect_run(t, d, {name: line}, status=1, listed=f"wrong{i}"))
    return dict(runs=runs)


@case()
def detect_reads_memo_files(t, d):
    # The memos alone hold text that is not ASCII.
    kw = dict(text=ASCII, memos=sentences(RUSSIAN, "cp1251"))
    d.dbf("a.dbf", 0xC9, **kw)
    d.dbf("B.DBF", 0xC9, **kw)
    d.dbf("c.dbf", 0xC9, memo="C.FPT", **kw)
    d.dbf("no_flag.dbf", 0xC9, flags=0, **kw)  # its header says it has no memo file
    d.dbf("fox.dbf", 0xC9, memo="fox.fpt", signature=0xF5, flags=0, **kw)  # its type says so
    d.dbf("no_memo.dbf", 0xC9, text=ASCII)  # no record names a memo
    return detect_run(t, d, {"a.dbf": "1251\t-", "B.DBF": "1251\t-", "c.dbf": "1251\t1251",
                             "no_flag.dbf": "1251\t-", "fox.dbf": "1251\t1251",
                             "no_memo.dbf": "1251\t-"}, status=1,
                      stderr=[missing_memo("a.dbf", "a.fpt"), missing_memo("B.DBF", "B.FPT")])


@case()
def detect_arguments_in_any_order(t, d):
    d.dbf("data/a.dbf", 0xC9)
    folder, lines = t.path(d.p("data")), {"a.dbf": "1251\t-"}
    orders = [["--detect", folder], [folder, "--detect"], ["--detect", sw(t, "d"), folder],
              [sw(t, "d"), folder, "--detect"], [sw(t, "d"), "--detect", folder],
              [sw(t, "d") + folder, "--detect"]]
    return dict(runs=[dict(args=args, status=0, lines=lines, listed="data") for args in orders] +
                [dict(args=["--detect"], status=0, lines=lines, listed="data", cwd="data")])


@case(targets=("native",), only_because="Windows file names cannot hold control characters")
def detect_escapes_names(t, d):
    shown = {"tab\there.dbf": "tab\\there.dbf", "line\nfeed.dbf": "line\\nfeed.dbf",
             "back\\slash.dbf": "back\\\\slash.dbf", "esc\x1b[31m.dbf": "esc\\x1B[31m.dbf",
             "del\x7f.dbf": "del\\x7F.dbf", "nel\x85.dbf": "nel\\x85.dbf",
             # Not controls: shown as they are, a byte that is no UTF-8 too.
             "Жж.dbf": "Жж.dbf", os.fsdecode(b"raw\xff.dbf"): os.fsdecode(b"raw\xff.dbf")}
    for name in shown:
        d.dbf(name, 0x65)
    return dict(detect_run(t, d, dict.fromkeys(shown, "866\t-")), shown=shown)


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
UNPRIVILEGED = 65534  # nobody


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
        # Reading takes neither lock nor lease: only a Windows share mode keeps a reader out.
        if t.windows and kind == "share_mode":
            detect = detect_run(t, d, {"a.dbf": "1251\t-", "z.dbf": "1251\t-"}, refused, 1)
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
            writer = threading.Thread(
                target=lambda p=path, e=through: (os.close(os.open(p, os.O_WRONLY)), e.set()))
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
    # On Windows nul.dbf names the NUL device, which is not a disk file; on
    # POSIX it is an ordinary name.
    d.table("a.dbf", mark_after=0xC9)
    if t.windows:
        d.table("nul.dbf")
        stderr = [file_failure(t, "nul.dbf", "CreateFile()", windows_code=50)]
        return dict(runs=[dict(args=[t.path(d.root), "1251"], status=1, stderr=stderr),
                          detect_run(t, d, {"a.dbf": "1251\t-"}, stderr, status=1)])
    d.table("nul.dbf", mark_after=0xC9)
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=0),
                      detect_run(t, d, dict.fromkeys(["a.dbf", "nul.dbf"], "1251\t-"))])


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
    stderr = [not_a_table(n) for n in names + [long_name]]
    return dict(runs=[dict(args=[t.path(d.root), "1251"], status=1, stderr=stderr),
                      detect_run(t, d, {"%s-good.dbf": "1251\t-"}, stderr, status=1)])


@case(targets=("native",), only_because="Windows file names cannot hold control characters")
def control_characters_masked_on_a_terminal(t, d):
    # A planted name that would retitle the terminal, erase a line and move
    # the cursor, and one with a C1 control (CSI).
    names = {"\x1b]0;owned\x07\x1b[2K\r.dbf": "?]0;owned??[2K?.dbf", "c1\x9b31m.dbf": "c1?31m.dbf",
             os.fsdecode(b"raw\x9b.dbf"): "raw?.dbf", "del\x7f.dbf": "del?.dbf"}
    for name in names:
        d.table(name, signature=0x8B)
    return dict(args=[d.root, "1251"], status=1, terminal=True,
                stderr=[not_a_table(shown) for shown in names.values()])


@case(targets=("native",), only_because="the locale names the console's character set on POSIX")
def names_in_a_koi8r_locale(t, d):
    # In KOI8-R the bytes D0 A3 are "пё"; decoded as UTF-8 they would be
    # "У" and reach the console as another byte. Bytes that are no UTF-8 at
    # all, and a UTF-8 name, go out as they are too.
    names = [os.fsdecode(b"\xd0\xa3.dbf"), os.fsdecode(b"\xf0\xd2.dbf"), "Жж.dbf"]
    for name in names:
        d.table(name, signature=0xCB)
    koi8 = [n.encode("utf-8", "surrogateescape").decode("ascii", "surrogateescape")
            for n in names]
    return dict(args=[d.root, "1251"], status=1, encoding="koi8_r",
                env={"LANG": "ru_RU.KOI8-R", "LC_ALL": None},
                stderr=[not_a_table(n) for n in koi8])


@case(targets=("native",), only_because="Windows file names cannot hold control characters "
                                         "or bytes outside their character set")
def names_with_control_characters_and_stray_bytes(t, d):
    names = ["line\nfeed.dbf", "esc\x1b[31mape.dbf", "tab\there.dbf",
             os.fsdecode(b"\xff\xfe-latin1-\xe9.dbf"), os.fsdecode(b"cp866-\x8e\xe8.DBF")]
    for name in names:
        d.table(name, signature=0xCB)
    d.table(os.fsdecode(b"good-\xff.dbf"), mark_after=0xC9)
    stderr = [not_a_table(n) for n in names]
    return dict(runs=[dict(args=[d.root, "1251"], status=1, stderr=stderr),
                      detect_run(t, d, {os.fsdecode(b"good-\xff.dbf"): "1251\t-"}, stderr, 1)])


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
    return dict(runs=[dict(args=[t.path(d.p("data")), "1251"], status=0),
                      detect_run(t, d, {"a.dbf": "1251\t-"}, listed="data")])


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


def wine_path(unix_path):
    return "Z:" + unix_path.replace("/", "\\")


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


def readable(data, encoding):
    """Console bytes as text, control characters made visible."""
    text = data.decode(encoding, "backslashreplace")
    return "".join(c if c == "\n" or (c >= " " and not "\x7f" <= c <= "\x9f") else
                   ascii(c)[1:-1] for c in text)


def mismatch(stream, got, want, encoding, any_order=False):
    """A failure that reads as text: both sides decoded, with a line diff."""
    order = sorted if any_order else list
    lines = difflib.unified_diff(order(readable(want, encoding).split("\n")),
                                 order(readable(got, encoding).split("\n")),
                                 f"{stream} wanted" + (", lines sorted" if any_order else ""),
                                 f"{stream} got", lineterm="")
    return "\n      ".join(lines)


def read_terminal(master):
    chunks = []
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # EIO: the last writer has gone
            break
        if not chunk:
            break
        chunks.append(chunk)
    os.close(master)
    return b"".join(chunks)


def run_one(t, d, run, ctx):
    holders = [Holder(ctx, t, d, *held) for held in run.get("holders", [])]
    env = dict(t.env)
    for name, value in run.get("env", {}).items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    cwd = d.p(run["cwd"]) if "cwd" in run else d.root
    encoding = run.get("encoding") or ("cp866" if t.windows else "utf-8")
    stdout_text = run.get("stdout")
    if run.get("lines"):
        listed, shown = t.listing(d.p(run.get("listed", "."))), run.get("shown", {})
        stdout_text = "\n".join(f"{shown.get(name, name)}\t{run['lines'][name]}"
                                for name in sorted(run["lines"], key=listed.index))
    if "before" in run:
        run["before"]()
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        stdout_to, stderr_to = out, err

        def preexec(fds=run.get("close_fds", ()), remove_cwd=run.get("remove_cwd", False),
                    user=run.get("user")):
            for fd in fds:
                os.close(fd)
            if remove_cwd:
                os.rmdir(os.getcwd())
            if user:
                os.setgroups([])
                os.setgid(user)
                os.setuid(user)
        if run.get("broken_pipe"):
            reader, writer = os.pipe()
            os.close(reader)
            stdout_to = stderr_to = writer
        if run.get("terminal"):
            master, stderr_to = pty.openpty()
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
        if run.get("terminal"):
            os.close(stderr_to)
            stderr = read_terminal(master)
    problems = []
    if proc.returncode != run["status"]:
        problems.append(f"exit status {proc.returncode}, want {run['status']}")
    want_out = t.encode(stdout_text, encoding) if stdout_text is not None else b""
    if stdout != want_out:
        problems.append(mismatch("stdout", stdout, want_out, encoding))
    want_err = [t.encode(m, encoding) for m in run.get("stderr", [])]
    if run.get("terminal"):  # the terminal turns each line feed into CR LF
        want_err = [m.replace(b"\n", b"\r\n") for m in want_err]
    if not take_messages(stderr, want_err):
        problems.append(mismatch("stderr", stderr, b"".join(want_err), encoding,
                                 any_order=len(want_err) > 1))
    if "after" in run:
        problems += run["after"]()
    return problems


class Skip(Exception):
    """A case this machine cannot show; the reason is printed."""


def run_case(t, fn, ctx):
    root = tempfile.mkdtemp(prefix="case-", dir=ctx.work)
    d = Dir(root)
    problems = []
    setup = {}
    try:
        try:
            setup = fn(t, d)
        except OSError as e:
            if not ctx.work_given:
                raise
            raise Skip(f"this file system cannot hold what the case needs: {e}")
        if "custom" in setup:
            return setup["custom"](t, d, ctx)
        runs = setup.get("runs", [setup])
        for number, run in enumerate(runs, 1):
            if run.get("after_first"):
                # Whatever the first run wrote is the state now; nothing more may change.
                for rel in d.expected:
                    os.utime(d.p(rel), (OLD_TIME, OLD_TIME))
                    d.untouched.add(rel)
            found = run_one(t, d, run, ctx) + d.check()
            named = f"run {number} of {len(runs)} ({shlex.join(run['args'])}): "
            problems += [named * (len(runs) > 1) + problem for problem in found]
    finally:
        if "cleanup" in setup:
            setup["cleanup"]()
        for dirpath, dirnames, _ in os.walk(root):
            for name in dirnames:
                os.chmod(os.path.join(dirpath, name), 0o755)
        shutil.rmtree(root, ignore_errors=True)
    return problems


def without_lc(env):
    # Any LC_ variable would override a LANG given later, and Python itself
    # sets LC_CTYPE=C.UTF-8 for its children when it starts in the C locale.
    return {name: value for name, value in env.items() if not name.startswith("LC_")}


def start_wine(prefix):
    env = dict(without_lc(os.environ), WINEPREFIX=prefix, WINEDEBUG="-all", LANG="ru_RU.UTF-8")
    env.pop("DISPLAY", None)
    os.makedirs(prefix, exist_ok=True)
    subprocess.run(["wineserver", "-p"], env=env, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The first start of a prefix sets it up and leaves its services running;
    # later starts take a fraction of a second.
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    return env


class Context:
    """What the runner was given beyond the target: the share-mode holder,
    and where the cases' folder is and how other clients see it."""

    def __init__(self, opts, wine_env):
        self.holder_exe = os.path.abspath(opts.holder) if opts.holder else None
        self.wine_env = wine_env
        self.work_given = opts.work is not None
        if opts.work:
            os.makedirs(opts.work, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="tablemark-e2e-", dir=opts.work)
        os.chmod(self.work, 0o755)  # cases run as an unprivileged user too
        self.places = {"here": self.work}
        for place, given in (("other", opts.other_client), ("server", opts.server_dir)):
            if given:
                self.places[place] = os.path.join(given, os.path.basename(self.work))

    def seen_from(self, place, path):
        if place not in self.places:
            raise Skip(f"no {'--other-client' if place == 'other' else '--server-dir'} "
                       "folder was given")
        return os.path.join(self.places[place], os.path.relpath(path, self.work))


def file_system_type(path):
    return subprocess.run(["stat", "-f", "-c", "%T", path], capture_output=True, text=True,
                          check=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--target", choices=("native", "wine"), required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--holder", help="the share-mode holder exe, run under Wine")
    parser.add_argument("--wine-prefix", help="a throwaway WINEPREFIX (wine, or with --holder)")
    parser.add_argument("--work", help="make the cases' folders here (default: a new "
                        "temporary folder)")
    parser.add_argument("--other-client", help="the --work folder as another client sees it "
                        "(a second mount of the same export or share)")
    parser.add_argument("--server-dir", help="the --work folder on the server's own disk")
    parser.add_argument("-k", dest="filter", help="run only cases whose name contains this")
    opts = parser.parse_args()

    program = os.path.abspath(opts.program)
    wine_env = start_wine(os.path.abspath(opts.wine_prefix)) if opts.wine_prefix else None
    if opts.target == "native":
        t = NativeTarget("native", program, dict(without_lc(os.environ), LC_ALL="C.UTF-8"))
    else:
        t = WineTarget("wine", program, wine_env)
    ctx = Context(opts, wine_env)
    kind = file_system_type(ctx.work)
    # The kernel clients of SMB say "permission denied" for a lock another holds.
    t.network = kind in ("nfs", "smb2", "cifs", "smb")
    t.lock_errno = errno.EACCES if kind in ("smb2", "cifs", "smb") else errno.EWOULDBLOCK
    print(f"{opts.target}: cases on {kind} in {ctx.work}")

    passed = failed = skipped = 0
    try:
        for name, targets, fn in CASES:
            if opts.target not in targets or (opts.filter and opts.filter not in name):
                continue
            started = time.monotonic()
            try:
                problems = run_case(t, fn, ctx)
            except Skip as reason:
                skipped += 1
                print(f"skip {name}: {reason}")
                continue
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
        shutil.rmtree(ctx.work, ignore_errors=True)
        if wine_env:
            subprocess.run(["wineserver", "-k"], env=wine_env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print(f"{opts.target}: {passed} passed, {failed} failed, {skipped} skipped")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
