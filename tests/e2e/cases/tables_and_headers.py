"""The job itself: which files are tables, which headers are refused, what is
re-marked and what is left alone.
Add a case as the others here are made (the format: cases/__init__.py)."""

from harness.case import case, detect_run
from harness.files import table
from harness.messages import file_failure, not_a_table


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
