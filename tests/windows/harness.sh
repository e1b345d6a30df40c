# The Wine harness of the Windows suites, sourced by each suite:
#   . tests/windows/harness.sh
#   harness_start BUILD_DIR   a desktop of the run's own: an X server on a free display (-displayfd), the
#                             build's harness prefix (BUILD_DIR/wineprefix-desktop) with its wineserver,
#                             and one idle Wine process that keeps the prefix's desktop and clipboard
#                             alive for the whole run; all three, and any Wine process of that prefix
#                             left behind, are stopped by their ids when the suite exits, and nothing
#                             else is touched (other runs may use Wine meanwhile)
#   win [ARGS...]             wine, bounded by HARNESS_TIMEOUT seconds (60), its output passed on when
#                             it ends
#   winpath PATH              the Windows name (Z:\...) of an absolute Linux path
#   pass NAME / fail NAME [DETAILS]    record a check; check NAME COMMAND... passes when COMMAND does
#   expect_text NAME EXPECTED ACTUAL   passes when the texts are equal, shows a diff otherwise
#   run_script SCRIPT [ARGS...]        runs a .vbs or .js file with cscript and holds its standard output to
#                             SCRIPT.expected; the script must end its output with the line END
#   answer_window CAPTION BUTTON       winhelper press: waits for the window, prints its controls, presses
#   harness_finish            prints the count and exits 1 when a check failed
# Variables for the suite: HARNESS_BIN (the build's programs), HARNESS_WORK (a scratch folder of the run,
# removed at exit), HARNESS_PREFIX.

harness_failures=0
harness_checks=0
harness_here=$(cd "$(dirname "$0")" && pwd)  # suites live beside the harness
. "$harness_here/wine-env.sh"

harness_start() {
  build=$(cd "$1" && pwd)
  HARNESS_BIN=$build/bin
  HARNESS_PREFIX=$build/wineprefix-desktop
  HARNESS_WORK=$(mktemp -d "${TMPDIR:-/tmp}/runeflow-harness.XXXXXX")
  harness_xvfb="" harness_server="" harness_idle=""
  trap harness_stop EXIT
  trap 'exit 130' INT TERM
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$HARNESS_WORK/display" >"$HARNESS_WORK/xvfb.log" 2>&1 &
  harness_xvfb=$!
  tries=0
  while [ ! -s "$HARNESS_WORK/display" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 "$harness_xvfb" 2>/dev/null; then
      echo "harness: Xvfb did not start" >&2
      cat "$HARNESS_WORK/xvfb.log" >&2
      exit 1
    fi
    sleep 0.1
  done
  DISPLAY=:$(cat "$HARNESS_WORK/display")
  export DISPLAY
  export WINEPREFIX="$HARNESS_PREFIX"
  harness_end_prefix_processes  # left by an interrupted run
  wine_prefix "$HARNESS_PREFIX"
  wineserver -f -p >"$HARNESS_WORK/wineserver.log" 2>&1 &
  harness_server=$!
  harness_wait_server
  # Without a window manager, Wine waits two seconds for every managed window to close; the harness's
  # windows are left unmanaged.
  if ! grep -q '^"Managed"="N"' "$HARNESS_PREFIX/user.reg"; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  fi
  wine "$HARNESS_BIN/winhelper.exe" idle >"$HARNESS_WORK/idle.log" 2>&1 &
  harness_idle=$!
}

# Waits (up to about 5 s) for the wineserver just started to answer, so that no Wine program starts a
# second one: "wineserver -w" returns at once while no server listens, and waits while one does.
harness_wait_server() {
  tries=0
  while [ $tries -lt 20 ] && kill -0 "$harness_server" 2>/dev/null; do
    timeout 0.2 wineserver -w 2>/dev/null
    [ $? -eq 124 ] && return
    tries=$((tries + 1))
    sleep 0.05
  done
}

# Ends, by their process ids, the Wine processes of the harness's prefix that outlived their server
# (Wine's services, desktop and automation servers started during a run can be left behind when it is
# killed), and a server that one of them may have started. Only this build's prefix is looked at.
harness_end_prefix_processes() {
  wineserver -k 2>/dev/null
  for environment in $(grep -lzxF "WINEPREFIX=$HARNESS_PREFIX" /proc/[0-9]*/environ 2>/dev/null); do
    pid=${environment#/proc/}
    pid=${pid%/environ}
    case $(readlink "/proc/$pid/exe" 2>/dev/null) in
      */wine/*) kill -9 "$pid" 2>/dev/null ;;
    esac
  done
}

harness_stop() {
  status=$?
  [ -n "$harness_idle" ] && kill "$harness_idle" 2>/dev/null
  if [ -n "$harness_server" ]; then
    wineserver -k 2>/dev/null
    wait "$harness_server" 2>/dev/null
    harness_end_prefix_processes
  fi
  [ -n "$harness_xvfb" ] && kill "$harness_xvfb" 2>/dev/null && wait "$harness_xvfb" 2>/dev/null
  rm -rf "$HARNESS_WORK"
  exit $status
}

win() {
  # Through files, never a pipe: a program that Wine starts for this one (an automation server) inherits
  # its output and may outlive it, and a pipe would keep the caller waiting for that program too.
  win_out=$(mktemp "$HARNESS_WORK/out.XXXXXX")
  win_err=$(mktemp "$HARNESS_WORK/err.XXXXXX")
  timeout -k 5 "${HARNESS_TIMEOUT:-60}" wine "$@" >"$win_out" 2>"$win_err"
  win_status=$?
  cat "$win_out"
  cat "$win_err" >&2
  rm -f "$win_out" "$win_err"
  return $win_status
}

winpath() {
  printf 'Z:%s' "$1" | tr / '\\'
}

pass() {
  harness_checks=$((harness_checks + 1))
  echo "ok - $1"
}

fail() {
  harness_checks=$((harness_checks + 1))
  harness_failures=$((harness_failures + 1))
  echo "FAIL - $1"
  [ $# -lt 2 ] || printf '%s\n' "$2" | sed 's/^/    /'
}

check() {
  name=$1
  shift
  if output=$("$@" 2>&1); then pass "$name"; else fail "$name" "$output"; fi
}

expect_text() {
  printf '%s\n' "$2" >"$HARNESS_WORK/expected"
  printf '%s\n' "$3" >"$HARNESS_WORK/actual"
  if differences=$(diff -u "$HARNESS_WORK/expected" "$HARNESS_WORK/actual"); then
    pass "$1"
  else
    fail "$1" "$differences"
  fi
}

run_script() {
  script=$1
  shift
  # What the script echoes is held to the expected text; what Wine itself says on standard error (such
  # as a lost connection to its server while a process ends) is shown only when the script fails.
  output=$(win cscript //nologo "$(winpath "$script")" "$@" 2>"$HARNESS_WORK/script.err" | tr -d '\r')
  errors=$(tr -d '\r' <"$HARNESS_WORK/script.err")
  name=$(basename "$script")
  if [ "$(printf '%s\n' "$output" | tail -n 1)" != END ]; then
    fail "$name ran to its end" "$output${errors:+
$errors}"
  else
    expect_text "$name" "$(cat "$script.expected")" "$output"
  fi
}

answer_window() {
  win "$HARNESS_BIN/winhelper.exe" press "$1" "$2" 2>&1 | tr -d '\r'
}

harness_finish() {
  echo "$harness_checks checks, $harness_failures failed"
  [ "$harness_failures" -eq 0 ]
  exit $?
}
