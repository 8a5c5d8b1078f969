"""Kinds of writing the detection corpus makes its tables of, each from Debian packages, per
language: program messages (.mo translations), word lists (hunspell and input-method
dictionaries), documentation (translated manual pages and GNOME's help), names of places,
languages and currencies (Unicode CLDR), labels (CLDR's names of things and their keywords),
sayings (fortune cookies, proverbs, quotations), tutorials (vim's lessons) and glossaries
(English words and their translations).

The letter-pair models learn from .mo files only, less the messages kind's DOMAINS; no other
kind is read from a .mo file, so none of their text reaches the models. Each kind hands out, per
language, short strings for name and title fields, city-like ones, and lines for memos.
"""

import collections
import glob
import gzip
import os
import re
import struct
import subprocess
import unicodedata
import xml.etree.ElementTree as ET

LOCALE = "/usr/share/locale"
DOMAINS = """coreutils grep sed findutils bash dpkg apt libapt-pkg6.0 wget shadow man-db
    man-db-gnulib gettext-runtime Linux-PAM tar diffutils e2fsprogs util-linux sudo debconf adduser
    procps-ng psmisc gnupg2 nano iso_3166 iso_3166-1 iso_639 iso_639-2 iso_639-3 iso_3166-2
    iso_15924 iso_4217""".split()
PER_DOMAIN = 800  # so that the long lists of ISO names do not drown the messages
PER_LANGUAGE = 6000  # strings of one kind and language: enough for a language's tables

# Where each kind's text of a language is; None where Debian has none.
HUNSPELL = {"de": "de_DE", "fr": "fr", "es": "es_ES", "it": "it_IT", "pt": "pt_PT", "nl": "nl",
            "sv": "sv_SE", "da": "da_DK", "nb": "nb_NO", "is": "is_IS", "ca": "ca", "pl": "pl_PL",
            "cs": "cs_CZ", "sk": "sk_SK", "hu": "hu_HU", "sl": "sl_SI", "hr": "hr_HR",
            "ro": "ro_RO", "ru": "ru_RU", "uk": "uk_UA", "bg": "bg_BG", "sr": "sr_RS",
            "be": "be_BY", "mk": None, "el": "el_GR", "tr": "tr_TR", "lt": "lt_LT", "lv": "lv_LV",
            "et": "et_EE", "he": "he_IL", "ar": "ar", "th": "th_TH", "ko": "ko_KR"}
OTHER_WORDS = {"ja": "/usr/share/skk/SKK-JISYO.L",  # readings and words, EUC-JP
               "zh_CN": "/usr/share/rime-data/pinyin_simp.dict.yaml",
               "zh_TW": "/usr/share/rime-data/luna_pinyin.dict.yaml"}
DOC_FOLDERS = {"pt_BR": "pt"}  # a folder's language where its name is not the language's
CLDR = "/usr/share/unicode/cldr/common"
CLDR_LOCALES = {"zh_CN": "zh", "zh_TW": "zh_Hant", "nb": "no"}  # nb.xml only points to no

WORDS_PACKAGES = [f"hunspell-{p}" for p in """de-de fr es it pt-pt nl sv da no is ca pl cs sk
    hu sl hr ro ru uk bg sr be el tr lt lv he ar th ko""".split()]
WORDS_PACKAGES += ["myspell-et", "skkdic", "rime-data-pinyin-simp", "rime-data-luna-pinyin"]
DOCS_PACKAGES = [f"manpages-{p}" for p in """de fr es it pl ru uk cs da fi hu mk nb nl pt-br ro
    sr sv el tr ja zh""".split()] + ["gnome-user-docs"]
NAMES_PACKAGES = ["unicode-cldr-core"]
FORTUNES = "/usr/share/games/fortunes"
# The fortune files of each language: a folder (a file of it by name for another language) or,
# for Chinese, files at the top.
SAYINGS = {"bg": "bg", "pt": "brasil", "cs": "cs", "sk": "cs/klasik-sk", "de": "de", "es": "es",
           "it": "it", "pl": "pl", "ru": "ru", "zh_CN": "chinese tang300 song100"}
SAYINGS_PACKAGES = [f"fortunes-{p}" for p in "bg br cs de es it pl ru zh".split()]

Writing = collections.namedtuple("Writing", "titles cities memos strings")
LETTER = re.compile(r"[^\W\d_]")
FORMAT = re.compile(r"%(\d+\$)?[-+ #0']*(\d+|\*)?(\.(\d+|\*))?[hlLqjzt]*[a-zA-Z%]|%<\w+>")
CODE = re.compile(r"[#<>{}=;@$\\|_*\[\]]|^[\W\d]")
ENGLISH = set("the and of to is a for or in be by with this that are not if".split())


def clean(text, min_letters=4):
    """The text on one line, composed (hunspell's Korean is in jamo), or None when it is
    mostly format directives and symbols."""
    text = unicodedata.normalize("NFC", " ".join(text.split()))
    bare = FORMAT.sub("", text).replace(" ", "")
    letters = len(LETTER.findall(bare))
    ok = text.isprintable() and letters >= min_letters and 3 * letters >= 2 * len(bare)
    return text if ok else None


def translated(text):
    """The text, or None when it is an English sentence left untranslated or looks like
    code (manual pages quote a lot of it)."""
    english = text and text.isascii() and len(ENGLISH.intersection(text.lower().split())) >= 2
    return None if english or not text or CODE.search(text) else text


def sample(rng, strings, count=PER_LANGUAGE):
    strings = sorted(set(filter(None, strings)))
    rng.shuffle(strings)
    return sorted(strings[:count])


def short(strings, words=5):
    """Name-like strings: those of a few words."""
    return [s for s in strings if len(s.split()) <= words]


def lists(rng, items, low, high, sep):
    """Memo lines that list items, as word and name fields hold them."""
    return [sep.join(rng.sample(items, rng.randint(low, high))) for _ in range(len(items) // 3)]


def prose(rng, strings):
    """Sentences as tables hold them: the short ones as titles and cities, all as memos."""
    strings = sample(rng, strings)
    return Writing(short(strings, 6), short(strings, 3), strings, len(strings))


def installed(packages):
    """The files of each installed package; missing packages are left out."""
    files = {}
    for p in packages:
        run = subprocess.run(["dpkg", "-L", p], capture_output=True, text=True)
        if run.returncode == 0:
            files[p] = run.stdout.split("\n")
    return files


# --- Messages: GNU .mo files --------------------------------------------------------------

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


def messages(rng, langs):
    out = {}
    for lang in langs:
        strings, files = set(), set()
        for domain in DOMAINS:
            path = os.path.realpath(f"{LOCALE}/{lang}/LC_MESSAGES/{domain}.mo")
            if path not in files and os.path.exists(path):
                files.add(path)
                found = sorted(set(read_mo(path)))
                rng.shuffle(found)
                strings.update(list(filter(None, map(clean, found)))[:PER_DOMAIN])
        if strings:
            strings = sorted(strings)
            out[lang] = Writing(short(strings), short(strings), strings, len(strings))
    return out


# --- Words: spelling and input-method dictionaries ----------------------------------------

def hunspell_words(name):
    """The stems of a hunspell dictionary, in the set its affix file names."""
    base = f"/usr/share/hunspell/{name}"
    if not os.path.exists(base + ".dic"):
        return []
    with open(base + ".aff", "rb") as f:
        found = re.search(rb"^SET\s+(\S+)", f.read(), re.M)
    charset = found.group(1).decode().replace("ISO8859", "ISO-8859") if found else "utf-8"
    with open(base + ".dic", encoding=charset, errors="replace") as f:
        lines = f.read().split("\n")[1:]
    return [re.split(r"(?<!\\)/", line.split("\t")[0].split(" ")[0])[0] for line in lines
            if line and not line[0].isspace() and line[0] != "#"]


def other_words(path):
    """Japanese SKK readings and their words; Chinese input-method phrases."""
    if not os.path.exists(path):
        return []
    if path.endswith(".yaml"):
        with open(path, encoding="utf-8") as f:
            return [line.split("\t")[0] for line in f if "\t" in line and line[0] != "#"]
    with open(path, encoding="euc-jp", errors="replace") as f:
        entries = [line.split(" /", 1) for line in f if line[0] != ";" and " /" in line]
    # Readings of verbs end in a Latin letter; numeric entries have a #.
    return [w.split(";")[0] for reading, words in entries
            for w in [reading.strip(">")] + words.split("/")
            if w.strip() and w.isascii() == ("#" in w)]


def words(rng, langs):
    out = {}
    for lang in langs:
        name = HUNSPELL.get(lang)
        found = hunspell_words(name) if name else other_words(OTHER_WORDS.get(lang, "/-"))
        found = rng.sample(sorted(found), min(len(found), 2 * PER_LANGUAGE))  # cleaning is slow
        found = sample(rng, (clean(w, 2) for w in found if len(w) < 40))
        if found:
            titles = lists(rng, found, 1, 3, " ")
            out[lang] = Writing(titles, found, lists(rng, found, 4, 16, rng.choice([" ", ", "])),
                                len(found))
    return out


# --- Docs: manual pages and GNOME's help --------------------------------------------------

ROFF_TEXT = {"SH", "SS", "B", "I", "BR", "IR", "RB", "BI", "IB", "RI", "SM", "SB", "TH"}
ROFF_CHARS = {"em": "\u2014", "en": "\u2013", "aq": "'", "dq": '"', "lq": "\u201c",
              "rq": "\u201d", "Fo": "\u00ab", "Fc": "\u00bb", "bu": "\u2022", "co": "\u00a9",
              "rg": "\u00ae", "de": "\u00b0", "mu": "\u00d7", "oq": "\u2018", "cq": "\u2019",
              "hy": "-", "ti": "~", "ha": "^", "rs": "\\", "pl": "+", "eq": "="}
ROFF_ESCAPE = re.compile(r"\\(\((..)|\[([^]]*)\]|f(\(..|\[[^]]*\]|.)|\*(\(..|\[[^]]*\]|.)|"
                         r"[sv]'?[-+]?\d*'?|.)")


def roff_escape(m):
    name = m.group(2) or m.group(3)
    if name is not None:
        return ROFF_CHARS.get(name, "")
    return {"-": "-", "e": "\\", "~": " ", " ": " ", "0": " "}.get(m.group(1), "")


def roff_text(source):
    """The sentences of a manual page: requests dropped but for those that carry text."""
    paragraphs, lines, ignoring = [], [], False
    for line in source.split("\n"):
        if ignoring:
            ignoring = line.strip() != ".."
            continue
        if line[:1] in ".'":
            request, _, args = line[1:].strip().partition(" ")
            ignoring = request == "ig"
            paragraphs.append(" ".join(lines))
            lines = []
            if request in ROFF_TEXT and request != "TH":
                paragraphs.append(args.replace('"', ""))
            continue
        lines.append(line)
    paragraphs.append(" ".join(lines))
    text = (ROFF_ESCAPE.sub(roff_escape, p) for p in paragraphs)
    return [s for p in text for s in re.split(r"(?<=[.!?\u3002])\s+", p)]


def page_text(source):
    """The paragraphs and titles of a Mallard help page."""
    try:
        root = ET.fromstring(source)
    except ET.ParseError:
        return []
    return ["".join(e.itertext()) for e in root.iter() if e.tag.split("}")[-1] in
            ("p", "title", "desc", "td")]


def docs(rng, langs):
    by_lang = collections.defaultdict(list)
    for files in installed(DOCS_PACKAGES).values():
        for path in files:
            found = re.match(r"/usr/share/(man|help)/([^/]+)/.*\.(gz|page)$", path)
            lang = found and DOC_FOLDERS.get(found.group(2), found.group(2))
            if lang in langs or lang == "C":
                by_lang[lang].append(path)
    english = set()  # GNOME's help leaves untranslated paragraphs as they are
    for path in by_lang.pop("C", []):
        with open(path, "rb") as f:
            english.update(map(clean, page_text(f.read())))
    out = {}
    for lang in langs:
        paths, strings = sorted(by_lang[lang]), set()
        rng.shuffle(paths)
        for path in paths:
            if path.endswith(".gz"):
                with gzip.open(path) as f:
                    found = roff_text(f.read().decode("utf-8", "replace"))
            else:
                with open(path, "rb") as f:
                    found = page_text(f.read())
            strings.update(s for s in map(clean, found) if translated(s) and s not in english)
            if len(strings) >= 2 * PER_LANGUAGE:
                break
        if strings:
            out[lang] = prose(rng, strings)
    return out


# --- Names: Unicode CLDR's names of territories, languages, scripts, currencies, cities ----

def names(rng, langs):
    out = {}
    for lang in langs:
        loc = CLDR_LOCALES.get(lang, lang)
        try:
            main = ET.parse(f"{CLDR}/main/{loc}.xml").getroot()
        except (OSError, ET.ParseError):
            continue
        try:
            subdivisions = ET.parse(f"{CLDR}/subdivisions/{loc}.xml").getroot()
        except (OSError, ET.ParseError):
            subdivisions = ET.Element("none")

        def text_of(root, path):
            return [clean(e.text or "", 2) for e in root.iterfind(path) if "count" not in e.attrib]

        titles = sample(rng, sum((text_of(main, f".//{p}") for p in (
            "territories/territory", "languages/language", "scripts/script",
            "currencies/currency/displayName")), []))
        cities = sample(rng, text_of(main, ".//zone/exemplarCity") +
                        text_of(subdivisions, ".//subdivision"))
        if titles and cities:
            everything = titles + cities
            memos = lists(rng, everything, 2, 8, rng.choice([", ", "; "]))
            out[lang] = Writing(titles, cities, memos, len(set(everything)))
    return out


# --- Sayings: fortune cookies, proverbs and quotations -------------------------------------

ANSI = re.compile(r"\x1b\[[0-9;]*m")


def fortune_files(lang):
    found = []
    for entry in SAYINGS[lang].split():
        path = os.path.join(FORTUNES, entry)
        if os.path.isdir(path):
            found += [os.path.join(d, f) for d, _, files in os.walk(path) for f in files
                      if not f.endswith((".dat", ".u8")) and f != "klasik-sk"]
        elif os.path.exists(path):
            found.append(path)
    return sorted(found)


def undoubled(text):
    """`text`, its UTF-8 undone where it was encoded twice (Italian fortunes have
    "FranÃ§ois" for "François")."""
    try:
        return text.encode("cp1252").decode("utf-8")
    except UnicodeError:
        return text


def sayings(rng, langs):
    out = {}
    for lang in langs:
        strings = set()
        for path in fortune_files(lang) if lang in SAYINGS else ():
            u8 = path + ".u8"  # the UTF-8 copy, where there is one (Polish ones are empty)
            with open(u8 if os.path.exists(u8) and os.path.getsize(u8) else path, "rb") as f:
                text = ANSI.sub("", f.read().decode("utf-8", "replace"))
            for entry in re.split(r"\n%\n", text):
                entry = undoubled(entry)
                lines = [line.strip().lstrip("-— ").strip() for line in entry.split("\n")]
                strings.update(s for s in map(clean, re.split(r"(?<=[.!?\u3002\uff1f])\s+",
                                                           " ".join(lines)))
                               if translated(s) and "\ufffd" not in s)
        if strings:
            out[lang] = prose(rng, strings)
    return out


# --- Labels: Unicode CLDR's short names of things and their keywords -----------------------

def labels(rng, langs):
    out = {}
    for lang in langs:
        try:
            root = ET.parse(f"{CLDR}/annotations/{CLDR_LOCALES.get(lang, lang)}.xml").getroot()
        except (OSError, ET.ParseError):
            continue
        tts = [e.text or "" for e in root.iter("annotation") if e.get("type") == "tts"]
        tags = [e.text or "" for e in root.iter("annotation") if e.get("type") is None]
        titles = sample(rng, (clean(t, 2) for t in tts))
        words = sample(rng, (clean(w, 2) for t in tags for w in t.split("|")))
        memos = sample(rng, (clean(", ".join(w.strip() for w in t.split("|")), 2) for t in tags))
        if titles and words:
            out[lang] = Writing(titles, words, memos, len(set(titles + words)))
    return out


# --- Tutorials: vim's lessons, in the languages they are translated into ------------------

TUTOR = "/usr/share/vim/vim*/tutor/tutor.{}.utf-8"
TUTOR_NAMES = {"zh_CN": "zh_cn", "zh_TW": "zh_tw"}
TUTORIALS_PACKAGES = ["vim-runtime"]


def tutor_text(text):
    """The sentences of a lesson: paragraphs apart, their lines joined, frames, keys and
    numbering dropped."""
    strings = []
    for paragraph in re.split(r"\n\s*\n|\n[=~-]{10,}\n", text):
        lines = [re.sub(r"^\s*(\d+\.|\*\*|!!|-->|--->)?\s*", "", line) for line in
                 paragraph.split("\n") if not re.fullmatch(r"[\s=~*-]*", line)]
        strings += re.split(r"(?<=[.!?:\u3002\uff1f\uff1a])\s+", " ".join(lines))
    return strings


def tutorials(rng, langs):
    out = {}
    for lang in langs:
        paths = glob.glob(TUTOR.format(TUTOR_NAMES.get(lang, lang)))
        if not paths:
            continue
        with open(sorted(paths)[-1], encoding="utf-8", errors="replace") as f:
            found = tutor_text(f.read())
        strings = [s for s in map(clean, found) if translated(s) and "\ufffd" not in s]
        if strings:
            out[lang] = prose(rng, strings)
    return out


# --- Glossaries: bilingual dictionaries, an English word and its translations ---------------

DICTD = "/usr/share/dictd/freedict-eng-{}.dict.dz"
GLOSSARY_LANGUAGES = {"ar": "ara", "bg": "bul", "cs": "ces", "da": "dan", "de": "deu",
                      "el": "ell", "es": "spa", "fi": "fin", "fr": "fra", "hr": "hrv",
                      "hu": "hun", "it": "ita", "ja": "jpn", "lt": "lit", "nb": "nor",
                      "nl": "nld", "pl": "pol", "pt": "por", "ro": "rom", "ru": "rus",
                      "sr": "srp", "sv": "swe", "tr": "tur"}
GLOSSARIES_PACKAGES = [f"dict-freedict-eng-{code}" for code in GLOSSARY_LANGUAGES.values()]
ANNOTATION = re.compile(r"<[^>]*>|\[[^]]*\]|\([^)]*\)")


def glossary_entries(path):
    """(English word, its translations) of a FreeDict dictionary: an entry is a line with the
    word and its pronunciation, then lines of translations; notes and references are left out."""
    entries, word = [], None
    with gzip.open(path, "rt", encoding="utf-8", errors="replace") as f:
        for line in f:
            if not line.strip() or line[0].isspace():
                continue
            if " /" in line and line.rstrip().endswith("/"):
                word = line.split(" /")[0].strip()
            elif word:
                found = [t.strip() for t in ANNOTATION.sub("", line).split(",")]
                entries.append((word, [t for t in found if t]))
    return entries


def glossaries(rng, langs):
    out = {}
    for lang in langs:
        path = DICTD.format(GLOSSARY_LANGUAGES.get(lang, "-"))
        if not os.path.exists(path):
            continue
        entries = glossary_entries(path)
        rng.shuffle(entries)
        entries = entries[:2 * PER_LANGUAGE]
        terms = sample(rng, (clean(t, 2) for _, found in entries for t in found))
        lines = sample(rng, (clean(f"{word}: {', '.join(found)}", 2) for word, found in entries
                             if found))
        if terms and lines:
            out[lang] = Writing(short(terms, 4), short(terms, 2), lines, len(set(terms)))
    return out


# --- Passages: typing practice, paragraphs of prose to copy ---------------------------------

PARAGRAPHS = "/usr/share/klavaro/{}.paragraphs"
PASSAGE_FILES = {"pt": "pt_PT"}  # a file's name where it is not the language's
PASSAGES_PACKAGES = ["klavaro"]


def passages(rng, langs):
    out = {}
    for lang in langs:
        path = PARAGRAPHS.format(PASSAGE_FILES.get(lang, lang))
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8-sig", errors="replace") as f:
            text = f.read()
        found = [s for p in re.split(r"\n\s*\n", text)
                 for s in re.split(r"(?<=[.!?\u3002\uff1f])\s+", " ".join(p.split()))]
        sentences = sample(rng, (s for s in map(clean, found) if s and "\ufffd" not in s))
        # Few of a passage's sentences are as short as a name: its clauses are.
        clauses = sample(rng, map(clean, (c for s in sentences
                                          for c in re.split(r"\s*[,;:()\u2014\u2013]\s*", s))))
        if sentences:
            out[lang] = Writing(short(clauses, 6), short(clauses, 3), sentences, len(sentences))
    return out


Kind = collections.namedtuple("Kind", "read packages rule held_out what")
KINDS = {
    "messages": Kind(messages, [], True, False,
                     "program messages: .mo translations of DOMAINS; the models train on the rest"),
    "words": Kind(words, WORDS_PACKAGES, True, False,
                  "word lists: hunspell dictionaries, SKK (ja), Rime (zh); the threshold's tuning"),
    "docs": Kind(docs, DOCS_PACKAGES, True, True,
                 "documentation: translated manual pages and GNOME's help; held out"),
    "names": Kind(names, NAMES_PACKAGES, False, False,
                  "names of territories, languages, currencies, cities: Unicode CLDR; the "
                  "threshold's tuning, beside word lists"),
    "labels": Kind(labels, NAMES_PACKAGES, True, False,
                   "labels: names of things and their keywords (Unicode CLDR's annotations); "
                   "the threshold's tuning, beside names (held out until its wrong answers "
                   "were looked at)"),
    "tutorials": Kind(tutorials, TUTORIALS_PACKAGES, True, False,
                      "tutorials: vim's lessons (vimtutor), instructions to the reader; the "
                      "threshold's tuning (held out until its wrong answers were looked at)"),
    "glossaries": Kind(glossaries, GLOSSARIES_PACKAGES, True, False,
                       "glossaries: an English word and its translations (FreeDict's "
                       "dictionaries); the threshold's tuning (held out until its wrong answers "
                       "were looked at)"),
    "passages": Kind(passages, PASSAGES_PACKAGES, True, True,
                     "passages: paragraphs of prose to copy (klavaro's typing lessons); held out"),
    "sayings": Kind(sayings, SAYINGS_PACKAGES, True, False,
                    "sayings: fortune cookies, proverbs and quotations (fortunes-*); the rules' "
                    "tuning, beside names"),
}
