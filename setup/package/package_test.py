#!/usr/bin/python3
"""Tests of the release package, each document read by a reader of its format: the shortcut by lnkinfo
(liblnk), the template by xlrd, the help by Python's HTML parser, the programs by their PE headers and
import tables, and the zip by zipfile.

Usage: package_test.py PACKAGE_DIR PACKAGE_ZIP COBBLEWAY_IDL
"""
import html.parser
import os
import re
import struct
import subprocess
import sys
import unittest
import zipfile

import xlrd

PACKAGE, ZIP, IDL = (sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None))
HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "..", "data")
SHIPPED = ["Cobbleway.ex_", "Cobbleway.hl_", "Cobbleway.ln_", "Cobbleway.xl_", "Runeflow.dl_", "Setup.exe"]
# DLLs that every Windows has: the programs may import these and nothing else but the engine.
SYSTEM_DLLS = {"advapi32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
               "user32.dll"}


def read(name):
    with open(os.path.join(PACKAGE, name), "rb") as file:
        return file.read()


def files_below(folder):
    found = []
    for root, _, names in os.walk(folder):
        found += [os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/") for name in names]
    return sorted(found)


class PortableExecutable:
    """The headers and imported DLL names of a PE file."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        self.imports_rva = struct.unpack_from("<I", data, optional + 104)[0]  # data directory 1
        self.sections = [struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * index)
                         for index in range(sections)]

    def offset(self, rva):
        for _, size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw_offset
        raise ValueError(f"address {rva:#x} is in no section")

    def imported_dlls(self):
        names = []
        entry = self.offset(self.imports_rva)
        while True:
            name_rva = struct.unpack_from("<I", self.data, entry + 12)[0]
            if name_rva == 0:
                return names
            start = self.offset(name_rva)
            names.append(self.data[start:self.data.index(b"\0", start)].decode("ascii").lower())
            entry += 20


class HtmlOutline(html.parser.HTMLParser):
    """The help page as its parts: nesting errors, ids, internal links, the title, code blocks, and the
    first column of the member table that follows each second-level heading."""

    VOID = {"meta", "br", "hr", "img", "link", "input"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []
        self.errors = []
        self.ids = set()
        self.links = []
        self.title = ""
        self.code_blocks = []
        self.tables = {}  # heading text -> first cells of the rows of its first table
        self.heading = None
        self.text = None
        self.cell = None

    def handle_starttag(self, tag, attributes):
        attributes = dict(attributes)
        if "id" in attributes:
            self.ids.add(attributes["id"])
        if tag == "a" and attributes.get("href", "").startswith("#"):
            self.links.append(attributes["href"][1:])
        if tag not in self.VOID:
            self.open.append(tag)
        if tag in ("title", "h2", "code") or (tag == "td" and self.cell is None):
            self.text = ""
        if tag == "tr":
            self.cell = None

    def handle_endtag(self, tag):
        if not self.open or self.open[-1] != tag:
            self.errors.append(f"</{tag}> closes {self.open[-1] if self.open else 'nothing'}")
            return
        self.open.pop()
        if tag == "title":
            self.title = self.text
        elif tag == "h2":
            self.heading = self.text
        elif tag == "code" and "pre" in self.open:
            self.code_blocks.append(self.text)
        elif tag == "td" and self.cell is None:
            self.cell = self.text
            if "table" in self.open and self.heading is not None:
                self.tables.setdefault(self.heading, []).append(self.cell)
        elif tag == "table" and self.heading is not None:
            self.heading = None  # only the first table after a heading
        if tag in ("title", "h2", "td") or (tag == "code" and "pre" in self.open):
            self.text = None

    def handle_data(self, data):
        if self.text is not None:
            self.text += data


def idl_members(interface):
    """The member names of an interface of the IDL file, by dispatch identifier."""
    with open(IDL, encoding="ascii") as file:
        text = file.read()
    body = re.search(r"interface " + interface + r" : IDispatch \{(.*?)\};", text, re.S).group(1)
    return {int(number): name for number, name in re.findall(r"\[id\((\d+)\)[^\]]*\] HRESULT (\w+)\(", body)}


class Package(unittest.TestCase):
    def test_the_folder_holds_the_shipped_names_and_the_tables(self):
        tables = sorted(name for name in os.listdir(DATA) if name.endswith((".chs", ".sub")))
        self.assertEqual(sorted(SHIPPED + ["Tables/" + name for name in tables]), files_below(PACKAGE))
        for name in tables:
            with open(os.path.join(DATA, name), "rb") as original:
                self.assertEqual(original.read(), read("Tables/" + name), name)

    def test_the_zip_holds_the_folder_byte_for_byte(self):
        with zipfile.ZipFile(ZIP) as archive:
            names = sorted(name for name in archive.namelist() if not name.endswith("/"))
            self.assertEqual(["Cobbleway/" + name for name in files_below(PACKAGE)], names)
            for name in names:
                self.assertEqual(read(name[len("Cobbleway/"):]), archive.read(name), name)

    def test_the_programs_are_32_bit_windows_programs_that_need_only_windows_and_the_engine(self):
        cases = [
            # name, a DLL, the DLLs of its own it may import
            ("Setup.exe", False, set()),
            ("Cobbleway.ex_", False, {"runeflow.dll"}),
            ("Runeflow.dl_", True, set()),
        ]
        for name, is_dll, own in cases:
            with self.subTest(name):
                program = PortableExecutable(read(name))
                self.assertEqual(0x14C, program.machine, "i386")
                self.assertEqual(is_dll, bool(program.characteristics & 0x2000))
                if not is_dll:
                    self.assertEqual(2, program.subsystem, "a windowed program")
                imports = set(program.imported_dlls())
                self.assertTrue(own <= imports, imports)
                self.assertEqual(set(), imports - own - SYSTEM_DLLS - {"comctl32.dll"})


class Shortcut(unittest.TestCase):
    def test_the_shortcut_is_a_shell_link_to_the_installed_server(self):
        shown = subprocess.run(["lnkinfo", os.path.join(PACKAGE, "Cobbleway.ln_")], capture_output=True,
                               text=True, check=True).stdout
        fields = dict(re.findall(r"^\t(\S[^\t:]*?)\s*:\s?(.*)$", shown, re.M))
        self.assertEqual("C:\\Windows\\Cobbleway.exe", fields.get("Local path"), shown)
        self.assertEqual("%windir%\\Cobbleway.exe", fields.get("Environment variables location"), shown)
        self.assertEqual("Cobbleway OLE automation server", fields.get("Description"), shown)
        self.assertEqual("Fixed (3)", fields.get("Drive type"), shown)


class Help(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.page = read("Cobbleway.hl_").decode("utf-8")
        cls.outline = HtmlOutline()
        cls.outline.feed(cls.page)
        cls.outline.close()

    def test_the_help_is_a_well_formed_web_page(self):
        self.assertTrue(self.page.startswith("<!DOCTYPE html>"))
        self.assertIn('<meta charset="utf-8">', self.page)
        self.assertEqual([], self.outline.errors)
        self.assertEqual([], self.outline.open, "elements left open")
        self.assertEqual("Cobbleway 1.0 help", self.outline.title)
        self.assertEqual([], [link for link in self.outline.links if link not in self.outline.ids],
                         "links to no heading")

    def test_each_object_lists_its_members_in_dispatch_order(self):
        for heading, interface in (("Runeflow.Cobbleway", "IRuneflowCobbleway"),
                                   ("Runeflow.Stream", "IRuneflowStream")):
            with self.subTest(heading):
                listed = self.outline.tables.get(heading, [])
                members = idl_members(interface)
                self.assertTrue(members)
                for number, name in members.items():
                    self.assertLessEqual(number, len(listed), name)
                    self.assertEqual(name, listed[number - 1], f"dispatch identifier {number}")
                explained = " ".join(re.findall(r"<dt>(.*?)</dt>", self.page))
                for name in listed:
                    self.assertTrue(f"<code>{name}" in explained, f"{name} is not explained")

    def test_the_examples_are_the_scripts_as_written(self):
        folder = os.path.join(HERE, "..", "..", "examples")
        scripts = sorted(name for name in os.listdir(folder) if name.endswith((".vbs", ".js")))
        self.assertTrue(scripts)
        for name in scripts:
            with open(os.path.join(folder, name), encoding="ascii") as script:
                shown = [block.replace("\r\n", "\n").rstrip("\n") for block in self.outline.code_blocks]
                self.assertIn(script.read().rstrip("\n"), shown, name)


class Template(unittest.TestCase):
    def test_the_template_is_a_workbook_laid_out_for_the_clipboard(self):
        book = xlrd.open_workbook(os.path.join(PACKAGE, "Cobbleway.xl_"), formatting_info=True)
        self.assertEqual(["Cobbleway"], book.sheet_names())
        sheet = book.sheet_by_index(0)
        self.assertEqual(["Text to convert", "Converted text"], sheet.row_values(5))
        self.assertEqual(6, sheet.horz_split_pos, "the headings stay in view")

        def format_of(xf_index):
            return book.format_map[book.xf_list[xf_index].format_key].format_str

        for column in (0, 1):
            self.assertEqual(60 * 256, sheet.colinfo_map[column].width)
            self.assertEqual("@", format_of(sheet.colinfo_map[column].xf_index), "the column's own cells")
            for row in (6, 500, sheet.nrows - 1):
                self.assertEqual("@", format_of(sheet.cell_xf_index(row, column)), (row, column))
                self.assertEqual("", sheet.cell_value(row, column))
        self.assertGreaterEqual(sheet.nrows, 1000)
        self.assertIn("clipboard", " ".join(str(value) for value in sheet.col_values(0, 0, 5)))


if __name__ == "__main__":
    if PACKAGE is None:
        sys.exit(__doc__.strip().splitlines()[-1])
    unittest.main(argv=sys.argv[:1], verbosity=2)
