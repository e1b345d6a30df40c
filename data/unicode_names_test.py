#!/usr/bin/env python3
"""Every HTML5 entity name, written as a reference in UTF-8 text, must come out of `runeflow -c utf8` as
the characters that Python's html.entities table gives it, but for the names whose meaning the shipped
sets fix otherwise ("circ" is "^" there); and every character of the shipped sets must come out of
`runeflow -c SET:utf8` as Python's codec reads its byte.

Usage: unicode_names_test.py PATH-TO-RUNEFLOW"""

import codecs
import html.entities
import subprocess
import sys

# The shipped sets' names that mean another character than the HTML5 name of the same spelling.
SET_MEANINGS = {"circ": "^", "tilde": "~", "hyphen": "-"}
# The shipped sets and the Python codecs that data/generate.py writes them from.
SETS = {"ascii": "ascii", "latin1": "latin_1", "latin2": "iso8859_2", "latin9": "iso8859_15",
        "cp1252": "cp1252", "cp437": "cp437", "cp850": "cp850", "macroman": "mac_roman"}


def run(runeflow, stages, text):
    done = subprocess.run([runeflow, *stages], input=text, capture_output=True)
    if done.returncode != 0:
        sys.exit("runeflow %s failed: %s" % (" ".join(stages), done.stderr.decode(errors="replace")))
    return done.stdout


def main(runeflow):
    failures = []
    # Each reference on its own, after a NUL byte, which no name stands for.
    names = sorted(name[:-1] for name in html.entities.html5 if name.endswith(";"))
    text = "".join("\0&%s;" % name for name in names).encode("ascii")
    results = run(runeflow, ["-c", "utf8"], text).decode("utf-8").split("\0")[1:]
    for name, result in zip(names, results):
        expected = SET_MEANINGS.get(name, html.entities.html5[name + ";"])
        if result != expected:
            failures.append("&%s; gives %r, not %r" % (name, result, expected))
    if len(results) != len(names):
        failures.append("%d results for %d names" % (len(results), len(names)))
    for set_name, codec in SETS.items():
        # Every byte the codec defines, "&" (which would begin references) apart.
        defined = bytes(b for b in range(256) if b != ord("&") and len(codecs.decode(bytes([b]), codec, "ignore")) == 1)
        expected = codecs.decode(defined, codec)
        if run(runeflow, ["-c", set_name + ":utf8"], defined).decode("utf-8") == expected:
            continue
        for byte in defined:
            got = run(runeflow, ["-c", set_name + ":utf8"], bytes([byte])).decode("utf-8")
            if got != codecs.decode(bytes([byte]), codec):
                failures.append("%s byte 0x%02X gives %r, not %r" % (set_name, byte, got, codecs.decode(bytes([byte]), codec)))
    for line in failures[:40]:
        print(line)
    print("%d names, %d sets; %d failures" % (len(names), len(SETS), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
