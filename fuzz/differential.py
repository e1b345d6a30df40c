#!/usr/bin/env python3
"""Differential runs: the runeflow command built from a baseline commit and the one built from the work
tree (or any other binary) run on the same random tables, sets, texts and pipelines, and must give the
same output bytes, messages and exit code. It guards rewrites of the substitution and conversion stages.

  fuzz/differential.py [--baseline REF] [--new PATH] [--seed S] [--cases N | --case N] [--jobs J] [--keep DIR]
"""
import argparse
import dataclasses
import multiprocessing
import os
import pathlib
import random
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # importing the seed writer must leave no cache in the tree
FUZZ = pathlib.Path(__file__).resolve().parent
TREE = FUZZ.parent
sys.path.insert(0, str(FUZZ))
from make_seeds import CONVERSION_SETS, CONVERSION_TEXTS, SUBSTITUTIONS, TABLE_LINES, TABLE_REFUSALS  # noqa: E402

WORK = pathlib.Path("/tmp/differential")
RUN_TIMEOUT = 30  # seconds one run may take before it counts as hung
BLOCK = 500  # bytes of a queue block and of the substitution window's usual size
MAX_STRING = 128  # a pattern or replacement holds fewer characters than this (kMaxPattern)
MAX_LINE = 255  # characters of a set or table line before its line end (kLineMax)
MAX_ALIAS = 19  # characters of an alias's name or value
SUBSET_NUMBERS = list(range(1, 12))  # the subsets the shipped sets define
VARIABLE_NAMES = "abtxAB"  # few names, so that entries share variables


# --- Building the two binaries ----------------------------------------------------------------------

def build(source, build_dir):
    """Release build of the command and its shipped files; returns the binary's path."""
    subprocess.run(["cmake", "-S", str(source), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
                    "-DRUNEFLOW_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build_dir), "-j2", "--target", "runeflow_command", "runeflow_data"],
                   check=True, stdout=subprocess.DEVNULL)
    binary = build_dir / "bin" / "runeflow"
    if not os.access(binary, os.X_OK):
        sys.exit("differential: the build in %s made no %s" % (build_dir, binary))
    return binary


def build_baseline(ref):
    """The baseline binary of ref, built once per commit from an export of it (the work tree is not
    touched); returns the binary and the exported source tree."""
    commit = subprocess.run(["git", "-C", str(TREE), "rev-parse", "--verify", ref + "^{commit}"], check=True,
                            capture_output=True, text=True).stdout.strip()
    cache = WORK / ("baseline-" + commit)
    source, binary = cache / "src", cache / "build" / "bin" / "runeflow"
    if not (cache / "built").exists():
        shutil.rmtree(cache, ignore_errors=True)
        source.mkdir(parents=True)
        archive = subprocess.Popen(["git", "-C", str(TREE), "archive", commit], stdout=subprocess.PIPE)
        subprocess.run(["tar", "-x", "-C", str(source)], stdin=archive.stdout, check=True)
        if archive.wait() != 0:
            sys.exit("differential: git archive %s failed" % commit)
        build(source, cache / "build")
        (cache / "built").write_text(commit + "\n")
    return binary, source


# --- Character sets ---------------------------------------------------------------------------------

@dataclasses.dataclass
class CharSet:
    """What the generators need to know of a set: its bytes' names and subsets, its reference syntax."""
    file: str  # the name given on the command line
    names: dict  # byte -> name
    subsets: dict  # subset number -> list of bytes
    begin: int = -1
    end: int = -1
    numeric: int = -1


def parse_set(file, text):
    """Reads a set file's text leniently (a line the engine would refuse is skipped)."""
    charset = CharSet(file, {}, {})
    base = 10
    for line in text.decode("latin-1").splitlines():
        if line.startswith("#BASE "):
            base = {"8": 8, "10": 10, "16": 16}.get(line[6:].strip(), base)
            continue
        fields = line.split("\t")
        if line.startswith("!") or len(fields) < 3:
            continue
        try:
            byte = int(fields[0].strip(), base)
        except ValueError:
            continue
        if not 0 <= byte <= 255:
            continue
        charset.names[byte] = fields[2]
        for role in fields[1].split(","):
            if role in ("B", "E", "N"):
                setattr(charset, {"B": "begin", "E": "end", "N": "numeric"}[role], byte)
            elif role.isdigit():
                charset.subsets.setdefault(int(role), []).append(byte)
    return charset


def shipped_sets(data):
    """The shipped sets that both binaries convert alike: "utf8" names UTF-8 text, which only the UTF-8
    stage converts, so it is left out."""
    return {path.stem: parse_set(path.stem, path.read_bytes()) for path in sorted(data.glob("*.chs"))
            if path.stem != "utf8"}


# --- Case generation --------------------------------------------------------------------------------

@dataclasses.dataclass
class Case:
    kind: str
    args: list  # command-line arguments after the program
    files: dict  # file name (in the case's directory) -> bytes
    env: dict  # variables set before the run
    stdin: bytes = b""


def log_uniform(rng, low, high):
    """An integer in [low, high], small values as likely as large orders of magnitude."""
    return min(high, int(low * (high / low) ** rng.random()))


def text_length(rng):
    """Mostly a few blocks, sometimes empty or within one block, often up to 60 KB."""
    roll = rng.random()
    if roll < 0.05:
        return 0
    if roll < 0.25:
        return rng.randint(1, BLOCK)
    if roll < 0.65:
        return rng.randint(BLOCK, 8 * BLOCK)
    return log_uniform(rng, 8 * BLOCK, 60000)


class Pattern:
    """A pattern or replacement under construction: its table text, and the pieces that give a text
    matching it (literal bytes, one byte of a subset, a run of bytes up to a limit)."""

    def __init__(self):
        self.table = ""
        self.pieces = []
        self.captures = 0
        self.wildcard = False

    def add(self, table, piece=None):
        self.table += table
        if piece is not None:
            self.pieces.append(piece)


class TableGenerator:
    """Writes a random substitution table for a text in charset, and texts that its entries match."""

    def __init__(self, rng, charset, most_entries):
        self.rng = rng
        self.charset = charset
        self.alphabet = self.make_alphabet()
        self.words = self.make_words()
        self.aliases = {}  # alias name -> Pattern it stands for
        self.samples = []  # one Pattern per entry, to build texts from
        self.most_entries = most_entries

    def make_alphabet(self):
        rng = self.rng
        pool = list(b"abcdefghij") + list(b"ABXYZ0123 <>/=&;#.,-\n\t\"\\%*?")
        alphabet = rng.sample(pool, rng.randint(2, 9))
        high = [b for b in self.charset.names if b >= 128]
        if high and rng.random() < 0.5:
            alphabet += rng.sample(high, min(len(high), rng.randint(1, 4)))
        return bytes(alphabet)

    def make_words(self):
        """Words with shared prefixes, repeated letters, and words that are prefixes and suffixes of
        others."""
        rng = self.rng
        words = set(bytes([b]) for b in self.alphabet)
        for _ in range(rng.randint(3, 40)):
            kind = rng.random()
            if kind < 0.15:
                words.add(bytes([rng.choice(self.alphabet)]) * rng.randint(2, 6))
            elif kind < 0.6 and words:
                word = rng.choice(sorted(words))
                cut = rng.randint(0, len(word))
                stem = word[:cut] if rng.random() < 0.6 else word[cut:]
                words.add(stem + bytes(rng.choice(self.alphabet) for _ in range(rng.randint(1, 4))))
            else:
                words.add(bytes(rng.choice(self.alphabet) for _ in range(rng.randint(2, 8))))
        return sorted(words)

    def spell(self, byte, in_pattern):
        """Table text that stands for the text byte."""
        rng = self.rng
        if 0x20 <= byte < 0x7F and chr(byte) not in '"\\&%' and rng.random() < 0.95:
            return chr(byte)
        if byte == ord('"') and rng.random() < 0.7:
            return '\\"'
        if byte == ord("%") and not in_pattern and rng.random() < 0.3:
            return "%"  # names a variable when a character follows: another text, as good a case
        name = self.charset.names.get(byte)
        if name and 0 < len(name) < 32 and ";" not in name and rng.random() < 0.5:
            return "&" + name + ";"
        return "&#%d;" % byte

    def literal(self, pattern, word, in_pattern=True, escaped=0.0):
        for byte in word:
            if byte == 0:
                continue  # a NUL cannot be written in a table
            if pattern.table.endswith(("\\-", "\\+")) and chr(byte).isdigit():
                pattern.add("&#%d;" % byte, ("bytes", bytes([byte])))  # "\-5" would read as "\" and -5
                continue
            if escaped and chr(byte).isalpha() and byte < 128 and self.rng.random() < escaped:
                letter = chr(byte)
                pattern.add("\\" + letter, ("either", byte))
            else:
                pattern.add(self.spell(byte, in_pattern), ("bytes", bytes([byte])))

    def capture(self, pattern):
        rng = self.rng
        letter = rng.choice("??!.")
        subset = rng.choice(SUBSET_NUMBERS) if letter == "?" and rng.random() < 0.4 else 0
        pattern.add("\\%s%s" % (subset or "", letter), ("one", subset))
        pattern.captures += 1

    def wildcard(self, pattern, limit):
        rng = self.rng
        if rng.random() < 0.2:
            pattern.add("%" + rng.choice(VARIABLE_NAMES), ("run", 0, limit))
        else:
            subset = rng.choice(SUBSET_NUMBERS) if rng.random() < 0.3 else 0
            pattern.add("\\%s%s" % (subset or "", rng.choice("**+-")), ("run", subset, limit))
        pattern.wildcard = True

    def word(self):
        return self.rng.choice(self.words)

    def pattern(self, limit):
        """A pattern: mostly a literal word, else words with captures, escaped letters, a wildcard, a
        group switch, given-back text or aliases."""
        rng = self.rng
        pattern = Pattern()
        kind = rng.random()
        if kind < 0.5:
            self.literal(pattern, self.word())
            return pattern
        if kind < 0.55:
            self.literal(pattern, self.word(), escaped=0.7)
            return pattern
        for position in range(rng.randint(2, 5)):
            part = rng.random()
            if part < 0.4 or position == 0:
                self.literal(pattern, self.word(), escaped=0.1)
            elif part < 0.6:
                self.capture(pattern)
            elif part < 0.75 and not pattern.wildcard:
                self.wildcard(pattern, limit)
                self.literal(pattern, self.word())
            elif part < 0.82 and self.aliases:
                name = rng.choice(sorted(self.aliases))
                alias = self.aliases[name]
                pattern.add(name)
                pattern.pieces += alias.pieces
                pattern.captures += alias.captures
            elif part < 0.9:
                pattern.add("\\%s<" % rng.choice(["", "2", "3"]))
            else:
                self.literal(pattern, self.word())
        if rng.random() < 0.1:
            at = rng.choice([0, len(pattern.table)])
            switch = "\\%d%s" % (rng.randint(0, 31), rng.choice("[]"))
            pattern.table = pattern.table[:at] + switch + pattern.table[at:]
        return pattern

    def replacement(self, pattern):
        """A replacement that asks only for what the pattern captures (a table with a bad entry is
        made on purpose, elsewhere), at most kMaxPattern - 1 characters long."""
        rng = self.rng
        text = ""
        used = 0  # captures taken since the last "\<" went back to the first
        wildcard_used = False  # a replacement may write the wildcard's text once
        for _ in range(rng.choice([0, 1, 1, 2, 3, 5])):
            part = rng.random()
            if part < 0.35:
                piece = Pattern()
                self.literal(piece, self.word() if rng.random() < 0.7 else b"[", in_pattern=False)
                added = piece.table
            elif part < 0.55 and used < pattern.captures:
                added = "\\" + rng.choice("??!.>")
                used += 1
            elif part < 0.6:
                added = "\\<"
                used = 0
            elif part < 0.7 and pattern.wildcard and not wildcard_used:
                added = "\\%s%s" % (rng.choice(["", "", "3", "4", "5"]), rng.choice("**+-"))
                wildcard_used = True
            elif part < 0.78:
                added = "%" + rng.choice(VARIABLE_NAMES)
            elif part < 0.86:
                added = "\\%d%s" % (rng.randint(0, 31), rng.choice("[]"))
            elif part < 0.87:
                added = "\\^"
            else:
                added = rng.choice(["&LF;", "&amp;", "&lt;", "\\\\", '\\"', "&#233;", "&eacute;", "&nosuch;", "\\q"])
            if len(text + added) < MAX_STRING:
                text += added
        return text

    def fields(self, pattern, limit):
        """The limit and terminators between pattern and replacement, with the separating blanks."""
        rng = self.rng
        fields = ""
        if pattern.wildcard and rng.random() < 0.7 or rng.random() < 0.05:
            fields += " %d" % limit
        if pattern.wildcard and rng.random() < 0.3:
            for _ in range(rng.randint(1, 2)):
                if rng.random() < 0.5:
                    fields += " &*%d;" % rng.choice(SUBSET_NUMBERS)
                else:
                    name = rng.choice(["lt", "gt", "LF", "space", "semi", "amp", "quot"]
                                      + [n for n in self.charset.names.values() if 0 < len(n) < 32])
                    fields += " &%s;" % name
        return fields + " " if fields or rng.random() < 0.95 else ""  # '"a""b"' is read too

    def limit(self, long_window):
        if long_window:
            return self.rng.randint(BLOCK, 6000)
        return self.rng.choice([1, 2, 3, 5, 10, 40, 100, 200, 490, 500, 510])

    def expanded_length(self, pattern):
        """Characters of the pattern's text once its aliases are expanded."""
        text = pattern.table
        for name, alias in self.aliases.items():
            text = text.replace(name, alias.table)
        return len(text)

    def entry(self, long_window=False):
        """An entry line that loads: pattern and replacement short enough, and the line too."""
        while True:
            limit = self.limit(long_window)
            pattern = self.pattern(limit)
            if long_window and not pattern.wildcard:
                pattern = Pattern()
                self.literal(pattern, self.word())
                self.wildcard(pattern, limit)
                self.literal(pattern, self.word())
            line = '"%s"%s"%s"' % (pattern.table, self.fields(pattern, limit), self.replacement(pattern))
            if self.expanded_length(pattern) < MAX_STRING and len(line) <= MAX_LINE:
                self.samples.append(pattern)
                return line

    def entry_count(self):
        rng = self.rng
        roll = rng.random()
        if roll < 0.4:
            count = rng.randint(1, 10)
        elif roll < 0.7:
            count = rng.randint(10, 60)
        elif roll < 0.9:
            count = rng.randint(60, 300)
        elif roll < 0.98:
            count = rng.randint(300, 600)
        else:
            count = rng.randint(600, 700)  # beyond the limit of 600: the load must fail alike
        return min(count, self.most_entries)

    def table(self):
        """The table file's text."""
        rng = self.rng
        lines = []
        if rng.random() < 0.2:
            lines.append('#CONCAT "%s"' % rng.choice([", ", ";", "", "&amp;", "\\n", "-%a-"]))
        for number in range(rng.choice([0, 0, 0, 1, 3])):
            name = "\\_%d" % number  # no escaped letter or other alias begins like it
            alias = Pattern()
            if rng.random() < 0.7:
                self.literal(alias, self.word()[:4])
            else:
                self.capture(alias)
            if len(alias.table) > MAX_ALIAS:
                continue
            self.aliases[name] = alias
            lines.append('#ALIAS "%s" "%s"' % (name, alias.table))
        if rng.random() < 0.08:
            lines.append('"\\*" ""')
        for _ in range(self.entry_count()):
            roll = rng.random()
            if roll < 0.01:
                lines.append(rng.choice(TABLE_LINES))
            elif roll < 0.02:
                lines.append("! " + self.word().decode("latin-1").replace("\n", " "))
            else:
                lines.append(self.entry(long_window=roll > 0.995))
        if rng.random() < 0.03:
            lines.insert(rng.randint(0, len(lines)), rng.choice(TABLE_REFUSALS).rstrip("\n"))
        if rng.random() < 0.03:
            lines.insert(rng.randint(0, len(lines)), self.entry(long_window=True))
        if rng.random() < 0.03:
            lines.insert(rng.randint(0, len(lines)), long_comment(rng))
        ending = "\r\n" if rng.random() < 0.05 else "\n"
        text = ending.join(lines) + (ending if rng.random() < 0.95 else "")
        return text.encode("latin-1")

    def sample(self, pieces):
        """Bytes that pieces match: mostly the ones the pattern expects."""
        rng = self.rng
        out = bytearray()
        for number, piece in enumerate(pieces):
            kind = piece[0]
            if kind == "bytes":
                out += piece[1]
            elif kind == "either":
                out.append(piece[1] ^ 0x20 if rng.random() < 0.5 else piece[1])
            elif kind == "one":
                members = self.charset.subsets.get(piece[1])
                out.append(rng.choice(members) if members and rng.random() < 0.7 else rng.choice(self.alphabet))
            else:
                out += self.wildcard_text(piece[2], pieces[number + 1:])
        return bytes(out)

    def wildcard_text(self, limit, rest):
        """What a wildcard of that limit takes before the pieces rest: mostly a few bytes, sometimes
        about as many as the limit allows (its first byte after kept out, so that it runs that long)."""
        rng = self.rng
        roll = rng.random()
        if roll < 0.85:
            length = rng.randint(0, min(limit, 12))
        elif roll < 0.95:
            length = rng.randint(0, limit + 2)
        else:
            length = rng.randint(max(0, limit - 3), limit + 2)
        alphabet = self.alphabet
        if length > 12 and rest and rest[0][0] == "bytes":
            alphabet = bytes(b for b in alphabet if b != rest[0][1][0]) or alphabet
        return bytes(rng.choice(alphabet) for _ in range(length))

    def text(self, length):
        """A text of about length bytes, mostly the entries' matches, their beginnings and the words."""
        rng = self.rng
        out = bytearray()
        while len(out) < length:
            roll = rng.random()
            if roll < 0.4 and self.samples:
                out += self.sample(rng.choice(self.samples).pieces)
            elif roll < 0.5 and self.samples:
                match = self.sample(rng.choice(self.samples).pieces)
                out += match[:rng.randint(0, len(match))]
            elif roll < 0.75:
                out += self.word()
            elif roll < 0.85:
                out += bytes(rng.choice(self.alphabet) for _ in range(rng.randint(1, 8)))
            elif roll < 0.9:
                out += bytes(rng.randrange(256) for _ in range(rng.randint(1, 4)))
            else:
                out += rng.choice([b" ", b"\n", b"\r\n", b"  "])
        return bytes(out[:length])


def long_comment(rng):
    """A comment line of any length, whose tail would read as an entry or a character if it were cut."""
    return "!" + " " * rng.randint(0, MAX_LINE + 20) + rng.choice(['"e" "CUT"', "069\t\tcut", "x"])


def reference_text(rng, source, others, length):
    """A text for a conversion from source: its bytes, and references in its syntax (named, numeric,
    broken, unknown, too long), some of them split over a block border."""
    begin = bytes([source.begin]) if source.begin >= 0 else b"&"
    end = bytes([source.end]) if source.end >= 0 else b";"
    numeric = bytes([source.numeric]) if source.numeric >= 0 else b"#"
    names = [n for n in source.names.values() if n] or ["x"]
    long_names = [n for n in names if len(n) > 24] or names
    foreign = [n for other in others for n in other.names.values() if n]
    defined = sorted(source.names)
    out = bytearray()
    while len(out) < length:
        roll = rng.random()
        if roll < 0.05:
            # The next reference straddles a block border; a long name crosses it from farther away.
            border = (len(out) // BLOCK + 1) * BLOCK
            out += b"x" * max(0, border - len(out) - rng.choice([rng.randint(1, 40), 33, 34]))
            name = rng.choice(long_names if rng.random() < 0.5 else names)
            out += begin + name.encode("latin-1") + end
        elif roll < 0.3:
            name = rng.choice(names if rng.random() < 0.8 else foreign or names)
            out += begin + name.encode("latin-1") + end
        elif roll < 0.45:
            number = rng.choice([rng.randrange(256), rng.randrange(1000), 0, 65, 233, 99999, -5])
            if rng.random() < 0.3 and number >= 0:
                digits = rng.choice("xX") + ("%X" % number if rng.random() < 0.5 else "%x" % number)
            else:
                digits = ("%d" % number).zfill(rng.choice([1, 1, 4, 5]))
            out += begin + numeric + digits.encode() + (end if rng.random() < 0.9 else b"")
        elif roll < 0.55:
            broken = [begin, begin + end, begin + numeric + end, begin + b"x" * rng.randint(30, 40) + end,
                      begin + rng.choice(names).encode("latin-1"), begin + b" " + end, end, numeric,
                      begin + numeric + b"38 Jerry" + end, begin + numeric + b"x" + end,
                      begin + numeric + b"65" + begin + numeric + b"66" + end, begin + numeric + b"+65" + end,
                      begin + numeric + b" 65" + end, begin + numeric + b"0x41" + end, begin + numeric + b"x4G" + end]
            out += rng.choice(broken)
        elif roll < 0.85 and defined:
            out += bytes(rng.choice(defined) for _ in range(rng.randint(1, 10)))
        elif roll < 0.95:
            out += bytes(rng.randrange(256) for _ in range(rng.randint(1, 6)))
        else:
            out += rng.choice(CONVERSION_TEXTS).encode("latin-1")
    return bytes(out[:length])


def generated_set(rng, shipped, file):
    """A random set file: names mostly borrowed from the shipped sets (so conversions find partners),
    reference characters usually "&", ";", "#", sometimes others or missing, now and then a bad line."""
    borrowed = rng.choice(list(shipped.values()))
    roles = {}
    syntax = rng.random()
    if syntax < 0.7:
        roles = {38: "B", 59: "E", 35: "N"}
    elif syntax < 0.9:
        roles = {123: "B", 125: "E", 36: "N"}
    elif syntax < 0.97:
        roles = {38: "B", 59: "E"}
    else:
        roles = rng.choice([{38: "B"}, {59: "E"}, {}])
    values = set(rng.sample(range(256), rng.randint(10, 256))) | set(roles)
    lines = ["! a generated set"]
    base = 10
    names_used = set()
    for value in sorted(values):
        if rng.random() < 0.02:
            base = rng.choice([8, 10, 16])
            lines.append("#BASE %d" % base)
        if rng.random() < 0.05:
            name = ("long%d" % value).ljust(rng.randint(28, 32), "n")  # up to the longest name allowed
        elif value in borrowed.names and rng.random() < 0.85:
            name = borrowed.names[value]
        else:
            name = rng.choice(list(borrowed.names.values()) + ["x%d" % value, "uni%04X" % value])
        if name in names_used and rng.random() < 0.95:
            continue
        names_used.add(name)
        types = [roles[value]] if value in roles else []
        if rng.random() < 0.5:
            types += [str(n) for n in rng.sample(SUBSET_NUMBERS, rng.randint(1, 2))]
        if rng.random() < 0.02:
            types.append("-4")
        written = {8: "%03o", 10: "%03d", 16: " %02X"}[base] % value
        lines.append("%s\t%s\t%s" % (written, ",".join(types), name))
    if rng.random() < 0.03:
        lines.insert(rng.randint(1, len(lines)), rng.choice(["065\t1\tA", "#BASE 7", "65\t1\tA", "300\t\tbig",
                                                             "066\t99\tB", "067\t\t" + "n" * 40,
                                                             "068\t" + "1," * 130 + "\tlong"]))
    if rng.random() < 0.03:
        lines.insert(rng.randint(1, len(lines)), long_comment(rng))
    text = ("\n".join(lines) + "\n").encode("latin-1")
    return text, parse_set(file, text)


class CaseMaker:
    """Turns a case number into a case; the same seed and number always give the same case."""

    def __init__(self, seed, data):
        self.seed = seed
        self.shipped = shipped_sets(data)
        self.shipped_tables = sorted(path.stem for path in data.glob("*.sub"))
        self.sample_page = (data / "sample.html").read_bytes()

    def environment(self, rng):
        env = {}
        for name in rng.sample("ABTX", rng.choice([0, 0, 1, 2])):
            env[name] = rng.choice(["v", "x&amp;y", "&#65;&nosuch;", "a b", "q" * rng.randint(1, 4093)])
        return env

    def text_set(self, rng):
        return self.shipped["latin1"] if rng.random() < 0.6 else rng.choice(list(self.shipped.values()))

    def make(self, number):
        rng = random.Random("%s:%d" % (self.seed, number))
        roll = rng.random()
        if roll < 0.55:
            case = self.table_case(rng)
        elif roll < 0.6:
            case = self.seed_table_case(rng)
        elif roll < 0.8:
            case = self.conversion_case(rng)
        else:
            case = self.pipeline_case(rng)
        case.env = self.environment(rng)
        self.place_input(rng, case)
        return case

    def place_input(self, rng, case):
        """The text goes in one file, in two files read in order, or on standard input."""
        text = case.files.pop("text")
        roll = rng.random()
        if roll < 0.8:
            case.files["in.txt"] = text
            case.args.append("in.txt")
        elif roll < 0.9:
            cut = rng.randint(0, len(text))
            case.files["in1.txt"], case.files["in2.txt"] = text[:cut], text[cut:]
            case.args += ["in1.txt", "in2.txt"]
        else:
            case.stdin = text

    def table_case(self, rng):
        charset = self.text_set(rng)
        tables = TableGenerator(rng, charset, most_entries=700)
        table = tables.table()
        length = text_length(rng)
        args = ["-v", "-t", "T.sub:" + charset.file] if rng.random() < 0.9 else ["-t", "T.sub:" + charset.file]
        return Case("table", args, {"T.sub": table, "text": tables.text(length)}, {})

    def seed_table_case(self, rng):
        """A table of the stage's unit tests, over longer texts made from its own sample."""
        table, sample = SUBSTITUTIONS[rng.choice(sorted(SUBSTITUTIONS))]
        sample = sample.encode("latin-1")
        length = text_length(rng)
        text = bytearray()
        while len(text) < length:
            cut = rng.randint(0, len(sample))
            text += sample[cut:] + sample[:rng.randint(0, len(sample))]
        return Case("seed-table", ["-v", "-t", "T.sub:latin1"],
                    {"T.sub": table.encode("latin-1"), "text": bytes(text[:length])}, {})

    def pick_set(self, rng, files, file):
        """A set for a conversion: shipped (by name), a generated file, or a set of the seed corpus."""
        roll = rng.random()
        if roll < 0.6:
            name = rng.choice(sorted(self.shipped))
            return self.shipped[name]
        if roll < 0.9:
            text, charset = generated_set(rng, self.shipped, file)
        else:
            text = CONVERSION_SETS[rng.choice(sorted(CONVERSION_SETS))].encode("latin-1")
            charset = parse_set(file, text)
        files[file] = text
        return charset

    def conversion_case(self, rng):
        files = {}
        source = self.pick_set(rng, files, "from.chs")
        if rng.random() < 0.2:
            pair = source.file
            others = [source]
        else:
            destination = self.pick_set(rng, files, "to.chs")
            pair = source.file + ":" + destination.file
            others = [destination]
        files["text"] = reference_text(rng, source, others, text_length(rng))
        return Case("conversion", ["-c", pair], files, {})

    def pipeline_case(self, rng):
        """Two to four stages, conversions and tables mixed, over a text with matches and references."""
        files = {}
        args = ["-v"]
        current = self.text_set(rng)
        generators = []
        for number in range(rng.randint(2, 4)):
            if rng.random() < 0.4:
                destination = self.pick_set(rng, files, "set%d.chs" % number)
                args += ["-c", current.file + ":" + destination.file]
                current = destination
            elif rng.random() < 0.3:
                table = rng.choice(self.shipped_tables)
                args += ["-t", table if number and rng.random() < 0.5 else table + ":" + current.file]
            else:
                tables = TableGenerator(rng, current, most_entries=80)
                file = "T%d.sub" % number
                files[file] = tables.table()
                generators.append(tables)
                args += ["-t", file if number and rng.random() < 0.3 else file + ":" + current.file]
        length = min(text_length(rng), 20000)
        text = bytearray()
        while len(text) < length:
            roll = rng.random()
            if roll < 0.5 and generators:
                text += rng.choice(generators).text(rng.randint(1, 200))
            elif roll < 0.8:
                text += reference_text(rng, self.shipped["latin1"], [current], rng.randint(1, 100))
            else:
                start = rng.randrange(len(self.sample_page))
                text += self.sample_page[start:start + rng.randint(1, 600)]
        files["text"] = bytes(text[:length])
        return Case("pipeline", args, files, {})


# --- Running and comparing --------------------------------------------------------------------------

@dataclasses.dataclass
class Outcome:
    exit: str  # the exit code, or "timeout"
    stdout: bytes
    stderr: bytes


def clean_environment(variables):
    """The environment of a run: no table variables but the case's, no RUNEFLOW_PATH."""
    return dict({"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LC_ALL": "C"}, **variables)


def shipped_directory(binary):
    """Where binary finds its shipped files, as its messages write it (the first directory it lists)."""
    listing = subprocess.run([str(binary), "--list"], env=clean_environment({}), capture_output=True).stdout
    first = listing.split(b"\n", 1)[0]
    prefix = b"Character sets in "
    if not (first.startswith(prefix) and first.endswith(b":")):
        sys.exit("differential: %s --list does not name the shipped directory first" % binary)
    return first[len(prefix):-1]


def run(binary, shipped_dir, case, directory):
    env = clean_environment(case.env)
    try:
        done = subprocess.run([str(binary)] + case.args, cwd=directory, env=env, input=case.stdin,
                              capture_output=True, timeout=RUN_TIMEOUT)
    except subprocess.TimeoutExpired as expired:
        return Outcome("timeout", expired.stdout or b"", expired.stderr or b"")
    # The only text that may differ: where each binary finds its shipped files.
    return Outcome(str(done.returncode), done.stdout, done.stderr.replace(shipped_dir, b"<shipped>"))


def difference(old, new):
    """What differs between two outcomes, in a few words; empty when nothing does."""
    found = []
    if old.exit != new.exit:
        found.append("exit %s vs %s" % (old.exit, new.exit))
    for stream in ("stdout", "stderr"):
        a, b = getattr(old, stream), getattr(new, stream)
        if a != b:
            at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
            found.append("%s differs at byte %d (%d vs %d bytes)" % (stream, at, len(a), len(b)))
    return "; ".join(found)


def save(keep, number, case, binaries, outcomes):
    """Keeps a mismatching case: its files, the command line to run it again, both outcomes."""
    directory = keep / ("case-%d" % number)
    directory.mkdir(parents=True, exist_ok=True)
    for name, data in case.files.items():
        (directory / name).write_bytes(data)
    if case.stdin:
        (directory / "stdin.txt").write_bytes(case.stdin)
    variables = " ".join("%s=%s" % (name, shlex.quote(value)) for name, value in sorted(case.env.items()))
    lines = []
    for label, binary in zip(("baseline", "new"), binaries):
        command = " ".join(shlex.quote(a) for a in [str(binary)] + case.args)
        lines.append("cd %s && env -i PATH=\"$PATH\" LC_ALL=C %s %s%s" % (
            shlex.quote(str(directory)), variables, command, " < stdin.txt" if case.stdin else ""))
    (directory / "command.sh").write_text("# baseline, then new\n" + "\n".join(lines) + "\n")
    for label, outcome in zip(("baseline", "new"), outcomes):
        (directory / (label + ".stdout")).write_bytes(outcome.stdout)
        (directory / (label + ".stderr")).write_bytes(outcome.stderr)
        (directory / (label + ".exit")).write_text(outcome.exit + "\n")
    return directory


class Worker:
    """State of one worker process: the case maker and what to run."""
    maker = None
    binaries = None
    shipped_dirs = None
    keep = None


def start_worker(seed, data, binaries, shipped_dirs, keep):
    Worker.maker = CaseMaker(seed, data)
    Worker.binaries = binaries
    Worker.shipped_dirs = shipped_dirs
    Worker.keep = keep


def check_case(number):
    """Runs case number on both binaries; returns (number, kind, difference, saved directory or None)."""
    case = Worker.maker.make(number)
    with tempfile.TemporaryDirectory(prefix="case-", dir=WORK) as directory:
        for name, data in case.files.items():
            pathlib.Path(directory, name).write_bytes(data)
        outcomes = [run(binary, shipped, case, directory)
                    for binary, shipped in zip(Worker.binaries, Worker.shipped_dirs)]
    found = difference(*outcomes)
    saved = save(Worker.keep, number, case, Worker.binaries, outcomes) if found else None
    return number, case.kind, found, saved


def next_keep_directory():
    parent = WORK / "mismatches"
    number = 1
    while (parent / str(number)).exists():
        number += 1
    return parent / str(number)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--baseline", default="3706f48", help="git ref of the baseline (default 3706f48)")
    parser.add_argument("--new", help="binary to compare (default: built from the work tree)")
    parser.add_argument("--seed", default="1", help="seed of the random cases (default 1)")
    parser.add_argument("--cases", type=int, default=2000, help="number of cases (default 2000)")
    parser.add_argument("--case", type=int, help="run only this case number (as reported by a mismatch)")
    parser.add_argument("--jobs", type=int, default=1, help="cases run at once (default 1)")
    parser.add_argument("--keep", help="where mismatching cases are saved (default /tmp/differential/mismatches/N)")
    options = parser.parse_args()

    WORK.mkdir(parents=True, exist_ok=True)
    baseline, baseline_source = build_baseline(options.baseline)
    # Each work tree builds into its own folder, so that work trees of one repository can run at once.
    new = pathlib.Path(options.new).resolve() if options.new else build(TREE, WORK / ("new-" + TREE.name))
    keep = pathlib.Path(options.keep) if options.keep else next_keep_directory()
    numbers = [options.case] if options.case is not None else range(options.cases)
    print("baseline %s (%s), new %s, seed %s" % (baseline, options.baseline, new, options.seed), flush=True)

    mismatches = 0
    binaries = [baseline, new]
    shipped_dirs = [shipped_directory(binary) for binary in binaries]
    with multiprocessing.Pool(options.jobs, start_worker,
                              (options.seed, baseline_source / "data", binaries, shipped_dirs, keep)) as pool:
        for number, kind, found, saved in pool.imap_unordered(check_case, numbers, chunksize=4):
            if found:
                mismatches += 1
                print("mismatch: case %d (%s): %s; saved in %s" % (number, kind, found, saved), flush=True)
    print("cases: %d, mismatches: %d" % (len(numbers), mismatches))
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
