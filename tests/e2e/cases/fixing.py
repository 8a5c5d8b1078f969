"""--fix and --restore: tables re-marked in place by what --detect finds, the output as
the record that undoes it, FILEs of lines checked before anything is written, the
indexes a new mark leaves stale, and output that cannot be written. Add a table to
FIXED, or a case as the others here are made (the format: cases/__init__.py)."""

import errno
import os

from harness.case import case, detect_run, sw
from harness.files import dbf
from harness.messages import file_failure, run_failure
from harness.prose import ASCII, RUSSIAN

HERE = os.path.dirname(os.path.abspath(__file__))
INDEXES = os.path.join(HERE, "..", "..", "data", "indexes")

# Tables of every kind of answer: name, mark, text, the mark --fix leaves, the line.
FIXED = [
    ("right.dbf", 0xC9, RUSSIAN.encode("cp1251"), None, "1251\t1251"),
    ("wrong.dbf", 0x65, RUSSIAN.encode("cp1251"), 0xC9, "866\t1251"),
    ("dos.dbf", 0x00, RUSSIAN.encode("cp866"), 0x65, "0\t866"),
    ("plain.dbf", 0x00, ASCII, None, "0\t-"),
    ("unsure.dbf", 0x65, b"Caf\xe9 noir", None, "866\t?"),
    ("koi8.dbf", 0x65, RUSSIAN.encode("koi8_r"), None, "866\tKOI8-R"),  # no mark: left
    ("foreign.dbf", 0x57, RUSSIAN.encode("cp1251"), 0xC9, "0x57\t1251"),  # a GIS writer's
]


def saved(t, d, rel, lines, shown=None):
    """A run's `before`: FILE `rel` holding `lines` ({name: "MARK\tTEXT"}) as the program
    printed them, in listing order, a name written as `shown` gives it."""
    def write():
        order = t.listing(d.root)
        text = "\n".join(f"{(shown or {}).get(name, name)}\t{lines[name]}"
                         for name in sorted(lines, key=order.index))
        with open(d.p(rel), "wb") as f:
            f.write(t.encode(text))
        d.expect(rel, open(d.p(rel), "rb").read(), written=True)
    return write


def restored(d, originals):
    """A run's `before`: every table as it was before --fix, back after the next run."""
    def expect():
        for rel, data in originals.items():
            d.expect(rel, data, written=d.expected[rel] != data)
    return expect


@case()
def fix_writes_sure_answers_and_restore_undoes_it(t, d):
    originals = {}
    for name, mark, text, after, _ in FIXED:
        d.dbf(name, mark, text=text, mark_after=after)
        originals[name] = dbf(mark, text=text)[0]
    lines = {name: line for name, _, _, _, line in FIXED}
    undo = saved(t, d, "undo.txt", lines)
    back = restored(d, originals)
    return dict(runs=[
        dict(args=["--fix", t.path(d.root)], status=1, lines=lines),
        dict(args=["--restore", t.path(d.p("undo.txt")), t.path(d.root)], status=0,
             before=lambda: (undo(), back())),
        detect_run(t, d, lines, status=1)])


@case()
def fix_leaves_a_held_table_and_says_so(t, d):
    d.dbf("a.dbf", 0x65, text=RUSSIAN.encode("cp1251"), mark_after=0xC9)
    d.dbf("held.dbf", 0x65, text=RUSSIAN.encode("cp1251"))
    refused = [file_failure(t, "held.dbf", "CreateFile()", t.lock_errno, 32)]
    lines = {"a.dbf": "866\t1251", "held.dbf": "866\t1251"}
    if t.windows:  # a share mode keeps a reader out too: no line for it
        lines.pop("held.dbf")
    return dict(args=["--fix", t.path(d.root)], status=1, lines=lines, stderr=refused,
                holders=[("held.dbf", "share_mode", "here")])


def remarked(d, rel, mark):
    """A run's `before`: table `rel` holds `mark` after the next run."""
    data = bytearray(d.expected[rel])
    written = data[29] != mark
    data[29] = mark
    d.expect(rel, bytes(data), written=written)


@case()
def restore_checks_every_line_before_writing(t, d):
    d.dbf("a.dbf", 0x65, flags=0)
    d.dbf("b.dbf", 0x65, flags=0)
    d.dbf("c.scx", 0x65, flags=0)
    bad = ("a.dbf\t1251\nmissing.dbf\t866\nb.dbf\t7\nsub/a.dbf\t866\nb.dbf\n\n"
           "c.scx\t0x1\na.dbf\t1250\n")
    good = "a.dbf\t1251\r\n\r\nb.dbf\t0x8c\tanything after a second tab\r\nc.scx\t866\r\n"
    if t.windows:
        bad, good = bad.replace("sub/", "sub\\\\"), good.replace("a.dbf", "A.DBF")
    d.add("bad.txt", bad.encode("ascii"))
    d.add("good.txt", good.encode("ascii"))
    where = f"файла {t.path(d.p('bad.txt'))}"
    problems = [f"Строка 2 {where}: в каталоге нет таблицы missing.dbf",
                f"Строка 3 {where}: у кодовой страницы 7 нет метки",
                f"Строка 4 {where}: sub{t.sep}a.dbf не является именем файла",
                f"Строка 5 {where}: ожидается имя таблицы, табуляция и кодовая страница",
                f"Строка 7 {where}: у кодовой страницы 0x1 нет метки",
                f"Строка 8 {where}: таблица a.dbf уже названа в строке 1"]
    missing = file_failure(t, "nothing.txt", "CreateFile()", errno.ENOENT, 2)
    return dict(runs=[
        dict(args=["--restore", t.path(d.p("bad.txt")), t.path(d.root)], status=2,
             stderr=problems),
        dict(args=["--restore", "nothing.txt", sw(t, "d"), t.path(d.root)], status=2,
             stderr=[missing], cwd="."),
        dict(args=["--restore", t.path(d.p("good.txt")), t.path(d.root)], status=0,
             before=lambda: (remarked(d, "a.dbf", 0xC9), remarked(d, "b.dbf", 0x8C)))])


@case(targets=("native",), only_because="Windows file names cannot hold control characters "
                                         "or bytes outside their character set")
def names_that_need_escaping_round_trip(t, d):
    names = ["tab\there.dbf", "back\\slash.dbf", "esc\x1b[m.dbf", os.fsdecode(b"raw\xff.dbf")]
    shown = {"tab\there.dbf": "tab\\there.dbf", "back\\slash.dbf": "back\\\\slash.dbf",
             "esc\x1b[m.dbf": "esc\\x1B[m.dbf"}
    originals = {}
    for name in names:
        d.dbf(name, 0x65, text=RUSSIAN.encode("cp1251"), mark_after=0xC9)
        originals[name] = dbf(0x65, text=RUSSIAN.encode("cp1251"))[0]
    lines = dict.fromkeys(names, "866\t1251")
    undo = saved(t, d, "undo.txt", lines, shown)
    return dict(runs=[
        dict(args=["--fix", d.root], status=0, lines=lines, shown=shown),
        dict(args=["--restore", d.p("undo.txt"), d.root], status=0,
             before=lambda: (undo(), restored(d, originals)()))])


@case(targets=("wine",), only_because="only a Windows console lacks characters a name has")
def names_the_console_cannot_show_round_trip(t, d):
    # Code page 866 has no Greek and no CJK: such a character is written as
    # its code point, not as a look-alike, and --restore finds the table by it.
    names = {"Ωmega.dbf": "\\u{03A9}mega.dbf", "日本.dbf": "\\u{65E5}\\u{672C}.dbf",
             "Жж.dbf": "Жж.dbf"}
    for name in names:
        d.dbf(name, 0x65, text=ASCII)
    lines = dict.fromkeys(names, "866\t-")
    marks = "".join(f"{shown}\t1251\r\n" for name, shown in names.items() if name != "Жж.dbf")
    d.add("marks.txt", marks.encode("cp866"))
    return dict(runs=[
        dict(detect_run(t, d, lines), shown=names, after_first=False),
        dict(args=["--restore", t.path(d.p("marks.txt")), t.path(d.root)], status=0,
             before=lambda: (remarked(d, "Ωmega.dbf", 0xC9), remarked(d, "日本.dbf", 0xC9)))])


# Standard output that cannot take what is written: a full device, or closed.
FULL = ("/dev/full", errno.ENOSPC, 112)
CLOSED = (None, errno.EBADF, 6)


@case()
def output_that_cannot_be_written_ends_the_run(t, d):
    d.dbf("a.dbf", 0x65, text=RUSSIAN.encode("cp1251"))
    d.dbf("b.dbf", 0x65, text=RUSSIAN.encode("cp1251"))
    runs = []
    for device, code, windows_code in (FULL, CLOSED):
        failure = [run_failure(t, "WriteFile()", code, windows_code)]
        how = dict(stdout_device=device) if device else dict(close_fds=(1,))
        for args in (["--detect", t.path(d.root)], ["--fix", t.path(d.root)],
                     [sw(t, "h")], ["--help"], ["--version"]):
            if t.windows and args[0].startswith("--") and args[0] not in ("--detect", "--fix"):
                continue  # POSIX's words
            runs.append(dict(args=args, status=2, stderr=failure, **how))
    return dict(runs=runs)


@case()
def new_marks_name_the_index_tags_they_leave_stale(t, d):
    for name in ("fb2p_free.dbf", "fb2p_free.fpt", "fb2p_free.cdx", "employees.dbf",
                 "employees.CDX", "fb2p_dbc.dbc", "fb2p_dbc.dct", "fb2p_dbc.dcx"):
        with open(os.path.join(INDEXES, name), "rb") as f:
            d.add(name, f.read())
    d.dbf("lost.dbf", 0x65, flags=0x01)
    tag = "Для файла fb2p_free.dbf в индексе fb2p_free.cdx тег CARACTER с сортировкой GENERAL "
    lost = "Для файла lost.dbf не найден индекс lost.cdx"

    def restore(code_page, marks, stderr):
        rel = f"marks{code_page}.txt"
        text = "".join(f"{name}\t{code_page}\n" for name in marks).encode("ascii")

        def before():
            d.add(rel, text)
            for name, mark in marks.items():
                remarked(d, name, mark)
        return dict(args=["--restore", t.path(d.p(rel)), t.path(d.root)], status=0,
                    stderr=stderr, before=before)
    # 1250 offers GENERAL: the tag is rebuilt; 1251 does not: it is made anew. A table
    # indexed by MACHINE alone, and the database container, draw no message.
    return dict(runs=[
        restore(1250, {"fb2p_free.dbf": 0xC8, "lost.dbf": 0xC8, "employees.dbf": 0xC8,
                       "fb2p_dbc.dbc": 0xC8},
                [tag + "нужно перестроить (REINDEX)", lost]),
        restore(1251, {"fb2p_free.dbf": 0xC9},
                [tag + "нужно создать заново с другой сортировкой"])])
