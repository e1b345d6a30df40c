#!/bin/sh
# The Cobbleway suite under Wine: the server installed in a folder whose name holds a blank, its about
# box and the command lines that lead to it, registration as the registry shows it, both classes
# created right after it and their type library held to the dispatch tables by a C++ client, and
# removal, which takes every "Runeflow." class (even one without a CLSID, or with a tree too deep for a
# path buffer) and leaves "Runeflow" and "RuneflowX.y" alone.
# Usage: server_test.sh BUILD_DIR (the Windows build, with bin/Cobbleway.exe, Runeflow.dll, winhelper.exe
# and dispatch_check.exe)
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/harness.sh"
harness_start "$1"

STREAM='{F5BE267A-1DD6-4C00-8C3C-A32D2103C451}'
COBBLEWAY='{37D4FAB1-86D2-4B05-82CC-7E9D1CA80C3A}'
LIBRARY='{8A05F7D5-52B2-4381-BE98-7F7F012C44D8}'
STREAM_INTERFACE='{D0909FFC-2202-4AC7-A6DB-501EB7BDA4C9}'
COBBLEWAY_INTERFACE='{3CBF7D4D-92C6-4A21-B3DF-FDEDD3555B0B}'
OTHER='{0C0B0B1E-0000-4000-8000-00000000D0C5}'  # the class of a "Runeflow.Other" made by the test

folder="$HARNESS_PREFIX/drive_c/Program Files/Cobbleway Test"
server='C:\Program Files\Cobbleway Test\Cobbleway.exe'
mkdir -p "$folder"
cp "$HARNESS_BIN/Cobbleway.exe" "$HARNESS_BIN/Runeflow.dll" "$folder/"

# Imports registry lines (the body of a REGEDIT4 file; "[-KEY]" deletes KEY with its subkeys).
import_registry() {
  printf 'REGEDIT4\n\n%s\n' "$1" >"$HARNESS_WORK/import.reg"
  win regedit /s "$(winpath "$HARNESS_WORK/import.reg")"
}

# The default value of a key, or nothing.
default_value() {
  win reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^    (Default)    REG_SZ    //p'
}

# Passes when the registry key PARENT exists and has none of the subkeys NAME...
absent() {
  parent=$1
  shift
  subkeys=$(win reg query "$parent" | tr -d '\r')
  if [ -z "$subkeys" ]; then
    echo "$parent cannot be read"
    return 1
  fi
  for name in "$@"; do
    if printf '%s\n' "$subkeys" | grep -qixF "$parent\\$name"; then
      echo "$parent\\$name exists"
      return 1
    fi
  done
}

# The top-level keys whose names start with Runeflow, in any letter case.
runeflow_keys() {
  win reg query HKCR | tr -d '\r' | grep -i '^HKEY_CLASSES_ROOT\\runeflow' | sort
}

import_registry "[-HKEY_CLASSES_ROOT\\Runeflow.Stream]
[-HKEY_CLASSES_ROOT\\Runeflow.Cobbleway]
[-HKEY_CLASSES_ROOT\\CLSID\\$STREAM]
[-HKEY_CLASSES_ROOT\\CLSID\\$COBBLEWAY]
[-HKEY_CLASSES_ROOT\\TypeLib\\$LIBRARY]
[-HKEY_CLASSES_ROOT\\Interface\\$STREAM_INTERFACE]
[-HKEY_CLASSES_ROOT\\Interface\\$COBBLEWAY_INTERFACE]"

# Without "/Install" or "/Remove" as the last switch, written so, the program shows its about box.
about='window: About Cobbleway
icon: information
button: OK
static: Cobbleway 1.0\nPowered by Runeflow 3.0\nCobbleway edition\n'
for arguments in "" "/install" "/Install more"; do
  # shellcheck disable=SC2086  # the arguments are meant to be split
  win "$server" $arguments &
  program=$!
  shown=$(answer_window "About Cobbleway" OK)
  wait $program
  status=$?
  expect_text "the about box for \"$arguments\"" "$about" "$shown"
  [ $status -eq 0 ] || fail "the about box for \"$arguments\" exits with 0" "exit status $status"
done
check "the about boxes registered nothing" absent HKEY_CLASSES_ROOT Runeflow.Stream Runeflow.Cobbleway

if win "$server" /Install; then pass "/Install succeeds"; else fail "/Install succeeds" "exit status $?"; fi
expect_text "Runeflow.Stream names its CLSID" "$STREAM" "$(default_value 'HKCR\Runeflow.Stream\CLSID')"
expect_text "Runeflow.Cobbleway names its CLSID" "$COBBLEWAY" "$(default_value 'HKCR\Runeflow.Cobbleway\CLSID')"
expect_text "the server is the program, quoted" "\"$server\"" "$(default_value "HKCR\\CLSID\\$STREAM\\LocalServer32")"
expect_text "the type library is registered" "$server" "$(default_value "HKCR\\TypeLib\\$LIBRARY\\1.0\\0\\win32")"

check "the type library against the dispatch tables" win "$HARNESS_BIN/dispatch_check.exe"

deep='HKEY_CLASSES_ROOT\Runeflow.Deep'
for letter in a b c d e f g h i j k l m n o p q r s t u v w x y z a b c d; do
  deep="$deep\\$(printf "%0200d" 0 | tr 0 "$letter")"
done
import_registry "[HKEY_CLASSES_ROOT\\Runeflow]
[HKEY_CLASSES_ROOT\\RuneflowX.y]
[HKEY_CLASSES_ROOT\\Runeflow.Other\\CLSID]
@=\"$OTHER\"
[HKEY_CLASSES_ROOT\\CLSID\\$OTHER\\LocalServer32]
@=\"C:\\\\other.exe\"
[HKEY_CLASSES_ROOT\\Runeflow.A-without-clsid\\Shell]
[$deep]"
if win "$server" /Remove; then pass "/Remove succeeds"; else fail "/Remove succeeds" "exit status $?"; fi
expect_text "every \"Runeflow.\" key is gone, \"Runeflow\" and \"RuneflowX.y\" stay" \
  "HKEY_CLASSES_ROOT\\Runeflow
HKEY_CLASSES_ROOT\\RuneflowX.y" "$(runeflow_keys)"
check "the class keys are gone" absent 'HKEY_CLASSES_ROOT\CLSID' "$STREAM" "$COBBLEWAY" "$OTHER"
check "the type library's registration is gone" absent 'HKEY_CLASSES_ROOT\TypeLib' "$LIBRARY"
check "so is that of its interfaces" absent 'HKEY_CLASSES_ROOT\Interface' "$STREAM_INTERFACE" "$COBBLEWAY_INTERFACE"
import_registry "[-HKEY_CLASSES_ROOT\\Runeflow]
[-HKEY_CLASSES_ROOT\\RuneflowX.y]"

harness_finish
