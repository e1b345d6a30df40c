#!/usr/bin/python3
"""Writes Cobbleway.xl_, the spreadsheet template that Setup installs as Cobbleway.xlt: an Excel 97-2003
workbook template (BIFF8 in a compound file) with one sheet laid out for text that goes to Cobbleway and
comes back through the clipboard. Column A takes the text to convert, column B the converted text; both
are formatted as text, so that the spreadsheet keeps what is pasted exactly as written (no numbers,
dates or formulas made of it). Written with xlwt (Debian's python3-xlwt).

Usage: make_template.py OUTPUT
"""
import io
import sys

import xlwt

SHEET = "Cobbleway"
FIRST_TEXT_ROW = 6  # rows above it hold the title, the instructions and the column headings
TEXT_ROWS = 1000    # rows formatted as text below the headings
INSTRUCTIONS = [
    "1. Paste or type the text to convert into column A, one line or piece per cell.",
    "2. Select those cells and copy them (Ctrl+C): the text goes to the clipboard as \"Text\".",
    "3. Run your conversion script or macro (see \"Converting the clipboard\" in Cobbleway.hlp): it converts "
    "the clipboard's text with a Runeflow.Cobbleway object and puts the result back.",
    "4. Click the first cell of column B beside your text and paste (Ctrl+V).",
]


def template():
    book = xlwt.Workbook(encoding="ascii")
    sheet = book.add_sheet(SHEET)
    title = xlwt.easyxf("font: bold on, height 280")
    note = xlwt.easyxf("font: italic on")
    heading = xlwt.easyxf("font: bold on; borders: bottom thin; pattern: pattern solid, fore_colour gray25")
    text = xlwt.easyxf("alignment: wrap on, vertical top", num_format_str="@")

    sheet.write(0, 0, "Runeflow text conversion through the clipboard", title)
    for row, line in enumerate(INSTRUCTIONS, start=1):
        sheet.write(row, 0, line, note)
    sheet.write(FIRST_TEXT_ROW - 1, 0, "Text to convert", heading)
    sheet.write(FIRST_TEXT_ROW - 1, 1, "Converted text", heading)
    for column in (0, 1):
        sheet.col(column).width = 60 * 256  # 60 characters
        sheet.col(column).set_style(text)
    for row in range(FIRST_TEXT_ROW, FIRST_TEXT_ROW + TEXT_ROWS):
        sheet.write(row, 0, None, text)
        sheet.write(row, 1, None, text)
    # The headings stay in view while the text scrolls.
    sheet.panes_frozen = True
    sheet.horz_split_pos = FIRST_TEXT_ROW
    sheet.vert_split_pos = 0
    output = io.BytesIO()
    book.save(output)
    return output.getvalue()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    with open(sys.argv[1], "wb") as output:
        output.write(template())


if __name__ == "__main__":
    main()
