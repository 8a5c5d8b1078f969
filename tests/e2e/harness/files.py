"""The tables a case lays out, the memo-file writer dbf(), and the check of every byte
and modification time afterwards (Dir)."""

import os
import struct

OLD_TIME = 946684800  # 2000-01-01: a file written by a run no longer has it


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
        self.expect(rel, data if after is None else after, written=after not in (None, data))

    def expect(self, rel, data, written):
        """What `rel` must hold after the next run, and whether that run may write it."""
        self.expected[rel] = data
        if written:
            self.untouched.discard(rel)
        else:
            self.untouched.add(rel)

    def table(self, rel, mark_after=None, **kw):
        data = table(**kw)
        after = None
        if mark_after is not None:
            after = bytearray(data)
            after[29] = mark_after
            after = bytes(after)
        self.add(rel, data, after)

    def dbf(self, rel, mark, memo=None, mark_after=None, **kw):
        """A table made by dbf(), and its memo file if `memo` names one (in the same folder)."""
        data, memo_data = dbf(mark, **kw)
        self.add(rel, data, None if mark_after is None else data[:29] + bytes([mark_after]) + data[30:])
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
