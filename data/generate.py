#!/usr/bin/env python3
# Writes the shipped character-set files (data/*.chs), the transliteration table (data/translit.sub) and
# the engine's table of Unicode names (engine/charset/unicode_names_table.cpp) from Python's codec tables
# and the HTML/ISO 8879 entity names, so that every set names its characters by one rule and the UTF-8
# stage reads and writes references by the same names. "--check" regenerates into a temporary directory
# and fails when a committed file differs.
#
# Byte values follow Python's codecs (the vendors' published mapping tables). Where glibc's iconv reads a
# byte differently, Python's reading is kept: mac_roman 0xC6 is U+2206 INCREMENT (glibc: U+0394 GREEK
# CAPITAL DELTA) and 0xF0, the Apple logo, is U+F8FF (glibc: the private-use U+E01E). No other shipped set
# holds any of these code points, so the choice changes no conversion between the shipped sets.

import codecs
import filecmp
import html.entities
import os
import re
import sys
import tempfile
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
# Files written outside data/, relative to the top of the tree.
NAME_TABLE = os.path.join("engine", "charset", "unicode_names_table.cpp")

# (file name without extension, Python codec, description shown after the name on the first line)
SETS = [
    ("ascii", "ascii", "US-ASCII"),
    ("latin1", "latin_1", "ISO-8859-1, Western European"),
    ("latin2", "iso8859_2", "ISO-8859-2, Central European"),
    ("latin9", "iso8859_15", "ISO-8859-15, Western European with the euro sign"),
    ("cp1252", "cp1252", "Windows-1252, Western European"),
    ("cp437", "cp437", "IBM PC code page 437"),
    ("cp850", "cp850", "IBM PC code page 850, Western European"),
    ("macroman", "mac_roman", "Mac OS Roman"),
]

# The names of the engine's built-in set (engine/charset/builtin_charset.cpp); digits and letters are
# named by themselves. Every shipped set uses exactly these names for these characters.
BUILTIN = {
    9: "TAB", 10: "LF", 13: "CR", 32: "space", 33: "excl", 34: "quot", 35: "num", 36: "dollar",
    37: "percnt", 38: "amp", 39: "apos", 40: "lpar", 41: "rpar", 42: "ast", 43: "plus", 44: "comma",
    45: "hyphen", 46: "period", 47: "sol", 58: "colon", 59: "semi", 60: "lt", 61: "equals", 62: "gt",
    63: "quest", 64: "commat", 91: "lsqb", 92: "bsol", 93: "rsqb", 94: "circ", 95: "lowbar",
    123: "lcub", 124: "verbar", 125: "rcub", 126: "tilde",
}
for _c in list(range(0x30, 0x3A)) + list(range(0x41, 0x5B)) + list(range(0x61, 0x7B)):
    BUILTIN[_c] = chr(_c)
GRAVE = {0x60: "grave"}  # left undefined by the built-in set

C0 = ("NUL SOH STX ETX EOT ENQ ACK BEL BS TAB LF VT FF CR SO SI "
      "DLE DC1 DC2 DC3 DC4 NAK SYN ETB CAN EM SUB ESC FS GS RS US").split()
C1 = ("PAD HOP BPH NBH IND NEL SSA ESA HTS HTJ VTS PLD PLU RI SS2 SS3 "
      "DCS PU1 PU2 STS CCH MW SPA EPA SOS SGC SCI CSI ST OSC PM APC").split()
CONTROLS = {cp: name for cp, name in enumerate(C0)}
CONTROLS[0x7F] = "DEL"
CONTROLS.update({0x80 + i: name for i, name in enumerate(C1)})

# The reference characters of every set: "&name;" and "&#number;".
BEGIN, END, NUMERIC = 0x26, 0x3B, 0x23

# Our subset classes (1 to 4 belong to the loader).
LOWER, UPPER = 3, 4
LETTER, DIGIT, SPACE, PUNCT, SYMBOL, CONTROL, WORD = 5, 6, 7, 8, 9, 10, 11
WHITE_SPACE = set(range(0x09, 0x0E)) | {0x20, 0x85, 0xA0, 0x1680, 0x2028, 0x2029, 0x202F, 0x205F,
                                        0x3000} | set(range(0x2000, 0x200B))

NAME_MAX = 32


def fail(message):
    sys.exit("generate.py: " + message)


def code_points(codec):
    """The code point of every byte the codec defines, by byte value."""
    decoder = codecs.getdecoder(codec)
    points = {}
    for byte in range(256):
        try:
            text = decoder(bytes([byte]))[0]
        except UnicodeDecodeError:
            continue
        if len(text) != 1:
            fail("%s: byte 0x%02X decodes to %d characters" % (codec, byte, len(text)))
        points[byte] = ord(text)
    return points


def partner(cp):
    """The case partner of a cased letter when the mapping is one character both ways, else None."""
    char = chr(cp)
    category = unicodedata.category(char)
    if category == "Lu":
        other, back = char.lower(), lambda c: c.upper()
    elif category == "Ll":
        other, back = char.upper(), lambda c: c.lower()
    else:
        return None
    if len(other) != 1 or other == char or back(other) != char:
        return None
    return ord(other)


def fold(name):
    """The name with every capital A-Z made small, as the loader folds it."""
    return re.sub("[A-Z]", lambda m: m.group(0).lower(), name)


def html5_names():
    """HTML5/ISO 8879 names by code point, for names standing for exactly one code point."""
    names = {}
    for name, text in html.entities.html5.items():
        if name.endswith(";") and len(text) == 1:
            names.setdefault(ord(text), set()).add(name[:-1])
    return names


class Namer:
    """Names code points: fixed names first, then entity names, then the uniXXXX fallback."""

    def __init__(self):
        self.html5 = html5_names()
        self.name = {}   # code point -> name
        self.owner = {}  # name -> code point
        for cp, name in list(CONTROLS.items()) + list(BUILTIN.items()) + list(GRAVE.items()):
            self.name[cp] = name  # the built-in names win over TAB, LF and CR of the control list
        for cp, name in self.name.items():
            if name in self.owner and self.owner[name] != cp:
                fail("fixed name %s used for U+%04X and U+%04X" % (name, self.owner[name], cp))
            self.owner[name] = cp

    def candidates(self, cp):
        found = set(self.html5.get(cp, ()))
        if cp in html.entities.codepoint2name:
            found.add(html.entities.codepoint2name[cp])
        return found

    def pairs_well(self, cp, name):
        """Whether name would make the loader pair cp with its true partner, or with nothing at all."""
        other = partner(cp)
        capital = "A" <= name[0] <= "Z"
        if other is None:
            return capital == (unicodedata.category(chr(cp)) == "Lu")
        if unicodedata.category(chr(cp)) == "Lu":
            return capital and fold(name) in self.candidates(other)
        return any("A" <= o[0] <= "Z" and fold(o) == name for o in self.candidates(other))

    def usable(self, cp, name):
        return self.owner.get(name, cp) == cp

    def __call__(self, cp):
        if cp in self.name:
            return self.name[cp]
        chosen = None
        html4 = html.entities.codepoint2name.get(cp)
        if html4 is not None and self.usable(cp, html4):
            chosen = html4
        else:
            # Names that pair correctly first, then short ISO names before CamelCase aliases
            # ("DiacriticalTilde"), then the shortest, then alphabetical order.
            ranked = sorted((n for n in self.candidates(cp) if self.usable(cp, n)),
                            key=lambda n: (not self.pairs_well(cp, n),
                                           re.search("[a-z][A-Z]", n) is not None, len(n), n))
            chosen = ranked[0] if ranked else "uni%04X" % cp
        self.check(cp, chosen)
        self.name[cp] = chosen
        self.owner[chosen] = cp
        return chosen

    def check(self, cp, name):
        if name in self.owner and self.owner[name] != cp:
            fail("name %s of U+%04X already names U+%04X" % (name, cp, self.owner[name]))
        if not re.fullmatch("[A-Za-z0-9][!-~]*", name) or len(name) > NAME_MAX or set("&;#") & set(name):
            fail("name %r of U+%04X cannot be written in a reference" % (name, cp))


def classes(cp):
    """Our subset classes of a code point (5 to 11)."""
    category = unicodedata.category(chr(cp))
    found = []
    if category.startswith("L"):
        found.append(LETTER)
    if category == "Nd":
        found.append(DIGIT)
    if cp in WHITE_SPACE:
        found.append(SPACE)
    if category.startswith("P"):
        found.append(PUNCT)
    if category.startswith("S"):
        found.append(SYMBOL)
    if category == "Cc":
        found.append(CONTROL)
    if category.startswith("L") or category == "Nd" or cp == 0x5F:
        found.append(WORD)
    return found


def type_fields(points, names):
    """The type field of every byte of one set, with the case pairing the loader will make checked."""
    value_of = {names[b]: b for b in points}
    fields = {}
    paired = set()
    lower_taken = {}
    for byte, cp in points.items():
        name = names[byte]
        items = []
        for role, letter in ((BEGIN, "B"), (END, "E"), (NUMERIC, "N")):
            if cp == role:
                items.append(letter)
        if "A" <= name[0] <= "Z" and fold(name) in value_of:
            lower = value_of[fold(name)]
            true_pair = unicodedata.category(chr(cp)) == "Lu" and partner(cp) == points[lower]
            if true_pair:
                if lower in lower_taken:
                    fail("%s and %s fold to one name" % (name, names[lower_taken[lower]]))
                lower_taken[lower] = byte
                paired.update((byte, lower))
            else:
                items.append("-4")
        fields[byte] = items
    for byte, cp in points.items():
        category = unicodedata.category(chr(cp))
        other = partner(cp)
        if other is not None and other in points.values() and byte not in paired:
            fail("%s (U+%04X) would not be paired with its case partner U+%04X" % (names[byte], cp, other))
        subsets = classes(cp)
        if byte not in paired and category in ("Ll", "Lu"):
            subsets.append(LOWER if category == "Ll" else UPPER)
        fields[byte] += [str(n) for n in sorted(subsets)]
    return fields


GENERATED = """\
! Generated by data/generate.py from Python's codec tables and the HTML/ISO 8879 entity names; do not
! edit by hand: change the script and run it again.
"""

SET_NOTES = """\
! References: "&" begins them, ";" ends them, "#" makes them numeric (&eacute; &#233;).
! Names: ASCII characters bear the names of the engine's built-in set (96 is "grave"), control
! characters their standard abbreviations (NUL, ESC, DEL, PAD, NEL, CSI ...), other characters their
! HTML 4 entity name, else an HTML5/ISO 8879 entity name for exactly that character, else uniXXXX
! (the code point in hexadecimal). A character bears the same name in every shipped set.
! Subsets: 1 every character; 2 letters with a case partner, 3 lower case, 4 upper case (paired by
! name when loaded; letters without a partner here carry 3 or 4); 5 letters; 6 decimal digits;
! 7 white space; 8 punctuation; 9 symbols; 10 control characters; 11 word characters (letters, digits
! and "_"). A -4 keeps a name from being paired with its folded form when the two are not a case pair.
"""


def set_file(file_name, codec, description, points, names):
    fields = type_fields(points, names)
    lines = ["! %s: %s\n" % (file_name, description), GENERATED,
             "! Byte values from Python's %s codec; bytes the codec leaves undefined are not listed.\n"
             % codec, SET_NOTES]
    base = None
    for byte in sorted(points):
        wanted = 8 if byte < 32 or byte == 127 else 10 if byte < 128 else 16
        if wanted != base:
            base = wanted
            lines.append("#BASE %d\n" % base)
        value = "%03o" % byte if base == 8 else "%03d" % byte if base == 10 else "%3X" % byte
        lines.append("%s\t%s\t%s\n" % (value, ",".join(fields[byte]), names[byte]))
    return "".join(lines)


# Approximations that Unicode decomposition does not give, by code point.
TRANSLIT = {
    0x00A0: " ", 0x00AD: "", 0x00A1: "!", 0x00A2: "c", 0x00A3: "GBP", 0x00A5: "JPY", 0x00A6: "|",
    0x00A8: '"', 0x00A9: "(C)", 0x00AB: "<<", 0x00AE: "(R)", 0x00AF: "-", 0x00B0: "deg",
    0x00B1: "+/-", 0x00B4: "'", 0x00B5: "u", 0x00B7: ".", 0x00B8: ",", 0x00BB: ">>", 0x00BC: "1/4",
    0x00BD: "1/2", 0x00BE: "3/4", 0x00BF: "?", 0x00C6: "AE", 0x00D0: "D", 0x00D7: "x", 0x00D8: "O",
    0x00DE: "TH", 0x00DF: "ss", 0x00E6: "ae", 0x00F0: "d", 0x00F7: "/", 0x00F8: "o", 0x00FE: "th",
    0x0110: "D", 0x0111: "d", 0x0131: "i", 0x0141: "L", 0x0142: "l", 0x0152: "OE", 0x0153: "oe",
    0x0192: "f", 0x02C6: "^", 0x02DC: "~", 0x02DD: '"',
    # Greek letters of the IBM PC code pages, romanized
    0x0393: "G", 0x0398: "Th", 0x03A3: "S", 0x03A6: "F", 0x03A9: "O", 0x03B1: "a", 0x03B4: "d",
    0x03B5: "e", 0x03C0: "p", 0x03C3: "s", 0x03C4: "t", 0x03C6: "f",
    0x2013: "-", 0x2014: "--", 0x2017: "=", 0x2018: "'", 0x2019: "'", 0x201A: "'", 0x201C: '"',
    0x201D: '"', 0x201E: '"', 0x2022: "*", 0x2026: "...", 0x2030: "o/oo", 0x2039: "<", 0x203A: ">",
    0x2044: "/", 0x20A7: "Pts", 0x20AC: "EUR", 0x2122: "(TM)", 0x2219: ".", 0x2248: "~",
    0x2260: "!=", 0x2261: "==", 0x2264: "<=", 0x2265: ">=",
    0x2588: "#", 0x2580: "#", 0x2584: "#", 0x258C: "#", 0x2590: "#", 0x2591: "#", 0x2592: "#",
    0x2593: "#", 0x25A0: "#",
}


def box_drawing(cp):
    """Box-drawing lines as "-", "=", "|" and their junctions as "+"."""
    if not 0x2500 <= cp <= 0x257F:
        return None
    words = unicodedata.name(chr(cp)).split()
    if words[-1] == "HORIZONTAL" and len(words) == 4:
        return "=" if words[2] in ("DOUBLE", "HEAVY") else "-"
    if words[-1] == "VERTICAL" and len(words) == 4:
        return "|"
    return "+"


def approximation(cp):
    """An ASCII approximation of a non-ASCII character, or None when it has no sensible one."""
    if cp in TRANSLIT:
        return TRANSLIT[cp]
    box = box_drawing(cp)
    if box is not None:
        return box
    category = unicodedata.category(chr(cp))
    if category[0] not in "LN" and category != "Zs":
        return None
    base = "".join(c for c in unicodedata.normalize("NFKD", chr(cp)) if unicodedata.category(c) != "Mn")
    if base and all(" " <= c <= "~" for c in base):
        return base
    return None


def table_string(text):
    """text as a quoted string of the table syntax, written in the built-in set."""
    escaped = {"\\": "\\\\", '"': '\\"', "%": "&percnt;", "&": "&amp;"}
    return '"' + "".join(escaped.get(c, c) for c in text) + '"'


def translit_file(used):
    lines = ["! translit: non-ASCII characters as ASCII approximations\n", GENERATED,
             "! Run it on a text before converting it to ascii: each entry replaces one character of\n"
             "! the shipped sets by ASCII text (accents dropped, ligatures spelled out, quotes, dashes\n"
             "! and box drawing as plain signs). Characters without an entry have no sensible one.\n"]
    for cp in sorted(used):
        if cp < 0x80 or unicodedata.category(chr(cp)) == "Cc":
            continue
        text = approximation(cp)
        if text is not None:
            lines.append('"&%s;" %s\n' % (used[cp], table_string(text)))
    return "".join(lines)


def utf8_set_file(namer):
    """The set that tables use for UTF-8 text: ASCII as in every shipped set, and the bytes 0x80 to 0xFF
    of UTF-8 sequences as characters of their own, named utf8xHH, which tables pass through unchanged."""
    points = code_points("ascii")
    names = {byte: namer(cp) for byte, cp in points.items()}
    fields = type_fields(points, names)
    lines = ["! utf8: UTF-8 text for substitution tables: ASCII, other characters passed through\n", GENERATED,
             "! A table over UTF-8 text (runeflow -t TABLE:utf8) sees ASCII as in every shipped set and each\n"
             "! byte of a longer UTF-8 sequence as a character of its own, named utf8xHH after its value and\n"
             "! in no subset but 1, so that the table passes it through. Conversions from and to UTF-8\n"
             "! (runeflow -c utf8:SET, -c SET:utf8) do not read this file: they convert characters.\n",
             "! References, names and subsets of ASCII as in ascii.chs.\n"]
    base = None
    for byte in range(256):
        wanted = 8 if byte < 32 or byte == 127 else 10 if byte < 128 else 16
        if wanted != base:
            base = wanted
            lines.append("#BASE %d\n" % base)
        if byte < 128:
            value = "%03o" % byte if base == 8 else "%03d" % byte
            lines.append("%s\t%s\t%s\n" % (value, ",".join(fields[byte]), names[byte]))
        else:
            lines.append("%3X\t\tutf8x%02X\n" % (byte, byte))
    return "".join(lines)


def reading_names(namer, shipped_names):
    """Every name a reference may use, with the code points it stands for: the HTML5 entity names and
    the names of the shipped sets, a set's meaning winning where the two differ ("circ" is "^")."""
    names = {}
    for entity, text in html.entities.html5.items():
        if entity.endswith(";"):
            names[entity[:-1]] = tuple(ord(c) for c in text)
    for name, cp in shipped_names.items():
        names[name] = (cp,)
    for cp, name in namer.name.items():
        if names.get(name) != (cp,):
            fail("the name %s written for U+%04X reads as %r" % (name, cp, names.get(name)))
    return names


def cpp_string(name):
    if not re.fullmatch("[!-~]+", name) or set('"\\?') & set(name):
        fail("name %r cannot be written as a C++ string as it is" % name)
    return '"%s"' % name


def name_table_file(namer, shipped_names):
    """The engine's table of Unicode names: every name a reference may use, in byte order, and the name
    written for each code point that has one, in code point order."""
    names = reading_names(namer, shipped_names)
    ordered = sorted(names, key=lambda n: n.encode("ascii"))
    index = {name: i for i, name in enumerate(ordered)}
    lines = ["// The names of Unicode characters in references, for the UTF-8 stage. Generated by data/generate.py\n",
             "// from Python's HTML5 entity table and the names of the shipped sets; do not edit by hand: change\n",
             "// the script and run it again.\n",
             '#include "engine/charset/unicode_names.h"\n\n',
             "// Every HTML5 entity name and every name of the shipped sets, in byte order, with the one or two\n",
             "// code points it stands for (a set's meaning where an HTML5 name means another character).\n",
             "const UnicodeName kUnicodeNames[] = {\n"]
    for name in ordered:
        points = names[name]
        second = "0x%04X" % points[1] if len(points) > 1 else "kNoPoint"
        lines.append("    {%s, 0x%04X, %s},\n" % (cpp_string(name), points[0], second))
    lines.append("};\n")
    lines.append("const unsigned int kUnicodeNameCount = %d;\n\n" % len(ordered))
    lines.append("// The name written for a code point, by the shipped sets' rule, in code point order.\n")
    lines.append("const UnicodeWrittenName kWrittenNames[] = {\n")
    for cp in sorted(namer.name):
        lines.append("    {0x%04X, %d},  // %s\n" % (cp, index[namer.name[cp]], namer.name[cp]))
    lines.append("};\n")
    lines.append("const unsigned int kWrittenNameCount = %d;\n" % len(namer.name))
    return "".join(lines)


def generate(root):
    """Writes every file below root, a copy of the top of the tree; returns their names relative to it."""
    directory = os.path.join(root, "data")
    os.makedirs(directory, exist_ok=True)
    namer = Namer()
    used = {}
    written = []
    for file_name, codec, description in SETS:
        points = code_points(codec)
        names = {byte: namer(cp) for byte, cp in points.items()}
        for byte, cp in points.items():
            used[cp] = names[byte]
        for role in (BEGIN, END, NUMERIC):
            if points.get(role) != role:
                fail("%s lacks the reference character U+%04X" % (codec, role))
        path = os.path.join(directory, file_name + ".chs")
        with open(path, "w", encoding="ascii", newline="\n") as out:
            out.write(set_file(file_name, codec, description, points, names))
        written.append(os.path.join("data", file_name + ".chs"))
    with open(os.path.join(directory, "translit.sub"), "w", encoding="ascii", newline="\n") as out:
        out.write(translit_file(used))
    written.append(os.path.join("data", "translit.sub"))
    shipped_names = {name: cp for cp, name in used.items()}
    with open(os.path.join(directory, "utf8.chs"), "w", encoding="ascii", newline="\n") as out:
        out.write(utf8_set_file(namer))
    written.append(os.path.join("data", "utf8.chs"))
    # Every other character with an HTML5 name is named by the same rule, after the sets' characters.
    for cp in sorted(namer.html5):
        namer(cp)
    os.makedirs(os.path.join(root, os.path.dirname(NAME_TABLE)), exist_ok=True)
    with open(os.path.join(root, NAME_TABLE), "w", encoding="ascii", newline="\n") as out:
        out.write(name_table_file(namer, shipped_names))
    written.append(NAME_TABLE)
    return written


def main(arguments):
    if arguments not in ([], ["--check"]):
        sys.exit("usage: generate.py [--check]")
    if not arguments:
        generate(ROOT)
        return 0
    with tempfile.TemporaryDirectory() as scratch:
        differing = [name for name in generate(scratch)
                     if not os.path.exists(os.path.join(ROOT, name))
                     or not filecmp.cmp(os.path.join(scratch, name), os.path.join(ROOT, name), shallow=False)]
    for name in differing:
        print("%s differs from what data/generate.py writes" % name)
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
