#!/usr/bin/env python3
"""Writes the hand-made seeds of the fuzz corpora: shipped sets, tables and the sample page, and cases
taken from the engine's unit tests. Run it from anywhere after changing it; it rewrites only the files
named seed-*, so inputs merged in by `run.sh --merge` stay."""
import pathlib

FUZZ = pathlib.Path(__file__).resolve().parent
DATA = FUZZ.parent / "data"
SEP = b"\n=====\n"  # the part separator of support.h

SETS = {
    "roles": "038\tB\tamp\n059\tE\tsemi\n035\tN\tnum\n065\t\tA\n097\t\ta\n200\t3\teacute\n201\t4\tEacute\n",
    "bases": "065\t\tA\n#BASE 8\n101\t\tB\n#BASE 16\n 43\t\tC\n#BASE 10\n 68\t\tD\n",
    "type-fields": "200\t-1\tn1\n201\t1,-1\tn2\n202\t5,31\tn3\n203\t12,7,\tn4\n204\t-2,-5,-31\tn5\n205\tB,E\tboth\n",
    "names": "065\t\tcapital a\r\n066\t\t\n067\t\t" + "n" * 32 + "\n068\t\tcr\rin\r\n069\t\tctrl-z\x1aend\n070\t\tlast line",
    "pairing": "065\t\tA\n097\t\ta\n066\t\tABcde\n098\t\tabcde\n067\t-4\tC\n099\t\tc\n068\t\tD\n100\t-3\td\n"
               "069\t\tQ\n070\t\tE1\n071\t\tE1x\n101\t\te1\n072\t5\tH\n104\t4\th\n",
    "later-upper-wins": "065\t\tAe\n066\t\tAE\n097\t\tae\n",
    "duplicate-names": "200\t\tdup\n100\t\tdup\n065\t\tA\n",
    "illegal-base": "#BASE 7\n065\t\tA\n",
    "value-twice": "065\t\tA\n#BASE 16\n 41\t\tB\n",
    "missing-tab": "65\t1\tA\n",
    "value-range": "#BASE 16\nfff\t\tA\n",
    "no-second-tab": "065\t1\n",
    "subset-32": "065\t32\tA\n",
    "second-begin": "038\tB\tamp\n059\tE\tsemi\n060\tB\tlt\n",
    "last-line-in-type": "065\t1",
    "name-33": "065\t\t" + "n" * 33 + "\n",
    "long-comment": "!" + " " * 300 + "065\t\tA\n066\t\tB\n",
    "longest-line": "065\t" + "1," * 124 + "1\tA\r\n",
    "long-line": "065\t\tA\n066\t" + "1," * 125 + "\tB\n",
    "begin-without-end": "038\tB\tamp\n065\t\tA\n",
    "end-without-begin": "059\tE\tsemi\n",
    "nul-in-line": "065\t\tA\x00junk\n066\t\tB\n",
}

TABLE_LINES = [
    r'"foo" "bar"', r'"a\"b" "\""', '"' + "p" * 127 + '" "x"', r'"a\3*b" "[\*]"', r'"a\+5b" "\-"',
    r'"a\-b" "\4*"', r'"\?\3?\." "\>\?\<\?"', r'"\2<abc" "x"', r'"a\<b\<" "x"', r'"a%Ab" "%a"',
    r'"a%ab" "\%a"', r'"50%" "x%"', r'"a\\b" "\\"', r'"\q" "\q"', r'"\0q" "x"', r'"a\?" "\2<\?"',
    r'"\3[a" "b\4[\5]"', r'"\]a" "b\]"', r'"end" "\^"', r'"&#65;&#66;" "&#67;"', r'"&amp;&semi;&lt;" "&quot;"',
    r'"&#1234;" "x"', r'"a&#;b&#0;" "x"', r'"&nosuch;" "x"', r'"&abc" "x"', r'"a;" "x"',
    r'"a&bsol;*" "&#92;"', r'"&#37;a" "&percnt;a"', r'"a\*b" 7 "x"', r'"a\*b" -3 "x"', r'"a\*b""x"',
    r'"<\*>" 20 &*31; "[\*]"', r'"<\*>" &*; "x"', r'"<\*>" &amp; "x"', r'"<\*>" &*3; &semi;xyz "x"',
    r'"<\*>" 5&amp; "x"', r'   "a" "b"', '#ALIAS\t"\\a" "x"', r'"&eacute;t&eacute;" "summer"',
]
TABLE_REFUSALS = [
    '"abc"\n', '   \n', '"a"\t"b"\n', '"a" 5"b"\n', '"abc\\"\n', '\\"a" "b"\n', '"abc"',
    '"' + "p" * 128 + '" "x"\n', '#ALIAS "a" "x"\n', '#ALIAS "\\*" "x"\n', '#ALIAS "\\a" "12345678901234567890"\n',
    '#ALIAS "\\a"\n', '#CONCAT "' + "," * 100 + '"\n', '"a\\32*b" "x"\n', '"a\\99999999999*b" "x"\n',
    '"a\\-5b" "x"\n', '"\\32[a" "x"\n', '"a\\5!" "x"\n', '"a\\?" "\\2>"\n', '"a\\>" "x"\n', '"a\\^" "x"\n',
    '"a\\*b\\+c" "x"\n', '"a%Ab\\*c" "x"\n', '"a\\*b%Bc" "x"\n', '"a\\*b" "\\*\\*"\n', '"\\[a\\]" "x"\n',
    '"\\[a\\2[" "x"\n', '"\\*abc" "x"\n', '"\\*" "x"\n', '"abc\\+" "x"\n', '"abc%A" "x"\n', '"abc" "x\\*"\n',
    '"\\?\\?" "\\?\\?\\?"\n', '"\\?" "\\>\\?"\n', '"(\\*)" &*32; "x"\n', '"(\\*)" &eacute; "x"\n',
    '"(\\*)" &*3 "x"\n', '"(\\*)" &' + "n" * 32 + '; "x"\n',
    '#ALIAS "\\a" "xyz"\n"' + "p" * 125 + '\\a" "x"\n', '"a"' + " " * 300 + '"b"\n',
]
TABLES = {
    "aliases": '"1\\a2" "x"\n#ALIAS "\\a" "xy"\n#ALIAS "\\ab" "never"\n#ALIAS  "\\!"  "[!]"\n'
               '#ALIAS "\\L" "\\5?"\n"1\\a2" "\\a"\n"\\ab" "x"\n"\\\\a" "x"\n"x\\!" "x"\n"\\L\\L\\L" "\\?\\?\\?"\n',
    "directives": '! a comment\n\n#CONCAT "; "\n#ALIAS "\\a" "b"\n#CONCAT ", \\n"\r\n',
    "long-comment": "!" + " " * 300 + '"a" "b"\n"c" "d"\n',
    "longest-line": '"a"' + " " * 249 + '"b"\n',
    "drop-unmatched": '"\\*" ""\n"a" "b"\n"c" 90 "d"\n',
    "maxmatch": '"abc" "x"\n"a\\*b" 100 "x"\n"a%Ab" 10 "x"\n"\\?\\\\" 1 "x"\n',
    "huge-limit": '"a\\*b" 99999999999 "x"\n',
    "full": '"\\*" ""\n' + "".join('#ALIAS "\\a%d" "x"\n' % n for n in range(20))
            + "".join('"e%d" "x"\n' % n for n in range(600)),
}

# Tables with texts (from the substitution stage's tests).
SUBSTITUTIONS = {
    "order": ('"ab" "X"\n"abc" "Y"\n', "abc abd"),
    "waiting": ('"abc" "Y"\n"ab" "X"\n', "abc abd"),
    "later-entry": ('"b" "Y"\n"ab" "X"\n', "ab"),
    "waiting-at-end": ('"abcdef" "Q"\n"cd" "C"\n"bcd" "B"\n', "abcde"),
    "escaped-letters": ('"x\\q" "R"\n', "xq xQ"),
    "parameters": ('"a\\?c" "R"\n"a\\3?c" "S"\n"a\\!c\\." "<\\?\\?>"\n', "abc aDc abcd"),
    "drop": ('"\\*" ""\n"b" "X"\n', "abcb"),
    "backslash-ends": ('#ALIAS "\\e" ""\n"a\\\\e" "X"\n', "a\\b"),
    "empty-patterns": ('"" "x"\n"\\<" "y"\n', "abc"),
    "wildcard": ('"a\\*c" 3 "R"\n"a\\*bc" "S"\n"a\\3*c" "T"\n', "abbbc abbbbc axbxbc abbc abXc"),
    "terminators": ('"a\\*c" &space; "R"\n"a\\*c" &*4; "S"\n', "ab c abc aBc"),
    "plus-minus": ('"<\\+>" "[\\*]"\n"(\\->" "{\\*}"\n', "<ab> (cd>"),
    "after-wildcard": ('"a\\*b\\?c" "[\\*|\\?]"\n"a\\*\\\\b" "[\\*]"\n', "axbybzbqc ax\\x\\b"),
    "given-back": ('"ab\\<" "X"\n"bc" "Y"\n"ab\\3<" "Z"\n', "abab zabz abc"),
    "whole-match-back": ('"ab\\2<" "X"\n', "zabz"),
    "stop": ('"ab" "X\\^"\n', "zzabqq"),
    "groups": ('"\\1[b" "B"\n"a" "A\\1[\\2]"\n"c" "C\\1]"\n"\\2]d" "D"\n', "babb abcb dd"),
    "captures": ('"a\\?c\\?" "\\?\\<\\?\\>\\?\\?"\n"x\\?" "\\!\\."\n', "abcd xq xQ"),
    "wildcard-text": ('"<\\*>" "[\\*|\\+|\\-|\\3*]"\n', "<aBc> <>"),
    "escapes": ('"x" "\\\\\\q\\%a50%"\n"y" "&#255;"\n', "x y"),
    "variables": ('#CONCAT ", "\n"[%A]" ""\n"(%v)" ""\n"x" "<%a|%V%v>"\n', "[x](1)[y](2)x(3)()x"),
    "variable-values": ('"[%a]" ""\n"x" "%x%a%A"\n', "[x&amp;y&#65;&nosuch;&#;;&]x"),
    "long-variable": ('"[%y]" 5000 ""\n"{%Y}" 5000 ""\n', "[" + "v" * 4093 + "]{}"),
    "window": ('"<\\*>" 1000 "[\\*]"\n"a\\*c" 498 "R"\n', "<" + "q" * 800 + ">!a" + "x" * 600),
    "refill": ('"abcd" "Z"\n"bc" "A"\n', "." * 498 + "abcx"),
    "unclosed-element": ('"<!--\\*-->" 300 ""\n"<\\s\\c\\r\\i\\p\\t\\*</\\s\\c\\r\\i\\p\\t>" 500 ""\n'
                         '"<br>" "|"\n"<\\*>" 100 &lt; ""\n', "<script>" * 100 + "<script><br>" * 40 + "<!--<b>x" * 20),
    "wildcard-gives-up": ('"<\\*>" 600 ""\n', "<" * 1500),
}

CONVERSION_SETS = {
    "latin": SETS["roles"] + "252\t\tuuml\n169\t\tcopy\n251\t\tex\xe9\n",
    "mac-syntax": "123\tB\tamp\n125\tE\tsemi\n036\tN\tnum\n142\t\teacute\n127\t\t\n065\t\tA\n",
    "plain": "142\t\teacute\n065\t\tA\n097\t\ta\n",
    "named-only": "038\tB\tamp\n059\tE\tsemi\n142\t\teacute\n",
}
CONVERSION_TEXTS = [
    "x\xc8y &amp;&eacute;&semi; &#65;&#0065;&#233;&#0200; &#999;&#-5;&#99999999999;&#256;&#; &zzz; &A B; &; a&b",
    "&" + "x" * 32 + "; &" + "x" * 33 + "&amp; &A\x00; caf\xe9 \xfc &trade; \xa9\xfb &#251;&#169;",
    "a" * 470 + "&eacute;&#0200;&" + "q" * 31 + ";b" + "a" * 20 + "&eac",
    "Tom &#38 Jerry; &#65&#66; &#x41;&#X4a;&#x00e9;&#xC8;&#x100; &#x;&#X; &#+65;&# 65;&#0x41;&#x4G;&#6x5;",
]

PATHS = [  # name, default directory, default extension, current directory (None: absent)
    ("x.txt", None, None, "C:\\work"), ("..\\x.txt", None, None, "C:\\work"), ("sub/./y.dat", None, None, "/work"),
    ("\\data\\\\z", None, None, "C:\\work"), ("/../x", None, None, "/work"), ("D:x.txt", None, None, "C:\\work"),
    ("a.b.c", None, None, "/work"), ("", None, None, "C:\\"), ("latin", "C:\\tables", "chs", "C:\\work"),
    ("latin.", "/tables", "chs", "/work"), ("sets\\latin", "C:\\tables", "chs", "C:\\work"),
    ("E:\\other\\latin", "C:\\tables", "chs", "C:\\work"), ("E:other/latin", "/tables", "chs", "/work"),
    ("v1.2/latin", "/tables", "chs", "/work"), ("../latin", "tables", "chs", "/work"),
    ("latin", "D:tables", "sub", "C:\\work"), (".\\..\\\\.\\x", None, None, "C:\\a\\b"),
    (".../..x/x../y", None, None, "/a/b"), ("ABC:x", None, None, "C:\\work"), ("x", "ABC:\\t", None, "/work"),
    ("x", None, "", "C:"), ("C:" + "\\" * 258 + "f", None, None, "C:\\work"), ("/" + "d" * 4093 + "/f", None, None, "/w"),
    ("latin", None, "chs", None),
]


# Texts for the UTF-8 stage: characters of every length, references of every kind, a byte-order mark,
# and each kind of invalid UTF-8.
UTF8_TEXTS = [
    "Caf\u00e9 \u20ac 5 \u2026 \u201cquoted\u201d \u4e00 \U0001F600 \u02c6 \u2010 \u0085 \u00a0\n".encode("utf-8"),
    b"&eacute; &#233; &#xE9; &#X20ac; &euro; &circ; &hyphen; &NotEqualTilde; &uni4E00; &zzz; &#; &#x110000; &#55296;",
    b"\xef\xbb\xbfsigned \xc3\xa9 " + b"a" * 480 + "\u20ac\u20ac \U0001F600".encode("utf-8") + b" &" + b"q" * 31 + b";",
    b"ok \xc3\xa9 then \xc0\xaf overlong",
    b"\xed\xa0\x80 surrogate",
    b"cut \xe2\x82",
    b"\xf4\x90\x80\x80 beyond",
    b"stray \x80",
]


def write(target, name, data):
    path = FUZZ / "corpus" / target / ("seed-" + name)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data if isinstance(data, bytes) else data.encode("latin-1"))


def parts(*texts):
    return SEP.join(t if isinstance(t, bytes) else t.encode("latin-1") for t in texts)


def main():
    shipped_sets = sorted(DATA.glob("*.chs"))
    shipped_tables = sorted(DATA.glob("*.sub"))
    sample = (DATA / "sample.html").read_bytes()
    for path in shipped_sets:
        write("set_file_fuzzer", "shipped-" + path.stem, path.read_bytes())
    for name, text in SETS.items():
        write("set_file_fuzzer", name, text)

    for path in shipped_tables:
        write("table_file_fuzzer", "shipped-" + path.stem, path.read_bytes())
    write("table_file_fuzzer", "compiled-lines", "\n".join(TABLE_LINES) + "\n")
    for number, text in enumerate(TABLE_REFUSALS):
        write("table_file_fuzzer", "refusal-%02d" % number, text)
    for name, text in TABLES.items():
        write("table_file_fuzzer", name, text)

    for number, fields in enumerate(PATHS):
        given = [f for f in fields]
        while given and given[-1] is None:
            given.pop()
        write("mergepath_fuzzer", "path-%02d" % number, parts(*[f if f is not None else "" for f in given]))

    for name, text in CONVERSION_SETS.items():
        for number, sample_text in enumerate(CONVERSION_TEXTS):
            write("convert_fuzzer", "%s-%d" % (name, number), parts(text, sample_text))
    write("convert_fuzzer", "cp1252-sample", parts((DATA / "cp1252.chs").read_bytes(), sample))
    write("convert_fuzzer", "macroman-sample", parts((DATA / "macroman.chs").read_bytes(), sample))

    for path in shipped_sets:
        for number, text in enumerate(UTF8_TEXTS):
            write("utf8_convert_fuzzer", "%s-%d" % (path.stem, number), parts(path.read_bytes(), text))
    for name, text in CONVERSION_SETS.items():
        write("utf8_convert_fuzzer", name, parts(text, UTF8_TEXTS[1]))
    write("utf8_convert_fuzzer", "cp1252-sample",
          parts((DATA / "cp1252.chs").read_bytes(), sample.decode("cp1252").encode("utf-8")))

    for name, (table, text) in SUBSTITUTIONS.items():
        write("substitute_fuzzer", name, parts(table, text))
        write("pipeline_fuzzer", name, parts(table, text))
    for path in shipped_tables:
        write("substitute_fuzzer", "shipped-" + path.stem, parts(path.read_bytes(), sample))
        write("pipeline_fuzzer", "shipped-" + path.stem, parts(path.read_bytes(), sample))


if __name__ == "__main__":
    main()
