#!/usr/bin/env python3
"""The detection corpus: a few thousand tables made from one kind of writing (program
messages, word lists, documentation, names, labels, sayings, tutorials, glossaries; see
kinds.py), each written in a known code page or, row by row, in two pages of one script, read
by `tablemark --detect`, with figures per script family and text size beside those of uchardet
alone on the same text bytes.

    python3 tests/detect/corpus.py --kind messages --program build/release/tablemark
    python3 tests/detect/corpus.py --kind docs --program build/windows-x64/Tablemark.exe \\
        --wine-prefix build/windows-x64/wineprefix
    python3 tests/detect/corpus.py --kind words --uchardet-only --keep /tmp/corpus
    python3 tests/detect/corpus.py --coverage       # strings per kind and language
    apt-get install $(python3 tests/detect/corpus.py --packages words)

The letter-pair models learn from the .mo files of the domains the messages kind does not read;
no other kind comes from a .mo file. The seed is fixed, so one machine makes the same corpus on
every run; --keep leaves it, with corpus.tsv saying what each table holds. TEXT is right when
it reads the table's text as the same characters as the code page the text was written in (for
a table of two pages, as one of them, and there `?` is right too); `?` is unsure, not wrong.
Under the pass rule ("on") a run fails unless tables with 1 KiB of text or more are read right
at least 97% of the time and never wrong, smaller ones wrong at most 25% of the time; under
"safe", if any table at all is wrong; every MARK, the exit status and the twins (one table
under two marks) must agree in any case. The held-out kinds print only aggregate
figures: no table of theirs is shown.
"""

import argparse
import codecs
import collections
import ctypes
import os
import random
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unicodedata

from kinds import KINDS
from tables import CODECS, Text, codec, encoded, make_table, sprinkles, table_bytes

PER_PAIR, PER_FAMILY = 24, 96  # tables per (language, encoding); at least this many per family
PER_MIXED = 8  # tables per (language, two pages)
SMALL = 1024  # bytes of text below which a table is small
WRONG_SHOWN = 200

# (family, languages, the encodings their script fits): numbers are code pages,
# names are encodings that no code-page mark stands for.
NORDIC = "Nordic/Icelandic/French-Canadian DOS"
EXPECT = [
    ("Western", "de fr es it pt nl sv da nb fi is ca", (437, 850, 1252, 10000)),
    (NORDIC, "da nb", (865,)), (NORDIC, "is", (861,)), (NORDIC, "fr", (863,)),
    ("Central European", "pl cs sk hu sl hr ro", (852, 1250, 10029)),
    ("Cyrillic", "ru uk bg sr be mk", (866, 1251, 10007, "KOI8-R", "ISO-8859-5")),
    ("Greek", "el", (737, 1253, 10006)),
    ("Turkish", "tr", (857, 1254)),
    ("Baltic", "lt lv et", (1257,)),
    ("Hebrew", "he", (1255,)),
    ("Arabic", "ar", (1256,)),
    ("Thai", "th", (874,)),
    ("CJK", "ja", (932,)), ("CJK", "zh_CN", (936,)),
    ("CJK", "ko", (949,)), ("CJK", "zh_TW", (950,)),
]
# Tables whose rows are some in one page, some in another of the same script.
TWO_PAGES = "Two pages of one script"
MIXED = [("Western", (1252, 850)), ("Cyrillic", (1251, 866)), ("Central European", (1250, 852))]
FAMILIES = list(dict.fromkeys(family for family, _, _ in EXPECT)) + [TWO_PAGES]
LANGUAGES = sorted({lang for _, langs, _ in EXPECT for lang in langs.split()})
# The mark table in its row order: a mark stands for the first row that has it.
MARKS = [(0x01, 437), (0x02, 850), (0x03, 1252), (0x04, 10000), (0x64, 852), (0x65, 866),
         (0x66, 865), (0x67, 861), (0x68, 895), (0x69, 620), (0x6A, 737), (0x6B, 857),
         (0x6C, 863), (0x78, 950), (0x79, 949), (0x7A, 936), (0x7B, 932), (0x7C, 874),
         (0x96, 10007), (0x97, 10029), (0x98, 10006), (0xC8, 1250), (0xC9, 1251), (0xCB, 1253),
         (0xCA, 1254), (0x7D, 1255), (0x7E, 1256), (0xCC, 1257), (0x00, 0)]
MARK_OF = {cp: mark for mark, cp in reversed(MARKS)}
CODE_PAGE_OF = {mark: cp for mark, cp in reversed(MARKS)}
NO_ROW_MARKS = [mark for mark in range(256) if mark not in CODE_PAGE_OF]
UCHARDET = {"IBM866": 866, "IBM852": 852, "SHIFT_JIS": 932, "GB18030": 936, "GB2312": 936,
            "GBK": 936, "BIG5": 950, "EUC-KR": 949, "UHC": 949, "TIS-620": 874,
            "ISO-8859-11": 874, "MAC-CYRILLIC": 10007, "MAC-CENTRALEUROPE": 10029, "ASCII": "-",
            "": "?", **{f"WINDOWS-{cp}": cp for cp in range(1250, 1258)}}
MEMO_EXT = {"dbf": "fpt", "scx": "sct"}


# --- Tables --------------------------------------------------------------------------------

Table = collections.namedtuple("Table", "name lang encodings family text size mark twin")


def case_of(rng, ext):
    return rng.choice([ext, ext, ext.upper(), ext.capitalize()])


def held(writing, encodings):
    """The writing's strings that every one of the encodings holds, or None when too few
    are left, or none with a character beyond ASCII."""
    def keep(strings):
        return [s for s in strings if all(encoded(s, e) for e in encodings)]
    titles, cities, memos = keep(writing.titles), keep(writing.cities), keep(writing.memos)
    if min(len(titles), len(memos)) < 50 or all(s.isascii() for s in memos):
        return None
    return writing._replace(titles=titles, cities=cities if len(cities) >= 50 else titles,
                            memos=memos)


def own_letters(writing):
    """The letters a language uses, folded to lower case."""
    counts = collections.Counter(c.lower() for s in writing.titles + writing.memos for c in s
                                 if unicodedata.category(c)[0] == "L")
    return {c for c, n in counts.items() if len(c) == 1 and n * 10000 >= sum(counts.values())}


def build(folder, seed, kind):
    """Writes the corpus of a kind into `folder`; the tables, and the pairs without enough
    text."""
    rng = random.Random(f"{kind} {seed}")
    writings = KINDS[kind].read(rng, LANGUAGES)
    pairs = [(f, lang, (e,)) for f, langs, encs in EXPECT for lang in langs.split() for e in encs]
    pairs += [(TWO_PAGES, lang, encs) for f, encs in MIXED for family, langs, _ in EXPECT
              if family == f for lang in langs.split()]
    per_family = collections.Counter(f for f, _, _ in pairs)
    kin = {lang: [w for other in langs.split() if other != lang and other in writings
                  for w in writings[other].titles[:200]]
           for _, langs, _ in EXPECT for lang in langs.split()}
    tables, short = [], []
    for family, lang, encodings in pairs:
        writing = held(writings[lang], encodings) if lang in writings else None
        if writing is None:
            short.append(f"{lang}/{'+'.join(map(str, encodings))}")
            continue
        own = own_letters(writing)
        tokens = {codec(e): sprinkles(rng, e, own, kin[lang]) for e in encodings}
        count = PER_MIXED if len(encodings) > 1 else max(PER_PAIR, PER_FAMILY // per_family[family])
        for i in range(count):
            target = int(100 * 164 ** ((i + rng.random()) / count))
            caps, rate = rng.choice([0, 0, 0.3, 1]), rng.choice([0, rng.uniform(0.01, 0.05)])
            text = Text(rng, writing, encodings, target, caps, rate, tokens)
            shape = rng.choice(["vfp", "vfp", "fox", "scx"])
            right = MARK_OF.get(encodings[0], 0)
            mark = rng.choice([right, right, 0, rng.choice([k for k, _ in MARKS if k != right])])
            table_kind, fields, rows, memo = make_table(rng, text, shape)
            ext = "scx" if shape == "scx" else "dbf"
            # The first table of each pair has a twin under a mark no row has: the mark must
            # not change what the text is read as.
            marks = [mark] + ([rng.choice(NO_ROW_MARKS)] if i == 0 else [])
            for k, copy_mark in enumerate(marks):
                name = f"t{len(tables):04d}.{case_of(rng, ext)}"
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(table_bytes(table_kind, fields, rows, copy_mark))
                with open(os.path.join(folder, name[:-3] + case_of(rng, MEMO_EXT[ext])), "wb") as f:
                    f.write(memo)
                tables.append(Table(name, lang, encodings, family, b"\n".join(text.values),
                                    text.size, copy_mark, tables[-1].name if k else None))
    with open(os.path.join(folder, "corpus.tsv"), "w") as f:  # not a table: skipped by the scan
        f.write("name\tlanguage\tencoding\tfamily\ttext bytes\tmark\n")
        for t in tables:
            f.write(f"{t.name}\t{t.lang}\t{'+'.join(map(str, t.encodings))}\t{t.family}\t"
                    f"{t.size}\t0x{t.mark:02X}\n")
    return tables, short


# --- Reading and judging -------------------------------------------------------------------

def program_options(doc):
    """The command line of a check that runs the program on tables it makes: --program and,
    for the Windows exe, --wine-prefix."""
    parser = argparse.ArgumentParser(description=doc,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="tablemark, or Tablemark.exe")
    parser.add_argument("--wine-prefix", help="a throwaway WINEPREFIX to run the exe in")
    return parser.parse_args()


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
    # Output goes to files: a pipe could be held open by a process Wine starts
    # (its services), and the run would never seem to end.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            run = subprocess.run(command, env=env, stdout=out, stderr=err,
                                 stdin=subprocess.DEVNULL, timeout=600)
        finally:
            if opts.wine_prefix:
                subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL)
                subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL, timeout=120)
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
    lines, bad = {}, []
    for line in stdout.decode("utf-8", "replace").splitlines():
        parts = line.rstrip("\r").split("\t")
        if len(parts) == 3 and parts[0] not in lines:
            lines[parts[0]] = parts[1:]
        else:
            bad.append(line)
    return lines, bad, run.returncode, stderr.decode("utf-8", "replace")


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


def truths(table):
    """The table's text as each of its pages reads it; one page may not read the other's."""
    return [table.text.decode(codec(e), "replace") for e in table.encodings]


def judge(answer, table):
    """Right when the answer reads the text as its page does; for a table of two pages, when
    it is `?` (no one page is right), names one of them or reads the text as one of them does."""
    if answer == "?":
        return "right" if len(table.encodings) > 1 else "unsure"
    if answer == "-":
        return "right" if table.text.isascii() else "wrong"
    named = len(table.encodings) > 1 and answer in map(str, table.encodings)
    return "right" if named or reading(answer, table.text) in truths(table) else "wrong"


def where_it_differs(answer, table):
    truth = truths(table)[0]
    read = table.text.decode("ascii", "replace") if answer == "-" else reading(answer, table.text)
    if read is None:
        return "cannot be read that way"
    at = next((i for i, (a, b) in enumerate(zip(truth, read)) if a != b), len(truth))
    start = max(0, at - 20)
    return f"{truth[start:at + 20]!r} read as {read[start:at + 20]!r}"


def figures(tables, verdicts, who, held_out):
    """Rows of counts per family and size class, each column a program in `who`; of a held-out
    kind, only the families' rows of big tables and both rows of all."""
    print(f"{'family':38}{'text':>8}{'tables':>8}" + "".join(
        f"{w + ': right':>18}{'unsure':>8}{'wrong':>7}" for w in who))
    for family in FAMILIES + ["all"]:
        for small in (False, True) if family == "all" or not held_out else (False,):
            chosen = [i for i, t in enumerate(tables) if family in (t.family, "all")
                      and (t.size < SMALL) == small]
            line = f"{family:38}{'< 1 KiB' if small else '>= 1 KiB':>8}{len(chosen):>8}"
            for w in who:
                n = collections.Counter(verdicts[w][i] for i in chosen)
                share = f"({100 * n['right'] / len(chosen):5.1f}%)" if chosen else ""
                line += f"{n['right']:>10} {share:>9}{n['unsure']:>6}{n['wrong']:>7}"
            print(line)


def check(tables, answers, verdicts, lines, status, held_out, rule):
    """What is amiss in the program's lines and exit status; lists its wrong answers, but for
    a held-out kind's, and names no held-out table."""
    problems, wrong, hidden = [], [], collections.Counter()
    for t, verdict in zip(tables, verdicts):
        mark, answer = answers[t.name]
        code_page = CODE_PAGE_OF.get(t.mark)
        found = []
        if t.name not in lines:
            found.append((f"{t.name}: no line", "tables without a line"))
        elif mark != (f"0x{t.mark:02X}" if code_page is None else str(code_page)):
            found.append((f"{t.name}: MARK {mark}, but byte 29 is 0x{t.mark:02X}",
                          "MARKs that are not byte 29's"))
        # Of code pages that read the text alike, naming the marked one is fair.
        other = answers[t.twin][1] if t.twin in lines and t.name in lines else answer
        alike = reading(other, t.text) == reading(answer, t.text) is not None
        if other != answer and not alike:
            found.append((f"{t.name}: TEXT {answer}, but {other} for {t.twin}, which differs "
                          "only in the mark", "twins read as different text"))
        for shown, counted in found:
            if held_out:
                hidden[counted] += 1
            else:
                problems.append(shown)
        if verdict == "wrong":
            pages = "+".join(map(str, t.encodings))
            wrong.append((t.size < SMALL, f"  {t.name:12}{t.lang:7}{pages:>11}  {answer:10}"
                          f"{t.size:6}  {where_it_differs(answer, t)}"))
    problems += [f"{n} {what} (held out: not shown)" for what, n in sorted(hidden.items())]
    if held_out:
        pages = sum(answers[t.name][1].isdigit() for t, v in zip(tables, verdicts) if v == "wrong")
        print(f"tablemark's wrong answers: {len(wrong)}, {pages} of them a code page (held out: "
              "not shown)")
    else:
        print(f"tablemark's wrong answers, {len(wrong)}, the first {WRONG_SHOWN} (those with more "
              "text first):\n  file        language  written in  TEXT   text bytes")
        print("\n".join(line for _, line in sorted(wrong)[:WRONG_SHOWN]))
    sure = [a for a in lines.values() if a[1] not in ("-", "?")]
    expected = int(any(mark != text for mark, text in sure) or len(lines) < len(tables))
    if status != expected:
        problems.append(f"exit status {status}, expected {expected} from the lines")
    if rule == "safe" and wrong:
        problems.append(f"{len(wrong)} wrong answers (none, at any size)")
    for small in (False, True) if rule == "on" else ():
        n = collections.Counter(v for t, v in zip(tables, verdicts) if (t.size < SMALL) == small)
        right, wrong_share = (n[v] / max(1, sum(n.values())) for v in ("right", "wrong"))
        if small and wrong_share > 0.25:
            problems.append(f"under 1 KiB of text: {100 * wrong_share:.1f}% wrong (at most 25%)")
        if not small and (right < 0.97 or n["wrong"]):
            problems.append(f"1 KiB of text or more: {100 * right:.1f}% right (at least 97%), "
                            f"{n['wrong']} wrong (none)")
    return problems


def coverage(seed):
    """Strings per kind and language, as the machine's packages give them."""
    print("strings per kind (rows) and language (columns); - for none")
    print(f"{'':9}" + "".join(f"{lang:>7}" for lang in LANGUAGES))
    for kind in KINDS:
        writings = KINDS[kind].read(random.Random(f"{kind} {seed}"), LANGUAGES)
        print(f"{kind:9}" + "".join(f"{writings[lang].strings if lang in writings else '-':>7}"
                                    for lang in LANGUAGES))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kind", choices=KINDS, default="messages",
                        help="; ".join(f"{k}: {v.what}" for k, v in KINDS.items()))
    parser.add_argument("--program", help="tablemark, or Tablemark.exe with --wine-prefix")
    parser.add_argument("--wine-prefix", help="a throwaway WINEPREFIX to run the exe in")
    parser.add_argument("--uchardet-only", action="store_true", help="no program: uchardet alone")
    parser.add_argument("--keep", help="write the corpus into this folder and leave it there")
    parser.add_argument("--asking-always", metavar="TOOL",
                        help="build/release/tests/guess_shares, which asks uchardet for every "
                             "table: the program, which asks it only where its answer could "
                             "change the verdict, must answer the same")
    parser.add_argument("--seed", type=int, default=1251)
    parser.add_argument("--rule", choices=["on", "safe", "off"],
                        help="whether the pass rule applies (by default: " + ", ".join(
                            f"{k} {'on' if v.rule else 'off'}" for k, v in KINDS.items()) + ")")
    parser.add_argument("--coverage", action="store_true", help="strings per kind and language")
    parser.add_argument("--packages", metavar="KIND", choices=KINDS,
                        help="print the Debian packages a kind reads")
    opts = parser.parse_args()
    if opts.packages:
        print(" ".join(KINDS[opts.packages].packages))
        return 0
    if opts.coverage:
        coverage(opts.seed)
        return 0
    if not opts.program and not opts.uchardet_only:
        parser.error("--program or --uchardet-only is needed")
    if opts.keep:
        os.makedirs(opts.keep, exist_ok=True)
        if os.listdir(opts.keep):  # files of another corpus would be read as this one's
            parser.error(f"--keep {opts.keep}: the folder is not empty")
    kind = KINDS[opts.kind]
    rule = ("on" if kind.rule else "off") if opts.rule is None else opts.rule
    folder = os.path.abspath(opts.keep or tempfile.mkdtemp(prefix="tablemark-corpus-"))
    try:
        tables, short = build(folder, opts.seed, opts.kind)
        print(f"{opts.kind}: {len(tables)} tables in {folder}; too little text for: "
              f"{' '.join(short) or '-'}")
        if not opts.uchardet_only:
            lines, bad, status, stderr = run_program(opts, folder)
        if opts.asking_always:
            out = subprocess.run([os.path.abspath(opts.asking_always), folder],
                                 capture_output=True).stdout.decode("utf-8", "replace")
            always = dict(line.split("\t")[0::2] for line in out.split("\n")[0::2] if line)
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
        figures(tables, verdicts, ["uchardet"], kind.held_out)
        return 0

    answers = {t.name: lines.get(t.name, ["", "?"]) for t in tables}
    verdicts["tablemark"] = [judge(answers[t.name][1], t) for t in tables]
    figures(tables, verdicts, ["tablemark", "uchardet"], kind.held_out)
    problems = check(tables, answers, verdicts["tablemark"], lines, status, kind.held_out, rule)
    bad += ["\t".join([name] + lines[name]) for name in lines if name not in answers]
    problems += [f"a line that names no table, or one twice: {line!r}" for line in bad]
    problems += ["standard error:\n" + stderr] if stderr else []
    if opts.asking_always:
        differ = [f"{t.name}: TEXT {answers[t.name][1]}, asking uchardet always "
                  f"{always.get(t.name)}" for t in tables
                  if always.get(t.name) != answers[t.name][1]]
        problems += ([f"{len(differ)} tables answered otherwise asking uchardet always"]
                     if differ and kind.held_out else differ)
    for p in problems:
        print("FAIL " + p)
    verdict = "0 passed, 1 failed" if problems else "1 passed, 0 failed"
    print(f"detection corpus ({opts.kind}, pass rule {rule}): {verdict}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
