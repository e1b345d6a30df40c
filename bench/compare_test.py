#!/usr/bin/env python3
"""Tests of bench/compare.py's own parts: the generated inputs keep the properties that make every
tool's output comparable, the output comparison points at the right byte, the peak-memory launcher
measures the program rather than Python, and the ratio table judges targets as stated.
Run: python3 bench/compare_test.py"""

import random
import re
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import compare  # noqa: E402

WORDS = compare.vocabulary(random.Random("vocabulary"))
REFERENCE = re.compile("|".join(re.escape(r) for r in compare.LATIN1_REFERENCES + compare.LATIN1_LETTER_REFERENCES))


def only_references_after_ampersands(line):
    return "&" not in REFERENCE.sub("", line)


def tags_close_on_their_line(line):
    stripped = re.sub(f"<[^<>\n]{{0,{compare.TAG_LIMIT - 2}}}>", "", line)
    return "<" not in stripped and ">" not in stripped


class GeneratedInputs(unittest.TestCase):
    POOLS = [
        ("conversion text: printable ASCII without & and Latin-1 letters",
         compare.conversion_pool,
         lambda line: re.fullmatch("[ -%'-~\xc0-\xd6\xd8-\xf6\xf8-\xff]*\n", line) is not None),
        ("entity text: every & starts a Latin-1 reference", compare.entities_pool, only_references_after_ampersands),
        ("dense entity text: ASCII, and every & starts a Latin-1 reference", compare.dense_entities_pool,
         lambda line: line.isascii() and only_references_after_ampersands(line)),
        ("word text: vocabulary words and single spaces", lambda rng: compare.words_pool(rng, WORDS),
         lambda line: all(word in WORDS for word in line[:-1].split(" "))),
        ("tagged text: every tag closes on its line within the wildcard limit", compare.tagged_pool,
         tags_close_on_their_line),
    ]

    def test_pools(self):
        for name, make_pool, line_is_valid in self.POOLS:
            with self.subTest(name):
                pool = make_pool(random.Random(name))
                self.assertEqual(pool, make_pool(random.Random(name)), "a seed gives one pool")
                for line in pool:
                    text = line.decode("latin-1")
                    self.assertTrue(text.endswith("\n") and line_is_valid(text), repr(text))

    def test_dense_text_has_a_reference_every_25_bytes(self):
        text = b"".join(compare.dense_entities_pool(random.Random("dense")))
        self.assertAlmostEqual(len(text) / text.count(b"&"), 25, delta=3)

    def test_vocabulary_words_are_distinct_and_of_one_length(self):
        self.assertEqual(len(set(WORDS)), compare.VOCABULARY_SIZE)
        self.assertEqual({len(word) for word in WORDS}, {compare.WORD_LENGTH})

    def test_drawn_file_is_whole_lines_and_reproducible(self):
        with tempfile.TemporaryDirectory() as scratch:
            files = [Path(scratch, name) for name in ("one", "two")]
            for path in files:
                with open(path, "wb") as out:
                    compare.write_drawn(out, 50_000, [b"short\n", b"a longer line\n"], random.Random(1))
            text = files[0].read_bytes()
            self.assertEqual(text, files[1].read_bytes())
            self.assertGreaterEqual(len(text), 50_000)
            self.assertLess(len(text), 50_000 + 14)
            self.assertEqual(set(text.splitlines(keepends=True)), {b"short\n", b"a longer line\n"})

    def test_page_keeps_one_head_and_one_end(self):
        for write, encoding, cafe in ((compare.write_page, "cp1252", "Caf&eacute;"),
                                      (compare.write_utf8_page, "utf-8", "Caf\u00e9")):
            with self.subTest(encoding), tempfile.TemporaryDirectory() as scratch:
                page = Path(scratch, "page.html")
                with open(page, "wb") as out:
                    write(out, 100_000, random.Random("page"))
                text = page.read_bytes()
                self.assertEqual((text.count(b"<title>"), text.count(b"<body>"), text.count(b"</html>")), (1, 1, 1))
                self.assertGreater(text.count(b"<h1>"), 10)
                self.assertIn('<meta charset="%s">' % ("windows-1252" if encoding == "cp1252" else "utf-8"),
                              text.decode(encoding))
                self.assertIn(cafe, text.decode(encoding), "the page's letters: references, or UTF-8 characters")


class FirstDifference(unittest.TestCase):
    CASES = [
        ("equal files", b"x" * 3_000_000, b"x" * 3_000_000, None),
        ("a difference past the first read", b"x" * 2_500_000 + b"a", b"x" * 2_500_000 + b"b", 2_500_000),
        ("the peer stops early", b"abcdef", b"abc", 3),
        ("the peer writes more", b"abc", b"abcdef", 3),
    ]

    def test_cases(self):
        with tempfile.TemporaryDirectory() as scratch:
            expected, actual = Path(scratch, "expected"), Path(scratch, "actual")
            for name, expected_bytes, actual_bytes, offset in self.CASES:
                with self.subTest(name):
                    expected.write_bytes(expected_bytes)
                    actual.write_bytes(actual_bytes)
                    hint = compare.first_difference(expected, actual)
                    if offset is None:
                        self.assertIsNone(hint)
                    else:
                        self.assertIn(f"at byte {offset}:", hint)


class Launcher(unittest.TestCase):
    def test_reports_the_programs_own_peak_and_exit_code(self):
        with tempfile.TemporaryDirectory() as scratch:
            scratch = Path(scratch)
            (scratch / "outputs").mkdir()
            launcher = compare.build_launcher(scratch)

            def run(argv):
                command = compare.Command("probe", argv, scratch / "out")
                return compare.run_once(launcher, command, scratch)

            _, small, code, _ = run(["true"])
            self.assertEqual(code, 0)
            self.assertLess(small, 8 * 2**20, "the launcher must not pass Python's memory on")
            _, large, _, _ = run(["perl", "-e", "my $x = 'a' x 60_000_000"])
            self.assertGreater(large, 60_000_000)
            _, _, code, message = run(["sh", "-c", "echo broken >&2; exit 3"])
            self.assertEqual((code, message), (3, "broken"))


class Ratios(unittest.TestCase):
    def test_verdicts(self):
        with tempfile.TemporaryDirectory() as scratch:
            source = Path(scratch, "input")
            source.write_bytes(b"x" * 1000)
            names = ("fast", "slow", "noisy", "gone", "wrong")
            peers = [compare.Command(name, [name], source) for name in names]
            case = compare.Case("case", "", source, compare.Command("runeflow", [], source), peers,
                                [compare.Target(name, "speed", 2) for name in names]
                                + [compare.Target(compare.INPUT_SIZE, "memory", 1.1)])
            results = {
                "runeflow": compare.Measurement([1.0, 9.0, 2.0], peak_rss=1000),
                "fast": compare.Measurement([1.0, 9.0, 2.0], peak_rss=2000),
                "slow": compare.Measurement([4.0, 36.0, 10.0], peak_rss=500),
                "noisy": compare.Measurement([1.5, 27.0, 6.0], peak_rss=1000),
                "gone": compare.Measurement(status="missing"),
                "wrong": compare.Measurement([4.0, 4.0, 4.0], status="output differs"),
            }
            rows = {row[1]: row[2:] for row in compare.ratio_rows(case, results)}
            # Ratios are taken run by run: the peer's seconds over runeflow's in the same round.
            self.assertEqual(rows["fast"], ["1.00", "1.00", "1.00", "0.50", "speed >= 2x", "FAIL"])
            self.assertEqual(rows["slow"], ["4.00", "4.00", "5.00", "2.00", "speed >= 2x", "pass"])
            self.assertEqual(rows["noisy"], ["3.00", "1.50", "3.00", "1.00", "speed >= 2x", "pass, noisy"])
            self.assertEqual(rows["gone"][5], "missing")
            self.assertEqual(rows["wrong"][5], "output differs")
            self.assertEqual(rows[compare.INPUT_SIZE], ["", "", "", "1.00", "peak RSS <= 1.1x input", "pass"])
            results["runeflow"] = compare.Measurement(status="failed (exit 1)")
            self.assertEqual({row[7] for row in compare.ratio_rows(case, results)}, {"runeflow failed (exit 1)"})


class Growths(unittest.TestCase):
    def test_cost_per_byte_and_its_growth(self):
        with tempfile.TemporaryDirectory() as scratch:
            small, large = Path(scratch, "small"), Path(scratch, "large")
            small.write_bytes(b"<" * 1000)
            large.write_bytes(b"<" * 100_000)
            sized = [compare.Case(path.name, "", path, compare.Command("runeflow", [], path), [])
                     for path in (small, large)]
            growth = compare.Growth("g", "", *sized)
            rows = []
            for large_seconds in ([0.2, 0.3, 0.25], [9.0, 11.0, 10.0]):  # linear, then quadratic
                results = {"small": {"runeflow": compare.Measurement([0.001, 0.002, 0.0011])},
                           "large": {"runeflow": compare.Measurement(large_seconds)}}
                rows += compare.growth_rows(growth, results)
            self.assertEqual(rows[0][3:], ["1100", "2500", "2.27", "at most 3x", "pass"])
            self.assertEqual(rows[1][3:], ["1100", "100000", "90.91", "at most 3x", "FAIL"])
            results["large"]["runeflow"] = compare.Measurement(status="failed (exit 1)")
            self.assertEqual(compare.growth_rows(growth, results)[0][-1], "failed (exit 1)")


if __name__ == "__main__":
    unittest.main()
