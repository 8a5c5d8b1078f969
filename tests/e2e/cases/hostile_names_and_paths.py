"""Hostile names and paths: format characters, control characters and stray bytes
in names, other locales, paths longer than Windows' or the system's limit.
Add a case as the others here are made (the format: cases/__init__.py)."""

import errno
import os

from harness.case import case, detect_run
from harness.messages import not_a_table, run_failure


@case()
def long_directory_path(t, d):
    # More than 260 characters in all, made of names a Windows path allows.
    rel = "/".join(["длинный_каталог_" + str(i) for i in range(16)])
    d.table(rel + "/a.dbf", mark_after=0xC9)
    d.table(rel + "/b%s%n.dbf", signature=0x8B)
    assert len(t.path(d.p(rel))) > 260
    return dict(args=[t.path(d.p(rel)), "1251"], status=1,
                stderr=[not_a_table("b%s%n.dbf")])


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
