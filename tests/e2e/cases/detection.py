"""--detect: the code page of each table's text beside its mark's, memo files,
the arguments' order, names shown escaped. Add a table to AGREEING or
DISAGREEING, or a case as the others here are made (the format:
cases/__init__.py)."""

import os

from harness.case import case, detect_run, sw
from harness.messages import missing_memo
from harness.prose import ASCII, GERMAN, RUSSIAN, sentences


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
