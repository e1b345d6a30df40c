#!/bin/sh
# The automation objects suite under Wine: Runeflow.Stream and Runeflow.Cobbleway driven by VBScript and
# JScript clients through Wine's cscript (every member, their edge cases, every byte value, the typical
# request), with the files the scripts read and write checked from here.
# Usage: objects_test.sh BUILD_DIR (the Windows build, with bin/Cobbleway.exe and share/runeflow)
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/harness.sh"
harness_start "$1"

# The scripts' folder: the shipped sets and tables, three tables of the tests' own, and the 256 bytes.
folder=$HARNESS_WORK/objects
mkdir -p "$folder"
cp "$HARNESS_BIN/../share/runeflow/"*.chs "$HARNESS_BIN/../share/runeflow/"*.sub "$folder/"
printf '! keeps what stands in brackets in variable a\n"[%%a]" 5000 ""\n' >"$folder/keep.sub"
printf '! gives variable a for "{}"\n"{}" "%%a"\n' >"$folder/give.sub"
printf '! no entries: the text passes through\n' >"$folder/none.sub"
# shellcheck disable=SC2046  # one octal escape per byte
printf "$(printf '\\%03o' $(seq 0 255))" >"$folder/all.bin"
scripts=$here/scripts
windows_folder=$(winpath "$folder")

if win "$HARNESS_BIN/Cobbleway.exe" /Install; then pass "/Install"; else fail "/Install" "exit status $?"; fi

run_script "$scripts/objects.vbs" "$windows_folder"
check "Chr(0) to Chr(255) from VBScript reach the file as the bytes 0 to 255" cmp "$folder/all.bin" "$folder/chr.bin"
check "a second WriteFile writes an empty file" test -f "$folder/again.bin" -a ! -s "$folder/again.bin"
expect_text "WriteFile writes only what WriteString left" 3456789 "$(cat "$folder/rest.txt")"
run_script "$scripts/objects.js" "$windows_folder"
check "the characters JScript was given for the bytes 0 to 255 reach the file as those bytes" \
  cmp "$folder/all.bin" "$folder/js.bin"

if win "$HARNESS_BIN/Cobbleway.exe" /Remove; then pass "/Remove"; else fail "/Remove" "exit status $?"; fi
harness_finish
