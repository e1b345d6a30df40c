#!/bin/sh
# The Setup suite under Wine: the release package installed and removed as a user and Windows do it, the
# dialog and every message box read and answered through the window helper. Installing with "/Install"
# in another letter case from a source folder that is not Setup's own (each file in its place byte for
# byte, an earlier MFC40.dll left alone, the uninstall key, the server registered and usable from a
# script and from the help's examples, the desktop shortcut leading to it); "/Install" again doing nothing; the syntax message once
# for each bad argument, then the dialog with only "Remove" enabled, and Cancel; removal by the
# registered uninstall command with some files already gone; "/Remove" again doing nothing; installing
# and removing through the dialog; an existing Runeflow.dll stopping an installation with its message.
# Usage: setup_test.sh BUILD_DIR (the Windows build, with package/Cobbleway and bin/winhelper.exe)
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/harness.sh"
harness_start "$1"

package=$(cd "$1/package/Cobbleway" && pwd)
drive=$HARNESS_PREFIX/drive_c
program_dir="$drive/Program Files/Cobbleway"
system_dir=$drive/windows/system32
desktop=$HARNESS_WORK/desktop
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Runeflow'
installed="Cobbleway has been installed successfully"
removed="Cobbleway has been Removed successfully"

# The source: the package in a folder whose name holds a blank; Setup itself is started from another
# folder that holds nothing else, so every file must come from the current directory.
source="$HARNESS_WORK/source folder"
elsewhere=$HARNESS_WORK/elsewhere
mkdir -p "$source" "$elsewhere" "$desktop"
cp "$package/Setup.exe" "$elsewhere/"

# Where each shipped file lands.
place() {
  case $1 in
    Setup.exe) echo "$program_dir/Setup.exe" ;;
    Runeflow.dl_) echo "$system_dir/Runeflow.dll" ;;
    Cobbleway.hl_) echo "$program_dir/Cobbleway.hlp" ;;
    Cobbleway.xl_) echo "$program_dir/Cobbleway.xlt" ;;
    Cobbleway.ln_) echo "$desktop/Cobbleway.lnk" ;;
    Cobbleway.ex_) echo "$drive/windows/Cobbleway.exe" ;;
  esac
}
shipped="Setup.exe Runeflow.dl_ Cobbleway.hl_ Cobbleway.xl_ Cobbleway.ln_ Cobbleway.ex_"
for name in $shipped; do cp "$package/$name" "$source/"; done

# Runs Setup in the source folder in the background with the given arguments; answer CAPTION BUTTON then
# answers its windows one after another, and finish waits for it and checks its exit status.
setup_run() {
  (cd "$source" && win "$elsewhere/Setup.exe" "$@") &
  setup_pid=$!
}
answer() {
  answer_window "$1" "$2"
}
finish() {
  wait $setup_pid
  status=$?
  [ $status -eq "$1" ] || fail "$2: Setup exits with $1" "exit status $status"
}

message_box() {
  printf 'window: Setup\nbutton: OK\nstatic: %s\n' "$1"
}
dialog() {  # the dialog with the state of its two action buttons
  printf 'window: Setup\nbutton: Cancel\nbutton: Install%s\nbutton: Remove%s\nstatic: Welcome to Cobbleway setup\n' "$1" "$2"
}

value() {  # value KEY NAME: the type and data of a registry value
  win reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    //p"
}

all_in_place() {
  for name in $shipped; do
    cmp "$source/$name" "$(place "$name")" || return 1
  done
}

none_left() {
  for name in Runeflow.dl_ Cobbleway.hl_ Cobbleway.xl_ Cobbleway.ln_ Cobbleway.ex_; do
    if [ -e "$(place "$name")" ]; then
      echo "$(place "$name") is still there"
      return 1
    fi
  done
}

registered() {
  win reg query 'HKCR\Runeflow.Stream\CLSID' >/dev/null 2>&1 && win reg query 'HKCR\Runeflow.Cobbleway\CLSID' >/dev/null 2>&1
}

# Sets the desktop folder: $1 in "User Shell Folders" (environment strings expanded), $2 in "Shell
# Folders", where Setup reads it. The shell rewrites the second from the first whenever it looks the
# folder up, so both are set.
explorer='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer'
set_desktop() {
  {
    printf 'REGEDIT4\n\n[%s\\User Shell Folders]\n"Desktop"=hex(2):' "$explorer"
    printf '%s' "$1" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//'
    printf '00\n\n[%s\\Shell Folders]\n"Desktop"="%s"\n' "$explorer" "$(printf '%s' "$2" | sed 's/\\/\\\\/g')"
  } >"$HARNESS_WORK/desktop.reg"
  win regedit /s "$(winpath "$HARNESS_WORK/desktop.reg")"
}

# A clean machine, with the desktop folder of this run (so that no run touches the user's real one) and
# an MFC40.dll that belongs to another program.
user_desktop=$(value "$explorer\\Shell Folders" Desktop | sed 's/^REG_SZ    //')
win reg delete "$uninstall" /f >/dev/null 2>&1
set_desktop "$(winpath "$desktop")" "$(winpath "$desktop")"
rm -rf "$program_dir"
for name in $shipped; do rm -f "$(place "$name")"; done
printf 'not ours\n' >"$system_dir/MFC40.dll"

# "/Install" in another letter case.
setup_run /iNsTaLl
expect_text "/Install: the success message" "$(message_box "$installed")" "$(answer Setup OK)"
finish 0 "/Install"
check "/Install: every file in its place, byte for byte" all_in_place
expect_text "/Install: the uninstall key's display name" "REG_SZ    Cobbleway 1.0" "$(value "$uninstall" DisplayName)"
expect_text "/Install: the uninstall command" 'REG_SZ    C:\Program Files\Cobbleway\Setup.exe /Remove' \
  "$(value "$uninstall" UninstallString)"
check "/Install: an MFC40.dll already there is left alone" grep -qx 'not ours' "$system_dir/MFC40.dll"
run_script "$here/scripts/installed.vbs"

# The help's examples, run as a user runs them, with the package's tables in C:\Runeflow.
examples=$(cd "$here/../../examples" && pwd)
sample=$(cd "$here/../../data" && pwd)/sample.html
mkdir -p "$drive/Runeflow"
cp "$package"/Tables/* "$drive/Runeflow/"
expect_text "the help's read_in_pieces.js shows the file in pieces of 200" "$(python3 - "$sample" <<'MODEL'
import sys
text = open(sys.argv[1], "rb").read().decode("cp1252")
for start in range(0, len(text), 200):
    print("[%d waiting] %s" % (len(text) - start, text[start:start + 200]))
MODEL
)" "$(win cscript //nologo "$(winpath "$examples/read_in_pieces.js")" "$(winpath "$sample")" | tr -d '\r')"
expect_text "the desktop shortcut leads to the installed server" 'target: C:\Windows\Cobbleway.exe
description: Cobbleway OLE automation server
arguments: 
show: 1' "$(win "$HARNESS_BIN/winhelper.exe" shortcut "$(winpath "$desktop")\\Cobbleway.lnk" | tr -d '\r')"
win "$HARNESS_BIN/winhelper.exe" open "$(winpath "$desktop")\\Cobbleway.lnk" &
opened=$!
shown=$(answer "About Cobbleway" OK)
wait $opened
check "opening the shortcut shows the server's about box" test "$(printf '%s\n' "$shown" | head -n 1)" = "window: About Cobbleway"

# Installed already: "/Install" does nothing and shows nothing (a window would hold it until the timeout).
touch -d '2000-01-01' "$drive/windows/Cobbleway.exe"
if (cd "$source" && HARNESS_TIMEOUT=20 win "$elsewhere/Setup.exe" /Install); then
  pass "/Install again ends at once"
else
  fail "/Install again ends at once" "exit status $?"
fi
check "/Install again copies nothing" test "$(date -r "$drive/windows/Cobbleway.exe" +%Y)" = 2000

# Two arguments: the syntax message for each, then the dialog, which offers only "Remove"; Cancel.
setup_run /Install now
expect_text "two arguments: the first syntax message" "$(message_box 'Syntax: Setup /{Install | Remove}')" "$(answer Setup OK)"
expect_text "two arguments: the second syntax message" "$(message_box 'Syntax: Setup /{Install | Remove}')" "$(answer Setup OK)"
expect_text "installed: only Remove and Cancel can be clicked" "$(dialog ' (disabled)' '')" "$(answer Setup Cancel)"
finish 0 "Cancel"
check "Cancel changes nothing" all_in_place

# Removal by the registered command line, with two of the files already gone.
rm "$program_dir/Cobbleway.hlp" "$desktop/Cobbleway.lnk"
command=$(value "$uninstall" UninstallString | sed 's/^REG_SZ    //')
(cd "$HARNESS_WORK" && win "$HARNESS_BIN/winhelper.exe" run "$command" | tr -d '\r' >"$HARNESS_WORK/run.out") &
setup_pid=$!
expect_text "the uninstall command: the success message" "$(message_box "$removed")" "$(answer Setup OK)"
wait $setup_pid
expect_text "the uninstall command ends with 0" "exit code: 0" "$(cat "$HARNESS_WORK/run.out")"
check "removed: the files are gone" none_left
check "removed: Setup.exe stays" test -f "$program_dir/Setup.exe"
check "removed: MFC40.dll stays" grep -qx 'not ours' "$system_dir/MFC40.dll"
check "removed: the uninstall key is gone" sh -c "! win reg query '$uninstall' >/dev/null 2>&1"
if registered; then fail "removed: the classes are unregistered"; else pass "removed: the classes are unregistered"; fi

# Not installed: "/Remove" does nothing and shows nothing.
if (cd "$source" && HARNESS_TIMEOUT=20 win "$elsewhere/Setup.exe" /Remove); then
  pass "/Remove when not installed ends at once"
else
  fail "/Remove when not installed ends at once" "exit status $?"
fi

# Through the dialog: only "Install" is offered, then only "Remove".
setup_run
expect_text "not installed: only Install and Cancel can be clicked" "$(dialog '' ' (disabled)')" "$(answer Setup Install)"
expect_text "Install clicked: the success message" "$(message_box "$installed")" "$(answer Setup OK)"
finish 0 "Install clicked"
check "Install clicked: every file in its place" all_in_place
setup_run
expect_text "installed: the dialog offers Remove" "$(dialog ' (disabled)' '')" "$(answer Setup Remove)"
expect_text "Remove clicked: the success message" "$(message_box "$removed")" "$(answer Setup OK)"
finish 0 "Remove clicked"
check "Remove clicked: the files are gone" none_left

# An existing Runeflow.dll stops the installation with its message and stays as it was.
printf 'an older engine\n' >"$system_dir/Runeflow.dll"
setup_run /Install
expect_text "an existing Runeflow.dll: its message" \
  "$(message_box 'File C:\\windows\\system32\\Runeflow.dll already exists')" "$(answer Setup OK)"
finish 1 "an existing Runeflow.dll"
check "an existing Runeflow.dll stays as it was" grep -qx 'an older engine' "$system_dir/Runeflow.dll"
check "an existing Runeflow.dll: nothing after it is installed" test ! -e "$drive/windows/Cobbleway.exe"

# Leave the prefix as it was found.
win reg delete "$uninstall" /f >/dev/null 2>&1
rm -rf "$program_dir" "$system_dir/Runeflow.dll" "$system_dir/MFC40.dll" "$drive/Runeflow"
set_desktop '%USERPROFILE%\Desktop' "$user_desktop"

harness_finish
