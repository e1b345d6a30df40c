#!/usr/bin/env python3
"""Writes Cobbleway.ln_, the desktop shortcut that Setup copies as Cobbleway.lnk: a shell link (the
Windows shortcut format) to the installed server, Cobbleway.exe in the Windows directory. The target is
given twice: as an environment string, %windir%\\Cobbleway.exe, which Windows expands on whatever machine
the link lands on, and as a local path on the usual Windows directory, for readers that take only that.

Usage: make_shortcut.py OUTPUT
"""
import struct
import sys
import uuid

SHELL_LINK_CLSID = uuid.UUID("00021401-0000-0000-c000-000000000046")

# Link flags.
HAS_LINK_INFO = 0x2
HAS_NAME = 0x4
IS_UNICODE = 0x80
HAS_EXP_STRING = 0x200

TARGET = "C:\\Windows\\Cobbleway.exe"
TARGET_EXPANDABLE = "%windir%\\Cobbleway.exe"
DESCRIPTION = "Cobbleway OLE automation server"
DRIVE_FIXED = 3
SW_SHOWNORMAL = 1
ENVIRONMENT_BLOCK_SIGNATURE = 0xA0000001


def header():
    """The 76-byte shell link header: no times, size or hot key, shown normally."""
    flags = HAS_LINK_INFO | HAS_NAME | IS_UNICODE | HAS_EXP_STRING
    return struct.pack("<I16sIIQQQIiIH2xII", 0x4C, SHELL_LINK_CLSID.bytes_le, flags, 0, 0, 0, 0, 0, 0,
                       SW_SHOWNORMAL, 0, 0, 0)


def link_info():
    """Where the target lies: a volume of a fixed drive and the local path on it."""
    volume_id = struct.pack("<IIII", 17, DRIVE_FIXED, 0, 16) + b"\0"  # an empty volume label
    base_path = TARGET.encode("ascii") + b"\0"
    suffix = b"\0"
    header_size = 28
    volume_offset = header_size
    base_offset = volume_offset + len(volume_id)
    suffix_offset = base_offset + len(base_path)
    size = suffix_offset + len(suffix)
    flags = 1  # a volume and a local base path
    return struct.pack("<IIIIIII", size, header_size, flags, volume_offset, base_offset, 0,
                       suffix_offset) + volume_id + base_path + suffix


def string_data(text):
    """A counted string of the link, in UTF-16."""
    return struct.pack("<H", len(text)) + text.encode("utf-16-le")


def environment_block():
    """The target as a string with environment variables, in ANSI and in UTF-16."""
    ansi = TARGET_EXPANDABLE.encode("ascii").ljust(260, b"\0")
    wide = TARGET_EXPANDABLE.encode("utf-16-le").ljust(520, b"\0")
    return struct.pack("<II", 0x314, ENVIRONMENT_BLOCK_SIGNATURE) + ansi + wide


def shortcut():
    return header() + link_info() + string_data(DESCRIPTION) + environment_block() + b"\0\0\0\0"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    with open(sys.argv[1], "wb") as output:
        output.write(shortcut())


if __name__ == "__main__":
    main()
