#!/bin/sh
# The automation objects suite under Wine: Runeflow.Stream and Runeflow.Cobbleway driven by VBScript and
# JScript clients through Wine's cscript (every member, their edge cases, every byte value, the clipboard,
# the typical request), with the files the scripts read and write and the clipboard data they leave
# checked from here, and the help's example scripts run as the help shows them. winhelper puts data on
# the clipboard as another program would, reads it, and holds the clipboard open.
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
# The typical request's page, and its text as the runeflow command gives it with the same set and tables.
page=$folder/page.html
result=$HARNESS_WORK/page.txt
printf '<html><head><title>Caf&eacute; menu</title></head>\n<body><h1>Caf&eacute;</h1><p>Cr&egrave;me br&ucirc;l&eacute;e &amp; caf&eacute; au lait: &euro;3&#44;50</p></body></html>\n' >"$page"
printf 'Cafe menu\nCafeCreme brulee & cafe au lait: EUR3,50\n' >"$result"

# A file's bytes as winhelper takes and prints them (\n, \xHH, ...).
escaped_file() {
  python3 -c 'import sys
special = {10: "\\n", 13: "\\r", 9: "\\t", 92: "\\\\"}
sys.stdout.write("".join(special.get(b, chr(b) if 32 <= b < 127 else "\\x%02X" % b) for b in open(sys.argv[1], "rb").read()))' "$1"
}

# Waits (up to 20 s) for a file that a Wine program creates.
wait_for_file() {
  tries=0
  while [ ! -e "$1" ] && [ $tries -lt 200 ]; do
    tries=$((tries + 1))
    sleep 0.1
  done
}

if win "$HARNESS_BIN/Cobbleway.exe" /Install; then pass "/Install"; else fail "/Install" "exit status $?"; fi

# Another program's data for objects.vbs to read by name: every standard format (1 text, 4 SYLK, 5 DIF,
# 7 OEM text, the OEM text in code page 437) and two registered names, the last without an ending zero.
win "$HARNESS_BIN/winhelper.exe" clipboard-put 1 "$(escaped_file "$page")\x00" \
  4 'ID;P\r\nC;Y1;X1;K"sylk"\r\nE\r\n\x00' 5 'TABLE\r\n0,1\r\n"dif"\r\n\x00' 7 'caf\x82 \x9c\x00' \
  "Runeflow sample" 'registered \xe9\x00' "Runeflow unended" 'no zero after this'
run_script "$scripts/objects.vbs" "$windows_folder"
check "Chr(0) to Chr(255) from VBScript reach the file as the bytes 0 to 255" cmp "$folder/all.bin" "$folder/chr.bin"
check "a second WriteFile writes an empty file" test -f "$folder/again.bin" -a ! -s "$folder/again.bin"
expect_text "WriteFile writes only what WriteString left" 3456789 "$(cat "$folder/rest.txt")"
expect_text "another program reads what the server left on the clipboard, and only that" \
  "Runeflow left: left for another program \xE9
1: (none)" "$(win "$HARNESS_BIN/winhelper.exe" clipboard-get "Runeflow left" 1 | tr -d '\r')"

# objects.js writes while another program holds the clipboard open, and lets it go.
win "$HARNESS_BIN/winhelper.exe" clipboard-hold "$(winpath "$folder/held")" "$(winpath "$folder/release")" &
holder=$!
wait_for_file "$folder/held"
run_script "$scripts/objects.js" "$windows_folder"
if wait $holder; then pass "the clipboard was held and let go"; else fail "the clipboard was held and let go"; fi
check "the characters JScript was given for the bytes 0 to 255 reach the file as those bytes" \
  cmp "$folder/all.bin" "$folder/js.bin"

# The help's clipboard examples, run as the help says: with the shipped sets and tables in C:\Runeflow
# (the Setup suite runs read_in_pieces.js against the installed server).
examples=$(cd "$here/../../examples" && pwd)
tables="$HARNESS_PREFIX/drive_c/Runeflow"
rm -rf "$tables"
mkdir -p "$tables"
cp "$HARNESS_BIN/../share/runeflow/"*.chs "$HARNESS_BIN/../share/runeflow/"*.sub "$tables/"
win "$HARNESS_BIN/winhelper.exe" clipboard-put 1 "$(escaped_file "$page")\x00"
expect_text "convert_clipboard.vbs" "The converted text is on the clipboard." \
  "$(win cscript //nologo "$(winpath "$examples/convert_clipboard.vbs")" | tr -d '\r')"
expect_text "convert_clipboard.vbs leaves the page as text on the clipboard" "1: $(escaped_file "$result")" \
  "$(win "$HARNESS_BIN/winhelper.exe" clipboard-get 1 | tr -d '\r')"
expect_text "convert_file.vbs" "Written: $(winpath "$folder/page.txt")" \
  "$(win cscript //nologo "$(winpath "$examples/convert_file.vbs")" "$(winpath "$page")" \
    "$(winpath "$folder/page.txt")" | tr -d '\r')"
check "convert_file.vbs writes the page as text" cmp "$result" "$folder/page.txt"
rm -rf "$tables"

if win "$HARNESS_BIN/Cobbleway.exe" /Remove; then pass "/Remove"; else fail "/Remove" "exit status $?"; fi
harness_finish
