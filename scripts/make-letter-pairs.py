#!/usr/bin/env python3
"""Writes src/detect/letter_pairs.inc: the single-byte character sets the
detector weighs against each other, and a letter-pair model per language.

The models are trained on the translated messages of Debian's packages
(/usr/share/locale/<lang>/LC_MESSAGES/*.mo), leaving out every domain that
the detection corpus in tests/detect/ reads, so that the detector is never
measured on the text it learnt from. The result depends on which packages
the machine has; the committed file says which domains and how much text
each language had.

Run: python3 scripts/make-letter-pairs.py > src/detect/letter_pairs.inc
"""

import codecs
import collections
import glob
import math
import os
import re
import struct
import sys
import unicodedata

# The domains of the corpus's messages kind (tests/detect/kinds.py): never trained on.
# Its other kinds (words, docs, names) come from no .mo file.
CORPUS_DOMAINS = set("""coreutils grep sed findutils bash dpkg apt libapt-pkg6.0 wget shadow
man-db man-db-gnulib gettext-runtime Linux-PAM tar diffutils e2fsprogs util-linux sudo debconf
adduser procps-ng psmisc gnupg2 nano iso_3166 iso_3166-1 iso_639 iso_639-2 iso_639-3 iso_3166-2
iso_15924 iso_4217""".split())

# Language, the locale folders its text comes from, script.
LANGUAGES = [
    ("en", ["en_GB", "en_AU", "en_CA"], "latin"),
    ("de", ["de"], "latin"), ("fr", ["fr"], "latin"), ("es", ["es"], "latin"),
    ("it", ["it"], "latin"), ("pt", ["pt", "pt_BR"], "latin"), ("nl", ["nl"], "latin"),
    ("sv", ["sv"], "latin"), ("da", ["da"], "latin"), ("nb", ["nb", "nn"], "latin"),
    ("fi", ["fi"], "latin"), ("is", ["is"], "latin"), ("ca", ["ca"], "latin"),
    ("ga", ["ga"], "latin"), ("eu", ["eu"], "latin"), ("gl", ["gl"], "latin"),
    ("af", ["af"], "latin"), ("sq", ["sq"], "latin"),
    ("pl", ["pl"], "latin"), ("cs", ["cs"], "latin"), ("sk", ["sk"], "latin"),
    ("hu", ["hu"], "latin"), ("sl", ["sl"], "latin"), ("hr", ["hr", "bs"], "latin"),
    ("ro", ["ro"], "latin"), ("tr", ["tr"], "latin"), ("lt", ["lt"], "latin"),
    ("lv", ["lv"], "latin"), ("et", ["et"], "latin"),
    ("ru", ["ru"], "cyrillic"), ("uk", ["uk"], "cyrillic"), ("bg", ["bg"], "cyrillic"),
    ("sr", ["sr"], "cyrillic"), ("be", ["be"], "cyrillic"), ("mk", ["mk"], "cyrillic"),
    ("el", ["el"], "greek"),
    ("he", ["he"], "hebrew"), ("ar", ["ar"], "arabic"), ("fa", ["fa"], "arabic"),
    ("th", ["th"], "thai"),
]

# The code pages each language is written in, commonest first: where a byte
# or two of a text is all that tells two pages apart, the one its language
# is the more often written in is named (Estonian in 1257 before 1252).
WESTERN = [1252, 850, 437, 10000]
HOME_PAGES = {
    "da": [1252, 850, 437, 865, 10000], "nb": [1252, 850, 437, 865, 10000],
    "is": [1252, 850, 861, 10000, 437], "fr": [1252, 850, 437, 863, 10000],
    "pl": [1250, 852, 10029], "cs": [1250, 852, 10029], "sk": [1250, 852, 10029],
    "hu": [1250, 852, 10029], "sl": [1250, 852, 10029], "hr": [1250, 852, 10029],
    "ro": [1250, 852, 10029], "tr": [1254, 857], "lt": [1257], "lv": [1257], "et": [1257],
    "ru": [1251, 866, 10007], "uk": [1251, 866, 10007], "bg": [1251, 866, 10007],
    "sr": [1251, 866, 10007], "be": [1251, 866, 10007], "mk": [1251, 866, 10007],
    "el": [1253, 737, 10006],
    "he": [1255], "ar": [1256], "fa": [1256], "th": [874],
}

# Single-byte sets: the code pages of the mark table that are single-byte
# and one alphabet's, commonest first (where two read a text alike, the
# first is named), then encodings no mark stands for, by their own name.
# 895 and 620 are left out: no system here can write them to learn from.
CHARSETS = [
    (1252, "cp1252"), (1250, "cp1250"), (1251, "cp1251"), (1253, "cp1253"), (1254, "cp1254"),
    (1257, "cp1257"), (850, "cp850"), (437, "cp437"), (852, "cp852"), (866, "cp866"),
    (865, "cp865"), (861, "cp861"), (863, "cp863"), (857, "cp857"), (737, "cp737"),
    (10000, "mac_roman"), (10029, "mac_latin2"), (10007, "mac_cyrillic"), (10006, "mac_greek"),
    (874, "cp874"), (1255, "cp1255"), (1256, "cp1256"),
    ("KOI8-R", "koi8_r"), ("KOI8-U", "koi8_u"), ("ISO-8859-5", "iso8859_5"),
    ("ISO-8859-2", "iso8859_2"), ("ISO-8859-8", "iso8859_8"), ("ISO-8859-6", "iso8859_6"),
]

MIN_SHARE = 5e-5  # a letter rarer than this in the training text is no letter of the language
SCALE = 10        # costs are tenths of a nat
MAX_COST = 255
# How much weight a symbol's own frequency has in each row: some pairs'
# worth, and a share of the row, so that a pair the training text lacks is
# not thought impossible after a common letter.
BACKOFF = 5
BACKOFF_SHARE = 0.05
FORMAT = re.compile(r"%(\d+\$)?[-+ #0']*(\*|\d+)?(\.(\*|\d+))?(hh|h|ll|l|L|q|j|z|t)?[a-zA-Z%]|"
                    r"\$\{?\w+\}?|<[^>]*>|&\w+;|\{\w*\}|_")


def mo_strings(path):
    """The translations of a GNU .mo file, as text."""
    data = open(path, "rb").read()
    if len(data) < 28:
        return []
    for order in "<>":
        magic, _, count, originals, translations = struct.unpack(order + "5I", data[:20])
        if magic == 0x950412DE:
            break
    else:
        return []
    charset = "utf-8"
    texts = []
    for i in range(count):
        length, offset = struct.unpack(order + "2I", data[translations + 8 * i:translations + 8 * i + 8])
        raw = data[offset:offset + length]
        olength, _ = struct.unpack(order + "2I", data[originals + 8 * i:originals + 8 * i + 8])
        if olength == 0:  # the header names the charset
            found = re.search(rb"charset=([-\w]+)", raw)
            if found:
                charset = found[1].decode()
            continue
        texts.extend(part.decode(charset, "replace") for part in raw.split(b"\0"))
    return texts


SCRIPT_RANGES = {
    "latin": [(0x41, 0x5A), (0x61, 0x7A), (0xC0, 0x24F), (0x1E00, 0x1EFF)],
    "greek": [(0x41, 0x5A), (0x61, 0x7A), (0x370, 0x3FF)],
    "cyrillic": [(0x41, 0x5A), (0x61, 0x7A), (0x400, 0x52F)],
    "hebrew": [(0x41, 0x5A), (0x61, 0x7A), (0x590, 0x5FF)],
    "arabic": [(0x41, 0x5A), (0x61, 0x7A), (0x600, 0x6FF)],
    "thai": [(0x41, 0x5A), (0x61, 0x7A), (0xE00, 0xE7F)],
}
SCRIPTS = list(SCRIPT_RANGES)  # in the order of the C++ enum Script


def script_of(chars):
    """The script most letters beyond ASCII of a charset's high half are of."""
    counts = [sum(1 for c in chars if c and is_letter(c) and ord(c) >= 0x80 and
                  any(lo <= ord(c) <= hi for lo, hi in SCRIPT_RANGES[script]))
              for script in SCRIPTS]
    return SCRIPTS[counts.index(max(counts))]


def in_script(text, script):
    """Whether every letter of `text` is of the script (or ASCII). Messages
    that quote other scripts, such as a language's own name, would teach a
    model that runs of foreign letters are ordinary."""
    return all(not is_letter(c) or any(lo <= ord(c) <= hi for lo, hi in SCRIPT_RANGES[script])
               for c in text)


def training_text(folders, script):
    texts, domains = [], set()
    for folder in folders:
        for path in sorted(glob.glob(f"/usr/share/locale/{folder}/LC_MESSAGES/*.mo")):
            domain = os.path.basename(path)[:-3]
            if domain in CORPUS_DOMAINS:
                continue
            domains.add(domain)
            texts.extend(mo_strings(path))
    return [FORMAT.sub(" ", t) for t in texts if in_script(t, script)], domains


def is_letter(c):
    """Letters, and the marks written on them: Thai vowels and tones, Hebrew
    points, Arabic vowel signs are letters' part of the text, not signs."""
    return unicodedata.category(c).startswith("L") or unicodedata.category(c) == "Mn"


def fold(c):
    if c == "\u0130":  # Turkish capital dotted I, common in names in capitals
        return "i"
    low = c.lower()
    return low if len(low) == 1 else c


SYMBOL = "\u0002"       # any other sign: box drawing, mathematics, fractions
# A stand-in that texts use for another character: the acute accent is the
# apostrophe of typewriters and DOS pages (Gwich´in). Translated messages
# seldom have it; tables of names and addresses do. (The ordinal indicators
# º and ª are letters of their own, common in some languages and not in
# others.)
ORDINALS = {"\u00B4": "\u2019"}


def is_punctuation(c):
    return unicodedata.category(c)[0] in "PZ" or unicodedata.category(c) == "Sk" or \
        c in "°€£§©®™¢¥"


def symbol_of(c):
    """Letters folded to lower case; ASCII's other characters a boundary;
    punctuation beyond ASCII as itself (each language has its own: « » in
    French, „ “ in German, ¿ in Spanish); any other sign a symbol."""
    if c in ORDINALS:
        return ORDINALS[c]
    if is_letter(c):
        return fold(c)
    if ord(c) < 0x80:
        return " "
    return c if is_punctuation(c) else SYMBOL


def symbols(text):
    """A text as the model sees it: letters folded to lower case, ASCII's
    other characters a boundary, the others punctuation or a symbol."""
    out = [" "]
    for c in text:
        s = symbol_of(c)
        if s == " " and out[-1] == " ":
            continue
        out.append(s)
    out.append(" ")
    return out


def train(texts, reachable):
    """The letter-pair costs over the alphabet, and for the letters a
    charset can give that are not in the alphabet, what each costs among
    them: a letter the language never uses costs far more than one it
    borrows now and then."""
    unigrams = collections.Counter()
    for t in texts:
        unigrams.update(s for s in symbols(t) if s >= "a")
    total = sum(unigrams.values()) or 1
    alphabet = sorted(set("abcdefghijklmnopqrstuvwxyz") |
                      {c for c, n in unigrams.items() if n / total >= MIN_SHARE})
    index = {c: i + 4 for i, c in enumerate(alphabet)}
    index.update({" ": 0, SYMBOL: 3})
    size = len(alphabet) + 4
    pairs = [[0] * size for _ in range(size)]
    for t in texts:
        seq = [index.get(s, 1 if is_letter(s) else 2) for s in symbols(t)]
        for a, b in zip(seq, seq[1:]):
            pairs[a][b] += 1
    # A pair seldom or never seen costs what its second symbol costs alone:
    # a row with little data (symbols, letters foreign to the language) must
    # not make a run of them cheap.
    singles = [sum(pairs[a][b] for a in range(size)) for b in range(size)]
    whole = sum(singles)
    alone = [(singles[b] + 0.5) / (whole + 0.5 * size) for b in range(size)]
    costs = []
    for a in range(size):
        row_total = sum(pairs[a])
        for b in range(size):
            weight = BACKOFF + BACKOFF_SHARE * row_total
            p = (pairs[a][b] + weight * alone[b]) / (row_total + weight)
            costs.append(min(MAX_COST, round(-math.log(p) * SCALE)))
    rare = sorted(c for c in reachable if c not in alphabet)
    rare_costs = []
    for c in rare:
        kin = [r for r in rare if is_letter(r) == is_letter(c)]
        kin_total = sum(unigrams[r] for r in kin)
        p = (unigrams[c] + 0.1) / (kin_total + 0.1 * len(kin))
        rare_costs.append(min(MAX_COST, round(-math.log(p) * SCALE)))
    return alphabet, costs, total, rare, rare_costs


def high_half(codec):
    out = []
    for byte in range(0x80, 0x100):
        try:
            c = bytes([byte]).decode(codec)
        except UnicodeDecodeError:
            c = None
        out.append(c)
    return out


def kind_of(c):
    """How a decoded character enters the model: a folded letter or
    punctuation as itself, a symbol (0xFFFE), or undefined (0xFFFF)."""
    if c is None or unicodedata.category(c) in ("Cc", "Co", "Cn"):
        return 0xFFFF
    return 0xFFFE if symbol_of(c) == SYMBOL else ord(symbol_of(c))


def c_string(chars):
    return "u\"" + "".join(f"\\u{ord(c):04X}" if ord(c) > 0x7E or c in "\"\\" else c
                            for c in chars) + "\""


def main():
    print("// Generated by scripts/make-letter-pairs.py; do not edit by hand.")
    print("// Character sets: the high half as it reads, and as the models see it")
    print("// (a letter folded to lower case or punctuation as itself, 0xFFFE a symbol,")
    print("// 0xFFFF undefined), and which of them are letters.")
    print("inline constexpr SingleByteCharset kSingleByteCharsets[] = {")
    reachable = set()
    for code, codec in CHARSETS:
        chars = high_half(codec)
        reachable |= {symbol_of(c) for c in chars if c and kind_of(c) < 0xFFFE}
        reads = ", ".join(f"0x{ord(c):04X}" if c else "0xFFFF" for c in chars)
        seen = ", ".join(f"0x{kind_of(c):04X}" for c in chars)
        letters = "".join("1" if c and kind_of(c) < 0xFFFE and is_letter(symbol_of(c)) else "0"
                          for c in chars)
        number, name = (code, "") if isinstance(code, int) else (0, code)
        script = script_of(chars).capitalize()
        print(f"    {{{number}, Script::{script}, \"{name}\", {{{reads}}},\n     {{{seen}}},\n"
              f"     \"{letters}\"}},")
    print("};")
    print()
    trained = []
    signs = collections.Counter()  # the symbols of every language's text
    for code, folders, script in LANGUAGES:
        texts, domains = training_text(folders, script)
        signs.update(c for t in texts for c in t if symbol_of(c) == SYMBOL)
        if not texts:
            print(f"no training text for {code}", file=sys.stderr)
            continue
        alphabet, costs, total, rare, rare_costs = train(texts, reachable)
        trained.append((code, script, alphabet, rare))
        print(f"// {code}: {total} letters from {len(domains)} domains")
        print(f"inline constexpr std::uint8_t k{code.capitalize()}Costs[] = {{")
        for i in range(0, len(costs), 24):
            print("    " + ", ".join(str(c) for c in costs[i:i + 24]) + ",")
        print("};")
        print(f"inline constexpr std::uint8_t k{code.capitalize()}RareCosts[] = {{")
        for i in range(0, len(rare_costs), 24):
            print("    " + ", ".join(str(c) for c in rare_costs[i:i + 24]) + ",")
        print("};")
    # Symbols are no language's own: how often each is met among them, over
    # the text of every language. A copyright sign is met now and then, a
    # box-drawing piece in a name never.
    symbol_chars = sorted({c for _, codec in CHARSETS for c in high_half(codec)
                           if c and kind_of(c) == 0xFFFE})
    total = sum(signs[c] for c in symbol_chars)
    print("// Symbols: what each costs on top of being one.")
    print(f"inline constexpr std::u16string_view kSymbolSigns = {c_string(symbol_chars)};")
    print("inline constexpr std::uint8_t kSymbolCosts[] = {")
    costs = [min(MAX_COST, round(-math.log((signs[c] + 0.1) / (total + 0.1 * len(symbol_chars)))
                 * SCALE)) for c in symbol_chars]
    for i in range(0, len(costs), 24):
        print("    " + ", ".join(str(c) for c in costs[i:i + 24]) + ",")
    print("};")
    print()
    print("inline constexpr LanguageModel kLanguageModels[] = {")
    for code, script, alphabet, rare in trained:
        name = code.capitalize()
        pages = ", ".join(str(p) for p in HOME_PAGES.get(code, WESTERN))
        print(f"    {{\"{code}\", Script::{script.capitalize()}, {c_string(alphabet)}, k{name}Costs,")
        print(f"     {c_string(rare)}, k{name}RareCosts, {{{pages}}}}},")
    print("};")


if __name__ == "__main__":
    main()
