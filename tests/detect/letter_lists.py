#!/usr/bin/env python3
"""`tablemark --detect` on tables whose only text beyond ASCII is lists of letters, as
conversion tables, sort orders and test data keep them: each language's letters beyond ASCII
(Unicode CLDR's exemplar characters, main and auxiliary) in every code page of its script that
holds them. A list is no word of any language, and a code page lays its letters out in
alphabetical order, so the reading in which they are letters of another script's words can
look likelier than the right one. The answer must be `?`, `-` or a page that reads the lists
as the page they were written in does: a sure answer that is wrong fails the run.

    python3 tests/detect/letter_lists.py --program build/release/tablemark
"""

import os
import re
import sys
import tempfile
import unicodedata

from corpus import EXPECT, MARK_OF, program_options, run_program
from kinds import CLDR, CLDR_LOCALES
from tables import CODECS, encoded, table_bytes

WIDTH = 60


def letters(lang):
    """The language's letters beyond ASCII, its own first, then those it borrows."""
    path = os.path.join(CLDR, "main", CLDR_LOCALES.get(lang, lang) + ".xml")
    with open(path, encoding="utf-8") as f:
        xml = f.read()
    found = []
    for kind in ("", ' type="auxiliary"'):
        m = re.search(f"<exemplarCharacters{kind}>\\[([^<]*)\\]", xml)
        for c in (m.group(1).split() if m else []):
            if len(c) == 1 and not c.isascii() and unicodedata.category(c)[0] == "L":
                found.append(c)
    return found


def shapes(small):
    """(shape, rows) of one language's letters: each list as people write them."""
    marks, bases = {}, {}
    for c in small:
        decomposed = unicodedata.normalize("NFD", c)
        marks.setdefault(decomposed[1:], []).append(c)
        bases.setdefault(decomposed[0], []).append(c)
    plain = {c: letter for letter, group in bases.items() if letter.isascii() for c in group}
    vowels = [c for c in small if plain.get(c, "-") in "aeiouy"]
    shown = [("alphabet", ["".join(small)]),
             ("small and capitals", ["".join(small), "".join(small).upper()]),
             ("one to a row", [f"{c} {plain.get(c, '')}" for c in small]),
             ("among names", ["Test " + "".join(small[:8]), "ACME LTD", "Smith John", "1234"])]
    by_mark = ["".join(group) for group in marks.values() if len(group) >= 2]
    by_base = [letter + "".join(group) for letter, group in bases.items() if letter.isascii()]
    if len(by_mark) >= 2:
        shown.append(("by accent", by_mark + [row.upper() for row in by_mark]))
    if len(by_base) >= 2:
        shown.append(("by base letter", by_base + [row.upper() for row in by_base]))
    if len(vowels) >= 3:
        shown.append(("vowels", ["".join(vowels), "".join(vowels).upper()]))
    return shown


def table(rows, page):
    cells = [(False, [r.ljust(WIDTH)[:WIDTH].encode(CODECS[page])]) for r in rows]
    return table_bytes(0x30, [("TEXT", "C", WIDTH, 0, 0)], cells, MARK_OF.get(1252))


def main():
    opts = program_options(__doc__)
    made = {}
    with tempfile.TemporaryDirectory(prefix="tablemark-lists-") as folder:
        for _, langs, pages in EXPECT:
            for lang in langs.split():
                small = list(dict.fromkeys(c.lower() for c in letters(lang)))
                for page in (p for p in pages if isinstance(p, int) and p in CODECS):
                    held = [c for c in small if encoded(c + c.upper(), page)]
                    if len(held) < 3 or page in (932, 936, 949, 950):
                        continue
                    for shape, rows in shapes(held):
                        name = f"{lang}-{page}-{len(made)}.dbf"
                        with open(os.path.join(folder, name), "wb") as f:
                            f.write(table(rows, page))
                        made[name] = (lang, page, shape, rows)
        lines, bad, _, _ = run_program(opts, folder)
    counts, wrong = {}, []
    for name, (lang, page, shape, rows) in made.items():
        text = lines.get(name, [None, None])[1]
        written = "".join(rows)
        if text in ("?", "-"):
            verdict = "unsure"
        else:
            try:
                same = written.encode(CODECS[page]).decode(CODECS[int(text)]) == written
            except (ValueError, KeyError, UnicodeError):
                same = False
            verdict = "right" if same else "wrong"
        counts.setdefault(shape, {"right": 0, "unsure": 0, "wrong": 0})[verdict] += 1
        if verdict == "wrong":
            wrong.append(f"WRONG {lang} in {page} ({shape}): {text} for {rows[0]!r}")
    print("".join(f"{line}\n" for line in wrong + [f"a bad line: {b!r}" for b in bad]), end="")
    for shape, c in counts.items():
        print(f"{shape:20} right {c['right']:4}  unsure {c['unsure']:4}  wrong {c['wrong']:4}")
    return 1 if wrong or bad else 0


if __name__ == "__main__":
    sys.exit(main())
