#!/usr/bin/env python3
"""Runs runeflow side by side with iconv, recode, sed, perl, html2text and w3m on the same generated inputs.

It builds runeflow in Release (or takes --runeflow), writes deterministic inputs into a scratch
directory, runs every command several times, interleaved, checks that every peer writes exactly
runeflow's output (where the tools lay text out alike), and reports throughput and peak memory as ratios against runeflow, next to the
ratios we hold the engine to. bench/README.md says how to run it and what each case measures.
"""

import argparse
import contextlib
import datetime
import hashlib
import html
import html.entities
import os
import platform
import random
import re
import shlex
import shutil
import statistics
import string
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

SOURCE_ROOT = Path(__file__).resolve().parent.parent
DEFAULT_RESULTS = SOURCE_ROOT / "bench" / "results.md"
DEFAULT_SCRATCH = Path("/tmp/runeflow-bench")
SAMPLE_PAGE = SOURCE_ROOT / "data" / "sample.html"
MB = 1_000_000
QUICK_SCALE = 0.005        # --quick: 1 MB where a full run reads 200 MB
POOL_LINES = 4000          # distinct lines an input is drawn from
VOCABULARY_SIZE = 1000     # words of the substitution texts
WORD_LENGTH = 8            # every vocabulary word has this length, so an entry only matches a whole word
TAG_LIMIT = 200            # wildcard limit of the tag-stripping entry; every generated tag is shorter
GROWTH_SIZES = (100_000, 10 * MB)  # the two input sizes of a growth case
GROWTH_BOUND = 3           # a growth case's cost per input byte may grow at most this much between them
TOOL_ENV = dict(os.environ, LC_ALL="C")  # sed and perl see bytes, whatever the caller's locale

LATIN1_LETTERS = "".join(chr(c) for c in range(0xC0, 0x100) if c not in (0xD7, 0xF7))
# Runeflow resolves references in every conversion, so the plain conversion text holds no "&".
PRINTABLE_WITHOUT_AMPERSAND = "".join(chr(c) for c in range(0x20, 0x7F) if c != ord("&"))
LATIN1_REFERENCES = (
    ["&amp;", "&lt;", "&gt;", "&quot;"]
    + [f"&{html.entities.codepoint2name[c]};" for c in range(0xA0, 0x100)]
    + [f"&#{c};" for c in [*range(0x20, 0x7F), *range(0xA0, 0x100)]]
)
# A Latin-1 letter as a page written with references writes it: mostly by name, else in decimal or in
# hexadecimal.
LATIN1_LETTER_REFERENCES = [
    form for c in map(ord, LATIN1_LETTERS)
    for form in (f"&{html.entities.codepoint2name[c]};",) * 2 + (f"&#{c};", f"&#x{c:X};")
]

# One alternation of the table's words, each looked up in a hash. Arguments: the tab-separated
# table, then the input.
PERL_LITERAL_TABLE = (
    "open my $t, '<', shift or die; my %to;"
    " while (<$t>) { chomp; my ($from, $to) = split /\\t/; $to{$from} = $to }"
    " my $words = join '|', map quotemeta, sort { length $b <=> length $a } keys %to;"
    " while (<>) { s/($words)/$to{$1}/go; print }"
)
TAG_PATTERN = "<[^>]*>"


# ---------------------------------------------------------------------------------------------
# Inputs: every case draws lines from a pool made with a fixed seed, so a size gives one file.

def write_drawn(out, size, pool, rng):
    """Writes whole lines drawn from pool (bytes, each ending in a newline) to the binary file out
    until at least size bytes are written."""
    mean_length = sum(map(len, pool)) / len(pool)
    written = 0
    while written < size:
        count = max(1, min(4096, int((size - written) / mean_length) + 1))
        chunk = b"".join(rng.choices(pool, k=count))
        out.write(chunk)
        written += len(chunk)


def random_word(rng, letters, shortest, longest):
    return "".join(rng.choices(letters, k=rng.randint(shortest, longest)))


def conversion_pool(rng):
    """Printable ASCII with about one Latin-1 letter in seven; no C1 controls."""
    return [
        ("".join(rng.choice(LATIN1_LETTERS) if rng.random() < 0.15 else rng.choice(PRINTABLE_WITHOUT_AMPERSAND)
                 for _ in range(rng.randint(30, 110))) + "\n").encode("latin-1")
        for _ in range(POOL_LINES)
    ]


def entities_pool(rng):
    """HTML paragraphs of words, some with Latin-1 letters, and references to Latin-1 characters,
    some standing alone and some inside words."""
    letters = string.ascii_letters * 4 + LATIN1_LETTERS
    pool = []
    for _ in range(POOL_LINES):
        parts = []
        for _ in range(rng.randint(4, 14)):
            parts.append(random_word(rng, letters, 1, 9))
            if rng.random() < 0.4:
                parts.append(rng.choice(LATIN1_REFERENCES))
            parts.append(" " if rng.random() < 0.8 else "")
        pool.append(f"<p>{''.join(parts).rstrip()}</p>\n".encode("latin-1"))
    return pool


def dense_entities_pool(rng):
    """Paragraphs as a page written with references: ASCII words in which a Latin-1 letter is written as
    a named, decimal or hexadecimal reference, and references between the words; about one reference
    every 25 bytes, the rest plain ASCII."""
    pool = []
    for _ in range(POOL_LINES):
        words = []
        for _ in range(rng.randint(8, 24)):
            word = ""
            for _ in range(rng.randint(2, 8)):
                word += rng.choice(LATIN1_LETTER_REFERENCES) if rng.random() < 0.06 else rng.choice(string.ascii_lowercase)
            words.append(word)
            if rng.random() < 0.04:
                words.append(rng.choice(["&amp;", "&nbsp;", "&quot;", "&lt;", "&gt;"]))
        pool.append(f"<p>{' '.join(words)}.</p>\n".encode("ascii"))
    return pool


def vocabulary(rng):
    """VOCABULARY_SIZE distinct lower-case words of WORD_LENGTH letters, in the order drawn."""
    words, seen = [], set()
    while len(words) < VOCABULARY_SIZE:
        word = "".join(rng.choices(string.ascii_lowercase, k=WORD_LENGTH))
        if word not in seen:
            seen.add(word)
            words.append(word)
    return words


def words_pool(rng, words):
    """Lines of vocabulary words separated by single spaces."""
    return [(" ".join(rng.choices(words, k=rng.randint(6, 14))) + "\n").encode("ascii") for _ in range(POOL_LINES)]


def tagged_pool(rng):
    """Text with HTML tags on the same line as the words around them, none longer than TAG_LIMIT."""
    letters = string.ascii_lowercase * 3 + string.digits + ".,;:!?'\"()-"
    tags = ["<b>", "</b>", "<i>", "</i>", "<br>", "</a>", "</span>"]
    pool = []
    for _ in range(POOL_LINES):
        parts = []
        for _ in range(rng.randint(4, 14)):
            parts.append(random_word(rng, letters, 1, 10))
            if rng.random() < 0.3:
                number = rng.randint(1, 99999)
                parts.append(rng.choice(tags + [f'<a href="https://example.org/page/{number}.html">',
                                                f'<span class="c{number}">',
                                                f'<img src="pictures/{number}.png" alt="picture {number}">']))
        pool.append((" ".join(parts) + "\n").encode("ascii"))
    return pool


def page_parts(rng, sample, encoding="cp1252"):
    """Splits the sample page into its head, up to <body>, variations of its body and its end, each in
    the encoding given."""
    head, rest = sample.split("<body>\n", 1)
    body, tail = rest.split("</body>", 1)
    bodies = []
    for number in range(POOL_LINES // 10):
        varied = re.sub(r"\d+\.\d\d", lambda _: f"{rng.randint(1, 99)}.{rng.randint(0, 99):02}", body)
        bodies.append(varied.replace("</h1>", f" &ndash; No.&nbsp;{number}</h1>", 1).encode(encoding))
    return (head + "<body>\n").encode(encoding), bodies, ("</body>" + tail).encode(encoding)


def write_page(out, size, rng):
    head, bodies, tail = page_parts(rng, SAMPLE_PAGE.read_text("cp1252"))
    out.write(head)
    write_drawn(out, size - len(head) - len(tail), bodies, rng)
    out.write(tail)


def write_utf8_page(out, size, rng):
    """The sample page in UTF-8, which its meta element declares, with its characters written as
    themselves instead of by references (but for the markup's own "&lt;", "&gt;", "&amp;", "&quot;")."""
    sample = SAMPLE_PAGE.read_text("cp1252").replace('charset="windows-1252"', 'charset="utf-8"', 1)
    sample = re.sub(r"&(\w+);", lambda m: m.group(0) if m.group(1) in ("lt", "gt", "amp", "quot")
                    else html.unescape(m.group(0)), sample)
    head, bodies, tail = page_parts(rng, sample, "utf-8")
    out.write(head)
    write_drawn(out, size - len(head) - len(tail), bodies, rng)
    out.write(tail)


# ---------------------------------------------------------------------------------------------
# Cases: an input, the runeflow command and its peers, and the ratios runeflow is held to.

@dataclass
class Command:
    name: str
    argv: list
    output: Path
    stdin: Path = None          # fed to standard input when the command does not open the input itself
    probe: list = None          # succeeds when the tool is installed; without it argv[0] must be on PATH

    def installed(self):
        if self.probe is None:
            return shutil.which(self.argv[0]) is not None
        try:
            return subprocess.run(self.probe, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
        except FileNotFoundError:
            return False


INPUT_SIZE = "input size"  # the pipeline's memory target compares with this instead of a peer


@dataclass
class Target:
    peer: str
    metric: str   # "speed": runeflow/peer median throughput, at least bound; "memory": peak RSS ratio, at most bound
    bound: float

    def describe(self):
        if self.metric == "speed":
            return f"speed >= {self.bound:g}x"
        return f"peak RSS <= {self.bound:g}x" + (" input" if self.peer == INPUT_SIZE else "")

    def met(self, ratio):
        return ratio >= self.bound if self.metric == "speed" else ratio <= self.bound


@dataclass
class Case:
    name: str
    title: str
    input: Path
    runeflow: Command
    peers: list
    targets: list = field(default_factory=list)
    same_output: bool = True    # every peer must write runeflow's bytes (False: each lays text out its own way)


@dataclass
class Growth:
    """One runeflow command on a hostile input of two sizes: its cost per input byte must stay nearly the
    same, where a cost that grows with the square of the input would multiply it by the ratio of the
    sizes (100)."""
    name: str
    title: str
    small: Case   # runeflow alone, on the smaller input
    large: Case

    def cost_per_byte(self, results):
        """Nanoseconds per input byte by the median run, at the smaller and at the larger size."""
        return [results[case.name]["runeflow"].median_seconds() * 1e9 / case.input.stat().st_size
                for case in (self.small, self.large)]


class Workspace:
    """The scratch directory: generated inputs (kept for the next run), outputs and tables."""

    def __init__(self, root, outputs, scale, runeflow):
        self.root = root
        self.outputs = outputs
        self.scale = scale
        self.runeflow = str(runeflow)
        # Inputs are kept per version of what generates them, this script and the sample page;
        # those of other versions go.
        generator = hashlib.sha1(Path(__file__).read_bytes() + SAMPLE_PAGE.read_bytes()).hexdigest()[:12]
        self.inputs = root / "inputs" / generator
        for folder in (self.inputs, root / "outputs", outputs, root / "tables"):
            folder.mkdir(parents=True, exist_ok=True)
        for stale in (root / "inputs").iterdir():
            if stale != self.inputs:
                shutil.rmtree(stale)

    def input(self, name, full_size, write):
        """The input of case name at full_size bytes times the scale, written by write(out, size, rng)
        with a seed of its own unless a run before left it."""
        size = max(1000, int(full_size * self.scale))
        path = self.inputs / f"{name}-{size}.txt"
        if not path.exists():
            print(f"{name}: writing {figure(size / MB)} MB of input", file=sys.stderr)
            partial = path.with_suffix(".part")
            with open(partial, "wb") as out:
                write(out, size, random.Random(name))
            partial.rename(path)
        return path

    def table(self, name, text):
        path = self.root / "tables" / name
        path.write_text(text, encoding="ascii")
        return path

    def output(self, case, tool):
        return self.outputs / f"{case}.{re.sub(r'[^a-z0-9]+', '-', tool.lower())}.out"

    def runeflow_command(self, case, stages, source):
        # Standard output into a file, as for every peer: -o would add the flush to disk that makes its
        # replacement of the file safe, which no peer does.
        output = self.output(case, "runeflow")
        return Command("runeflow", [self.runeflow, *stages, str(source)], output)

    def peer(self, case, name, argv, stdin=None, probe=None):
        return Command(name, argv, self.output(case, name), stdin=stdin, probe=probe)


def conversion_case(ws):
    source = ws.input("convert", 200 * MB, lambda out, size, rng: write_drawn(out, size, conversion_pool(rng), rng))
    return Case("convert", "latin1 to cp850, 8-bit text", source,
                ws.runeflow_command("convert", ["-c", "latin1:cp850"], source),
                [ws.peer("convert", "iconv", ["iconv", "-f", "ISO-8859-1", "-t", "CP850", str(source)]),
                 # recode's IBM850 adds CR-LF line ends unless the trailing "/" asks for no surface
                 ws.peer("convert", "recode", ["recode", "latin1..ibm850/"], stdin=source)],
                [Target("iconv", "speed", 2.5)])


def references_case(ws, name, title, full_size, pool):
    """Entity references resolved into Latin-1 by runeflow and by its peers."""
    source = ws.input(name, full_size, lambda out, size, rng: write_drawn(out, size, pool(rng), rng))
    return Case(name, title, source,
                ws.runeflow_command(name, ["-c", "latin1"], source),
                [ws.peer(name, "recode", ["recode", "html..latin1"], stdin=source),
                 # without an output layer perl writes characters below 256 as single bytes
                 ws.peer(name, "perl HTML::Entities",
                         ["perl", "-MHTML::Entities", "-pe", "decode_entities($_)", str(source)],
                         probe=["perl", "-MHTML::Entities", "-e", "1"])],
                [Target("perl HTML::Entities", "speed", 2.5)])


def utf8_to_latin1_case(ws):
    source = ws.input("utf8-latin1", 200 * MB, lambda out, size, rng: write_drawn(
        out, size, [line.decode("latin-1").encode("utf-8") for line in conversion_pool(rng)], rng))
    return Case("utf8-latin1", "UTF-8 to latin1, text that both hold", source,
                ws.runeflow_command("utf8-latin1", ["-c", "utf8:latin1"], source),
                [ws.peer("utf8-latin1", "iconv", ["iconv", "-f", "UTF-8", "-t", "ISO-8859-1", str(source)])],
                [Target("iconv", "speed", 1.5)])


def latin1_to_utf8_case(ws):
    # The input of the convert case.
    source = ws.input("convert", 200 * MB, lambda out, size, rng: write_drawn(out, size, conversion_pool(rng), rng))
    return Case("latin1-utf8", "latin1 to UTF-8, text that both hold", source,
                ws.runeflow_command("latin1-utf8", ["-c", "latin1:utf8"], source),
                [ws.peer("latin1-utf8", "iconv", ["iconv", "-f", "ISO-8859-1", "-t", "UTF-8", str(source)])],
                [Target("iconv", "speed", 1.5)])


def utf8_page_case(ws):
    source = ws.input("utf8-page", 10 * MB, write_utf8_page)
    return Case("utf8-page", "UTF-8 page to UTF-8 text", source,
                ws.runeflow_command("utf8-page", ["-c", "utf8:latin1", "-t", "html2text", "-c", "latin1:utf8"], source),
                [ws.peer("utf8-page", "html2text", ["html2text", "-utf8", str(source)]),
                 ws.peer("utf8-page", "w3m -dump", ["w3m", "-dump", "-I", "UTF-8", "-O", "UTF-8", "-T", "text/html",
                                                    str(source)])],
                [Target("html2text", "speed", 1), Target("w3m -dump", "speed", 1)],
                same_output=False)


def literal_table_case(ws, entries, full_size, targets):
    name = f"subst-{entries}"
    words = vocabulary(random.Random("vocabulary"))
    source = ws.input(name, full_size,
                      lambda out, size, rng: write_drawn(out, size, words_pool(rng, words), rng))
    replaced = words[:entries]
    table = ws.table(f"{name}.sub", f"! {entries} whole words replaced by their upper case\n"
                     + "".join(f'"{w}" "{w.upper()}"\n' for w in replaced))
    sed_script = ws.table(f"{name}.sed", "".join(f"s/{w}/{w.upper()}/g\n" for w in replaced))
    perl_table = ws.table(f"{name}.tsv", "".join(f"{w}\t{w.upper()}\n" for w in replaced))
    return Case(name, f"{entries} literal {'entry' if entries == 1 else 'entries'}, "
                      f"{len(replaced) / len(words):.1%} of the words replaced", source,
                ws.runeflow_command(name, ["-t", f"{table}:latin1"], source),
                [ws.peer(name, "sed", ["sed", "-f", str(sed_script), str(source)]),
                 ws.peer(name, "perl", ["perl", "-e", PERL_LITERAL_TABLE, str(perl_table), str(source)])],
                targets)


def wildcard_case(ws):
    source = ws.input("subst-wildcard", 200 * MB, lambda out, size, rng: write_drawn(out, size, tagged_pool(rng), rng))
    table = ws.table("subst-wildcard.sub", f'! tags go\n"<\\*>" {TAG_LIMIT} ""\n')
    return Case("subst-wildcard", "one wildcard entry: tags stripped", source,
                ws.runeflow_command("subst-wildcard", ["-t", f"{table}:latin1"], source),
                [ws.peer("subst-wildcard", "sed", ["sed", f"s/{TAG_PATTERN}//g", str(source)]),
                 ws.peer("subst-wildcard", "perl", ["perl", "-pe", f"s/{TAG_PATTERN}//g", str(source)])],
                [Target("perl", "speed", 1)])


def pipeline_case(ws):
    source = ws.input("pipeline", 200 * MB, write_page)
    stages = ["-t", "title:cp1252", "-t", "html2text", "-c", "cp1252", "-t", "translit", "-c", "cp1252:ascii"]
    return Case("pipeline", "HTML page to ASCII text (the main job)", source,
                ws.runeflow_command("pipeline", stages, source), [],
                [Target(INPUT_SIZE, "memory", 1.1)])


def growth_case(ws, name, title, stages, unit):
    """name at each of GROWTH_SIZES: unit repeated, through stages."""
    def write(out, size, rng):
        out.write((unit * (size // len(unit) + 1))[:size].encode("ascii"))
    sized = []
    for full_size in GROWTH_SIZES:
        case = f"{name}-{figure(full_size / MB)}MB"
        source = ws.input(case, full_size, write)
        sized.append(Case(case, title, source, ws.runeflow_command(case, stages, source), []))
    return Growth(name, title, *sized)


def unclosed_tag_case(ws):
    table = ws.table("unclosed-tag.sub", '! a tag whose ">" never comes\n"<\\*>" 50000 ""\n')
    return growth_case(ws, "unclosed-tag", '"<" repeated, under a wildcard entry of limit 50000 whose ">" '
                       "never comes", ["-t", f"{table}:latin1"], "<")


CASES = {
    "convert": conversion_case,
    "entities": lambda ws: references_case(ws, "entities", "entity references to Latin-1 characters, HTML-like text",
                                           150 * MB, entities_pool),
    "entities-dense": lambda ws: references_case(ws, "entities-dense", "a page written with references, one "
                                                 "every 25 bytes", 100 * MB, dense_entities_pool),
    "utf8-latin1": utf8_to_latin1_case,
    "latin1-utf8": latin1_to_utf8_case,
    "subst-1": lambda ws: literal_table_case(ws, 1, 200 * MB, [Target("sed", "speed", 1)]),
    "subst-10": lambda ws: literal_table_case(ws, 10, 100 * MB, []),
    "subst-100": lambda ws: literal_table_case(ws, 100, 20 * MB, []),
    "subst-600": lambda ws: literal_table_case(ws, 600, 5 * MB,
                                               [Target("perl", "speed", 3), Target("sed", "speed", 50)]),
    "subst-wildcard": wildcard_case,
    "pipeline": pipeline_case,
    "utf8-page": utf8_page_case,
    "unclosed-script": lambda ws: growth_case(ws, "unclosed-script", '"<script>" repeated, through the shipped '
                                              "html2text table", ["-t", "html2text:latin1"], "<script>"),
    "unclosed-tag": unclosed_tag_case,
}


# ---------------------------------------------------------------------------------------------
# Measuring

@dataclass
class Measurement:
    seconds: list = field(default_factory=list)
    peak_rss: int = 0    # bytes, the largest over the runs
    status: str = "ok"   # or "missing", "failed ...", "output differs"

    def median_seconds(self):
        return statistics.median(self.seconds)


def build_launcher(scratch):
    """Compiles bench/peak_rss.c into the scratch directory unless it is there and up to date."""
    source = SOURCE_ROOT / "bench" / "peak_rss.c"
    launcher = scratch / "peak_rss"
    if not launcher.exists() or launcher.stat().st_mtime < source.stat().st_mtime:
        done = subprocess.run(["cc", "-O2", "-Wall", "-Wextra", "-Werror", "-o", str(launcher), str(source)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            sys.exit(f"compare.py: cannot compile {source}:\n{done.stderr}")
    return launcher


def run_once(launcher, command, scratch):
    """Runs command once through the launcher; returns its wall-clock seconds, its maximum resident
    set size in bytes, its exit code and the first line it wrote on standard error."""
    report = scratch / "outputs" / "peak_rss.txt"
    stderr_path = scratch / "outputs" / "stderr.txt"
    with contextlib.ExitStack() as files:
        stdin = files.enter_context(open(command.stdin, "rb")) if command.stdin else subprocess.DEVNULL
        stdout = files.enter_context(open(command.output, "wb"))
        stderr = files.enter_context(open(stderr_path, "wb"))
        start = time.perf_counter()
        code = subprocess.call([str(launcher), str(report), *command.argv],
                               stdin=stdin, stdout=stdout, stderr=stderr, env=TOOL_ENV)
        seconds = time.perf_counter() - start
    message = stderr_path.read_text(errors="replace").strip().splitlines()
    rss = int(report.read_text()) * 1024 if code != 125 else 0
    return seconds, rss, code, message[0] if message else ""


def first_difference(expected_path, actual_path, context=30):
    """None when the files hold the same bytes, else a line saying where they first differ and
    what each holds there."""
    offset = 0
    with open(expected_path, "rb") as expected, open(actual_path, "rb") as actual:
        while True:
            a, b = expected.read(1 << 20), actual.read(1 << 20)
            if a != b:
                at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
                start = max(0, at - context)
                return (f"first difference at byte {offset + at}: runeflow {a[start:at + context]!r}"
                        f" / peer {b[start:at + context]!r}")
            if not a:
                return None
            offset += len(a)


def measure(case, runs, launcher, scratch):
    """Runs each of the case's commands once unmeasured, to warm it up (its program, its libraries and
    its input in memory), then runs times, interleaved so that drift in the machine's load falls on all
    of them alike; then compares every peer's output with runeflow's."""
    commands = [case.runeflow, *case.peers]
    results = {c.name: Measurement() for c in commands}
    for command in commands:
        if not command.installed():
            results[command.name].status = "missing"
    for run in range(-1, runs):  # run -1 warms up
        for command in commands:
            result = results[command.name]
            if result.status != "ok":
                continue
            seconds, rss, code, message = run_once(launcher, command, scratch)
            if code != 0:
                result.status = f"failed (exit {code}{': ' + message if message else ''})"
                continue
            result.peak_rss = max(result.peak_rss, rss)
            if run < 0:
                continue
            result.seconds.append(seconds)
            print(f"{case.name}: {command.name} run {run + 1}/{runs}: {seconds:.2f} s", file=sys.stderr)
    if results["runeflow"].status == "ok" and case.same_output:
        for peer in case.peers:
            if results[peer.name].status == "ok":
                hint = first_difference(case.runeflow.output, peer.output)
                if hint:
                    results[peer.name].status = "output differs"
                    print(f"{case.name}: {peer.name}: output differs from runeflow's, {hint}", file=sys.stderr)
    for command in commands:
        command.output.unlink(missing_ok=True)
    return results


def speed_ratios(own, other):
    """runeflow's speed over the peer's in each run: the peer's seconds over runeflow's in the same round,
    so that both figures of a ratio were taken under nearly the same load."""
    return [theirs / ours for ours, theirs in zip(own.seconds, other.seconds)]


# ---------------------------------------------------------------------------------------------
# Reporting

def ratio_rows(case, results):
    """Rows of the ratio table: one per peer, and one for the pipeline's memory against its input."""
    own = results["runeflow"]
    own_status = own.status if own.status == "ok" else f"runeflow {own.status}"
    rows = []
    for peer in case.peers:
        other = results[peer.name]
        status = own_status if own_status != "ok" else other.status
        speeds = memory = None
        if status == "ok":
            speeds = speed_ratios(own, other)
            memory = own.peak_rss / other.peak_rss
        rows.append(ratio_row(case, peer.name, status, speeds, memory))
    if any(t.peer == INPUT_SIZE for t in case.targets):
        memory = own.peak_rss / case.input.stat().st_size if own.status == "ok" else None
        rows.append(ratio_row(case, INPUT_SIZE, own_status, None, memory))
    return rows


def verdict(target, value, spread):
    """pass or FAIL by the median (or the one figure), with ", noisy" when some run fell on the other side."""
    met = target.met(value)
    noisy = any(target.met(v) != met for v in spread)
    return ("pass" if met else "FAIL") + (", noisy" if noisy else "")


def ratio_row(case, peer, status, speeds, memory):
    """speeds: the speed ratio of each run (None for no peer); memory: the peak RSS ratio."""
    targets = [t for t in case.targets if t.peer == peer]
    median = statistics.median(speeds) if speeds else None
    if status != "ok":
        judged = status
    else:
        judged = ", ".join(verdict(t, median, speeds) if t.metric == "speed" else verdict(t, memory, [])
                           for t in targets)
    shown = ["", "", ""] if not speeds else [f"{median:.2f}", f"{min(speeds):.2f}", f"{max(speeds):.2f}"]
    return [case.name, peer, *shown, "" if memory is None else f"{memory:.2f}",
            ", ".join(t.describe() for t in targets), judged]


def figure(value):
    """Three significant digits, without an exponent: 0.025, 4.4, 198, 1234."""
    return f"{value:.3g}" if value < 1000 else f"{value:.0f}"


def raw_rows(case, results):
    size = case.input.stat().st_size
    rows = []
    for command in [case.runeflow, *case.peers]:
        result = results[command.name]
        if result.seconds:
            rows.append([case.name, figure(size / MB), command.name, figure(size / MB / result.median_seconds()),
                         figure(size / MB / min(result.seconds)), figure(result.peak_rss / MB), result.status])
        else:
            rows.append([case.name, figure(size / MB), command.name, "", "", "", result.status])
    return rows


def markdown_table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def first_line(argv):
    try:
        result = subprocess.run(argv, capture_output=True, text=True, errors="replace")
    except FileNotFoundError:
        return "not installed"
    lines = (result.stdout or result.stderr).strip().splitlines()
    return lines[0] if lines and result.returncode == 0 else "not installed"


def read_field(path, pattern):
    try:
        found = re.search(pattern, Path(path).read_text(errors="replace"), re.MULTILINE)
    except OSError:
        return None
    return found.group(1).strip() if found else None


def compiler_of(runeflow):
    """The compiler named in the CMake cache of the tree runeflow was built in, with its build type."""
    cache = Path(runeflow).resolve().parent.parent / "CMakeCache.txt"
    compiler = read_field(cache, r"^CMAKE_CXX_COMPILER:\w+=(.+)$")
    if not compiler:
        return "unknown (runeflow built outside a CMake tree)"
    build_type = read_field(cache, r"^CMAKE_BUILD_TYPE:\w+=(.*)$") or "no build type"
    return f"{first_line([compiler, '--version'])} ({build_type})"


def machine_description(runeflow):
    memory_kb = read_field("/proc/meminfo", r"^MemTotal:\s+(\d+)")
    return [
        ("CPU", read_field("/proc/cpuinfo", r"^model name\s*:\s*(.+)$") or platform.processor() or "unknown"),
        ("cores", str(os.cpu_count())),
        ("memory", f"{int(memory_kb) / 1024 / 1024:.1f} GiB" if memory_kb else "unknown"),
        ("kernel", platform.release()),
        ("OS", read_field("/etc/os-release", r'^PRETTY_NAME="?([^"\n]*)') or platform.system()),
        ("compiler", compiler_of(runeflow)),
        ("iconv", first_line(["iconv", "--version"])),
        ("recode", first_line(["recode", "--version"])),
        ("sed", first_line(["sed", "--version"])),
        ("perl", first_line(["perl", "-e", "print qq(perl $^V)"])),
        ("HTML::Entities", first_line(["perl", "-MHTML::Entities", "-e", "print $HTML::Entities::VERSION"])),
        ("html2text", first_line(["html2text", "-version"])),
        ("w3m", first_line(["w3m", "-version"])),
    ]


def load_average():
    return ", ".join(f"{value:.2f}" for value in os.getloadavg())


def shown_command(argv, scratch):
    return " ".join(shlex.quote(a) for a in argv).replace(str(scratch) + "/", "")


def growth_rows(growth, results):
    sizes = [figure(c.input.stat().st_size / MB) for c in (growth.small, growth.large)]
    status = next((m.status for c in (growth.small, growth.large) for m in results[c.name].values()
                   if m.status != "ok"), "ok")
    if status != "ok":
        return [[growth.name, *sizes, "", "", "", f"at most {GROWTH_BOUND}x", status]]
    small, large = growth.cost_per_byte(results)
    return [[growth.name, *sizes, f"{small:.0f}", f"{large:.0f}", f"{large / small:.2f}",
             f"at most {GROWTH_BOUND}x", "pass" if large / small <= GROWTH_BOUND else "FAIL"]]


def report(cases, results, args, runs, scale, runeflow, load, growths=()):
    ratio_header = ["case", "peer", "speed ratio (runeflow / peer), median of the runs", "lowest", "highest",
                    "peak RSS ratio (runeflow / peer)", "target", "result"]
    raw_header = ["case", "input MB", "command", "median MB/s", "best MB/s", "peak RSS MB", "status"]
    ratios = markdown_table(ratio_header, [r for c in cases for r in ratio_rows(c, results[c.name])])
    sized = [c for g in growths for c in (g.small, g.large)]
    raw = markdown_table(raw_header, [r for c in [*cases, *sized] for r in raw_rows(c, results[c.name])])
    growth = markdown_table(["case", "smaller input MB", "larger input MB", "ns per byte, smaller",
                             "ns per byte, larger", "growth", "target", "result"],
                            [r for g in growths for r in growth_rows(g, results)])
    commands = [f"- {c.name} ({c.title}):"
                + "".join(f"\n  - `{shown_command(cmd.argv, args.scratch)}`"
                          + (" < input" if cmd.stdin else "") + " > output"
                          for cmd in [c.runeflow, *c.peers])
                for c in [*cases, *sized]]
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    return "\n".join([
        "# Benchmark results",
        "",
        f"Measured {now} by `bench/compare.py {' '.join(shlex.quote(a) for a in sys.argv[1:])}`: "
        f"{runs} run{'s' if runs != 1 else ''} of every command after one unmeasured run, interleaved, "
        f"input sizes scaled by {scale:g}. MB is 10^6 bytes; throughput is input bytes per second of "
        "wall-clock time, file to file; peak RSS is the child's maximum resident set size.",
        "",
        "The ratios measured in one run are what count: the machine is shared and noisy, so raw numbers "
        "from different runs do not compare, while runeflow and its peers here ran on the same inputs "
        "under the same load. A speed ratio is taken in each round of runs and shown with its lowest and "
        "highest; a result marked noisy had runs on both sides of its target.",
        "",
        f"Load average (1, 5 and 15 minutes) when the runs began: {load[0]}; when they ended: {load[1]}.",
        "",
        "## Machine",
        "",
        *[f"- {name}: {value}" for name, value in machine_description(runeflow)],
        "",
        "## Ratios",
        "",
        "Above 1 means runeflow is faster, or needs more memory. For the pipeline the memory ratio is "
        "runeflow's peak RSS divided by the size of its input.",
        "",
        ratios,
        "",
        "## Cost per input byte",
        "",
        "Hostile inputs at two sizes: the cost per input byte by the median run, and how much it grew from "
        "the smaller input to the larger. Linear cost keeps it near 1 (the larger input costs somewhat "
        "more per byte once it outgrows the processor's caches and the substitution window); a cost that "
        "grew with the square of the input would multiply it by the ratio of the sizes.",
        "",
        growth,
        "",
        "## Raw numbers",
        "",
        raw,
        "",
        "## Commands",
        "",
        *commands,
        "",
    ])


# ---------------------------------------------------------------------------------------------

def default_outputs(scratch):
    """Memory-backed storage when the system has it: a command that writes hundreds of megabytes would
    otherwise be slowed, or slow the next one, by the kernel writing the pages back to disk."""
    shm = Path("/dev/shm")
    if shm.is_dir() and os.access(shm, os.W_OK):
        return shm / scratch.name
    return scratch / "outputs"


def build_runeflow(scratch):
    build = scratch / "build"
    print(f"building runeflow (Release) in {build}", file=sys.stderr)
    for argv in (["cmake", "-S", str(SOURCE_ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                  "-DRUNEFLOW_TESTS=OFF"],
                 ["cmake", "--build", str(build), "-j2"]):
        done = subprocess.run(argv, capture_output=True, text=True)
        if done.returncode != 0:
            sys.exit(f"compare.py: {' '.join(argv)} failed:\n{done.stdout[-3000:]}{done.stderr[-3000:]}")
    return build / "bin" / "runeflow"


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Runs runeflow side by side with iconv, recode, sed, perl, "
                                                 "html2text and w3m.")
    parser.add_argument("--quick", action="store_true",
                        help=f"tiny inputs (scale {QUICK_SCALE:g}) and one run: a smoke test; "
                             "writes no results file unless --out is given")
    parser.add_argument("--runs", type=int, help="runs of every command (default 5, 1 with --quick)")
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies every input size")
    parser.add_argument("--cases", default=",".join(CASES), help=f"comma-separated, of: {', '.join(CASES)}")
    parser.add_argument("--runeflow", type=Path, help="the runeflow program to measure, instead of building one")
    parser.add_argument("--out", type=Path, help=f"results file (default {DEFAULT_RESULTS.relative_to(SOURCE_ROOT)})")
    parser.add_argument("--scratch", type=Path, default=DEFAULT_SCRATCH,
                        help=f"inputs, outputs and the build (default {DEFAULT_SCRATCH})")
    parser.add_argument("--outputs", type=Path,
                        help="where the commands write their outputs (default: a folder in /dev/shm when "
                             "there is one, so that writing back to disk weighs on no command, else the "
                             "scratch directory)")
    args = parser.parse_args(argv)
    unknown = [c for c in args.cases.split(",") if c not in CASES]
    if unknown:
        parser.error(f"unknown case {', '.join(unknown)}; the cases are {', '.join(CASES)}")
    if args.runs is not None and args.runs < 1:
        parser.error("--runs must be at least 1")
    if args.scale <= 0:
        parser.error("--scale must be positive")
    return args


def install_peers():
    """Installs the peers and tools the comparison needs where they are missing (as root, or with sudo);
    where that cannot be done, the script says so and the missing peers are reported as missing."""
    if subprocess.run([str(SOURCE_ROOT / "scripts" / "install-deps.sh"), "bench"]).returncode != 0:
        print("compare.py: going on without the missing peers", file=sys.stderr)


def main(argv):
    args = parse_arguments(argv)
    install_peers()
    args.scratch = args.scratch.resolve()
    runs = args.runs or (1 if args.quick else 5)
    scale = args.scale * (QUICK_SCALE if args.quick else 1)
    runeflow = args.runeflow.resolve() if args.runeflow else build_runeflow(args.scratch)
    if not os.access(runeflow, os.X_OK):
        sys.exit(f"compare.py: {runeflow} is not an executable program")
    workspace = Workspace(args.scratch, args.outputs or default_outputs(args.scratch), scale, runeflow)
    launcher = build_launcher(args.scratch)
    chosen = [CASES[name](workspace) for name in args.cases.split(",")]
    cases = [c for c in chosen if isinstance(c, Case)]
    growths = [g for g in chosen if isinstance(g, Growth)]
    # Inputs just written would otherwise still be going to disk while the first commands run.
    os.sync()
    load = [load_average()]
    results = {case.name: measure(case, runs, launcher, args.scratch)
               for case in [*cases, *(c for g in growths for c in (g.small, g.large))]}
    load.append(load_average())
    text = report(cases, results, args, runs, scale, runeflow, load, growths)
    print(text)
    if args.out or not args.quick:
        out = args.out or DEFAULT_RESULTS
        out.write_text(text)
        print(f"written to {out}", file=sys.stderr)
    # A failed run or an output that differs makes the comparison worthless: the exit status says so.
    broken = [f"{name}: {command}: {m.status}" for name, measured in results.items()
              for command, m in measured.items() if m.status not in ("ok", "missing")]
    if broken:
        sys.exit("compare.py: " + "; ".join(broken))


if __name__ == "__main__":
    main(sys.argv[1:])
