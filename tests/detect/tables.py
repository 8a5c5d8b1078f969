"""Tables as databases keep them, written from a kind's text in a known code page (or, row by
row, in one of two pages of one script): a name or title, a city, codes, numbers, dates, memos,
some names in capitals, and in some tables a few signs and foreign letters and words.
"""

import collections
import struct
import unicodedata

CODECS = {cp: f"cp{cp}" for cp in (437, 737, 850, 852, 857, 861, 863, 865, 866, 874, 932, 949,
                                   950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257)}
CODECS.update({936: "gbk", 10000: "mac_roman", 10007: "mac_cyrillic", 10006: "mac_greek",
               10029: "mac_latin2"})
HIGH = bytes(range(0x80, 0x100)) * 2
# Signs that tables carry now and then, of which each page holds some.
SIGNS = ("£¥€¢¤§°±²³µ¶·½¼¾«»¡¿×÷©®™№‰†•…„“”‘’–—ªº"
         "℃※○●■□★☆「」【】〒①②③ⅠⅡⅢ")
SCRIPTS = ("LATIN", "CYRILLIC", "GREEK", "HEBREW", "ARABIC", "THAI")


def codec(encoding):
    return CODECS[encoding] if isinstance(encoding, int) else encoding


def encoded(s, encoding):
    """`s` in `encoding`, or None when the encoding cannot hold every character of it."""
    try:
        data = s.encode(codec(encoding))
        return data if data.decode(codec(encoding)) == s else None
    except UnicodeError:
        return None


def fit(s, name, limit):
    """`s` in codec `name`, cut after a character to at most `limit` bytes."""
    data = s.encode(name)
    if len(data) > limit:
        lo, hi = 0, len(s)
        while lo < hi:  # the most characters that fit
            mid = (lo + hi + 1) // 2
            lo, hi = (mid, hi) if len(s[:mid].encode(name)) <= limit else (lo, mid - 1)
        data = s[:lo].rstrip().encode(name)
    return data


def high_count(data):
    return sum(b >= 0x80 for b in data)


def script(c):
    return next((s for s in SCRIPTS if unicodedata.name(c, "").startswith(s)), None)


def sprinkles(rng, encoding, own, foreign_words):
    """Tokens a table of this page may carry besides its language's text: a sign with a
    number, a letter of the page and the language's script that the language does not use,
    a word of another language."""
    name = codec(encoding)
    signs = [c for c in SIGNS if encoded(c, encoding)]
    scripts = collections.Counter(map(script, own))
    home = max(scripts, key=lambda s: (s is not None, scripts[s]))
    high = bytes(range(0x80, 0x100)).decode(name, "replace") if encoding not in (
        932, 936, 949, 950) else ""
    letters = [c for c in high if c.isalpha() and c not in SIGNS and c.lower() not in own
               and home and script(c) == home]

    def word():
        return "".join(rng.choices("ABCDEFGHIJKLMNOPRSTUVZ", k=rng.randint(1, 3)))

    tokens = [rng.choice(["{n}{c}", "{c}{n}", "{c} {n}"]).format(c=c, n=rng.randrange(100))
              for c in signs for _ in range(3)]
    tokens += [rng.choice(["{c}.", "{s}{c}{t}"]).format(c=c, s=word(), t=word())
               for c in letters for _ in range(2)]
    tokens += [w for w in foreign_words if not w.isascii() and encoded(w, encoding)][:len(tokens)]
    return [t.encode(name) for t in tokens if encoded(t, encoding)]


class Text:
    """Hands out one table's text in its code page (or, row by row, in one of two) and keeps
    every text value written, so the table's text is known byte for byte."""

    def __init__(self, rng, writing, encodings, target, caps, rate, tokens):
        self.rng, self.writing, self.target = rng, writing, target
        self.codecs = [codec(e) for e in encodings]
        self.codec = self.codecs[0]
        self.second = rng.uniform(0.2, 0.8)  # the share of rows in the second page
        self.caps, self.rate, self.tokens = caps, rate, tokens
        self.values, self.size, self.high, self.high_bytes, self.sprinkled = [], 0, False, 0, 0

    def row(self):
        if len(self.codecs) > 1:
            self.codec = self.codecs[self.rng.random() < self.second]

    def left(self, at_most, at_least=12):
        """What is left of the size, within bounds: big tables get long values."""
        return min(at_most, max(at_least, self.target - self.size))

    def take(self, pool, limit, caps=False):
        """A string of the pool cut to at most `limit` bytes, maybe in capitals where the page
        holds them; until some value has high bytes, one with high bytes."""
        for _ in range(20):
            s = self.rng.choice(pool)
            if caps and self.rng.random() < self.caps:
                upper = s.upper()
                s = upper if upper.encode(self.codec, "replace").decode(self.codec) == upper else s
            data = fit(s, self.codec, limit)
            if data and (self.high or not data.isascii()):
                break
        return self.sprinkle(data, limit)

    def sprinkle(self, data, limit):
        """`data`, with a token after it where the tokens' share of the high bytes stays
        within the table's rate."""
        tokens = self.tokens.get(self.codec)
        if tokens and self.rate:
            token = self.rng.choice(tokens)
            share = self.sprinkled + high_count(token)
            if share <= self.rate * (self.high_bytes + high_count(data)) and \
                    len(data) + 1 + len(token) <= limit:
                self.sprinkled = share
                data += b" " + token
        return data

    def value(self, data):
        self.values.append(data)
        self.size += len(data)
        self.high_bytes += high_count(data)
        self.high = self.high or not data.isascii()
        return data

    def name(self, limit):
        return self.take(self.writing.titles, limit, caps=True)

    def city(self, limit):
        return self.take(self.writing.cities, limit, caps=True)

    def memo(self, limit):
        """Some lines, up to about `limit` bytes."""
        size, lines = self.rng.randint(1, limit), []
        while size > 0:
            lines.append(self.take(self.writing.memos, size))
            size -= len(lines[-1]) + 2
        return self.value(b"\r\n".join(lines))

    def code(self):
        letters = "".join(self.rng.choices("ABCDEFGHJKLMNPRSTUVWXYZ", k=self.rng.randint(1, 3)))
        return b"%s-%d" % (letters.encode(), self.rng.randrange(10 ** 6))


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
    """fields: (name, type, length, decimals, flags); rows: (deleted, cells of exactly their
    lengths)."""
    vfp = kind != 0xF5
    header_len = 32 + 32 * len(fields) + 1 + 263 * vfp
    out = bytearray(struct.pack("<B3BIHH16xBBxx", kind, 124, 5, 17, len(rows), header_len,
                                1 + sum(f[2] for f in fields), 0x02 * vfp, mark))
    offset = 1
    for name, ftype, length, decimals, flags in fields:
        out += struct.pack("<11scIBBB13x", name.encode(), ftype.encode(), offset * vfp, length,
                           decimals, flags)
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

    def number(width=10, decimals=0):
        return b"%*.*f" % (width, decimals, rng.randrange(10 ** (width - 3)) / 10 ** decimals)

    if shape == "scx":
        fields = [("PLATFORM", "C", 8, 0, 0), ("UNIQUEID", "C", 10, 0, 0),
                  ("TIMESTAMP", "N", 10, 0, 0)]
        fields += [(n, "M", 4, 0, 0) for n in "CLASS BASECLASS OBJNAME PARENT PROPERTIES".split()]
        fields += [("METHODS", "M", 4, 0, 0), ("OBJCODE", "M", 4, 0, 0x04), ("USER", "M", 4, 0, 0)]
        rows.append((False, [c(b"COMMENT", 8), c(b"RESERVED", 10)] + [b" " * 10] + [m(b"")] * 8))
        while text.size < text.target:
            text.row()
            n = len(rows)
            base = b"form" if n == 1 else rng.choice([b"label", b"commandbutton", b"editbox"])
            name = b"Form1" if n == 1 else b"%s%d" % (base.capitalize(), n)
            props = (b'Caption = "%s"\r\nLeft = %d\r\nName = "%s"\r\n'
                     % (text.take(text.writing.titles, text.left(80), caps=True),
                        rng.randrange(400), name))
            code = (b'PROCEDURE Click\r\n\tMESSAGEBOX("%s")\r\nENDPROC\r\n'
                    % text.take(text.writing.memos, text.left(200)) if rng.random() < 0.5 else b"")
            cells = [c(b"WINDOWS", 8), c(b"_%09X" % rng.randrange(16 ** 9), 10), number()]
            cells += [m(text.value(v)) for v in (base, base, name, b"" if n == 1 else b"Form1")]
            cells += [m(text.value(props)), m(text.value(code)), m(high(len(code)))]
            rows.append((False, cells + [maybe_memo(3000)]))
        return 0x30, fields, rows, memo.bytes()

    width, vwidth = rng.randrange(20, 80), rng.randrange(20, 255)
    varchar = shape == "vfp" and rng.random() < 0.5
    general = shape == "vfp" and rng.random() < 0.3
    fields = [("NAME", "C", width, 0, 0), ("CITY", "C", 30, 0, 0), ("CODE", "C", 12, 0, 0)]
    fields += [("KEY", "C", 12, 0, 0x04)] if shape == "vfp" else []
    fields += [("QTY", "N", 10, 0, 0), ("PRICE", "N", 12, 2, 0), ("DAY", "D", 8, 0, 0)]
    fields += [("NOTE", "V", vwidth, 0, 0), ("_NullFlags", "0", 1, 0, 0x05)] if varchar else []
    fields += [("BODY", "M", 10 if shape == "fox" else 4, 0, 0)]
    fields += [("PIC", "G", 4, 0, 0)] if general else []
    while text.size < text.target:
        text.row()
        cells = [c(text.name(text.left(width)), width), c(text.city(text.left(30)), 30)]
        cells += [c(text.code(), 12)] + ([high(12)] if shape == "vfp" else [])
        cells += [number(), number(12, 2)]
        cells += [b"%04d%02d%02d" % (rng.randrange(1990, 2030), rng.randrange(1, 13), 28)]
        if varchar:
            limit = text.left(rng.randrange(1, vwidth + 1))
            note = text.value(text.take(text.writing.memos, limit))
            short = len(note) < vwidth  # its length in the last byte, and its null-flag bit
            cells += [note + bytes(vwidth - len(note) - 1) + bytes([len(note)]) if short else note,
                      bytes([short])]
        cells += [maybe_memo()]
        cells += [m(high(rng.randrange(64, 600)), 2)] if general else []
        rows.append((bool(rows) and rng.random() < 0.1, cells))
    return 0x32 if varchar else 0x30 if shape == "vfp" else 0xF5, fields, rows, memo.bytes()
