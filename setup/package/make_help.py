#!/usr/bin/python3
"""Writes Cobbleway.hl_, the help that Setup installs as Cobbleway.hlp: one self-contained web page (HTML
with its style sheet, UTF-8), made from help.md (Markdown, read with Debian's python3-markdown) and the
example scripts it names. The first line of help.md, "% TITLE", is the page's title; a line
"@example NAME" stands for the script NAME of the examples folder (the tree's examples, which the
automation objects suite runs), shown as written.

Usage: make_help.py HELP_MD EXAMPLES_DIR OUTPUT
"""
import html
import os
import sys

import markdown

STYLE = """
body { font-family: Segoe UI, Arial, sans-serif; max-width: 52em; margin: 2em auto; padding: 0 1em;
       line-height: 1.45; color: #222; }
h1, h2, h3 { color: #1f3f6f; }
h2 { border-bottom: 1px solid #ccd; padding-bottom: .2em; margin-top: 2em; }
code, pre { font-family: Consolas, Courier New, monospace; background: #f3f4f7; }
pre { padding: .8em; overflow-x: auto; border: 1px solid #dde; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #ccd; padding: .3em .6em; text-align: left; vertical-align: top; }
th { background: #e8ebf2; }
dt { margin-top: 1em; font-weight: bold; }
dd { margin-left: 1.5em; }
"""

LANGUAGES = {".vbs": "vbscript", ".js": "javascript"}


def expand_examples(text, folder):
    """help.md with each "@example NAME" line replaced by the script folder/NAME as a fenced code block."""
    lines = []
    for line in text.splitlines():
        if line.startswith("@example "):
            name = line[len("@example "):].strip()
            with open(os.path.join(folder, name), encoding="ascii") as script:
                code = script.read().rstrip("\n")
            language = LANGUAGES[os.path.splitext(name)[1]]
            lines += ["", "`" + name + "`", "", "```" + language, code, "```", ""]
        else:
            lines.append(line)
    return "\n".join(lines) + "\n"


def page(source_path, examples):
    with open(source_path, encoding="utf-8") as source:
        title_line, body = source.read().split("\n", 1)
    if not title_line.startswith("% "):
        sys.exit(f"{source_path}: the first line must be '% TITLE'")
    title = title_line[2:].strip()
    content = markdown.markdown(expand_examples(body, examples),
                                extensions=["tables", "fenced_code", "def_list", "toc"])
    return ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n"
            f"<h1>{html.escape(title)}</h1>\n{content}\n</body>\n</html>\n")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    text = page(sys.argv[1], sys.argv[2])
    with open(sys.argv[3], "w", encoding="utf-8", newline="\r\n") as output:
        output.write(text)


if __name__ == "__main__":
    main()
