#!/usr/bin/env python3
"""The detection corpus: a few thousand tables of real translated prose, each written in a
known code page, read by `tablemark --detect`, with figures per script family and text size
beside those of uchardet alone on the same text bytes.

    python3 tests/detect/corpus.py --program build/release/tablemark
    python3 tests/detect/corpus.py --program build/windows-x64/Tablemark.exe \\
        --wine-prefix build/windows-x64/wineprefix
    python3 tests/detect/corpus.py --uchardet-only --keep /tmp/corpus

The prose is the translations in Debian packages' .mo files, from DOMAINS only: the detector
learnt from the other domains, and its own training text would flatter it. The seed is fixed,
so one machine makes the same corpus on every run; --keep leaves it, with corpus.tsv saying
what each table holds. TEXT is right when it reads the table's text as the same characters
as the code page the text was written in; `?` is unsure, not wrong. The run fails unless
tables with 1 KiB of text or more are read right at least 97% of the time and never wrong,
smaller ones wrong at most 25% of the time, and every MARK, the exit status and the twins
(one table under two marks) agree.
"""

import argparse
import codecs
import collections
import ctypes
import itertools
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import textwrap

LOCALE = "/usr/share/locale"
DOMAINS = """coreutils grep sed findutils bash dpkg apt libapt-pkg6.0 wget shadow man-db
    man-db-gnulib gettext-runtime Linux-PAM tar diffutils e2fsprogs util-linux sudo debconf adduser
    procps-ng psmisc gnupg2 nano iso_3166 iso_3166-1 iso_639 iso_639-2 iso_639-3 iso_3166-2
    iso_15924 iso_4217""".split()
PER_DOMAIN = 800  # so that the long lists of ISO names do not drown the messages
PER_PAIR, PER_FAMILY = 24, 96  # tables per (language, encoding); at least this many per family
SMALL = 1024  # bytes of text below which a table is small
WRONG_SHOWN = 200

# (family, languages, the encodings their script fits): numbers are code pages,
# names are encodings that no code-page mark stands for.
NORDIC = "Nordic/Icelandic/French-Canadian DOS"
EXPECT = [
    ("Western", "de fr es it pt nl sv da nb fi is ca", (437, 850, 1252, 10000)),
    (NORDIC, "da nb", (865,)), (NORDIC, "is", (861,)), (NORDIC, "fr", (863,)),
    ("Central European", "pl cs sk hu sl hr ro", (852, 1250, 10029)),
    ("Cyrillic", "ru uk bg sr be", (866, 1251, 10007, "KOI8-R", "ISO-8859-5")),
    ("Greek", "el", (737, 1253, 10006)),
    ("Turkish", "tr", (857, 1254)),
    ("Baltic", "lt lv et", (1257,)),
    ("Hebrew", "he", (1255,)),
    ("Arabic", "ar", (1256,)),
    ("Thai", "th", (874,)),
    ("CJK", "ja", (932,)), ("CJK", "zh_CN", (936,)),
    ("CJK", "ko", (949,)), ("CJK", "zh_TW", (950,)),
]
FAMILIES = list(dict.fromkeys(family for family, _, _ in EXPECT))
# The mark table in its row order: a mark stands for the first row that has it.
MARKS = [(0x01, 437), (0x02, 850), (0x03, 1252), (0x04, 10000), (0x64, 852), (0x65, 866),
         (0x66, 865), (0x67, 861), (0x68, 895), (0x69, 620), (0x6A, 737), (0x6B, 857),
         (0x6C, 863), (0x78, 950), (0x79, 949), (0x7A, 936), (0x7B, 932), (0x7C, 874),
         (0x96, 10007), (0x97, 10029), (0x98, 10006), (0xC8, 1250), (0xC9, 1251), (0xCB, 1253),
         (0xCA, 1254), (0x7D, 1255), (0x7E, 1256), (0xCC, 1257), (0x00, 0)]
MARK_OF = {cp: mark for mark, cp in reversed(MARKS)}
CODE_PAGE_OF = {mark: cp for mark, cp in reversed(MARKS)}
NO_ROW_MARKS = [mark for mark in range(256) if mark not in CODE_PAGE_OF]
CODECS = {cp: f"cp{cp}" for cp in (437, 737, 850, 852, 857, 861, 863, 865, 866, 874, 932, 949,
                                   950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257)}
CODECS.update({936: "gbk", 10000: "mac_roman", 10007: "mac_cyrillic", 10006: "mac_greek",
               10029: "mac_latin2"})
UCHARDET = {"IBM866": 866, "IBM852": 852, "SHIFT_JIS": 932, "GB18030": 936, "GB2312": 936,
            "GBK": 936, "BIG5": 950, "EUC-KR": 949, "UHC": 949, "TIS-620": 874,
            "ISO-8859-11": 874, "MAC-CYRILLIC": 10007, "MAC-CENTRALEUROPE": 10029, "ASCII": "-",
            "": "?", **{f"WINDOWS-{cp}": cp for cp in range(1250, 1258)}}
MEMO_EXT = {"dbf": "fpt", "scx": "sct"}
HIGH = bytes(range(0x80, 0x100)) * 2


def codec(encoding):
    return CODECS[encoding] if isinstance(encoding, int) else encoding


# --- Prose ---------------------------------------------------------------------------------

def read_mo(path):
    """The translations of a GNU .mo file, each plural form apart, decoded by the charset of
    its header entry; untranslated copies of the original are left out."""
    with open(path, "rb") as f:
        data = f.read()
    order = next((o for o in "<>" if data[:4] == struct.pack(o + "I", 0x950412DE)), None)
    if order is None:
        return []
    count, originals, translations = struct.unpack_from(order + "3I", data, 8)
    entries = []
    for i in range(count):
        (olen, ooff), (tlen, toff) = (struct.unpack_from(order + "2I", data, at + 8 * i)
                                      for at in (originals, translations))
        entries.append((data[ooff:ooff + olen], data[toff:toff + tlen]))
    found = re.search(rb"charset=([-\w.]+)", dict(entries).get(b"", b""))
    charset = found.group(1).decode() if found else "utf-8"
    out = []
    for original, translation in entries:
        for form in translation.split(b"\0") if original else ():
            if form and form not in original.split(b"\0"):
                try:
                    out.append(form.decode(charset))
                except (UnicodeDecodeError, LookupError):
                    pass
    return out


LETTER = re.compile(r"[^\W\d_]")
FORMAT = re.compile(r"%(\d+\$)?[-+ #0']*(\d+|\*)?(\.(\d+|\*))?[hlLqjzt]*[a-zA-Z%]|%<\w+>")


def prose(text):
    """The text on one line, or None when it is mostly format directives and symbols."""
    text = " ".join(text.split())
    bare = FORMAT.sub("", text).replace(" ", "")
    letters = len(LETTER.findall(bare))
    return text if text.isprintable() and letters >= 4 and 3 * letters >= 2 * len(bare) else None


def prose_by_language(rng):
    out = {}
    for lang in sorted({lang for _, langs, _ in EXPECT for lang in langs.split()}):
        strings, files = set(), set()
        for domain in DOMAINS:
            path = os.path.realpath(f"{LOCALE}/{lang}/LC_MESSAGES/{domain}.mo")
            if path not in files and os.path.exists(path):
                files.add(path)
                found = sorted(set(read_mo(path)))
                rng.shuffle(found)
                strings.update(itertools.islice(filter(None, map(prose, found)), PER_DOMAIN))
        out[lang] = sorted(strings)
    return out


class Text:
    """Hands out one table's prose in one encoding and keeps every text value written, so the
    table's text is known byte for byte."""

    def __init__(self, rng, pool, encoding, target):
        self.rng, self.pool, self.codec, self.target = rng, pool, codec(encoding), target
        self.values, self.size, self.high = [], 0, False

    def left(self, at_most, at_least=12):
        """What is left of the size, within bounds: big tables get long values."""
        return min(at_most, max(at_least, self.target - self.size))

    def take(self, limit):
        """A string cut after a character to at most `limit` bytes; until some value has high
        bytes, one with high bytes."""
        for _ in range(20):
            s, data = self.rng.choice(self.pool)
            if len(data) > limit:
                lo, hi = 0, len(s)
                while lo < hi:  # the most characters that fit
                    mid = (lo + hi + 1) // 2
                    fit = len(s[:mid].encode(self.codec)) <= limit
                    lo, hi = (mid, hi) if fit else (lo, mid - 1)
                data = s[:lo].rstrip().encode(self.codec)
            if data and (self.high or not data.isascii()):
                break
        return data

    def value(self, data):
        self.values.append(data)
        self.size += len(data)
        self.high = self.high or not data.isascii()
        return data

    def memo(self, limit):
        """Some strings, a line each, up to about `limit` bytes."""
        size, lines = self.rng.randint(1, limit), []
        while size > 0:
            lines.append(self.take(size))
            size -= len(lines[-1]) + 2
        return self.value(b"\r\n".join(lines))


# --- Tables --------------------------------------------------------------------------------

class Memo:
    """A memo file of 64-byte blocks after its 512-byte header; block 0 stands for no memo."""

    def __init__(self):
        self.data = bytearray(512)

    def add(self, data, kind=1):
        if not data:
            return 0
        block = len(self.data) // 64
        self.data += struct.pack(">II", kind, len(data)) + data
        self.data += bytes(-len(self.data) % 64)
        return block

    def bytes(self):
        struct.pack_into(">IxxH", self.data, 0, len(self.data) // 64, 64)
        return bytes(self.data)


def table_bytes(kind, fields, rows, mark):
    """fields: (name, type, length, flags); rows: (deleted, cells of exactly their lengths)."""
    vfp = kind != 0xF5
    header_len = 32 + 32 * len(fields) + 1 + 263 * vfp
    out = bytearray(struct.pack("<B3BIHH16xBBxx", kind, 124, 5, 17, len(rows), header_len,
                                1 + sum(f[2] for f in fields), 0x02 * vfp, mark))
    offset = 1
    for name, ftype, length, flags in fields:
        out += struct.pack("<11scIBxB13x", name.encode(), ftype.encode(), offset * vfp, length,
                           flags)
        offset += length
    out += b"\r" + bytes(263 * vfp)
    for deleted, cells in rows:
        assert len(b"".join(cells)) == offset - 1
        out += (b"*" if deleted else b" ") + b"".join(cells)
    return bytes(out + b"\x1a")


def make_table(rng, text, shape):
    """The table and memo bytes of one shape: "vfp" (a Visual FoxPro .dbf with a binary
    character field, maybe a varchar and a general field), "fox" (a FoxPro 2.x .dbf) or "scx"
    (a form); rows are added until the text has its size."""
    memo, rows = Memo(), []

    def high(n):
        return rng.randbytes(n).translate(HIGH)

    def m(data, kind=1):
        block = memo.add(data, kind)
        if shape != "fox":
            return struct.pack("<I", block)
        return b"%10d" % block if block else b" " * 10

    def c(data, width):
        return text.value(data).ljust(width)

    def maybe_memo(limit=6000):
        return m(text.memo(text.left(limit)) if rng.random() < 0.75 else b"")

    def number():
        return b"%10d" % rng.randrange(10 ** 6)

    if shape == "scx":
        fields = [("PLATFORM", "C", 8, 0), ("UNIQUEID", "C", 10, 0), ("TIMESTAMP", "N", 10, 0)]
        fields += [(n, "M", 4, 0) for n in "CLASS BASECLASS OBJNAME PARENT PROPERTIES".split()]
        fields += [("METHODS", "M", 4, 0), ("OBJCODE", "M", 4, 0x04), ("USER", "M", 4, 0)]
        rows.append((False, [c(b"COMMENT", 8), c(b"RESERVED", 10)] + [b" " * 10] + [m(b"")] * 8))
        while text.size < text.target:
            n = len(rows)
            base = b"form" if n == 1 else rng.choice([b"label", b"commandbutton", b"editbox"])
            name = b"Form1" if n == 1 else b"%s%d" % (base.capitalize(), n)
            props = (b'Caption = "%s"\r\nLeft = %d\r\nName = "%s"\r\n'
                     % (text.take(text.left(80)), rng.randrange(400), name))
            code = (b'PROCEDURE Click\r\n\tMESSAGEBOX("%s")\r\nENDPROC\r\n'
                    % text.take(text.left(200)) if rng.random() < 0.5 else b"")
            cells = [c(b"WINDOWS", 8), c(b"_%09X" % rng.randrange(16 ** 9), 10), number()]
            cells += [m(text.value(v)) for v in (base, base, name, b"" if n == 1 else b"Form1")]
            cells += [m(text.value(props)), m(text.value(code)), m(high(len(code)))]
            rows.append((False, cells + [maybe_memo(3000)]))
        return 0x30, fields, rows, memo.bytes()

    width, vwidth = rng.randrange(20, 80), rng.randrange(20, 255)
    varchar = shape == "vfp" and rng.random() < 0.5
    general = shape == "vfp" and rng.random() < 0.3
    fields = [("NAME", "C", width, 0)]
    fields += [("CODE", "C", 12, 0x04)] if shape == "vfp" else [("CITY", "C", 30, 0)]
    fields += [("QTY", "N", 10, 0), ("DAY", "D", 8, 0)]
    fields += [("NOTE", "V", vwidth, 0), ("_NullFlags", "0", 1, 0x05)] if varchar else []
    fields += [("BODY", "M", 10 if shape == "fox" else 4, 0)]
    fields += [("PIC", "G", 4, 0)] if general else []
    while text.size < text.target:
        cells = [c(text.take(text.left(width)), width)]
        cells += [high(12) if shape == "vfp" else c(text.take(text.left(30)), 30), number()]
        cells += [b"%04d%02d%02d" % (rng.randrange(1990, 2030), rng.randrange(1, 13), 28)]
        if varchar:
            note = text.value(text.take(text.left(rng.randrange(1, vwidth + 1))))
            short = len(note) < vwidth  # its length in the last byte, and its null-flag bit
            cells += [note + bytes(vwidth - len(note) - 1) + bytes([len(note)]) if short else note,
                      bytes([short])]
        cells += [maybe_memo()]
        cells += [m(high(rng.randrange(64, 600)), 2)] if general else []
        rows.append((bool(rows) and rng.random() < 0.1, cells))
    return 0x32 if varchar else 0x30 if shape == "vfp" else 0xF5, fields, rows, memo.bytes()


Table = collections.namedtuple("Table", "name lang encoding family text size mark twin")


def case_of(rng, ext):
    return rng.choice([ext, ext, ext.upper(), ext.capitalize()])


def build(folder, seed):
    """Writes the corpus into `folder`; the tables, and the pairs without enough text."""
    rng = random.Random(seed)
    langs = prose_by_language(rng)
    pairs = [(f, lang, e) for f, langs_, encs in EXPECT for lang in langs_.split() for e in encs]
    per_family = collections.Counter(f for f, _, _ in pairs)
    tables, short = [], []
    for family, lang, encoding in pairs:
        pool = [(s, data) for s in langs[lang] for data in [encoded(s, encoding)] if data]
        if len(pool) < 50 or all(data.isascii() for _, data in pool):
            short.append(f"{lang}/{encoding}")
            continue
        count = max(PER_PAIR, PER_FAMILY // per_family[family])
        for i in range(count):
            text = Text(rng, pool, encoding, int(100 * 164 ** ((i + rng.random()) / count)))
            shape = rng.choice(["vfp", "vfp", "fox", "scx"])
            right = MARK_OF.get(encoding, 0)
            mark = rng.choice([right, right, 0, rng.choice([k for k, _ in MARKS if k != right])])
            kind, fields, rows, memo = make_table(rng, text, shape)
            ext = "scx" if shape == "scx" else "dbf"
            # The first table of each pair has a twin under a mark no row has: the mark must
            # not change what the text is read as.
            marks = [mark] + ([rng.choice(NO_ROW_MARKS)] if i == 0 else [])
            for k, copy_mark in enumerate(marks):
                name = f"t{len(tables):04d}.{case_of(rng, ext)}"
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(table_bytes(kind, fields, rows, copy_mark))
                with open(os.path.join(folder, name[:-3] + case_of(rng, MEMO_EXT[ext])), "wb") as f:
                    f.write(memo)
                tables.append(Table(name, lang, encoding, family, b"\n".join(text.values),
                                    text.size, copy_mark, tables[-1].name if k else None))
    with open(os.path.join(folder, "corpus.tsv"), "w") as f:  # not a table: skipped by the scan
        f.write("name\tlanguage\tencoding\tfamily\ttext bytes\tmark\n")
        for t in tables:
            f.write(f"{t.name}\t{t.lang}\t{t.encoding}\t{t.family}\t{t.size}\t0x{t.mark:02X}\n")
    return tables, short


def encoded(s, encoding):
    """`s` in `encoding`, or None when the encoding cannot hold every character of it."""
    try:
        data = s.encode(codec(encoding))
        return data if data.decode(codec(encoding)) == s else None
    except UnicodeError:
        return None


# --- Reading and judging -------------------------------------------------------------------

def run_program(opts, folder):
    """The program's (MARK, TEXT) by table name, bad lines, exit status and standard error."""
    if opts.wine_prefix:
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
        from harness.targets import start_wine, wine_path
        env = start_wine(os.path.abspath(opts.wine_prefix))
        command = ["wine", os.path.abspath(opts.program), "--detect", wine_path(folder)]
    else:
        env = dict(os.environ, LC_ALL="C.UTF-8")
        command = [os.path.abspath(opts.program), "--detect", folder]
    try:
        run = subprocess.run(command, env=env, capture_output=True, stdin=subprocess.DEVNULL,
                             timeout=600)
    finally:
        if opts.wine_prefix:
            subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL)
    lines, bad = {}, []
    for line in run.stdout.decode("utf-8", "replace").splitlines():
        parts = line.rstrip("\r").split("\t")
        if len(parts) == 3 and parts[0] not in lines:
            lines[parts[0]] = parts[1:]
        else:
            bad.append(line)
    return lines, bad, run.returncode, run.stderr.decode("utf-8", "replace")


class Uchardet:
    def __init__(self):
        self.lib = ctypes.CDLL("libuchardet.so.0")
        self.lib.uchardet_new.restype = ctypes.c_void_p
        self.lib.uchardet_handle_data.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t]
        for fn in ("uchardet_data_end", "uchardet_get_charset", "uchardet_delete"):
            getattr(self.lib, fn).argtypes = [ctypes.c_void_p]
        self.lib.uchardet_get_charset.restype = ctypes.c_char_p

    def __call__(self, data):
        handle = self.lib.uchardet_new()
        self.lib.uchardet_handle_data(handle, data, len(data))
        self.lib.uchardet_data_end(handle)
        name = self.lib.uchardet_get_charset(handle).decode()
        self.lib.uchardet_delete(handle)
        return name


def reading(answer, data):
    """`data` as TEXT `answer` reads it, or None when it cannot be read that way. A number
    is a code page; a name is an encoding no mark stands for, so a name of one is no answer."""
    try:
        name = CODECS[int(answer)] if answer.isdigit() else answer
        if not answer.isdigit() and codec_name(name) in map(codec_name, CODECS.values()):
            return None
        return data.decode(name)
    except (KeyError, LookupError, UnicodeDecodeError):
        return None


def codec_name(name):
    return codecs.lookup(name).name


def judge(answer, table):
    if answer == "?":
        return "unsure"
    if answer == "-":
        return "right" if table.text.isascii() else "wrong"
    truth = table.text.decode(codec(table.encoding))
    return "right" if reading(answer, table.text) == truth else "wrong"


def where_it_differs(answer, table):
    truth = table.text.decode(codec(table.encoding))
    read = table.text.decode("ascii", "replace") if answer == "-" else reading(answer, table.text)
    if read is None:
        return "cannot be read that way"
    at = next((i for i, (a, b) in enumerate(zip(truth, read)) if a != b), len(truth))
    start = max(0, at - 20)
    return f"{truth[start:at + 20]!r} read as {read[start:at + 20]!r}"


def figures(tables, verdicts, who):
    """Rows of counts per family and size class, each column a program in `who`."""
    print(f"{'family':38}{'text':>8}{'tables':>8}" + "".join(
        f"{w + ': right':>18}{'unsure':>8}{'wrong':>7}" for w in who))
    for family in FAMILIES + ["all"]:
        for small in (False, True):
            chosen = [i for i, t in enumerate(tables) if family in (t.family, "all")
                      and (t.size < SMALL) == small]
            line = f"{family:38}{'< 1 KiB' if small else '>= 1 KiB':>8}{len(chosen):>8}"
            for w in who:
                n = collections.Counter(verdicts[w][i] for i in chosen)
                share = f"({100 * n['right'] / len(chosen):5.1f}%)" if chosen else ""
                line += f"{n['right']:>10} {share:>9}{n['unsure']:>6}{n['wrong']:>7}"
            print(line)


def check(tables, answers, verdicts, lines, status):
    """What is amiss in the program's lines and exit status; lists its wrong answers."""
    problems, wrong = [], []
    for t, verdict in zip(tables, verdicts):
        mark, answer = answers[t.name]
        code_page = CODE_PAGE_OF.get(t.mark)
        if t.name not in lines:
            problems.append(f"{t.name}: no line")
        elif mark != (f"0x{t.mark:02X}" if code_page is None else str(code_page)):
            problems.append(f"{t.name}: MARK {mark}, but byte 29 is 0x{t.mark:02X}")
        # Of code pages that read the text alike, naming the marked one is fair.
        other = answers[t.twin][1] if t.twin in lines and t.name in lines else answer
        alike = reading(other, t.text) == reading(answer, t.text) is not None
        if other != answer and not alike:
            problems.append(f"{t.name}: TEXT {answer}, but {other} for {t.twin}, which differs "
                            "only in the mark")
        if verdict == "wrong":
            wrong.append((t.size < SMALL, f"  {t.name:12}{t.lang:7}{t.encoding!s:>11}  {answer:10}"
                          f"{t.size:6}  {where_it_differs(answer, t)}"))
    print(f"tablemark's wrong answers, {len(wrong)}, the first {WRONG_SHOWN} (those with more "
          "text first):\n  file        language  written in  TEXT   text bytes")
    print("\n".join(line for _, line in sorted(wrong)[:WRONG_SHOWN]))
    sure = [a for a in lines.values() if a[1] not in ("-", "?")]
    expected = int(any(mark != text for mark, text in sure) or len(lines) < len(tables))
    if status != expected:
        problems.append(f"exit status {status}, expected {expected} from the lines")
    for small in (False, True):
        n = collections.Counter(v for t, v in zip(tables, verdicts) if (t.size < SMALL) == small)
        right, wrong_share = (n[v] / max(1, sum(n.values())) for v in ("right", "wrong"))
        if small and wrong_share > 0.25:
            problems.append(f"under 1 KiB of text: {100 * wrong_share:.1f}% wrong (at most 25%)")
        if not small and (right < 0.97 or n["wrong"]):
            problems.append(f"1 KiB of text or more: {100 * right:.1f}% right (at least 97%), "
                            f"{n['wrong']} wrong (none)")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", help="tablemark, or Tablemark.exe with --wine-prefix")
    parser.add_argument("--wine-prefix", help="a throwaway WINEPREFIX to run the exe in")
    parser.add_argument("--uchardet-only", action="store_true", help="no program: uchardet alone")
    parser.add_argument("--keep", help="write the corpus into this folder and leave it there")
    parser.add_argument("--seed", type=int, default=1251)
    opts = parser.parse_args()
    if not opts.program and not opts.uchardet_only:
        parser.error("--program or --uchardet-only is needed")
    if opts.keep:
        os.makedirs(opts.keep, exist_ok=True)
        if os.listdir(opts.keep):  # files of another corpus would be read as this one's
            parser.error(f"--keep {opts.keep}: the folder is not empty")
    folder = os.path.abspath(opts.keep or tempfile.mkdtemp(prefix="tablemark-corpus-"))
    try:
        tables, short = build(folder, opts.seed)
        print(f"{len(tables)} tables in {folder}; too little text for: {' '.join(short) or '-'}")
        if not opts.uchardet_only:
            lines, bad, status, stderr = run_program(opts, folder)
    finally:
        if not opts.keep:
            shutil.rmtree(folder, ignore_errors=True)

    detector, seen = Uchardet(), collections.Counter()
    verdicts = {"uchardet": []}
    for t in tables:
        name = detector(t.text)
        seen[name] += 1
        verdicts["uchardet"].append(judge(str(UCHARDET.get(name, name)), t))
    print(textwrap.fill("uchardet said (name as taken, tables): " + ", ".join(
        f"{n or '(nothing)'} as {UCHARDET.get(n, n)} {k}" for n, k in sorted(seen.items())), 100,
        subsequent_indent="    "))
    if opts.uchardet_only:
        figures(tables, verdicts, ["uchardet"])
        return 0

    answers = {t.name: lines.get(t.name, ["", "?"]) for t in tables}
    verdicts["tablemark"] = [judge(answers[t.name][1], t) for t in tables]
    figures(tables, verdicts, ["tablemark", "uchardet"])
    problems = check(tables, answers, verdicts["tablemark"], lines, status)
    bad += ["\t".join([name] + lines[name]) for name in lines if name not in answers]
    problems += [f"a line that names no table, or one twice: {line!r}" for line in bad]
    problems += ["standard error:\n" + stderr] if stderr else []
    for p in problems:
        print("FAIL " + p)
    print(f"detection corpus: {'0 passed, 1 failed' if problems else '1 passed, 0 failed'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
